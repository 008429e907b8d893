#include "harvest/MessageQuery.h"

#include "harvest/Codes.h"
#include "harvest/Platform.h"

#include <algorithm>

namespace {

constexpr std::uint16_t PrimaryLanguage(std::uint16_t language) {
    return language & 0x3FFu;
}

template <class T> bool Contains(const std::vector<T>& values, T value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace

void MessageQuery::AddCode(std::uint32_t value) {
    for (const codes::CodeReading& reading : codes::ReadingsOf(value)) {
        if (!Contains(m_identifiers, reading.value)) {
            m_identifiers.push_back(reading.value);
        }
    }
}

void MessageQuery::AddEvent(std::uint16_t event) {
    m_events.push_back(event);
}

void MessageQuery::AddLanguage(std::uint16_t language) {
    m_languages.push_back(language);
}

bool MessageQuery::KeepsEverything() const {
    return m_identifiers.empty() && m_events.empty() && m_languages.empty();
}

bool MessageQuery::KeepsLanguage(std::uint16_t tableLanguage) const {
    return m_languages.empty() ||
           std::any_of(m_languages.begin(), m_languages.end(), [&](std::uint16_t wanted) {
               return LanguageMatches(wanted, tableLanguage);
           });
}

bool MessageQuery::KeepsIdentifier(std::uint32_t identifier) const {
    if (m_identifiers.empty() && m_events.empty()) {
        return true;
    }
    return Contains(m_identifiers, identifier) ||
           Contains(m_events, static_cast<std::uint16_t>(identifier & 0xFFFFu));
}

bool ParseLanguage(std::wstring_view text, std::uint16_t& language, std::wstring& error) {
    std::uint32_t number = 0;
    if (!text.empty() && text[0] >= L'0' && text[0] <= L'9') {
        if (!codes::ParseNumber(text, number) || number > 0xFFFFu) {
            error = L"'" + std::wstring(text) + L"' is not a language number (0 to 65535)";
            return false;
        }
        language = static_cast<std::uint16_t>(number);
        return true;
    }
    std::wstring tag(text);
    std::replace(tag.begin(), tag.end(), L'_', L'-');
    if (!platform::LanguageOfTag(tag, language)) {
        error = L"'" + std::wstring(text) +
                L"' is not a language: write a number (1041, 0x411) or a name (ja-JP, ja, de)";
        return false;
    }
    if (tag.find(L'-') == std::wstring::npos) {
        language = PrimaryLanguage(language); // the language alone, every region of it
    }
    return true;
}

bool LanguageMatches(std::uint16_t wanted, std::uint16_t tableLanguage) {
    if (wanted == tableLanguage) {
        return true;
    }
    const std::uint16_t primary = PrimaryLanguage(wanted);
    if (primary == 0) {
        return false; // neutral and the defaults are languages of their own
    }
    return wanted == primary ? PrimaryLanguage(tableLanguage) == primary : tableLanguage == primary;
}
