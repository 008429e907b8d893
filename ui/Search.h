#pragma once

#include "harvest/MessageList.h"

#include <array>
#include <string>

// What a list window's search looks for: the find dialog's members at its last OK.
struct SearchRequest {
    std::wstring text;
    // The columns to look in, by MessageColumn. The Path column is never searched.
    std::array<bool, kMessageColumnCount> columns{};
    bool matchCase = false;
};

// Copies into target every row of source that contains the request's text in a ticked column,
// once for every such column: a row that matches in two ticked columns is copied twice. Without
// match case, both sides are compared in upper case; the copies keep the source's case.
//
// The copies are appended in ascending order of module name, compared as a sort-ascending list
// view compares (CompareModuleNames); copies with equal module names keep the order in which they
// were found (rows top to bottom, columns left to right), which a sorted target keeps as well.
//
// Returns the number of copies. The cost grows with the rows times the ticked columns for the
// walk, and with the copies (not their square) for the ordering.
int SearchRows(const MemoryMessageList& source, const SearchRequest& request, MessageList& target);
