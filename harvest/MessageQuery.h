#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which messages a lookup keeps: those of some codes (every reading of each), of some event ids
// (an identifier's low 16 bits, whatever its qualifier bits), and of some languages. A query
// that names nothing keeps every row, error rows included; any other keeps messages only.
class MessageQuery {
public:
    // Keeps the messages whose identifier is one of the value's readings (codes::ReadingsOf).
    void AddCode(std::uint32_t value);
    void AddEvent(std::uint16_t event);
    // Keeps the tables of that language (see LanguageMatches).
    void AddLanguage(std::uint16_t language);

    // Leaves error rows out, whatever else the query keeps.
    void DropErrorRows() { m_dropErrorRows = true; }

    bool KeepsEverything() const;
    // Error rows are kept by a query that keeps everything and was not told to drop them.
    bool KeepsErrorRows() const { return !m_dropErrorRows && KeepsEverything(); }
    bool KeepsLanguage(std::uint16_t tableLanguage) const;
    bool KeepsIdentifier(std::uint32_t identifier) const;

    // The identifiers that the codes are read as, and the event ids: a store looks them up in
    // its indexes (KeepsIdentifier has the last word).
    const std::vector<std::uint32_t>& Identifiers() const { return m_identifiers; }
    const std::vector<std::uint16_t>& Events() const { return m_events; }

private:
    std::vector<std::uint32_t> m_identifiers;
    std::vector<std::uint16_t> m_events;
    std::vector<std::uint16_t> m_languages;
    bool m_dropErrorRows = false;
};

// A language as a person names it: a number, decimal or hexadecimal (1041, 0x411), or a locale
// name ("ja-JP", "ja_JP", "ja"), letter case aside. A name without a region is the language
// alone (17 for "ja"). False, with a sentence for the person, when it is none of these.
bool ParseLanguage(std::wstring_view text, std::uint16_t& language, std::wstring& error);

// Whether a table stored under tableLanguage answers a question about wanted: the same number;
// for a language with a sublanguage (1041), also its language-only number (17), which the loader
// falls back to; for a language-only number (17), every sublanguage of it (1041, 2065, ...).
bool LanguageMatches(std::uint16_t wanted, std::uint16_t tableLanguage);
