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
    // As the system decodes UTF-8 (MultiByteToWideChar): a lead byte says how many continuation
    // bytes follow; they are taken one by one while each is one and the value so far can still
    // become a character (no overlong form, no surrogate, nothing past U+10FFFF), and the bytes
    // taken become one U+FFFD when the sequence breaks off. A sequence that the text's end cuts
    // short is one U+FFFD to the end.
    static constexpr std::uint8_t kFollowing[64] = {
        0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
        2, 2, 2, 2, 3, 3, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; // by lead byte, from 0xC0:
                                                                     // none for a byte that leads
                                                                     // no character
    static constexpr std::uint8_t kLeadMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    std::wstring out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t lead = p[i++];
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            continue;
        }
        const unsigned following = lead >= 0xC0 ? kFollowing[lead - 0xC0] : 0;
        if (following > n - i) {
            out += L'\uFFFD'; // cut short by the end
            break;
        }
        std::uint32_t value = lead & kLeadMask[following];
        bool whole = following > 0;
        for (unsigned k = following; whole && k > 0; --k) {
            const std::uint32_t next = p[i] ^ 0x80u;
            if (next >= 0x40) {
                whole = false;
                break;
            }
            value = value << 6 | next;
            // What the value must be above, with k - 1 bytes still to come.
            const bool tooSmall =
                (k == 3 && value < 0x10) || (k == 2 && value < 0x20) || (k == 1 && value < 0x80);
            const bool tooLarge = k == 2 && value >= (0x110000 >> 6);
            const bool surrogate = k == 2 && value >= (0xD800 >> 6) && value <= (0xDFFF >> 6);
            if (tooLarge) {
                whole = false; // the byte is not taken
                break;
            }
            ++i;
            if (tooSmall || surrogate) {
                whole = false;
                break;
            }
        }
        AppendUtf16Or32(out, whole ? value : 0xFFFD);
    }
    return out;
}

std::wstring WidenAscii(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}
