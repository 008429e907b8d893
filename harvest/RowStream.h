#pragma once

#include "harvest/RowFormat.h"
#include "harvest/MessageList.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

// The harvest's rows as lines of text, each handed on as soon as it is complete (when the next
// row begins, or at Finish): nothing of a folder is held in memory, and what was harvested before
// a failure is already out. Only the row being written can be read back.
class RowStream : public MessageList {
public:
    using LineSink = std::function<void(std::string_view utf8Line)>;

    RowStream(RowFormat format, LineSink sink) : m_format(format), m_sink(std::move(sink)) {}

    // The line of column headers.
    void WriteHeader();
    // Hands on the last row.
    void Finish();

    int GetRowCount() const override { return m_rows; }
    int AppendRow(std::wstring_view moduleName) override;
    void SetCell(int row, int column, std::wstring_view text) override;
    std::wstring GetCell(int row, int column) const override;
    void ReserveRows(int) override {}
    void DeleteAllRows() override;

private:
    // Sets a cell of the row being written, and its text in the line's format.
    void Assign(int column, std::wstring_view text);
    // Appends a cell to out in the line's format (escaped or quoted) and in UTF-8.
    void Encode(std::wstring_view cell, std::string& out);
    // Ends the line and hands it on.
    void EndLine();

    RowFormat m_format;
    LineSink m_sink;
    int m_rows = 0;
    bool m_pending = false;
    std::array<std::wstring, kMessageColumnCount> m_cells;
    std::array<std::string, kMessageColumnCount> m_encoded; // each cell as the line holds it
    std::array<bool, kMessageColumnCount> m_set{};          // written in the current row
    std::wstring m_escaped;
    std::string m_line;
};
