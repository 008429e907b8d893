// Writes harvest/native/SystemTexts.inc to standard output: the texts that the native build of
// orvanel-dump takes from tables instead of from the system, as this platform (Wine, where the
// tests run it) gives them: the error texts of the codes that the native build reports, every
// language's native name, the ANSI code page's upper half, the Win32 code of every NTSTATUS that
// ntstatus.h names, and every locale name with its language. A test runs it and compares.

#include "harvest/Codes.h"
#include "harvest/Platform.h"
#include "harvest/Unicode.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>

namespace {

// A wide string literal of the text (UTF-16 units, pairs joined).
std::string Literal(const std::wstring& text) {
    std::string out = "L\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = CombineSurrogates(c, text[i + 1]);
            ++i;
        }
        char buffer[16];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c < 0x100 && c < 0xA0) {
            std::snprintf(buffer, sizeof buffer, "\\%03o", c); // octal: never runs on
            out += buffer;
        } else if (c < 0x10000) {
            std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
            out += buffer;
        } else {
            std::snprintf(buffer, sizeof buffer, "\\U%08X", c);
            out += buffer;
        }
    }
    return out + "\"";
}

} // namespace

// With --upper-case: harvest/pe/UpperCase.inc, every character that the system upper-cases to
// another (RtlUpcaseUnicodeChar, which the loader and the file system use).
int WriteUpperCase() {
    using Upcase = WCHAR(WINAPI*)(WCHAR);
    const auto upcase = reinterpret_cast<Upcase>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
    if (upcase == nullptr) {
        std::fprintf(stderr, "this system has no RtlUpcaseUnicodeChar\n");
        return 1;
    }
    std::printf("// The system's upper case, as Wine gives it (RtlUpcaseUnicodeChar). Written by\n"
                "// make_system_texts.exe --upper-case (harvest/native/make_system_texts.cpp); do\n"
                "// not edit: a test runs it again and compares.\n\n"
                "const CasePair kUpperCase[] = {\n");
    for (unsigned c = 0x80; c <= 0xFFFF; ++c) {
        const unsigned upper = upcase(static_cast<WCHAR>(c));
        if (upper != c) {
            std::printf("    {0x%04X, 0x%04X},\n", c, upper);
        }
    }
    std::printf("};\n");
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wcscmp(argv[1], L"--upper-case") == 0) {
        return WriteUpperCase();
    }
    CPINFO info{};
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1) {
        std::fprintf(stderr, "the ANSI code page %u is not a single-byte one\n", GetACP());
        return 1;
    }
    std::printf("// The system's texts for the native build of orvanel-dump, as Wine gives them.\n"
                "// Written by make_system_texts.exe (harvest/native/make_system_texts.cpp); do\n"
                "// not edit: a test runs it again and compares.\n\n");
    std::printf("// Code page %u, bytes 0x80 to 0xFF.\n", GetACP());
    std::printf("const std::uint32_t kAnsiHighHalf[128] = {\n");
    for (int b = 0x80; b <= 0xFF; ++b) {
        const char byte = static_cast<char>(b);
        wchar_t wide = 0xFFFD;
        MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1);
        std::printf("%s0x%04X,%s", (b & 7) == 0 ? "    " : " ", static_cast<unsigned>(wide),
                    (b & 7) == 7 ? "\n" : "");
    }
    std::printf("};\n\nconst TextEntry kErrorTexts[] = {\n");
    for (platform::ErrorCode code : errors::kWithTexts) {
        const std::wstring text = platform::ErrorText(code);
        if (!text.empty()) {
            std::printf("    {%lu, %s},\n", static_cast<unsigned long>(code),
                        Literal(text).c_str());
        }
    }
    std::printf("};\n\nconst TextEntry kLanguageNames[] = {\n");
    for (unsigned language = 0; language <= 0xFFFF; ++language) {
        const std::wstring name = platform::LocaleText(static_cast<std::uint16_t>(language),
                                                       platform::kNativeLanguageName);
        if (!name.empty()) {
            std::printf("    {%u, %s},\n", language, Literal(name).c_str());
        }
    }
    std::printf(
        "};\n\n// The NTSTATUS values of ntstatus.h that the system maps to a Win32 code of\n"
        "// their own (not those of the NTWIN32 facility, 0xC001xxxx, which carry one).\n"
        "const CodeEntry kNtStatusWin32[] = {\n");
    std::set<std::uint32_t> statuses;
    for (const codes::CodeName& name : codes::AllNames()) {
        if (std::strcmp(name.header, "ntstatus.h") == 0 && name.value > 0xFFFF &&
            (name.value >> 16) != 0xC001) {
            statuses.insert(name.value);
        }
    }
    for (std::uint32_t status : statuses) {
        const std::uint32_t win32 = platform::NtStatusToWin32(status);
        if (win32 != platform::kNoWin32Code && win32 != status) {
            std::printf("    {0x%08X, %u},\n", status, win32);
        }
    }
    std::printf(
        "};\n\n// Every locale name that a language number has, and the language of the name.\n"
        "const TagEntry kLanguageTags[] = {\n");
    std::set<std::wstring> tags;
    for (unsigned language = 0; language <= 0xFFFF; ++language) {
        wchar_t tag[LOCALE_NAME_MAX_LENGTH] = {};
        if (LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), tag, LOCALE_NAME_MAX_LENGTH,
                             LOCALE_ALLOW_NEUTRAL_NAMES) == 0 ||
            tag[0] == L'\0' || !tags.insert(tag).second) {
            continue;
        }
        const LCID locale = LocaleNameToLCID(tag, LOCALE_ALLOW_NEUTRAL_NAMES);
        if (locale == 0) {
            continue;
        }
        std::string ascii;
        for (const wchar_t* c = tag; *c != L'\0'; ++c) {
            ascii += static_cast<char>(*c < 0x80 ? *c : L'?');
        }
        std::printf("    {\"%s\", 0x%04X},\n", ascii.c_str(),
                    static_cast<unsigned>(LANGIDFROMLCID(locale)));
    }
    std::printf("};\n");
    return 0;
}
