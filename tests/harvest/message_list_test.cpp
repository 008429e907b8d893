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

TEST(MemoryMessageList, SortedPlacesRowsByModuleName) {
    MemoryMessageList list(MemoryMessageList::Order::SortedByModuleName);
    EXPECT_EQ(list.AppendRow(L"kernel32.dll"), 0);
    EXPECT_EQ(list.AppendRow(L"advapi32.dll"), 0);
    EXPECT_EQ(list.AppendRow(L"zlib.dll"), 2);
    // Lower case sorts before upper case; an equal name goes before the rows it equals.
    EXPECT_EQ(list.AppendRow(L"Kernel32.dll"), 2);
    const int again = list.AppendRow(L"kernel32.dll");
    EXPECT_EQ(again, 1);
    list.SetCell(again, COL_VALUE, L"newest");
    EXPECT_EQ(list.GetCell(1, COL_VALUE), L"newest");
    EXPECT_EQ(list.GetCell(2, COL_MODULE_NAME), L"kernel32.dll");
    EXPECT_EQ(list.GetCell(2, COL_VALUE), L"");
    EXPECT_EQ(list.GetCell(3, COL_MODULE_NAME), L"Kernel32.dll");
    EXPECT_EQ(list.GetCell(4, COL_MODULE_NAME), L"zlib.dll");
}

TEST(ScanTally, AddsFieldByFieldAndWraps) {
    ScanTally a{1, 2, 3, 4};
    a += ScanTally{10, 20, 30, 40};
    EXPECT_EQ(a, (ScanTally{11, 22, 33, 44}));
    ScanTally big{0x7FFFFFFF, 0, 0, 0};
    big += ScanTally{1, 0, 0, 0};
    EXPECT_EQ(big.nMessages, static_cast<std::int32_t>(0x80000000u));
}
