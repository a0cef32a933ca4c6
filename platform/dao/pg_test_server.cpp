// Starting and stopping the tests' private PostgreSQL server.
//
// The server must not outlive the test program, even when the program crashes or is killed: a
// watcher process holds the reading end of a pipe whose writing end only the test program holds;
// when the program ends in any way, the pipe closes and the watcher stops the server and removes
// its folder.
#include "pg_test_server.h"

#include "backend.h"
#include "dao.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace dao::testing {
namespace {

std::string binDir() {
    if (const char* env = std::getenv("DORVANE_PG_BIN")) return env;
    for (const char* v : {"17", "16", "15", "14", "13"}) {
        std::string dir = std::string("/usr/lib/postgresql/") + v + "/bin";
        if (fs::exists(dir + "/pg_ctl")) return dir;
    }
    throw std::runtime_error("PostgreSQL server programs (initdb, pg_ctl) are not installed: run "
                             "scripts/bootstrap (package postgresql)");
}

// Runs a program as the server's user and waits; its output goes to `log`.
int run(std::vector<std::string> args, const std::string& log, const passwd* as) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        if (as && (setgid(as->pw_gid) != 0 || setgroups(0, nullptr) != 0 || setuid(as->pw_uid) != 0))
            _exit(126);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string tail(const std::string& log) {
    std::ifstream in(log);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

struct Started {
    PgServer server;
    std::string dir;
};

Started start() {
    std::string bin = binDir();
    const passwd* as = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    if (geteuid() == 0 && !as)
        throw std::runtime_error("running as root and there is no user 'nobody' to run the server");
    char pattern[] = "/tmp/dorvane_pg_XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("could not make a folder for the test server");
    std::string dir = pattern;
    if (as && chown(dir.c_str(), as->pw_uid, as->pw_gid) != 0)
        throw std::runtime_error("could not give the server's folder to 'nobody'");
    Started s{{dir, "dorvane_test", "pw-" + std::to_string(getpid())}, dir};
    std::string pwfile = dir + "/pwfile", log = dir + "/server.log";
    { std::ofstream(pwfile) << s.server.password << "\n"; }
    if (as) {
        chown(pwfile.c_str(), as->pw_uid, as->pw_gid);
        std::ofstream(log).close();
        chown(log.c_str(), as->pw_uid, as->pw_gid);
    }
    // The watcher: stops the server when the test program's end closes the pipe.
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("could not make a pipe");
    if (fork() == 0) {
        close(fds[1]);
        setsid();
        char byte;
        while (read(fds[0], &byte, 1) > 0) {
        }
        run({bin + "/pg_ctl", "-D", dir + "/data", "-m", "immediate", "-w", "stop"}, "/dev/null", as);
        fs::remove_all(dir);
        _exit(0);
    }
    close(fds[0]);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC); // the server's own processes must not keep it open

    if (run({bin + "/initdb", "-D", dir + "/data", "-U", s.server.superuser, "--pwfile=" + pwfile,
             "--auth=scram-sha-256", "-E", "UTF8", "--locale=C", "--no-sync"},
            log, as) != 0)
        throw std::runtime_error("initdb failed:\n" + tail(log));
    std::string options = "-c listen_addresses='' -k " + dir + " -c fsync=off -c max_connections=40";
    if (run({bin + "/pg_ctl", "-D", dir + "/data", "-l", log, "-o", options, "-w", "-t", "60", "start"}, log,
            as) != 0)
        throw std::runtime_error("the test server did not start:\n" + tail(log));
    return s;
}

} // namespace

std::string PgServer::uri(const std::string& database) const {
    std::string host;
    for (char c : socketDir)
        host += c == '/' ? std::string("%2F") : std::string(1, c);
    return "postgresql://" + host + "/" + database;
}

const PgServer& pgServer() {
    static Started started = start();
    return started.server;
}

void freshDatabase(const std::string& name) {
    const auto& s = pgServer();
    auto admin = openPostgres(s.uri("postgres"), s.superuser, s.password, {});
    admin->execute("DROP DATABASE IF EXISTS " + admin->quoteName(name) + " WITH (FORCE)");
    admin->execute("CREATE DATABASE " + admin->quoteName(name));
}

void logInAsSuperuser(const std::string& uri) {
    auto& engine = dao::engine();
    engine.setSystemDB(uri);
    engine.setDefaultUser(pgServer().superuser);
    engine.setDefaultPassword(pgServer().password);
}

} // namespace dao::testing
