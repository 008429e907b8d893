#pragma once

#include "harvest/MessageList.h"
#include "harvest/MessageQuery.h"

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

// What the lookup box asks for: a code in any form that codes::ParseCode takes, then, after a
// blank, a language if the user likes ("5 ja-JP"). False, with a sentence for the user, when the
// text is not one. name is the first symbolic name of the code (of the value itself, else of its
// first reading that has one), or empty.
bool ParseLookup(std::wstring_view text, MessageQuery& query, std::wstring& name,
                 std::wstring& error);

// Copies into target every message row of source that the query keeps (its identifier is one of
// the code's readings, its language one of those asked), in ascending order of module name as
// SearchRows orders. Error rows are never copied. Returns the number of copies.
int LookupRows(const MemoryMessageList& source, const MessageQuery& query, MessageList& target);
