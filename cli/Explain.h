#pragma once

#include "harvest/MessageList.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A code that --explain was given: as typed, and its value.
struct ExplainedCode {
    std::wstring text;
    std::uint32_t value;
};

// Writes, for a person, each code in turn: every reading of it with the fields of each (Win32
// code; HRESULT or NTSTATUS fields), every symbolic name with its header, then every message of
// rows whose identifier is one of its readings, one line each (module, language, identifier,
// text). rows are what a scan of folder kept in the given languages. A code that no header names
// and no row answers gets one line that says so. Returns false when some code was such a one.
//
// How each text is shown: flattened to one line, or as the table holds it (raw); and, where
// inserts are given, filled with them below it (render::Render), with the reason where it cannot
// be, which sets renderFailed.
struct ExplainStyle {
    bool raw = false;
    bool fill = false;
    std::vector<std::wstring> inserts;
    // The messages of the parameter modules (--parameters): %%N in an insert or a text stands
    // for message N, in the text's language where there is one.
    const MemoryMessageList* parameters = nullptr;
};

// text with every %%N replaced by message N of parameters (its language first, then the
// language alone, neutral, English, any), flattened; the N found nowhere go to missing.
std::wstring FillParameters(std::wstring_view text, const MemoryMessageList& parameters,
                            std::uint16_t language, std::vector<std::uint32_t>& missing);
bool WriteExplanation(const std::vector<ExplainedCode>& codes,
                      const std::vector<std::uint16_t>& languages, const std::wstring& folder,
                      const MemoryMessageList& rows, const ExplainStyle& style, bool& renderFailed,
                      const std::function<void(std::wstring_view)>& write);
