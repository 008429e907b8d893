#include "ui/Search.h"

#include "harvest/Codes.h"
#include "harvest/Strings.h"
#include "harvest/Unicode.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

// The search lives among the windows, not in the harvest: its case-blind test is the upper case
// of user32 (CharUpperBuffW), which the harvest does not link.

namespace {

// The columns in the order in which one row's cells are tested.
constexpr MessageColumn kSearchOrder[] = {COL_MODULE_NAME, COL_ERROR,     COL_LOCALE_ID,
                                          COL_VALUE,       COL_VALUE_HEX, COL_MESSAGE_TEXT};

// The system's upper case of text. ASCII letters map the same way in every locale, and most
// cells are ASCII, so they are mapped here without a call per cell.
void UpperCase(std::wstring& text) {
    bool ascii = true;
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        } else if (c >= 0x80) {
            ascii = false;
        }
    }
    if (!ascii) {
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
}

// A matching row of the source, by index; listed once for every column in which it matched.
struct Match {
    int row;
    std::wstring_view moduleName;
};

// The walk: each row's ticked cells are read once, in the order of the column table.
std::vector<Match> FindMatches(const MemoryMessageList& source, const SearchRequest& request) {
    std::wstring wanted = request.text;
    if (!request.matchCase) {
        UpperCase(wanted);
    }
    std::vector<Match> matches;
    std::wstring tested;
    std::wstring scratch;
    for (int row = 0; row < source.GetRowCount(); ++row) {
        const RowRecord record = source.Record(row);
        for (MessageColumn column : kSearchOrder) {
            if (!request.columns[column]) {
                continue;
            }
            const std::wstring_view cell = FormatCell(record, column, scratch);
            bool found;
            if (request.matchCase) {
                found = cell.find(wanted) != std::wstring_view::npos;
            } else {
                tested.assign(cell);
                UpperCase(tested);
                found = tested.find(wanted) != std::wstring::npos;
            }
            if (found) {
                matches.push_back({row, record.ModuleName()});
            }
        }
    }
    return matches;
}

// The order: each distinct module name is collated once, and the matches are ranked by name
// with a stable sort, so that equal names keep the order found.
void OrderByModuleName(std::vector<Match>& matches) {
    std::unordered_map<std::wstring_view, int> rankOf;
    for (const Match& match : matches) {
        rankOf.emplace(match.moduleName, 0);
    }
    std::vector<std::wstring_view> names;
    names.reserve(rankOf.size());
    for (const auto& entry : rankOf) {
        names.push_back(entry.first);
    }
    const auto collatesBefore = [](std::wstring_view a, std::wstring_view b) {
        return CompareModuleNames(a, b) < 0;
    };
    std::sort(names.begin(), names.end(), collatesBefore);
    int rank = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        rank += i > 0 && collatesBefore(names[i - 1], names[i]) ? 1 : 0;
        rankOf[names[i]] = rank;
    }
    std::vector<std::pair<int, Match>> ranked;
    ranked.reserve(matches.size());
    for (const Match& match : matches) {
        ranked.emplace_back(rankOf[match.moduleName], match);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        matches[i] = ranked[i].second;
    }
}

} // namespace

namespace {

// Appends a copy of every matched row to target, in the matches' order.
int CopyMatches(const MemoryMessageList& source, const std::vector<Match>& matches,
                MessageList& target) {
    // The copies keep the source's letter case: they are read from it, not from the test.
    target.ReserveRows(target.GetRowCount() + static_cast<int>(matches.size()));
    for (const Match& match : matches) {
        AppendRowCopy(source, match.row, target);
    }
    return static_cast<int>(matches.size());
}

} // namespace

int SearchRows(const MemoryMessageList& source, const SearchRequest& request, MessageList& target) {
    if (request.text.empty()) {
        return 0;
    }
    std::vector<Match> matches = FindMatches(source, request);
    OrderByModuleName(matches);
    return CopyMatches(source, matches, target);
}

bool ParseLookup(std::wstring_view text, MessageQuery& query, std::wstring& name,
                 std::wstring& error) {
    text = TrimBlanks(text);
    const std::size_t blank = std::min(text.find_first_of(L" \t"), text.size());
    std::uint32_t code = 0;
    if (!codes::ParseCode(text.substr(0, blank), code, error)) {
        return false;
    }
    const std::wstring_view languageText = TrimBlanks(text.substr(blank));
    if (!languageText.empty()) {
        std::uint16_t language = 0;
        if (!ParseLanguage(languageText, language, error)) {
            return false;
        }
        query.AddLanguage(language);
    }
    query.AddCode(code);
    name.clear();
    for (const codes::CodeReading& reading : codes::ReadingsOf(code)) {
        const std::vector<codes::CodeName> names = codes::NamesOf(reading.value);
        if (!names.empty()) {
            name = WidenAscii(names[0].name);
            break;
        }
    }
    return true;
}

int LookupRows(const MemoryMessageList& source, const MessageQuery& query, MessageList& target) {
    std::vector<Match> matches;
    for (int row = 0; row < source.GetRowCount(); ++row) {
        const RowRecord record = source.Record(row);
        if (record.kind == RowKind::Message && query.KeepsIdentifier(record.identifier) &&
            query.KeepsLanguage(record.table->language)) {
            matches.push_back({row, record.ModuleName()});
        }
    }
    OrderByModuleName(matches);
    return CopyMatches(source, matches, target);
}
