#include "runtime/clock.h"
#include "runtime/locale_text.h"

#include <gtest/gtest.h>

using namespace runtime;

TEST(DateText, ShortAndLongDatesFollowTheLocale) {
    setDateLocale("en_US");
    Date d = Date::fromYmd(2026, 12, 8);
    EXPECT_EQ(shortDateText(d), "12/8/2026");
    EXPECT_EQ(longDateText(d), "Tuesday, December 8, 2026");
    setDateLocale("de_DE");
    EXPECT_EQ(shortDateText(d), "08.12.2026");
    EXPECT_EQ(parseDateText("8.12.2026"), d);
    EXPECT_EQ(parseDateText("08.12.26"), d);
    setDateLocale("en_US");
}

// A refused date tells the clerk how to write one, in the order the clerk's locale reads it.
TEST(DateText, TheFormHintIsWrittenAsItIsRead) {
    for (auto [locale, hint] : {std::pair{"en_US", "a date such as 12/31/2026 (month/day/year)"},
                                {"de_DE", "a date such as 31.12.2026 (day.month.year)"},
                                {"en_GB", "a date such as 31/12/2026 (day/month/year)"}}) {
        setDateLocale(locale);
        EXPECT_EQ(dateFormHint(), hint) << locale;
        EXPECT_EQ(parseDayText(shortDateText(Date::fromYmd(2026, 12, 31))), Date::fromYmd(2026, 12, 31))
            << locale;
    }
    setDateLocale("en_US");
}

TEST(DateText, ReadsWhatClerksType) {
    setDateLocale("en_US");
    setClock(Date::fromYmd(2026, 12, 8));
    Date d = Date::fromYmd(2026, 12, 15);
    EXPECT_EQ(parseDateText("12/15/2026"), d);
    EXPECT_EQ(parseDateText("12-15-26"), d);
    EXPECT_EQ(parseDateText(" 12/15 "), d); // the current year
    EXPECT_EQ(parseDateText("2026-12-15"), d);
    EXPECT_EQ(parseDateText("Dec 15, 2026"), d);
    EXPECT_EQ(parseDateText("Tuesday, December 15, 2026"), d);
    EXPECT_EQ(parseDateText("12/15/2026 2:30 PM"), Date::fromYmdHms(2026, 12, 15, 14, 30, 0));
    EXPECT_EQ(parseDateText("1/1/29")->year(), 2029);
    EXPECT_EQ(parseDateText("1/1/30")->year(), 1930);
    EXPECT_EQ(parseDateText("14:30")->serial, 14.5 / 24);
    // A shipment's day: the time typed after it is dropped, a time alone names no day.
    EXPECT_EQ(parseDayText("12/15/2026 10:30"), d);
    EXPECT_FALSE(parseDayText("10:30"));
    for (const char* bad : {"", "next week", "2/30/2026", "12/15/2026 25:00", "15/12/2026", "12//15", "1.5"})
        EXPECT_FALSE(parseDateText(bad)) << bad;
    setClock(std::nullopt);
}
