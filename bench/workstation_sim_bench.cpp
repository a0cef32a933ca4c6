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
// Each target is also worked by the floor: the same processes, rows, changes and think time written
// straight through libpq or SQLite's C interface (read the row, think, an UPDATE that only writes when
// the row still holds what was read; the split in one transaction), and the layer's changes per second
// are printed as a share of the floor's.
//
//   workstation_sim_bench [--processes N] [--count K] [--file-only]   (defaults 4, 800, both targets)
#include "dao/copy_database.h"
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/backend.h"
#include "dao/dao.h"
#include "dao/errors.h"
#include "dao/pg_test_server.h"
#include "runtime/clock.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <poll.h>
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

// The floor's database: the SQL of one change, with $n placeholders, on either engine.
class PlainDatabase {
public:
    virtual ~PlainDatabase() = default;
    // Rows of texts (nullopt for Null) of a statement with text parameters.
    using Value = std::optional<std::string>;
    virtual std::vector<std::vector<Value>> run(const std::string& sql, const std::vector<Value>& params) = 0;
    virtual long long changed() = 0;
    // Names as the engine spells them ("Shipments", or quoted on the server).
    virtual std::string name(const std::string& n) = 0;
    // The engine's refusal to wait for a lock or a row another has locked (a conflict, not a failure).
    struct Locked {};
};

class PlainServer final : public PlainDatabase {
public:
    explicit PlainServer(const std::string& conninfo, const std::string& user, const std::string& password) {
        const char* keys[] = {"dbname", "user", "password", nullptr};
        const char* values[] = {conninfo.c_str(), user.c_str(), password.c_str(), nullptr};
        conn_ = PQconnectdbParams(keys, values, 1);
        if (PQstatus(conn_) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn_));
        run("SET lock_timeout = 5000", {});
    }
    ~PlainServer() override { PQfinish(conn_); }
    std::vector<std::vector<Value>> run(const std::string& sql, const std::vector<Value>& params) override {
        std::vector<const char*> p;
        for (auto& v : params)
            p.push_back(v ? v->c_str() : nullptr);
        PGresult* r = PQexecParams(conn_, sql.c_str(), int(p.size()), nullptr, p.data(), nullptr, nullptr, 0);
        std::unique_ptr<PGresult, decltype(&PQclear)> result(r, &PQclear);
        auto status = PQresultStatus(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            std::string state = PQresultErrorField(r, PG_DIAG_SQLSTATE) ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : "";
            if (state == "55P03" || state == "40P01" || state == "40001") throw Locked{};
            throw std::runtime_error(sql + ": " + PQerrorMessage(conn_));
        }
        changed_ = std::atoll(PQcmdTuples(r));
        std::vector<std::vector<Value>> rows(size_t(PQntuples(r)));
        for (int i = 0; i < PQntuples(r); ++i)
            for (int c = 0; c < PQnfields(r); ++c)
                rows[size_t(i)].push_back(PQgetisnull(r, i, c) ? Value() : Value(PQgetvalue(r, i, c)));
        return rows;
    }
    long long changed() override { return changed_; }
    std::string name(const std::string& n) override { return "\"" + n + "\""; }

private:
    PGconn* conn_ = nullptr;
    long long changed_ = 0;
};

class PlainFile final : public PlainDatabase {
public:
    explicit PlainFile(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
        sqlite3_busy_timeout(db_, 5000);
    }
    ~PlainFile() override { sqlite3_close_v2(db_); }
    std::vector<std::vector<Value>> run(const std::string& sql, const std::vector<Value>& params) override {
        // $n is a name to SQLite (numbered in order of appearance); ?n is the n-th parameter.
        std::string text = sql;
        for (size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == '$' && std::isdigit(static_cast<unsigned char>(text[i + 1]))) text[i] = '?';
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
        std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> owned(stmt, &sqlite3_finalize);
        for (size_t i = 0; i < params.size(); ++i)
            if (params[i])
                sqlite3_bind_text(stmt, int(i + 1), params[i]->c_str(), -1, SQLITE_TRANSIENT);
        std::vector<std::vector<Value>> rows;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            rows.emplace_back();
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                rows.back().push_back(t ? Value(t) : Value());
            }
        }
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) throw Locked{};
        if (rc != SQLITE_DONE) throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
        return rows;
    }
    long long changed() override { return sqlite3_changes64(db_); }
    std::string name(const std::string& n) override { return n; }

private:
    sqlite3* db_ = nullptr;
};

// The floor's change: what `change` does, in the fewest statements that keep it safe.
bool plainChange(PlainDatabase& db, long long id, int kind, const std::string& token, unsigned thinkMicroseconds,
                 bool server) {
    auto n = [&](const char* s) { return db.name(s); };
    const std::string key = std::to_string(id);
    auto rows = db.run("SELECT " + n("Comments") + ", " + n("Quantity") + ", " + n("WorkOrder") + ", " +
                           n("Customer") + ", " + n("ReqShipDate") + ", " + n("Canceled") + " FROM " +
                           n("Shipments") + " WHERE " + n("ShipmentID") + " = $1",
                       {key});
    if (rows.empty()) return false;
    auto seen = rows[0][0];
    ::usleep(thinkMicroseconds);
    std::string comments = (seen ? *seen : std::string()) + " " + token;
    // Written only where the row still holds the text that was read (letter case counts).
    std::string unchanged = server ? n("Comments") + "::text IS NOT DISTINCT FROM $3::text"
                                   : n("Comments") + " IS $3 COLLATE BINARY";
    std::string where = " WHERE " + n("ShipmentID") + " = $2 AND " + unchanged;
    bool inTransaction = false;
    try {
        if (kind == 1) {
            db.run(server ? "BEGIN" : "BEGIN IMMEDIATE", {});
            inTransaction = true;
            long quantity = std::atol(rows[0][1].value_or("0").c_str());
            long shipped = quantity / 2;
            db.run("UPDATE " + n("Shipments") + " SET " + n("Comments") + " = $1, " + n("Quantity") + " = $4" +
                       where,
                   {comments, key, seen, std::to_string(quantity - shipped)});
            if (db.changed() != 1) {
                db.run("ROLLBACK", {});
                return false;
            }
            std::string today = runtime::Today().iso();
            db.run("INSERT INTO " + n("Shipments") + " (" + n("WorkOrder") + ", " + n("Customer") + ", " +
                       n("ReqShipDate") + ", " + n("ActShipDate") + ", " + n("Quantity") + ", " + n("Comments") +
                       ") VALUES ($1, $2, $3, $4, $5, $6)",
                   {rows[0][2], rows[0][3], rows[0][4], today, std::to_string(shipped), token});
            db.run("COMMIT", {});
            return true;
        }
        std::string set = n("Comments") + " = $1";
        if (kind == 2)
            set += ", " + n("ReqShipDate") + " = " +
                   (server ? n("ReqShipDate") + " + interval '1 day'" : "date(" + n("ReqShipDate") + ", '+1 day')");
        if (kind == 3)
            set += ", " + n("Canceled") + " = -1 - " + n("Canceled"); // Yes (-1) and No (0) swap
        db.run("UPDATE " + n("Shipments") + " SET " + set + where, {comments, key, seen});
        return db.changed() == 1;
    } catch (const PlainDatabase::Locked&) {
        if (inTransaction) db.run("ROLLBACK", {});
        return false;
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

// The clock runs while the workstations change rows, not while they log in: each says it is ready
// on `ready` once logged in, and starts when `go` closes, so the slowest login does not count as
// time spent on changes (start-up is startup_bench's measure).
struct StartLine {
    int ready[2] = {-1, -1};
    int go[2] = {-1, -1};
    StartLine() {
        if (::pipe(ready) != 0 || ::pipe(go) != 0) throw std::runtime_error("no pipe for the start line");
    }
    void closeAll() {
        for (int fd : {ready[0], ready[1], go[0], go[1]})
            if (fd >= 0) ::close(fd);
    }
    mutable bool reached = false; // in a workstation: it has been at the line
    // In a workstation, once logged in (or once it failed to).
    void waitAtLine() const {
        reached = true;
        char byte = 1;
        if (::write(ready[1], &byte, 1) != 1) throw std::runtime_error("the start line is gone");
        while (::read(go[0], &byte, 1) > 0) {
        }
    }
    // In the parent: waits for `n` workstations (a minute at most: one may have died), then starts
    // them all.
    void start(int n) {
        char byte;
        pollfd p{ready[0], POLLIN, 0};
        for (int i = 0; i < n && ::poll(&p, 1, 60000) == 1 && ::read(ready[0], &byte, 1) == 1; ++i) {
        }
        ::close(go[1]);
        go[1] = -1;
    }
};

int workstation(const Target& target, const std::vector<long long>& rows, int index, int count,
                const std::string& log, bool plain, const StartLine& line) {
    std::mt19937 random(unsigned(1000 + index));
    std::ofstream out(log);
    std::unique_ptr<PlainDatabase> floor;
    dao::Workspace ws;
    dao::Database db;
    bool server = dao::isServerName(target.database);
    if (plain && server)
        floor = std::make_unique<PlainServer>(target.database, target.user, target.password);
    else if (plain)
        floor = std::make_unique<PlainFile>(target.database);
    else {
        ws = login(target, "W" + std::to_string(index));
        db = ws.OpenDatabase(target.database);
    }
    line.waitAtLine();
    for (int n = 0; n < count; ++n) {
        long long id = rows[random() % rows.size()];
        int kind = int(random() % 4);
        std::string token = (plain ? "p" : "w") + std::to_string(index) + "." + std::to_string(n);
        unsigned think = unsigned(random() % 3000);
        bool saved = plain ? plainChange(*floor, id, kind, token, think, server)
                           : change(ws, db, id, kind, token, think);
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

// Runs the workstations on `target` (through the layer, or the floor's plain calls) and checks what
// they left; true when nothing was lost. `rate` is the changes per second.
bool simulate(const Target& target, int processes, int count, const fs::path& dir, bool plain, double& rate) {
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
    StartLine line;
    std::vector<pid_t> children;
    for (int i = 0; i < processes; ++i) {
        std::fflush(nullptr); // what is printed is printed once, not again by each workstation
        pid_t pid = ::fork();
        if (pid == 0) {
            int rc = 3;
            ::close(line.go[1]); // else the workstation would wait for itself to close it
            try {
                rc = workstation(target, rows, i, count, (dir / ("log" + std::to_string(i))).string(), plain,
                                 line);
            } catch (const std::exception& e) {
                std::cerr << "workstation " << i << ": " << e.what() << "\n";
                if (!line.reached) line.waitAtLine(); // the others must not wait for it
            }
            std::_Exit(rc);
        }
        children.push_back(pid);
    }
    line.start(processes);
    auto start = std::chrono::steady_clock::now();
    bool childFailed = false;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        childFailed = childFailed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    line.closeAll();

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
    rate = (saved + conflicts) / seconds;
    std::printf(
        "%s%s, %d processes x %d changes on %zu shared rows: %ld saved, %ld conflicts, %.0f changes/s\n",
        target.label.c_str(), plain ? " floor (plain calls)" : "", processes, count, rows.size(), saved,
        conflicts, rate);
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
    int processes = 4, count = 800; // fewer changes make a ratio that wanders by 30%
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
        // The layer and its floor on one target, one after the other on the same rows.
        auto both = [&](const Target& target) {
            double ours = 0, floor = 0;
            bool kept = simulate(target, processes, count, dir, false, ours);
            kept = simulate(target, processes, count, dir, true, floor) && kept;
            std::printf("%s, %d processes: the layer's changes/s are %.0f%% of the floor's\n", target.label.c_str(),
                        processes, floor > 0 ? 100 * ours / floor : 0.0);
            return kept;
        };
        if (fileOnly) {
            good = both({"SQLite (one file, several processes)", file});
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
        good = both({"SQLite (one file, several processes)", file}) && good;
        good = both({"PostgreSQL", server.uri("workstations"), server.superuser, server.password}) && good;
    } catch (const std::exception& e) {
        std::cerr << "workstation simulation: " << e.what() << "\n";
        good = false;
    }
    fs::remove_all(dir);
    return good ? 0 : 1;
}
