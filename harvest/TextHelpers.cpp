#include "harvest/TextHelpers.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>

std::wstring GetSystemErrorText(DWORD code) {
    std::wstring text;
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        0, nullptr);
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
        FlattenMessageText(text);
    }
    LocalFree(buffer);
    if (text.empty()) {
        text = (code & 0x80000000u) != 0
                   ? FormatString(L"Unknown error 0x%08X", code)
                   : FormatString(L"Unknown error %i", static_cast<int>(code));
    }
    return text;
}

std::wstring GetLocaleText(DWORD languageId, LCTYPE lcType) {
    wchar_t buffer[64] = {};
    const LCID locale = MAKELCID(LOWORD(languageId), SORT_DEFAULT);
    if (GetLocaleInfoW(locale, lcType, buffer, 64) == 0) {
        return {};
    }
    buffer[63] = L'\0';
    return buffer;
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

void FlattenMessageText(std::wstring& text) {
    size_t out = 0;
    for (size_t in = 0; in < text.size(); ++in) {
        if (text[in] == L'\r' && in + 1 < text.size() && text[in + 1] == L'\n') {
            text[out++] = L' ';
            ++in;
        } else {
            text[out++] = text[in];
        }
    }
    while (out > 0 && std::iswspace(text[out - 1])) {
        --out;
    }
    text.resize(out);
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    if (text.empty()) {
        return out;
    }
    const int count = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(needed > 0 ? needed : 0));
    if (needed > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), count, out.data(), needed, nullptr, nullptr);
    }
    return out;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append(1, L'\\').append(name);
    return path;
}
