// The hive reader fed random and mutated files: it never crashes or hangs, what it reads can be
// written and read again, a damaged line costs only that line, and a damaged hive is kept aside
// (each one under its own name) before it is rewritten. Fixed seed, fixed counts.
#include "hive_random.h"
#include "winreg/hive_text.h"
#include "winreg/winreg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

constexpr int kMutationCases = 4000;
constexpr int kDamagedLineCases = 400;
constexpr int kFileCases = 120;
constexpr const char* kRoot = "HKEY_CURRENT_USER";

using hive_random::pick;

std::string mutate(hive_random::Engine& rng, std::string text) {
    static const std::string special = "\n\r\\\"[]=@-,:;\t\xff";
    for (int n = pick(rng, 1, 6); n > 0; --n) {
        std::size_t at = text.empty() ? 0 : std::size_t(pick(rng, 0, int(text.size()) - 1));
        switch (pick(rng, 0, 7)) {
        case 0:
            if (!text.empty()) text[at] = char(pick(rng, 0, 255));
            break;
        case 1:
            text.insert(at, 1, special[std::size_t(pick(rng, 0, int(special.size()) - 1))]);
            break;
        case 2:
            text.erase(at, std::size_t(pick(rng, 1, 40)));
            break;
        case 3:
            text.insert(at, text.substr(at, std::size_t(pick(rng, 1, 80))));
            break;
        case 4:
            text.resize(at);
            break;
        case 5:
            text.insert(at, pick(rng, 0, 1) ? "\\\n" : "[-HKEY_CURRENT_USER\\");
            break;
        case 6:
            text.insert(0, pick(rng, 0, 1) ? "\xFF\xFE" : "\xEF\xBB\xBF");
            break;
        default:
            text.insert(at, std::string(std::size_t(pick(rng, 1, 30)), char(pick(rng, 0, 255))));
            break;
        }
    }
    return text;
}

std::string randomBytes(hive_random::Engine& rng) {
    std::string s(std::size_t(pick(rng, 0, 2000)), '\0');
    for (char& c : s)
        c = char(pick(rng, 0, 255));
    return s;
}

TEST(HiveFuzz, RandomAndMutatedFilesAreReadWithoutFailingAndWhatIsReadSurvivesARewrite) {
    hive_random::Engine rng(1208);
    int damaged = 0;
    for (int i = 0; i < kMutationCases; ++i) {
        std::string text = pick(rng, 0, 9) == 0
                               ? randomBytes(rng)
                               : mutate(rng, winreg::formatHive(hive_random::hive(rng, kRoot), kRoot));
        winreg::ParsedHive parsed = winreg::parseHive(text, kRoot);
        damaged += parsed.damaged;
        winreg::ParsedHive again = winreg::parseHive(winreg::formatHive(parsed.root, kRoot), kRoot);
        ASSERT_FALSE(again.damaged) << "case " << i;
        ASSERT_EQ(again.root, parsed.root) << "case " << i;
    }
    // The mutations must really damage files, or this test proves nothing.
    EXPECT_GT(damaged, kMutationCases / 2);
}

TEST(HiveFuzz, ADamagedLineCostsOnlyTheValueOnIt) {
    hive_random::Engine rng(2026);
    int checked = 0;
    for (int i = 0; i < kDamagedLineCases; ++i) {
        winreg::HiveKey tree = hive_random::hive(rng, kRoot);
        std::string text = winreg::formatHive(tree, kRoot);
        // Pick a value line: one that starts with a quote or "@" (text never spans lines).
        std::vector<std::size_t> starts;
        for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at)
            if (at + 1 < text.size() && (text[at + 1] == '"' || text[at + 1] == '@'))
                starts.push_back(at + 1);
        if (starts.empty()) continue;
        std::size_t start = starts[std::size_t(pick(rng, 0, int(starts.size()) - 1))];
        std::size_t end = text.find('\n', start);
        while (text[end - 1] == '\\') // long hex data goes on over the following lines
            end = text.find('\n', end + 1);
        std::string line = text.substr(start, end - start);

        // Which value it was: parse the line alone in its section.
        std::size_t section = text.rfind("\n[", start);
        std::string header = text.substr(section + 1, text.find('\n', section + 1) - section);
        winreg::ParsedHive one = winreg::parseHive("REGEDIT4\n" + header + line + "\n", kRoot);
        std::string garbage = "!" + std::to_string(pick(rng, 0, 1 << 20)) + "\"=\\";
        winreg::ParsedHive parsed =
            winreg::parseHive(text.substr(0, start) + garbage + text.substr(end), kRoot);
        EXPECT_TRUE(parsed.damaged) << "case " << i;

        // Remove that one value from the expected tree; everything else must be there.
        std::vector<std::string> path = winreg::splitKeyPath(header.substr(1, header.size() - 3));
        path.erase(path.begin());
        winreg::HiveKey* key = winreg::findPath(tree, path);
        winreg::HiveKey* lineKey = winreg::findPath(one.root, path);
        ASSERT_TRUE(key && lineKey && lineKey->values.size() == 1) << "case " << i << ": " << line;
        key->removeValue(lineKey->values[0].name);
        EXPECT_EQ(parsed.root, tree) << "case " << i << ": " << line;
        ++checked;
    }
    EXPECT_GT(checked, kDamagedLineCases / 2);
}

std::set<std::string> corruptCopies(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name).find(".corrupt") != std::string::npos) names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(HiveFuzz, EveryDamagedHiveIsKeptAsideUnderItsOwnNameBeforeItIsRewritten) {
    char tmpl[] = "/tmp/hive_fuzz_test.XXXXXX";
    std::string config = mkdtemp(tmpl);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::string folder = config + "/dorvane/registry", hive = folder + "/HKEY_CURRENT_USER.reg";
    std::system(("mkdir -p '" + folder + "'").c_str());

    hive_random::Engine rng(31);
    std::size_t kept = 0;
    for (int i = 0; i < kFileCases; ++i) {
        std::string text = mutate(rng, winreg::formatHive(hive_random::hive(rng, kRoot), kRoot));
        std::ofstream(hive, std::ios::binary | std::ios::trunc) << text;
        winreg::ParsedHive parsed = winreg::parseHive(text, kRoot);

        HKEY key;
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, "Fuzz", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        std::string data = std::to_string(i);
        ASSERT_EQ(RegSetValueExA(key, "after", 0, REG_SZ, (const BYTE*)data.c_str(), DWORD(data.size() + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);

        std::set<std::string> copies = corruptCopies(folder);
        if (parsed.damaged) {
            ASSERT_EQ(copies.size(), ++kept) << "case " << i;
            std::string newest = kept == 1 ? "HKEY_CURRENT_USER.reg.corrupt"
                                           : "HKEY_CURRENT_USER.reg.corrupt." + std::to_string(kept);
            ASSERT_TRUE(copies.count(newest)) << "case " << i;
            EXPECT_EQ(readFile(folder + "/" + newest), text) << "case " << i;
        } else {
            ASSERT_EQ(copies.size(), kept) << "case " << i;
        }
        // The rewritten hive holds the readable part and the new value, and is whole.
        winreg::ParsedHive rewritten = winreg::parseHive(readFile(hive), kRoot);
        EXPECT_FALSE(rewritten.damaged) << "case " << i;
        parsed.root.subkey("Fuzz").setValue(
            "after", REG_SZ, std::vector<std::uint8_t>(data.c_str(), data.c_str() + data.size() + 1));
        EXPECT_EQ(rewritten.root, parsed.root) << "case " << i;
    }
    EXPECT_GT(kept, std::size_t(kFileCases / 3));
    std::system(("rm -rf '" + config + "'").c_str());
}

} // namespace
