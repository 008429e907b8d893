#include "harvest/MessageTable.h"

#include "harvest/TextHelpers.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>

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

std::uint64_t WalkableIds(const Block& block, std::size_t size) {
    if (block.lowId > block.highId || block.offset > size) {
        return 0;
    }
    const std::uint64_t ids = std::uint64_t{block.highId} - block.lowId + 1;
    return std::min<std::uint64_t>(ids, (size - block.offset) / kEntryHeaderSize);
}

// Converts [text, text + byteCount) in the given code page; invalid input is replaced as the
// platform replaces it.
void ConvertNarrow(UINT codePage, const std::uint8_t* text, std::size_t byteCount,
                   std::wstring& out) {
    out.clear();
    if (byteCount == 0) {
        return;
    }
    const auto* source = reinterpret_cast<const char*>(text);
    const int count = static_cast<int>(byteCount);
    out.resize(byteCount); // never more UTF-16 units than bytes
    const int written = MultiByteToWideChar(codePage, 0, source, count, out.data(), count);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
}

// Finds the terminator of the text at [begin, end). Returns the text's size in bytes, or
// std::nullopt when no terminator lies inside; scanned is the number of bytes looked at.
std::optional<std::size_t> MeasureText(bool narrow, const std::uint8_t* begin,
                                       const std::uint8_t* end, std::size_t& scanned) {
    const auto available = static_cast<std::size_t>(end - begin);
    if (narrow) {
        const void* zero = std::memchr(begin, 0, available);
        scanned = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - begin)
                       : available;
        return zero ? std::optional<std::size_t>(scanned) : std::nullopt;
    }
    const std::size_t units = available / 2;
    std::size_t length = 0;
    while (length < units && ReadU16(begin + 2 * length) != 0) {
        ++length;
    }
    scanned = 2 * length;
    return length < units ? std::optional<std::size_t>(scanned) : std::nullopt;
}

void ReadText(std::uint16_t flags, const std::uint8_t* begin, std::size_t textBytes,
              std::wstring& out) {
    if (flags == kFlagsAnsi || flags == kFlagsUtf8) {
        ConvertNarrow(flags == kFlagsAnsi ? CP_ACP : CP_UTF8, begin, textBytes, out);
        return;
    }
    out.resize(textBytes / 2);
    if (textBytes != 0) {
        std::memcpy(out.data(), begin, textBytes);
    }
}

} // namespace

Announcement Announce(const std::uint8_t* data, std::size_t size) {
    Announcement result;
    const std::size_t blocks = ReadableBlockCount(data, size);
    for (std::size_t i = 0; i < blocks; ++i) {
        const Block block = ReadBlock(data, i);
        if (block.lowId > block.highId) {
            result.announced += block.highId - block.lowId + 1;
            continue;
        }
        const std::uint64_t walkable = WalkableIds(block, size);
        result.announced += static_cast<std::uint32_t>(walkable);
        result.walkable += walkable;
    }
    return result;
}

bool Decode(const std::uint8_t* data, std::size_t size, std::uint64_t& budget, Sink& sink) {
    const std::size_t blocks = ReadableBlockCount(data, size);
    const std::uint8_t* const end = data + size;
    std::wstring text;
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
            const std::uint16_t flags = ReadU16(header + 2);
            const bool narrow = flags == kFlagsAnsi || flags == kFlagsUtf8;
            std::size_t scanned = 0;
            const auto textBytes = MeasureText(narrow, header + kEntryHeaderSize, end, scanned);
            // Looking costs as much as reading, so that a text without end cannot be scanned
            // again and again for free.
            const std::uint64_t cost = kEntryHeaderSize + scanned;
            if (cost > budget) {
                budget = 0;
                return false;
            }
            budget -= cost;
            if (!textBytes) {
                break;
            }
            ReadText(flags, header + kEntryHeaderSize, *textBytes, text);
            FlattenMessageText(text);
            sink.OnMessage(static_cast<std::uint32_t>(block.lowId + n), text);
            entry += length;
        }
    }
    return true;
}

} // namespace MessageTable
