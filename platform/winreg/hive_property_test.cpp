// Every name and value the registry API accepts survives the hive file: random names and values of
// every type, written, read back from the file and compared byte for byte. Fixed seeds, fixed counts.
#include "hive_random.h"
#include "winreg/hive_text.h"
#include "winreg/winreg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

constexpr int kTextCases = 1500;
constexpr int kApiCases = 40;
constexpr const char* kRoot = "HKEY_CURRENT_USER";

TEST(HiveProperty, EveryRandomHiveFormatsAndParsesBackUnchanged) {
    hive_random::Engine rng(20261208);
    for (int i = 0; i < kTextCases; ++i) {
        winreg::HiveKey tree = hive_random::hive(rng, kRoot);
        std::string text = winreg::formatHive(tree, kRoot);
        winreg::ParsedHive back = winreg::parseHive(text, kRoot);
        ASSERT_FALSE(back.damaged) << "case " << i << "\n" << text;
        ASSERT_EQ(back.root, tree) << "case " << i << "\n" << text;
    }
}

// Writes a generated tree through the API below `key`.
void writeTree(HKEY key, const winreg::HiveKey& tree) {
    for (const auto& v : tree.values)
        ASSERT_EQ(RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), DWORD(v.data.size())),
                  ERROR_SUCCESS)
            << v.name;
    for (const auto& sub : tree.subkeys) {
        HKEY child;
        ASSERT_EQ(
            RegCreateKeyExA(key, sub.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_SUCCESS)
            << sub.name;
        writeTree(child, sub);
        RegCloseKey(child);
    }
}

// Reads a key back through the API, as a program sees it after the hive was reloaded.
winreg::HiveKey readTree(HKEY key, const std::string& name) {
    winreg::HiveKey tree;
    tree.name = name;
    for (DWORD i = 0;; ++i) {
        std::vector<char> valueName(16384);
        std::vector<BYTE> data(1 << 16);
        DWORD nameLen = DWORD(valueName.size()), size = DWORD(data.size()), type = 0;
        if (RegEnumValueA(key, i, valueName.data(), &nameLen, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        tree.values.push_back(
            {std::string(valueName.data(), nameLen), type, {data.begin(), data.begin() + size}});
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

TEST(HiveProperty, RandomNamesAndValuesWrittenThroughTheApiComeBackFromTheFile) {
    char tmpl[] = "/tmp/hive_property_test.XXXXXX";
    std::string config = mkdtemp(tmpl);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    hive_random::Engine rng(8122026);
    for (int i = 0; i < kApiCases; ++i) {
        std::string caseKey = "Case" + std::to_string(i);
        winreg::HiveKey tree;
        tree.name = caseKey;
        hive_random::fill(rng, tree, 2);
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, caseKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        writeTree(key, tree);
        // What the API gives now is read from the file that was just written.
        EXPECT_EQ(readTree(key, caseKey), tree) << "case " << i;
        RegCloseKey(key);

        std::ifstream in(config + "/dorvane/registry/HKEY_CURRENT_USER.reg", std::ios::binary);
        std::stringstream file;
        file << in.rdbuf();
        winreg::ParsedHive parsed = winreg::parseHive(file.str(), kRoot);
        EXPECT_FALSE(parsed.damaged) << "case " << i;
        const winreg::HiveKey* stored = parsed.root.findSubkey(caseKey);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(*stored, tree) << "case " << i;
    }
    std::system(("rm -rf '" + config + "'").c_str());
}

} // namespace
