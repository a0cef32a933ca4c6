#include "paths/report_templates.h"
#include "paths/windows_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class WindowsPath : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("paths_test_" + std::to_string(::getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_);
        ::setenv("XDG_DATA_HOME", home_.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(home_); }
    fs::path home_;
};

TEST_F(WindowsPath, DriveLettersBackslashesAndCase) {
    fs::path drive = home_ / "dorvane/drives/c";
    EXPECT_EQ(paths::resolve("C:\\NETDATA\\PRODUCTN\\REPORTS.MDB"),
              (drive / "NETDATA/PRODUCTN/REPORTS.MDB").string());
    EXPECT_TRUE(fs::is_directory(drive)); // the drive root exists once named

    fs::create_directories(drive / "NetData/Productn");
    std::ofstream(drive / "NetData/Productn/Reports.mdb") << "x";
    std::string expected = (drive / "NetData/Productn/Reports.mdb").string();
    EXPECT_EQ(paths::resolve("C:\\NETDATA\\PRODUCTN\\REPORTS.MDB"), expected);
    EXPECT_EQ(paths::resolve("c:\\netdata\\productn\\reports.mdb"), expected);
    EXPECT_EQ(paths::resolve("c:/netdata/productn/reports.mdb"), expected);
}

TEST_F(WindowsPath, DotDotStopsAtTheDriveRootAndTheShare) {
    fs::path drive = home_ / "dorvane/drives/c";
    EXPECT_EQ(paths::resolve("C:\\..\\..\\..\\escaped\\x.txt"), (drive / "escaped/x.txt").string());
    EXPECT_EQ(paths::resolve("C:\\a\\b\\..\\..\\..\\c\\.\\d"), (drive / "c/d").string());
    EXPECT_EQ(paths::resolve("C:\\.."), drive.string());
    fs::path share = home_ / "dorvane/unc/server/apps";
    EXPECT_EQ(paths::resolve("\\\\server\\apps\\..\\..\\x.mdb"), (share / "x.mdb").string());
}

TEST_F(WindowsPath, RelativeAndMixedPathsConvertTheirBackslashes) {
    fs::path prog = home_ / "Prog Dir";
    fs::create_directories(prog / "Reports");
    std::ofstream(prog / "Shipping Report.rpt") << "x";
    // The program folder is this machine's own spelling; the Windows tail matches without case.
    EXPECT_EQ(paths::resolve(prog.string() + "\\shipping report.rpt"),
              (prog / "Shipping Report.rpt").string());
    EXPECT_EQ(paths::resolve(prog.string() + "\\REPORTS\\new.rpt"), (prog / "Reports/new.rpt").string());
    EXPECT_EQ(paths::resolve(prog.string() + "\\missing\\x.rpt"), (prog / "missing/x.rpt").string());

    fs::path cwd = fs::current_path();
    fs::current_path(home_);
    EXPECT_EQ(paths::resolve("rel\\dir\\file.db"), "rel/dir/file.db");
    EXPECT_EQ(paths::resolve("prog dir\\reports\\x.rpt"), "Prog Dir/Reports/x.rpt");
    EXPECT_EQ(paths::resolve("..\\up\\x.db"), "../up/x.db");
    fs::current_path(cwd);
}

TEST_F(WindowsPath, PosixPathsAndShares) {
    EXPECT_EQ(paths::resolve("/var/tmp/Ship.db"), "/var/tmp/Ship.db");
    EXPECT_EQ(paths::resolve("relative/x.db"), "relative/x.db");
    EXPECT_EQ(paths::resolve("\\\\server\\apps\\BRELLIN.MDB"),
              (home_ / "dorvane/unc/server/apps/BRELLIN.MDB").string());
}

TEST_F(WindowsPath, TemplatesComeFromTheInstalledShareFolderElseTheSourceTree) {
    const fs::path source = home_ / "src/reports";
    fs::create_directories(source);
    const fs::path prefix = home_ / "root/usr";
    fs::create_directories(prefix / "bin");
    // Unpacked without its share folder (or a bin folder of something else): the source tree's.
    EXPECT_EQ(paths::templatesFolderFor((prefix / "bin").string(), source.string()), source.string());
    fs::create_directories(prefix / "share/dorvane");
    EXPECT_EQ(paths::templatesFolderFor((prefix / "bin").string(), source.string()),
              (prefix / "share/dorvane").string());
    // A build folder is no bin folder, even beside a share folder of the same name.
    fs::create_directories(home_ / "build/share/dorvane");
    EXPECT_EQ(paths::templatesFolderFor((home_ / "build/app").string(), source.string()), source.string());
    // Neither: the templates are looked for beside the program.
    EXPECT_EQ(paths::templatesFolderFor((home_ / "build/app").string(), (home_ / "gone").string()),
              (home_ / "build/app").string());
    EXPECT_EQ(paths::templatesFolderFor((home_ / "build/app").string(), ""), (home_ / "build/app").string());
}

TEST_F(WindowsPath, ThisBuildFindsTheTemplatesAndTheirReadmeInTheSourceTree) {
    // The names the windows and the print errors use exist where the lookup points.
    for (const char* name : {"README.md", "shipping report.rpt", "daily valcrest report.rpt", "box label.rpt"})
        EXPECT_TRUE(fs::is_regular_file(paths::templateFile(name))) << name << " at " << paths::templateFile(name);
    EXPECT_EQ(fs::path(paths::templateFile("SHIPPING REPORT.RPT")).filename(), "shipping report.rpt");
}
