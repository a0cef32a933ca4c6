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

TEST_F(WindowsPath, PosixPathsAndShares) {
    EXPECT_EQ(paths::resolve("/var/tmp/Ship.db"), "/var/tmp/Ship.db");
    EXPECT_EQ(paths::resolve("relative/x.db"), "relative/x.db");
    EXPECT_EQ(paths::resolve("\\\\server\\apps\\BRELLIN.MDB"),
              (home_ / "dorvane/unc/server/apps/BRELLIN.MDB").string());
}
