#include "harvest/Codes.h"
#include "harvest/MessageQuery.h"
#include "harvest/ModuleScan.h"
#include "support/MemoryScanOwner.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

std::vector<std::uint32_t> ReadingValues(std::uint32_t value) {
    std::vector<std::uint32_t> values;
    for (const codes::CodeReading& reading : codes::ReadingsOf(value)) {
        values.push_back(reading.value);
    }
    return values;
}

} // namespace

TEST(Codes, EveryFormParsesAndEveryBadOneSaysWhy) {
    struct Case {
        const wchar_t* text;
        std::uint32_t value;
    };
    const Case good[] = {
        {L"5", 5},
        {L" 5\t", 5},
        {L"0x5", 5},
        {L"0X80070005", 0x80070005u},
        {L"0x0000000000000005", 5}, // leading zeros are no overflow
        {L"-2147024891", 0x80070005u},
        {L"-2147483648", 0x80000000u},
        {L"-0", 0},
        {L"4294967295", 0xFFFFFFFFu},
        {L"C0000005", 0xC0000005u}, // hex digits with a letter
        {L"c0000005", 0xC0000005u},
        {L"ABC", 0xABCu}, // all hex letters: hexadecimal, not a name
        {L"10", 10},      // all decimal digits: decimal, never hexadecimal
        {L"ERROR_ACCESS_DENIED", 5},
        {L"e_accessdenied", 0x80070005u},
        {L"STATUS_ACCESS_VIOLATION", 0xC0000005u},
        {L"NERR_UserNotFound", 2221},
        {L"ERROR_INTERNET_TIMEOUT", 12002},
        {L"MF_E_INVALIDREQUEST", 0xC00D36B2u},
    };
    for (const Case& c : good) {
        std::uint32_t value = 0;
        std::wstring error;
        EXPECT_TRUE(codes::ParseCode(c.text, value, error)) << c.text << ": " << error;
        EXPECT_EQ(value, c.value) << c.text;
    }
    struct Bad {
        const wchar_t* text;
        const wchar_t* says;
    };
    const Bad bad[] = {
        {L"4294967296", L"does not fit in 32 bits"},
        {L"0x100000000", L"does not fit in 32 bits"},
        {L"-2147483649", L"does not fit in 32 bits"},
        {L"NO_SUCH_CODE_NAME", L"no code is named 'NO_SUCH_CODE_NAME'"},
        {L"-0x5", L"is not a code"},
        {L"5x", L"is not a code"},
        {L"0x", L"is not a code"},
        {L"E_ACCESS DENIED", L"is not a code"},
        {L"", L"no code given"},
    };
    for (const Bad& b : bad) {
        std::uint32_t value = 0;
        std::wstring error;
        EXPECT_FALSE(codes::ParseCode(b.text, value, error)) << b.text;
        EXPECT_NE(error.find(b.says), std::wstring::npos) << b.text << ": " << error;
    }
}

TEST(Codes, EveryNameReadsBackToItsValue) {
    std::uint32_t value = 0;
    std::wstring error;
    std::set<std::string> seen;
    ASSERT_GT(codes::AllNames().size(), 5000u);
    for (const codes::CodeName& name : codes::AllNames()) {
        if (!seen.insert(name.name).second) {
            continue; // a name of two headers reads as the first
        }
        ASSERT_TRUE(codes::ParseCode(std::wstring(name.name, name.name + std::strlen(name.name)),
                                     value, error))
            << name.name;
        EXPECT_EQ(value, name.value) << name.name;
    }
    const auto names = codes::NamesOf(0);
    std::set<std::string> zero;
    for (const auto& name : names) {
        zero.insert(std::string(name.name) + " " + name.header);
    }
    for (const char* expected : {"ERROR_SUCCESS winerror.h", "S_OK winerror.h",
                                 "STATUS_SUCCESS ntstatus.h", "NERR_Success lmerr.h"}) {
        EXPECT_EQ(zero.count(expected), 1u) << expected;
    }
    EXPECT_STREQ(codes::NamesOf(5).at(0).name, "ERROR_ACCESS_DENIED");
}

TEST(Codes, ReadingsFollowEveryWrapping) {
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(ReadingValues(0), V({0}));
    EXPECT_EQ(ReadingValues(5), V({5, 0x80070005u}));
    EXPECT_EQ(ReadingValues(0x80070005u), V({0x80070005u, 5}));
    EXPECT_EQ(ReadingValues(0x80072714u), V({0x80072714u, 10004})); // the whole low word
    // An HRESULT that wraps an NTSTATUS, which the system maps to a Win32 code.
    EXPECT_EQ(ReadingValues(0xD0000022u), V({0xD0000022u, 0xC0000022u, 5, 0x80070005u}));
    EXPECT_EQ(ReadingValues(0xC0000005u), V({0xC0000005u, 998, 0x800703E6u}));
    // NTWIN32: an NTSTATUS that carries a Win32 code.
    EXPECT_EQ(ReadingValues(0xC0010005u), V({0xC0010005u, 5, 0x80070005u}));
    // No Win32 code for it (ERROR_MR_MID_NOT_FOUND), and an event id with qualifier bits.
    EXPECT_EQ(ReadingValues(0xC00D36B2u), V({0xC00D36B2u}));
    EXPECT_EQ(ReadingValues(0xB00002BDu), V({0xB00002BDu}));
    // The whole Win32 range, its last code too; a success code of facility 7 is no Win32 code.
    EXPECT_EQ(ReadingValues(0xFFFFu), V({0xFFFFu, 0x8007FFFFu}));
    EXPECT_EQ(ReadingValues(0x8007FFFFu), V({0x8007FFFFu, 0xFFFFu}));
    const V success = ReadingValues(0x00070005u);
    EXPECT_EQ(std::count(success.begin(), success.end(), 5u), 0);
    EXPECT_EQ(std::count(success.begin(), success.end(), 0x80070005u), 0);

    EXPECT_EQ(codes::DescribeHResult(0x80070005u), L"failure, facility 7 (FACILITY_WIN32), code 5");
    EXPECT_EQ(codes::DescribeHResult(0xD0000022u),
              L"failure, facility 0 (FACILITY_NULL), code 34, NT bit");
    // Facilities wider than 11 bits, as the headers read them.
    EXPECT_EQ(codes::DescribeHResult(0x88890004u),
              L"failure, facility 2185 (FACILITY_AUDCLNT), code 4");
    EXPECT_EQ(codes::DescribeHResult(0x887A0001u), L"failure, facility 2170, code 1");
    EXPECT_EQ(codes::DescribeHResult(0x9FFF0001u), L"failure, facility 4095, code 1, NT bit");
    EXPECT_EQ(codes::DescribeNtStatus(0xC0000005u),
              L"error (3), customer 0, facility 0x000, code 0x0005");
    EXPECT_EQ(codes::DescribeNtStatus(0xA0020001u),
              L"warning (2), customer 1, facility 0x002 (FACILITY_RPC_RUNTIME), code 0x0001");
}

TEST(Codes, LanguagesByNumberOrNameWithTheLoadersFallback) {
    struct Case {
        const wchar_t* text;
        std::uint16_t language;
    };
    for (const Case& c :
         {Case{L"1041", 0x411}, Case{L"0x411", 0x411}, Case{L"ja-JP", 0x411}, Case{L"ja_jp", 0x411},
          Case{L"JA", 0x11}, Case{L"de", 0x07}, Case{L"17", 0x11}}) {
        std::uint16_t language = 0;
        std::wstring error;
        EXPECT_TRUE(ParseLanguage(c.text, language, error)) << c.text << ": " << error;
        EXPECT_EQ(language, c.language) << c.text;
    }
    for (const wchar_t* bad : {L"70000", L"xx-nowhere", L"", L"0x"}) {
        std::uint16_t language = 0;
        std::wstring error;
        EXPECT_FALSE(ParseLanguage(bad, language, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(LanguageMatches(0x411, 0x411));
    EXPECT_TRUE(LanguageMatches(0x411, 0x11));   // the language alone, as the loader falls back
    EXPECT_FALSE(LanguageMatches(0x411, 0x811)); // not another region
    EXPECT_TRUE(LanguageMatches(0x11, 0x411));   // the language alone takes every region
    EXPECT_FALSE(LanguageMatches(0x11, 0x407));
    EXPECT_FALSE(LanguageMatches(0x409, 0)); // neutral is a language of its own
    EXPECT_FALSE(LanguageMatches(0, 0x400));
}

TEST(Codes, AQueryKeepsTheReadingsAndLanguagesAskedAndDropsErrorRows) {
    // Japanese asked with its region finds the tables stored under the language alone.
    MessageQuery query;
    query.AddCode(0xD0000022u);
    query.AddEvent(701);
    query.AddLanguage(0x411);
    MemoryScanOwner owner(L"*.dll");
    owner.query = &query;
    const ScanTally tally = ScanModule(owner, FixtureFolder(), L"codes.dll");
    std::vector<std::wstring> kept;
    for (const auto& row : AllRows(owner.list)) {
        kept.push_back(row[COL_LOCALE_ID].substr(0, 2) + L" " + row[COL_VALUE_HEX]);
    }
    EXPECT_EQ(kept, std::vector<std::wstring>(
                        {L"17 0x00000005", L"17 0x800002BD", L"17 0x80070005", L"17 0xC0000022"}));
    EXPECT_EQ(tally.nMessages, 15); // the counts are those of every table
    EXPECT_EQ(tally.nTables, 3);

    MemoryScanOwner missing;
    missing.query = &query;
    ScanModule(missing, FixtureFolder(), L"no-such-module.dll");
    EXPECT_EQ(missing.list.GetRowCount(), 0);
}

// Any code, event or language keeps messages only: error rows go, as they do with --no-errors.
TEST(MessageQuery, EveryChoiceLeavesErrorRowsOut) {
    EXPECT_TRUE(MessageQuery().KeepsErrorRows());
    MessageQuery language, code, event, dropped;
    language.AddLanguage(1033);
    code.AddCode(5);
    event.AddEvent(701);
    dropped.DropErrorRows();
    for (const MessageQuery* query : {&language, &code, &event, &dropped}) {
        EXPECT_FALSE(query->KeepsErrorRows());
    }
    EXPECT_TRUE(language.KeepsIdentifier(12345)); // a language alone keeps every identifier
    EXPECT_FALSE(language.KeepsLanguage(1031));
}
