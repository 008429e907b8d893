#pragma once

#include "harvest/ErrorCodes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// What a row of the harvest is, before it is text: a message of a table of a module, or the
// error of a module that could not be read. Modules and tables are shared by their rows; a cell
// is formatted from them only when it is asked for (FormatCell).

// The seven columns of every list window, in display order.
enum MessageColumn : int {
    COL_MODULE_NAME = 0,
    COL_PATH = 1,
    COL_ERROR = 2,
    COL_LOCALE_ID = 3,
    COL_VALUE = 4,
    COL_VALUE_HEX = 5,
    COL_MESSAGE_TEXT = 6,
};

constexpr int kMessageColumnCount = 7;

// The header text of each column, indexed by MessageColumn.
extern const std::array<const wchar_t*, kMessageColumnCount> kMessageColumnHeaders;

// A resource's name: a number, or a string as its directory spells it (up to its first NUL).
struct ResourceName {
    bool isNumber = true;
    std::uint16_t number = 0;
    std::wstring text;
};

// A file that was read: a module, or a satellite of the module satelliteOf kept in the language
// folder satelliteLanguage (empty beside the module).
struct ModuleRecord : std::enable_shared_from_this<ModuleRecord> {
    std::wstring folder;
    std::wstring fileName;
    std::wstring satelliteOf;
    std::wstring satelliteLanguage;

    bool IsSatellite() const { return !satelliteOf.empty(); }
    // The name that its message rows show: a satellite's rows carry its module's name.
    const std::wstring& ShownName() const { return IsSatellite() ? satelliteOf : fileName; }
};

// One message table of a module. Made with MakeTable, so that a list may keep it alive
// (shared_from_this) for as long as it holds rows of it.
struct TableRecord : std::enable_shared_from_this<TableRecord> {
    std::shared_ptr<const ModuleRecord> module;
    ResourceName name;
    std::uint16_t language = 0;
    std::wstring languageName; // the language's own name, empty when the system has none
    std::wstring localeCell;   // "1033 (English)": made once for all its rows
    // A number that no other table of the process has (MakeTable gives one), so that a writer
    // knows a table again without comparing it; 0 for none.
    std::uint64_t serial = 0;
};

std::shared_ptr<const TableRecord> MakeTable(std::shared_ptr<const ModuleRecord> module,
                                             ResourceName name, std::uint16_t language,
                                             std::wstring languageName);

// The error of a file that could not be read as a module, or that has no message table. Made
// with std::make_shared, as a table is.
struct ErrorRecord : std::enable_shared_from_this<ErrorRecord> {
    std::shared_ptr<const ModuleRecord> module;
    platform::ErrorCode code = 0;
    std::wstring text; // the system's text for code, on one line
};

// A message's text as its table holds it, line breaks and all. A scan converts it only when a
// list asks: most lists that write text out take a plain ASCII text as it is.
class MessageText {
public:
    // The text as the table holds it.
    virtual std::wstring_view Raw() const = 0;
    // The flattened text (FlattenMessageText) when it is plain printable ASCII: then ascii holds
    // it and the result is true. False says nothing: the text may still be ASCII.
    virtual bool FlatAscii(std::string_view& ascii) const = 0;

protected:
    ~MessageText() = default;
};

// A text that is at hand as wide text.
class WideMessageText final : public MessageText {
public:
    explicit WideMessageText(std::wstring_view raw) : m_raw(raw) {}
    std::wstring_view Raw() const override { return m_raw; }
    bool FlatAscii(std::string_view&) const override { return false; }

private:
    std::wstring_view m_raw;
};

// What a row of a list is.
enum class RowKind : std::uint8_t {
    None,    // no such row
    Message, // a message of table
    Error,   // the error row of error->module
    Cells,   // seven texts written cell by cell, that no record holds
};

using RowCells = std::array<std::wstring_view, kMessageColumnCount>;

// A row as its record, read without copying: valid until its list is cleared.
struct RowRecord {
    RowKind kind = RowKind::None;
    const TableRecord* table = nullptr; // Message
    std::uint32_t identifier = 0;       // Message
    std::wstring_view rawText;          // Message: as the table holds it
    const ErrorRecord* error = nullptr; // Error
    const RowCells* cells = nullptr;    // Cells
    // Who keeps rawText alive, for a list that takes the row over without copying its text.
    const std::shared_ptr<const void>* textOwner = nullptr;

    // The first column, by which sorted lists order their rows.
    std::wstring_view ModuleName() const;
};

// The cell of a row in one column, exactly as the lists show it: a view of the record's own text
// where that is the cell as it stands, else of scratch, which it formats into. Empty for a
// column out of range.
std::wstring_view FormatCell(const RowRecord& row, int column, std::wstring& scratch);

// The Value cell of an identifier (signed decimal: 0xFFFFFFFF is -1) and its Value (Hex) cell
// ("0x%08X"), appended to out, wide or narrow.
template <class Text> void AppendDecimalCell(Text& out, std::uint32_t identifier) {
    using Unit = typename Text::value_type;
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930"
        "31323334353637383940414243444546474849505152535455565758596061"
        "6263646566676869707172737475767778798081828384858687888990919293"
        "949596979899";
    Unit digits[11];
    Unit* const end = digits + 11;
    Unit* p = end;
    const bool negative = (identifier & 0x80000000u) != 0;
    std::uint32_t magnitude = negative ? 0u - identifier : identifier;
    // Two digits at a time.
    while (magnitude >= 100) {
        const std::uint32_t pair = magnitude % 100 * 2;
        magnitude /= 100;
        *--p = static_cast<Unit>(kPairs[pair + 1]);
        *--p = static_cast<Unit>(kPairs[pair]);
    }
    if (magnitude >= 10) {
        *--p = static_cast<Unit>(kPairs[magnitude * 2 + 1]);
        *--p = static_cast<Unit>(kPairs[magnitude * 2]);
    } else {
        *--p = static_cast<Unit>('0' + magnitude);
    }
    if (negative) {
        *--p = static_cast<Unit>('-');
    }
    out.append(p, end);
}
template <class Text> void AppendHexCell(Text& out, std::uint32_t identifier) {
    using Unit = typename Text::value_type;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    Unit cell[10] = {static_cast<Unit>('0'), static_cast<Unit>('x')};
    for (int i = 9; i >= 2; --i, identifier >>= 4) {
        cell[i] = static_cast<Unit>(kDigits[identifier & 0xF]);
    }
    out.append(cell, 10);
}
