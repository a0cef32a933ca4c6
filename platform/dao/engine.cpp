// The engine's defaults and its workspaces: who is connected, with what permission, and the
// transactions that span the databases opened in a workspace.
#include "paths/windows_path.h"
#include "server_objects.h"
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
        if (auto db = w.lock(); db && db->open()) out.push_back(db);
    return out;
}

// The connections a workspace's transactions span: each once, however many of its databases
// share it, and only where it may write.
std::vector<std::shared_ptr<detail::SharedConnection>> writableConnections(detail::WorkspaceState& ws) {
    std::vector<std::shared_ptr<detail::SharedConnection>> out;
    for (auto& db : openDatabases(ws))
        if (db->writable && std::find(out.begin(), out.end(), db->shared) == out.end())
            out.push_back(db->shared);
    return out;
}

// Commits the workspace's innermost level on every connection, inner connections first. A
// connection that fails keeps its level, and so does the workspace, holding the connections not yet
// committed: the program's Rollback then ends exactly those.
void commitLevel(detail::WorkspaceState& ws) {
    auto& level = ws.levels.back();
    while (!level.empty()) {
        auto& [shared, name] = level.back();
        detail::closeLevel(*shared, name, true);
        level.pop_back();
    }
    ws.levels.pop_back();
}

// Rolls back the workspace's innermost level on every connection, inner connections first. The level
// ends whatever happens; the first failure is reported once all were tried.
void rollbackLevel(detail::WorkspaceState& ws) {
    auto level = std::move(ws.levels.back());
    ws.levels.pop_back();
    std::exception_ptr failure;
    for (auto it = level.rbegin(); it != level.rend(); ++it) {
        try {
            detail::closeLevel(*it->first, it->second, false);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

// Opens the backend a database name calls for: a postgresql:// name is a server database, reached
// as the workspace's user; anything else is a SQLite file.
std::unique_ptr<Connection> openBackend(const std::string& name, const std::string& path,
                                        const OpenOptions& options, const detail::WorkspaceState& ws) {
    if (isServerName(name)) return openPostgres(name, ws.user, ws.password, options);
    return openSqlite(path, options);
}

// On a server the role's grants decide: a role that may change no table reads only.
bool serverAllowsChanges(Connection& c) {
    auto stmt =
        c.prepare("SELECT EXISTS (SELECT 1 FROM pg_class c WHERE c.relkind = 'r' AND c.relnamespace = "
                  "current_schema()::regnamespace AND has_table_privilege(c.oid, 'INSERT, UPDATE, DELETE'))");
    return stmt->step() && std::get<std::int64_t>(stmt->value(0)) != 0;
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
            // Every level is tried: one that cannot be undone cleanly must not keep the others open.
            while (s->transactionDepth() > 0)
                try {
                    ws.Rollback();
                } catch (...) {
                }
        }
}

void DBEngine::reset() {
    *this = DBEngine();
}

Workspace DBEngine::Workspaces0() {
    bool stale = !default_.s_ || default_.s_->closed ||
                 (default_.s_->user != defaultUser_ && default_.s_->transactionDepth() == 0);
    if (stale) default_ = CreateWorkspace("#Default Workspace#", defaultUser_, defaultPassword_);
    return default_;
}

Workspace DBEngine::CreateWorkspace(const std::string& name, const std::string& user,
                                    const std::string& password) {
    // A system database that names a server means the server's roles are the accounts: the login
    // is tried there at once, so a bad password is refused (3029) where the workgroup would refuse it.
    Permission permission = Permission::ReadWrite;
    if (isServerName(systemDB_))
        openPostgres(systemDB_, user, password, {.readOnly = true, .lockTimeoutMs = lockTimeoutMs_});
    else
        permission = systemDB_.empty() ? Workgroup::builtIn(user, password)
                                       : Workgroup(paths::resolve(systemDB_)).authenticate(user, password);
    Workspace ws;
    ws.s_ = std::make_shared<detail::WorkspaceState>();
    ws.s_->name = name;
    ws.s_->user = user;
    ws.s_->password = password;
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

// A server database opened for a workspace: writable as far as the role's grants go.
Database Workspace::openedOnServer(const std::shared_ptr<detail::DatabaseState>& state,
                                   const std::shared_ptr<detail::WorkspaceState>& wsState, bool readOnly) {
    auto& ws = *wsState;
    state->writable = !readOnly && !state->conn().readOnly() && serverAllowsChanges(state->conn());
    state->workspace = wsState;
    if (state->writable)
        for (auto& level : ws.levels)
            if (std::none_of(level.begin(), level.end(), [&](auto& l) { return l.first == state->shared; }))
                level.emplace_back(state->shared, detail::openLevel(*state->shared));
    ws.databases.push_back(state);
    Database db;
    db.s_ = state;
    return db;
}

Database Workspace::OpenDatabase(const std::string& name, bool /*exclusive*/, bool readOnly) const {
    auto& ws = live(s_);
    auto state = std::make_shared<detail::DatabaseState>();
    state->name = name;
    bool server = isServerName(name);
    state->path = server ? name : paths::resolve(name);
    OpenOptions options;
    options.lockTimeoutMs = engine().LockTimeoutMs();
    options.readOnly = readOnly || ws.permission != Permission::ReadWrite;
    auto opener = [&](const OpenOptions& o) { return openBackend(name, state->path, o, ws); };
    state->shared = detail::sharedConnection(state->path, options, opener, ws.user);
    if (server) return openedOnServer(state, s_, readOnly);
    state->secured = isSecured(state->conn());
    if (state->secured && ws.permission == Permission::None)
        raise(errc::NoPermission, "The account '" + ws.user + "' has no permission to open '" + name + "'.");
    if (!state->secured && options.readOnly && !readOnly) {
        // The account's read-only permission concerns secured databases only: open for writing.
        options.readOnly = false;
        state->shared = detail::sharedConnection(state->path, options, opener, ws.user);
    }
    state->writable = !options.readOnly;
    state->workspace = s_;
    // A database opened inside a transaction joins every level the workspace has open.
    if (state->writable)
        for (auto& level : ws.levels)
            if (std::none_of(level.begin(), level.end(), [&](auto& l) { return l.first == state->shared; }))
                level.emplace_back(state->shared, detail::openLevel(*state->shared));
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
    bool server = isServerName(name);
    state->path = server ? name : paths::resolve(name);
    OpenOptions options;
    options.create = true;
    options.lockTimeoutMs = engine().LockTimeoutMs();
    state->shared = detail::sharedConnection(
        state->path, options, [&](const OpenOptions& o) { return openBackend(name, state->path, o, ws); },
        ws.user);
    // On a server the database itself is made by its administrator; here it gets the layer's tables.
    if (server && state->conn().tableNames().size() > 0)
        raise(errc::DatabaseExists, "The server database '" + name + "' already holds tables.");
    if (server) prepareServerDatabase(state->conn());
    state->conn().execute(std::string("CREATE TABLE ") + detail::kQueryTable +
                          (server ? " (Name citext PRIMARY KEY, SQL TEXT NOT NULL)"
                                  : " (Name TEXT PRIMARY KEY COLLATE NOCASE, SQL TEXT NOT NULL)"));
    state->workspace = s_;
    ws.databases.push_back(state);
    Database db;
    db.s_ = state;
    return db;
}

// All or nothing: when one database cannot begin (another program holds its lock), the levels
// already opened on the others are rolled back and the workspace stays outside a transaction.
void Workspace::BeginTrans() const {
    auto& ws = live(s_);
    std::vector<std::pair<std::shared_ptr<detail::SharedConnection>, std::string>> level;
    try {
        for (auto& shared : writableConnections(ws))
            level.emplace_back(shared, detail::openLevel(*shared));
    } catch (...) {
        for (auto it = level.rbegin(); it != level.rend(); ++it)
            try {
                detail::closeLevel(*it->first, it->second, false);
            } catch (...) {
            }
        throw;
    }
    ws.levels.push_back(std::move(level));
}

void Workspace::CommitTrans() const {
    auto& ws = live(s_);
    if (ws.levels.empty()) raise(errc::NoTransaction, "CommitTrans without BeginTrans.");
    commitLevel(ws);
}

void Workspace::Rollback() const {
    auto& ws = live(s_);
    if (ws.levels.empty()) raise(errc::NoTransaction, "Rollback without BeginTrans.");
    rollbackLevel(ws);
}

void Workspace::Close() {
    if (!s_ || s_->closed) return;
    // An open transaction is rolled back: closing never leaves half a change behind.
    while (s_->transactionDepth() > 0)
        try {
            Rollback();
        } catch (...) {
        }
    for (auto& db : openDatabases(*s_))
        db->shared.reset();
    s_->closed = true;
}

void inOneTransaction(const Workspace& ws, const std::function<void()>& change) {
    ws.BeginTrans();
    try {
        change();
        ws.CommitTrans();
    } catch (...) {
        try {
            ws.Rollback();
        } catch (...) {
            // The first failure is the one to report; the transaction has ended either way.
        }
        throw;
    }
}

void secureDatabase(const Database& db) {
    if (!db) raise(errc::Failed, "No database.");
    db.s_->conn().execute("PRAGMA application_id = " + std::to_string(kSecuredMark));
}

} // namespace dao
