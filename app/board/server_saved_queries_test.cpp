// The saved queries of a demo database give the same results from its copy on a server: the
// production schedule, which writes into the reports file, in particular.
#include "dao/copy_database.h"
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "dao/pg_test_server.h"
#include "paths/windows_path.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Runs the schedule over all dates and gives its rows as the reports file holds them, each value as
// its field's type reads, then drops the table as the program does.
std::vector<std::string> runSchedule(dao::Database db) {
    auto q = db.QueryDefs("Valcrest Production Schedule");
    q.Parameters("LowDate").setValue(runtime::Date::fromYmd(2000, 1, 1));
    q.Parameters("HighDate").setValue(runtime::Date::fromYmd(2100, 1, 1));
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

TEST(ServerSavedQueries, TheProductionScheduleOfAServerCopyIsTheFilesOwn) {
    fs::path dir = fs::temp_directory_path() / ("server_queries_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::create_directories(paths::driveRoot('c') + "/NETDATA/PRODUCTN");
    auto& engine = dao::engine();
    engine.reset();
    engine.CreateDatabase(shipments::kReportsDatabase).Close();
    std::string file = (dir / "ship.db").string();
    {
        auto db = shipments::createShipmentsDatabase(file);
        shipments::DemoOptions o;
        o.shipments = 600;
        o.today = runtime::Date::fromYmd(2026, 12, 8);
        shipments::fillDemoData(db, o);
        db.Close();
    }
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("demo_copy");
    {
        auto from = dao::openSqlite(file, {});
        auto to = dao::openPostgres(s.uri("demo_copy"), s.superuser, s.password, {});
        dao::copyDatabase(*from, *to, true);
    }

    auto fromFile = runSchedule(engine.OpenDatabase(file));
    ASSERT_GT(fromFile.size(), 12u) << "the demo has Valcrest shipments with purchase orders";

    engine.reset();
    engine.setSystemDB(s.uri("demo_copy"));
    engine.setDefaultUser(s.superuser);
    engine.setDefaultPassword(s.password);
    auto fromServer = runSchedule(engine.OpenDatabase(s.uri("demo_copy")));
    EXPECT_EQ(fromServer, fromFile);

    engine.reset();
    fs::remove_all(dir);
}
