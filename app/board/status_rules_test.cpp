#include "board/status_rules.h"

#include <gtest/gtest.h>

using namespace board;
using runtime::Date;

namespace {
#define kDay Date::fromYmd(2026, 12, 8)
ShipmentFlags row(bool late, bool hasReq, bool shipped, bool canceled, bool ok = false) {
    ShipmentFlags s;
    s.late = late;
    if (hasReq) s.reqShipDate = kDay;
    if (shipped) s.actShipDate = kDay;
    s.canceled = canceled;
    s.okToShip = ok;
    return s;
}
} // namespace

TEST(StatusRules, OrderStatusFirstRuleWins) {
    EXPECT_EQ(orderStatus(row(true, true, false, false)).text, "Order Status:  Late Shipment");
    EXPECT_EQ(orderStatus(row(true, true, true, false)).text, "Order Status: Shipped Late");
    EXPECT_FALSE(orderStatus(row(true, true, true, false)).cancelDeleteEnabled);
    EXPECT_EQ(orderStatus(row(false, false, false, false)).text, "Order Status:  Ship ASAP");
    EXPECT_EQ(orderStatus(row(false, false, true, false)).text, "Order Status:  Shipped ASAP");
    EXPECT_EQ(orderStatus(row(false, true, true, false)).text, "Order Status:  Shipped");
    EXPECT_EQ(orderStatus(row(false, true, false, true)).text, "Order Status:  Canceled");
    EXPECT_TRUE(orderStatus(row(false, true, false, true)).cancelDeleteEnabled);
    EXPECT_EQ(orderStatus(row(false, true, false, false)).text, "Order Status:  On-Time");
    // Canceled and late: rule 1 comes first in the status line, but the row is styled canceled.
    EXPECT_EQ(orderStatus(row(true, true, false, true)).text, "Order Status:  Late Shipment");
    EXPECT_EQ(rowStyle(row(true, true, false, true)), "Canceled");
}

TEST(StatusRules, RowStyleLastTestWins) {
    EXPECT_EQ(rowStyle(row(false, true, false, false)), "");
    EXPECT_EQ(rowStyle(row(true, true, false, false)), "Late");
    EXPECT_EQ(rowStyle(row(true, false, false, false)), "ASAP");  // unshipped ASAP that is late
    EXPECT_EQ(rowStyle(row(true, true, true, false)), "Shipped"); // shipped late
    EXPECT_EQ(rowStyle(row(false, true, true, true)), "Canceled");
}

TEST(StatusRules, TabsAndTheirFilters) {
    EXPECT_TRUE(onTab(row(true, true, true, false), StatusTab::Late));
    EXPECT_TRUE(onTab(row(true, true, true, false), StatusTab::Shipped));
    EXPECT_FALSE(onTab(row(true, true, false, false), StatusTab::Scheduled));
    EXPECT_TRUE(onTab(row(false, true, false, false), StatusTab::Scheduled));
    EXPECT_FALSE(onTab(row(false, true, false, true, true), StatusTab::Today));
    EXPECT_TRUE(onTab(row(false, true, false, false, true), StatusTab::Today));
    EXPECT_TRUE(onTab(row(false, true, false, true), StatusTab::All));
    EXPECT_EQ(tabFilter(StatusTab::Scheduled),
              "Shipments.Late <> Yes AND Shipments.ActShipDate IS NULL AND Shipments.Canceled = No");
    EXPECT_EQ(tabFilter(StatusTab::All), "");
    EXPECT_EQ(tabFilter(StatusTab::Shipped), "Shipments.ActShipDate IS NOT NULL AND Shipments.Canceled = No");
}

// A canceled row's date column holds the day it was canceled: it is neither shipped nor shown with
// the shipped orders, and it can be deleted from the Canceled tab.
TEST(StatusRules, ACancelDateIsNoShipDate) {
    for (bool late : {false, true})
        for (bool hasReq : {false, true}) {
            ShipmentFlags canceled = row(late, hasReq, true, true);
            EXPECT_EQ(orderStatus(canceled).text, "Order Status:  Canceled") << late << hasReq;
            EXPECT_TRUE(orderStatus(canceled).cancelDeleteEnabled);
            EXPECT_FALSE(onTab(canceled, StatusTab::Shipped));
            EXPECT_TRUE(onTab(canceled, StatusTab::Canceled));
            EXPECT_EQ(rowStyle(canceled), "Canceled");
        }
}

TEST(StatusRules, LateFlagMaintenance) {
    Date today = kDay;
    EXPECT_FALSE(lateAfterScheduledDateEdit(true, std::nullopt, today));
    EXPECT_TRUE(lateAfterScheduledDateEdit(false, today.addDays(-1), today));
    EXPECT_FALSE(lateAfterScheduledDateEdit(true, today.addDays(-1), today)); // a late row toggles back
    EXPECT_FALSE(lateAfterScheduledDateEdit(false, today, today));
    EXPECT_FALSE(lateAfterMove(true, today, today));
    EXPECT_TRUE(lateAfterMove(true, today.addDays(-3), today));
    EXPECT_FALSE(lateAfterMove(false, today.addDays(-3), today));
    EXPECT_TRUE(lateOfSplitRest(today.addDays(-1), today));
    EXPECT_FALSE(lateOfSplitRest(today, today));
}

TEST(StatusRules, FlagsFromRecordValues) {
    auto s = ShipmentFlags::fromValues(runtime::Variant::null(), runtime::Variant::null(),
                                       Date::fromYmd(2026, 1, 2), true, runtime::Variant::null());
    EXPECT_FALSE(s.late);
    EXPECT_FALSE(s.reqShipDate);
    EXPECT_TRUE(s.actShipDate);
    EXPECT_TRUE(s.canceled);
    EXPECT_EQ(orderStatus(s).text, "Order Status:  Canceled");
}
