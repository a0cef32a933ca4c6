// Several workstations on one shipments database: N processes doing the board's kinds of change
// (edit a cell, Ship +/- split, move a date, cancel) on the same rows at once. Afterwards every
// change a process was told had been saved is there, every change it was told had failed (a
// conflict, 3197/3167, or the lock, 3218) is not, and no split is half done: the quantity of each
// work order adds up to what it was.
//
// Every change appends a token of its own to the row's Comments, read as it was, so a change that
// overwrote another's without seeing it would lose that token and be caught.
//
//   workstation_sim_bench [--processes N] [--count K]   (defaults 4 and 200)
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "dao/errors.h"
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

int workstation(const std::string& database, const std::vector<long long>& rows, int index, int count,
                const std::string& log) {
    dao::engine().reset();
    auto ws = dao::engine().CreateWorkspace("W" + std::to_string(index), "Admin", "");
    auto db = ws.OpenDatabase(database);
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

} // namespace

int main(int argc, char** argv) {
    int processes = 4, count = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--processes") processes = std::max(1, std::atoi(argv[i + 1]));
        if (a == "--count") count = std::max(1, std::atoi(argv[i + 1]));
    }
    fs::path dir = fs::temp_directory_path() / ("workstation_sim_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string database = (dir / "shipments.db").string();
    std::vector<long long> rows;
    std::map<std::string, double> before;
    {
        auto db = shipments::createShipmentsDatabase(database);
        shipments::DemoOptions o;
        o.shipments = 200;
        shipments::fillDemoData(db, o);
        rows = sharedRows(db, 6);
        before = quantityPerWorkOrder(db);
        db.Close();
        dao::engine().reset();
    }
    if (rows.empty()) {
        std::cerr << "no open shipments to share\n";
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    for (int i = 0; i < processes; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
            int rc = 3;
            try {
                rc = workstation(database, rows, i, count, (dir / ("log" + std::to_string(i))).string());
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

    auto ws = dao::engine().CreateWorkspace("Check", "Admin", "");
    auto db = ws.OpenDatabase(database);
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
        "SQLite, %d processes x %d changes on %zu shared rows: %ld saved, %ld conflicts, %.0f changes/s\n",
        processes, count, rows.size(), saved, conflicts, (saved + conflicts) / seconds);
    std::printf(
        "lost changes %ld, refused changes present %ld, half-done splits %ld, quantities per work order "
        "%s\n",
        lost, ghost, halfSplits, sumsKept ? "unchanged" : "CHANGED");
    std::printf("PostgreSQL: not run (record sets over a server database are not finished)\n");
    db.Close();
    ws.Close();
    dao::engine().reset();
    fs::remove_all(dir);
    bool good = !childFailed && lost == 0 && ghost == 0 && halfSplits == 0 && sumsKept &&
                saved + conflicts == long(processes) * count;
    return good ? 0 : 1;
}
