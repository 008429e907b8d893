#pragma once

#include <cstddef>
#include <cstdint>

// Decoding of message-table resource data (MESSAGE_RESOURCE_DATA): a header with the number of
// blocks, one descriptor per block (LowId, HighId, OffsetToEntries), and per block one entry per
// identifier laid end to end (Length, Flags, zero-terminated text).
//
// The data is untrusted: no read leaves [data, data + size), and a table yields at most
// RowLimit rows and looks at most at ByteBudget bytes, which a well-formed table never reaches.
// The rules in full, with why each is there, are the README's "The harvest's rules"; RowLimit and
// ByteBudget below are the two bounds in code.
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
