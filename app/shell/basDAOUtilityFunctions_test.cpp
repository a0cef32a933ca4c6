#include "basDAOUtilityFunctions.h"
#include "basUtilityFunctions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class ShellUtilities : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("shellutil_test_" + std::to_string(::getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_);
        ::setenv("XDG_DATA_HOME", home_.c_str(), 1);
        dao::engine().reset();
        drive_ = home_ / "dorvane/drives/c";
    }
    void TearDown() override {
        dao::engine().reset();
        fs::remove_all(home_);
    }
    fs::path home_, drive_;
};

TEST_F(ShellUtilities, MakeDirectoryPathCreatesOnlyTheFoldersAboveAFile) {
    EXPECT_EQ(MakeDirectoryPath("C:\\REPORTS.MDB"), 0);
    EXPECT_TRUE(!fs::exists(drive_) ||
                fs::is_empty(drive_)); // directly under the drive root: nothing to create
    MakeDirectoryPath("\\\\server\\share\\x\\y.mdb");
    EXPECT_FALSE(fs::exists(home_ / "dorvane/unc"));
    MakeDirectoryPath("C:\\NETDATA\\PRODUCTN\\REPORTS.MDB");
    EXPECT_TRUE(fs::is_directory(drive_ / "NETDATA/PRODUCTN"));
    EXPECT_FALSE(fs::exists(drive_ / "NETDATA/PRODUCTN/REPORTS.MDB"));
    MakeDirectoryPath("c:\\netdata\\other", false); // existing folders match without case
    EXPECT_TRUE(fs::is_directory(drive_ / "NETDATA/other"));
    MakeDirectoryPath((home_ / "posix/a/b.db").string());
    EXPECT_TRUE(fs::is_directory(home_ / "posix/a"));
    // ".." stops at the drive root: nothing is made outside the drive's folder.
    MakeDirectoryPath("C:\\..\\..\\..\\escaped\\x.txt");
    EXPECT_TRUE(fs::is_directory(drive_ / "escaped"));
    EXPECT_FALSE(fs::exists(home_ / "escaped"));
    EXPECT_FALSE(fs::exists(home_ / "dorvane/escaped"));
    // The program folder joined the Windows way makes real folders, not names with a backslash.
    MakeDirectoryPath((home_ / "prog").string() + "\\labels\\box.rpt");
    EXPECT_TRUE(fs::is_directory(home_ / "prog/labels"));
}

TEST_F(ShellUtilities, OpenOrCreateDatabaseMakesTheFoldersAndAnEmptyDatabase) {
    dao::Database db = OpenOrCreateDatabase("C:\\NETDATA\\PRODUCTN\\REPORTS.MDB");
    ASSERT_TRUE(db);
    EXPECT_TRUE(db.TableDefs().empty());
    db.Close();
    EXPECT_TRUE(OpenOrCreateDatabase("c:\\netdata\\productn\\reports.mdb")); // now it opens
    // A file that is not a database is not replaced: no database is returned.
    std::ofstream(drive_ / "junk.mdb") << "this is not a database file at all";
    EXPECT_FALSE(OpenOrCreateDatabase("C:\\junk.mdb"));
}

TEST_F(ShellUtilities, CreateTableFromRecordsetCopiesTheFieldsOnce) {
    std::string source = (home_ / "ship.db").string();
    auto db = dao::engine().CreateDatabase(source);
    db.Execute("CREATE TABLE S (ID INTEGER PRIMARY KEY AUTOINCREMENT, Due DATETIME, Late YESNO, Qty LONG)");
    db.Execute("INSERT INTO S (Due, Late, Qty) VALUES (#2026-12-08#, Yes, 5)");
    auto rs = db.OpenRecordset("SELECT S.*, Qty * 2 AS Twice FROM S");
    EXPECT_EQ(CreateTableFromRecordset("C:\\NETDATA\\PRODUCTN\\REPORTS.MDB", "ShipReportTable", rs), 0);
    EXPECT_EQ(CreateTableFromRecordset("C:\\NETDATA\\PRODUCTN\\REPORTS.MDB", "ShipReportTable", rs), 2);
    auto reports = OpenOrCreateDatabase("C:\\NETDATA\\PRODUCTN\\REPORTS.MDB");
    auto table = reports.TableDefs("ShipReportTable");
    ASSERT_EQ(table.FieldCount(), 5);
    EXPECT_EQ(table.Fields()[1].Type(), dao::dbDate);
    EXPECT_EQ(table.Fields()[2].Type(), dao::dbBoolean);
    EXPECT_EQ(table.Fields()[4].Name(), "Twice");
    // The copy takes the source's rows, key included.
    auto copy = reports.OpenRecordset("ShipReportTable");
    EXPECT_EQ(copy.RecordCount(), 0);
    copy.AddNew();
    for (int i = 0; i < rs.FieldCount(); ++i)
        copy.Fields(rs.Fields(i).Name()).setValue(rs.Fields(i).Value());
    copy.Update();
    copy.MoveFirst();
    EXPECT_EQ(copy["ID"], runtime::Variant(1));
    EXPECT_EQ(copy["Late"], runtime::Variant(true));
}
