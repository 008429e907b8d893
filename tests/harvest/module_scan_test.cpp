#include "support/MemoryScanOwner.h"
#include "harvest/ModuleScan.h"
#include "harvest/Platform.h"
#include "harvest/ScanOwner.h"
#include "harvest/SystemText.h"
#include "harvest/Strings.h"
#include "tests/support/FailingList.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <new>
#include <set>

namespace {

struct Scanned {
    Rows rows;
    ScanTally tally;
};

Scanned Scan(const std::wstring& folder, const std::wstring& file) {
    MemoryScanOwner owner;
    Scanned s;
    s.tally = ScanModule(owner, folder, file);
    s.rows = AllRows(owner.list);
    return s;
}

std::vector<std::wstring> Row(const std::wstring& module, const std::wstring& folder,
                              const std::wstring& locale, const std::wstring& value,
                              const std::wstring& hex, const std::wstring& text) {
    return {module, folder, L"", locale, value, hex, text};
}

std::vector<std::wstring> ErrorRow(const std::wstring& module, const std::wstring& folder,
                                   DWORD code) {
    return {module, folder, GetSystemErrorText(code), L"", L"", L"", L""};
}

const std::wstring kEnglish = L"1033 (English)";

} // namespace

TEST(ScanModule, OneTableOfThreeMessages) {
    const std::wstring folder = FixtureFolder();
    const Scanned s = Scan(folder, L"basic.dll");
    const Rows expected = {
        Row(L"basic.dll", folder, kEnglish, L"1", L"0x00000001", L"First message"),
        Row(L"basic.dll", folder, kEnglish, L"2", L"0x00000002", L"Second line two"),
        Row(L"basic.dll", folder, kEnglish, L"3", L"0x00000003", L"Third"),
    };
    EXPECT_EQ(s.rows, expected);
    EXPECT_EQ(s.tally, (ScanTally{3, 1, 1, 0}));
}

TEST(ScanModule, EveryLanguageIsATableOfItsOwn) {
    const Scanned s = Scan(FixtureFolder(), L"languages.dll");
    ASSERT_EQ(s.rows.size(), 6u);
    EXPECT_EQ(s.tally, (ScanTally{6, 1, 2, 0}));
    // The rows of one language stay together, ids ascending within each.
    const std::wstring first = s.rows[0][COL_LOCALE_ID];
    const std::wstring second = s.rows[3][COL_LOCALE_ID];
    EXPECT_NE(first, second);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(s.rows[i][COL_LOCALE_ID], i < 3 ? first : second);
        EXPECT_EQ(s.rows[i][COL_VALUE], std::to_wstring(i % 3 + 1));
    }
    std::set<std::wstring> locales{first, second};
    EXPECT_EQ(locales, (std::set<std::wstring>{kEnglish, L"1031 (Deutsch)"}));
    const bool englishFirst = first == kEnglish;
    EXPECT_EQ(s.rows[englishFirst ? 0 : 3][COL_MESSAGE_TEXT], L"One");
    EXPECT_EQ(s.rows[englishFirst ? 3 : 0][COL_MESSAGE_TEXT], L"Eins");
}

TEST(ScanModule, NamesBlocksEncodingsAndEdgeCases) {
    const std::wstring folder = FixtureFolder();
    const Scanned s = Scan(folder, L"assorted.dll");
    const std::wstring m = L"assorted.dll";
    // Named tables come before numbered ones, as the loader enumerates them.
    const Rows expected = {
        Row(m, folder, kEnglish, L"7", L"0x00000007", L"named table"),
        Row(m, folder, kEnglish, L"1", L"0x00000001", L"alpha"),
        Row(m, folder, kEnglish, L"2", L"0x00000002", L"beta"),
        Row(m, folder, kEnglish, L"3", L"0x00000003", L"  lead\rlone\nkeep"),
        Row(m, folder, kEnglish, L"-1073741819", L"0xC0000005", L"Disk full."),
        Row(m, folder, kEnglish, L"-2147483648", L"0x80000000", L"Gr\u00FC\u00DFe \u20AC"),
        Row(m, folder, kEnglish, L"10", L"0x0000000A", L"same"), // Length 0 ends its block
    };
    ASSERT_EQ(s.rows.size(), expected.size() + 1);
    EXPECT_EQ(Rows(s.rows.begin(), s.rows.end() - 1), expected);
    // ANSI text in the system's code page.
    const std::wstring ansi = s.rows.back()[COL_MESSAGE_TEXT];
    if (GetACP() == 1252) {
        EXPECT_EQ(ansi, L"caf\u00E9 \u20ACuro");
    } else {
        EXPECT_EQ(ansi.substr(0, 3), L"caf") << "code page " << GetACP();
    }
    // Announced: 1 named, then 3 + 1 + 1 + (3 - 5 + 1) + 3 in table 1, 0 in the empty table, 1.
    EXPECT_EQ(s.tally, (ScanTally{1 + 7 + 1, 1, 4, 0}));
}

TEST(ScanModule, BrokenTablesYieldWhatLiesInsideTheirData) {
    const std::wstring folder = FixtureFolder();
    const Scanned s = Scan(folder, L"broken.dll");
    const std::wstring m = L"broken.dll";
    const Rows expected = {
        Row(m, folder, kEnglish, L"1", L"0x00000001", L"k"),
        Row(m, folder, kEnglish, L"0", L"0x00000000", L"z"),
        Row(m, folder, kEnglish, L"1", L"0x00000001", L"a"),
        Row(m, folder, kEnglish, L"2", L"0x00000002", L"b"),
        Row(m, folder, kEnglish, L"256", L"0x00000100", L"r"),
    };
    EXPECT_EQ(s.rows, expected);
    // What the tables announce, in 32-bit arithmetic, however little of it is there.
    const auto announced = static_cast<std::int32_t>(1 + 0 + 2 + 3 + 1 + 1 + 0xFFFFFF00u + 0);
    EXPECT_EQ(s.tally, (ScanTally{announced, 1, 8, 0}));
}

// Every language's table is read whole, also where the languages share one table's data: tables
// are bounded by their own data, never by the module's file.
TEST(ScanModule, TableSharedByThreeLanguagesIsReadWholeInEach) {
    const Scanned s = Scan(FixtureFolder(), L"shared.dll");
    EXPECT_EQ(s.tally, (ScanTally{6000, 1, 3, 0}));
    ASSERT_EQ(s.rows.size(), 6000u);
    for (int language = 0; language < 3; ++language) {
        const auto& first = s.rows[2000 * language];
        const auto& last = s.rows[2000 * language + 1999];
        EXPECT_EQ(first[COL_MESSAGE_TEXT], L"Shared message number 1.");
        EXPECT_EQ(last[COL_VALUE], L"2000");
        EXPECT_EQ(last[COL_MESSAGE_TEXT], L"Shared message number 2000.");
        EXPECT_EQ(first[COL_LOCALE_ID], last[COL_LOCALE_ID]);
    }
}

namespace {

// Remembers the largest reservation asked for.
class ReservingList : public MemoryMessageList {
public:
    void ReserveRows(int totalRows) override {
        largest = std::max(largest, totalRows);
        MemoryMessageList::ReserveRows(totalRows);
    }
    int largest = 0;
};

class ReservingOwner : public MemoryScanOwner {
public:
    MessageList& GetMessageList() override { return reserving; }
    ReservingList reserving;
};

} // namespace

// Two tables that read as written would give four billion rows each: an entry of Length 0 over a
// megabyte of zeros (one row), and 16,384 entries of Length 4 that each take a byte of the next
// as their text (a row each but the last, whose text runs off the end).
TEST(ScanModule, HostileTablesEndWithBoundedRowsAndReservations) {
    ReservingOwner owner;
    EXPECT_EQ(ScanModule(owner, FixtureFolder(), L"hostile.dll"), (ScanTally{0, 1, 2, 0}));
    const int rows = owner.reserving.GetRowCount();
    EXPECT_EQ(rows, 1 + 16383);
    EXPECT_EQ(owner.reserving.GetCell(0, COL_MESSAGE_TEXT), L"");
    EXPECT_EQ(owner.reserving.GetCell(rows - 1, COL_VALUE), std::to_wstring(rows - 2));
    // The reservation counts the last entry too, whose text runs off the end.
    EXPECT_LE(owner.reserving.largest, rows + 1);
}

// Tables whose sizes claim 16 MiB more than the module holds, the first also 65,536 blocks whose
// descriptors would run past the module's memory: every row that is there comes out, and nothing
// past the memory is read. A module cut short in its first table gives that table's rows that lie
// inside the file.
TEST(ScanModule, TablesEndWhereTheModulesMemoryEnds) {
    const auto texts = [](const Scanned& s) {
        std::vector<std::wstring> found;
        for (const auto& row : s.rows) {
            found.push_back(row[COL_MESSAGE_TEXT]);
        }
        return found;
    };
    const auto holds = [](const std::vector<std::wstring>& found, const std::wstring& label,
                          int from, int to) {
        auto at = found.begin();
        for (int i = from; i < to; ++i) {
            at = std::find(at, found.end(), label + L" " + std::to_wstring(i) + L".");
            if (at == found.end()) {
                return false;
            }
        }
        return true;
    };
    const Scanned over = Scan(FixtureFolder(), L"overclaim.dll");
    EXPECT_EQ(over.tally.nTables, 2);
    EXPECT_TRUE(holds(texts(over), L"First", 0, 100));
    EXPECT_TRUE(holds(texts(over), L"Second", 0, 100));

    const Scanned cut = Scan(FixtureFolder(), L"cut.dll");
    EXPECT_EQ(cut.tally.nTables, 2);
    EXPECT_TRUE(holds(texts(cut), L"First", 0, 140));
    EXPECT_LT(cut.rows.size(), 300u);
}

// A directory that names 80,000 tables over the same few bytes ends after 65,536 of them, as if
// the directory ended there: no error row.
TEST(ScanModule, AModulesTablesEndAtTheLimit) {
    const Scanned s = Scan(FixtureFolder() + L"\\limits", L"many.dll");
    EXPECT_EQ(s.tally.nTables, 65536);
    ASSERT_EQ(s.rows.size(), 65536u);
    EXPECT_EQ(s.rows.back()[COL_MESSAGE_TEXT], L"Many 0.");
    EXPECT_EQ(s.rows.back()[COL_ERROR], L"");
}

TEST(ScanModule, FilesWithoutTablesBecomeOneErrorRow) {
    TempFolder temp;
    temp.CopyFixture(L"notable.dll", L"notable.dll");
    temp.WriteText(L"notes.dll", "This is text, not a module.\r\n");
    const std::wstring& folder = temp.path();

    Scanned s = Scan(folder, L"notable.dll");
    EXPECT_EQ(s.rows, Rows{ErrorRow(L"notable.dll", folder, ERROR_RESOURCE_TYPE_NOT_FOUND)});
    EXPECT_EQ(s.tally, (ScanTally{0, 1, 0, 0}));

    s = Scan(folder, L"notes.dll");
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.rows[0], ErrorRow(L"notes.dll", folder, ERROR_BAD_EXE_FORMAT));
    EXPECT_NE(s.rows[0][COL_ERROR].find(L"%1"), std::wstring::npos);
    EXPECT_EQ(s.tally, (ScanTally{0, 1, 0, 0}));

    s = Scan(folder, L"missing.dll");
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.rows[0][COL_MODULE_NAME], L"missing.dll");
    EXPECT_FALSE(s.rows[0][COL_ERROR].empty());
    EXPECT_EQ(s.tally, (ScanTally{0, 1, 0, 0}));
}

TEST(ScanModule, FolderWithTrailingBackslashIsKeptAsGiven) {
    const std::wstring folder = FixtureFolder() + L"\\";
    const Scanned s = Scan(folder, L"basic.dll");
    ASSERT_EQ(s.rows.size(), 3u);
    EXPECT_EQ(s.rows[0][COL_PATH], folder);
    EXPECT_EQ(JoinPath(folder, L"a.dll"), folder + L"\\a.dll");
}

namespace {

// Fails in the middle of its second table, after taking a look at where the table lies.
class FailingSink : public platform::TableSink {
public:
    void OnTable(const platform::ResourceName&, std::uint16_t, const std::uint8_t* data,
                 std::size_t) override {
        MEMORY_BASIC_INFORMATION region{};
        mappedWhileRead =
            VirtualQuery(data, &region, sizeof region) != 0 && region.State == MEM_COMMIT;
        where = data;
        if (++tables == 2) {
            throw std::bad_alloc();
        }
    }
    const void* where = nullptr;
    int tables = 0;
    bool mappedWhileRead = false;
};

class FailingOwner : public MemoryScanOwner {
public:
    MessageList& GetMessageList() override { return failing; }
    FailingList failing;
};

} // namespace

// A failure of the rows' receiver never unwinds through the system's enumeration: it comes out
// of the scan after the module was released, and the rows written before it stay.
TEST(ScanModule, AFailingListLeavesTheModuleReleasedAndItsRowsSoFar) {
    FailingSink sink;
    platform::ErrorCode code = 0;
    EXPECT_THROW(platform::ReadMessageTables(FixtureFolder() + L"\\assorted.dll", sink, code),
                 std::bad_alloc);
    EXPECT_EQ(sink.tables, 2);
    EXPECT_TRUE(sink.mappedWhileRead);
    MEMORY_BASIC_INFORMATION region{};
    ASSERT_NE(VirtualQuery(sink.where, &region, sizeof region), 0u);
    EXPECT_EQ(region.State, static_cast<DWORD>(MEM_FREE)); // the module's mapping is gone

    FailingOwner owner;
    EXPECT_THROW(ScanModule(owner, FixtureFolder(), L"assorted.dll"), std::bad_alloc);
    EXPECT_EQ(owner.failing.GetRowCount(), 2);
    EXPECT_EQ(owner.failing.GetCell(1, COL_MODULE_NAME), L"assorted.dll");
}
