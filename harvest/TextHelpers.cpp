#include "harvest/TextHelpers.h"

#include "harvest/Platform.h"

#include <cstdarg>
#include <cwchar>

std::wstring GetSystemErrorText(std::uint32_t code) {
    std::wstring text = platform::ErrorText(code);
    FlattenMessageText(text);
    if (text.empty()) {
        text = (code & 0x80000000u) != 0
                   ? FormatString(L"Unknown error 0x%08X", code)
                   : FormatString(L"Unknown error %i", static_cast<int>(code));
    }
    return text;
}

std::wstring GetLocaleText(std::uint32_t languageId, std::uint32_t lcType) {
    return platform::LocaleText(static_cast<std::uint16_t>(languageId & 0xFFFF), lcType);
}

std::wstring FormatString(const wchar_t* format, ...) {
    std::wstring result(128, L'\0');
    for (;;) {
        va_list args;
        va_start(args, format);
        const int written = std::vswprintf(result.data(), result.size() + 1, format, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) <= result.size()) {
            result.resize(static_cast<size_t>(written));
            return result;
        }
        if (result.size() >= 0x1000000u) {
            return {};
        }
        result.resize(result.size() * 2);
    }
}

namespace {

bool IsTrailingSpace(wchar_t c) {
    switch (static_cast<std::uint32_t>(c)) {
    case 0x0009:
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0020:
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

} // namespace

void FlattenMessageText(std::wstring& text) {
    // Up to the first CR nothing changes.
    size_t out = text.find(L'\r');
    if (out == std::wstring::npos) {
        out = text.size();
    }
    for (size_t in = out; in < text.size(); ++in) {
        if (text[in] == L'\r' && in + 1 < text.size() && text[in + 1] == L'\n') {
            text[out++] = L' ';
            ++in;
        } else {
            text[out++] = text[in];
        }
    }
    while (out > 0 && IsTrailingSpace(text[out - 1])) {
        --out;
    }
    text.resize(out);
}

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
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<std::uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
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

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append(1, platform::kPathSeparator).append(name);
    return path;
}
