#pragma once

#include "MessageList.h"

#include <string>

// What a scan needs from the window that started it. The mask and the recursion switch are read
// afresh at every folder level.
class ScanOwner {
public:
    virtual ~ScanOwner() = default;

    virtual MessageList& GetMessageList() = 0;
    virtual std::wstring GetMaskText() = 0;
    virtual bool IsRecursive() = 0;
    virtual void SetStatusText(const std::wstring& text) = 0;
};

// A scan owner without a window, for the command line and the tests.
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
