#include "time_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vxtime {
namespace {

constexpr HourStyle k24Hour{-1};
constexpr HourStyle kUpperAmPm{4}; // "AM/PM"
constexpr HourStyle kJapanese{2};  // "AMPM"

TEST(TimeNumber, SplitsTwelveHourFormatsWithTheZeroHourRule) {
    EXPECT_EQ(splitTime(3000, kUpperAmPm), (TimeFields{12, 30, 0, kAm}));
    EXPECT_EQ(splitTime(3000, kJapanese), (TimeFields{0, 30, 0, kAm}));
    EXPECT_EQ(splitTime(3000, HourStyle{3}), (TimeFields{0, 30, 0, kAm})); // "am/pm" keeps it too
    EXPECT_EQ(splitTime(3000, HourStyle{0}), (TimeFields{12, 30, 0, kAm}));
    EXPECT_EQ(splitTime(123000, kJapanese), (TimeFields{12, 30, 0, kPm}));
    EXPECT_EQ(splitTime(130500, kUpperAmPm), (TimeFields{1, 5, 0, kPm}));
    EXPECT_EQ(splitTime(115959, kUpperAmPm), (TimeFields{11, 59, 59, kAm}));
    EXPECT_EQ(splitTime(3000, k24Hour), (TimeFields{0, 30, 0, kAm}));
    EXPECT_EQ(splitTimePlain(130500).hour, 13);
}

TEST(TimeNumber, JoinInvertsSplitForEveryTimeOfDayAndStyle) {
    for (int token = -1; token < 5; ++token) {
        const HourStyle style{token};
        for (int s = 0; s < 86400; ++s) {
            const std::int32_t n = s / 3600 * 10000 + s % 3600 / 60 * 100 + s % 60;
            ASSERT_EQ(joinTime(splitTime(n, style), style), n) << "token " << token << " time " << n;
        }
    }
}

TEST(TimeNumber, IncompleteFieldsJoinToANegativeNumber) {
    EXPECT_LT(joinTime({-20, 30, 0, kAm}, k24Hour), 0); // an incomplete hour must not turn positive
    EXPECT_EQ(joinTime({12, -30, 0, kAm}, k24Hour), -123000);
    EXPECT_EQ(joinTime({0, 0, -0, kAm}, k24Hour), 0);
    EXPECT_LT(joinTime({0, 0, 0, kAmPmNone}, kUpperAmPm), 0); // emptied AM/PM field at midnight
    EXPECT_EQ(joinTime({3, 15, 0, kAmPmNone}, kUpperAmPm), -31500);
}

TEST(TimeNumber, ValueConversions) {
    EXPECT_DOUBLE_EQ(numberToValue(120000), 0.5);
    EXPECT_DOUBLE_EQ(numberToValue(180000), 0.75);
    EXPECT_EQ(numberToValue(0), 0.0);
    EXPECT_EQ(valueToNumber(1.75), 180000);     // the date part is dropped
    EXPECT_EQ(valueToNumber(-0.25), 60000);     // the sign is dropped
    EXPECT_EQ(valueToNumber(0.99999999), 0);    // the half second passes midnight
    EXPECT_EQ(valueToNumber(45000.5), 120000);  // a full OLE date
    EXPECT_EQ(valueToNumber(0.999994), 235959); // rounds down when short of the half second
    EXPECT_FALSE(valueToNumber(std::nan("")));
    EXPECT_FALSE(valueToNumber(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(valueToNumber(1e300), 0);
    for (std::int32_t n : {0, 1, 59, 3000, 123045, 235959})
        EXPECT_EQ(valueToNumber(numberToValue(n)), n);
}

TEST(TimeNumber, TimeOfDayRange) {
    EXPECT_TRUE(isTimeOfDay(0));
    EXPECT_TRUE(isTimeOfDay(235959));
    EXPECT_FALSE(isTimeOfDay(240000));
    EXPECT_FALSE(isTimeOfDay(126000));
    EXPECT_FALSE(isTimeOfDay(120060));
    EXPECT_FALSE(isTimeOfDay(-1));
    EXPECT_FALSE(isTimeOfDay(kNoTime));
}

} // namespace
} // namespace vxtime
