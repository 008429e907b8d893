#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 to wide text (UTF-32 where wchar_t has 32 bits, as on Linux). An ill-formed sequence
// becomes one U+FFFD for each of its maximal parts, as Unicode recommends.
inline std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        int length = 0;
        std::uint32_t c = 0;
        std::uint8_t low = 0x80, high = 0xBF; // the bounds of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            c = b & 0x0F;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            c = b & 0x07;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        }
        std::size_t used = 1;
        bool whole = length > 0;
        for (int k = 1; whole && k < length; ++k) {
            const std::uint8_t next = i + static_cast<std::size_t>(k) < n ? p[i + k] : 0;
            const std::uint8_t min = k == 1 ? low : 0x80, max = k == 1 ? high : 0xBF;
            if (i + static_cast<std::size_t>(k) >= n || next < min || next > max) {
                whole = false;
                break;
            }
            c = c << 6 | (next & 0x3F);
            ++used;
        }
        out += whole ? static_cast<wchar_t>(c) : L'\uFFFD';
        i += used;
    }
    return out;
}
