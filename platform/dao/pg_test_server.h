#pragma once
// A private PostgreSQL server for tests: a fresh cluster in a temporary folder, reached only through
// a Unix socket in that folder (no TCP listener), stopped and removed when the test program ends in
// any way. As root the server runs as the unprivileged user `nobody` (the server refuses root).
#include <string>

namespace dao::testing {

struct PgServer {
    std::string socketDir; // the folder holding the socket (the URI's host)
    std::string superuser; // the cluster's superuser role
    std::string password;  // its password (password logins are required)
    // postgresql://... naming `database` on this server (the password is never in it).
    std::string uri(const std::string& database) const;
};

// The one server of this test program, started on first use. Throws std::runtime_error saying
// why when it cannot start (no server binaries, initdb or pg_ctl failing).
const PgServer& pgServer();

// Creates (after dropping it if it exists) a database on the server, owned by the superuser.
void freshDatabase(const std::string& name);

// Makes the server's roles the engine's accounts (the system database is the server database
// `uri`) and logs the engine's default workspace in as the superuser.
void logInAsSuperuser(const std::string& uri);

} // namespace dao::testing
