#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Codes as their users hold them: a Win32 error, an HRESULT, an NTSTATUS or an event identifier,
// written in decimal, in hexadecimal, as a negative number or by name; every way a value can be
// read; and what its fields mean. Both front ends and both builds take codes from here.
namespace codes {

// A symbolic name of a code and the header that defines it.
struct CodeName {
    std::uint32_t value;
    const char* name;
    const char* header;
};

// Every name of value, in the order of the headers (winerror.h first) and of the names in them.
std::vector<CodeName> NamesOf(std::uint32_t value);
// Every name of every header, by value.
const std::vector<CodeName>& AllNames();

// A code as a person writes it: decimal ("5"), hexadecimal ("0x80070005", or hex digits that
// include a letter, "C0000005"), a negative 32-bit number ("-2147024891"), or a symbolic name,
// letter case aside ("ERROR_ACCESS_DENIED", "e_accessdenied"). Blanks around it are ignored.
// False, with a sentence for the person, when it is none of these, when the number does not fit
// in 32 bits, or when no header names it so.
bool ParseCode(std::wstring_view text, std::uint32_t& value, std::wstring& error);

// The ways of reading a value.
enum class Reading {
    Value,             // the value itself
    Win32OfHResult,    // 0x8007xxxx: the Win32 code xxxx that the HRESULT wraps
    HResultOfWin32,    // a Win32 code as an HRESULT of the Win32 facility (HRESULT_FROM_WIN32)
    NtStatusOfHResult, // an HRESULT with the NT bit: the NTSTATUS it wraps (HRESULT_FROM_NT)
    Win32OfNtStatus,   // an NTSTATUS: the Win32 code that the system maps it to
};

struct CodeReading {
    Reading kind;
    std::uint32_t value;
};

// Every reading of value, each value once, the value itself first. Values up to 0xFFFF are read
// as Win32 codes only: below 0x10000 an NTSTATUS would be a success code that shares its number
// with a Win32 error, and nobody means those.
std::vector<CodeReading> ReadingsOf(std::uint32_t value);

// What a reading is, for a person: "Win32 code of the HRESULT", ...
const wchar_t* DescribeReading(Reading kind);

// The fields of a value read as an HRESULT: "failure, facility 7 (FACILITY_WIN32), code 5"; and
// as an NTSTATUS: "error (3), customer 0, facility 0x000, code 0x0005".
std::wstring DescribeHResult(std::uint32_t value);
std::wstring DescribeNtStatus(std::uint32_t value);

// A number written in decimal or, after 0x, in hexadecimal; false when it is not one or does
// not fit in 32 bits.
bool ParseNumber(std::wstring_view text, std::uint32_t& value);

} // namespace codes
