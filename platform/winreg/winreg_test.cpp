// The registry API as the program relies on it. This one test runs natively over our hives (with a
// private XDG_CONFIG_HOME) and, cross-built, against the real registry under Wine, so every
// assertion here is the behaviour of the real API.
#include "winreg/winreg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include "winreg/hive_text.h"

#include <fstream>
#include <sstream>
#else
#include <unistd.h>
#endif

namespace {

constexpr const char* kScratch = "Software\\DorvaneTest";

void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    SetEnvironmentVariableA(name, value);
#else
    setenv(name, value, 1);
#endif
}

// Deletes a key and everything below it, depth-first as the API requires.
void deleteTree(HKEY parent, const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char sub[256];
    DWORD len = sizeof sub;
    while (RegEnumKeyExA(key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        deleteTree(key, sub);
        len = sizeof sub;
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name.c_str());
}

class Registry : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#ifndef _WIN32
        char tmpl[] = "/tmp/winreg_test.XXXXXX";
        folder() = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", folder().c_str(), 1);
#endif
    }

    static void TearDownTestSuite() {
#ifndef _WIN32
        std::system(("rm -rf '" + folder() + "'").c_str());
#endif
    }

    static std::string& folder() {
        static std::string path;
        return path;
    }

    void SetUp() override {
        deleteTree(HKEY_CURRENT_USER, kScratch);
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    }

    void TearDown() override {
        RegCloseKey(key);
        deleteTree(HKEY_CURRENT_USER, kScratch);
    }

    LONG set(const char* name, DWORD type, const void* data, DWORD size) {
        return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    }

    // The stored bytes of a value, or the error code as the only "byte" count.
    std::vector<BYTE> query(const char* name, DWORD* type = nullptr) {
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, type, nullptr, &size), ERROR_SUCCESS) << name;
        std::vector<BYTE> data(size);
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, type, data.data(), &size), ERROR_SUCCESS) << name;
        data.resize(size);
        return data;
    }

    HKEY key = nullptr;
};

std::vector<BYTE> bytes(const char* s, std::size_t n) {
    return std::vector<BYTE>(s, s + n);
}

TEST_F(Registry, KeysAreCreatedOpenedAndMatchedWithoutRegardToCase) {
    HKEY sub;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(key, "Level1\\Level2", 0, (LPSTR) "1", 0, KEY_ALL_ACCESS, nullptr, &sub,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(sub);
    ASSERT_EQ(
        RegCreateKeyExA(key, "LEVEL1\\level2", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(sub);

    EXPECT_EQ(RegOpenKeyExA(key, "level1", 0, KEY_READ, &sub), ERROR_SUCCESS);
    RegCloseKey(sub);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\dorvanetest\\Level1\\LEVEL2", 0, KEY_READ, &sub),
              ERROR_SUCCESS);
    RegCloseKey(sub);
    EXPECT_EQ(RegOpenKeyExA(key, "Missing", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);

    // A path may not start with a backslash; doubled and trailing ones are tolerated.
    EXPECT_EQ(RegOpenKeyExA(key, "\\Level1", 0, KEY_READ, &sub), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(key, "\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disposition),
              ERROR_BAD_PATHNAME);
    ASSERT_EQ(
        RegCreateKeyExA(key, "Level1\\\\Other\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disposition),
        ERROR_SUCCESS);
    RegCloseKey(sub);
    EXPECT_EQ(RegOpenKeyExA(key, "Level1\\Other", 0, KEY_READ, &sub), ERROR_SUCCESS);
    RegCloseKey(sub);
}

TEST_F(Registry, ValuesKeepTheirTypeAndBytes) {
    const DWORD number = 0x12345678;
    const BYTE blob[] = {0, 1, 2, 0xFE, 0xFF};
    ASSERT_EQ(set("Text", REG_SZ, "abc", 4), ERROR_SUCCESS);
    ASSERT_EQ(set("Unterminated", REG_SZ, "abc", 3), ERROR_SUCCESS);
    ASSERT_EQ(set("Empty", REG_SZ, "", 0), ERROR_SUCCESS);
    ASSERT_EQ(set("Path", REG_EXPAND_SZ, "%TEMP%\\x", 9), ERROR_SUCCESS);
    ASSERT_EQ(set("Blob", REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(set("Number", REG_DWORD, &number, 4), ERROR_SUCCESS);
    ASSERT_EQ(set("List", REG_MULTI_SZ, "a\0bc\0\0", 6), ERROR_SUCCESS);
    ASSERT_EQ(set("Quote\"Back\\slash", REG_SZ, "C:\\x \"y\"", 9), ERROR_SUCCESS);
    ASSERT_EQ(set(nullptr, REG_SZ, "default", 8), ERROR_SUCCESS);

    DWORD type = 0;
    EXPECT_EQ(query("Text", &type), bytes("abc", 4));
    EXPECT_EQ(type, REG_SZ);
    // Text written without its terminator is stored with one.
    EXPECT_EQ(query("Unterminated"), bytes("abc", 4));
    EXPECT_EQ(query("Empty"), std::vector<BYTE>{});
    EXPECT_EQ(query("Path", &type), bytes("%TEMP%\\x", 9));
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(query("Blob", &type), std::vector<BYTE>(blob, blob + sizeof blob));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(query("Number", &type), bytes("\x78\x56\x34\x12", 4));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(query("List", &type), bytes("a\0bc\0\0", 6));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(query("quote\"back\\SLASH"), bytes("C:\\x \"y\"", 9));
    // The default value answers to both the null and the empty name.
    EXPECT_EQ(query(""), bytes("default", 8));

    // Buffer sizes: too small reports the size needed; exactly right is fine.
    char buf[16];
    DWORD size = 3;
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, (BYTE*)buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, (BYTE*)buf, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(RegQueryValueExA(key, "Nothing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, ValueNamesIgnoreCaseButKeepTheFirstSpelling) {
    ASSERT_EQ(set("MixedCase", REG_SZ, "1", 2), ERROR_SUCCESS);
    ASSERT_EQ(set("MIXEDCASE", REG_SZ, "2", 2), ERROR_SUCCESS);
    char name[32];
    DWORD nameLen = sizeof name, size = 0, type = 0;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "MixedCase");
    EXPECT_EQ(nameLen, 9u);
    nameLen = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameLen, nullptr, &type, nullptr, &size), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(query("mixedcase"), bytes("2", 2));
}

// Names as programs really write them: "=", "@", quotes, line breaks, non-ASCII letters matched
// without regard to case (text in the ANSI code page under Windows, UTF-8 here), and the length
// limit of value names.
TEST_F(Registry, UnusualNamesAreKeptAndMatched) {
#ifdef _WIN32
    const char* lower = "Gr\xf6\xdf"
                        "e";
    const char* upper = "GR\xd6\xdf"
                        "E";
#else
    const char* lower = "Gr\xc3\xb6\xc3\x9f"
                        "e";
    const char* upper = "GR\xc3\x96\xc3\x9f"
                        "E";
#endif
    ASSERT_EQ(set(lower, REG_SZ, "1", 2), ERROR_SUCCESS);
    EXPECT_EQ(query(upper), bytes("1", 2));
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(key, upper, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(key, lower, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(k);

    for (const char* name : {"=", "x=", "@", "-", "a\"b", "line\nbreak", "cr\r", "\\lead", "["}) {
        ASSERT_EQ(set(name, REG_SZ, "v", 2), ERROR_SUCCESS) << name;
        EXPECT_EQ(query(name), bytes("v", 2)) << name;
    }
    // "@" is a name like any other, not the default value.
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    std::string longest(16383, 'n'), tooLong(16384, 'n');
    EXPECT_EQ(set(longest.c_str(), REG_SZ, "v", 2), ERROR_SUCCESS);
    EXPECT_EQ(query(longest.c_str()), bytes("v", 2));
    EXPECT_NE(set(tooLong.c_str(), REG_SZ, "v", 2), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, tooLong.c_str(), nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, EnumerationAndKeyInformation) {
    for (const char* sub : {"zeta", "Alpha", "beta"}) {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(key, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(k);
    }
    ASSERT_EQ(set("second", REG_SZ, "xy", 3), ERROR_SUCCESS);
    ASSERT_EQ(set("first", REG_BINARY, "123456", 6), ERROR_SUCCESS);

    DWORD subkeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values, &maxName,
                               &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxSub, 5u);  // "Alpha", without the terminator
    EXPECT_EQ(maxName, 6u); // "second"
    EXPECT_GE(maxData, 6u); // Windows may count the data as stored (UTF-16 for text); enough either way

    // Subkeys come back sorted without regard to case on Windows, under Wine and from our hives alike
    // (for ASCII names; Windows sorts other letters by its own upper-case table, our hives do not).
    std::vector<std::string> names;
    char name[64];
    DWORD len;
    LONG rc;
    for (DWORD i = 0; len = sizeof name,
               (rc = RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr)) == ERROR_SUCCESS;
         ++i) {
        EXPECT_EQ(len, std::strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "zeta"}));
    len = 5; // "Alpha" needs 6 with its terminator
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    // Value order is not asserted: Windows lists values in the order they were written (and so do our
    // hives), while Wine lists them sorted by name. Each index is matched by the name it reports.
    DWORD type, size;
    BYTE data[8];
    int seen = 0;
    for (DWORD i = 0; i < 2; ++i) {
        len = sizeof name;
        size = sizeof data;
        ASSERT_EQ(RegEnumValueA(key, i, name, &len, nullptr, &type, data, &size), ERROR_SUCCESS);
        EXPECT_EQ(len, std::strlen(name));
        bool second = std::string(name) == "second";
        EXPECT_EQ(std::string(name), second ? "second" : "first");
        EXPECT_EQ(type, second ? REG_SZ : REG_BINARY);
        EXPECT_EQ(size, second ? 3u : 6u);
        seen += second ? 1 : 2;
        std::string expected = name;
        len = DWORD(expected.size() + 1); // exactly room for the name and its terminator
        size = 2;                         // too small for either value: the size needed comes back
        EXPECT_EQ(RegEnumValueA(key, i, name, &len, nullptr, &type, data, &size), ERROR_MORE_DATA);
        EXPECT_EQ(size, second ? 3u : 6u);
        len = DWORD(expected.size()); // one short of the terminator
        size = sizeof data;
        EXPECT_EQ(RegEnumValueA(key, i, name, &len, nullptr, &type, data, &size), ERROR_MORE_DATA);
    }
    EXPECT_EQ(seen, 3);
    len = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &len, nullptr, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, DeletingKeysAndValues) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(key, "Parent\\Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    // A key with subkeys is refused; the tree has to go depth-first.
    EXPECT_EQ(RegDeleteKeyA(key, "Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(key, "Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key, "Parent"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key, "Parent"), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(set("v", REG_SZ, "x", 2), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "V"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_FILE_NOT_FOUND);

    // A handle to a key deleted meanwhile reports it.
    ASSERT_EQ(RegCreateKeyExA(key, "Gone", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(key, "Gone"), ERROR_SUCCESS);
    DWORD one = 1, size = 4;
    EXPECT_EQ(RegSetValueExA(k, "x", 0, REG_DWORD, (const BYTE*)&one, 4), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExA(k, "x", nullptr, nullptr, (BYTE*)&one, &size), ERROR_KEY_DELETED);
    RegCloseKey(k);
}

TEST_F(Registry, HandlesAndAccessRights) {
    HKEY readOnly, writeOnly;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_WRITE, &writeOnly), ERROR_SUCCESS);
    DWORD one = 1, size = 4;
    char name[16];
    DWORD len = sizeof name;
    EXPECT_EQ(RegSetValueExA(readOnly, "x", 0, REG_DWORD, (const BYTE*)&one, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(writeOnly, "x", 0, REG_DWORD, (const BYTE*)&one, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(writeOnly, "x", nullptr, nullptr, (BYTE*)&one, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumKeyExA(writeOnly, 0, name, &len, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueExA(readOnly, "x", nullptr, nullptr, (BYTE*)&one, &size), ERROR_SUCCESS);

    EXPECT_EQ(RegCloseKey(readOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(readOnly), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(readOnly, "x", 0, REG_DWORD, (const BYTE*)&one, 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(writeOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS); // closing a predefined root is harmless
}

#ifdef _WIN32
// The registry editor of the system at hand is the reference for the hive text: it must read what
// we write, and we must read and write what it does, name and value escaping included.

// A key as the API reports it: values in enumeration order, subkeys in theirs.
winreg::HiveKey readTree(HKEY key, const std::string& name) {
    winreg::HiveKey tree;
    tree.name = name;
    for (DWORD i = 0;; ++i) {
        char valueName[512];
        BYTE data[1024];
        DWORD nameLen = sizeof valueName, size = sizeof data, type = 0;
        if (RegEnumValueA(key, i, valueName, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        tree.values.push_back({std::string(valueName, nameLen), type, {data, data + size}});
    }
    for (DWORD i = 0;; ++i) {
        char sub[256];
        DWORD len = sizeof sub;
        if (RegEnumKeyExA(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child;
        EXPECT_EQ(RegOpenKeyExA(key, sub, 0, KEY_READ, &child), ERROR_SUCCESS) << sub;
        tree.subkeys.push_back(readTree(child, sub));
        RegCloseKey(child);
    }
    return tree;
}

bool runRegedit(std::string arguments) {
    std::string command = "regedit.exe " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code == 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The editor's export as UTF-8 with plain line feeds, without its header line.
std::string exportBody(const std::string& raw) {
    std::string text = raw;
    if (text.rfind("\xFF\xFE", 0) == 0) {
        std::wstring wide(text.size() / 2 - 1, L'\0');
        std::memcpy(wide.data(), text.data() + 2, wide.size() * 2);
        int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
        text.assign(std::size_t(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), n, nullptr, nullptr);
    }
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out.substr(out.find('\n') + 1);
}

TEST_F(Registry, HiveTextMatchesTheRegistryEditor) {
    std::vector<BYTE> blob(64);
    for (std::size_t i = 0; i < blob.size(); ++i)
        blob[i] = BYTE(i * 37);
    DWORD number = 0x2a;
    ASSERT_EQ(set(nullptr, REG_SZ, "default", 8), ERROR_SUCCESS);
    ASSERT_EQ(set("=", REG_SZ, "a=b", 4), ERROR_SUCCESS);
    ASSERT_EQ(set("x=", REG_SZ, "line1\nline2\r\nend", 17), ERROR_SUCCESS);
    ASSERT_EQ(set("@", REG_SZ, "at", 3), ERROR_SUCCESS);
    ASSERT_EQ(set("-", REG_DWORD, &number, 4), ERROR_SUCCESS);
    ASSERT_EQ(set("a\"b\\c", REG_SZ, "C:\\x \"y\"\\", 10), ERROR_SUCCESS);
    ASSERT_EQ(set("bin=", REG_BINARY, blob.data(), DWORD(blob.size())), ERROR_SUCCESS);
    ASSERT_EQ(set("empty", REG_SZ, "", 1), ERROR_SUCCESS);
    ASSERT_EQ(set("line\nname", REG_SZ, "v", 2), ERROR_SUCCESS);
    for (const char* name : {"tab\tin", "@", "-dash"}) {
        HKEY sub;
        ASSERT_EQ(RegCreateKeyExA(key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(sub, "x=", 0, REG_SZ, (const BYTE*)"1\n2", 4), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(sub, "=", 0, REG_BINARY, blob.data(), 40), ERROR_SUCCESS);
        RegCloseKey(sub);
    }
    winreg::HiveKey tree = readTree(key, "DorvaneTest");

    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string exported = std::string(folder) + "dorvane_export.reg",
                ours = std::string(folder) + "dorvane_ours.reg";
    ASSERT_TRUE(runRegedit("/e \"" + exported + "\" \"HKEY_CURRENT_USER\\" + kScratch + "\""));
    std::string raw = readFile(exported);
    DeleteFileA(exported.c_str());

    // We read the editor's text...
    winreg::ParsedHive parsed = winreg::parseHive(raw, "HKEY_CURRENT_USER");
    EXPECT_FALSE(parsed.damaged);
    const winreg::HiveKey* read = winreg::findPath(parsed.root, winreg::splitKeyPath(kScratch));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(*read, tree);

    // ... write the same text for the same keys ...
    std::string path = std::string("HKEY_CURRENT_USER\\") + kScratch;
    std::string text = winreg::formatHive(tree, path);
    EXPECT_EQ(text.substr(text.find('\n') + 1), exportBody(raw));

    // ... and the editor reads ours: imported into a second key it gives the same keys and values.
    std::ofstream(ours, std::ios::binary) << winreg::formatHive(tree, path + "Copy");
    ASSERT_TRUE(runRegedit("/s \"" + ours + "\""));
    DeleteFileA(ours.c_str());
    HKEY copy;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kScratch) + "Copy").c_str(), 0, KEY_READ, &copy),
              ERROR_SUCCESS);
    winreg::HiveKey imported = readTree(copy, "DorvaneTest");
    RegCloseKey(copy);
    deleteTree(HKEY_CURRENT_USER, std::string(kScratch) + "Copy");
    EXPECT_EQ(imported, tree);
}
#endif

TEST(ExpandEnvironmentStrings, ReplacesKnownVariablesAndKeepsTheRest) {
    setEnvironment("DORVANE_PROBE", "xyz");
    char out[64];
    EXPECT_EQ(ExpandEnvironmentStringsA("a%DORVANE_PROBE%b%NOPE_DORVANE%", nullptr, 0), 20u);
    EXPECT_EQ(ExpandEnvironmentStringsA("a%DORVANE_PROBE%b%NOPE_DORVANE%", out, sizeof out), 20u);
    EXPECT_STREQ(out, "axyzb%NOPE_DORVANE%");
    EXPECT_EQ(ExpandEnvironmentStringsA("a%dorvane_probe%b%", out, sizeof out), 7u);
    EXPECT_STREQ(out, "axyzb%");
    EXPECT_EQ(ExpandEnvironmentStringsA("%%x%%", out, sizeof out), 6u);
    EXPECT_STREQ(out, "%%x%%");
    // Too small a buffer: the size needed comes back, terminator included.
    EXPECT_EQ(ExpandEnvironmentStringsA("a%DORVANE_PROBE%b", out, 3), 6u);
}

} // namespace
