// dorvane-admin: makes shipments databases, manages workgroup accounts and prepares the demo.
#include "CKelmarOptions.h"
#include "dao/copy_database.h"
#include "demo_data.h"
#include "dorvane_version.h"
#include "settings_store.h"
#include "shipments_schema.h"

#include "dao/backend.h"

#include "paths/windows_path.h"
#include "runtime/clock.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct UsageError {
    std::string message;
};

struct Command {
    const char* synopsis;
    const char* help;
    std::function<void(const std::vector<std::string>&)> run;
};

bool wantsHelp(const std::vector<std::string>& args) {
    for (auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

// Positional arguments, and the value of each --name option (flags get "").
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

Arguments parseArguments(const std::vector<std::string>& args, const std::vector<std::string>& withValue) {
    Arguments out;
    for (size_t i = 0; i < args.size(); ++i) {
        const auto& a = args[i];
        if (a.rfind("--", 0) != 0) {
            out.positional.push_back(a);
            continue;
        }
        std::string name = a.substr(2);
        if (auto eq = name.find('='); eq != std::string::npos) {
            out.options[name.substr(0, eq)] = name.substr(eq + 1);
        } else if (std::find(withValue.begin(), withValue.end(), name) != withValue.end()) {
            if (i + 1 >= args.size()) throw UsageError{"--" + name + " needs a value"};
            out.options[name] = args[++i];
        } else
            out.options[name] = "";
    }
    return out;
}

void expectPositional(const Arguments& a, size_t count) {
    if (a.positional.size() != count)
        throw UsageError{"expected " + std::to_string(count) + " argument(s), got " +
                         std::to_string(a.positional.size())};
}

// Passwords come from standard input (one line), never from the command line where other users
// could read them in the process list.
std::string readPassword() {
    std::string password;
    if (!std::getline(std::cin, password) && !std::cin.eof())
        throw UsageError{"could not read the password from standard input"};
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

dao::Permission permissionOption(const Arguments& a) {
    auto it = a.options.find("permission");
    std::string name = it == a.options.end() ? "read-write" : it->second;
    auto p = dao::permissionNamed(name);
    if (!p) throw UsageError{"--permission must be none, read or read-write, not '" + name + "'"};
    return *p;
}

fs::path dataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "dorvane";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/dorvane";
}

// One side of a copy: a server database as the given role, or a SQLite file (the destination file
// is made new).
std::unique_ptr<dao::Connection> openSide(const std::string& name, bool destination, const std::string& user,
                                          const std::string& password) {
    if (dao::isServerName(name)) return dao::openPostgres(name, user, password, {});
    dao::OpenOptions options;
    options.readOnly = !destination;
    options.create = destination;
    return dao::openSqlite(paths::resolve(name), options);
}

void progressBar(long long done, long long total) {
    constexpr int width = 40;
    int filled = total > 0 ? int(done * width / total) : width;
    std::cerr << "\r[" << std::string(size_t(filled), '#') << std::string(size_t(width - filled), '.') << "] "
              << done << "/" << total << " rows" << (done == total ? "\n" : "") << std::flush;
}

void refusePasswordInName(const std::string& name) {
    if (dao::isServerName(name) && dao::carriesPassword(name))
        throw UsageError{"a server database name must not hold a password; give --user and the password on "
                         "standard input, or keep it in ~/.pgpass"};
}

// The --user ROLE login: its password read from standard input, or libpq's own defaults.
std::pair<std::string, std::string> serverLogin(Arguments& a) {
    std::string user = a.options.count("user") ? a.options["user"] : "";
    return {user, user.empty() ? "" : readPassword()};
}

void createDb(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {"user"});
    expectPositional(a, 1);
    const auto& name = a.positional[0];
    refusePasswordInName(name);
    if (dao::isServerName(name)) {
        auto [user, password] = serverLogin(a);
        auto server = dao::openPostgres(name, user, password, {});
        shipments::createOnServer(*server);
    } else
        shipments::createShipmentsDatabase(paths::resolve(name)).Close();
    std::cout << "Created the shipments database " << name << "\n";
}

void addIndexes(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {"user"});
    expectPositional(a, 1);
    const auto& name = a.positional[0];
    refusePasswordInName(name);
    std::unique_ptr<dao::Connection> db;
    if (dao::isServerName(name)) {
        auto [user, password] = serverLogin(a);
        db = dao::openPostgres(name, user, password, {});
    } else
        db = dao::openSqlite(paths::resolve(name), {});
    shipments::addMissingIndexes(*db);
    std::cout << "The shipments database " << name << " has every index the board reads by\n";
}

void createWorkgroup(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {});
    expectPositional(a, 1);
    dao::Workgroup::create(paths::resolve(a.positional[0]));
    std::cout << "Created the workgroup " << a.positional[0] << "\n";
}

void addAccount(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {"permission"});
    expectPositional(a, 2);
    dao::Workgroup(paths::resolve(a.positional[0]))
        .addAccount(a.positional[1], readPassword(), permissionOption(a));
    std::cout << "Added the account " << a.positional[1] << "\n";
}

void removeAccount(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {});
    expectPositional(a, 2);
    dao::Workgroup(paths::resolve(a.positional[0])).removeAccount(a.positional[1]);
    std::cout << "Removed the account " << a.positional[1] << "\n";
}

void setPermission(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {"permission"});
    expectPositional(a, 2);
    if (!a.options.count("permission")) throw UsageError{"--permission is required"};
    dao::Workgroup(paths::resolve(a.positional[0])).setPermission(a.positional[1], permissionOption(a));
}

void setPassword(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {});
    expectPositional(a, 2);
    dao::Workgroup(paths::resolve(a.positional[0])).setPassword(a.positional[1], readPassword());
}

void listAccounts(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {});
    expectPositional(a, 1);
    for (auto& acc : dao::Workgroup(paths::resolve(a.positional[0])).accounts())
        std::cout << acc.name << "\t" << dao::permissionName(acc.permission) << "\n";
}

// Points the user's suite options at a shipments database and a workgroup, with the administrative
// account the program uses before anyone logs in.
void pointOptionsAt(const std::string& database, const std::string& workgroup, const std::string& admin,
                    const std::string& adminPassword) {
    CKelmarOptions options("");
    options.DatabaseName(database);
    options.SystemDatabase(workgroup);
    options.AdminUserName(admin);
    options.AdminUserPwd(adminPassword);
}

void configure(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {"admin", "live"});
    expectPositional(a, 2);
    std::string live = a.options.count("live") ? a.options["live"] : "";
    if (!live.empty() && live != "on" && live != "off") throw UsageError{"--live takes on or off"};
    for (auto& name : a.positional)
        if (dao::isServerName(name) && dao::carriesPassword(name))
            throw UsageError{"a server database name must not hold a password: the login dialog asks for it, "
                             "or libpq's password file (~/.pgpass) holds it"};
    std::string admin = a.options.count("admin") ? a.options["admin"] : "";
    std::string password = admin.empty() ? "" : readPassword();
    pointOptionsAt(a.positional[0], a.positional[1], admin, password);
    // Where the board reads its live-updates switch (on unless "False"), as the options dialog keeps it.
    if (!live.empty()) SaveSetting("Dorvane", "Refresh", "Live", live == "on" ? "True" : "False");
    std::cout << "The options now use the database " << a.positional[0] << " and the workgroup "
              << a.positional[1] << "\n";
}

void copy(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {"user"});
    expectPositional(a, 2);
    for (auto& name : a.positional)
        refusePasswordInName(name);
    auto [user, password] = serverLogin(a);
    auto source = openSide(a.positional[0], false, user, password);
    auto destination = openSide(a.positional[1], true, user, password);
    auto summary =
        dao::copyDatabase(*source, *destination, dao::isServerName(a.positional[1]), progressBar);
    long long rows = 0;
    for (auto& t : summary) {
        std::cout << t.rows << "\t" << t.table << "\n";
        rows += t.rows;
    }
    std::cout << "Copied " << summary.size() << " tables, " << rows << " rows, from " << a.positional[0]
              << " to " << a.positional[1] << "\n";
}

void demo(const std::vector<std::string>& args) {
    auto a = parseArguments(args, {"dir", "seed", "shipments"});
    expectPositional(a, 0);
    fs::path dir = a.options.count("dir") ? fs::path(a.options["dir"]) : dataHome() / "demo";
    fs::path database = dir / "shipments.db", workgroup = dir / "system.mdw";
    if (a.options.count("if-missing") && fs::exists(database)) {
        // The demo is there; options nobody has set yet are pointed at it.
        if (CKelmarOptions("").DatabaseName().empty())
            pointOptionsAt(database.string(), workgroup.string(), "", "");
        return;
    }
    shipments::DemoOptions options;
    options.today = runtime::Today();
    try {
        if (a.options.count("seed")) options.seed = unsigned(std::stoul(a.options["seed"]));
        if (a.options.count("shipments")) options.shipments = std::stoi(a.options["shipments"]);
    } catch (const std::exception&) {
        throw UsageError{"--seed and --shipments take whole numbers"};
    }
    if (options.shipments < 0) throw UsageError{"--shipments cannot be negative"};
    // A demo folder may hold a database someone has worked in: it is only replaced on request.
    if (!a.options.count("force") && (fs::exists(database) || fs::exists(workgroup)))
        throw std::runtime_error("the demo in " + dir.string() +
                                 " already exists; add --force to replace it (its data is lost)");
    fs::create_directories(dir);
    fs::remove(database);
    fs::remove(workgroup);
    auto db = shipments::createShipmentsDatabase(database.string());
    shipments::fillDemoData(db, options);
    db.Close();
    dao::Workgroup::create(workgroup.string());
    dao::Workgroup wg(workgroup.string());
    wg.addAccount("Admin", "admin", dao::Permission::ReadWrite);
    wg.addAccount("demo", "demo", dao::Permission::ReadWrite);
    wg.addAccount("viewer", "viewer", dao::Permission::Read);
    // No administrator is stored in the options: whoever starts the program logs in as themselves.
    pointOptionsAt(database.string(), workgroup.string(), "", "");
    std::cout << "Demo shipments database: " << database.string() << "\n"
              << "Demo workgroup:          " << workgroup.string() << "\n"
              << "Accounts: Admin/admin and demo/demo (read-write), viewer/viewer (read only)\n";
}

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> c = {
        {"create-db",
         {"create-db PATH | postgresql://host:port/database [--user ROLE]",
          "Creates a new shipments database (tables and saved queries) at PATH, or in an empty database on a "
          "PostgreSQL server (which its administrator has made), logging in as ROLE with the password read "
          "as one line from standard input, or with libpq's own defaults (PGUSER, ~/.pgpass).",
          createDb}},
        {"copy",
         {"copy SOURCE DESTINATION [--user ROLE]",
          "Copies every table of a shipments database into an empty one: a SQLite file into a PostgreSQL "
          "database (postgresql://host:port/database) or back. A file destination must not exist yet. Server "
          "logins use --user ROLE with its password read as one line from standard input, or libpq's own "
          "defaults (PGUSER, ~/.pgpass). All or nothing; prints the rows copied per table.",
          copy}},
        {"add-indexes",
         {"add-indexes DATABASE [--user ROLE]",
          "Adds the indexes the board reads by to a shipments database that lacks them: one made by an "
          "earlier version, or copied to a server by one (which left indexes behind). Indexes already there "
          "stay as they are. Server logins as for create-db.",
          addIndexes}},
        {"create-workgroup",
         {"create-workgroup PATH", "Creates a new, empty workgroup (accounts) file at PATH.",
          createWorkgroup}},
        {"add-account",
         {"add-account WORKGROUP NAME [--permission none|read|read-write]",
          "Adds an account; its password is read as one line from standard input. The permission applies "
          "to the shipments databases (default read-write).",
          addAccount}},
        {"remove-account", {"remove-account WORKGROUP NAME", "Removes an account.", removeAccount}},
        {"set-permission",
         {"set-permission WORKGROUP NAME --permission none|read|read-write",
          "Changes an account's permission.", setPermission}},
        {"set-password",
         {"set-password WORKGROUP NAME",
          "Changes an account's password, read as one line from standard input.", setPassword}},
        {"list-accounts",
         {"list-accounts WORKGROUP", "Lists the accounts and their permissions.", listAccounts}},
        {"configure",
         {"configure DATABASE WORKGROUP [--admin NAME] [--live on|off]",
          "Points the user's options at a shipments database and a workgroup file. For a database on a "
          "PostgreSQL server give its postgresql://host:port/database name as both: the server's roles are "
          "then the accounts (never put a password in the name). With --admin, the "
          "administrative account the program connects as before the login; its password is read as one "
          "line from standard input. --live off stops the board showing other workstations' changes as they "
          "come (the refresh timer still runs as set); --live on turns that back on (the default).",
          configure}},
        {"demo",
         {"demo [--if-missing | --force] [--dir DIR] [--seed N] [--shipments N]",
          "Creates the demo: a shipments database with realistic data around today and a workgroup with demo "
          "accounts, in DIR (default $XDG_DATA_HOME/dorvane/demo). --if-missing does nothing when the demo "
          "database exists; an existing demo is only replaced with --force. The same seed gives the same "
          "data. The user's options are pointed at the demo.",
          demo}},
    };
    return c;
}

void usage(std::ostream& out) {
    out << "usage: dorvane-admin COMMAND [ARGS]   (dorvane-admin COMMAND --help for details)\n"
           "       dorvane-admin --version\n\ncommands:\n";
    for (auto& [name, c] : commands())
        out << "  " << c.synopsis << "\n";
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        usage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::cout << "dorvane-admin " << DORVANE_VERSION << "\n";
        return 0;
    }
    auto it = commands().find(args[0]);
    if (it == commands().end()) {
        std::cerr << "dorvane-admin: unknown command '" << args[0] << "'\n";
        usage(std::cerr);
        return 2;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (wantsHelp(rest)) {
        std::cout << "usage: dorvane-admin " << it->second.synopsis << "\n\n" << it->second.help << "\n";
        return 0;
    }
    try {
        it->second.run(rest);
        return 0;
    } catch (const UsageError& e) {
        std::cerr << "dorvane-admin " << args[0] << ": " << e.message << "\nusage: dorvane-admin "
                  << it->second.synopsis << "\n";
        return 2;
    } catch (const runtime::Error& e) {
        std::cerr << "dorvane-admin " << args[0] << ": " << e.description() << " (error " << e.number()
                  << ")\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "dorvane-admin " << args[0] << ": " << e.what() << "\n";
        return 1;
    }
}
