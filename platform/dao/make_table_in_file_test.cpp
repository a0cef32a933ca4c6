// SELECT ... INTO table IN 'file': on a server database the server's rows land in a table of the
// file, typed by their fields, all or nothing.
#include "dao/backend.h"
#include "dao/dao.h"
#include "dao/errors.h"
#include "dao/pg_test_server.h"

#include "runtime/error_number_for_tests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <unistd.h>

using runtime::testing::errorOf;
namespace fs = std::filesystem;
using runtime::Date;
using runtime::Variant;

namespace {

class ServerMakeTable : public ::testing::Test {
protected:
    void SetUp() override {
        const auto& s = dao::testing::pgServer();
        dao::testing::freshDatabase("make_table");
        uri_ = s.uri("make_table");
        {
            auto admin = dao::openPostgres(uri_, s.superuser, s.password, {});
            admin->execute("CREATE EXTENSION IF NOT EXISTS citext"); // what the server's texts are
            admin->execute(
                "CREATE TABLE \"Ships\" (\"ID\" serial PRIMARY KEY, \"Job\" text, \"Qty\" integer, "
                "\"Due\" timestamp, \"Late\" boolean, \"Weight\" double precision)");
            admin->execute("INSERT INTO \"Ships\" (\"Job\", \"Qty\", \"Due\", \"Late\", \"Weight\") VALUES "
                           "('J1', 10, '2026-12-01', NULL, 2.5), ('J2', 20, NULL, false, NULL), "
                           "('J''3', 30, '2026-12-03 14:30', true, 0.1)");
        }
        dir_ = fs::temp_directory_path() / ("server_make_table_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        reports_ = (dir_ / "reports.db").string();
        auto& engine = dao::engine();
        engine.reset();
        engine.setLockTimeoutMs(200);
        engine.CreateDatabase(reports_).Close();
        dao::testing::logInAsSuperuser(uri_); // the server's roles decide the login
        db_ = engine.OpenDatabase(uri_);
    }
    void TearDown() override {
        db_.Close();
        dao::engine().reset();
        fs::remove_all(dir_);
    }
    std::vector<std::string> tablesOfFile() {
        std::vector<std::string> names;
        for (auto& t : dao::openSqlite(reports_, {})->tableNames())
            if (t.rfind("MSys", 0) != 0) names.push_back(t);
        return names;
    }

    std::string uri_;
    fs::path dir_;
    std::string reports_;
    dao::Database db_;
};

} // namespace

TEST_F(ServerMakeTable, TheRowsLandInATableOfTheFile) {
    auto q = db_.CreateQueryDef("", "PARAMETERS MinQty Long; SELECT Job, Due, Late, Weight, Qty * 2 AS Twice "
                                    "INTO Report IN '" +
                                        reports_ + "' FROM Ships WHERE Qty >= [MinQty] ORDER BY Job");
    q.Parameters("MinQty").setValue(Variant(15));
    EXPECT_EQ(q.Execute(), 2);
    EXPECT_EQ(db_.RecordsAffected(), 2);

    auto reports = dao::engine().OpenDatabase(reports_);
    auto rs = reports.OpenRecordset("SELECT * FROM Report ORDER BY Job", dao::dbOpenSnapshot);
    ASSERT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.Fields("Job").Type(), dao::dbText);
    EXPECT_EQ(rs.Fields("Due").Type(), dao::dbDate);
    EXPECT_EQ(rs.Fields("Late").Type(), dao::dbBoolean);
    EXPECT_EQ(rs.Fields("Weight").Type(), dao::dbDouble);
    EXPECT_EQ(rs["Job"], Variant(std::string("J'3")));
    EXPECT_EQ(rs["Due"], Variant(Date::fromYmdHms(2026, 12, 3, 14, 30, 0)));
    EXPECT_EQ(rs["Late"], Variant(true));
    EXPECT_EQ(rs["Weight"].toDouble(), 0.1);
    EXPECT_EQ(rs["Twice"].toDouble(), 60);
    rs.MoveNext();
    EXPECT_TRUE(rs["Due"].isNull());
    EXPECT_EQ(rs["Late"], Variant(false));
    reports.Close();

    // A table of that name is not replaced.
    EXPECT_EQ(errorOf([&] { db_.Execute("SELECT Job INTO Report IN '" + reports_ + "' FROM Ships"); }),
              dao::errc::TableExists);
    auto again = dao::engine().OpenDatabase(reports_).OpenRecordset("Report", dao::dbOpenSnapshot);
    EXPECT_EQ(again.RecordCount(), 2);

    // Into the server database itself.
    EXPECT_EQ(db_.Execute("SELECT Job, Due INTO Copied FROM Ships WHERE Qty > 15"), 2);
    auto copied = db_.OpenRecordset("SELECT * FROM Copied ORDER BY Job", dao::dbOpenSnapshot);
    EXPECT_EQ(copied.RecordCount(), 2);
    EXPECT_EQ(copied.Fields("Due").Type(), dao::dbDate);
    EXPECT_EQ(errorOf([&] { db_.Execute("SELECT Job INTO copied FROM Ships"); }), dao::errc::TableExists);

    EXPECT_EQ(errorOf([&] {
                  db_.Execute("SELECT Job INTO Other IN '" + (dir_ / "missing.db").string() + "' FROM Ships");
              }),
              dao::errc::FileNotFound);
}

// The third row cannot be stored (a Yes/No field of the file holds no Null), after the table was made
// and two rows written: nothing stays.
TEST_F(ServerMakeTable, AFailureHalfWayLeavesNoTable) {
    EXPECT_EQ(errorOf([&] {
                  db_.Execute("SELECT Job, Late INTO Report IN '" + reports_ +
                              "' FROM Ships ORDER BY Qty DESC");
              }),
              dao::errc::RequiredValue);
    EXPECT_TRUE(tablesOfFile().empty());
    EXPECT_EQ(db_.Execute("SELECT Job INTO Report IN '" + reports_ + "' FROM Ships"), 3);
    EXPECT_EQ(tablesOfFile(), std::vector<std::string>{"Report"});
}
// The file engine refuses a table that is there in the same way, in another file or its own.
TEST(MakeTable, AnExistingTableIsRefusedOnTheFileEngineToo) {
    fs::path dir = fs::temp_directory_path() / ("make_table_file_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto& engine = dao::engine();
    engine.reset();
    std::string reports = (dir / "reports.db").string();
    engine.CreateDatabase(reports).Close();
    auto db = engine.CreateDatabase((dir / "ship.db").string());
    db.Execute("CREATE TABLE Ships (Job TEXT, Qty LONG)");
    db.Execute("INSERT INTO Ships VALUES ('J1', 10)");
    EXPECT_EQ(db.Execute("SELECT Job INTO Report IN '" + reports + "' FROM Ships"), 1);
    EXPECT_EQ(errorOf([&] { db.Execute("SELECT Qty INTO report IN '" + reports + "' FROM Ships"); }),
              dao::errc::TableExists);
    EXPECT_EQ(errorOf([&] { db.Execute("SELECT Job INTO Ships FROM Ships"); }), dao::errc::TableExists);
    EXPECT_EQ(db.Execute("SELECT Job INTO Copied FROM Ships"), 1);
    db.Close();
    engine.reset();
    fs::remove_all(dir);
}
