#include "widgets/month_calendar.h"
#include "widgets/tab_strip.h"
#include "widgets/timer.h"

#include <gtest/gtest.h>

using namespace widgets;

TEST(TabStrip, IndexesFromOneAndClicksOnEverySelection) {
    TabStrip tabs;
    tabs.addTab1("Today", "Today's shipments");
    tabs.addTab1("All", "All shipments");
    int clicks = 0;
    QObject::connect(&tabs, &TabStrip::Click, [&] { ++clicks; });
    tabs.setSelectedIndex(2);
    EXPECT_EQ(tabs.SelectedIndex(), 2);
    EXPECT_EQ(tabs.SelectedCaption(), "All");
    tabs.setSelectedIndex(2); // re-selecting the same tab still re-queries
    EXPECT_EQ(clicks, 2);
    tabs.setCurrentIndex(0); // as a user's click
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(tabs.tabToolTip(0), "Today's shipments");
}

TEST(Timer, FiresOnlyWhileEnabled) {
    Timer t;
    int ticks = 0;
    QObject::connect(&t, &Timer::Tick, [&] { ++ticks; });
    t.setInterval(60000);
    t.fire();
    t.setEnabled(true);
    t.fire();
    t.fire();
    EXPECT_EQ(ticks, 2);
}

TEST(MonthCalendar, ValueIsADateAndOnlyDayClicksRaiseClick) {
    MonthCalendar cal;
    int clicks = 0;
    QObject::connect(&cal, &MonthCalendar::Click, [&] { ++clicks; });
    cal.setValue(runtime::Date::fromYmd(2026, 12, 8));
    EXPECT_EQ(cal.Value(), runtime::Date::fromYmd(2026, 12, 8));
    cal.showNextMonth();
    EXPECT_EQ(clicks, 0);
}
