#include "cli/Console.h"
#include "harvest/RowFormat.h"
#include "harvest/Unicode.h"

#include <gtest/gtest.h>

TEST(RowFormat, TsvEscapesAndCsvQuotes) {
    struct Case {
        std::wstring cell, tsv, csv;
    } cases[] = {
        {L"plain", L"plain", L"plain"},
        {L"C:\\dir", L"C:\\\\dir", L"C:\\dir"},
        {L"a\tb\rc\nd", L"a\\tb\\rc\\nd", L"\"a\tb\rc\nd\""},
        {L"say \"hi\", then", L"say \"hi\", then", L"\"say \"\"hi\"\", then\""},
        {L"", L"", L""},
    };
    for (auto& c : cases) {
        std::wstring tsv, csv;
        AppendCell(tsv, c.cell, RowFormat::Tsv);
        AppendCell(csv, c.cell, RowFormat::Csv);
        EXPECT_EQ(tsv, c.tsv);
        EXPECT_EQ(csv, c.csv);
    }
    EXPECT_EQ(ToUtf8(L"Gr\u00FC\u00DFe \u20AC"), "Gr\xC3\xBC\xC3\x9F"
                                                 "e \xE2\x82\xAC");
}

// A reader that went away is no failure to report; Wine says so in its own words. A full disk is.
TEST(Console, AReaderThatWentAwayIsQuiet) {
    for (platform::ErrorCode gone : {109u, 232u, 233u}) { // broken pipe, no data, not connected
        EXPECT_TRUE(console::ReaderIsGone(gone)) << gone;
    }
    EXPECT_FALSE(console::ReaderIsGone(112)); // disk full
    EXPECT_FALSE(console::ReaderIsGone(5));
}
