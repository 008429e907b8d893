#pragma once

#include "harvest/MessageList.h"
#include "harvest/ScanOwner.h"

#include <string>
#include <utility>

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
    const MessageQuery* GetQuery() override { return query; }

    MemoryMessageList list;
    std::wstring mask;
    bool recursive;
    std::wstring status;
    int statusWrites = 0;
    const MessageQuery* query = nullptr; // every row unless set
};
