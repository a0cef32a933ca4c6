#pragma once
// The layer's inner state behind the handles of dao.h.
#include "backend.h"
#include "dao.h"
#include "jet_sql.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>

namespace dao::detail {

struct RowSet;

// The one connection a process keeps to a database file, shared by every workspace and database
// object that opens the file: a transaction never waits for a lock held by its own program.
// Transaction levels stack on it in the order they were opened, whichever workspace opened them.
struct SharedConnection {
    std::string path;
    std::unique_ptr<Connection> connection;
    std::vector<std::string> levels; // open levels, outermost first: "" the transaction, then savepoints
    long long nextSavepoint = 0;
    std::vector<std::weak_ptr<RowSet>> rowSets; // told when a level is rolled back or committed
};

// The process's connection to a file, opened through `open` (or reopened for writing) when needed.
using Opener = std::function<std::unique_ptr<Connection>(const OpenOptions&)>;
std::shared_ptr<SharedConnection> sharedConnection(const std::string& path, const OpenOptions& options,
                                                   const Opener& open, const std::string& login = "");
// Opens one transaction level on the connection and returns its name.
std::string openLevel(SharedConnection& shared);
// Ends a level (and any opened inside it): commits it, or rolls back what was done in it.
void closeLevel(SharedConnection& shared, const std::string& level, bool commit);

struct WorkspaceState {
    std::string name;
    std::string user;
    std::string password; // kept for the logins of server databases opened later
    Permission permission = Permission::ReadWrite;
    // Per BeginTrans, the levels it opened on each connection of its databases.
    std::vector<std::vector<std::pair<std::shared_ptr<SharedConnection>, std::string>>> levels;
    std::vector<std::weak_ptr<DatabaseState>> databases;
    bool closed = false;
    int transactionDepth() const { return int(levels.size()); }
};

struct DatabaseState {
    std::string name; // as the program gave it
    std::string path; // the file it resolves to
    std::shared_ptr<SharedConnection> shared;
    bool writable = true; // the account and the open mode allow changes
    bool secured = false;
    long long recordsAffected = 0;
    std::weak_ptr<WorkspaceState> workspace;
    std::map<std::string, std::vector<ColumnDefinition>> tableColumnsCache;
    // The parameters a saved query's text was found to use, by its text (asking the engine prepares it).
    std::map<std::string, std::vector<jet::ParameterDecl>> parametersFound;
    // Tables known to exist, by lower-case name. Only a name not among them asks the engine again
    // (another workstation may have made it since); one dropped elsewhere fails the statement
    // that uses it, as it would have anyway.
    std::set<std::string> tablesKnown;
    // Tables or columns may have changed: what was learnt of them is asked again.
    void schemaMayHaveChanged() {
        tableColumnsCache.clear();
        parametersFound.clear();
        tablesKnown.clear();
    }

    bool open() const { return shared && shared->connection; }
    Connection& conn() {
        if (!open()) raise(errc::Failed, "The database '" + name + "' is closed.");
        return *shared->connection;
    }
    bool isTable(const std::string& name);
    std::optional<std::string> savedQuery(const std::string& name);
    const std::vector<ColumnDefinition>& tableColumns(const std::string& table);
};

struct FieldInfo {
    std::string name;
    DataType type = dbText;
    long attributes = 0;
    long size = 0;
    std::string sourceTable;
    std::string sourceField;
    bool updatable = false;
    bool typeFromValues = false; // an expression column: typed by its first value that is not Null
    bool dateIfText = false;     // a sum of fields: a date when its value is a date's text
};

// Row keys of any type in hashed containers; equal only when the same type and value (texts
// compare exactly, letter case counts).
struct KeyHash {
    size_t operator()(const StoredValue& v) const noexcept {
        if (auto* n = std::get_if<std::int64_t>(&v)) return std::hash<std::int64_t>()(*n);
        if (auto* s = std::get_if<std::string>(&v)) return std::hash<std::string>()(*s);
        if (auto* d = std::get_if<double>(&v)) return std::hash<double>()(*d);
        if (auto* b = std::get_if<std::vector<std::uint8_t>>(&v))
            return std::hash<std::string_view>()(
                std::string_view(reinterpret_cast<const char*>(b->data()), b->size()));
        return 0;
    }
};

struct Row {
    StoredValue key; // the key table's row key (dynasets)
    std::vector<StoredValue> values;
    bool deleted = false; // deleted through this record set (and skipped)
    bool loaded = true;   // keyset rows are read by key when first needed
    bool gone = false;    // no longer in the database (deleted by another user): 3167 on access
};

// A statement with its parameters, as a record set remembers it to filter, sort or re-query.
struct Source {
    jet::Statement statement;
    std::vector<runtime::Variant> values; // one per declared parameter
    std::vector<bool> given;
};

// What a record set changed inside a transaction, undone when that transaction is rolled back.
struct Change {
    size_t level; // how many transaction levels were open on the connection
    enum { Added, Deleted, Edited } what;
    size_t row;
};

// The rows of a record set, shared by its clones.
struct RowSet {
    std::shared_ptr<DatabaseState> db;
    Source source;
    int type = dbOpenDynaset;
    bool updatable = false;
    std::optional<jet::KeyTable> key;
    std::string keyColumn; // the key table's column that tells its rows apart (backend.h rowKey)
    std::vector<std::shared_ptr<FieldInfo>> fields;
    std::vector<Row> rows;
    long deletedCount = 0; // rows marked deleted: while none are, a position is an index
    std::uint64_t id = 0;  // bookmarks carry it: one of another record set (or of an earlier read) is refused

    // Keyset: the keys are read at open; rows are read by key a page at a time and only the most
    // recently read pages are kept.
    bool keyset = false;
    bool keysPending = false; // read when first needed: a set only filtered again never reads them
    bool keysPartial = false; // only the first keys are read: the rest when a later row is asked for
    std::vector<jet::ColumnHint> columnHints; // of the statement that reads the rows
    std::string fetchSql; // the rows of a page: the select list for the keys in the list at its end
    std::string fetchTail;
    std::vector<StoredValue> fetchParams;
    std::vector<size_t> cachedPages; // oldest first
    std::vector<Change> journal;
    // The INSERT that Update last wrote for an added row, and the fields it sets (in field order).
    std::string insertSql;
    std::vector<int> insertFields;
};
struct Cursor {
    std::shared_ptr<RowSet> set;
    long position = 0; // -1 before the first row, rows.size() after the last
    int editMode = dbEditNone;
    std::map<int, runtime::Variant> edits;
    long editRow = -1;
    std::vector<StoredValue> original;       // the row as Edit found it: what Update compares with
    std::optional<StoredValue> lastModified; // the key of the row last added or changed
    std::string filter;
    std::string sort;
    bool closed = false;
};

struct QueryState {
    std::shared_ptr<DatabaseState> db;
    std::string name;
    std::string sql;
    jet::Statement statement;
    std::vector<runtime::Variant> values;
    std::vector<bool> given;
};

struct TableDefState {
    std::shared_ptr<DatabaseState> db;
    std::string name;
    std::vector<Field> fields;
};

// Opening and running statements (recordset.cpp, crosstab.cpp, database.cpp).
std::shared_ptr<RowSet> openRows(const std::shared_ptr<DatabaseState>& db, Source source, int type,
                                 int options);
std::vector<StoredValue> parameterValues(const jet::Translation& t, const Source& source);
// Makes a keyset row readable: its page's rows not yet read are read by key (recordset.cpp).
void loadRow(RowSet& set, size_t index);
// Makes at least `count` of a keyset's keys known (all of them when `count` is past the first ones).
void knowKeys(RowSet& set, size_t count);
// Reads every row of a record set at once (snapshots, and sets a keyset cannot hold).
void readWhole(RowSet& set);
// Tells a record set that a transaction level on its connection ended (recordset.cpp).
void levelEnded(RowSet& set, size_t level, bool commit);
std::shared_ptr<RowSet> openCrosstab(const std::shared_ptr<DatabaseState>& db, const Source& source);
long long runAction(const std::shared_ptr<DatabaseState>& db, const Source& source);
// SELECT ... INTO table IN 'file' on a server database (make_table_in_file.cpp); 3010 when the
// table exists.
long long makeTableInFile(DatabaseState& db, const Source& source, const jet::MakeTable& make);
void refuseExistingTable(const std::vector<std::string>& tables, const std::string& table);
// `hints`, when given, receives what the statement shows of its columns' types.
std::unique_ptr<Statement> prepareTranslated(DatabaseState& db, const jet::Tokens& body, const Source& source,
                                             std::vector<StoredValue>& params,
                                             std::vector<jet::ColumnHint>* hints = nullptr);

inline const char* kQueryTable = "MSysDaoQueries";

} // namespace dao::detail
