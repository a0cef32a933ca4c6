#include "field_typing.h"

#include <gtest/gtest.h>

namespace vxtime {
namespace {

constexpr FieldRange kHour24{0, 23}, kHour12{1, 12}, kMinute{0, 59};

TEST(FieldTyping, TensDigitTooLargeMovesToTheUnitsPlace) {
    // "12" with the caret on the tens: "7" gives "07" and the caret skips the units place.
    EXPECT_EQ(typeDigit(12, kHour24, 1, 7, false), (DigitTyped{7, false, true}));
    EXPECT_EQ(typeDigit(kEmptyField, kMinute, 1, 6, true), (DigitTyped{6, false, true}));
    EXPECT_EQ(typeDigit(kEmptyField, kHour12, 1, 2, true), (DigitTyped{2, false, true}));
    EXPECT_EQ(typeDigit(kEmptyField, kMinute, 1, 5, true), (DigitTyped{-50, false, false})); // "5_"
    EXPECT_EQ(typeDigit(45, kMinute, 1, 2, false), (DigitTyped{25, false, false}));          // overwrite
}

TEST(FieldTyping, UnitsDigitTooLargeIsRefused) {
    // Typing "2" then "5" into an empty 24-hour hour: "2_", then refused, still "2_".
    const DigitTyped first = typeDigit(0, kHour24, 1, 2, true);
    EXPECT_EQ(first, (DigitTyped{-20, false, false}));
    EXPECT_EQ(typeDigit(first.value, kHour24, 0, 5, false), (DigitTyped{-20, true, false}));
    EXPECT_EQ(typeDigit(first.value, kHour24, 0, 3, false), (DigitTyped{23, false, false}));
    // "1_" in a twelve-hour hour: "5" is refused, "0" and "2" complete it.
    EXPECT_EQ(typeDigit(-10, kHour12, 0, 5, false), (DigitTyped{-10, true, false}));
    EXPECT_EQ(typeDigit(-10, kHour12, 0, 2, false), (DigitTyped{12, false, false}));
    EXPECT_EQ(typeDigit(-10, kHour12, 0, 0, false), (DigitTyped{10, false, false}));
    // A tens digit that fits but leaves the old units too large keeps the tens and empties the units.
    EXPECT_EQ(typeDigit(19, kHour24, 1, 2, false), (DigitTyped{-20, false, false}));
}

TEST(FieldTyping, BelowTheLowLimitOfATwelveHourHour) {
    EXPECT_EQ(typeDigit(kZeroTens, kHour12, 0, 0, true), (DigitTyped{kZeroTens, true, false}));    // "00"
    EXPECT_EQ(typeDigit(kEmptyField, kHour12, 1, 0, true), (DigitTyped{kZeroTens, false, false})); // "0_"
    EXPECT_EQ(typeDigit(kZeroTens, kHour12, 0, 9, false), (DigitTyped{9, false, false}));          // "09"
    EXPECT_EQ(typeDigit(kEmptyField, kMinute, 1, 0, true), (DigitTyped{kZeroTens, false, false}));
    EXPECT_EQ(typeDigit(kZeroTens, kMinute, 0, 0, false), (DigitTyped{0, false, false})); // "00"
    EXPECT_EQ(deleteDigits(kZeroTens, 0), kZeroTens);
    EXPECT_EQ(deleteDigits(kZeroTens, 1), kEmptyField);
    EXPECT_EQ(typeDigit(0, kHour12, 0, 7, false), (DigitTyped{7, false, false})); // "07"
}

TEST(FieldTyping, DeletingEmptiesThePlaceAndTheRest) {
    EXPECT_EQ(deleteDigits(25, 0), -20);
    EXPECT_EQ(deleteDigits(25, 1), kEmptyField);
    EXPECT_EQ(deleteDigits(-20, 1), kEmptyField);
    EXPECT_EQ(deleteDigits(kEmptyField, 0), kEmptyField);
    EXPECT_EQ(deleteDigits(5, 0), kEmptyField); // "05" loses its units: no negative zero to keep "0_"
}

TEST(FieldTyping, AmPmKeys) {
    EXPECT_EQ(ampmFromKey('p'), kPm);
    EXPECT_EQ(ampmFromKey('A'), kAm);
    EXPECT_EQ(ampmFromKey('x'), kAmPmNone);
    EXPECT_EQ(ampmFromKey('m'), kAmPmNone);
}

} // namespace
} // namespace vxtime
