// The embedded backend: one SQLite file per database.
#include "backend.h"
#include "errors.h"
#include "sqlite_functions.h"

#include <sqlite3.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <utility>

namespace dao {
namespace {

// Maps a failed SQLite call to the engine error the program understands.
[[noreturn]] void fail(sqlite3* db, int rc, const std::string& what) {
    std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        raise(errc::Locked, "The database is locked by another user; try again in a moment.");
    case SQLITE_READONLY:
        // Only where the system itself forbids writing the file or its folder (see openSqlite).
        if (rc == SQLITE_READONLY_ROLLBACK || rc == SQLITE_READONLY_RECOVERY)
            raise(errc::CannotOpen, "The database was left half-written when a program ended abruptly, and this "
                                    "computer account may not write the file or its folder to put it right.  "
                                    "Ask whoever may change the file to open it once.");
        raise(errc::NoPermission, "You do not have permission to change this database.");
    case SQLITE_CONSTRAINT:
        if ((rc == SQLITE_CONSTRAINT_NOTNULL))
            raise(errc::RequiredValue, "A required field has no value (" + detail + ").");
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            raise(errc::DuplicateKey, "The change would create a duplicate key (" + detail + ").");
        raise(errc::Failed, what + ": " + detail);
    case SQLITE_FULL:
        raise(errc::DiskFull, "The disk is full, so the change could not be written to the database.");
    case SQLITE_IOERR:
        raise(errc::DiskError, "The database file could not be read or written (a disk or network error: " +
                                   detail + ").");
    case SQLITE_NOTADB:
        raise(errc::NotADatabase, "The file is not a database: " + detail);
    case SQLITE_MISMATCH:
        raise(errc::DataTypeMismatch, "A value does not fit its field: " + detail);
    case SQLITE_ERROR:
        if (detail.rfind("no such table", 0) == 0)
            raise(errc::InputNotFound, "The table or query does not exist (" + detail + ").");
        // The engine takes a name it cannot place for a parameter that was not given a value.
        if (detail.rfind("no such column", 0) == 0)
            raise(errc::TooFewParameters, "Too few parameters: the query names something that is neither a "
                                          "field nor a parameter with a value (" +
                                              detail + ").");
        raise(errc::SyntaxError, "The statement could not be run: " + detail);
    default:
        raise(errc::Failed, what + ": " + detail);
    }
}

// Statements let go are kept, reset, for the next use of the same text: the layer prepares the
// same few statements again and again (a row's page by key, an edit written back), and compiling
// one costs more than running it. The engine compiles a kept statement again by itself when the
// schema changed. The connection finalizes what is kept before it closes.
class StatementCache {
public:
    static constexpr size_t kKept = 64;

    sqlite3_stmt* take(const std::string& sql) {
        for (auto it = kept_.begin(); it != kept_.end(); ++it)
            if (it->first == sql) {
                sqlite3_stmt* stmt = it->second;
                kept_.erase(it);
                return stmt;
            }
        return nullptr;
    }
    void giveBack(std::string sql, sqlite3_stmt* stmt) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (closed_) {
            sqlite3_finalize(stmt);
            return;
        }
        kept_.emplace_front(std::move(sql), stmt);
        if (kept_.size() > kKept) {
            sqlite3_finalize(kept_.back().second);
            kept_.pop_back();
        }
    }
    void close() {
        closed_ = true;
        for (auto& k : kept_)
            sqlite3_finalize(k.second);
        kept_.clear();
    }

private:
    std::list<std::pair<std::string, sqlite3_stmt*>> kept_; // most recently let go first
    bool closed_ = false;
};

class SqliteStatement final : public Statement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, std::shared_ptr<StatementCache> cache = {},
                    std::string sql = {})
        : db_(db), stmt_(stmt), cache_(std::move(cache)), sql_(std::move(sql)) {}
    ~SqliteStatement() override {
        if (cache_)
            cache_->giveBack(std::move(sql_), stmt_);
        else
            sqlite3_finalize(stmt_);
    }

    void bind(int index, const StoredValue& value) override {
        int rc = SQLITE_OK;
        if (auto* i = std::get_if<std::int64_t>(&value))
            rc = sqlite3_bind_int64(stmt_, index, *i);
        else if (auto* d = std::get_if<double>(&value))
            rc = sqlite3_bind_double(stmt_, index, *d);
        else if (auto* s = std::get_if<std::string>(&value))
            rc = sqlite3_bind_text(stmt_, index, s->data(), int(s->size()), SQLITE_TRANSIENT);
        else if (auto* b = std::get_if<std::vector<std::uint8_t>>(&value))
            rc = sqlite3_bind_blob(stmt_, index, b->data(), int(b->size()), SQLITE_TRANSIENT);
        else
            rc = sqlite3_bind_null(stmt_, index);
        if (rc != SQLITE_OK) fail(db_, rc, "binding a parameter");
    }

    bool step() override {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        sqlite3_reset(stmt_);
        fail(db_, rc, "reading rows");
    }

    int columnCount() const override { return sqlite3_column_count(stmt_); }

    ColumnOrigin column(int i) const override {
        auto text = [](const char* s) { return s ? std::string(s) : std::string(); };
        return {text(sqlite3_column_name(stmt_, i)), text(sqlite3_column_decltype(stmt_, i)),
                text(sqlite3_column_table_name(stmt_, i)), text(sqlite3_column_origin_name(stmt_, i))};
    }

    StoredValue value(int i) const override {
        switch (sqlite3_column_type(stmt_, i)) {
        case SQLITE_INTEGER:
            return std::int64_t(sqlite3_column_int64(stmt_, i));
        case SQLITE_FLOAT:
            return sqlite3_column_double(stmt_, i);
        case SQLITE_TEXT: {
            auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
            return std::string(p, size_t(sqlite3_column_bytes(stmt_, i)));
        }
        case SQLITE_BLOB: {
            auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, i));
            return std::vector<std::uint8_t>(p, p + sqlite3_column_bytes(stmt_, i));
        }
        default:
            return std::monostate{};
        }
    }

    void reset() override {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    // The statement, no longer finalized by this object.
    sqlite3_stmt* release() {
        cache_.reset();
        return std::exchange(stmt_, nullptr);
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
    std::shared_ptr<StatementCache> cache_; // where it goes back to (none: finalized)
    std::string sql_;
};

class SqliteConnection final : public Connection {
public:
    SqliteConnection(sqlite3* db, bool readOnly) : db_(db), readOnly_(readOnly) {}
    ~SqliteConnection() override {
        cache_->close();
        sqlite3_close_v2(db_);
    }

    // Exactly one statement: what follows it is refused, never run.
    std::unique_ptr<Statement> prepare(const std::string& sql) override {
        if (sqlite3_stmt* kept = cache_->take(sql)) return std::make_unique<SqliteStatement>(db_, kept, cache_, sql);
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, &tail);
        if (rc != SQLITE_OK) fail(db_, rc, "preparing a statement");
        auto prepared = std::make_unique<SqliteStatement>(db_, stmt);
        for (; tail && *tail; ++tail)
            if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';')
                raise(errc::TextAfterEnd, "Characters found after end of SQL statement.");
        if (!stmt) raise(errc::SyntaxError, "The statement is empty.");
        // Only a statement that prepared whole is kept for the next use of its text.
        return std::make_unique<SqliteStatement>(db_, static_cast<SqliteStatement&>(*prepared).release(), cache_,
                                                 sql);
    }

    std::optional<std::string> unknownName(const std::string& sql) override {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, nullptr);
        sqlite3_finalize(stmt);
        const std::string prefix = "no such column: ";
        std::string message = rc == SQLITE_OK ? "" : sqlite3_errmsg(db_);
        if (message.rfind(prefix, 0) != 0) return std::nullopt;
        return message.substr(prefix.size());
    }

    long long execute(const std::string& sql, const std::vector<StoredValue>& params) override {
        auto stmt = prepare(sql);
        for (size_t i = 0; i < params.size(); ++i)
            stmt->bind(int(i + 1), params[i]);
        while (stmt->step()) {
        }
        return sqlite3_changes64(db_);
    }

    long long lastInsertKey() override { return sqlite3_last_insert_rowid(db_); }
    void begin() override { execute("BEGIN IMMEDIATE", {}); }
    void commit() override { execute("COMMIT", {}); }
    void rollback() override {
        if (!sqlite3_get_autocommit(db_)) execute("ROLLBACK", {});
    }
    bool inTransaction() override { return !sqlite3_get_autocommit(db_); }
    bool readOnly() const override { return readOnly_; }

    std::vector<std::string> tableNames() override {
        std::vector<std::string> names;
        auto stmt =
            prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                    "ESCAPE '\\' ORDER BY name");
        while (stmt->step())
            names.push_back(std::get<std::string>(stmt->value(0)));
        return names;
    }

    std::vector<ColumnDefinition> tableColumns(const std::string& table) override {
        std::vector<ColumnDefinition> columns;
        auto stmt = prepare("SELECT name, type, pk, \"notnull\", dflt_value FROM pragma_table_info(?)");
        stmt->bind(1, table);
        while (stmt->step()) {
            ColumnDefinition c;
            c.name = std::get<std::string>(stmt->value(0));
            c.declType = std::get<std::string>(stmt->value(1));
            c.primaryKey = std::get<std::int64_t>(stmt->value(2)) != 0;
            c.notNull = std::get<std::int64_t>(stmt->value(3)) != 0;
            auto fallback = stmt->value(4);
            if (auto* d = std::get_if<std::string>(&fallback)) c.defaultValue = *d;
            columns.push_back(c);
        }
        // An INTEGER PRIMARY KEY is the row's own key, numbered by the database: a counter.
        for (auto& c : columns) {
            std::string upper;
            for (char ch : c.declType)
                upper += char(std::toupper(static_cast<unsigned char>(ch)));
            c.autoIncrement = c.primaryKey && upper == "INTEGER";
        }
        return columns;
    }

    std::vector<IndexDefinition> tableIndexes(const std::string& table) override {
        std::vector<IndexDefinition> indexes;
        auto list = prepare("SELECT name, \"unique\" FROM pragma_index_list(?) WHERE origin = 'c' AND partial = 0");
        list->bind(1, table);
        while (list->step()) {
            IndexDefinition index{std::get<std::string>(list->value(0)), {}, std::get<std::int64_t>(list->value(1)) != 0};
            auto columns = prepare("SELECT name FROM pragma_index_info(?) ORDER BY seqno");
            columns->bind(1, index.name);
            bool expression = false;
            while (columns->step()) {
                auto name = columns->value(0);
                if (auto* text = std::get_if<std::string>(&name))
                    index.columns.push_back(*text);
                else
                    expression = true;
            }
            if (!expression) indexes.push_back(std::move(index));
        }
        return indexes;
    }

    void attach(const std::string& path, const std::string& alias) override {
        execute("ATTACH DATABASE ? AS " + quoteName(alias), {StoredValue(path)});
    }
    void detach(const std::string& alias) override { execute("DETACH DATABASE " + quoteName(alias), {}); }

    std::string quoteText(const std::string& text) const override {
        std::string out = "'";
        for (char c : text) {
            out += c;
            if (c == '\'') out += '\'';
        }
        return out + "'";
    }
    std::string quoteName(const std::string& name) const override {
        std::string out = "\"";
        for (char c : name) {
            out += c;
            if (c == '"') out += '"';
        }
        return out + "\"";
    }

private:
    sqlite3* db_;
    bool readOnly_;
    std::shared_ptr<StatementCache> cache_ = std::make_shared<StatementCache>();
};

bool looksLikeSqlite(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[16] = {};
    in.read(header, 16);
    if (in.gcount() == 0) return true; // an empty file is a new, empty database
    return in.gcount() == 16 && std::string(header, 15) == "SQLite format 3";
}

} // namespace

std::unique_ptr<Connection> openSqlite(const std::string& path, const OpenOptions& options) {
    namespace fs = std::filesystem;
    fs::path file(path);
    std::error_code ec;
    if (file.has_parent_path() && !fs::is_directory(file.parent_path(), ec))
        raise(errc::PathNotValid, "The folder of '" + path + "' does not exist.");
    bool exists = fs::exists(file, ec);
    if (options.create && exists) raise(errc::DatabaseExists, "The database '" + path + "' already exists.");
    if (!options.create && !exists) raise(errc::FileNotFound, "The database '" + path + "' does not exist.");
    if (!options.create && !looksLikeSqlite(path))
        raise(errc::NotADatabase, "'" + path + "' is not a database file.");

    // The file is always opened for writing where the system allows it, even for a reader: after a
    // writer crashed, whoever opens the file next must roll back the journal it left, and a handle
    // opened read-only cannot. That the connection only reads is enforced below by the engine.
    int flags = SQLITE_OPEN_READWRITE;
    if (options.create) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    // A connection belongs to one thread (the user-interface thread): no locking per call.
    int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        if ((rc & 0xff) == SQLITE_IOERR) detail = "a disk or network error (" + detail + ")";
        raise(errc::CannotOpen, "The database '" + path + "' could not be opened: " + detail);
    }
    sqlite3_extended_result_codes(db, 1);
    // A double-quoted name that names nothing must be an error (it is a parameter to the layer),
    // not quietly read as a text literal.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db, options.lockTimeoutMs);
    registerJetFunctions(db);
    auto connection = std::make_unique<SqliteConnection>(db, options.readOnly);
    // Touch the schema now so a damaged or foreign file is reported at open, not at first use.
    connection->execute("PRAGMA foreign_keys = OFF", {});
    connection->execute("SELECT count(*) FROM sqlite_master", {});
    // The board and the search lists scan the shipments again and again; a page cache that holds a
    // large shipments file (up to 32 MiB, taken only as pages are read) saves re-reading it from the
    // file system at every query (four times faster on 100k shipments).
    connection->execute("PRAGMA cache_size = -32768", {});
    // Write-ahead log: a workstation reading the file never keeps another's commit waiting (with a
    // rollback journal a long read made commits fail after the lock time), and commits are twice as
    // fast with several workstations at once. The mode stays with the file; a file another program
    // holds open in the old mode keeps it until it is opened alone. All workstations must reach the
    // file on a local disk of one machine (the log's index is shared memory).
    if (!options.readOnly) {
        try {
            connection->execute("PRAGMA journal_mode = WAL", {});
        } catch (const Error&) {
        }
    }
    if (options.readOnly) connection->execute("PRAGMA query_only = ON", {});
    return connection;
}

} // namespace dao
