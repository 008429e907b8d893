#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Decoding of message-table resource data (MESSAGE_RESOURCE_DATA). The data is untrusted: no read
// leaves [data, data + size), and the work done is bounded by the size, whatever the table claims.
//
// Bounds:
// - Only block descriptors that lie wholly inside the data are read.
// - A block with LowId <= HighId is walked for at most (size - OffsetToEntries) / 4 identifiers,
//   since a real entry has a 4-byte header; its share of the announced count is that bound.
//   A block with LowId > HighId adds no row and announces HighId - LowId + 1 in 32-bit arithmetic.
// - An entry header or a text that runs past the end of the data ends its block.
// - Every entry looked at costs 4 bytes plus the bytes scanned for its text against a budget that
//   the caller supplies (the module's file size: the entries of a real module never share bytes,
//   so a real module never reaches it). When the budget runs out, decoding stops.
namespace MessageTable {

constexpr std::uint16_t kFlagsAnsi = 0;
constexpr std::uint16_t kFlagsUnicode = 1;
constexpr std::uint16_t kFlagsUtf8 = 2;

struct Announcement {
    std::uint32_t announced = 0; // what the table announces, bounded as above
    std::uint64_t walkable = 0;  // identifiers that a walk may visit
};

Announcement Announce(const std::uint8_t* data, std::size_t size);

class Sink {
public:
    // text is flattened to one line; its buffer is reused for the next message.
    virtual void OnMessage(std::uint32_t id, const std::wstring& text) = 0;

protected:
    ~Sink() = default;
};

// Decodes every message in table order, identifiers ascending within a block. Flags 0 texts are
// ANSI (system code page), Flags 2 texts UTF-8, any other Flags UTF-16. Returns false when the
// budget ran out before the table's end.
bool Decode(const std::uint8_t* data, std::size_t size, std::uint64_t& budget, Sink& sink);

} // namespace MessageTable
