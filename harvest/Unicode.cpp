#include "harvest/Unicode.h"

namespace {

// A character appended to wide text: as UTF-16 where wchar_t has 16 bits, else as itself.
void AppendUtf16Or32(std::wstring& out, std::uint32_t character) {
    if (sizeof(wchar_t) == 2) {
        AppendUtf16(out, character);
    } else {
        out += static_cast<wchar_t>(character);
    }
}

} // namespace

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

void AppendUtf8(std::string& out, std::wstring_view text) {
    // Text that is all ASCII, most of it, is narrowed in one pass that the compiler vectorises.
    std::uint32_t high = 0;
    for (wchar_t c : text) {
        high |= static_cast<std::uint32_t>(c);
    }
    if (high < 0x80) {
        const std::size_t at = out.size();
        out.resize(at + text.size());
        char* to = out.data() + at;
        for (std::size_t i = 0; i < text.size(); ++i) {
            to[i] = static_cast<char>(text[i]);
        }
        return;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A run of ASCII, copied in one go: most text is.
        std::size_t end = i;
        while (end < text.size() && static_cast<std::uint32_t>(text[end]) < 0x80) {
            ++end;
        }
        if (end > i) {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            char* to = out.data() + at;
            for (std::size_t k = i; k < end; ++k) {
                *to++ = static_cast<char>(text[k]);
            }
            i = end - 1;
            continue;
        }
        std::uint32_t c = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && IsHighSurrogate(c) && i + 1 < text.size()) {
            const auto low = static_cast<std::uint32_t>(text[i + 1]);
            if (IsLowSurrogate(low)) {
                c = CombineSurrogates(c, low);
                ++i;
            }
        }
        if (IsSurrogate(c) || c > 0x10FFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

std::wstring FromUtf8(std::string_view text) {
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
        AppendUtf16Or32(out, whole ? c : 0xFFFD);
        i += used;
    }
    return out;
}
