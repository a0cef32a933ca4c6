// Several workstations on one shipments database: N processes doing the board's kinds of change
// (edit a cell, Ship +/- split, move a date, cancel) on the same rows at once. Afterwards every
// change a process was told had been saved is there, every change it was told had failed (a
// conflict, 3197/3167, or the lock, 3218) is not, and no split is half done: the quantity of each
// work order adds up to what it was. It runs on a SQLite file (several processes on one machine)
// and on a private PostgreSQL server holding a copy of the same shipments.
//
// Every change appends a token of its own to the row's Comments, read as it was, so a change that
// overwrote another's without seeing it would lose that token and be caught.
//
//   workstation_sim_bench [--processes N] [--count K] [--file-only]   (defaults 4, 200, both targets)
#include "dao/copy_database.h"
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/backend.h"
#include "dao/dao.h"
#include "dao/errors.h"
#include "dao/pg_test_server.h"
#include "runtime/clock.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using runtime::Variant;

namespace {

struct Outcome {
    std::string token;
    long long row;
    bool saved;
    bool split;
};

std::vector<long long> sharedRows(const dao::Database& db, int count) {
    std::vector<long long> ids;
    auto rs =
        db.OpenRecordset("SELECT ShipmentID FROM Shipments WHERE ActShipDate Is Null AND Canceled = No AND "
                         "Quantity >= 64 ORDER BY ShipmentID",
                         dao::dbOpenSnapshot);
    for (; !rs.atEOF() && int(ids.size()) < count; rs.MoveNext())
        ids.push_back(rs["ShipmentID"].toLong());
    return ids;
}

std::map<std::string, double> quantityPerWorkOrder(const dao::Database& db) {
    std::map<std::string, double> sums;
    auto rs = db.OpenRecordset("SELECT WorkOrder, Sum(Quantity) AS Total FROM Shipments GROUP BY WorkOrder",
                               dao::dbOpenSnapshot);
    for (; !rs.atEOF(); rs.MoveNext())
        sums[rs["WorkOrder"].toString()] = rs["Total"].toDouble();
    return sums;
}

std::string appended(const Variant& old, const std::string& token) {
    return (old.isNull() ? std::string() : old.toString()) + " " + token;
}

// One change on one row; true when it was saved, false when refused as a conflict or by the lock.
bool change(const dao::Workspace& ws, const dao::Database& db, long long id, int kind,
            const std::string& token, unsigned thinkMicroseconds) {
    auto rs = db.OpenRecordset("SELECT * FROM Shipments WHERE ShipmentID = " + std::to_string(id));
    // What the clerk sees on the board, and the moment it takes to type the change.
    auto seen = rs["Comments"];
    ::usleep(thinkMicroseconds);
    bool inTransaction = false;
    try {
        if (kind == 1) { // Ship +/-: half of what is open is shipped today, the rest stays open
            ws.BeginTrans();
            inTransaction = true;
            long quantity = rs["Quantity"].toLong();
            long shipped = quantity / 2;
            auto workOrder = rs["WorkOrder"], customer = rs["Customer"], due = rs["ReqShipDate"];
            rs.Edit();
            rs.Fields("Quantity").setValue(Variant(std::int32_t(quantity - shipped)));
            rs.Fields("Comments").setValue(Variant(appended(seen, token)));
            rs.Update();
            rs.AddNew();
            rs.Fields("WorkOrder").setValue(workOrder);
            rs.Fields("Customer").setValue(customer);
            rs.Fields("ReqShipDate").setValue(due);
            rs.Fields("ActShipDate").setValue(Variant(runtime::Today()));
            rs.Fields("Quantity").setValue(Variant(std::int32_t(shipped)));
            rs.Fields("Comments").setValue(Variant(token));
            rs.Update();
            ws.CommitTrans();
            inTransaction = false;
            return true;
        }
        rs.Edit();
        rs.Fields("Comments").setValue(Variant(appended(seen, token)));
        if (kind == 2) rs.Fields("ReqShipDate").setValue(Variant(rs["ReqShipDate"].toDouble() + 1));
        if (kind == 3) rs.Fields("Canceled").setValue(Variant(!rs["Canceled"].toBool()));
        rs.Update();
        return true;
    } catch (const dao::Error& e) {
        if (inTransaction) ws.Rollback();
        if (e.number() == dao::errc::ChangedByOther || e.number() == dao::errc::RecordDeleted ||
            e.number() == dao::errc::Locked)
            return false;
        throw;
    }
}

// Where the workstations work: a database name and the login that reaches it.
struct Target {
    std::string label;
    std::string database;
    std::string user = "Admin";
    std::string password;
};

dao::Workspace login(const Target& t, const std::string& name) {
    dao::engine().reset();
    dao::engine().setSystemDB(dao::isServerName(t.database) ? t.database : "");
    return dao::engine().CreateWorkspace(name, t.user, t.password);
}

int workstation(const Target& target, const std::vector<long long>& rows, int index, int count,
                const std::string& log) {
    auto ws = login(target, "W" + std::to_string(index));
    auto db = ws.OpenDatabase(target.database);
    std::mt19937 random(unsigned(1000 + index));
    std::ofstream out(log);
    for (int n = 0; n < count; ++n) {
        long long id = rows[random() % rows.size()];
        int kind = int(random() % 4);
        std::string token = "w" + std::to_string(index) + "." + std::to_string(n);
        bool saved = change(ws, db, id, kind, token, unsigned(random() % 3000));
        out << token << " " << id << " " << saved << " " << (kind == 1) << "\n";
    }
    return 0;
}

std::string commentsOf(const dao::Database& db, long long id) {
    auto rs = db.OpenRecordset("SELECT Comments FROM Shipments WHERE ShipmentID = " + std::to_string(id),
                               dao::dbOpenSnapshot);
    return rs.atEOF() || rs["Comments"].isNull() ? "" : rs["Comments"].toString();
}

bool hasToken(const std::string& text, const std::string& token) {
    return (" " + text + " ").find(" " + token + " ") != std::string::npos;
}

// Runs the workstations on `target` and checks what they left; true when nothing was lost.
bool simulate(const Target& target, int processes, int count, const fs::path& dir) {
    std::vector<long long> rows;
    std::map<std::string, double> before;
    {
        auto ws = login(target, "Setup");
        auto db = ws.OpenDatabase(target.database);
        rows = sharedRows(db, 6);
        before = quantityPerWorkOrder(db);
        ws.Close();
        dao::engine().reset();
    }
    if (rows.empty()) throw std::runtime_error("no open shipments to share");
    auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    for (int i = 0; i < processes; ++i) {
        std::fflush(nullptr); // what is printed is printed once, not again by each workstation
        pid_t pid = ::fork();
        if (pid == 0) {
            int rc = 3;
            try {
                rc = workstation(target, rows, i, count, (dir / ("log" + std::to_string(i))).string());
            } catch (const std::exception& e) {
                std::cerr << "workstation " << i << ": " << e.what() << "\n";
            }
            std::_Exit(rc);
        }
        children.push_back(pid);
    }
    bool childFailed = false;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        childFailed = childFailed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    auto ws = login(target, "Check");
    auto db = ws.OpenDatabase(target.database);
    long saved = 0, conflicts = 0, lost = 0, ghost = 0, halfSplits = 0;
    for (int i = 0; i < processes; ++i) {
        std::ifstream in(dir / ("log" + std::to_string(i)));
        std::string token;
        long long id;
        int ok, split;
        while (in >> token >> id >> ok >> split) {
            bool present = hasToken(commentsOf(db, id), token);
            (ok ? saved : conflicts)++;
            if (ok && !present) ++lost;
            if (!ok && present) ++ghost;
            if (split) {
                auto rs =
                    db.OpenRecordset("SELECT count(*) AS N FROM Shipments WHERE Comments = \"" + token + "\"",
                                     dao::dbOpenSnapshot);
                long newRows = rs["N"].toLong();
                if (newRows != (ok ? 1 : 0) || present != bool(ok)) ++halfSplits;
            }
        }
    }
    bool sumsKept = quantityPerWorkOrder(db) == before;
    std::printf(
        "%s, %d processes x %d changes on %zu shared rows: %ld saved, %ld conflicts, %.0f changes/s\n",
        target.label.c_str(), processes, count, rows.size(), saved, conflicts, (saved + conflicts) / seconds);
    std::printf(
        "  lost changes %ld, refused changes present %ld, half-done splits %ld, quantities per work order "
        "%s%s\n",
        lost, ghost, halfSplits, sumsKept ? "unchanged" : "CHANGED",
        childFailed ? ", A WORKSTATION FAILED" : "");
    ws.Close();
    dao::engine().reset();
    return !childFailed && lost == 0 && ghost == 0 && halfSplits == 0 && sumsKept &&
           saved + conflicts == long(processes) * count;
}

} // namespace

int main(int argc, char** argv) {
    int processes = 4, count = 200;
    bool fileOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--file-only") fileOnly = true;
        if (i + 1 >= argc) break;
        if (a == "--processes") processes = std::max(1, std::atoi(argv[++i]));
        if (a == "--count") count = std::max(1, std::atoi(argv[++i]));
    }
    fs::path dir = fs::temp_directory_path() / ("workstation_sim_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    bool good = true;
    try {
        std::string file = (dir / "shipments.db").string();
        {
            auto db = shipments::createShipmentsDatabase(file);
            shipments::DemoOptions o;
            o.shipments = 200;
            shipments::fillDemoData(db, o);
            db.Close();
            dao::engine().reset();
        }
        if (fileOnly) {
            good = simulate({"SQLite (one file, several processes)", file}, processes, count, dir);
            fs::remove_all(dir);
            return good ? 0 : 1;
        }
        // The server gets a copy of the same shipments before the file is worked on.
        const auto& server = dao::testing::pgServer();
        dao::testing::freshDatabase("workstations");
        {
            auto source = dao::openSqlite(file, {.readOnly = true});
            auto destination =
                dao::openPostgres(server.uri("workstations"), server.superuser, server.password, {});
            dao::copyDatabase(*source, *destination, true);
        }
        good = simulate({"SQLite (one file, several processes)", file}, processes, count, dir) && good;
        good = simulate({"PostgreSQL", server.uri("workstations"), server.superuser, server.password},
                        processes, count, dir) &&
               good;
    } catch (const std::exception& e) {
        std::cerr << "workstation simulation: " << e.what() << "\n";
        good = false;
    }
    fs::remove_all(dir);
    return good ? 0 : 1;
}
