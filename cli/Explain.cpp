#include "cli/Explain.h"

#include "harvest/Codes.h"
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
            if (style.fill) {
                const render::Rendered filled = render::Render(record.rawText, style.inserts);
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
