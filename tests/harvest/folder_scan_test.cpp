#include "support/MemoryScanOwner.h"
#include "harvest/FolderScan.h"
#include "harvest/ScanOwner.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

// Module name and folder of every row.
std::vector<std::pair<std::wstring, std::wstring>> Places(const MessageList& list) {
    std::vector<std::pair<std::wstring, std::wstring>> places;
    for (int row = 0; row < list.GetRowCount(); ++row) {
        places.emplace_back(list.GetCell(row, COL_MODULE_NAME), list.GetCell(row, COL_PATH));
    }
    return places;
}

class CountingOwner : public MemoryScanOwner {
public:
    using MemoryScanOwner::MemoryScanOwner;
    std::wstring GetMaskText() override {
        ++maskReads;
        return MemoryScanOwner::GetMaskText();
    }
    int maskReads = 0;
};

} // namespace

TEST(ScanFolder, CountsTablesFilesAndFolders) {
    TempFolder temp;
    {
        MemoryScanOwner owner;
        EXPECT_EQ(ScanFolder(owner, temp.path()), (ScanTally{0, 0, 0, 1}));
        EXPECT_EQ(owner.status, L"Messages - 0 in 0 files (Searched 0 files from 1 dir)");
        EXPECT_EQ(owner.list.GetRowCount(), 0);
    }
    temp.CopyFixture(L"tenmsg.dll", L"b.dll");
    temp.CopyFixture(L"notable.dll", L"a.dll");
    temp.WriteText(L"c.dll", "plain text");
    temp.WriteText(L"ignored.txt", "not matched by the mask");
    temp.MakeFolder(L"x.dll");
    MemoryScanOwner owner;
    EXPECT_EQ(ScanFolder(owner, temp.path()), (ScanTally{20, 3, 2, 1}));
    EXPECT_EQ(owner.status, L"Messages - 20 in 2 files (Searched 3 files from 1 dir)");
    EXPECT_EQ(owner.list.GetRowCount(), 22);
    int errorRows = 0;
    for (int row = 0; row < owner.list.GetRowCount(); ++row) {
        EXPECT_NE(owner.list.GetCell(row, COL_MODULE_NAME), L"x.dll");
        errorRows += owner.list.GetCell(row, COL_ERROR).empty() ? 0 : 1;
    }
    EXPECT_EQ(errorRows, 2);

    // An empty mask lists every file; a mask is one pattern, matched without case.
    MemoryScanOwner all(L"");
    EXPECT_EQ(ScanFolder(all, temp.path()).nFilesSearched, 4);
    MemoryScanOwner upper(L"B.DLL");
    EXPECT_EQ(ScanFolder(upper, temp.path()), (ScanTally{20, 1, 2, 1}));
}

TEST(ScanFolder, RecursesDepthFirstWhenAsked) {
    TempFolder temp;
    temp.CopyFixture(L"basic.dll", L"top.dll");
    const std::wstring one = temp.MakeFolder(L"one");
    const std::wstring deep = temp.MakeFolder(L"one\\deep");
    const std::wstring hidden = temp.MakeFolder(L".hidden");
    temp.CopyFixture(L"notable.dll", L"one\\n.dll");
    temp.CopyFixture(L"notable.dll", L"one\\deep\\d.dll");
    temp.CopyFixture(L"notable.dll", L".hidden\\h.dll");

    CountingOwner flat;
    EXPECT_EQ(ScanFolder(flat, temp.path()), (ScanTally{3, 1, 1, 1}));
    EXPECT_EQ(flat.maskReads, 1);

    CountingOwner owner(L"*.dll", true);
    EXPECT_EQ(ScanFolder(owner, temp.path()), (ScanTally{3, 4, 1, 4}));
    EXPECT_EQ(owner.status, L"Messages - 3 in 1 files (Searched 4 files from 4 dir)");
    EXPECT_EQ(owner.maskReads, 4); // read afresh at every level
    EXPECT_EQ(owner.statusWrites, 4);

    auto places = Places(owner.list);
    ASSERT_EQ(places.size(), 6u);
    // The top folder's files come first, then each subfolder's whole subtree in turn.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(places[i], std::make_pair(std::wstring(L"top.dll"), temp.path()));
    }
    const auto at = [&](const std::wstring& name) {
        return std::find_if(places.begin(), places.end(),
                            [&](auto& p) { return p.first == name; }) -
               places.begin();
    };
    EXPECT_EQ(places[at(L"n.dll")].second, one);
    EXPECT_EQ(places[at(L"d.dll")].second, deep);
    EXPECT_EQ(at(L"d.dll"), at(L"n.dll") + 1);
    EXPECT_EQ(places[at(L"h.dll")].second, hidden);
    // Subfolders in the listing's order: ".hidden" is listed before "one".
    EXPECT_EQ(at(L"h.dll"), 3);
}

// "..." is a valid folder name, entered like any other. Windows lists it as a middle segment of
// a path; some platforms' path rules reject such a path, and then the folder only counts.
TEST(ScanFolder, FolderNamedThreeDotsIsEntered) {
    TempFolder temp;
    const std::wstring dots = temp.MakeFolder(L"...");
    temp.CopyFixture(L"notable.dll", L"...\\dots.dll");
    MemoryScanOwner owner(L"*.dll", true);
    const ScanTally tally = ScanFolder(owner, temp.path());
    EXPECT_EQ(tally.nFolders, 2);

    WIN32_FIND_DATAW data;
    HANDLE probe = FindFirstFileW((dots + L"\\*.dll").c_str(), &data);
    if (probe == INVALID_HANDLE_VALUE) {
        EXPECT_EQ(owner.list.GetRowCount(), 0);
        GTEST_SKIP() << "this platform cannot list " << ToUtf8(dots) << " (error " << GetLastError()
                     << ")";
    }
    FindClose(probe);
    EXPECT_EQ(Places(owner.list),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"dots.dll", dots}}));
}

TEST(ScanFolder, NonAsciiNamesReachTheCells) {
    TempFolder temp;
    const std::wstring folder = temp.MakeFolder(L"\u041F\u0430\u043F\u043A\u0430"); // Папка
    temp.CopyFixture(L"basic.dll", L"\u041F\u0430\u043F\u043A\u0430\\\u6A21\u5757.dll"); // 模块
    MemoryScanOwner owner(L"*.dll", true);
    EXPECT_EQ(ScanFolder(owner, temp.path()), (ScanTally{3, 1, 1, 2}));
    const auto places = Places(owner.list);
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0], std::make_pair(std::wstring(L"\u6A21\u5757.dll"), folder));
}

namespace {

// Notes how deep in the call stack each folder level starts.
class StackProbeOwner : public MemoryScanOwner {
public:
    using MemoryScanOwner::MemoryScanOwner;
    std::wstring GetMaskText() override {
        const char here = 0;
        const auto at = reinterpret_cast<std::uintptr_t>(&here);
        lowest = std::min(lowest, at);
        highest = std::max(highest, at);
        return MemoryScanOwner::GetMaskText();
    }
    std::uintptr_t lowest = UINTPTR_MAX, highest = 0;
};

} // namespace

// The descent keeps its own stack, so that no depth of folders can overflow the call stack: every
// level starts at the same depth of it.
TEST(ScanFolder, DepthIsNotBoundByTheCallStack) {
    TempFolder temp;
    const int depth = 40;
    std::wstring path = temp.path();
    for (int level = 0; level < depth; ++level) {
        path += L"\\d";
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << level;
    }
    temp.CopyFixture(L"basic.dll", L"top.dll");
    ASSERT_TRUE(CopyFileW(FixturePath(L"basic.dll").c_str(), (path + L"\\deep.dll").c_str(), TRUE));

    StackProbeOwner owner(L"*.dll", true);
    EXPECT_EQ(ScanFolder(owner, temp.path()), (ScanTally{6, 2, 2, depth + 1}));
    EXPECT_LT(owner.highest - owner.lowest, 512u);
    const auto places = Places(owner.list);
    ASSERT_EQ(places.size(), 6u);
    EXPECT_EQ(places.front().first, L"top.dll");
    EXPECT_EQ(places.back(), std::make_pair(std::wstring(L"deep.dll"), path));
}

TEST(ScanFolder, FolderEndingInBackslashIsKeptAsGiven) {
    TempFolder temp;
    temp.CopyFixture(L"notable.dll", L"a.dll");
    temp.MakeFolder(L"sub");
    temp.CopyFixture(L"notable.dll", L"sub\\b.dll");
    const std::wstring root = temp.path() + L"\\";
    MemoryScanOwner owner(L"*.dll", true);
    EXPECT_EQ(ScanFolder(owner, root).nFolders, 2);
    auto places = Places(owner.list);
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0].second, root);
    EXPECT_EQ(places[1].second, root + L"\\sub");
}

TEST(ScanFolder, FolderThatCannotBeListedCountsButAddsNothing) {
    MemoryScanOwner owner(L"*.dll", true);
    EXPECT_EQ(ScanFolder(owner, FixtureFolder() + L"\\no-such-folder"), (ScanTally{0, 0, 0, 1}));
    EXPECT_EQ(owner.list.GetRowCount(), 0);
}

// Every link is followed like a folder, even to a folder that is scanned anyway; only a link back
// to a folder on the way down to it is cut, and counted.
TEST(ScanFolder, LinksAreFollowedAndOnlyCyclesAreCut) {
    wchar_t tree[MAX_PATH];
    if (GetEnvironmentVariableW(L"ORVANEL_LINK_TREE", tree, MAX_PATH) == 0) {
        GTEST_SKIP() << "the tree with directory links is laid out by ctest";
    }
    MemoryScanOwner owner(L"*.dll", true);
    // The top, real1-3 and link1-3, sub, sub\back-to-top (cut) and sub\to-outside.
    EXPECT_EQ(ScanFolder(owner, tree), (ScanTally{0, 8, 0, 10}));
    std::vector<std::wstring> modules;
    for (int row = 0; row < owner.list.GetRowCount(); ++row) {
        modules.push_back(owner.list.GetCell(row, COL_MODULE_NAME));
    }
    std::sort(modules.begin(), modules.end());
    EXPECT_EQ(modules, (std::vector<std::wstring>{L"a.dll", L"c.dll", L"r1.dll", L"r1.dll",
                                                  L"r2.dll", L"r2.dll", L"r3.dll", L"r3.dll"}));
}
