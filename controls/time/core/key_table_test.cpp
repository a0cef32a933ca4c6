#include "key_table.h"

#include <gtest/gtest.h>

namespace vxtime {
namespace {

TEST(KeyTable, ParsesNamesPrefixesAndLists) {
    EXPECT_EQ(parseKeyList(""), std::vector<KeyBinding>{});
    EXPECT_EQ(parseKeyList("{F2}"), (std::vector<KeyBinding>{{113, 0}}));
    EXPECT_EQ(parseKeyList("+^{enter},^+{Escape},{space},{UP},{down}"),
              (std::vector<KeyBinding>{{13, 3}, {27, 3}, {32, 0}, {38, 0}, {40, 0}}));
    EXPECT_EQ(parseKeyList("{F12},{z}"), (std::vector<KeyBinding>{{123, 0}, {'Z', 0}}));
    for (const char* bad : {"F2", "{F2", "{F2} ", " {F2}", "{F2},", ",{F2}", "{}", "{F13}", "{F0}", "{AB}",
                            "++{F2}", "{F2}x", "%{F2}", "{1}", "{F1},{F2},{F3},{F4},{F5},{F6}"})
        EXPECT_FALSE(parseKeyList(bad)) << bad;
}

TEST(KeyTable, KeysBelongToOnePropertyAndMatchExactly) {
    KeyTable table = KeyTable::withDefaults();
    EXPECT_EQ(table.match(113, 0), 0);
    EXPECT_EQ(table.match(114, 0), 4);
    EXPECT_EQ(table.match(113, kShiftBit), -1);
    EXPECT_EQ(table.match(113, kAltBit), -1);
    EXPECT_EQ(table.match(0, 0), -1); // free entries never match

    // KeyNow "{F2}" while KeyClear holds it: refused and KeyNow keeps "{F3}".
    EXPECT_FALSE(table.assign(KeyGroup::Now, "{F2}"));
    EXPECT_EQ(table.match(114, 0), 4);
    EXPECT_TRUE(table.assign(KeyGroup::Now, "+{F2}")); // other modifiers, another key
    EXPECT_EQ(table.match(114, 0), -1);

    // Reassigning a property may keep its own keys; an empty string frees them.
    EXPECT_TRUE(table.assign(KeyGroup::Clear, "{F2},{ESCAPE}"));
    EXPECT_EQ(table.entry(KeyGroup::Clear, 1), (KeyBinding{27, 0}));
    EXPECT_TRUE(table.assign(KeyGroup::Next, "{ENTER}"));
    EXPECT_EQ(table.match(13, 0), 1);
    EXPECT_TRUE(table.assign(KeyGroup::Clear, ""));
    EXPECT_EQ(table.match(113, 0), -1);
    EXPECT_EQ(table.entry(KeyGroup::Clear, 0), KeyBinding{});
    EXPECT_FALSE(table.assign(KeyGroup::Previous, "{bogus}"));
    EXPECT_EQ(table.match(13, 0), 1);
}

} // namespace
} // namespace vxtime
