#include "harvest/SystemText.h"
#include "harvest/Strings.h"
#include "harvest/Unicode.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

TEST(FlattenMessageText, JoinsLinesAndTrimsTheEnd) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"Line one\r\nLine two\r\n", L"Line one Line two"},
        {L" \r\n\t \r\n ", L""},
        {L"", L""},
        {L"  leading stays", L"  leading stays"},
        {L"lone\rcr and lone\nlf stay", L"lone\rcr and lone\nlf stay"},
        {L"ends in lone cr\r", L"ends in lone cr"},
        {L"a\r\r\nb", L"a\r b"},
        {L"a\r\n\nb", L"a \nb"},
        {L"tabs and vt\t\v\f", L"tabs and vt"},
    };
    for (auto& c : cases) {
        std::wstring text = c.in;
        FlattenMessageText(text);
        EXPECT_EQ(text, c.out);
    }
}

// The narrow path for plain ASCII texts gives what the wide one gives, in UTF-16 and UTF-8, on
// every text of up to four units drawn from telling ones, and on longer ones of printable units
// with a telling unit here and there; and it takes the usual text.
TEST(FlattenAsciiText, GivesWhatTheWidePathGives) {
    const std::uint32_t units[] = {'a',  ' ',  '\r', '\n',  '\t',   0x7E,  0x7F,
                                   0x1F, 0x20, 0xA0, 0x100, 0xD800, 0x2100};
    std::vector<std::wstring> texts;
    for (int length = 0; length <= 4; ++length) {
        int count = 1;
        for (int i = 0; i < length; ++i) {
            count *= std::size(units);
        }
        for (int n = 0; n < count; ++n) {
            std::wstring wide;
            for (int i = 0, rest = n; i < length; ++i, rest /= std::size(units)) {
                wide += static_cast<wchar_t>(units[rest % std::size(units)]);
            }
            texts.push_back(wide);
        }
    }
    std::uint32_t seed = 1;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int n = 0; n < 20000; ++n) {
        std::wstring wide(next() % 40, L'x');
        for (wchar_t& c : wide) {
            c = static_cast<wchar_t>(0x20 + next() % 0x5F);
        }
        for (std::uint32_t odd = next() % 3; odd > 0 && !wide.empty(); --odd) {
            wide[next() % wide.size()] = static_cast<wchar_t>(units[next() % std::size(units)]);
        }
        texts.push_back(wide);
    }
    int narrow = 0;
    for (const std::wstring& wide : texts) {
        std::string utf16, utf8, out;
        for (wchar_t c : wide) {
            utf16 += static_cast<char>(c & 0xFF);
            utf16 += static_cast<char>(c >> 8);
        }
        std::wstring flattened = wide;
        FlattenMessageText(flattened);
        if (FlattenAsciiText(reinterpret_cast<const std::uint8_t*>(utf16.data()), utf16.size(), 2,
                             out)) {
            ++narrow;
            EXPECT_EQ(std::wstring(out.begin(), out.end()), flattened);
            EXPECT_TRUE(
                std::all_of(out.begin(), out.end(), [](char c) { return c >= 0x20 && c < 0x7F; }));
        }
        // As UTF-8, each unit a byte (NUL aside, which ends a text): no byte above 0x7F is a
        // character there, not even 0xA0.
        for (wchar_t c : wide) {
            utf8 += static_cast<char>(c & 0xFF);
        }
        if (utf8.find('\0') == std::string::npos &&
            FlattenAsciiText(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size(), 1,
                             out)) {
            EXPECT_EQ(utf8.find_first_of("\x7F\x80\xA0"), std::string::npos) << utf8;
            EXPECT_EQ(std::wstring(out.begin(), out.end()), flattened);
        }
    }
    EXPECT_GT(narrow, 5000);
    std::string out;
    const char text[] = "T\0e\0x\0t\0.\0\r\0\n\0";
    ASSERT_TRUE(FlattenAsciiText(reinterpret_cast<const std::uint8_t*>(text), 14, 2, out));
    EXPECT_EQ(out, "Text.");
}

// The trailing white space is the set that the cross-check strips too, no more and no less.
TEST(FlattenMessageText, TrimsExactlyTheCrossChecksWhiteSpace) {
    std::ifstream file(ORVANEL_SOURCE_DIR "/tests/crosscheck/trailing_space.txt");
    ASSERT_TRUE(file.is_open());
    std::set<unsigned> space;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] != '#') {
            space.insert(std::stoul(line, nullptr, 16));
        }
    }
    EXPECT_TRUE(space.count(0xA0)); // the no-break space too
    for (unsigned c = 1; c < 0x10000; ++c) {
        std::wstring text = {L'a', static_cast<wchar_t>(c)};
        FlattenMessageText(text);
        EXPECT_EQ(text.size() == 1, space.count(c) == 1) << std::hex << c;
    }
}

TEST(GetSystemErrorText, IsOneLineOrTheUnknownForm) {
    const std::wstring notFound = GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(notFound.empty());
    EXPECT_EQ(notFound.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_FALSE(iswspace(notFound.back()));

    // Insert markers stay as written.
    EXPECT_NE(GetSystemErrorText(ERROR_BAD_EXE_FORMAT).find(L"%1"), std::wstring::npos);

    EXPECT_EQ(GetSystemErrorText(0xE0F01234u), L"Unknown error 0xE0F01234");
    EXPECT_EQ(GetSystemErrorText(0x0000FFF3u), L"Unknown error 65523");
}

TEST(GetLocaleText, NativeNameOrEmpty) {
    EXPECT_EQ(GetLocaleText(1033, LOCALE_SNATIVELANGNAME), L"English");
    // Only the low 16 bits are the language.
    EXPECT_EQ(GetLocaleText(0xABCD0409u, LOCALE_SNATIVELANGNAME), L"English");
    EXPECT_EQ(GetLocaleText(0x0BAD, LOCALE_SNATIVELANGNAME), L"");
}

TEST(FormatString, FormatsLikePrintf) {
    EXPECT_EQ(FormatString(L"%d (%ls)", 1033, L"English"), L"1033 (English)");
    EXPECT_EQ(FormatString(L"%d (%ls)", 3082, L""), L"3082 ()");
    EXPECT_EQ(FormatString(L"0x%08X", 0xC0000005u), L"0xC0000005");
    EXPECT_EQ(FormatString(L"0x%08X", 1u), L"0x00000001");
    EXPECT_EQ(FormatString(L"%d", static_cast<int>(0x80000000u)), L"-2147483648");
    const std::wstring longText(1000, L'x');
    EXPECT_EQ(FormatString(L"[%ls]", longText.c_str()), L"[" + longText + L"]");
}

// Every class of ill-formed UTF-8 (stray continuation bytes, overlong forms, surrogates, values
// past U+10FFFF, leads that no sequence has, sequences broken off or cut short by the end)
// becomes what the system makes of it, in the native build as in the Windows one.
TEST(Unicode, FromUtf8ReplacesAsTheSystemDoes) {
    const unsigned char bytes[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                   0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xED, 0xEE,
                                   0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xF7, 0xF8, 0xFF};
    constexpr std::size_t kCount = sizeof bytes;
    std::string text;
    wchar_t system[16];
    int differences = 0;
    for (std::size_t length = 1; length <= 4; ++length) {
        std::size_t combinations = 1;
        for (std::size_t i = 0; i < length; ++i) {
            combinations *= kCount;
        }
        for (std::size_t n = 0; n < combinations; ++n) {
            text.clear();
            for (std::size_t i = 0, rest = n; i < length; ++i, rest /= kCount) {
                text += static_cast<char>(bytes[rest % kCount]);
            }
            const int got = MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                static_cast<int>(text.size()), system, 16);
            const std::wstring expected(system, static_cast<std::size_t>(got));
            if (FromUtf8(text) != expected && ++differences <= 12) {
                ADD_FAILURE() << "bytes " << testing::PrintToString(text) << ": "
                              << testing::PrintToString(FromUtf8(text)) << " for "
                              << testing::PrintToString(expected);
            }
        }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("a\xF0\x9F\x98\x80"), L"a\U0001F600");
}
