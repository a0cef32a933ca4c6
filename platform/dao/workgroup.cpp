#include "workgroup.h"

#include "backend.h"
#include "errors.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace dao {
namespace {

std::string hashPassword(const std::string& password) {
    if (sodium_init() < 0) raise(errc::Failed, "The password library could not be started.");
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        raise(errc::Failed, "Out of memory while protecting a password.");
    return hash;
}

std::unique_ptr<Connection> openWorkgroup(const std::string& path, bool write) {
    OpenOptions options;
    options.readOnly = !write;
    try {
        return openSqlite(path, options);
    } catch (const Error& e) {
        if (e.number() == errc::FileNotFound || e.number() == errc::PathNotValid)
            raise(errc::CannotOpen, "The workgroup file '" + path + "' does not exist.");
        throw;
    }
}

[[noreturn]] void badAccount() {
    raise(errc::BadAccount, "The user name or password is not correct.");
}

} // namespace

std::string permissionName(Permission p) {
    switch (p) {
    case Permission::None:
        return "none";
    case Permission::Read:
        return "read";
    default:
        return "read-write";
    }
}

std::optional<Permission> permissionNamed(const std::string& name) {
    if (name == "none") return Permission::None;
    if (name == "read") return Permission::Read;
    if (name == "read-write") return Permission::ReadWrite;
    return std::nullopt;
}

void Workgroup::create(const std::string& path) {
    // The file holds password hashes: only its owner may read it, from the moment it exists.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST)
        raise(errc::DatabaseExists, "The workgroup file '" + path + "' already exists.");
    if (fd < 0 && errno == ENOENT) raise(errc::PathNotValid, "The folder of '" + path + "' does not exist.");
    if (fd < 0) raise(errc::CannotOpen, "The workgroup file '" + path + "' could not be created.");
    ::close(fd);
    auto db = openSqlite(path, {});
    db->execute("CREATE TABLE Accounts (Name TEXT PRIMARY KEY COLLATE NOCASE, PasswordHash TEXT NOT NULL, "
                "Permission TEXT NOT NULL CHECK (Permission IN ('none', 'read', 'read-write')))");
}

Permission Workgroup::builtIn(const std::string& user, const std::string& password) {
    std::string u;
    for (char c : user)
        u += char(std::tolower(static_cast<unsigned char>(c)));
    if (u != "admin" || !password.empty()) badAccount();
    return Permission::ReadWrite;
}

Permission Workgroup::authenticate(const std::string& user, const std::string& password) const {
    auto db = openWorkgroup(path_, false);
    auto stmt = db->prepare("SELECT PasswordHash, Permission FROM Accounts WHERE Name = ?1");
    stmt->bind(1, user);
    if (!stmt->step()) badAccount();
    std::string hash = std::get<std::string>(stmt->value(0));
    if (sodium_init() < 0 || crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) != 0)
        badAccount();
    return permissionNamed(std::get<std::string>(stmt->value(1))).value_or(Permission::None);
}

void Workgroup::addAccount(const std::string& name, const std::string& password, Permission permission) {
    if (name.empty()) raise(errc::BadAccount, "An account needs a name.");
    auto db = openWorkgroup(path_, true);
    db->execute("INSERT INTO Accounts (Name, PasswordHash, Permission) VALUES (?1, ?2, ?3)",
                {name, hashPassword(password), permissionName(permission)});
}

void Workgroup::removeAccount(const std::string& name) {
    auto db = openWorkgroup(path_, true);
    if (db->execute("DELETE FROM Accounts WHERE Name = ?1", {name}) == 0)
        raise(errc::ItemNotFound, "There is no account named '" + name + "'.");
}

void Workgroup::setPermission(const std::string& name, Permission permission) {
    auto db = openWorkgroup(path_, true);
    if (db->execute("UPDATE Accounts SET Permission = ?1 WHERE Name = ?2",
                    {permissionName(permission), name}) == 0)
        raise(errc::ItemNotFound, "There is no account named '" + name + "'.");
}

void Workgroup::setPassword(const std::string& name, const std::string& password) {
    auto db = openWorkgroup(path_, true);
    if (db->execute("UPDATE Accounts SET PasswordHash = ?1 WHERE Name = ?2",
                    {hashPassword(password), name}) == 0)
        raise(errc::ItemNotFound, "There is no account named '" + name + "'.");
}

std::vector<Account> Workgroup::accounts() const {
    auto db = openWorkgroup(path_, false);
    auto stmt = db->prepare("SELECT Name, Permission FROM Accounts ORDER BY Name");
    std::vector<Account> out;
    while (stmt->step())
        out.push_back({std::get<std::string>(stmt->value(0)),
                       permissionNamed(std::get<std::string>(stmt->value(1))).value_or(Permission::None)});
    return out;
}

} // namespace dao
