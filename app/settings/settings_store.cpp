#include "settings_store.h"

#include "runtime/error.h"
#include "winreg/winreg.h"

#include <vector>

namespace {

// Closes a registry key when it goes out of scope.
struct KeyHandle {
    HKEY key = nullptr;
    ~KeyHandle() {
        if (key) RegCloseKey(key);
    }
};

// Writing or deleting needs an application and a section: without them the call would reach keys
// that belong to every program's settings.
void requireName(const std::string& name) {
    if (name.empty()) runtime::raise(runtime::err::InvalidProcedureCall);
}

// A write of the store that failed, raised as the runtime's error 5 with what kept it from the disk:
// the user is told the settings were not saved and why, instead of a bare "invalid argument".
[[noreturn]] void raiseNotSaved(LONG rc) {
    std::string why = rc == ERROR_DISK_FULL       ? "the disk is full"
                      : rc == ERROR_ACCESS_DENIED ? "the settings folder or file may not be written"
                                                  : "the settings file could not be written (a disk error)";
    throw runtime::Error(runtime::err::InvalidProcedureCall, "Dorvane",
                         "The settings could not be saved: " + why + ".");
}

// Deletes a key and everything below it; the registry only deletes keys without subkeys.
LONG deleteTree(HKEY parent, const std::string& name) {
    KeyHandle key;
    if (LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key.key)) return rc;
    std::vector<char> sub(256);
    while (true) {
        DWORD len = DWORD(sub.size());
        LONG rc = RegEnumKeyExA(key.key, 0, sub.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {
            sub.resize(sub.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS) return rc;
        if (LONG sr = deleteTree(key.key, sub.data())) return sr;
    }
    return RegDeleteKeyA(parent, name.c_str());
}

} // namespace

std::string settingsKeyPath(const std::string& appName, const std::string& section) {
    return "Software\\VB and VBA Program Settings\\" + appName + "\\" + section;
}

std::string GetSetting(const std::string& appName, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
    if (appName.empty() || section.empty()) return defaultValue;
    KeyHandle k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKeyPath(appName, section).c_str(), 0, KEY_QUERY_VALUE,
                      &k.key))
        return defaultValue;
    std::vector<BYTE> data(256);
    DWORD type = 0, size = DWORD(data.size());
    LONG rc;
    // The value may grow between asking its size and reading it (another program writing it).
    while ((rc = RegQueryValueExA(k.key, key.c_str(), nullptr, &type, data.data(), &size)) ==
           ERROR_MORE_DATA) {
        data.resize(size);
    }
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return defaultValue;
    std::string text(reinterpret_cast<const char*>(data.data()), size);
    return text.substr(0, text.find('\0'));
}

void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                 const std::string& setting) {
    requireName(appName);
    requireName(section);
    KeyHandle k;
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath(appName, section).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &k.key, nullptr);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(k.key, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(setting.c_str()),
                            DWORD(setting.size() + 1));
    if (rc != ERROR_SUCCESS) raiseNotSaved(rc);
}

void DeleteSetting(const std::string& appName, const std::string& section) {
    requireName(appName);
    requireName(section);
    KeyHandle app;
    std::string appPath = "Software\\VB and VBA Program Settings\\" + appName;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, appPath.c_str(), 0, KEY_ALL_ACCESS, &app.key);
    if (rc == ERROR_SUCCESS) rc = deleteTree(app.key, section);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) raiseNotSaved(rc);
}

void DeleteSetting(const std::string& appName, const std::string& section, const std::string& key) {
    requireName(appName);
    requireName(section);
    KeyHandle k;
    LONG rc =
        RegOpenKeyExA(HKEY_CURRENT_USER, settingsKeyPath(appName, section).c_str(), 0, KEY_SET_VALUE, &k.key);
    if (rc == ERROR_SUCCESS) rc = RegDeleteValueA(k.key, key.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) raiseNotSaved(rc);
}
