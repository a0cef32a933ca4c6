#pragma once
// Data-access objects with the shapes the program's forms use: the engine's defaults, workspaces
// with transactions, databases, saved queries with parameters, record sets with filters, clones and
// bookmarks, fields and table definitions. Objects are handles: copies refer to the same object,
// as object variables do.
#include "errors.h"
#include "types.h"
#include "workgroup.h"

#include "runtime/variant.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dao {

enum RecordsetType { dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4, dbOpenForwardOnly = 8 };
enum RecordsetOption { dbReadOnly = 4, dbAppendOnly = 8, dbFailOnError = 128, dbSeeChanges = 512 };
enum EditModeEnum { dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2 };

struct LiveAccess; // change_notices.cpp

namespace detail {
struct DatabaseState;
struct WorkspaceState;
struct Cursor;
struct QueryState;
struct TableDefState;
struct FieldInfo;
} // namespace detail

class Field {
public:
    const std::string& Name() const;
    DataType Type() const;
    long Attributes() const;
    long Size() const;
    const std::string& SourceTable() const; // the table the value is read from ("" for expressions)
    const std::string& SourceField() const;
    void setAttributes(long attributes); // table definitions being built
    void setSize(long size);

    // The value of the current record (or of the record being edited). 3021 without one.
    runtime::Variant Value() const;
    // Changes the record being edited: 3020 outside AddNew/Edit, 3164 for a column that cannot be
    // updated (derived or from another table than the record set's own).
    void setValue(const runtime::Variant& value);

private:
    friend class Recordset;
    friend class TableDef;
    friend class Database;
    std::shared_ptr<detail::FieldInfo> info_;
    std::shared_ptr<detail::Cursor> cursor_;
    int index_ = -1;
};

class TableDef {
public:
    const std::string& Name() const;
    Field CreateField(const std::string& name, DataType type, long size = 0);
    void AppendField(const Field& field);
    std::vector<Field> Fields() const;
    int FieldCount() const;

private:
    friend class Database;
    std::shared_ptr<detail::TableDefState> s_;
};

class Recordset {
public:
    int Type() const;
    // BOF and EOF of the engine (EOF is a C macro, hence the names).
    bool atBOF() const;
    bool atEOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(long rows);
    long RecordCount() const;
    // A large dynaset reads its first keys at open and the rest when a later record is asked for
    // (or RecordCount, MoveLast, an edit): what a grid shows while only the first are known.
    long RecordsReadSoFar() const;
    bool MoreRecordsToRead() const;
    void ReadAllRecords();
    long AbsolutePosition() const;           // -1 when there is no current record
    void setAbsolutePosition(long position); // 0-based; 3021 outside the record set

    int FieldCount() const;
    Field Fields(int index) const;               // 3265 when out of range
    Field Fields(const std::string& name) const; // 3265 when no field has that name
    runtime::Variant operator[](const std::string& name) const { return Fields(name).Value(); }

    // A record-set filter in the engine's syntax; OpenRecordset gives the filtered (and sorted) set.
    const std::string& Filter() const;
    void setFilter(const std::string& expression);
    const std::string& Sort() const;
    void setSort(const std::string& order);
    Recordset OpenRecordset(int type = dbOpenDynaset, int options = 0) const;
    void Requery();

    // A second cursor over the same rows; bookmarks are valid in both.
    Recordset Clone() const;
    runtime::Bytes Bookmark() const;
    void setBookmark(const runtime::Bytes& bookmark);
    runtime::Bytes LastModified() const;

    bool Updatable() const;
    int EditMode() const;
    void AddNew();
    void Edit();
    void Update(); // 3197 when another connection changed the row since it was read, 3167 when deleted
    void CancelUpdate();
    void Delete();
    void Close();

private:
    friend class Database;
    friend class QueryDef;
    friend struct LiveAccess;
    std::shared_ptr<detail::Cursor> c_;
};

class Parameter {
public:
    const std::string& Name() const;
    DataType Type() const;
    runtime::Variant Value() const;
    void setValue(const runtime::Variant& value);

private:
    friend class QueryDef;
    std::shared_ptr<detail::QueryState> q_;
    size_t index_ = 0;
};

class QueryDef {
public:
    const std::string& Name() const;
    std::string SQL() const;
    void setSQL(const std::string& sql); // stored at once for a saved query
    int ParameterCount() const;
    Parameter Parameters(int index) const;
    Parameter Parameters(const std::string& name) const; // 3265 when the query has no such parameter
    Recordset OpenRecordset(int type = dbOpenDynaset, int options = 0) const;
    long long Execute(int options = 0) const; // action queries; returns the rows affected
    void Close() {}

private:
    friend class Database;
    std::shared_ptr<detail::QueryState> q_;
};

class Database {
public:
    const std::string& Name() const;
    bool Updatable() const;
    void Close();

    // A table name, a saved query's name or a statement in the engine's dialect. 3078 when the
    // name is neither a table nor a saved query.
    Recordset OpenRecordset(const std::string& source, int type = dbOpenDynaset, int options = 0) const;
    long long Execute(const std::string& sql, int options = 0) const;
    long long RecordsAffected() const;

    QueryDef QueryDefs(const std::string& name) const; // 3265 when there is no such saved query
    std::vector<std::string> QueryDefNames() const;
    // A saved query (stored at once) or, with an empty name, a temporary one.
    QueryDef CreateQueryDef(const std::string& name, const std::string& sql) const;
    void DeleteQueryDef(const std::string& name) const;

    std::vector<TableDef> TableDefs() const;
    TableDef TableDefs(const std::string& name) const; // 3265 when there is no such table
    TableDef CreateTableDef(const std::string& name) const;
    void AppendTableDef(const TableDef& table) const;   // 3010 when the table exists
    void DeleteTableDef(const std::string& name) const; // 3265 when there is no such table

    explicit operator bool() const { return s_ != nullptr; }

private:
    friend class Workspace;
    friend class QueryDef;
    friend class Recordset;
    friend void secureDatabase(const Database& db);
    friend struct LiveAccess;
    QueryDef makeQueryDef(const std::string& name, const std::string& sql) const;
    std::shared_ptr<detail::DatabaseState> s_;
};

class Workspace {
public:
    const std::string& Name() const;
    const std::string& UserName() const;
    Permission UserPermission() const;

    // `readOnly` opens without writing; an account with read permission always opens read-only,
    // one without permission gets 3033.
    Database OpenDatabase(const std::string& name, bool exclusive = false, bool readOnly = false) const;
    Database CreateDatabase(const std::string& name,
                            const std::string& locale = ";LANGID=0x0409;CP=1252;COUNTRY=0",
                            int options = 0) const;
    void BeginTrans() const;
    // A CommitTrans that fails (another program holds the file longer than the lock time, the disk
    // is full, the server went away) leaves the transaction open: Rollback undoes it, or a second
    // CommitTrans tries again. Where the engine itself already undid the work (an I/O error, a lost
    // server connection), the transaction stays open but empty until Rollback ends it, and a second
    // CommitTrans fails again saying that nothing of it was saved. Either way nothing is half stored,
    // and the next BeginTrans after Rollback starts afresh.
    void CommitTrans() const;
    // Always ends the innermost transaction, even when the engine reports a failure undoing it.
    void Rollback() const;
    void Close();

private:
    friend class DBEngine;
    static Database openedOnServer(const std::shared_ptr<detail::DatabaseState>& state,
                                   const std::shared_ptr<detail::WorkspaceState>& ws, bool readOnly);
    std::shared_ptr<detail::WorkspaceState> s_;
};

// The engine's defaults (system database, default user and password) and its workspaces.
class DBEngine {
public:
    const std::string& SystemDB() const { return systemDB_; }
    void setSystemDB(const std::string& path) { systemDB_ = path; }
    const std::string& DefaultUser() const { return defaultUser_; }
    void setDefaultUser(const std::string& user) { defaultUser_ = user; }
    const std::string& DefaultPassword() const { return defaultPassword_; }
    void setDefaultPassword(const std::string& password) { defaultPassword_ = password; }
    // How long a connection waits for another writer's lock before giving up with 3218.
    int LockTimeoutMs() const { return lockTimeoutMs_; }
    void setLockTimeoutMs(int ms) { lockTimeoutMs_ = ms; }

    // The default workspace, made from the default user and password when first needed, and made
    // again when those change (unless a transaction is open in it). Databases opened earlier keep
    // the account they were opened with.
    Workspace Workspaces0();
    Workspace Workspaces(int index) { // the engine's collection; only the default one is kept
        if (index != 0)
            raise(errc::ItemNotFound, "There is no workspace number " + std::to_string(index) + ".");
        return Workspaces0();
    }
    // Authenticates against the system database: 3029 for a wrong name or password.
    Workspace CreateWorkspace(const std::string& name, const std::string& user, const std::string& password);

    Database OpenDatabase(const std::string& name, bool exclusive = false, bool readOnly = false) {
        return Workspaces0().OpenDatabase(name, exclusive, readOnly);
    }
    Database CreateDatabase(const std::string& name,
                            const std::string& locale = ";LANGID=0x0409;CP=1252;COUNTRY=0", int options = 0) {
        return Workspaces0().CreateDatabase(name, locale, options);
    }

    // Rolls back every open transaction of every workspace: what runs before the program ends on
    // an unhandled error, so no half-made change stays behind.
    void rollbackAll();

    // Back to a fresh engine: no system database, "Admin" with an empty password.
    void reset();

private:
    std::string systemDB_;
    std::string defaultUser_ = "Admin";
    std::string defaultPassword_;
    int lockTimeoutMs_ = 5000;
    Workspace default_;
    std::vector<std::weak_ptr<detail::WorkspaceState>> workspaces_;
};

DBEngine& engine();

// Runs `change` inside one transaction of `ws`: all of it is stored, or when any step or the commit
// fails, none of it, and that failure (not one from undoing it) is passed on to be shown.
void inOneTransaction(const Workspace& ws, const std::function<void()>& change);

// Marks a database as secured by the workgroup: its accounts' permissions apply to it. Databases
// that are not marked (such as a user's own scratch databases) are open to every account.
void secureDatabase(const Database& db);

} // namespace dao
