#include "CRegistry.h"

#include "test_folder.h"

#include "runtime/error.h"
#include "runtime/scripted_dialogs.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using runtime::Variant;
constexpr std::int32_t kCurrentUser = std::int32_t(0x80000001u);
constexpr const char* kBase = "Software\\DorvaneTest";

class Registry : public PrivateRegistry {
protected:
    void SetUp() override {
        PrivateRegistry::SetUp();
        dialogs = runtime::useScriptedDialogs();
    }

    // A key prepared with the raw API, so the component's reading is tested on its own.
    void rawSet(const std::string& path, const char* name, DWORD type, const std::string& data) {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(k, name, 0, type, (const BYTE*)data.data(), DWORD(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(k);
    }

    std::string rawGet(const std::string& path, const char* name, DWORD* type = nullptr) {
        HKEY k;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k)) return "<no key>";
        char buf[512];
        DWORD size = sizeof buf;
        LONG rc = RegQueryValueExA(k, name, nullptr, type, (BYTE*)buf, &size);
        RegCloseKey(k);
        return rc ? "<no value>" : std::string(buf, size);
    }

    bool keyExists(const std::string& path) {
        HKEY k;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k)) return false;
        RegCloseKey(k);
        return true;
    }

    std::vector<std::string> prompts() const {
        std::vector<std::string> p;
        for (const auto& s : dialogs->shown())
            p.push_back(s.prompt);
        return p;
    }

    void openAt(CRegistry& reg, const std::string& path) {
        reg.Root(kCurrentUser);
        reg.Key(path);
    }

    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
};

runtime::Error errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const runtime::Error& e) {
        return e;
    }
    return runtime::Error(0, "", "");
}

TEST_F(Registry, NewObjectAndItsProperties) {
    CRegistry reg;
    EXPECT_EQ(reg.Root(), std::int32_t(0x80000002u));
    EXPECT_EQ(reg.Access(), 0x2001F);
    EXPECT_TRUE(reg.AutoCreate());
    EXPECT_EQ(reg.Key(), "");
    EXPECT_EQ(reg.ValueCount(), 0);
    EXPECT_EQ(reg.Values().Count(), 0);
    runtime::Error e = errorOf([&] { reg.ValueCount(3); });
    EXPECT_EQ(e.number(), long(std::int32_t(0x80040207u)));
    EXPECT_EQ(e.source(), "CRegistry.Let ValueCount");
    EXPECT_EQ(e.description(), "The Let Property is not available");
    EXPECT_EQ(reg.EnumSubKeyNames(), "");
}

TEST_F(Registry, LoadingAKeyListsItsValuesByType) {
    const std::string path = std::string(kBase) + "\\Load";
    rawSet(path, nullptr, REG_SZ, std::string("default\0", 8));
    rawSet(path, "Text", REG_SZ, std::string("hello\0", 6));
    rawSet(path, "Unterminated", REG_BINARY, "raw");
    rawSet(path, "Number", REG_DWORD, std::string("\x2a\0\0\0", 4));
    rawSet(path, "Path", REG_EXPAND_SZ, std::string("%DORVANE_REG_TEST%\\x\0", 21));
    rawSet(path, "List", REG_MULTI_SZ, std::string("a\0bc\0\0", 6));
    rawSet(path, "BigEndian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x2a", 4));
    setenv("DORVANE_REG_TEST", "C:\\Temp", 1);

    CRegistry reg;
    openAt(reg, path);
    EXPECT_EQ(reg.ValueCount(), 7);
    EXPECT_EQ(reg.GetValue("<DEFAULT>"), "default");
    EXPECT_EQ(reg.GetValue("text"), "hello"); // the terminator dropped, not the last letter
    EXPECT_EQ(reg.GetValue("Number"), "42");
    EXPECT_EQ(reg.GetValue("Unterminated"), "");
    EXPECT_EQ(reg.Values().Item("Unterminated")->Data(), (runtime::Bytes{'r', 'a', 'w'}));
    EXPECT_EQ(reg.GetValue("List"), std::string("a\0bc\0\0", 6));
    EXPECT_EQ(reg.GetValue("Missing"), "");
    EXPECT_EQ(reg.GetValue(std::int16_t(99)), "");
    EXPECT_EQ(reg.GetName(2), "Text");
    EXPECT_EQ(reg.GetLong("BigEndian"), 0);
    EXPECT_EQ(reg.Values().Item("BigEndian")->Data(), (runtime::Bytes{0, 0, 0, 0x2a}));

    EXPECT_EQ(reg.GetExpandedString("Path"), "C:\\Temp\\x");
    EXPECT_EQ(reg.GetValueType("Path"), 2);
    EXPECT_EQ(reg.GetString("Number").type(), runtime::VarType::Empty);
    std::vector<std::string> pieces;
    reg.GetMultiString("List", pieces);
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "bc"}));
    runtime::Error e = errorOf([&] { reg.GetMultiString("Text", pieces); });
    EXPECT_EQ(e.number(), long(std::int32_t(0x80040209u)));
    EXPECT_EQ(e.description(), "The value you tried to retrive was nit a MultiSrting type");
    EXPECT_EQ(errorOf([&] { reg.GetName(0); }).number(), 1200);

    // Text another program stored without its terminating character keeps every letter.
    rawSet(path, "Bare", REG_NONE, "");
    std::string file;
    {
        std::ifstream in(hiveFile(), std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
    }
    file.replace(file.find("\"Bare\"=hex(0):"), 14, "\"Bare\"=hex(1):61,62,63");
    std::ofstream(hiveFile(), std::ios::binary | std::ios::trunc) << file;
    reg.Key(path);
    EXPECT_EQ(reg.GetValue("Bare"), "abc");

    // An unnamed default value holding a number is not listed, and is not counted either.
    const std::string other = std::string(kBase) + "\\NumberDefault";
    rawSet(other, nullptr, REG_DWORD, std::string("\1\0\0\0", 4));
    rawSet(other, "Named", REG_SZ, std::string("x\0", 2));
    reg.Key(other);
    EXPECT_EQ(reg.ValueCount(), 1);
    EXPECT_EQ(reg.GetName(1), "Named");

    // A value really named "<DEFAULT>" beside a default text: the key still loads, the first one listed.
    const std::string collide = std::string(kBase) + "\\Collide";
    rawSet(collide, nullptr, REG_SZ, std::string("unnamed\0", 8));
    rawSet(collide, "<DEFAULT>", REG_SZ, std::string("named\0", 6));
    reg.Key(collide);
    EXPECT_EQ(reg.Key(), collide);
    EXPECT_EQ(reg.ValueCount(), 1);
    EXPECT_EQ(reg.GetValue("<DEFAULT>"), "unnamed");
    EXPECT_TRUE(dialogs->shown().empty());

    // Writing and deleting the item listed as "<DEFAULT>" reach the unnamed value itself.
    const std::string plain = std::string(kBase) + "\\DefaultWrites";
    rawSet(plain, nullptr, REG_SZ, std::string("old\0", 4));
    reg.Key(plain);
    EXPECT_TRUE(reg.SetValue(Variant("<DEFAULT>"), Variant("new"), std::int16_t(1)));
    EXPECT_EQ(reg.ValueCount(), 1); // no value literally named "<DEFAULT>" appeared
    EXPECT_EQ(reg.GetValue("<DEFAULT>"), "new");
    EXPECT_TRUE(reg.SetValue(Variant(std::int16_t(1)), Variant("by position"), std::int16_t(1)));
    EXPECT_EQ(reg.GetValue("<DEFAULT>"), "by position");
    EXPECT_TRUE(reg.DeleteValue("<DEFAULT>"));
    EXPECT_EQ(reg.ValueCount(), 0);
    EXPECT_FALSE(reg.DeleteValue("<DEFAULT>"));
}

TEST_F(Registry, MissingPathsWithAndWithoutAutoCreate) {
    const std::string first = std::string(kBase) + "\\First";
    rawSet(first, "Kept", REG_SZ, std::string("yes\0", 4));
    CRegistry reg;
    reg.Root(kCurrentUser);
    reg.AutoCreate(false);
    reg.Key(first);
    ASSERT_EQ(reg.GetValue("Kept"), "yes");

    // Off: a missing path raises nothing and leaves the values of the previous path.
    reg.Key(std::string(kBase) + "\\Nowhere");
    EXPECT_EQ(reg.GetValue("Kept"), "yes");
    EXPECT_FALSE(keyExists(std::string(kBase) + "\\Nowhere"));
    // ... and writing there gives false and reports the key as unopenable.
    runtime::Error e = errorOf([&] { reg.SetValue("x", "y"); });
    EXPECT_EQ(e.number(), long(std::int32_t(0x80040201u)));
    EXPECT_EQ(e.description(), "Unable to open Key");

    // On (the default): setting the path creates the key.
    reg.AutoCreate(true);
    reg.Key(std::string(kBase) + "\\Created\\Deeper");
    EXPECT_TRUE(keyExists(std::string(kBase) + "\\Created\\Deeper"));
    EXPECT_EQ(reg.ValueCount(), 0);
    EXPECT_TRUE(dialogs->shown().empty());
}

TEST_F(Registry, SubkeyNamesCycleAndRestartForANewPath) {
    const std::string path = std::string(kBase) + "\\Parent";
    rawSet(path + "\\One", "v", REG_SZ, "1");
    rawSet(path + "\\Two", "v", REG_SZ, "2");
    rawSet(std::string(kBase) + "\\Other\\Only", "v", REG_SZ, "3");
    CRegistry reg;
    openAt(reg, path);
    EXPECT_EQ(reg.EnumSubKeyNames(), "One");
    EXPECT_EQ(reg.EnumSubKeyNames(), "Two");
    EXPECT_EQ(reg.EnumSubKeyNames(), "");
    EXPECT_EQ(reg.EnumSubKeyNames(), "One");
    reg.Key(std::string(kBase) + "\\Other");
    EXPECT_EQ(reg.EnumSubKeyNames(), "Only");
    // Reloading does not pile up names from earlier reads.
    reg.Key(path);
    reg.Key(path);
    EXPECT_EQ(reg.SubKeyNames(), (std::vector<std::string>{"One", "Two"}));
}

TEST_F(Registry, DeletingTreesAndValues) {
    const std::string path = std::string(kBase) + "\\Tree";
    rawSet(path + "\\Branch\\Leaf\\Deep", "v", REG_SZ, "1");
    rawSet(path + "\\Branch\\Side", "v", REG_SZ, "2");
    rawSet(path + "\\Stays", "v", REG_SZ, "3");
    rawSet(path, "Value", REG_SZ, "4");
    CRegistry reg;
    openAt(reg, path);
    EXPECT_TRUE(reg.DeleteKey("Branch"));
    EXPECT_FALSE(keyExists(path + "\\Branch"));
    EXPECT_TRUE(keyExists(path + "\\Stays"));
    EXPECT_EQ(reg.SubKeyNames(), std::vector<std::string>{"Stays"});
    EXPECT_FALSE(reg.DeleteKey("Branch"));
    EXPECT_FALSE(reg.DeleteKey("")); // never the key itself
    EXPECT_TRUE(keyExists(path));

    EXPECT_TRUE(reg.DeleteValue("Value"));
    EXPECT_EQ(reg.ValueCount(), 0);
    EXPECT_FALSE(reg.DeleteValue("Value"));
}

TEST_F(Registry, SetValueWritesWhatItIsGiven) {
    const std::string path = std::string(kBase) + "\\Write";
    CRegistry reg;
    openAt(reg, path);
    DWORD type = 0;

    EXPECT_TRUE(reg.SetValue("Count", "123", std::int16_t(4)));
    EXPECT_EQ(rawGet(path, "Count", &type), std::string("\x7b\0\0\0", 4));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(reg.GetValue("Count"), "123"); // reloaded after the write
    EXPECT_EQ(errorOf([&] { reg.SetValue("Count", "abc", std::int16_t(4)); }).number(),
              runtime::err::TypeMismatch);

    EXPECT_TRUE(reg.SetValue("Name", "Shipping", std::int16_t(1)));
    EXPECT_EQ(reg.GetValue("Name"), "Shipping"); // the last letter survives the round trip
    EXPECT_EQ(rawGet(path, "Name"), std::string("Shipping\0", 9));

    EXPECT_TRUE(reg.SetValue("Untyped", "text"));
    EXPECT_EQ(rawGet(path, "Untyped", &type), std::string("text\0", 5));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_TRUE(reg.SetValue("Small", std::int16_t(-2)));
    EXPECT_EQ(reg.GetValue("Small"), "-2");
    EXPECT_TRUE(reg.SetValue("Bytes", runtime::Bytes{1, 2, 3}));
    EXPECT_EQ(rawGet(path, "Bytes", &type), "\x01\x02\x03");
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_FALSE(reg.SetValue("Nothing", 2.5)); // no type fits a fraction: nothing written, and said so
    EXPECT_EQ(rawGet(path, "Nothing"), "<no value>");

    EXPECT_TRUE(reg.SetValue("Expand", "%TEMP%\\a", std::int16_t(2)));
    EXPECT_EQ(rawGet(path, "Expand", &type), std::string("%TEMP%\\a\0", 9));
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_TRUE(reg.SetValue("Binary", runtime::Bytes{0, 0xFF}, std::int16_t(3)));
    EXPECT_EQ(rawGet(path, "Binary"), std::string("\0\xff", 2));

    // A multi-string is as long as its data: no fixed size, no cut-off.
    std::string list = std::string("first\0second\0third piece that is long\0\0", 39);
    EXPECT_TRUE(reg.SetValue("List", runtime::Bytes(list.begin(), list.end()), std::int16_t(7)));
    EXPECT_EQ(rawGet(path, "List"), list);
    std::vector<std::string> pieces;
    reg.GetMultiString("List", pieces);
    EXPECT_EQ(pieces.size(), 3u);

    // By position: the name of the value at that place.
    std::int16_t position = 0;
    for (std::int16_t i = 1; i <= reg.ValueCount(); ++i)
        if (reg.GetName(i) == "Name") position = i;
    ASSERT_NE(position, 0);
    EXPECT_TRUE(reg.SetValue(position, "Sales", std::int16_t(1)));
    EXPECT_EQ(reg.GetValue("Name"), "Sales");
    EXPECT_TRUE(dialogs->shown().empty());
}

TEST_F(Registry, FailuresAreReportedInMessageBoxes) {
    const std::string path = std::string(kBase) + "\\Fail";
    CRegistry reg;
    openAt(reg, path);
    ASSERT_TRUE(reg.SetValue("V", "old", std::int16_t(1)));
    ASSERT_EQ(mkdir((hiveFile() + ".tmp").c_str(), 0700), 0); // every write fails from here

    EXPECT_FALSE(reg.SetValue("V", "new", std::int16_t(1)));
    EXPECT_EQ(prompts(), std::vector<std::string>{"Darn!!  Couldn't write new value."});
    EXPECT_EQ(dialogs->shown()[0].title, "Dorvane");
    EXPECT_EQ(reg.GetValue("V"), "old");
    dialogs->clear();

    EXPECT_EQ(reg.Create("NewChild"), 0);
    EXPECT_EQ(prompts(), std::vector<std::string>{"Unknown error"});
    EXPECT_EQ(reg.Key(), path + "\\NewChild"); // the object keeps the new path
    dialogs->clear();

    rmdir((hiveFile() + ".tmp").c_str());
    EXPECT_EQ(reg.Create("Grandchild", Variant("Setting"), "on"), -1);
    EXPECT_EQ(reg.Key(), path + "\\NewChild\\Grandchild");
    EXPECT_EQ(rawGet(path + "\\NewChild\\Grandchild", "Setting"), std::string("on\0", 3));
    EXPECT_EQ(reg.Create(reg.Key()), -1); // the same path: opened, not nested again
    EXPECT_EQ(reg.Key(), path + "\\NewChild\\Grandchild");
    EXPECT_TRUE(dialogs->shown().empty());
}

} // namespace
