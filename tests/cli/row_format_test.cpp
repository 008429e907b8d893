#include "cli/Console.h"
#include "rows/RowFormat.h"
#include "rows/RowStream.h"
#include "harvest/Unicode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

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

// A text that offers its flattened form as ASCII, as the scan's do.
class AsciiText final : public MessageText {
public:
    explicit AsciiText(std::string_view text) : m_ascii(text), m_wide(text.begin(), text.end()) {}
    std::wstring_view Raw() const override { return m_wide; }
    bool FlatAscii(std::string_view& ascii) const override {
        ascii = m_ascii;
        return true;
    }

private:
    std::string_view m_ascii;
    std::wstring m_wide;
};

// A message row written at once, narrow or wide, is the row written cell by cell; the start of
// the line follows its module, folder and language as they change, with or without a number for
// them, and after an error row among them.
TEST(RowStream, MessageRowsAreTheCellByCellRows) {
    const char* texts[] = {"plain", "C:\\dir", "say \"hi\", then", "a \"quoted\" word", "a, b", ""};
    const std::uint32_t ids[] = {0, 9, 10, 99, 100, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (RowFormat format : {RowFormat::Tsv, RowFormat::Csv}) {
        std::string ascii, wide, cells;
        RowStream a(format, [&](std::string_view s) { ascii += s; });
        RowStream w(format, [&](std::string_view s) { wide += s; });
        RowStream c(format, [&](std::string_view s) { cells += s; });
        int n = 0;
        for (const wchar_t* name : {L"a.dll", L"b,c.dll"}) {
            auto module = std::make_shared<ModuleRecord>();
            module->fileName = name;
            module->folder = L"C:\\f";
            for (std::uint16_t language : {1033, 1031}) {
                const auto numbered = MakeTable(module, {}, language, L"English");
                auto unnumbered = std::make_shared<TableRecord>(*numbered);
                unnumbered->serial = 0;
                for (const char* text : texts) {
                    const std::wstring t(text, text + std::strlen(text));
                    const std::uint32_t id = ids[n++ % std::size(ids)];
                    a.AppendMessage(*numbered, id, AsciiText(text));
                    w.AppendMessage(*unnumbered, id, WideMessageText(t));
                    c.MessageList::AppendMessage(*numbered, id, WideMessageText(t));
                    if (n % 5 == 0) {
                        for (MessageList* list : std::initializer_list<MessageList*>{&a, &w, &c}) {
                            list->SetCell(list->AppendRow(L"bad.dll"), COL_ERROR, L"Bad, \"bad\"");
                        }
                    }
                }
            }
        }
        a.Finish();
        w.Finish();
        c.Finish();
        EXPECT_EQ(ascii, cells);
        EXPECT_EQ(wide, cells);
        const std::string sep = format == RowFormat::Tsv ? "\t" : ",";
        for (const char* numbers : {"-2147483648", "0x80000000", "-1", "0xFFFFFFFF"}) {
            EXPECT_NE(cells.find(sep + numbers + sep), std::string::npos) << numbers;
        }
    }
}

// Each format by its name and by a file's ending, letter case aside; the clipboard's rows are no
// file's.
TEST(RowFormat, FormatsByNameAndByEnding) {
    EXPECT_EQ(FindFormat(L"jsonl")->format, RowFormat::JsonLines);
    EXPECT_EQ(FindFormat(L"CSV"), nullptr);
    EXPECT_EQ(FindFormat(L"clipboard"), nullptr);
    EXPECT_EQ(FormatOfFileName(L"C:\\out\\X.CSV")->format, RowFormat::Csv);
    EXPECT_EQ(FormatOfFileName(L"rows.Tsv")->format, RowFormat::Tsv);
    EXPECT_EQ(FormatOfFileName(L"rows.JSONL")->format, RowFormat::JsonLines);
    EXPECT_EQ(FormatOfFileName(L"rows.csv.txt"), nullptr);
    EXPECT_EQ(FormatOfFileName(L"csv"), nullptr);
    EXPECT_TRUE(EntryOf(RowFormat::Csv).byteOrderMark);
    EXPECT_FALSE(EntryOf(RowFormat::Tsv).byteOrderMark);
}

// A reader that went away is no failure to report; Wine says so in its own words. A full disk is.
TEST(Console, AReaderThatWentAwayIsQuiet) {
    for (platform::ErrorCode gone : {109u, 232u, 233u}) { // broken pipe, no data, not connected
        EXPECT_TRUE(console::ReaderIsGone(gone)) << gone;
    }
    EXPECT_FALSE(console::ReaderIsGone(112)); // disk full
    EXPECT_FALSE(console::ReaderIsGone(5));
}
