#pragma once

#include "harvest/RowFormat.h"
#include "harvest/MessageList.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

// The harvest's rows as lines of text, handed on in blocks of whole lines as soon as a block is
// full (64 KiB), and the rest at Finish: nothing of a folder is held in memory beyond a block, and
// what was harvested before a failure is out once Finish is called. Only the row being written
// can be read back.
class RowStream : public MessageList {
public:
    using LineSink = std::function<void(std::string_view utf8Lines)>;

    RowStream(RowFormat format, LineSink sink);

    // The line of column headers.
    void WriteHeader();
    // Hands on the last row, and every line not yet handed on.
    void Finish();

    int GetRowCount() const override { return m_rows; }
    int AppendRow(std::wstring_view moduleName) override;
    // The line of a message row, written at once: it cannot be read back.
    int AppendMessageRow(const SharedCells& cells, std::uint32_t identifier,
                         std::wstring_view text) override;
    bool TakesAsciiText() const override { return true; }
    int AppendAsciiMessageRow(const SharedCells& cells, std::uint32_t identifier,
                              std::string_view asciiText) override;
    void SetCell(int row, int column, std::wstring_view text) override;
    std::wstring GetCell(int row, int column) const override;
    void ReserveRows(int) override {}
    void DeleteAllRows() override;

private:
    // Starts a message row's line: the cells up to its text.
    void BeginMessageLine(const SharedCells& cells, std::uint32_t identifier);
    // Sets a cell of the row being written, and its text in the line's format.
    void Assign(int column, std::wstring_view text);
    // Appends a cell to out in the line's format (escaped or quoted) and in UTF-8.
    void Encode(std::wstring_view cell, std::string& out);
    // Completes the row that AppendRow began.
    void EndPendingRow();
    // Ends the line, and hands the block on when it is full.
    void EndLine();

    static constexpr std::size_t kBlockBytes = std::size_t{1} << 16;

    RowFormat m_format;
    LineSink m_sink;
    std::string m_lineEnd; // LineEnd(m_format), narrow
    int m_rows = 0;
    bool m_pending = false;
    std::array<std::wstring, kMessageColumnCount> m_cells;
    std::array<std::string, kMessageColumnCount> m_encoded; // each cell as the line holds it
    std::array<bool, kMessageColumnCount> m_set{};          // written in the current row
    std::wstring m_escaped;
    std::wstring m_wide;              // an ASCII text that needs escaping, widened
    std::string m_lines;              // whole lines not yet handed on
    std::string m_prefix;             // a message row's line up to its identifier
    std::uint64_t m_prefixSerial = 0; // the shared cells it was made of, when they had a number
};
