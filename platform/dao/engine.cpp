// The engine's defaults and its workspaces: who is connected, with what permission, and the
// transactions that span the databases opened in a workspace.
#include "paths/windows_path.h"
#include "state.h"

#include <algorithm>
#include <filesystem>

namespace dao {
namespace {

// Secured databases carry this application id (the letters "DRV1").
constexpr long long kSecuredMark = 0x44525631;

detail::WorkspaceState& live(const std::shared_ptr<detail::WorkspaceState>& s) {
    if (!s || s->closed) raise(errc::Failed, "The workspace is closed.");
    return *s;
}

std::vector<std::shared_ptr<detail::DatabaseState>> openDatabases(detail::WorkspaceState& ws) {
    std::vector<std::shared_ptr<detail::DatabaseState>> out;
    for (auto& w : ws.databases)
        if (auto db = w.lock(); db && db->connection) out.push_back(db);
    return out;
}

std::string transactionStep(int depth, const char* verb) {
    return std::string(verb) + " dao_level" + std::to_string(depth);
}

// Opens the backend a database name calls for: a file path is a SQLite database.
std::unique_ptr<Connection> openBackend(const std::string& name, const std::string& path, const OpenOptions& options) {
    if (name.rfind("postgresql://", 0) == 0 || name.rfind("postgres://", 0) == 0)
        raise(errc::CannotOpen, "'" + name + "' names a PostgreSQL server, which this build cannot reach yet.");
    return openSqlite(path, options);
}

bool isSecured(Connection& c) {
    auto stmt = c.prepare("PRAGMA application_id");
    return stmt->step() && std::get<std::int64_t>(stmt->value(0)) == kSecuredMark;
}

} // namespace

DBEngine& engine() {
    static DBEngine instance;
    return instance;
}

void DBEngine::rollbackAll() {
    for (auto& weak : workspaces_)
        if (auto s = weak.lock(); s && !s->closed) {
            Workspace ws;
            ws.s_ = s;
            while (s->transactionDepth > 0)
                ws.Rollback();
        }
}

void DBEngine::reset() {
    *this = DBEngine();
}

Workspace DBEngine::Workspaces0() {
    bool stale = !default_.s_ || default_.s_->closed ||
                 (default_.s_->user != defaultUser_ && default_.s_->transactionDepth == 0);
    if (stale) default_ = CreateWorkspace("#Default Workspace#", defaultUser_, defaultPassword_);
    return default_;
}

Workspace DBEngine::CreateWorkspace(const std::string& name, const std::string& user,
                                    const std::string& password) {
    Permission permission = systemDB_.empty()
                                ? Workgroup::builtIn(user, password)
                                : Workgroup(paths::resolve(systemDB_)).authenticate(user, password);
    Workspace ws;
    ws.s_ = std::make_shared<detail::WorkspaceState>();
    ws.s_->name = name;
    ws.s_->user = user;
    ws.s_->permission = permission;
    workspaces_.push_back(ws.s_);
    return ws;
}

const std::string& Workspace::Name() const {
    return live(s_).name;
}
const std::string& Workspace::UserName() const {
    return live(s_).user;
}
Permission Workspace::UserPermission() const {
    return live(s_).permission;
}

Database Workspace::OpenDatabase(const std::string& name, bool /*exclusive*/, bool readOnly) const {
    auto& ws = live(s_);
    auto state = std::make_shared<detail::DatabaseState>();
    state->name = name;
    state->path = paths::resolve(name);
    OpenOptions options;
    options.lockTimeoutMs = engine().LockTimeoutMs();
    options.readOnly = readOnly || ws.permission != Permission::ReadWrite;
    state->connection = openBackend(name, state->path, options);
    state->secured = isSecured(*state->connection);
    if (state->secured && ws.permission == Permission::None)
        raise(errc::NoPermission, "The account '" + ws.user + "' has no permission to open '" + name + "'.");
    if (!state->secured && options.readOnly && !readOnly) {
        // The account's read-only permission concerns secured databases only: reopen for writing.
        options.readOnly = false;
        state->connection = openSqlite(state->path, options);
    }
    state->writable = !options.readOnly;
    state->workspace = s_;
    if (ws.transactionDepth > 0 && state->writable) state->connection->begin();
    ws.databases.push_back(state);
    Database db;
    db.s_ = state;
    return db;
}

Database Workspace::CreateDatabase(const std::string& name, const std::string& /*locale*/,
                                   int /*options*/) const {
    auto& ws = live(s_);
    auto state = std::make_shared<detail::DatabaseState>();
    state->name = name;
    state->path = paths::resolve(name);
    OpenOptions options;
    options.create = true;
    options.lockTimeoutMs = engine().LockTimeoutMs();
    state->connection = openBackend(name, state->path, options);
    state->connection->execute(std::string("CREATE TABLE ") + detail::kQueryTable +
                               " (Name TEXT PRIMARY KEY COLLATE NOCASE, SQL TEXT NOT NULL)");
    state->workspace = s_;
    ws.databases.push_back(state);
    Database db;
    db.s_ = state;
    return db;
}

void Workspace::BeginTrans() const {
    auto& ws = live(s_);
    for (auto& db : openDatabases(ws)) {
        if (!db->writable) continue;
        if (ws.transactionDepth == 0)
            db->conn().begin();
        else
            db->conn().execute(transactionStep(ws.transactionDepth, "SAVEPOINT"));
    }
    ++ws.transactionDepth;
}

void Workspace::CommitTrans() const {
    auto& ws = live(s_);
    if (ws.transactionDepth == 0) raise(errc::NoTransaction, "CommitTrans without BeginTrans.");
    --ws.transactionDepth;
    for (auto& db : openDatabases(ws)) {
        if (!db->writable) continue;
        if (ws.transactionDepth == 0)
            db->conn().commit();
        else
            db->conn().execute(transactionStep(ws.transactionDepth, "RELEASE"));
    }
}

void Workspace::Rollback() const {
    auto& ws = live(s_);
    if (ws.transactionDepth == 0) raise(errc::NoTransaction, "Rollback without BeginTrans.");
    --ws.transactionDepth;
    for (auto& db : openDatabases(ws)) {
        if (!db->writable) continue;
        if (ws.transactionDepth == 0)
            db->conn().rollback();
        else {
            db->conn().execute(transactionStep(ws.transactionDepth, "ROLLBACK TO"));
            db->conn().execute(transactionStep(ws.transactionDepth, "RELEASE"));
        }
    }
}

void Workspace::Close() {
    if (!s_ || s_->closed) return;
    // An open transaction is rolled back: closing never leaves half a change behind.
    while (s_->transactionDepth > 0)
        Rollback();
    for (auto& db : openDatabases(*s_))
        db->connection.reset();
    s_->closed = true;
}

void secureDatabase(const Database& db) {
    if (!db) raise(errc::Failed, "No database.");
    db.s_->conn().execute("PRAGMA application_id = " + std::to_string(kSecuredMark));
}

} // namespace dao
