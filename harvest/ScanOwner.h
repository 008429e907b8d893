#pragma once

#include "harvest/MessageList.h"

#include <string>
#include <utility>

// What a scan needs from the window that started it. The mask and the recursion switch are read
// afresh at every folder level.
class ScanOwner {
public:
    virtual ~ScanOwner() = default;

    virtual MessageList& GetMessageList() = 0;
    virtual std::wstring GetMaskText() = 0;
    virtual bool IsRecursive() = 0;
    virtual void SetStatusText(const std::wstring& text) = 0;

    // A folder level runs from BeginBusy to its EndBusy; levels nest, the outermost last. A
    // window shows that it is busy meanwhile (the wait cursor), and each EndBusy puts back what
    // its BeginBusy replaced.
    virtual void BeginBusy() {}
    virtual void EndBusy() {}
};

// Keeps the owner busy for one folder level.
class BusyScope {
public:
    explicit BusyScope(ScanOwner& owner) : m_owner(owner) { m_owner.BeginBusy(); }
    ~BusyScope() { m_owner.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ScanOwner& m_owner;
};

// A scan owner without a window, for the tests and the benchmarks.
class MemoryScanOwner : public ScanOwner {
public:
    explicit MemoryScanOwner(std::wstring mask = L"*.dll", bool recursive = false,
                             MemoryMessageList::Order order = MemoryMessageList::Order::Unsorted)
        : list(order), mask(std::move(mask)), recursive(recursive) {}

    MessageList& GetMessageList() override { return list; }
    std::wstring GetMaskText() override { return mask; }
    bool IsRecursive() override { return recursive; }
    void SetStatusText(const std::wstring& text) override {
        status = text;
        ++statusWrites;
    }

    MemoryMessageList list;
    std::wstring mask;
    bool recursive;
    std::wstring status;
    int statusWrites = 0;
};
