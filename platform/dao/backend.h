#pragma once
// The interface each storage backend implements: connections, prepared statements, column origins
// and table structure. Everything above it (record sets, queries, accounts) is shared by all backends.
#include "jet_sql.h"
#include "types.h"
#include "value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dao {

// Where a result column comes from: the table and column it is read from, or nothing for
// expressions. A column is updatable through a dynaset only when it comes from the key table.
struct ColumnOrigin {
    std::string name;     // the result column's name
    std::string declType; // the declared type of the origin column ("" for expressions)
    std::string table;    // origin table, "" for expressions
    std::string column;   // origin column, "" for expressions
};

struct ColumnDefinition {
    std::string name;
    std::string declType;
    bool primaryKey = false;
    bool autoIncrement = false;
    bool notNull = false;
    std::string defaultValue; // the column's default as SQL ("" for none)
};

// An index made on a table's columns by name (not one behind its key or a constraint).
struct IndexDefinition {
    std::string name;
    std::vector<std::string> columns;
    bool unique = false;
};

class Statement {
public:
    virtual ~Statement() = default;
    // Binds parameter `index` (1-based).
    virtual void bind(int index, const StoredValue& value) = 0;
    // Advances to the next row; false at the end. Throws dao::Error on failure.
    virtual bool step() = 0;
    virtual int columnCount() const = 0;
    virtual ColumnOrigin column(int index) const = 0;
    virtual StoredValue value(int index) const = 0;
    virtual void reset() = 0;
};

class Connection {
public:
    virtual ~Connection() = default;
    virtual std::unique_ptr<Statement> prepare(const std::string& sql) = 0;
    // The name `sql` refers to that is neither a column nor anything else the backend knows, if
    // that is why it cannot be prepared (the engine takes such names for parameters).
    virtual std::optional<std::string> unknownName(const std::string& sql) = 0;
    // Runs statements that return no rows; returns the number of rows changed by the last one.
    virtual long long execute(const std::string& sql, const std::vector<StoredValue>& params = {}) = 0;
    virtual long long lastInsertKey() = 0;
    virtual void begin() = 0; // takes the write lock at once, waiting the bounded lock time
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Whether the connection is inside a transaction: false once the engine has undone one by
    // itself after an error (an I/O error, a full disk, a lost server connection).
    virtual bool inTransaction() = 0;
    virtual bool readOnly() const = 0;
    virtual std::vector<std::string> tableNames() = 0;
    virtual std::vector<ColumnDefinition> tableColumns(const std::string& table) = 0;
    // Indexes on plain columns, in no set order; one on expressions or part of the rows is left out.
    virtual std::vector<IndexDefinition> tableIndexes(const std::string& table) = 0;
    // Makes another database file reachable in SQL as `alias` (for SELECT ... INTO ... IN 'file').
    virtual void attach(const std::string& path, const std::string& alias) = 0;
    virtual void detach(const std::string& alias) = 0;
    // The column that tells a table's rows apart for a keyset: the file engine's own row number, or
    // on a server the table's primary key when it is one column of any type; "" when there is none
    // (its record sets only read).
    virtual std::string rowKey(const std::string& /*table*/) { return "rowid"; }
    // `column` equal to the placeholder's value exactly (letter case counts), a Null to a Null.
    virtual std::string sameValue(const std::string& column, const std::string& placeholder) const {
        return column + " IS " + placeholder + " COLLATE BINARY";
    }
    // Which backend's SQL the program's statements are translated into.
    virtual jet::Dialect dialect() const { return jet::Dialect::File; }
    // The column type a field of `type` is declared with in a new table.
    virtual std::string columnType(DataType type, bool counter) const { return declaredType(type, counter); }
    // The dialect's one way of writing a text or a name into SQL.
    virtual std::string quoteText(const std::string& text) const = 0;
    virtual std::string quoteName(const std::string& name) const = 0;
    // Change notices on a server (change_notices.h): listening on a channel, and the payloads other
    // sessions sent on it since the last call. The file engine has none.
    virtual void listen(const std::string& /*channel*/) {}
    virtual std::vector<std::string> takeNotices() { return {}; }
};

struct OpenOptions {
    bool readOnly = false;
    bool create = false; // create the file (it must not exist yet)
    int lockTimeoutMs = 5000;
};

// Opens a SQLite database file. Errors: 3024 (no such file), 3044 (no such folder), 3343 (not a
// database), 3151 (could not be opened).
std::unique_ptr<Connection> openSqlite(const std::string& path, const OpenOptions& options);

// A database name that names a PostgreSQL server database (postgresql://host:port/database).
bool isServerName(const std::string& name);
// Whether a server database name carries a password (user:password@ or ?password=), which must
// never be written into the options where anyone reading them would learn it.
bool carriesPassword(const std::string& uri);

// Opens a database on a PostgreSQL server as the server role `user`. An empty password leaves it to
// libpq's own password file. Errors: 3029 (the server refused the role or password), 3024 (no such
// database), 3151 (the server could not be reached).
std::unique_ptr<Connection> openPostgres(const std::string& uri, const std::string& user,
                                         const std::string& password, const OpenOptions& options);

} // namespace dao
