#include "harvest/SystemText.h"

#include "harvest/Platform.h"
#include "harvest/Strings.h"

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
