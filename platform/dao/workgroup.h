#pragma once
// The workgroup (system database): a SQLite file of accounts, each with an Argon2 hash of its
// password (libsodium) and a permission on the secured databases. Passwords are never stored.
#include <optional>
#include <string>
#include <vector>

namespace dao {

enum class Permission { None, Read, ReadWrite };

std::string permissionName(Permission p); // "none", "read", "read-write"
std::optional<Permission> permissionNamed(const std::string& name);

struct Account {
    std::string name;
    Permission permission;
};

class Workgroup {
public:
    // Creates a new, empty workgroup file (3204 if it exists).
    static void create(const std::string& path);

    explicit Workgroup(std::string path) : path_(std::move(path)) {}

    // The account's permission when the name (case-insensitive) and password match; otherwise
    // 3029. Without a workgroup file configured, use `builtIn` instead.
    Permission authenticate(const std::string& user, const std::string& password) const;
    // The built-in account of an engine without a system database: "Admin", empty password.
    static Permission builtIn(const std::string& user, const std::string& password);

    void addAccount(const std::string& name, const std::string& password, Permission permission);
    void removeAccount(const std::string& name);
    void setPermission(const std::string& name, Permission permission);
    void setPassword(const std::string& name, const std::string& password);
    std::vector<Account> accounts() const;

private:
    std::string path_;
};

} // namespace dao
