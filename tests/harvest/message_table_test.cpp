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

// Texts as they lie in the data: UTF-16 units, or one unit per byte of a narrow text.
struct Collect : MessageTable::Sink {
    void OnMessage(std::uint32_t id, const MessageTable::Text& text) override {
        std::wstring units;
        if (text.encoding == MessageTable::Encoding::Utf16) {
            units.resize(text.size / 2);
            std::memcpy(units.data(), text.bytes, text.size);
        } else {
            units.assign(text.bytes, text.bytes + text.size);
        }
        rows.emplace_back(id, units);
        encodings.push_back(text.encoding);
    }
    std::vector<std::pair<std::uint32_t, std::wstring>> rows;
    std::vector<MessageTable::Encoding> encodings;
};

struct Result {
    MessageTable::Announcement announcement;
    std::vector<std::pair<std::uint32_t, std::wstring>> rows;
    std::vector<MessageTable::Encoding> encodings;
    bool complete;
};

Result DecodeAll(const std::vector<std::uint8_t>& bytes) {
    // Decode from an exact-size heap copy, so that a read past the end is a real overrun.
    std::vector<std::uint8_t> exact(bytes);
    Collect sink;
    Result r;
    r.announcement = MessageTable::Announce(exact.data(), exact.size());
    r.complete = MessageTable::Decode(exact.data(), exact.size(), sink);
    r.rows = std::move(sink.rows);
    r.encodings = std::move(sink.encodings);
    return r;
}

} // namespace

TEST(MessageTable, WellFormedBlocksDecodeInOrder) {
    using MessageTable::Encoding;
    TableBytes t;
    t.U32(2).Block(1, 2, 28).Block(0xC0000005, 0xC0000005, 56);
    t.Wide(L"One\r\n").Wide(L"Two");
    t.U16(20).U16(0).Raw("Disk full.\r\n\0\0\0", 16); // ANSI
    const Result r = DecodeAll(t.bytes);
    EXPECT_EQ(r.announcement.announced, 3u);
    EXPECT_EQ(r.announcement.maxRows, 3u);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0], std::make_pair(1u, std::wstring(L"One\r\n")));
    EXPECT_EQ(r.rows[1], std::make_pair(2u, std::wstring(L"Two")));
    EXPECT_EQ(r.rows[2], std::make_pair(0xC0000005u, std::wstring(L"Disk full.\r\n")));
    EXPECT_EQ(r.encodings, (std::vector{Encoding::Utf16, Encoding::Utf16, Encoding::Ansi}));
    EXPECT_TRUE(r.complete);

    // Flags 0 is ANSI, 2 UTF-8, anything else UTF-16.
    EXPECT_EQ(MessageTable::EncodingOf(0), Encoding::Ansi);
    EXPECT_EQ(MessageTable::EncodingOf(1), Encoding::Utf16);
    EXPECT_EQ(MessageTable::EncodingOf(2), Encoding::Utf8);
    EXPECT_EQ(MessageTable::EncodingOf(7), Encoding::Utf16);
}

// The smallest entries a compiler writes (8 bytes), end to end: nothing is cut, however many.
TEST(MessageTable, WellFormedTablesAreNeverCut) {
    const std::uint32_t count = 20000;
    TableBytes t;
    t.U32(1).Block(1, count, 16);
    for (std::uint32_t i = 0; i < count; ++i) {
        t.U16(8).U16(0).Raw("ab\0\0", 4);
    }
    const Result r = DecodeAll(t.bytes);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.rows.size(), count);
    EXPECT_EQ(r.rows.back(), std::make_pair(count, std::wstring(L"ab")));
    EXPECT_EQ(r.announcement.maxRows, count);
}

TEST(MessageTable, ShortEntryEndsItsBlockAndInvertedBlocksCountMinusOne) {
    TableBytes t;
    t.U32(3).Block(5, 3, 40).Block(10, 12, 40).Block(20, 20, 54);
    t.Wide(L"same", 0);
    t.Wide(L"next");
    const Result r = DecodeAll(t.bytes);
    EXPECT_EQ(r.rows,
              (std::vector<std::pair<std::uint32_t, std::wstring>>{{10, L"same"}, {20, L"next"}}));
    EXPECT_EQ(r.announcement.announced, 3u); // -1 + 3 + 1
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
        Case c{"2^32 ids over one entry", {}, {0}, 0};
        c.table.U32(1).Block(0, 0xFFFFFFFF, 16).Wide(L"z");
        cases.push_back(std::move(c));
    }
    {
        Case c{"offset past the data", {}, {}, 2};
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
        EXPECT_LE(r.rows.size(), r.announcement.maxRows) << c.what;
    }
}

TEST(MessageTable, CraftedTablesCannotMultiplyWork) {
    // 5,000 overlapping blocks of 2^32 ids each, all on one 4 KiB text behind a Length 0 entry:
    // read as written, billions of rows of 4 KiB each. Every look at the text is charged against
    // twice the table's size, so a few blocks in, decoding stops.
    const std::uint32_t blocks = 5000;
    const std::uint32_t entry = 4 + 12 * blocks;
    TableBytes t;
    t.U32(blocks);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        t.Block(0, 0xFFFFFFFF, entry);
    }
    t.Wide(std::wstring(2048, L'w'), 0);
    const Result r = DecodeAll(t.bytes);
    EXPECT_FALSE(r.complete);
    EXPECT_LE(r.rows.size() * (4 + 4096), MessageTable::ByteBudget(t.bytes.size()));
    EXPECT_LE(r.announcement.maxRows, MessageTable::RowLimit(t.bytes.size()));
    // The budget is twice the table's 64,106 bytes, and each row looks at 4,102: 31 rows.
    EXPECT_EQ(t.bytes.size(), 64106u);
    EXPECT_EQ(r.rows.size(), 31u);

    // Entries of Length 4, each text one byte of the next entry: they do not overlap, so all of
    // them come out (the last one's text runs off the end). Two blocks over the same chain are
    // cut at one row per 4 bytes.
    TableBytes chain;
    chain.U32(1).Block(0, 0xFFFFFFFF, 16);
    TableBytes twice;
    twice.U32(2).Block(0, 0xFFFFFFFF, 28).Block(0, 0xFFFFFFFF, 28);
    for (int i = 0; i < 16384; ++i) {
        chain.U16(4).U16(0);
        twice.U16(4).U16(0);
    }
    const Result c = DecodeAll(chain.bytes);
    EXPECT_TRUE(c.complete);
    EXPECT_EQ(c.rows.size(), 16383u);
    EXPECT_EQ(c.announcement.maxRows, 16384u);
    EXPECT_EQ(c.rows[1], std::make_pair(1u, std::wstring(L"\x04")));
    const Result d = DecodeAll(twice.bytes);
    EXPECT_FALSE(d.complete);
    EXPECT_EQ(d.rows.size(), MessageTable::RowLimit(twice.bytes.size()));
    // Room is reserved for the table's 65,564 bytes, a row per 4: not for each block's chain.
    EXPECT_EQ(d.announcement.maxRows, 16391u);

    // Blocks over an unterminated text: every look is charged, so it ends too.
    TableBytes u;
    u.U32(blocks);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        u.Block(0, 0, entry);
    }
    u.U16(0).U16(0);
    u.bytes.resize(u.bytes.size() + 65536, 'x');
    const Result v = DecodeAll(u.bytes);
    EXPECT_TRUE(v.rows.empty());
    EXPECT_FALSE(v.complete);
}

// Every entry length is legal: 1 to 3 give their row and end their block; 5, 6 and 7 (short
// texts and bare terminators), a hundred each without overlaps, are never cut.
TEST(MessageTable, ShortEntriesOfEveryLength) {
    TableBytes t;
    t.U32(6);
    const std::uint32_t entries = 4 + 6 * 12;
    t.Block(1, 100, entries).Block(101, 200, entries + 500).Block(201, 300, entries + 1100);
    const std::uint32_t shortOnes = entries + 1800;
    t.Block(1001, 1003, shortOnes)
        .Block(2001, 2003, shortOnes + 8)
        .Block(3001, 3003, shortOnes + 16);
    for (int i = 0; i < 100; ++i) {
        t.U16(5).U16(0).Raw("", 1); // ANSI, empty
    }
    for (int i = 0; i < 100; ++i) {
        t.U16(6).U16(1).U16(0); // UTF-16, empty
    }
    for (int i = 0; i < 100; ++i) {
        t.U16(7).U16(0).Raw("ab", 3);
    }
    t.U16(1).U16(0).Raw("x\0\0", 4).U16(2).U16(0).Raw("y\0\0", 4).U16(3).U16(0).Raw("z", 2);
    const Result r = DecodeAll(t.bytes);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.announcement.announced, 309u);
    ASSERT_EQ(r.rows.size(), 303u);
    EXPECT_EQ(r.rows[0], std::make_pair(1u, std::wstring()));
    EXPECT_EQ(r.rows[199], std::make_pair(200u, std::wstring()));
    EXPECT_EQ(r.rows[299], std::make_pair(300u, std::wstring(L"ab")));
    EXPECT_EQ(r.rows[300], std::make_pair(1001u, std::wstring(L"x")));
    EXPECT_EQ(r.rows[301], std::make_pair(2001u, std::wstring(L"y")));
    EXPECT_EQ(r.rows[302], std::make_pair(3001u, std::wstring(L"z")));
}
