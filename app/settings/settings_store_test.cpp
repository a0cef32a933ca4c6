#include "settings_store.h"

#include "test_folder.h"

#include "runtime/error.h"
#include "winreg/hive_file.h"
#include "winreg/winreg.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Settings = PrivateRegistry;

long errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const runtime::Error& e) {
        return e.number();
    }
    return 0;
}

TEST_F(Settings, SavedTextsReadBackFromTheExistingSettingsLayout) {
    EXPECT_EQ(GetSetting("Dorvane", "View", "ToolBar", "True"), "True");
    EXPECT_EQ(GetSetting("Dorvane", "View", "ToolBar"), "");

    const std::string path = "C:\\NETDATA\\PRODUCTN\\\"Shipments\" – ü.mdb";
    SaveSetting("Kelmar", "Options", "DBName", path);
    SaveSetting("Kelmar", "Options", "Empty", "");
    EXPECT_EQ(GetSetting("Kelmar", "Options", "DBName", "x"), path);
    EXPECT_EQ(GetSetting("KELMAR", "options", "dbname", "x"), path); // names ignore case
    EXPECT_EQ(GetSetting("Kelmar", "Options", "Empty", "x"), "");
    const std::string longText(5000, 'w');
    SaveSetting("Kelmar", "Options", "Long", longText);
    EXPECT_EQ(GetSetting("Kelmar", "Options", "Long"), longText);

    // Where other programs expect it: a terminated string value under the suite's settings branch.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VB and VBA Program Settings\\Kelmar\\Options", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "DBName", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, path.size() + 1);
    // A value of another type is not a setting: the default comes back.
    DWORD n = 5;
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VB and VBA Program Settings\\Kelmar\\Options", 0,
                            KEY_WRITE, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, (const BYTE*)&n, 4), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(GetSetting("Kelmar", "Options", "Number", "none"), "none");
}

TEST_F(Settings, DeletingKeysAndSections) {
    SaveSetting("Dorvane", "Highlight Line", "Highlight", "True");
    SaveSetting("Dorvane", "Column Widths", "Col0", "1154.835");
    SaveSetting("Dorvane", "Column Widths", "Col1", "1769.953");
    SaveSetting("Dorvane", "View", "ToolBar", "False");

    DeleteSetting("Dorvane", "Column Widths", "Col0");
    EXPECT_EQ(GetSetting("Dorvane", "Column Widths", "Col0", "gone"), "gone");
    EXPECT_EQ(GetSetting("Dorvane", "Column Widths", "Col1"), "1769.953");

    DeleteSetting("Dorvane", "Highlight Line");
    EXPECT_EQ(GetSetting("Dorvane", "Highlight Line", "Highlight", "absent"), "absent");
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKeyPath("Dorvane", "Highlight Line").c_str(), 0,
                            KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetSetting("Dorvane", "View", "ToolBar"), "False");

    // Deleting what is not there (again, or never saved) is harmless.
    EXPECT_EQ(errorNumber([] { DeleteSetting("Dorvane", "Highlight Line"); }), 0);
    EXPECT_EQ(errorNumber([] { DeleteSetting("Dorvane", "Row Height", "Height"); }), 0);
    EXPECT_EQ(errorNumber([] { DeleteSetting("Nobody", "Nothing"); }), 0);
    EXPECT_EQ(errorNumber([] { SaveSetting("", "View", "x", "y"); }), runtime::err::InvalidProcedureCall);
}

TEST_F(Settings, RefusedWriteRaisesAndKeepsTheStoredValue) {
    SaveSetting("Dorvane", "Refresh", "Enabled", "True");
    ASSERT_EQ(mkdir((hiveFile() + ".tmp").c_str(), 0700), 0); // the store cannot write its file now
    EXPECT_EQ(errorNumber([] { SaveSetting("Dorvane", "Refresh", "Enabled", "False"); }),
              runtime::err::InvalidProcedureCall);
    EXPECT_EQ(errorNumber([] { DeleteSetting("Dorvane", "Refresh"); }), runtime::err::InvalidProcedureCall);
    EXPECT_EQ(GetSetting("Dorvane", "Refresh", "Enabled"), "True");
    rmdir((hiveFile() + ".tmp").c_str());
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every step of writing the hive fails in turn, as a full disk, a failing disk or a folder that may
// not be written would make it: the change is reported with its cause, the file is the old one or
// the whole new one, no temporary file stays, and the same change made again is stored.
TEST_F(Settings, EachStepOfAWriteThatFailsIsReportedAndLeavesAWholeFile) {
    struct Change {
        const char* name;
        std::function<void()> run;
    };
    const Change changes[] = {
        {"save", [] { SaveSetting("Dorvane", "Refresh", "Enabled", "False"); }},
        {"delete a key", [] { DeleteSetting("Dorvane", "Refresh", "Enabled"); }},
        {"delete a section", [] { DeleteSetting("Dorvane", "Refresh"); }},
    };
    const std::pair<int, const char*> faults[] = {
        {ENOSPC, "disk is full"}, {EIO, "disk error"}, {EACCES, "may not be written"}};
    SaveSetting("Dorvane", "Refresh", "Enabled", "True");
    SaveSetting("Dorvane", "Refresh", "Interval", "60");
    const std::string before = fileText(hiveFile());
    auto reset = [&] { std::ofstream(hiveFile()) << before; };
    int steps = 0, failAt = 0, errnoToFail = 0, made = 0;
    winreg::setHiveStepHook([&](winreg::HiveStep) {
        ++steps;
        if (steps != failAt) return 0;
        ++made;
        return errnoToFail;
    });
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        reset();
        steps = 0;
        change.run();
        const int count = steps;
        const std::string after = fileText(hiveFile());
        const std::string afterValue = GetSetting("Dorvane", "Refresh", "Enabled", "<none>");
        ASSERT_NE(before, after);
        ASSERT_GE(count, 8) << "every step of the write is seen";
        for (auto [error, words] : faults)
            for (int step = 1; step <= count; ++step) {
                SCOPED_TRACE(words + (" at step " + std::to_string(step)));
                reset();
                steps = 0, failAt = step, errnoToFail = error;
                std::string said;
                try {
                    change.run();
                } catch (const runtime::Error& e) {
                    EXPECT_EQ(e.number(), runtime::err::InvalidProcedureCall);
                    said = e.description();
                }
                failAt = 0;
                EXPECT_NE(said.find(words), std::string::npos) << "the failure is said: [" << said << "]";
                const std::string now = fileText(hiveFile());
                EXPECT_TRUE(now == before || now == after) << now;
                // The program reads what the file holds, not what it failed to write.
                EXPECT_EQ(GetSetting("Dorvane", "Refresh", "Enabled", "<none>"), now == before ? "True" : afterValue);
                EXPECT_FALSE(std::filesystem::exists(hiveFile() + ".tmp"));
                change.run(); // made again, it is stored
                EXPECT_EQ(fileText(hiveFile()), after);
            }
    }
    winreg::setHiveStepHook(nullptr);
    EXPECT_GT(made, 0);
    std::cout << "settings store: " << made << " failures injected\n";
}

} // namespace
