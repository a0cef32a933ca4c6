#include "runtime/numbers.h"

#include <gtest/gtest.h>

using namespace runtime;

TEST(Val, ReadsTheLeadingNumberIgnoringBlanks) {
    EXPECT_EQ(Val("  1 2 3 boxes"), 123);
    EXPECT_EQ(Val("-4.5e2x"), -450);
    EXPECT_EQ(Val("1.2.3"), 1.2);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("&H10"), 16);
    EXPECT_EQ(Val("&HFFFF"), -1);
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("1e"), 1);
    EXPECT_EQ(Val(".5"), 0.5);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
    EXPECT_EQ(roundHalfEven(1.125, 2), 1.12);
    EXPECT_EQ(roundHalfEven(1.135, 2), 1.14);
}

TEST(Text, TrimTouchesOnlySpaces) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\tx\t"), "\tx\t");
    EXPECT_EQ(LTrim("  x "), "x ");
    EXPECT_EQ(RTrim("  x "), "  x");
    EXPECT_TRUE(equalsNoCase("False", "FALSE"));
    EXPECT_FALSE(equalsNoCase("False", "FALS"));
    EXPECT_EQ(UCase("sales"), "SALES");
}
