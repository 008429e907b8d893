#include "harvest/Strings.h"

#include "harvest/Platform.h"

#include <cstdarg>
#include <cstdint>
#include <cwchar>

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

namespace {

// Unit i of little-endian text of UnitSize bytes a unit.
template <int UnitSize> std::uint32_t UnitAt(const std::uint8_t* bytes, std::size_t i) {
    if constexpr (UnitSize == 1) {
        return bytes[i];
    } else {
        return bytes[2 * i] | std::uint32_t{bytes[2 * i + 1]} << 8;
    }
}

template <int UnitSize>
bool FlattenAscii(const std::uint8_t* bytes, std::size_t units, std::string& out) {
    // What flattening removes from the end: white space, CR LF pairs included. Before it, every
    // unit must be printable ASCII: then no CR LF pair is left to become a space, and the last
    // unit kept is no white space.
    // A UTF-8 byte is a character only below 0x80.
    constexpr std::uint32_t kCharacters = UnitSize == 1 ? 0x80 : 0x10000;
    std::size_t end = units;
    while (end > 0 && UnitAt<UnitSize>(bytes, end - 1) < kCharacters &&
           IsTrailingSpace(static_cast<wchar_t>(UnitAt<UnitSize>(bytes, end - 1)))) {
        --end;
    }
    out.resize(end);
    char* const to = out.data();
    std::uint32_t outside = 0;
    for (std::size_t i = 0; i < end; ++i) {
        const std::uint32_t c = UnitAt<UnitSize>(bytes, i);
        to[i] = static_cast<char>(c);
        outside |= static_cast<std::uint32_t>(c - 0x20 > 0x7E - 0x20);
    }
    return outside == 0;
}

} // namespace

bool FlattenAsciiText(const std::uint8_t* bytes, std::size_t size, int unitSize, std::string& out) {
    return unitSize == 1 ? FlattenAscii<1>(bytes, size, out)
                         : FlattenAscii<2>(bytes, size / 2, out);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append(1, platform::kPathSeparator).append(name);
    return path;
}

std::pair<std::wstring, std::wstring> SplitPath(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return {L".", path};
    }
    const bool root = slash == 0 || (slash == 2 && path[1] == L':');
    return {path.substr(0, root ? slash + 1 : slash), path.substr(slash + 1)};
}

std::wstring_view TrimBlanks(std::wstring_view text) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}
