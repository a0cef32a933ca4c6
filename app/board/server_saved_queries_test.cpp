// The same demo database on a file and copied to a server gives the same answers: every saved
// query, the production schedule (which writes into the reports file) in particular, and a corpus
// of dialect statements with generated expressions, value by value and, where an ORDER BY decides
// it, row by row.
#include "dao/copy_database.h"
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "dao/jet_sql.h"
#include "dao/pg_test_server.h"
#include "paths/windows_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>

namespace fs = std::filesystem;
using runtime::Date;
using runtime::Variant;

namespace {

// A value as both engines must give it: numbers by value whatever their width, dates by day and
// time; a date must come back as a date from both, not as the text a file keeps it as.
std::string comparable(const Variant& v) {
    switch (v.type()) {
    case runtime::VarType::Null:
    case runtime::VarType::Empty:
        return "<null>";
    case runtime::VarType::Date:
        return "date " + v.toDate().iso();
    case runtime::VarType::String:
        return "text " + v.toString();
    case runtime::VarType::Bytes:
        return "bytes";
    default: {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "number %.9g", v.toDouble());
        return buffer;
    }
    }
}

// What a statement gave: its error number, or its field names and rows.
struct Answer {
    long error = 0;
    std::vector<std::string> rows;
    bool operator==(const Answer&) const = default;
};

void PrintTo(const Answer& a, std::ostream* out) {
    *out << "error " << a.error << ", " << a.rows.size() << " rows:";
    for (size_t i = 0; i < a.rows.size() && i < 8; ++i)
        *out << "\n  " << a.rows[i];
}

Answer rowsOf(dao::Recordset rs, bool ordered) {
    Answer a;
    std::string names;
    for (int i = 0; i < rs.FieldCount(); ++i)
        names += rs.Fields(i).Name() + "|";
    for (; !rs.atEOF(); rs.MoveNext()) {
        std::string row;
        for (int i = 0; i < rs.FieldCount(); ++i)
            row += comparable(rs.Fields(i).Value()) + "|";
        a.rows.push_back(row);
    }
    if (!ordered) std::sort(a.rows.begin(), a.rows.end());
    a.rows.insert(a.rows.begin(), names);
    return a;
}

Answer answerOf(const std::function<Answer()>& run) {
    try {
        return run();
    } catch (const dao::Error& e) {
        Answer a;
        a.error = e.number();
        return a;
    }
}

bool hasOrder(const std::string& sql) {
    std::string u = sql;
    for (char& c : u)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return u.find("ORDER BY") != std::string::npos;
}

// The shipments the corpus reads, in one fixed order.
Answer shipments(const dao::Database& db) {
    return rowsOf(db.OpenRecordset("SELECT * FROM Shipments ORDER BY ShipmentID", dao::dbOpenSnapshot), true);
}

// A saved query run with a value for each parameter: a select query read, an action query run in a
// transaction that is rolled back after the changed table is read.
Answer runSaved(const dao::Database& db, const std::string& name, const std::string& job) {
    auto q = db.QueryDefs(name);
    for (int i = 0; i < q.ParameterCount(); ++i) {
        auto p = q.Parameters(i);
        std::string n = p.Name();
        if (p.Type() == dao::dbDate)
            p.setValue(n.find("Hi") != std::string::npos ? Date::fromYmd(2027, 1, 31)
                       : n.find("Lo") != std::string::npos ? Date::fromYmd(2026, 11, 1)
                                                           : Date::fromYmd(2026, 12, 8));
        else if (p.Type() == dao::dbText)
            p.setValue(job);
        else
            p.setValue(5);
    }
    auto kind = dao::jet::parse(q.SQL()).kind;
    if (kind != dao::jet::StatementKind::Action) return rowsOf(q.OpenRecordset(), hasOrder(q.SQL()));
    auto ws = dao::engine().Workspaces0();
    ws.BeginTrans();
    Answer a;
    try {
        long long n = q.Execute();
        a = shipments(db);
        a.rows.push_back("changed " + std::to_string(n));
    } catch (...) {
        ws.Rollback();
        throw;
    }
    ws.Rollback();
    return a;
}

// Expressions made at random from the shipments' fields, literals and the dialect's operators and
// functions: the same seed makes the same corpus on every run.
class Expressions {
public:
    explicit Expressions(unsigned seed) : random_(seed) {}

    std::string number(int depth) {
        static const char* leaves[] = {"Quantity", "ShipmentID", "Late", "OKToShip", "LateReasonID", "3",
                                       "-2",       "0.5",        "Null", "Len(Customer)", "Day(ReqShipDate)"};
        static const char* ops[] = {"+", "-", "*", "/", "\\", "Mod"};
        if (depth == 0 || pick(3) == 0) return leaves[pick(std::size(leaves))];
        switch (pick(6)) {
        case 0:
            return "IIf(" + condition(depth - 1) + ", " + number(depth - 1) + ", " + number(depth - 1) + ")";
        case 1:
            return "Nz(" + number(depth - 1) + ", " + number(depth - 1) + ")";
        case 2:
            return "-(" + number(depth - 1) + ")";
        case 3:
            return "(" + condition(depth - 1) + ")";
        default:
            return "(" + number(depth - 1) + " " + ops[pick(std::size(ops))] + " " + number(depth - 1) + ")";
        }
    }

    std::string text(int depth) {
        static const char* leaves[] = {"Customer", "JobNum", "Comments", "\"a'b\"", "\"\"", "Null", "CustomerPO"};
        if (depth == 0 || pick(3) == 0) return leaves[pick(std::size(leaves))];
        switch (pick(4)) {
        case 0:
            return text(depth - 1) + " & " + text(depth - 1);
        case 1:
            return "Left(" + text(depth - 1) + ", 3)";
        case 2:
            return "UCase(" + text(depth - 1) + ")";
        default:
            return "Mid(" + text(depth - 1) + ", 2)";
        }
    }

    std::string date(int depth) {
        static const char* leaves[] = {"ReqShipDate", "ActShipDate", "#12/1/2026#", "DateSerial(2026, 12, 31)"};
        if (depth == 0 || pick(2) == 0) return leaves[pick(std::size(leaves))];
        switch (pick(3)) {
        case 0:
            return "DateAdd(\"d\", " + std::to_string(pick(40)) + ", " + date(depth - 1) + ")";
        case 1:
            return "(" + date(depth - 1) + " + " + std::to_string(pick(9)) + ")";
        default:
            return "IIf(" + condition(depth - 1) + ", " + date(depth - 1) + ", " + date(depth - 1) + ")";
        }
    }

    std::string condition(int depth) {
        static const char* cmp[] = {"=", "<>", "<", ">", "<=", ">="};
        switch (pick(depth == 0 ? 3 : 7)) {
        case 0:
            return number(depth) + " " + cmp[pick(std::size(cmp))] + " " + number(depth);
        case 1:
            return text(depth) + " Like \"" + std::string(pick(2) ? "*" : "") + "a*\"";
        case 2:
            return date(depth) + " " + cmp[pick(std::size(cmp))] + " #12/8/2026#";
        case 3:
            return "Not " + condition(depth - 1);
        case 4:
            return condition(depth - 1) + " And " + condition(depth - 1);
        case 5:
            return condition(depth - 1) + " Or " + condition(depth - 1);
        default:
            return text(depth) + " Is Null";
        }
    }

private:
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    std::mt19937 random_;
};

// Hand-written statements of the dialect, each ordered by something that decides every row.
std::vector<std::string> corpus() {
    std::vector<std::string> out = {
        "SELECT ShipmentID, IIf(Late, \"late\", \"on time\") AS V FROM Shipments ORDER BY ShipmentID",
        "SELECT ShipmentID, Not OKToShip AS V, Quantity > 100 AS W, Late = Yes AS X FROM Shipments "
        "ORDER BY ShipmentID",
        "SELECT ShipmentID, ReqShipDate + 1 AS V, ReqShipDate - #2026-01-01# AS W, ReqShipDate - 1 AS X "
        "FROM Shipments ORDER BY ShipmentID",
        "SELECT ShipmentID, DateAdd(\"m\", 1, ReqShipDate) AS V, DateSerial(2026, 12, 31) AS W FROM Shipments "
        "ORDER BY ShipmentID",
        "SELECT ShipmentID, ReqShipDate - ActShipDate AS V, IIf(Late, ReqShipDate, #2026-01-01#) AS W, "
        "Customer + \"/\" + JobNum AS X, #2026-02-03# AS Y FROM Shipments ORDER BY ShipmentID",
        "SELECT ShipmentID, ReqShipDate FROM Shipments ORDER BY ReqShipDate, ShipmentID",
        "SELECT ShipmentID, ReqShipDate FROM Shipments ORDER BY ReqShipDate DESC, ShipmentID DESC",
        "SELECT ShipmentID, ActShipDate FROM Shipments ORDER BY ActShipDate DESC, ShipmentID",
        "SELECT Customer, Count(*) AS N, Sum(Quantity) AS Q, Min(ReqShipDate) AS First FROM Shipments "
        "GROUP BY Customer ORDER BY Customer",
        "SELECT ShipmentID, Quantity \\ 7 AS A, Quantity / 7 AS B, Quantity Mod 7 AS C, Quantity / 0 AS D "
        "FROM Shipments ORDER BY ShipmentID",
        "SELECT ShipmentID, Customer & \"-\" & Comments AS V, Len(Comments) AS W FROM Shipments "
        "ORDER BY ShipmentID",
        "SELECT ShipmentID FROM Shipments WHERE Customer Like \"[A-M]*\" AND JobNum Like \"*#*\" "
        "ORDER BY ShipmentID",
        "SELECT ShipmentID FROM Shipments WHERE ReqShipDate Between #11/1/2026# And #12/31/2026# "
        "AND Customer In (\"Valcrest\", \"Acme\") ORDER BY ShipmentID",
        "SELECT TOP 5 ShipmentID, Quantity FROM Shipments ORDER BY Quantity DESC, ShipmentID",
        "SELECT ShipmentID, Format(ReqShipDate, \"yyyy-mm-dd\") AS V, Year(ReqShipDate) AS W "
        "FROM Shipments ORDER BY ShipmentID",
        "SELECT ShipmentID, InStr(Customer, \"a\") AS V, Right(Customer, 2) AS W, CLng(Quantity / 3) AS X "
        "FROM Shipments ORDER BY ShipmentID",
        "SELECT Shipments.ShipmentID, [Job Lookup Table].[Job Description] FROM Shipments LEFT JOIN "
        "[Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number] ORDER BY Shipments.ShipmentID",
    };
    Expressions make(20261208);
    for (int i = 0; i < 200; ++i) {
        out.push_back("SELECT ShipmentID, " + make.number(3) + " AS N, " + make.text(2) + " AS T, " + make.date(2) +
                      " AS D FROM Shipments WHERE " + make.condition(2) + " ORDER BY ShipmentID");
    }
    return out;
}

class BothEngines : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("server_queries_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::create_directories(paths::driveRoot('c') + "/NETDATA/PRODUCTN");
        auto& engine = dao::engine();
        engine.reset();
        engine.CreateDatabase(shipments::kReportsDatabase).Close();
        file_ = (dir_ / "ship.db").string();
        {
            auto db = shipments::createShipmentsDatabase(file_);
            shipments::DemoOptions o;
            o.shipments = 600;
            o.today = Date::fromYmd(2026, 12, 8);
            shipments::fillDemoData(db, o);
            db.Close();
        }
        const auto& s = dao::testing::pgServer();
        dao::testing::freshDatabase("demo_copy");
        auto from = dao::openSqlite(file_, {});
        auto to = dao::openPostgres(s.uri("demo_copy"), s.superuser, s.password, {});
        dao::copyDatabase(*from, *to, true);
    }
    static void TearDownTestSuite() {
        dao::engine().reset();
        fs::remove_all(dir_);
    }

    // The file's database, opened as the program opens it.
    static dao::Database onFile() {
        dao::engine().reset();
        return dao::engine().OpenDatabase(file_);
    }
    static dao::Database onServer() {
        const auto& s = dao::testing::pgServer();
        auto& engine = dao::engine();
        engine.reset();
        engine.setSystemDB(s.uri("demo_copy"));
        engine.setDefaultUser(s.superuser);
        engine.setDefaultPassword(s.password);
        return engine.OpenDatabase(s.uri("demo_copy"));
    }

    static fs::path dir_;
    static std::string file_;
};

fs::path BothEngines::dir_;
std::string BothEngines::file_;

// Runs the schedule over all dates and gives its rows as the reports file holds them, each value as
// its field's type reads, then drops the table as the program does.
std::vector<std::string> runSchedule(dao::Database db) {
    auto q = db.QueryDefs("Valcrest Production Schedule");
    q.Parameters("LowDate").setValue(Date::fromYmd(2000, 1, 1));
    q.Parameters("HighDate").setValue(Date::fromYmd(2100, 1, 1));
    long long count = q.Execute();
    db.Close();

    auto reports = dao::engine().OpenDatabase(shipments::kReportsDatabase);
    auto rs = reports.OpenRecordset("SELECT * FROM Report ORDER BY PONumber, WorkOrder", dao::dbOpenSnapshot);
    std::vector<std::string> rows;
    for (int i = 0; i < rs.FieldCount(); ++i)
        rows.push_back(rs.Fields(i).Name() + " " + std::to_string(int(rs.Fields(i).Type())));
    for (; !rs.atEOF(); rs.MoveNext()) {
        std::string row;
        for (int i = 0; i < rs.FieldCount(); ++i) {
            auto v = rs.Fields(i).Value();
            row += (v.isNull() ? std::string("<null>") : v.toString()) + "|";
        }
        rows.push_back(row);
    }
    EXPECT_EQ(count, rs.RecordCount());
    rs.Close();
    reports.DeleteTableDef("Report");
    reports.Close();
    return rows;
}

} // namespace

TEST_F(BothEngines, TheProductionScheduleOfAServerCopyIsTheFilesOwn) {
    auto fromFile = runSchedule(onFile());
    ASSERT_GT(fromFile.size(), 12u) << "the demo has Valcrest shipments with purchase orders";
    EXPECT_EQ(runSchedule(onServer()), fromFile);
}

TEST_F(BothEngines, EverySavedQueryAndTheDialectCorpusGiveTheSameAnswers) {
    std::vector<std::string> names;
    for (auto& q : shipments::savedQueries())
        if (dao::jet::parse(q.sql).kind != dao::jet::StatementKind::MakeTable) names.push_back(q.name);
    auto statements = corpus();
    auto runAll = [&](const dao::Database& db) {
        std::string job = db.OpenRecordset("SELECT JobNum FROM Shipments ORDER BY ShipmentID")["JobNum"].toString();
        std::vector<Answer> answers;
        for (auto& n : names)
            answers.push_back(answerOf([&] { return runSaved(db, n, job); }));
        for (auto& sql : statements)
            answers.push_back(answerOf([&] { return rowsOf(db.OpenRecordset(sql, dao::dbOpenSnapshot), hasOrder(sql)); }));
        return answers;
    };
    auto fromFile = runAll(onFile());
    auto fromServer = runAll(onServer());
    ASSERT_EQ(fromFile.size(), fromServer.size());
    size_t same = 0, answered = 0;
    for (size_t i = 0; i < fromFile.size(); ++i) {
        std::string what = i < names.size() ? "saved query " + names[i] : statements[i - names.size()];
        EXPECT_EQ(fromServer[i], fromFile[i]) << what;
        same += fromServer[i] == fromFile[i];
        answered += fromFile[i].error == 0;
    }
    // The corpus reads rows, not only errors, on both.
    EXPECT_GT(answered, fromFile.size() * 3 / 4);
    std::printf("%zu of %zu result sets identical on a file and a server\n", same, fromFile.size());
}
