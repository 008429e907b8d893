#include "harvest/Codes.h"

#include "harvest/Platform.h"
#include "harvest/Strings.h"
#include "harvest/Unicode.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>
#include <unordered_map>

namespace codes {

namespace {

struct CodeNameEntry {
    std::uint32_t value;
    int header;
    const char* name;
};

struct FacilityEntry {
    std::uint32_t number;
    const char* name;
};

#include "harvest/codes/CodeNames.inc"

constexpr std::uint32_t kWin32HResult = 0x80070000u; // severity failure, FACILITY_WIN32
constexpr std::uint32_t kCustomerBit = 0x20000000u;  // set in codes that no system header has
constexpr std::uint32_t kNtBit = 0x10000000u;        // HRESULT_FROM_NT
constexpr std::uint32_t kLargestWin32Code = 0xFFFFu; // what an HRESULT's low word holds

const char* FacilityName(const FacilityEntry* begin, const FacilityEntry* end,
                         std::uint32_t number) {
    const auto found =
        std::find_if(begin, end, [&](const FacilityEntry& e) { return e.number == number; });
    return found != end ? found->name : nullptr;
}

std::string UpperAscii(std::wstring_view text) {
    std::string upper;
    upper.reserve(text.size());
    for (wchar_t c : text) {
        if (c > 0x7F) {
            return {};
        }
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

// The first value of every name, by its upper case.
const std::unordered_map<std::string, std::uint32_t>& ValuesByName() {
    static const auto byName = [] {
        std::vector<const CodeNameEntry*> ordered;
        for (const CodeNameEntry& entry : kCodeNames) {
            ordered.push_back(&entry);
        }
        std::stable_sort(
            ordered.begin(), ordered.end(),
            [](const CodeNameEntry* a, const CodeNameEntry* b) { return a->header < b->header; });
        std::unordered_map<std::string, std::uint32_t> map;
        for (const CodeNameEntry* entry : ordered) {
            std::string upper(entry->name);
            for (char& c : upper) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            map.emplace(std::move(upper), entry->value);
        }
        return map;
    }();
    return byName;
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

int HexDigit(wchar_t c) {
    if (IsDigit(c)) {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

enum class Digits { Fits, TooLarge, NotDigits };

// The digits of text in base 10 or 16, at most limit.
Digits ReadDigits(std::wstring_view text, unsigned base, std::uint64_t limit,
                  std::uint64_t& value) {
    if (text.empty()) {
        return Digits::NotDigits;
    }
    value = 0;
    bool tooLarge = false;
    for (wchar_t c : text) {
        const int digit = base == 16 ? HexDigit(c) : (IsDigit(c) ? c - L'0' : -1);
        if (digit < 0) {
            return Digits::NotDigits;
        }
        value = value * base + static_cast<unsigned>(digit);
        if (value > limit) {
            tooLarge = true;
            value = limit; // keeps the sum from wrapping; the answer is already known
        }
    }
    return tooLarge ? Digits::TooLarge : Digits::Fits;
}

bool IsNameCharacter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || IsDigit(c) || c == L'_';
}

} // namespace

const std::vector<CodeName>& AllNames() {
    static const std::vector<CodeName> all = [] {
        std::vector<CodeName> names;
        names.reserve(std::size(kCodeNames));
        for (const CodeNameEntry& entry : kCodeNames) {
            names.push_back({entry.value, entry.name, kCodeNameHeaders[entry.header]});
        }
        return names;
    }();
    return all;
}

std::vector<CodeName> NamesOf(std::uint32_t value) {
    const auto range = std::equal_range(
        std::begin(kCodeNames), std::end(kCodeNames), CodeNameEntry{value, 0, nullptr},
        [](const CodeNameEntry& a, const CodeNameEntry& b) { return a.value < b.value; });
    std::vector<CodeName> names;
    for (auto it = range.first; it != range.second; ++it) {
        names.push_back({it->value, it->name, kCodeNameHeaders[it->header]});
    }
    return names;
}

bool ParseNumber(std::wstring_view text, std::uint32_t& value) {
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    std::uint64_t number = 0;
    if (ReadDigits(hex ? text.substr(2) : text, hex ? 16 : 10, 0xFFFFFFFFu, number) !=
        Digits::Fits) {
        return false;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

bool ParseCode(std::wstring_view text, std::uint32_t& value, std::wstring& error) {
    text = TrimBlanks(text);
    const std::wstring quoted = L"'" + std::wstring(text) + L"'";
    if (text.empty()) {
        error = L"no code given: write a number (5, 0x80070005, -2147024891) or a name "
                L"(ERROR_ACCESS_DENIED)";
        return false;
    }
    const bool negative = text[0] == L'-';
    const std::wstring_view body = negative ? text.substr(1) : text;
    const bool prefixed =
        body.size() > 2 && body[0] == L'0' && (body[1] == L'x' || body[1] == L'X');
    const bool decimal = std::all_of(body.begin(), body.end(), IsDigit);
    const bool hexLetters = !body.empty() && std::all_of(body.begin(), body.end(), [](wchar_t c) {
        return HexDigit(c) >= 0;
    });

    std::uint64_t number = 0;
    Digits digits = Digits::NotDigits;
    if (negative && decimal) {
        digits = ReadDigits(body, 10, 0x80000000u, number);
        number = (0x100000000u - number) & 0xFFFFFFFFu;
    } else if (!negative && prefixed) {
        digits = ReadDigits(body.substr(2), 16, 0xFFFFFFFFu, number);
    } else if (!negative && decimal) {
        digits = ReadDigits(body, 10, 0xFFFFFFFFu, number);
    } else if (!negative && hexLetters) {
        digits = ReadDigits(body, 16, 0xFFFFFFFFu, number);
    } else if (!negative && !IsDigit(body[0]) &&
               std::all_of(body.begin(), body.end(), IsNameCharacter)) {
        const auto& byName = ValuesByName();
        const auto found = byName.find(UpperAscii(body));
        if (found == byName.end()) {
            error = L"no code is named " + quoted;
            return false;
        }
        value = found->second;
        return true;
    }
    if (digits == Digits::TooLarge) {
        error = quoted + L" does not fit in 32 bits";
        return false;
    }
    if (digits == Digits::NotDigits) {
        error = quoted + L" is not a code: write a number (5, 0x80070005, -2147024891) or a "
                         L"name (ERROR_ACCESS_DENIED)";
        return false;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

std::vector<CodeReading> ReadingsOf(std::uint32_t value) {
    std::vector<CodeReading> readings;
    const auto add = [&](Reading kind, std::uint32_t read) {
        if (std::none_of(readings.begin(), readings.end(),
                         [&](const CodeReading& r) { return r.value == read; })) {
            readings.push_back({kind, read});
        }
    };
    const auto addWin32 = [&](Reading kind, std::uint32_t win32) {
        add(kind, win32);
        if (win32 != 0 && win32 <= kLargestWin32Code) {
            add(Reading::HResultOfWin32, kWin32HResult | win32);
        }
    };
    add(Reading::Value, value);
    if (value <= kLargestWin32Code) {
        addWin32(Reading::Value, value);
        return readings;
    }
    if ((value & 0xFFFF0000u) == kWin32HResult) {
        addWin32(Reading::Win32OfHResult, value & 0xFFFFu);
    }
    if ((value & kCustomerBit) != 0) {
        return readings; // no system code: an application's own, or an event with qualifiers
    }
    std::uint32_t status = value;
    if ((value & kNtBit) != 0) {
        status = value & ~kNtBit;
        add(Reading::NtStatusOfHResult, status);
    }
    const std::uint32_t win32 = platform::NtStatusToWin32(status);
    if (win32 != platform::kNoWin32Code && win32 != status) {
        addWin32(Reading::Win32OfNtStatus, win32);
    }
    return readings;
}

const wchar_t* DescribeReading(Reading kind) {
    switch (kind) {
    case Reading::Value:
        return L"the value itself";
    case Reading::Win32OfHResult:
        return L"the Win32 code that the HRESULT wraps";
    case Reading::HResultOfWin32:
        return L"the Win32 code as an HRESULT";
    case Reading::NtStatusOfHResult:
        return L"the NTSTATUS that the HRESULT wraps";
    case Reading::Win32OfNtStatus:
        return L"the Win32 code of the NTSTATUS";
    }
    return L"";
}

std::wstring DescribeHResult(std::uint32_t value) {
    // HRESULT_FACILITY's 13 bits, less the NT bit, which is told on its own: facilities of the
    // headers reach 2185 (FACILITY_AUDCLNT) and past.
    const std::uint32_t facility = (value >> 16) & 0x1FFFu & ~(kNtBit >> 16);
    const char* name =
        FacilityName(std::begin(kHResultFacilities), std::end(kHResultFacilities), facility);
    std::wstring text = (value & 0x80000000u) != 0 ? L"failure" : L"success";
    text += FormatString(L", facility %u", facility);
    if (name != nullptr) {
        text += L" (" + WidenAscii(name) + L")";
    }
    text += FormatString(L", code %u", value & 0xFFFFu);
    if ((value & kCustomerBit) != 0) {
        text += L", customer bit";
    }
    if ((value & kNtBit) != 0) {
        text += L", NT bit";
    }
    return text;
}

std::wstring DescribeNtStatus(std::uint32_t value) {
    static const wchar_t* const kSeverities[] = {L"success", L"informational", L"warning",
                                                 L"error"};
    const std::uint32_t facility = (value >> 16) & 0xFFFu;
    const char* name =
        FacilityName(std::begin(kNtStatusFacilities), std::end(kNtStatusFacilities), facility);
    std::wstring text =
        FormatString(L"%ls (%u), customer %u, facility 0x%03X", kSeverities[value >> 30],
                     value >> 30, (value >> 29) & 1u, facility);
    if (name != nullptr) {
        text += L" (" + WidenAscii(name) + L")";
    }
    return text + FormatString(L", code 0x%04X", value & 0xFFFFu);
}

} // namespace codes
