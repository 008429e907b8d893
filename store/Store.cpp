#include "store/Store.h"

#include "harvest/Platform.h"
#include "harvest/Strings.h"
#include "harvest/Unicode.h"

#include <sqlite3.h>

#include <array>
#include <new>
#include <string_view>

namespace store {

namespace {

// "ORVN": what marks a database as Orvanel's, and the version of its schema.
constexpr int kApplicationId = 0x4F52564E;
constexpr int kSchemaVersion = 1;

// The cells of a message row and of an error row, as the text output writes them; the view and
// the reader share them. g is a message, x its text, t its table, m its module.
#define ORVANEL_MESSAGE_CELLS                                                                      \
    "coalesce(m.base_module, m.name), m.folder, '', "                                              \
    "t.language || ' (' || t.language_name || ')', "                                               \
    "CASE WHEN g.identifier >= 2147483648 THEN g.identifier - 4294967296 "                         \
    "ELSE g.identifier END, printf('0x%08X', g.identifier), x.text"
#define ORVANEL_MESSAGE_JOIN                                                                       \
    "message g JOIN text x ON x.id = g.text JOIN message_table t ON t.id = g.message_table "       \
    "JOIN module m ON m.id = t.module"
#define ORVANEL_ERROR_CELLS "m.name, m.folder, m.error_text, '', '', '', ''"

const char kSchema[] =
    "CREATE TABLE scan (\n"
    "  id INTEGER PRIMARY KEY,\n"
    "  folder TEXT NOT NULL,\n"
    "  masks TEXT NOT NULL,\n"
    "  recursive INTEGER NOT NULL,\n"
    "  satellites INTEGER NOT NULL,\n"
    "  query TEXT NOT NULL,\n"
    "  started TEXT NOT NULL,\n"
    "  version TEXT NOT NULL,\n"
    "  status TEXT NOT NULL DEFAULT '',\n"
    "  first_row INTEGER NOT NULL DEFAULT 0,\n"
    "  last_row INTEGER NOT NULL DEFAULT -1);\n"
    "CREATE TABLE module (\n"
    "  id INTEGER PRIMARY KEY,\n"
    "  scan INTEGER NOT NULL REFERENCES scan (id),\n"
    "  folder TEXT NOT NULL,\n"
    "  name TEXT NOT NULL,\n"
    "  base_module TEXT,\n"
    "  satellite_language TEXT,\n"
    "  error_code INTEGER,\n"
    "  error_text TEXT,\n"
    "  error_row INTEGER);\n"
    "CREATE TABLE message_table (\n"
    "  id INTEGER PRIMARY KEY,\n"
    "  module INTEGER NOT NULL REFERENCES module (id),\n"
    "  name NOT NULL,\n"
    "  language INTEGER NOT NULL,\n"
    "  language_name TEXT NOT NULL);\n"
    "CREATE TABLE text (\n"
    "  id INTEGER PRIMARY KEY,\n"
    "  text TEXT NOT NULL);\n"
    "CREATE TABLE message (\n"
    "  id INTEGER PRIMARY KEY,\n"
    "  message_table INTEGER NOT NULL REFERENCES message_table (id),\n"
    "  identifier INTEGER NOT NULL,\n"
    "  text INTEGER NOT NULL REFERENCES text (id));\n"
    "CREATE INDEX module_scan ON module (scan, error_row);\n"
    "CREATE INDEX message_table_module ON message_table (module);\n"
    "CREATE INDEX message_table_language ON message_table (language);\n"
    "CREATE VIRTUAL TABLE text_search USING fts5 (text, content = 'text', "
    "content_rowid = 'id', columnsize = 0);\n"
    "CREATE VIEW rows (\"Module Name\", \"Path\", \"Error\", \"Locale ID\", \"Value\", "
    "\"Value (Hex)\", \"Message text\", scan, row) AS\n"
    "  SELECT " ORVANEL_MESSAGE_CELLS ", m.scan, g.id FROM " ORVANEL_MESSAGE_JOIN "\n"
    "  UNION ALL\n"
    "  SELECT " ORVANEL_ERROR_CELLS ", m.scan, m.error_row FROM module m\n"
    "    WHERE m.error_row IS NOT NULL\n"
    "  ORDER BY 8, 9;\n";

// The indexes of the messages: made at the end of the first scan, when a sort builds them at a
// fraction of the cost of keeping them up row by row; kept up by every later scan.
const char kMessageIndexes[] =
    "CREATE INDEX IF NOT EXISTS message_identifier ON message (identifier);\n"
    "CREATE INDEX IF NOT EXISTS message_event ON message (identifier & 65535);\n";

// A prepared statement, finalized when it goes.
class Statement {
public:
    Statement(const Database& database, const char* sql) : m_database(database) {
        const int code = sqlite3_prepare_v2(database.Handle(), sql, -1, &m_statement, nullptr);
        if (code != SQLITE_OK) {
            throw database.Fail(code, L"preparing a statement");
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value) {
        Check(sqlite3_bind_int64(m_statement, index, value));
        return *this;
    }
    // The text is kept, in UTF-8, until the parameter is bound again.
    Statement& Bind(int index, std::wstring_view text) {
        std::string& kept = m_texts.at(static_cast<std::size_t>(index));
        kept.clear();
        AppendUtf8(kept, text);
        return Bind(index, std::string_view(kept));
    }
    // The text must live until the statement runs.
    Statement& Bind(int index, std::string_view utf8) {
        Check(sqlite3_bind_text(m_statement, index, utf8.data(), static_cast<int>(utf8.size()),
                                SQLITE_STATIC));
        return *this;
    }
    Statement& BindNull(int index) {
        Check(sqlite3_bind_null(m_statement, index));
        return *this;
    }
    // Runs a statement that returns no rows, then readies it for the next run.
    void Run() {
        const int code = sqlite3_step(m_statement);
        sqlite3_reset(m_statement);
        if (code != SQLITE_DONE && code != SQLITE_ROW) {
            throw m_database.Fail(code, L"writing");
        }
    }
    // Steps to the next row; false at the end.
    bool Next() {
        const int code = sqlite3_step(m_statement);
        if (code == SQLITE_ROW) {
            return true;
        }
        if (code != SQLITE_DONE) {
            throw m_database.Fail(code, L"reading");
        }
        return false;
    }
    std::int64_t Integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    bool IsInteger(int column) const {
        return sqlite3_column_type(m_statement, column) == SQLITE_INTEGER;
    }
    bool IsNull(int column) const {
        return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
    }
    std::string_view Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return text != nullptr
                   ? std::string_view(
                         text, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                   : std::string_view();
    }

private:
    void Check(int code) const {
        if (code != SQLITE_OK) {
            throw m_database.Fail(code, L"writing");
        }
    }

    const Database& m_database;
    sqlite3_stmt* m_statement = nullptr;
    std::array<std::string, 8> m_texts; // the wide texts bound last, by parameter
};

void Execute(const Database& database, const char* sql, const wchar_t* doing) {
    const int code = sqlite3_exec(database.Handle(), sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        throw database.Fail(code, doing);
    }
}

std::int64_t QueryInteger(const Database& database, const char* sql) {
    Statement statement(database, sql);
    return statement.Next() ? statement.Integer(0) : 0;
}

} // namespace

Database::~Database() {
    if (m_inTransaction) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(m_db);
    if (m_inTransaction && m_created) {
        platform::RemoveFile(m_path);
    }
}

Failure Database::Fail(int code, const wchar_t* doing) const {
    const int primary = code & 0xFF;
    if (primary == SQLITE_NOMEM) {
        throw std::bad_alloc();
    }
    std::wstring text = m_path + L": ";
    Outcome outcome = Outcome::Failed;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        outcome = Outcome::Busy;
        text += L"another program is writing to the database; gave up after " +
                std::to_wstring(kBusyWaitMilliseconds / 1000) + L" s";
    } else if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
        outcome = Outcome::Unusable;
        text += primary == SQLITE_NOTADB ? L"not an Orvanel database" : L"the database is corrupt";
    } else {
        text += std::wstring(L"failed while ") + doing + L": " +
                FromUtf8(m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
    }
    return {outcome, text};
}

Outcome Database::Open(const std::wstring& path, bool write, std::wstring& error) {
    m_path = path;
    m_created = write && platform::Inspect(path) == platform::PathKind::Missing;
    if (!write && platform::Inspect(path) != platform::PathKind::File) {
        error = path + L": no such database";
        return Outcome::Unusable;
    }
    if (platform::Inspect(path) == platform::PathKind::Folder) {
        error = path + L": is a folder";
        return Outcome::Unusable;
    }
    // A reader opens it for writing too, where it may: a run that died while it wrote left a
    // journal behind, and only a writer can roll it back before the database is read. One thread
    // uses the connection: SQLite's own locks are not needed.
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (write ? SQLITE_OPEN_CREATE : 0);
    const int code = sqlite3_open_v2(ToUtf8(path).c_str(), &m_db, flags, nullptr);
    try {
        if (code != SQLITE_OK) {
            throw Fail(code, L"opening");
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, kBusyWaitMilliseconds);
        // A bound on the pages kept in memory, whatever the scan's size.
        Execute(*this, "PRAGMA cache_size = -32768", L"opening");
        if (write) {
            // The scan's transaction takes the write lock first, so that what is read next stays
            // true until it commits.
            Execute(*this, "BEGIN IMMEDIATE", L"locking");
            m_inTransaction = true;
        }
        const std::int64_t objects = QueryInteger(*this, "SELECT count(*) FROM sqlite_master");
        const std::int64_t application = QueryInteger(*this, "PRAGMA application_id");
        const std::int64_t version = QueryInteger(*this, "PRAGMA user_version");
        if (objects == 0 && application == 0 && write) {
            // A new or empty file, or a database that holds nothing.
            Execute(*this, kSchema, L"creating the schema");
            Execute(*this,
                    ("PRAGMA application_id = " + std::to_string(kApplicationId) +
                     "; PRAGMA user_version = " + std::to_string(kSchemaVersion))
                        .c_str(),
                    L"creating the schema");
        } else if (application != kApplicationId) {
            error = path + L": not an Orvanel database";
            return Outcome::Unusable;
        } else if (version > kSchemaVersion) {
            error = path + L": written by a newer Orvanel (schema " + std::to_wstring(version) +
                    L"; this one reads schema " + std::to_wstring(kSchemaVersion) + L" and older)";
            return Outcome::Unusable;
        }
    } catch (const Failure& failure) {
        error = failure.text;
        return failure.outcome;
    }
    return Outcome::Ok;
}

Outcome Database::OpenForScan(const std::wstring& path, std::wstring& error) {
    return Open(path, true, error);
}

Outcome Database::OpenForReading(const std::wstring& path, std::wstring& error) {
    return Open(path, false, error);
}

struct ScanWriter::Statements {
    explicit Statements(const Database& database)
        : insertModule(database, "INSERT INTO module (scan, folder, name, base_module, "
                                 "satellite_language) VALUES (?1, ?2, ?3, ?4, ?5)"),
          insertTable(database, "INSERT INTO message_table (module, name, language, "
                                "language_name) VALUES (?1, ?2, ?3, ?4)"),
          insertMessage(database, "INSERT INTO message (id, message_table, identifier, text) "
                                  "VALUES (?1, ?2, ?3, ?4)"),
          insertText(database, "INSERT INTO text (text) VALUES (?1)"),
          setError(database, "UPDATE module SET error_code = ?2, error_text = ?3, error_row = ?4 "
                             "WHERE id = ?1") {}
    Statement insertModule;
    Statement insertTable;
    Statement insertMessage;
    Statement insertText;
    Statement setError;
};

ScanWriter::ScanWriter(Database& database, const ScanOptions& options)
    : m_database(database), m_statements(std::make_unique<Statements>(database)) {
    // Rows are numbered on from every earlier scan's, error rows and messages alike.
    m_firstRow = QueryInteger(database, "SELECT max(coalesce((SELECT max(id) FROM message), 0), "
                                        "coalesce((SELECT max(error_row) FROM module), 0)) + 1");
    m_nextRow = m_firstRow;
    m_firstText = QueryInteger(database, "SELECT coalesce(max(id), 0) + 1 FROM text");
    // The texts stored last (an earlier scan's, as far as memory allows) are stored once: a scan
    // of the same system, or of its next version, adds little text of its own.
    Statement known(database, "SELECT id, text FROM text ORDER BY id DESC");
    std::string text;
    while (m_textBytes < kTextMemoryBytes / 2 && known.Next()) {
        text.assign(known.Text(1));
        Remember(text, known.Integer(0));
    }
    Statement insert(database,
                     "INSERT INTO scan (folder, masks, recursive, satellites, query, started, "
                     "version) VALUES (?1, ?2, ?3, ?4, ?5, "
                     "strftime('%Y-%m-%dT%H:%M:%SZ', 'now'), ?6)");
    insert.Bind(1, std::wstring_view(options.folder))
        .Bind(2, std::wstring_view(options.masks))
        .Bind(3, std::int64_t{options.recursive})
        .Bind(4, std::int64_t{options.satellites})
        .Bind(5, std::wstring_view(options.query))
        .Bind(6, std::wstring_view(options.version))
        .Run();
    m_scan = sqlite3_last_insert_rowid(database.Handle());
}

ScanWriter::~ScanWriter() = default;

int ScanWriter::AppendRow(std::wstring_view moduleName) {
    EndRow();
    m_pending.Begin(m_rows, moduleName);
    return m_rows++;
}

void ScanWriter::SetCell(int row, int column, std::wstring_view text) {
    m_pending.Set(row, column, text);
}

std::wstring ScanWriter::GetCell(int row, int column) const {
    return m_pending.Get(row, column);
}

std::int64_t ScanWriter::InsertModule(const ModuleRecord& module) {
    Statement& insert = m_statements->insertModule;
    insert.Bind(1, m_scan)
        .Bind(2, std::wstring_view(module.folder))
        .Bind(3, std::wstring_view(module.fileName));
    if (module.IsSatellite()) {
        insert.Bind(4, std::wstring_view(module.satelliteOf))
            .Bind(5, std::wstring_view(module.satelliteLanguage));
    } else {
        m_group.clear();
        insert.BindNull(4).BindNull(5);
    }
    insert.Run();
    const std::int64_t id = sqlite3_last_insert_rowid(m_database.Handle());
    m_group.push_back({&module, id});
    return id;
}

void ScanWriter::BeginModule(const ModuleRecord& module) {
    EndRow();
    InsertModule(module);
}

void ScanWriter::BeginTable(const TableRecord& table) {
    EndRow();
    Statement& insert = m_statements->insertTable;
    insert.Bind(1, m_group.empty() ? 0 : m_group.back().id);
    if (table.name.isNumber) {
        insert.Bind(2, std::int64_t{table.name.number});
    } else {
        insert.Bind(2, std::wstring_view(table.name.text));
    }
    insert.Bind(3, std::int64_t{table.language})
        .Bind(4, std::wstring_view(table.languageName))
        .Run();
    m_table = sqlite3_last_insert_rowid(m_database.Handle());
}

void ScanWriter::SetError(std::int64_t module, std::int64_t code, std::wstring_view text) {
    m_statements->setError.Bind(1, module).Bind(2, code).Bind(3, text).Bind(4, m_nextRow++).Run();
}

int ScanWriter::AppendError(const ErrorRecord& error) {
    EndRow();
    std::int64_t module = 0;
    for (auto begun = m_group.rbegin(); begun != m_group.rend() && module == 0; ++begun) {
        if (begun->module == error.module.get()) {
            module = begun->id;
        }
    }
    if (module == 0) {
        module = InsertModule(*error.module);
    }
    SetError(module, std::int64_t{error.code}, error.text);
    return m_rows++;
}

void ScanWriter::EndRow() {
    if (!m_pending.Take()) {
        return;
    }
    const auto& cells = m_pending.Cells();
    // A row written cell by cell has no record to tell what it is: it is kept as what the
    // schema can hold of any row, a file's row with its module, folder and error cells.
    ModuleRecord module;
    module.fileName = cells[COL_MODULE_NAME];
    module.folder = cells[COL_PATH];
    const std::int64_t id = InsertModule(module);
    m_group.clear();
    SetError(id, 0, cells[COL_ERROR]);
}

int ScanWriter::AppendMessage(const TableRecord&, std::uint32_t identifier,
                              const MessageText& text) {
    EndRow();
    std::string_view ascii;
    if (text.FlatAscii(ascii)) {
        StoreMessage(identifier, ascii);
    } else {
        m_wide.assign(text.Raw());
        FlattenMessageText(m_wide);
        m_utf8.clear();
        AppendUtf8(m_utf8, m_wide);
        StoreMessage(identifier, m_utf8);
    }
    return m_rows++;
}

void ScanWriter::StoreMessage(std::uint32_t identifier, std::string_view utf8) {
    m_statements->insertMessage.Bind(1, m_nextRow++)
        .Bind(2, m_table)
        .Bind(3, std::int64_t{identifier})
        .Bind(4, TextId(utf8))
        .Run();
}

std::int64_t ScanWriter::TextId(std::string_view utf8) {
    m_key.assign(utf8);
    if (const auto known = m_texts.find(m_key); known != m_texts.end()) {
        return known->second;
    }
    m_statements->insertText.Bind(1, std::string_view(utf8)).Run();
    const std::int64_t id = sqlite3_last_insert_rowid(m_database.Handle());
    Remember(utf8, id);
    return id;
}

void ScanWriter::Remember(std::string_view utf8, std::int64_t id) {
    if (m_textBytes + utf8.size() > kTextMemoryBytes) {
        // Memory stays bounded: the texts known so far are forgotten, and the next ones are
        // stored again once.
        m_texts.clear();
        m_textBytes = 0;
    }
    m_texts.emplace(std::string(utf8), id);
    m_textBytes += utf8.size() + sizeof(std::int64_t) + 32; // and the map's own
}

void ScanWriter::Commit(const std::wstring& statusLine) {
    EndRow();
    Statement finish(m_database, "UPDATE scan SET status = ?2, first_row = ?3, last_row = ?4 "
                                 "WHERE id = ?1");
    finish.Bind(1, m_scan)
        .Bind(2, std::wstring_view(statusLine))
        .Bind(3, m_firstRow)
        .Bind(4, m_nextRow - 1)
        .Run();
    Execute(m_database, kMessageIndexes, L"indexing");
    Statement index(m_database, "INSERT INTO text_search (rowid, text) "
                                "SELECT id, text FROM text WHERE id >= ?1");
    index.Bind(1, m_firstText).Run();
    Execute(m_database, "COMMIT", L"committing");
    m_database.m_inTransaction = false;
}

Outcome ReadScan(Database& database, std::int64_t scan, const MessageQuery& query,
                 MessageList& rows, StoredScan& stored, std::wstring& error) {
    try {
        Statement find(database, scan == 0 ? "SELECT id, folder, status, first_row, last_row "
                                             "FROM scan ORDER BY id DESC LIMIT 1"
                                           : "SELECT id, folder, status, first_row, last_row "
                                             "FROM scan WHERE id = ?1");
        if (scan != 0) {
            find.Bind(1, scan);
        }
        if (!find.Next()) {
            error = database.Path() + L": " +
                    (scan == 0 ? L"the database holds no scan"
                               : L"the database holds no scan " + std::to_wstring(scan));
            return Outcome::NoScan;
        }
        stored.id = find.Integer(0);
        stored.folder = FromUtf8(find.Text(1));
        stored.status = FromUtf8(find.Text(2));
        const std::int64_t first = find.Integer(3);
        const std::int64_t last = find.Integer(4);

        // Messages: those of the codes and events through their indexes, every one otherwise.
        std::string sql = "SELECT m.id, m.name, m.folder, m.base_module, m.satellite_language, "
                          "t.id, t.name, t.language, t.language_name, g.id, g.identifier, x.text "
                          "FROM " ORVANEL_MESSAGE_JOIN " WHERE g.id BETWEEN ?1 AND ?2";
        if (!query.Identifiers().empty() || !query.Events().empty()) {
            std::string in;
            for (std::uint32_t identifier : query.Identifiers()) {
                in += (in.empty() ? "" : ", ") + std::to_string(identifier);
            }
            std::string events;
            for (std::uint16_t event : query.Events()) {
                events += (events.empty() ? "" : ", ") + std::to_string(event);
            }
            sql +=
                " AND (g.identifier IN (" + in + ") OR (g.identifier & 65535) IN (" + events + "))";
        }
        sql += " ORDER BY g.id";
        Statement messages(database, sql.c_str());
        messages.Bind(1, first).Bind(2, last);
        Statement errors(database, "SELECT m.id, m.name, m.folder, m.base_module, "
                                   "m.satellite_language, m.error_code, m.error_text, m.error_row "
                                   "FROM module m WHERE m.scan = ?1 AND m.error_row IS NOT NULL "
                                   "ORDER BY m.error_row");
        errors.Bind(1, stored.id);
        const bool errorRows = query.KeepsErrorRows();
        bool haveMessage = messages.Next();
        bool haveError = errorRows && errors.Next();
        // The records of the module and the table read last: their rows come together.
        std::int64_t moduleId = 0;
        std::shared_ptr<ModuleRecord> module;
        std::int64_t tableId = 0;
        std::shared_ptr<const TableRecord> table;
        const auto moduleOf = [&](const Statement& from) {
            if (module == nullptr || from.Integer(0) != moduleId) {
                moduleId = from.Integer(0);
                module = std::make_shared<ModuleRecord>();
                module->fileName = FromUtf8(from.Text(1));
                module->folder = FromUtf8(from.Text(2));
                if (!from.IsNull(3)) {
                    module->satelliteOf = FromUtf8(from.Text(3));
                    module->satelliteLanguage = FromUtf8(from.Text(4));
                }
            }
            return module;
        };
        std::wstring text;
        while (haveMessage || haveError) {
            if (haveError && (!haveMessage || errors.Integer(7) < messages.Integer(9))) {
                const auto record = std::make_shared<ErrorRecord>();
                record->module = moduleOf(errors);
                record->code = static_cast<platform::ErrorCode>(errors.Integer(5));
                record->text = FromUtf8(errors.Text(6));
                rows.AppendError(*record);
                haveError = errors.Next();
                continue;
            }
            const auto language = static_cast<std::uint16_t>(messages.Integer(7));
            const auto identifier = static_cast<std::uint32_t>(messages.Integer(10));
            if (query.KeepsLanguage(language) && query.KeepsIdentifier(identifier)) {
                if (table == nullptr || messages.Integer(5) != tableId) {
                    tableId = messages.Integer(5);
                    ResourceName name;
                    name.isNumber = messages.IsInteger(6);
                    if (name.isNumber) {
                        name.number = static_cast<std::uint16_t>(messages.Integer(6));
                    } else {
                        name.text = FromUtf8(messages.Text(6));
                    }
                    table = MakeTable(moduleOf(messages), std::move(name), language,
                                      FromUtf8(messages.Text(8)));
                    rows.BeginTable(*table);
                }
                text = FromUtf8(messages.Text(11));
                rows.AppendMessage(*table, identifier, WideMessageText(text));
            }
            haveMessage = messages.Next();
        }
    } catch (const Failure& failure) {
        error = failure.text;
        return failure.outcome;
    }
    return Outcome::Ok;
}

} // namespace store
