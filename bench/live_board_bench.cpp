// Live updates against a plain Refresh, on a file and on a server at 100k shipments (or the size
// given: live_board_bench 20000). Another process (forked) commits changes to rows on the board's
// day; this one times, from each commit until its open board query holds the new value, the look for
// changes and the reading of the changed row in place. The baseline is a plain Refresh of the same
// board: the query opened again and its first screen read. Idle cost is the processor time of the
// looks that find nothing, as a share of one core at the board's rate of looks. Not a Google
// benchmark: the times cross two processes.
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/backend.h"
#include "dao/change_notices.h"
#include "dao/copy_database.h"
#include "dao/dao.h"
#include "dao/pg_test_server.h"
#include "runtime/clock.h"
#include "runtime/error.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr int kChanges = 20;          // commits timed per engine
constexpr int kScreenRows = 40;       // what a Refresh reads to paint the first screen
constexpr double kLooksPerSecond = 4; // the board looks every 250 ms
const runtime::Date kDay = runtime::Date::fromYmd(2026, 12, 8);

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t); // one clock for both processes
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double cpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

dao::Recordset openBoard(const dao::Database& db) {
    auto q = db.QueryDefs("Select Current Shipments Query");
    q.Parameters("ThatDate").setValue(runtime::Variant(kDay));
    auto rs = q.OpenRecordset(dao::dbOpenDynaset);
    for (long i = 0; i < std::min<long>(kScreenRows, rs.RecordCount()); ++i) {
        rs.setAbsolutePosition(i);
        (void)rs["Quantity"];
    }
    return rs;
}

struct Engine {
    std::string label, name, user, password;
};

std::unique_ptr<dao::Connection> connect(const Engine& e) {
    return e.user.empty() ? dao::openSqlite(e.name, {}) : dao::openPostgres(e.name, e.user, e.password, {});
}

void measure(const Engine& e) {
    auto& engine = dao::engine();
    engine.reset();
    if (!e.user.empty()) {
        engine.setSystemDB(e.name);
        engine.setDefaultUser(e.user);
        engine.setDefaultPassword(e.password);
    }
    dao::Database db = engine.OpenDatabase(e.name);
    dao::ChangeWatch watch(db);
    auto rs = openBoard(db);
    const long position = std::min<long>(10, rs.RecordCount() - 1);
    const std::string key = dao::rowKeyText(rs, position);

    // Baseline: a plain Refresh.
    std::vector<double> refresh;
    for (int i = 0; i < 5; ++i) {
        double t0 = nowMs();
        auto again = openBoard(db);
        refresh.push_back(nowMs() - t0);
    }
    // Idle: looks that find nothing.
    double c0 = cpuMs(), w0 = nowMs();
    constexpr int kLooks = 2000;
    for (int i = 0; i < kLooks; ++i)
        if (!watch.poll().empty()) std::cerr << "unexpected change while idle\n";
    double perLook = (cpuMs() - c0) / kLooks, wallPerLook = (nowMs() - w0) / kLooks;

    int pipeFd[2];
    if (pipe(pipeFd) != 0) throw std::runtime_error("no pipe");
    pid_t child = fork();
    if (child == 0) { // the other workstation
        close(pipeFd[0]);
        try {
            auto other = connect(e);
            for (int i = 1; i <= kChanges; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                other->execute("UPDATE Shipments SET Quantity = " + std::to_string(100000 + i) +
                               " WHERE ShipmentID = " + key);
                double committed = nowMs();
                if (write(pipeFd[1], &committed, sizeof committed) != sizeof committed) _exit(1);
            }
        } catch (const runtime::Error& error) {
            std::fprintf(stderr, "the writing process failed: %s\n", error.description().c_str());
            _exit(2);
        }
        _exit(0); // never the parent's exit handlers (they stop the test server)
    }
    close(pipeFd[1]);
    std::vector<double> appear;
    int reopened = 0, together = 0;
    long shown = 0;     // the latest change the board holds
    double shownAt = 0; // since when
    for (int i = 1; i <= kChanges; ++i) {
        double committed = 0;
        if (read(pipeFd[0], &committed, sizeof committed) != sizeof committed) break;
        // The writer does not wait for this process: when one look takes longer than the time
        // between two commits, the board goes straight to the later value, as a board should. A
        // change counts as shown once the board holds it or a later one.
        if (shown >= i) {
            appear.push_back(shownAt - committed);
            ++together;
            continue;
        }
        for (double start = nowMs(); nowMs() - start < 10000;) { // a change never seen is reported
            auto changes = watch.poll();
            // As the board: rows read in place, or the query opened again when rows may have
            // joined or left (counted: the figures say how often).
            if (!changes.empty() && dao::refreshChangedRows(rs, changes).membership) {
                rs = openBoard(db);
                ++reopened;
            }
            rs.setAbsolutePosition(position);
            if (long value = rs["Quantity"].toLong() - 100000; value >= i) {
                shownAt = nowMs();
                appear.push_back(shownAt - committed);
                shown = value;
                break;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeFd[0]);
    double toAppear = median(appear), full = median(refresh);
    double worst = appear.empty() ? 0 : *std::max_element(appear.begin(), appear.end());
    std::printf("%s, %ld rows on the board\n", e.label.c_str(), rs.RecordCount());
    std::printf(
        "  commit -> board holds it (looking at once): median %.2f ms, worst %.2f ms over %zu changes\n",
        toAppear, worst, appear.size());
    std::printf("  %d of them shown together with a later one (committed while a look was running)\n",
                together);
    std::printf("  board query opened again for %d of them (rows read in place for the rest)\n", reopened);
    std::printf("  with the board's look every %.0f ms: at most %.0f ms (the worst and a whole wait)\n",
                1000 / kLooksPerSecond, worst + 1000 / kLooksPerSecond);
    std::printf("  plain Refresh (open again, first screen): median %.2f ms; live / Refresh = %.3fx\n", full,
                full > 0 ? toAppear / full : 0);
    std::printf("  idle look: %.1f us processor (%.1f us wall); at %.0f looks/s %.4f%% of a core\n",
                perLook * 1e3, wallPerLook * 1e3, kLooksPerSecond, perLook * kLooksPerSecond / 10);
    db.Close();
    engine.reset();
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // lines as they come, also into a file
    int shipments = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
    runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 10, 0, 0));
    fs::path dir = fs::temp_directory_path() / ("live_board_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    int rc = 0;
    try {
        std::string file = (dir / "shipments.db").string();
        {
            auto db = shipments::createShipmentsDatabase(file);
            shipments::DemoOptions o;
            o.shipments = shipments;
            o.today = kDay;
            shipments::fillDemoData(db, o);
            db.Close();
            dao::engine().reset();
        }
        const auto& server = dao::testing::pgServer();
        dao::testing::freshDatabase("live_board");
        {
            auto source = dao::openSqlite(file, {.readOnly = true});
            auto destination =
                dao::openPostgres(server.uri("live_board"), server.superuser, server.password, {});
            dao::copyDatabase(*source, *destination, true);
            destination->execute("ANALYZE");
        }
        std::printf("%d shipments\n", shipments);
        measure({"SQLite file", file, "", ""});
        measure({"PostgreSQL", server.uri("live_board"), server.superuser, server.password});
    } catch (const std::exception& e) {
        std::cerr << "live board bench: " << e.what() << "\n";
        rc = 1;
    }
    fs::remove_all(dir);
    return rc;
}
