#pragma once

#include "harvest/MessageList.h"

#include <new>

// A list that runs out of memory at its third message, as a scan's list may: the rows before it
// stay.
class FailingList : public MemoryMessageList {
public:
    int AppendMessage(const TableRecord& table, std::uint32_t identifier,
                      const MessageText& text) override {
        if (GetRowCount() == 2) {
            throw std::bad_alloc();
        }
        return MemoryMessageList::AppendMessage(table, identifier, text);
    }
};
