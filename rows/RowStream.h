#pragma once

#include "harvest/MessageList.h"
#include "rows/RowFormat.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The harvest's rows as lines of text in one of the formats of the table (rows/RowFormat.h),
// handed on in UTF-8 in blocks of whole lines as soon as a block is full (64 KiB), and the rest
// at Finish: nothing of a folder is held in memory beyond a block, and what was harvested before
// a failure is out once Finish is called. Only a row written cell by cell can be read back, and
// only while it is the last.
class RowStream : public MessageList {
public:
    using LineSink = std::function<void(std::string_view utf8Lines)>;

    RowStream(RowFormat format, LineSink sink);

    // The line of column headers, where the format has one.
    void WriteHeader();
    // Hands on the last row, and every line not yet handed on.
    void Finish();

    int GetRowCount() const override { return m_rows; }
    int AppendRow(std::wstring_view moduleName) override;
    void SetCell(int row, int column, std::wstring_view text) override;
    std::wstring GetCell(int row, int column) const override;
    void ReserveRows(int) override {}
    void DeleteAllRows() override;
    // Written at once: they cannot be read back.
    int AppendMessage(const TableRecord& table, std::uint32_t identifier,
                      const MessageText& text) override;
    int AppendError(const ErrorRecord& error) override;

private:
    // The start of a message row's line, up to its identifier: made again only for another table.
    void BeginMessageLine(const TableRecord& table);
    // A row of cells, as a delimited format writes it.
    void WriteCells(const RowCells& cells);
    // Appends a cell to out in the line's format (escaped or quoted) and in UTF-8.
    void Encode(std::wstring_view cell, std::string& out);
    // Completes the row that AppendRow began.
    void EndPendingRow();
    // Ends the line, and hands the block on when it is full.
    void EndLine();
    // Whether a printable ASCII text is written as it is, with nothing to escape or quote.
    bool IsPlain(std::string_view ascii) const;

    static constexpr std::size_t kBlockBytes = std::size_t{1} << 16;

    const FormatEntry& m_entry;
    LineSink m_sink;
    std::string m_lineEnd; // narrow
    char m_separator;
    char m_specials[2] = {}; // what a plain ASCII text may not hold
    int m_rows = 0;
    PendingRow m_pending; // the row written cell by cell
    std::wstring m_escaped;
    std::wstring m_wide;
    std::string m_lines;              // whole lines not yet handed on
    std::string m_prefix;             // a message row's line up to its identifier
    std::uint64_t m_prefixSerial = 0; // the table it was made for
};

// Appends text to out as a JSON string, quotes and all, in UTF-8. Every unit is kept: a
// surrogate without its pair is written as its \u escape.
void AppendJsonString(std::string& out, std::wstring_view text);
