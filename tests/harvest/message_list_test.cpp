#include "harvest/MessageList.h"
#include "harvest/ScanTally.h"

#include <gtest/gtest.h>

TEST(MemoryMessageList, UnsortedAppendsAtTheEnd) {
    MemoryMessageList list;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(list.AppendRow(L"m" + std::to_wstring(9 - i)), i);
    }
    list.ReserveRows(1000);
    EXPECT_EQ(list.GetRowCount(), 10);
    EXPECT_EQ(list.AppendRow(L"a"), 10);
    list.SetCell(10, COL_MESSAGE_TEXT, L"text");
    EXPECT_EQ(list.GetCell(10, COL_MODULE_NAME), L"a");
    EXPECT_EQ(list.GetCell(10, COL_PATH), L"");
    EXPECT_EQ(list.GetCell(10, COL_MESSAGE_TEXT), L"text");
    EXPECT_EQ(list.GetCell(0, COL_MODULE_NAME), L"m9");
    EXPECT_EQ(list.GetCell(99, COL_MODULE_NAME), L""); // out of range reads nothing
    list.DeleteAllRows();
    EXPECT_EQ(list.GetRowCount(), 0);
}

// Rows fed out of order come out in the comparison's order, equal names in arrival order: more
// than 16 of each, past what a small sort keeps in order by luck.
TEST(MemoryMessageList, SortedKeepsEqualNamesInArrivalOrder) {
    MemoryMessageList list(MemoryMessageList::Order::SortedByModuleName);
    const std::wstring names[] = {L"kernel32.dll", L"advapi32.dll", L"Kernel32.dll", L"zlib.dll"};
    for (int i = 0; i < 100; ++i) {
        const int at = list.AppendRow(names[(i * 7) % 4]);
        list.SetCell(at, COL_VALUE, std::to_wstring(i));
    }
    std::wstring previousName;
    int previousValue = -1;
    for (int row = 0; row < list.GetRowCount(); ++row) {
        const std::wstring name = list.GetCell(row, COL_MODULE_NAME);
        const int value = std::stoi(list.GetCell(row, COL_VALUE));
        if (name == previousName) {
            EXPECT_GT(value, previousValue) << row;
        } else if (!previousName.empty()) {
            EXPECT_LT(CompareModuleNames(previousName, name), 0) << row;
        }
        previousName = name;
        previousValue = value;
    }
    // Lower case before upper case.
    EXPECT_EQ(list.GetCell(0, COL_MODULE_NAME), L"advapi32.dll");
    EXPECT_EQ(list.GetCell(25, COL_MODULE_NAME), L"kernel32.dll");
    EXPECT_EQ(list.GetCell(50, COL_MODULE_NAME), L"Kernel32.dll");
    // Out of range is never an error: nothing is read or written there.
    list.SetCell(100, COL_VALUE, L"x");
    list.SetCell(0, COL_MODULE_NAME, L"x");
    EXPECT_EQ(list.GetCell(0, COL_MODULE_NAME), L"advapi32.dll");
    EXPECT_EQ(list.GetCell(0, 7), L"");
}

TEST(ScanTally, AddsFieldByFieldAndWraps) {
    ScanTally a{1, 2, 3, 4};
    a += ScanTally{10, 20, 30, 40};
    EXPECT_EQ(a, (ScanTally{11, 22, 33, 44}));
    ScanTally big{0x7FFFFFFF, 0, 0, 0};
    big += ScanTally{1, 0, 0, 0};
    EXPECT_EQ(big.nMessages, static_cast<std::int32_t>(0x80000000u));
}
