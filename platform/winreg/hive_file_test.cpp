// The hive files themselves: their text, damaged and cut-off files, failed writes, and several
// processes sharing one hive.
#include "winreg/hive_text.h"
#include "winreg/winreg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class HiveFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/hive_file_test.XXXXXX";
        config = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        folder = config + "/dorvane/registry";
        hive = folder + "/HKEY_CURRENT_USER.reg";
    }
    void TearDown() override { std::system(("rm -rf '" + config + "'").c_str()); }

    void makeFolder() { std::system(("mkdir -p '" + folder + "'").c_str()); }

    HKEY open(const char* path) {
        HKEY k = nullptr;
        EXPECT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
        return k;
    }

    std::string text(HKEY k, const char* name) {
        char buf[256] = {};
        DWORD size = sizeof buf;
        LONG rc = RegQueryValueExA(k, name, nullptr, nullptr, (BYTE*)buf, &size);
        return rc == ERROR_SUCCESS ? std::string(buf) : "<error " + std::to_string(rc) + ">";
    }

    std::string config, folder, hive;
};

TEST_F(HiveFiles, WrittenAsRegistryEditorTextPrivateToTheUser) {
    HKEY k = open("Software\\VB and VBA Program Settings\\Kelmar\\Options");
    DWORD n = 42;
    ASSERT_EQ(RegSetValueExA(k, "DBName", 0, REG_SZ, (const BYTE*)"C:\\NETDATA\\\"x\"", 15), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "Count", 0, REG_DWORD, (const BYTE*)&n, 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, nullptr, 0, REG_MULTI_SZ, (const BYTE*)"a\0b\0\0", 5), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "Lines", 0, REG_SZ, (const BYTE*)"one\ntwo", 8), ERROR_SUCCESS);
    RegCloseKey(k);

    EXPECT_EQ(readFile(hive),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER]\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings]\n\n"
              "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Kelmar]\n\n"
              "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Kelmar\\Options]\n"
              "\"DBName\"=\"C:\\\\NETDATA\\\\\\\"x\\\"\"\n"
              "\"Count\"=dword:0000002a\n"
              "@=hex(7):61,00,62,00,00\n"
              "\"Lines\"=\"one\\ntwo\"\n\n"); // line breaks escaped as the registry editor does
    struct stat st;
    ASSERT_EQ(stat(hive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Each root is a file of its own.
    HKEY machine;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Machine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &machine, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(machine);
    EXPECT_NE(readFile(folder + "/HKEY_LOCAL_MACHINE.reg").find("[HKEY_LOCAL_MACHINE\\Software\\Machine]"),
              std::string::npos);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Machine", 0, KEY_READ, &machine),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveFiles, ReadsBothExportFormsAndLongWrappedData) {
    // Version 5 text as the registry editor saves it (UTF-16 with a byte-order mark), with UTF-16 hex(2).
    std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n"
                     "\"Exp\"=hex(2):25,00,58,00,25,00,00,00\r\n\"S\"=\"t\"\r\n\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : v5)
        utf16 += std::string{c, '\0'};
    auto parsed = winreg::parseHive(utf16, "HKEY_CURRENT_USER");
    EXPECT_FALSE(parsed.damaged);
    const winreg::HiveKey* a = parsed.root.findSubkey("Software")->findSubkey("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->findValue("exp")->data, (std::vector<std::uint8_t>{'%', 'X', '%', 0}));
    EXPECT_EQ(a->findValue("S")->data, (std::vector<std::uint8_t>{'t', 0}));

    // A long binary value wraps over several lines and comes back whole.
    winreg::HiveKey root;
    std::vector<std::uint8_t> blob(300);
    for (std::size_t i = 0; i < blob.size(); ++i)
        blob[i] = std::uint8_t(i * 7);
    root.subkey("K").setValue("Blob", 3, blob);
    std::string textForm = winreg::formatHive(root, "HKEY_CURRENT_USER");
    EXPECT_NE(textForm.find(",\\\n  "), std::string::npos);
    auto back = winreg::parseHive(textForm, "HKEY_CURRENT_USER");
    EXPECT_FALSE(back.damaged);
    EXPECT_EQ(back.root.findSubkey("k")->findValue("blob")->data, blob);
}

TEST_F(HiveFiles, DamagedFileKeepsWhatCanBeReadAndIsSetAsideBeforeRewriting) {
    makeFolder();
    const std::string damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Good]\n\"Kept\"=\"yes\"\n"
                                "this line is garbage\n\"NoQuoteEnd\"=\"abc\n\"BadHex\"=hex:zz,01\n"
                                "[HKEY_LOCAL_MACHINE\\Elsewhere]\n\"Foreign\"=\"no\"\n"
                                "[HKEY_CURRENT_USER\\Software\\Also]\n\"Fine\"=dword:00000007\n" +
                                std::string("\0\x01\xff junk", 9) +
                                "\n"
                                "\"Cut\"=hex:01,02,0"; // the file ends in the middle of a value
    writeFile(hive, damaged);

    HKEY good = open("Software\\Good");
    EXPECT_EQ(text(good, "Kept"), "yes");
    EXPECT_EQ(text(good, "NoQuoteEnd"), "<error 2>");
    HKEY also = open("Software\\Also");
    DWORD n = 0, size = 4;
    EXPECT_EQ(RegQueryValueExA(also, "Fine", nullptr, nullptr, (BYTE*)&n, &size), ERROR_SUCCESS);
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(RegQueryValueExA(also, "Cut", nullptr, nullptr, (BYTE*)&n, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readFile(hive), damaged); // reading alone changes nothing

    ASSERT_EQ(RegSetValueExA(good, "New", 0, REG_SZ, (const BYTE*)"1", 2), ERROR_SUCCESS);
    EXPECT_EQ(readFile(hive + ".corrupt"), damaged);
    auto rewritten = winreg::parseHive(readFile(hive), "HKEY_CURRENT_USER");
    EXPECT_FALSE(rewritten.damaged);
    EXPECT_NE(rewritten.root.findSubkey("Software")->findSubkey("Good")->findValue("Kept"), nullptr);
    EXPECT_NE(rewritten.root.findSubkey("Software")->findSubkey("Also")->findValue("Fine"), nullptr);
    RegCloseKey(good);
    RegCloseKey(also);

    // Pure noise, an empty file and a file of NUL bytes are empty hives, not crashes.
    for (std::string noise :
         {std::string("\x89PNG\r\n\x1a\n\xff\xfe\x00[", 12), std::string(), std::string(4096, '\0')}) {
        writeFile(hive, noise);
        HKEY k;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Good", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(HiveFiles, FailedWriteLeavesTheFileAndTheKeyAsTheyWere) {
    HKEY k = open("Software\\W");
    ASSERT_EQ(RegSetValueExA(k, "V", 0, REG_SZ, (const BYTE*)"old", 4), ERROR_SUCCESS);
    std::string before = readFile(hive);
    // Something in the way of the temporary file makes the write fail (works even for root).
    ASSERT_EQ(mkdir((hive + ".tmp").c_str(), 0700), 0);
    EXPECT_NE(RegSetValueExA(k, "V", 0, REG_SZ, (const BYTE*)"new", 4), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteValueA(k, "V"), ERROR_SUCCESS);
    EXPECT_EQ(readFile(hive), before);
    EXPECT_EQ(text(k, "V"), "old");
    rmdir((hive + ".tmp").c_str());
    EXPECT_EQ(RegSetValueExA(k, "V", 0, REG_SZ, (const BYTE*)"new", 4), ERROR_SUCCESS);
    EXPECT_EQ(text(k, "V"), "new");
    RegCloseKey(k);

    // A hive that cannot be read at all is never overwritten.
    std::system(("rm -f '" + hive + "' && mkdir '" + hive + "'").c_str());
    HKEY other;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &other, nullptr),
              ERROR_ACCESS_DENIED);
}

TEST_F(HiveFiles, ChangesByOtherProcessesAreSeenAndNotLost) {
    HKEY k = open("Software\\Shared");
    ASSERT_EQ(RegSetValueExA(k, "Mine", 0, REG_SZ, (const BYTE*)"1", 2), ERROR_SUCCESS);

    // Another program replaces the file: the next read sees its content.
    std::string edited = readFile(hive);
    edited.replace(edited.find("\"Mine\"=\"1\""), 10, "\"Mine\"=\"2\"");
    writeFile(hive + ".new", edited);
    ASSERT_EQ(rename((hive + ".new").c_str(), hive.c_str()), 0);
    EXPECT_EQ(text(k, "Mine"), "2");

    // Two processes writing at once: every value of both arrives.
    constexpr int kEach = 60;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            HKEY own;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, KEY_ALL_ACCESS, &own) !=
                ERROR_SUCCESS)
                _exit(2);
            for (int i = 0; i < kEach; ++i) {
                std::string name = "p" + std::to_string(c) + "-" + std::to_string(i);
                if (RegSetValueExA(own, name.c_str(), 0, REG_SZ, (const BYTE*)"x", 2) != ERROR_SUCCESS)
                    _exit(3);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u + 2 * kEach);
    EXPECT_EQ(text(k, "Mine"), "2");
    RegCloseKey(k);
}

} // namespace
