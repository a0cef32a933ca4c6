#include "key_sequence.h"

#include <gtest/gtest.h>

namespace vxtime {
namespace {

// A US layout for the letters: "A" needs Shift.
int usLayout(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= 'A' && c <= 'Z') return 0x100 | c;
    return -1;
}

TEST(KeySequence, ModifiersWrapTheKeyThatFollows) {
    EXPECT_EQ(keySequence("+{TAB}", usLayout),
              (std::vector<PlayedKey>{
                  {0x10, true, false}, {0x09, true, false}, {0x09, false, false}, {0x10, false, false}}));
    EXPECT_EQ(keySequence("~a", usLayout),
              (std::vector<PlayedKey>{
                  {0x0D, true, false}, {0x0D, false, false}, {'A', true, false}, {'A', false, false}}));
    // Alt plays system keys until Alt itself is released; F10 is a system key alone.
    EXPECT_EQ(keySequence("%{F10}", usLayout),
              (std::vector<PlayedKey>{
                  {0x12, true, true}, {0x79, true, true}, {0x79, false, true}, {0x12, false, false}}));
    EXPECT_EQ(keySequence("B", usLayout)->front(), (PlayedKey{0x10, true, false})); // Shift from the layout
    EXPECT_FALSE(keySequence("{TAB", usLayout));
    EXPECT_FALSE(keySequence("{NOPE}", usLayout));
    EXPECT_FALSE(keySequence("1", usLayout));
    EXPECT_EQ(keySequence("", usLayout), std::vector<PlayedKey>{});
}

} // namespace
} // namespace vxtime
