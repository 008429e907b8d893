#pragma once

#include "harvest/MessageList.h"
#include "harvest/MessageQuery.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A harvest kept in an SQLite database (the schema is in the README): each run adds one scan, with
// its modules, message tables and messages, in one transaction; the view rows gives every scan's
// rows with the cells of the text output, in list order.
namespace store {

// Why a database could not be opened, read or written. Each has its sentence in the error text.
enum class Outcome {
    Ok,
    Unusable, // missing, not an Orvanel database, written by a newer schema, or corrupt
    Busy,     // another writer kept it locked longer than the wait
    Failed,   // a write failed (a full disk, say)
    NoScan,   // the scan asked for is not there
};

// Thrown out of a scan when the database fails under it; the transaction is rolled back.
struct Failure {
    Outcome outcome;
    std::wstring text;
};

// How long a run waits for another writer to let go of the database.
constexpr int kBusyWaitMilliseconds = 5000;

// An open database, closed (and an unfinished scan rolled back) when it goes.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens path for a new scan, creating it (or filling an empty file) when it is missing, and
    // begins the scan's transaction. A file that holds anything but an Orvanel database of this
    // schema or an older one is left as it was.
    Outcome OpenForScan(const std::wstring& path, std::wstring& error);
    // Opens an Orvanel database to read it.
    Outcome OpenForReading(const std::wstring& path, std::wstring& error);

    sqlite3* Handle() const { return m_db; }
    const std::wstring& Path() const { return m_path; }
    // The error text for a failed call on this database, and its outcome.
    Failure Fail(int code, const wchar_t* doing) const;

private:
    Outcome Open(const std::wstring& path, bool write, std::wstring& error);

    sqlite3* m_db = nullptr;
    bool m_inTransaction = false;
    bool m_created = false; // the file did not exist: a scan that fails leaves none
    std::wstring m_path;
    friend class ScanWriter;
};

// What a scan records of the run that made it.
struct ScanOptions {
    std::wstring folder;
    std::wstring masks;
    bool recursive = false;
    bool satellites = false;
    std::wstring query; // the options that chose the rows; empty for every row
    std::wstring version;
};

// Receives one scan's rows and the harvest's structure, and keeps them in an open database's
// transaction; Commit ends the scan. A database that fails under it throws Failure (and
// std::bad_alloc when SQLite runs out of memory).
class ScanWriter : public MessageList {
public:
    ScanWriter(Database& database, const ScanOptions& options);
    ~ScanWriter() override;
    ScanWriter(const ScanWriter&) = delete;
    ScanWriter& operator=(const ScanWriter&) = delete;

    // Writes the last row, the scan's status line and its text index, and commits.
    void Commit(const std::wstring& statusLine);

    int GetRowCount() const override { return m_rows; }
    int AppendRow(std::wstring_view moduleName) override;
    void SetCell(int row, int column, std::wstring_view text) override;
    std::wstring GetCell(int row, int column) const override;
    void ReserveRows(int) override {}
    void DeleteAllRows() override {}
    int AppendMessage(const TableRecord& table, std::uint32_t identifier,
                      const MessageText& text) override;
    int AppendError(const ErrorRecord& error) override;
    void BeginModule(const ModuleRecord& module) override;
    void BeginTable(const TableRecord& table) override;

private:
    struct Statements;
    struct Begun {
        const ModuleRecord* module;
        std::int64_t id;
    };
    std::int64_t InsertModule(const ModuleRecord& module);
    void SetError(std::int64_t module, std::int64_t code, std::wstring_view text);
    void EndRow();
    // Stores a message of the current table, its text in UTF-8.
    void StoreMessage(std::uint32_t identifier, std::string_view utf8);
    // The row of a text in the text table, stored there when it is not yet known.
    std::int64_t TextId(std::string_view utf8);
    void Remember(std::string_view utf8, std::int64_t id);

    // The most memory that the known texts take.
    static constexpr std::size_t kTextMemoryBytes = std::size_t{64} << 20;

    Database& m_database;
    std::unique_ptr<Statements> m_statements;
    std::int64_t m_scan = 0;
    std::int64_t m_firstRow = 0;
    std::int64_t m_nextRow = 0;
    std::int64_t m_firstText = 0; // the first text that this scan stores
    std::int64_t m_table = 0;
    std::vector<Begun> m_group; // a module and its satellites so far
    int m_rows = 0;
    PendingRow m_pending; // a row written cell by cell
    std::string m_utf8;
    std::wstring m_wide;
    std::string m_key;                                     // a text looked up among those known
    std::unordered_map<std::string, std::int64_t> m_texts; // texts stored, and their rows
    std::size_t m_textBytes = 0;
};

// A stored scan: its number, folder and status line.
struct StoredScan {
    std::int64_t id = 0;
    std::wstring folder;
    std::wstring status;
};

// Appends to rows, in list order, the rows of a scan (the newest when scan is 0) that query keeps,
// as a scan of its folder with that query would give them.
Outcome ReadScan(Database& database, std::int64_t scan, const MessageQuery& query,
                 MessageList& rows, StoredScan& stored, std::wstring& error);

} // namespace store
