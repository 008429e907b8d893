#pragma once

#include "harvest/Records.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A table of rows of seven UTF-16 cells. Rows are only appended, and only removed all at once.
// A row is a record (harvest/Records.h): a scan appends messages and errors as they are, and a
// list formats their cells when they are asked for, or writes them out as it likes.
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
    virtual std::wstring GetCell(int row, int column) const = 0;
    // A hint that the list will soon hold totalRows rows; the row count does not change.
    virtual void ReserveRows(int totalRows) = 0;
    virtual void DeleteAllRows() = 0;

    // Appends the row of one message of table; returns the index at which it landed. By default
    // AppendRow and SetCell with the cells that FormatCell gives; a list may keep the record, or
    // write it out at once (and then the row may not be readable back).
    virtual int AppendMessage(const TableRecord& table, std::uint32_t identifier,
                              const MessageText& text);
    // Appends the error row of a file, as AppendMessage appends a message.
    virtual int AppendError(const ErrorRecord& error);
    // Appends a row that another list holds: through AppendMessage or AppendError, or cell by
    // cell for a row that no record holds (empty cells left unset).
    virtual int AppendRecord(const RowRecord& row);

    // Where the rows come from, for a list that keeps the harvest's structure (a database); a list
    // of rows alone ignores it. The rows after BeginModule come from that file; those after
    // BeginTable from that table of the module begun last.
    virtual void BeginModule(const ModuleRecord& /*module*/) {}
    virtual void BeginTable(const TableRecord& /*table*/) {}

protected:
    // Appends a record's row cell by cell: AppendRow, then SetCell with each cell that is not
    // empty.
    int AppendCells(const RowRecord& record);
};

// The one row that a list writing its rows out holds while a caller writes it cell by cell
// (AppendRow, then SetCell; GetCell reads it back), until the next row comes.
class PendingRow {
public:
    void Begin(int row, std::wstring_view moduleName) {
        for (std::wstring& cell : m_cells) {
            cell.clear();
        }
        m_cells[COL_MODULE_NAME].assign(moduleName);
        m_row = row;
        m_pending = true;
    }
    void Set(int row, int column, std::wstring_view text) {
        if (m_pending && row == m_row && column > 0 && column < kMessageColumnCount) {
            m_cells[column].assign(text);
        }
    }
    std::wstring Get(int row, int column) const {
        return m_pending && row == m_row && column >= 0 && column < kMessageColumnCount
                   ? m_cells[column]
                   : std::wstring();
    }
    // Whether a row was begun and is still to be written out; it is not, after this.
    bool Take() { return std::exchange(m_pending, false); }
    const std::array<std::wstring, kMessageColumnCount>& Cells() const { return m_cells; }

private:
    std::array<std::wstring, kMessageColumnCount> m_cells;
    int m_row = -1;
    bool m_pending = false;
};

// Orders two module names the way a sort-ascending list view orders its items (the platform's
// collation).
int CompareModuleNames(std::wstring_view a, std::wstring_view b);

// The in-memory realisation: rows as records, 32 bytes each, their tables shared and their
// texts end to end in large chunks that never move. A sorted list keeps its rows in ascending
// order of column 0 (CompareModuleNames) and places a new row after the rows that compare equal
// to it, so that equal names stay in the order in which they arrived.
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
    // A cell that the row's record cannot hold turns the row into one of cells, kept exactly.
    void SetCell(int row, int column, std::wstring_view text) override;
    std::wstring GetCell(int row, int column) const override;
    void ReserveRows(int totalRows) override;
    // Gives back all the memory that the rows took (texts that other lists took over stay theirs).
    void DeleteAllRows() override;
    int AppendMessage(const TableRecord& table, std::uint32_t identifier,
                      const MessageText& text) override;
    int AppendError(const ErrorRecord& error) override;
    // A message's text is shared with the list that holds it, not copied.
    int AppendRecord(const RowRecord& row) override;

    Order GetOrder() const { return m_order; }
    // Only while the list is empty: a list's order is fixed before its first row.
    void SetOrder(Order order);

    // A row's record; kind None out of range. Valid until the list is cleared.
    RowRecord Record(int row) const;
    // A cell without copying where the record holds it as it is (FormatCell).
    std::wstring_view CellView(int row, int column, std::wstring& scratch) const {
        return FormatCell(Record(row), column, scratch);
    }

private:
    struct Row {
        const void* origin;  // TableRecord, ErrorRecord or RowCells, by kind
        const wchar_t* text; // a message's raw text
        std::uint32_t size;  // its length
        std::uint32_t identifier;
        std::uint32_t textOwner; // index in m_textOwners
        RowKind kind;
    };

    int Insert(const Row& row, std::wstring_view moduleName);
    // Keeps what a row points at alive while the list holds it: each is kept once, as long as
    // rows of the same origin arrive together.
    void Keep(std::shared_ptr<const void> origin);
    // A copy of text among the list's own texts.
    std::wstring_view StoreText(std::wstring_view text);
    // The row of cells that row becomes (its cells as they are), to be written on.
    RowCells& CellsOf(Row& row);

    Order m_order;
    std::vector<Row> m_rows;
    std::vector<std::shared_ptr<const void>> m_kept;
    const void* m_lastKept = nullptr;
    // Who holds the rows' texts: 0 is this list's own chunks; the others lists' whose rows were
    // taken over.
    struct Chunks {
        std::vector<std::unique_ptr<wchar_t[]>> chunks;
        std::size_t used = 0;
        std::size_t size = 0;
    };
    std::shared_ptr<Chunks> m_chunks;
    std::vector<std::shared_ptr<const void>> m_textOwners;
};

// Appends a copy of a row of source to target (AppendRecord); returns the index at which it
// landed.
inline int AppendRowCopy(const MemoryMessageList& source, int row, MessageList& target) {
    return target.AppendRecord(source.Record(row));
}
