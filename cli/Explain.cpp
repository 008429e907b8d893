#include "cli/Explain.h"

#include "harvest/Codes.h"
#include "harvest/MessageQuery.h"
#include "harvest/Render.h"
#include "harvest/Strings.h"
#include "harvest/Unicode.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kLargestWin32Code = 0xFFFFu;

bool HasNtStatusName(const std::vector<codes::CodeName>& names) {
    return std::any_of(names.begin(), names.end(), [](const codes::CodeName& name) {
        return std::strcmp(name.header, "ntstatus.h") == 0;
    });
}

// The fields of one reading: what kind of code its value is taken for, and its parts.
std::wstring Fields(const codes::CodeReading& reading, const std::vector<codes::CodeName>& names) {
    if (reading.value <= kLargestWin32Code) {
        return FormatString(L"Win32 code %u", reading.value);
    }
    if (reading.kind == codes::Reading::NtStatusOfHResult || HasNtStatusName(names)) {
        return L"NTSTATUS: " + codes::DescribeNtStatus(reading.value);
    }
    return L"HRESULT: " + codes::DescribeHResult(reading.value);
}

} // namespace

std::wstring FillParameters(std::wstring_view text, const MemoryMessageList& parameters,
                            std::uint16_t language, std::vector<std::uint32_t>& missing) {
    std::wstring filled;
    std::wstring scratch;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t digits = at + 2;
        while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' &&
               digits - at < 12) {
            ++digits;
        }
        if (text.compare(at, 2, L"%%") != 0 || digits == at + 2) {
            filled += text[at++];
            continue;
        }
        std::uint32_t number = 0;
        const bool fits = codes::ParseNumber(text.substr(at + 2, digits - at - 2), number);
        // The best of the messages of that number: the language itself, then as the loader
        // falls back, then any.
        int best = -1, bestRank = 5;
        for (int row = 0; fits && row < parameters.GetRowCount(); ++row) {
            const RowRecord record = parameters.Record(row);
            if (record.kind != RowKind::Message || record.identifier != number) {
                continue;
            }
            const std::uint16_t stored = record.table->language;
            const int rank = stored == language                  ? 0
                             : LanguageMatches(language, stored) ? 1
                             : stored == 0                       ? 2
                             : stored == 0x0409                  ? 3
                                                                 : 4;
            if (rank < bestRank) {
                best = row;
                bestRank = rank;
            }
        }
        if (best < 0) {
            if (std::find(missing.begin(), missing.end(), number) == missing.end()) {
                missing.push_back(number);
            }
            filled.append(text.substr(at, digits - at)); // stays as it is
        } else {
            filled += FormatCell(parameters.Record(best), COL_MESSAGE_TEXT, scratch);
        }
        at = digits;
    }
    return filled;
}

bool WriteExplanation(const std::vector<ExplainedCode>& explained,
                      const std::vector<std::uint16_t>& languages, const std::wstring& folder,
                      const MemoryMessageList& rows, const ExplainStyle& style, bool& renderFailed,
                      const std::function<void(std::wstring_view)>& write) {
    bool allKnown = true;
    renderFailed = false;
    std::wstring languageList;
    for (std::uint16_t language : languages) {
        languageList += (languageList.empty() ? L"" : L", ") + std::to_wstring(language);
    }
    for (std::size_t i = 0; i < explained.size(); ++i) {
        const ExplainedCode& code = explained[i];
        const std::vector<codes::CodeReading> readings = codes::ReadingsOf(code.value);
        std::wstring readingLines;
        std::wstring nameLines;
        std::vector<std::uint32_t> values;
        for (const codes::CodeReading& reading : readings) {
            const std::vector<codes::CodeName> names = codes::NamesOf(reading.value);
            readingLines += FormatString(L"  0x%08X  %ls; ", reading.value,
                                         codes::DescribeReading(reading.kind)) +
                            Fields(reading, names) + L"\n";
            for (const codes::CodeName& name : names) {
                nameLines += FormatString(L"  0x%08X  ", name.value) + WidenAscii(name.name) +
                             L" (" + WidenAscii(name.header) + L")\n";
            }
            values.push_back(reading.value);
        }
        std::wstring textLines;
        std::wstring scratch;
        for (int row = 0; row < rows.GetRowCount(); ++row) {
            const RowRecord record = rows.Record(row);
            if (record.kind != RowKind::Message ||
                std::find(values.begin(), values.end(), record.identifier) == values.end()) {
                continue;
            }
            textLines += L"  ";
            for (MessageColumn column : {COL_MODULE_NAME, COL_LOCALE_ID, COL_VALUE_HEX}) {
                textLines += FormatCell(record, column, scratch);
                textLines += L"  ";
            }
            // The text as the list shows it, or as the table holds it, line breaks and all.
            textLines += style.raw ? record.rawText : FormatCell(record, COL_MESSAGE_TEXT, scratch);
            textLines += L"\n";
            if (style.fill || style.parameters != nullptr) {
                std::wstring text(record.rawText);
                std::vector<std::wstring> inserts = style.inserts;
                std::vector<std::uint32_t> missing;
                if (style.parameters != nullptr) {
                    const std::uint16_t language = record.table->language;
                    text = FillParameters(text, *style.parameters, language, missing);
                    for (std::wstring& insert : inserts) {
                        insert = FillParameters(insert, *style.parameters, language, missing);
                    }
                }
                const render::Rendered filled = render::Render(text, inserts);
                if (filled.ok) {
                    std::wstring said = filled.text;
                    if (!style.raw) {
                        FlattenMessageText(said);
                    }
                    textLines += L"    = " + said + L"\n";
                } else {
                    textLines += L"    cannot fill the inserts: " + filled.error + L"\n";
                    renderFailed = true;
                }
                if (!missing.empty()) {
                    textLines += L"    parameters not found:";
                    for (std::uint32_t number : missing) {
                        textLines += L" %%" + std::to_wstring(number);
                    }
                    textLines += L"\n";
                }
            }
        }
        if (i != 0) {
            write(L"\n");
        }
        if (nameLines.empty() && textLines.empty()) {
            allKnown = false;
            write(code.text +
                  FormatString(L" (0x%08X): no header names it, and no module in ", code.value) +
                  folder + L" has a text for it in languages " + languageList + L"\n");
            continue;
        }
        write(code.text + FormatString(L": 0x%08X = %u = %d\n", code.value, code.value,
                                       static_cast<int>(code.value)));
        write(L"Readings:\n" + readingLines);
        write(L"Names:\n" + (nameLines.empty() ? L"  none\n" : nameLines));
        write(L"Texts in " + folder + L", languages " + languageList + L":\n" +
              (textLines.empty() ? L"  none\n" : textLines));
    }
    return allKnown;
}
