#include "harvest/MessageTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// Builds message-table bytes.
class TableBytes {
public:
    TableBytes& U16(std::uint16_t v) { return Raw(&v, 2); }
    TableBytes& U32(std::uint32_t v) { return Raw(&v, 4); }
    TableBytes& Block(std::uint32_t low, std::uint32_t high, std::uint32_t offset) {
        return U32(low).U32(high).U32(offset);
    }
    TableBytes& Wide(const std::wstring& text, std::uint16_t length = 0xFFFF) {
        const std::uint16_t size = static_cast<std::uint16_t>(4 + 2 * (text.size() + 1));
        U16(length == 0xFFFF ? size : length).U16(1);
        Raw(text.c_str(), 2 * (text.size() + 1));
        return *this;
    }
    TableBytes& Raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
    std::vector<std::uint8_t> bytes;
};

struct Collect : MessageTable::Sink {
    void OnMessage(std::uint32_t id, const std::wstring& text) override {
        rows.emplace_back(id, text);
    }
    std::vector<std::pair<std::uint32_t, std::wstring>> rows;
};

struct Result {
    MessageTable::Announcement announcement;
    std::vector<std::pair<std::uint32_t, std::wstring>> rows;
    bool complete;
};

Result DecodeAll(const std::vector<std::uint8_t>& bytes, std::uint64_t budget = 1u << 30) {
    // Decode from an exact-size heap copy, so that a read past the end is a real overrun.
    std::vector<std::uint8_t> exact(bytes);
    Collect sink;
    Result r;
    r.announcement = MessageTable::Announce(exact.data(), exact.size());
    r.complete = MessageTable::Decode(exact.data(), exact.size(), budget, sink);
    r.rows = std::move(sink.rows);
    return r;
}

} // namespace

TEST(MessageTable, WellFormedBlocksDecodeInOrder) {
    TableBytes t;
    t.U32(2).Block(1, 2, 28).Block(0xC0000005, 0xC0000005, 56);
    t.Wide(L"One\r\n").Wide(L"Two");
    t.U16(20).U16(0).Raw("Disk full.\r\n\0\0\0", 16); // ANSI
    const Result r = DecodeAll(t.bytes);
    EXPECT_EQ(r.announcement.announced, 3u);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0], std::make_pair(1u, std::wstring(L"One")));
    EXPECT_EQ(r.rows[1], std::make_pair(2u, std::wstring(L"Two")));
    EXPECT_EQ(r.rows[2], std::make_pair(0xC0000005u, std::wstring(L"Disk full.")));
    EXPECT_TRUE(r.complete);
}

TEST(MessageTable, FlagsTwoIsUtf8AndOtherFlagsAreUtf16) {
    const char utf8[] = "Gr\xC3\xBC\xC3\x9F"
                        "e \xE2\x82\xAC"; // "Grüße €"
    TableBytes t;
    t.U32(1).Block(1, 2, 16);
    t.U16(4 + 12).U16(2).Raw(utf8, sizeof utf8);
    t.U16(4 + 4).U16(7).Raw(L"\x263A", 4); // any Flags but 0 and 2 reads UTF-16
    const Result r = DecodeAll(t.bytes);
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0].second, L"Gr\u00FC\u00DFe \u20AC");
    EXPECT_EQ(r.rows[1].second, L"\u263A");
}

TEST(MessageTable, LengthZeroRepeatsAndInvertedBlocksCountMinusOne) {
    TableBytes t;
    t.U32(2).Block(5, 3, 28).Block(10, 12, 28);
    t.Wide(L"same", 0);
    const Result r = DecodeAll(t.bytes);
    ASSERT_EQ(r.rows.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.rows[i], std::make_pair(10u + i, std::wstring(L"same")));
    }
    EXPECT_EQ(r.announcement.announced, 2u); // -1 + 3
}

TEST(MessageTable, NothingIsReadPastTheData) {
    // Each table's data ends where the vector ends; the expected rows are what lies inside.
    struct Case {
        const char* what;
        TableBytes table;
        std::vector<std::uint32_t> ids;
        std::uint32_t announced;
    };
    std::vector<Case> cases;
    {
        Case c{"too short for a header", {}, {}, 0};
        c.table.U16(1);
        cases.push_back(std::move(c));
    }
    {
        Case c{"NumberOfBlocks beyond the descriptors present", {}, {1}, 1};
        c.table.U32(0xFFFFFFFF).Block(1, 1, 16).Wide(L"k");
        cases.push_back(std::move(c));
    }
    {
        Case c{"descriptor cut short", {}, {}, 0};
        c.table.U32(1).U32(1).U32(1);
        cases.push_back(std::move(c));
    }
    {
        Case c{"2^32 ids over one entry", {}, {0}, 2};
        c.table.U32(1).Block(0, 0xFFFFFFFF, 16).Wide(L"z");
        cases.push_back(std::move(c));
    }
    {
        Case c{"offset past the data", {}, {}, 0};
        c.table.U32(1).Block(1, 2, 0xFFFFFFF0);
        cases.push_back(std::move(c));
    }
    {
        Case c{"entry length past the data", {}, {1, 2}, 3};
        c.table.U32(1).Block(1, 3, 16).Wide(L"a").Wide(L"b", 0x7FFF);
        cases.push_back(std::move(c));
    }
    {
        Case c{"entry header cut short", {}, {1}, 2};
        c.table.U32(1).Block(1, 2, 16).Wide(L"a").U16(8);
        cases.push_back(std::move(c));
    }
    {
        Case c{"UTF-16 text without terminator", {}, {}, 1};
        c.table.U32(1).Block(7, 7, 16).U16(8).U16(1).Raw(L"xy", 4);
        cases.push_back(std::move(c));
    }
    {
        Case c{"UTF-16 text ending in half a unit", {}, {}, 1};
        c.table.U32(1).Block(7, 7, 16).U16(8).U16(1).Raw("x\0y", 3);
        cases.push_back(std::move(c));
    }
    {
        Case c{"ANSI text without terminator", {}, {}, 1};
        c.table.U32(1).Block(8, 8, 16).U16(8).U16(0).Raw("abcd", 4);
        cases.push_back(std::move(c));
    }
    {
        Case c{"ids near the top of the range", {}, {0xFFFFFFFE, 0xFFFFFFFF}, 2};
        c.table.U32(1).Block(0xFFFFFFFE, 0xFFFFFFFF, 16).Wide(L"p").Wide(L"q");
        cases.push_back(std::move(c));
    }
    for (auto& c : cases) {
        const Result r = DecodeAll(c.table.bytes);
        std::vector<std::uint32_t> ids;
        for (auto& row : r.rows) {
            ids.push_back(row.first);
        }
        EXPECT_EQ(ids, c.ids) << c.what;
        EXPECT_EQ(r.announcement.announced, c.announced) << c.what;
    }
}

TEST(MessageTable, CraftedTablesCannotMultiplyWork) {
    // 5,000 overlapping blocks of 2^32 ids each, all on one 4 KiB text behind a Length 0 entry:
    // unbounded, this would be billions of rows of 4 KiB each.
    const std::uint32_t blocks = 5000;
    const std::uint32_t entry = 4 + 12 * blocks;
    TableBytes t;
    t.U32(blocks);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        t.Block(0, 0xFFFFFFFF, entry);
    }
    t.Wide(std::wstring(2048, L'w'), 0);
    const std::uint64_t budget = 4 * t.bytes.size(); // a few times the data, as a module's size
    const Result r = DecodeAll(t.bytes, budget);
    EXPECT_FALSE(r.complete);
    EXPECT_LE(r.rows.size() * (4 + 4096), budget + 4 + 4096);
    EXPECT_LE(r.announcement.walkable, std::uint64_t{blocks} * t.bytes.size() / 4);

    // The same blocks over an unterminated text: every look is charged, so it ends too.
    TableBytes u;
    u.U32(blocks);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        u.Block(0, 0, entry);
    }
    u.U16(0).U16(0);
    u.bytes.resize(u.bytes.size() + 65536, 'x');
    const Result v = DecodeAll(u.bytes, 4 * u.bytes.size());
    EXPECT_TRUE(v.rows.empty());
    EXPECT_FALSE(v.complete);
}
