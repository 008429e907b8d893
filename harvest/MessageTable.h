#pragma once

#include <cstddef>
#include <cstdint>

// Decoding of message-table resource data (MESSAGE_RESOURCE_DATA): a header with the number of
// blocks, one descriptor per block (LowId, HighId, OffsetToEntries), and per block one entry per
// identifier laid end to end (Length, Flags, zero-terminated text).
//
// The data is untrusted, and everything is bounded by the table's own data, never by anything
// else (a table may live outside the module's file, in a satellite of it):
// - No read leaves [data, data + size).
// - Only block descriptors that lie wholly inside the data are read.
// - An entry header or a text that runs past the end of the data ends its block.
// - An entry shorter than its own 4-byte header (Length 0 to 3) gives its row and then ends its
//   block. No compiler writes such an entry; repeating it for every later identifier of the block
//   would turn a few bytes into billions of rows.
// - A table yields at most one row per 4 bytes of its data (an entry takes at least its 4-byte
//   header; a shorter one ends its block), and the bytes looked at (4 per entry plus the text up
//   to its terminator) add up to at most twice the data's size.
// Entries of Length 4 or more that do not overlap never reach these bounds: a well-formed table
// is never cut. (A text is read up to its terminator, as the system reads it; the text of an
// entry of Length 4, which has no room for one, runs on into what follows, which the second half
// of the byte budget pays for.)
//
// Pure: no platform call, so that it can also be built and fuzzed on its own.
namespace MessageTable {

enum class Encoding { Ansi, Utf16, Utf8 };

// Flags 0 is ANSI (the system code page), 2 is UTF-8, any other value UTF-16.
Encoding EncodingOf(std::uint16_t flags);

// The text of one entry, without its terminator, as it lies in the data.
struct Text {
    Encoding encoding;
    const std::uint8_t* bytes;
    std::size_t size; // in bytes; even for UTF-16
};

struct Announcement {
    // The sum of HighId - LowId + 1 over the blocks whose descriptors lie inside the data, in
    // 32-bit arithmetic: what the table claims, however little of it is there.
    std::uint32_t announced = 0;
    // The most rows that decoding can yield, found by following the entries' lengths: the
    // reservation for the table's rows. Exact for a well-formed table.
    std::uint64_t maxRows = 0;
};

Announcement Announce(const std::uint8_t* data, std::size_t size);

// The most rows that a table of size bytes can yield.
constexpr std::uint64_t RowLimit(std::size_t size) {
    return size / 4;
}

// The most bytes that decoding a table of size bytes may look at.
constexpr std::uint64_t ByteBudget(std::size_t size) {
    return 2 * std::uint64_t{size};
}

class Sink {
public:
    virtual void OnMessage(std::uint32_t id, const Text& text) = 0;

protected:
    ~Sink() = default;
};

// Decodes every message in table order, identifiers ascending within a block. Returns false when
// a bound of the table cut it short.
bool Decode(const std::uint8_t* data, std::size_t size, Sink& sink);

} // namespace MessageTable
