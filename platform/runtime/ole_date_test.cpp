#include "runtime/clock.h"
#include "runtime/ole_date.h"

#include <gtest/gtest.h>

using namespace runtime;

TEST(Date, SerialsMatchThePlatformsCalendar) {
    EXPECT_EQ(Date::fromYmd(1899, 12, 30).serial, 0);
    EXPECT_EQ(Date::fromYmd(1900, 1, 1).serial, 2);
    EXPECT_EQ(Date::fromYmd(2026, 12, 8).serial, 46364);
    EXPECT_EQ(Date::fromYmd(2024, 2, 29).addDays(365).isoDate(), "2025-02-28");
    EXPECT_EQ(Date::fromYmd(2026, 13, 1).isoDate(), "2027-01-01"); // months overflow as DateSerial
    EXPECT_EQ(Date::fromYmd(2026, 3, 0).isoDate(), "2026-02-28");
    EXPECT_EQ(Date::fromYmd(2026, 12, 8).weekday(), 3); // Tuesday
}

TEST(Date, TimeOfDayAndDatesBeforeTheEpoch) {
    Date d = Date::fromYmdHms(2026, 12, 8, 14, 30, 0);
    EXPECT_NEAR(d.serial - 46364, 0.6041666, 1e-6);
    EXPECT_EQ(d.hour(), 14);
    EXPECT_EQ(d.minute(), 30);
    EXPECT_EQ(d.datePart().serial, 46364);
    EXPECT_EQ(d.iso(), "2026-12-08 14:30:00");

    // Before 1899-12-30 the fraction still counts forward from midnight.
    Date early{-1.25};
    EXPECT_EQ(early.isoDate(), "1899-12-29");
    EXPECT_EQ(early.hour(), 6);
    EXPECT_EQ(Date::fromYmdHms(1899, 12, 29, 6, 0, 0).serial, -1.25);
}

TEST(Date, IsoTextRoundTripsAndRejectsNonsense) {
    EXPECT_EQ(Date::fromIso("2026-12-08 14:30:05").iso(), "2026-12-08 14:30:05");
    EXPECT_FALSE(Date::tryIso("2026-02-30"));
    EXPECT_FALSE(Date::tryIso("2026-12-08xyz"));
    EXPECT_FALSE(Date::tryIso("2026-12-08 25:00:00"));
    EXPECT_FALSE(Date::tryIso(""));
}

TEST(Clock, TestsCanFixToday) {
    setClock(Date::fromYmdHms(2026, 12, 8, 9, 15, 0));
    EXPECT_EQ(Today(), Date::fromYmd(2026, 12, 8));
    EXPECT_EQ(Now().minute(), 15);
    setClock(std::nullopt);
    EXPECT_GT(Today().serial, 46000);
}
