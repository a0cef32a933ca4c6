// One connection per database file per process, and the transaction levels stacked on it. The
// board's own workspace and the default workspace behind its data control write to the same file;
// with a connection each, the second would wait for the lock the first holds until it gave up.
#include "state.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace dao::detail {
namespace {

struct OpenFile {
    std::weak_ptr<SharedConnection> shared;
    dev_t device = 0;
    ino_t inode = 0;
};

std::map<std::string, OpenFile>& openFiles() {
    static std::map<std::string, OpenFile> files;
    return files;
}

std::string fileKey(const std::string& path) {
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : canonical.string();
}

// The file a connection was opened on is only the same file while it has the same identity: a
// database deleted and made again under the same name needs a connection of its own.
bool identity(const std::string& path, dev_t& device, ino_t& inode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

// Row sets on the connection learn that a level ended, so cached rows never outlive a rollback.
void tellRowSets(SharedConnection& shared, size_t level, bool commit) {
    auto& sets = shared.rowSets;
    std::erase_if(sets, [](auto& w) { return w.expired(); });
    for (auto& weak : std::vector(sets))
        if (auto set = weak.lock()) levelEnded(*set, level, commit);
}

} // namespace

std::shared_ptr<SharedConnection> sharedConnection(const std::string& path, const OpenOptions& options,
                                                   const Opener& open, const std::string& login) {
    // A server database is one connection per role: each login sees what its grants allow.
    bool server = isServerName(path);
    auto key = server ? path + "\n" + login : fileKey(path);
    auto& entry = openFiles()[key];
    dev_t device = 0;
    ino_t inode = 0;
    auto shared = entry.shared.lock();
    bool same = shared && shared->connection && !options.create &&
                (server || (identity(path, device, inode) && device == entry.device && inode == entry.inode));
    if (same) {
        // A file first opened read-only is reopened for writing when someone needs to write; no
        // level can be open on a read-only connection, so nothing is lost.
        if (shared->connection->readOnly() && !options.readOnly) shared->connection = open(options);
        return shared;
    }
    shared = std::make_shared<SharedConnection>();
    shared->path = path;
    shared->connection = open(options);
    identity(path, entry.device, entry.inode);
    entry.shared = shared;
    return shared;
}

std::string openLevel(SharedConnection& shared) {
    Connection& c = *shared.connection;
    std::string name;
    if (shared.levels.empty())
        c.begin();
    else {
        name = "dao_level" + std::to_string(++shared.nextSavepoint);
        c.execute("SAVEPOINT " + name);
    }
    shared.levels.push_back(name);
    return name;
}

// The connection's levels and the engine's own transaction are one state: a level is only taken
// off once the engine has ended it. A commit that fails leaves the level (and those inside it) open,
// so the program's Rollback finds it; a rollback always takes it off, since afterwards nothing of it
// may be used again, and only then reports what went wrong.
void closeLevel(SharedConnection& shared, const std::string& level, bool commit) {
    auto& levels = shared.levels;
    auto it = std::find(levels.begin(), levels.end(), level);
    if (it == levels.end() || !shared.connection) return; // already ended with an outer level
    size_t depth = size_t(it - levels.begin());
    Connection& c = *shared.connection;
    // The engine undid the transaction by itself after an error: what it held is gone, and a
    // commit must not pretend otherwise (nor commit what ran afterwards outside any transaction).
    if (!c.inTransaction()) {
        if (commit)
            raise(errc::Failed, "The change could not be saved: the database had already undone it after "
                                "an earlier error, so none of it was stored.");
        levels.erase(it, levels.end());
        tellRowSets(shared, depth, false);
        return;
    }
    if (commit) {
        if (level.empty())
            c.commit();
        else
            c.execute("RELEASE " + level);
        levels.erase(it, levels.end());
        tellRowSets(shared, depth, true);
        return;
    }
    std::exception_ptr failure;
    try {
        if (level.empty())
            c.rollback();
        else {
            c.execute("ROLLBACK TO " + level);
            c.execute("RELEASE " + level);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    levels.erase(it, levels.end());
    tellRowSets(shared, depth, false);
    if (failure) std::rethrow_exception(failure);
}

} // namespace dao::detail
