#pragma once

#include <array>
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
class MessageList {
public:
    virtual ~MessageList() = default;

    virtual int GetRowCount() const = 0;
    // Appends a row whose column 0 holds moduleName and whose other cells are empty; returns the
    // index at which the row landed (the end of an unsorted list, the sorted place otherwise).
    virtual int AppendRow(const std::wstring& moduleName) = 0;
    // Sets a cell of columns 1 to 6.
    virtual void SetCell(int row, int column, const std::wstring& text) = 0;
    virtual std::wstring GetCell(int row, int column) const = 0;
    // A hint that the list will soon hold totalRows rows; the row count does not change.
    virtual void ReserveRows(int totalRows) = 0;
    virtual void DeleteAllRows() = 0;
};

// Orders two module names the way a sort-ascending list view orders its items.
int CompareModuleNames(std::wstring_view a, std::wstring_view b);

// The in-memory realisation. A sorted list keeps its rows in ascending order of column 0 and
// places a new row before the rows that compare equal to it, as a sort-ascending list view does.
class MemoryMessageList : public MessageList {
public:
    enum class Order { Unsorted, SortedByModuleName };

    explicit MemoryMessageList(Order order = Order::Unsorted) : m_order(order) {}

    int GetRowCount() const override { return static_cast<int>(m_rows.size()); }
    int AppendRow(const std::wstring& moduleName) override;
    void SetCell(int row, int column, const std::wstring& text) override;
    std::wstring GetCell(int row, int column) const override {
        return std::wstring(Cell(row, column));
    }
    void ReserveRows(int totalRows) override;
    void DeleteAllRows() override;

    // A cell without copying it; valid until the list changes. Empty when out of range.
    std::wstring_view Cell(int row, int column) const;

private:
    // Cell texts live end to end in large chunks that never move; a row holds where each of its
    // cells lies, so that a row costs no allocation of its own and a sorted insert moves only
    // these small records.
    using Row = std::array<std::wstring_view, kMessageColumnCount>;

    std::wstring_view Store(const std::wstring& text);

    Order m_order;
    std::vector<Row> m_rows;
    std::vector<std::unique_ptr<wchar_t[]>> m_chunks;
    std::size_t m_chunkUsed = 0;
    std::size_t m_chunkSize = 0;
};
