#include "harvest/MessageTable.h"

#include <algorithm>
#include <cstring>

namespace MessageTable {
namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kDescriptorSize = 12;
constexpr std::size_t kEntryHeaderSize = 4;

std::uint32_t ReadU32(const std::uint8_t* p) {
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::uint16_t ReadU16(const std::uint8_t* p) {
    std::uint16_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

struct Block {
    std::uint32_t lowId;
    std::uint32_t highId;
    std::uint32_t offset;
};

std::size_t ReadableBlockCount(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize) {
        return 0;
    }
    const std::size_t announced = ReadU32(data);
    return std::min(announced, (size - kHeaderSize) / kDescriptorSize);
}

Block ReadBlock(const std::uint8_t* data, std::size_t index) {
    const std::uint8_t* p = data + kHeaderSize + index * kDescriptorSize;
    return {ReadU32(p), ReadU32(p + 4), ReadU32(p + 8)};
}

// Identifiers that a walk of the block can visit: every entry takes at least its header.
std::uint64_t WalkableIds(const Block& block, std::size_t size) {
    if (block.lowId > block.highId || block.offset > size) {
        return 0;
    }
    const std::uint64_t ids = std::uint64_t{block.highId} - block.lowId + 1;
    return std::min<std::uint64_t>(ids, (size - block.offset) / kEntryHeaderSize);
}

// Entries that a walk of the block visits, following their lengths (their texts unchecked), up to
// limit: at least the rows that decoding the block yields.
std::uint64_t CountEntries(const std::uint8_t* data, std::size_t size, const Block& block,
                           std::uint64_t limit) {
    const std::uint64_t walkable = std::min(WalkableIds(block, size), limit);
    std::uint64_t entry = block.offset;
    std::uint64_t count = 0;
    while (count < walkable && entry <= size && size - entry >= kEntryHeaderSize) {
        const std::uint16_t length = ReadU16(data + entry);
        ++count;
        if (length < kEntryHeaderSize) {
            break;
        }
        entry += length;
    }
    return count;
}

// The size in bytes of the zero-terminated text at [begin, end), without its terminator; false
// when no terminator lies inside. scanned is the number of bytes looked at.
bool MeasureText(Encoding encoding, const std::uint8_t* begin, const std::uint8_t* end,
                 std::size_t& textSize, std::size_t& scanned) {
    const auto available = static_cast<std::size_t>(end - begin);
    if (encoding != Encoding::Utf16) {
        const void* zero = std::memchr(begin, 0, available);
        scanned = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - begin)
                       : available;
        textSize = scanned;
        return zero != nullptr;
    }
    const std::size_t units = available / 2;
    std::size_t length = 0;
    // Four units at a time while none of them is zero (the classic test for a zero field: exact
    // as to whether there is one), then unit by unit to the terminator.
    constexpr std::uint64_t kOnes = 0x0001000100010001u, kHighBits = 0x8000800080008000u;
    while (units - length >= 4) {
        std::uint64_t four = 0;
        std::memcpy(&four, begin + 2 * length, sizeof four);
        if (((four - kOnes) & ~four & kHighBits) != 0) {
            break;
        }
        length += 4;
    }
    while (length < units && ReadU16(begin + 2 * length) != 0) {
        ++length;
    }
    scanned = 2 * length;
    textSize = scanned;
    return length < units;
}

} // namespace

Encoding EncodingOf(std::uint16_t flags) {
    switch (flags) {
    case 0:
        return Encoding::Ansi;
    case 2:
        return Encoding::Utf8;
    default:
        return Encoding::Utf16;
    }
}

Announcement Announce(const std::uint8_t* data, std::size_t size) {
    Announcement result;
    const std::size_t blocks = ReadableBlockCount(data, size);
    const std::uint64_t limit = RowLimit(size);
    for (std::size_t i = 0; i < blocks; ++i) {
        const Block block = ReadBlock(data, i);
        result.announced += block.highId - block.lowId + 1;
        result.maxRows += CountEntries(data, size, block, limit - result.maxRows);
    }
    return result;
}

bool Decode(const std::uint8_t* data, std::size_t size, Sink& sink) {
    const std::size_t blocks = ReadableBlockCount(data, size);
    const std::uint8_t* const end = data + size;
    std::uint64_t rowsLeft = RowLimit(size);
    std::uint64_t bytesLeft = ByteBudget(size); // what looking at entries may still cost
    for (std::size_t i = 0; i < blocks; ++i) {
        const Block block = ReadBlock(data, i);
        const std::uint64_t walkable = WalkableIds(block, size);
        std::uint64_t entry = block.offset;
        for (std::uint64_t n = 0; n < walkable; ++n) {
            if (entry > size || size - entry < kEntryHeaderSize) {
                break;
            }
            const std::uint8_t* header = data + entry;
            const std::uint16_t length = ReadU16(header);
            const Encoding encoding = EncodingOf(ReadU16(header + 2));
            std::size_t textSize = 0, scanned = 0;
            const bool terminated =
                MeasureText(encoding, header + kEntryHeaderSize, end, textSize, scanned);
            // Looking costs as much as reading, so that a text without end cannot be scanned
            // again and again for free.
            const std::uint64_t cost = kEntryHeaderSize + scanned;
            if (cost > bytesLeft) {
                return false;
            }
            bytesLeft -= cost;
            if (!terminated) {
                break;
            }
            if (rowsLeft == 0) {
                return false;
            }
            --rowsLeft;
            sink.OnMessage(static_cast<std::uint32_t>(block.lowId + n),
                           Text{encoding, header + kEntryHeaderSize, textSize});
            if (length < kEntryHeaderSize) {
                break;
            }
            entry += length;
        }
    }
    return true;
}

} // namespace MessageTable
