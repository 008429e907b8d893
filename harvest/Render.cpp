#include "harvest/Render.h"

#include "harvest/ErrorCodes.h"
#include "harvest/Platform.h"

#include <algorithm>

namespace render {
namespace {

// Why a rendering stopped, as an exception inside this file only: the public call returns it.
struct Stop {
    std::wstring why;
    std::uint32_t systemError = 0;
};

// The text made so far, with FormatMessage's line breaking at a maximum width: a line that
// reaches the width breaks at the last run of blanks (which the line break takes the place of),
// or where it stands when it has none.
class Output {
public:
    Output(unsigned width, std::size_t expected) : m_width(width) { m_text.reserve(expected); }

    // A run of the template's own characters with no line break in it, at once where no width
    // is kept.
    void AddRun(std::wstring_view run) {
        if (Wraps()) {
            Add(run);
            return;
        }
        m_text.append(run);
        Check();
    }

    // A character of the template (an escape's too).
    void Add(wchar_t c) {
        m_text.push_back(c);
        if (Wraps()) {
            Track(c);
            Break();
        }
        Check();
    }
    void Add(std::wstring_view text) {
        for (wchar_t c : text) {
            Add(c);
        }
    }
    // An insert's text: taken whole, its width counted and no blank of it a place to break; a
    // line that it takes past the width breaks after it.
    void AddInsert(std::wstring_view text) {
        if (text.empty()) {
            // An empty insert leaves a run of blanks going, but a line at the width breaks.
            if (Wraps()) {
                Break();
            }
            return;
        }
        m_text.append(text);
        if (Wraps()) {
            m_column += static_cast<unsigned>(text.size());
            m_inSpace = false;
            Break();
        }
        Check();
    }
    // %0: the end, where a line still at the width or past it (an insert longer than the
    // width, carried to it) gets its line break.
    void End() {
        if (Wraps() && m_column >= m_width) {
            m_text += L"\r\n";
        }
    }
    std::wstring Take() { return std::move(m_text); }

private:
    bool Wraps() const { return m_width != 0 && m_width != 0xFF; }

    void Check() const {
        if (m_text.size() > kMaxOutputUnits) {
            throw Stop{L"the text would pass 1 MiB"};
        }
    }

    void Track(wchar_t c) {
        switch (c) {
        case L'\r':
        case L'\n':
            m_space = kNone;
            m_inSpace = false;
            m_column = 0;
            break;
        case L' ':
            if (!m_inSpace) {
                m_space = m_text.size() - 1;
            }
            m_spaceEnd = m_text.size();
            m_inSpace = true;
            ++m_column;
            break;
        case L'\t': // a tab goes with a run of blanks, but starts none
            if (m_inSpace) {
                m_spaceEnd = m_text.size();
            }
            ++m_column;
            break;
        default:
            m_inSpace = false;
            ++m_column;
        }
    }

    void Break() {
        if (m_column < m_width) {
            return;
        }
        // A line breaks after the last run of the template's blanks, less every blank before
        // it (an insert's too); without such a run, where it stands.
        if (m_space == kNone) {
            m_text += L"\r\n";
            m_column = 0;
            m_inSpace = false;
            return;
        }
        const std::wstring carried = m_text.substr(m_spaceEnd);
        m_text.resize(m_spaceEnd);
        while (!m_text.empty() && (m_text.back() == L' ' || m_text.back() == L'\t')) {
            m_text.pop_back();
        }
        m_text += L"\r\n";
        m_text += carried;
        m_column = static_cast<unsigned>(carried.size());
        m_space = kNone;
        m_inSpace = false;
    }

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::wstring m_text;
    unsigned m_width;
    unsigned m_column = 0;
    std::size_t m_space = kNone; // where the last run of blanks begins
    std::size_t m_spaceEnd = 0;  // and where it ends
    bool m_inSpace = false;
};

// The arguments as FormatMessage takes them from an array: by number, and the one after the
// highest taken so far for a * width or precision.
class Arguments {
public:
    explicit Arguments(const std::vector<std::wstring>& texts) : m_texts(texts) {}

    // number 0: the next after the highest taken.
    const std::wstring& Text(int number, int insert) {
        if (number == 0) {
            number = m_last + 1;
        }
        m_last = std::max(m_last, number);
        if (number > static_cast<int>(m_texts.size())) {
            throw Stop{L"insert %" + std::to_wstring(insert) + L" needs argument " +
                       std::to_wstring(number) + L", and " + std::to_wstring(m_texts.size()) +
                       L" are given"};
        }
        return m_texts[static_cast<std::size_t>(number - 1)];
    }
    std::uint64_t Number(int number, int insert) {
        const std::wstring& text = Text(number, insert);
        std::uint64_t value = 0;
        if (!ParseNumber(text, value)) {
            throw Stop{L"insert %" + std::to_wstring(insert) + L" takes a number, and '" + text +
                       L"' is none"};
        }
        return value;
    }

private:
    // Decimal, 0x hexadecimal, or negative (two's complement in 64 bits).
    static bool ParseNumber(std::wstring_view text, std::uint64_t& value) {
        bool negative = false;
        if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
            negative = text[0] == L'-';
            text.remove_prefix(1);
        }
        unsigned base = 10;
        if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        if (text.empty()) {
            return false;
        }
        std::uint64_t result = 0;
        for (wchar_t c : text) {
            unsigned digit;
            if (c >= L'0' && c <= L'9') {
                digit = static_cast<unsigned>(c - L'0');
            } else if (base == 16 && c >= L'a' && c <= L'f') {
                digit = static_cast<unsigned>(c - L'a' + 10);
            } else if (base == 16 && c >= L'A' && c <= L'F') {
                digit = static_cast<unsigned>(c - L'A' + 10);
            } else {
                return false;
            }
            if (digit >= base || result > (UINT64_MAX - digit) / base) {
                return false;
            }
            result = result * base + digit;
        }
        value = negative ? 0 - result : result;
        return true;
    }

    const std::vector<std::wstring>& m_texts;
    int m_last = 0;
};

// One printf conversion, as the system's wide printf writes it.
struct Directive {
    bool left = false, plus = false, space = false, alternate = false, zero = false;
    std::uint32_t width = 0;
    bool hasPrecision = false;
    std::uint32_t precision = 0;
};

void Pad(std::wstring& out, std::wstring_view body, const Directive& directive, wchar_t fill) {
    const std::size_t padding = directive.width > body.size() ? directive.width - body.size() : 0;
    if (directive.left) {
        out.append(body);
        out.append(padding, L' ');
    } else {
        out.append(padding, fill);
        out.append(body);
    }
}

void FormatString(std::wstring& out, std::wstring_view text, const Directive& directive) {
    text = text.substr(0, std::min(text.size(), text.find(L'\0'))); // a string ends at its NUL
    if (directive.hasPrecision && text.size() > directive.precision) {
        text = text.substr(0, directive.precision);
    }
    Pad(out, text, directive, directive.zero && !directive.left ? L'0' : L' ');
}

// A pointer: its 64 bits in 16 upper-case digits, after "0X" for '#' (unless null), of which a
// precision keeps the first units.
void FormatPointer(std::wstring& out, std::uint64_t value, const Directive& directive) {
    std::wstring body = directive.alternate && value != 0 ? L"0X" : L"";
    for (int shift = 60; shift >= 0; shift -= 4) {
        body += L"0123456789ABCDEF"[(value >> shift) & 0xF];
    }
    if (directive.hasPrecision && body.size() > directive.precision) {
        body.resize(directive.precision);
    }
    Pad(out, body, directive, L' ');
}

void FormatInteger(std::wstring& out, std::uint64_t value, bool isSigned, int bits, wchar_t type,
                   const Directive& directive) {
    if (bits < 64) {
        const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
        value &= mask;
        if (isSigned && (value >> (bits - 1)) != 0) {
            value |= ~mask; // sign-extended
        }
    }
    bool negative = false;
    std::uint64_t magnitude = value;
    if (isSigned && static_cast<std::int64_t>(value) < 0) {
        negative = true;
        magnitude = 0 - value;
    }
    const unsigned base = type == L'o' ? 8 : (type == L'x' || type == L'X') ? 16 : 10;
    const wchar_t* digits = type == L'x' ? L"0123456789abcdef" : L"0123456789ABCDEF";
    std::wstring body;
    for (std::uint64_t rest = magnitude; rest != 0; rest /= base) {
        body.insert(body.begin(), digits[rest % base]);
    }
    const std::uint32_t precision = directive.hasPrecision ? directive.precision : 1;
    if (body.size() < precision) {
        body.insert(0, precision - body.size(), L'0');
    }
    std::wstring prefix;
    if (negative) {
        prefix = L"-";
    } else if (isSigned && directive.plus) {
        prefix = L"+";
    } else if (isSigned && directive.space) {
        prefix = L" ";
    }
    if (directive.alternate && magnitude != 0 && (type == L'x' || type == L'X')) {
        prefix += type == L'x' ? L"0x" : L"0X";
    }
    if (directive.alternate && type == L'o' && magnitude != 0 && body[0] != L'0') {
        body.insert(body.begin(), L'0');
    }
    if (directive.zero && !directive.left) { // (a precision does not turn the zeros off)
        const std::size_t used = prefix.size() + body.size();
        if (directive.width > used) {
            body.insert(0, directive.width - used, L'0');
        }
    }
    Pad(out, prefix + body, directive, L' ');
}

std::uint32_t Bounded(std::uint64_t value, int insert, const wchar_t* what) {
    const auto field = static_cast<std::uint32_t>(value); // as the system prints it: %u
    if (field > kMaxFieldWidth) {
        throw Stop{L"insert %" + std::to_wstring(insert) + L": a " + what + L" of " +
                   std::to_wstring(field) + L" is past " + std::to_wstring(kMaxFieldWidth)};
    }
    return field;
}

// The insert of number insert at format, which stands just after its number: a bare string, or
// a printf format between '!'s. Returns where the template goes on.
std::size_t Insert(std::wstring_view format, std::size_t at, int insert, Arguments& arguments,
                   std::wstring& out, std::wstring_view& bare) {
    bare = {};
    if (at >= format.size() || format[at] != L'!') {
        const std::wstring& text = arguments.Text(insert, insert);
        bare = std::wstring_view(text).substr(0, text.find(L'\0')); // a string ends at its NUL
        return at;
    }
    ++at;
    Directive directive;
    int taken = insert; // the argument that the value comes from; 0: the next one
    const auto peek = [&](std::size_t i) { return i < format.size() ? format[i] : L'\0'; };
    for (;; ++at) {
        const wchar_t c = peek(at);
        if (c == L'0') {
            directive.zero = true;
        } else if (c == L'+') {
            directive.plus = true;
        } else if (c == L'-') {
            directive.left = true;
        } else if (c == L' ') {
            directive.space = true;
        } else if (c == L'#') {
            directive.alternate = true;
        } else if (c == L'*') {
            directive.width = Bounded(arguments.Number(taken, insert), insert, L"width");
            taken = 0;
        } else {
            break;
        }
    }
    if (peek(at) >= L'1' && peek(at) <= L'9') {
        std::uint64_t width = 0;
        while (peek(at) >= L'0' && peek(at) <= L'9') {
            width = std::min<std::uint64_t>(width * 10 + (peek(at++) - L'0'), UINT32_MAX);
        }
        directive.width = Bounded(width, insert, L"width");
    }
    if (peek(at) == L'.') {
        ++at;
        directive.hasPrecision = true;
        if (peek(at) == L'*') {
            directive.precision = Bounded(arguments.Number(taken, insert), insert, L"precision");
            taken = 0;
            ++at;
        } else {
            std::uint64_t precision = 0;
            while (peek(at) >= L'0' && peek(at) <= L'9') {
                precision =
                    std::min<std::uint64_t>(precision * 10 + (peek(at++) - L'0'), UINT32_MAX);
            }
            directive.precision = Bounded(precision, insert, L"precision");
        }
    }
    const std::size_t typeStart = at;
    while (at < format.size() && format[at] != L'!') {
        ++at;
    }
    const std::wstring_view type = format.substr(typeStart, at - typeStart);
    if (at < format.size()) {
        ++at; // the closing '!'
    }
    const wchar_t first = type.empty() ? L'\0' : type[0];
    const wchar_t second = type.size() > 1 ? type[1] : L'\0';
    out.clear();
    // Strings: wide (s, ls, lS, ws) or in the ANSI code page (S, hs, hS); the argument's text
    // either way.
    if (first == L's' || first == L'S' ||
        ((first == L'h' || first == L'l' || first == L'w') && (second == L's' || second == L'S'))) {
        FormatString(out, arguments.Text(taken, insert), directive);
        return at;
    }
    // Characters: in the ANSI code page (C, hc, hC), written as a string of one, or wide (c, lc,
    // lC, wc).
    const bool ansiCharacter =
        first == L'C' || (first == L'h' && (second == L'c' || second == L'C'));
    const bool wideCharacter =
        first == L'c' || ((first == L'l' || first == L'w') && (second == L'c' || second == L'C'));
    if (ansiCharacter || wideCharacter) {
        const std::uint64_t code = arguments.Number(taken, insert);
        std::wstring character;
        if (ansiCharacter) {
            const auto byte = static_cast<std::uint8_t>(code);
            platform::AnsiToWide(&byte, 1, character);
            character.resize(1); // a NUL too
        } else {
            character.assign(1, static_cast<wchar_t>(code & 0xFFFF));
        }
        // A character is a string of one, its NUL too: a precision of 0 leaves it out.
        if (directive.hasPrecision && directive.precision == 0) {
            character.clear();
        }
        Pad(out, character, directive, directive.zero && !directive.left ? L'0' : L' ');
        return at;
    }
    // Integers, with their sizes: h 16 bits; none, l and I32 32 bits; ll, I64 and I 64 bits.
    std::size_t i = 0;
    int bits = 32;
    if (type.substr(0, 3) == L"I64") {
        bits = 64;
        i = 3;
    } else if (type.substr(0, 3) == L"I32") {
        i = 3;
    } else if (type.substr(0, 2) == L"ll") {
        bits = 64;
        i = 2;
    } else if (!type.empty() && (type[0] == L'h' || type[0] == L'l' || type[0] == L'w')) {
        bits = type[0] == L'h' ? 16 : 32;
        i = 1;
    } else if (!type.empty() && type[0] == L'I') {
        bits = 64;
        i = 1;
    }
    const wchar_t conversion = i < type.size() ? type[i] : L'\0';
    if (type.size() != i + 1 ||
        std::wstring_view(L"diuxXop").find(conversion) == std::wstring_view::npos) {
        throw Stop{L"insert %" + std::to_wstring(insert) + L": '" + std::wstring(type) +
                   L"' is no format that Orvanel writes"};
    }
    if (conversion == L'p') {
        FormatPointer(out, arguments.Number(taken, insert), directive);
        return at;
    }
    FormatInteger(out, arguments.Number(taken, insert), conversion == L'd' || conversion == L'i',
                  bits, conversion, directive);
    return at;
}

} // namespace

Rendered Render(std::wstring_view text, const std::vector<std::wstring>& arguments,
                const Options& options) {
    // The system reads the template as a string: it ends at its first NUL.
    text = text.substr(0, std::min(text.size(), text.find(L'\0')));
    Rendered rendered;
    Output out(options.maxWidth, text.size() + 32);
    Arguments args(arguments);
    std::wstring insert;
    try {
        for (std::size_t at = 0; at < text.size();) {
            const wchar_t c = text[at++];
            if (c == L'%') {
                if (at == text.size()) {
                    throw Stop{L"the text ends in a lone %", errors::kInvalidParameter};
                }
                const wchar_t next = text[at];
                if (next >= L'1' && next <= L'9' && !options.ignoreInserts) {
                    int number = next - L'0';
                    ++at;
                    if (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
                        number = number * 10 + (text[at++] - L'0');
                    }
                    std::wstring_view bare;
                    at = Insert(text, at, number, args, insert, bare);
                    // (A bare insert is its argument; a formatted one, a character's NUL too.)
                    out.AddInsert(bare.data() != nullptr ? bare : std::wstring_view(insert));

                    continue;
                }
                ++at;
                switch (next) {
                case L'n':
                    out.Add(L"\r\n");
                    break;
                case L'r':
                    out.Add(L'\r');
                    break;
                case L't':
                    out.Add(L'\t');
                    break;
                case L'0':
                    at = text.size(); // the end, with no line break of its own
                    out.End();
                    break;
                default: {
                    // Any other character stands for itself (with its % when inserts are
                    // ignored), taken whole as an insert is: a blank of it is no place to break.
                    const wchar_t escaped[] = {L'%', next};
                    out.AddInsert(options.ignoreInserts ? std::wstring_view(escaped, 2)
                                                        : std::wstring_view(escaped + 1, 1));
                }
                }
                continue;
            }
            if (c != L'\r' && c != L'\n') {
                // Up to the next escape or line break, at once.
                const std::size_t end = std::min(text.size(), text.find_first_of(L"%\r\n", at));
                out.AddRun(text.substr(at - 1, end - at + 1));
                at = end;
                continue;
            }
            if (c == L'\r' || c == L'\n') {
                if (c == L'\r' && at < text.size() && text[at] == L'\n') {
                    ++at;
                }
                if (options.maxWidth != 0) {
                    out.Add(L' ');
                } else {
                    out.Add(L"\r\n");
                }
                continue;
            }
            out.Add(c);
        }
    } catch (const Stop& stop) {
        rendered.error = stop.why;
        rendered.systemError = stop.systemError;
        return rendered;
    }
    rendered.ok = true;
    rendered.text = out.Take();
    return rendered;
}

} // namespace render
