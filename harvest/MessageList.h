#pragma once

#include "harvest/Platform.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// A table of rows of seven UTF-16 cells. Rows are only appended, and only removed all at once.
//
// One contract for every realisation: a row or column out of range is never an error. GetCell
// reads an empty text there, and SetCell (which writes only columns 1 to 6; column 0 is given
// by AppendRow) changes nothing there.
class MessageList {
public:
    virtual ~MessageList() = default;

    virtual int GetRowCount() const = 0;
    // Appends a row whose column 0 holds moduleName and whose other cells are empty; returns the
    // index at which the row landed (the end of an unsorted list, the sorted place otherwise).
    virtual int AppendRow(std::wstring_view moduleName) = 0;
    // Sets a cell of columns 1 to 6 of an existing row.
    virtual void SetCell(int row, int column, std::wstring_view text) = 0;
    // What the rows of one message table share: its module's name, its folder and its Locale ID
    // cell; and, when not 0, a number (NewSharedCellsSerial) that stands for these very cells
    // wherever it comes, so that a list may know them again without comparing them.
    struct SharedCells {
        std::wstring_view moduleName;
        std::wstring_view folder;
        std::wstring_view localeCell;
        std::uint64_t serial = 0;
    };
    // Appends the row of one message: AppendRow with the module's name, then the folder, the
    // Locale ID cell, the identifier's two cells (AppendDecimalCell, AppendHexCell) and the text,
    // in column order. A list may do it a quicker way; a row written so may not be readable back.
    virtual int AppendMessageRow(const SharedCells& cells, std::uint32_t identifier,
                                 std::wstring_view text);
    // Whether the list would rather take a message's text as ASCII where it is plain ASCII
    // (AppendAsciiMessageRow): a list that writes it out narrow.
    virtual bool TakesAsciiText() const { return false; }
    // AppendMessageRow with a text of printable ASCII characters, already flattened.
    virtual int AppendAsciiMessageRow(const SharedCells& cells, std::uint32_t identifier,
                                      std::string_view asciiText);
    virtual std::wstring GetCell(int row, int column) const = 0;
    // A hint that the list will soon hold totalRows rows; the row count does not change.
    virtual void ReserveRows(int totalRows) = 0;
    virtual void DeleteAllRows() = 0;

    // Where the rows come from, for a list that keeps the harvest's structure (a database); a list
    // of rows alone ignores it. The rows after BeginModule come from the file fileName in folder,
    // a satellite of the module satelliteOf (empty for a module itself) kept in the language
    // folder satelliteLanguage (empty beside the module); those after BeginTable from one of its
    // message tables. BeginErrorRow comes just before the error row of a module begun earlier.
    struct ModuleSource {
        std::wstring_view folder;
        std::wstring_view fileName;
        std::wstring_view satelliteOf;
        std::wstring_view satelliteLanguage;
    };
    virtual void BeginModule(const ModuleSource& /*module*/) {}
    virtual void BeginTable(const platform::ResourceName& /*name*/, std::uint16_t /*language*/) {}
    virtual void BeginErrorRow(std::wstring_view /*folder*/, std::wstring_view /*fileName*/,
                               platform::ErrorCode /*code*/) {}
};

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

// A number for MessageList::SharedCells that no earlier call in this process gave.
std::uint64_t NewSharedCellsSerial();

// Orders two module names the way a sort-ascending list view orders its items.
int CompareModuleNames(std::wstring_view a, std::wstring_view b);

// The in-memory realisation. A sorted list keeps its rows in ascending order of column 0
// (CompareModuleNames) and places a new row after the rows that compare equal to it, so that
// equal names stay in the order in which they arrived.
class MemoryMessageList : public MessageList {
public:
    enum class Order { Unsorted, SortedByModuleName };

    explicit MemoryMessageList(Order order = Order::Unsorted) : m_order(order) {}
    MemoryMessageList(const MemoryMessageList&) = delete;
    MemoryMessageList& operator=(const MemoryMessageList&) = delete;
    // Takes over the rows of other, which must be in this list's order; other is left empty.
    void TakeRows(MemoryMessageList& other);

    int GetRowCount() const override { return static_cast<int>(m_rows.size()); }
    int AppendRow(std::wstring_view moduleName) override;
    void SetCell(int row, int column, std::wstring_view text) override;
    std::wstring GetCell(int row, int column) const override {
        return std::wstring(Cell(row, column));
    }
    void ReserveRows(int totalRows) override;
    // Gives back all the memory that the rows took.
    void DeleteAllRows() override;

    Order GetOrder() const { return m_order; }
    // Only while the list is empty: a list's order is fixed before its first row.
    void SetOrder(Order order);

    // A cell without copying it; valid until the list is cleared. Empty when out of range.
    std::wstring_view Cell(int row, int column) const;

private:
    // Cell texts live end to end in large chunks that never move; a row holds where each of its
    // cells lies, so that a row costs no allocation of its own and a sorted insert moves only
    // these small records. A text equal to the one last stored in its column is stored once:
    // module, folder, language and error cells repeat on almost every row.
    using Row = std::array<std::wstring_view, kMessageColumnCount>;

    std::wstring_view Store(int column, std::wstring_view text);

    Order m_order;
    std::vector<Row> m_rows;
    std::vector<std::unique_ptr<wchar_t[]>> m_chunks;
    std::size_t m_chunkUsed = 0;
    std::size_t m_chunkSize = 0;
    Row m_lastStored{};
};

// Appends a copy of a row of source to target, its cells as they are (empty ones left unset);
// returns the index at which it landed.
int AppendRowCopy(const MemoryMessageList& source, int row, MessageList& target);
