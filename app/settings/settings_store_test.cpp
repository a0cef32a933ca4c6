#include "settings_store.h"

#include "test_folder.h"

#include "runtime/error.h"
#include "winreg/winreg.h"

#include <functional>
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

} // namespace
