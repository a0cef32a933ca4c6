// Every window with a default instance, closed with its close box and opened again the ways a user
// would: the closed window is gone, nothing still reaches it, and the new one works.
#include "board_test_fixture.h"

#include "widgets/month_calendar.h"
#include "widgets/status_bar.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

using namespace boardtest;

namespace {

class CloseReopen : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        add("WO1", "Acme", "J1", 100, "2026-12-08");
        add("WO2", "Beta", "J2", 50, "2026-12-01", nullptr, true);
        execute("INSERT INTO [Truck Lines] (TruckLineAbbr, TruckLineName) VALUES ('UPS', 'United Parcel')");
        frmMain& main = frmMain::instance();
        main.show();
        frmCalendarForm::instance().showCalendar();
        openBoard(1).showBoard();
    }
    // Closes a child window with its close box and lets the deletion that follows happen.
    static void closeBox(QMdiSubWindow* window) {
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(CloseReopen, TheBoardComesBackFromTheToolbarTheMenuTheCalendarAndTheEditMenu) {
    frmMain& main = frmMain::instance();
    basGlobals::ShowColumnHelp("frmShipments", 0);
    ASSERT_FALSE(main.sbStatus->panelText(1).isEmpty());

    closeBox(frmShipments::instance().subWindow());
    EXPECT_FALSE(frmShipments::exists());
    EXPECT_EQ(main.sbStatus->panelText(1), "") << "the closed board's column help goes with it";

    main.tlbrToolbar_ButtonClick("Ship");
    ASSERT_TRUE(frmShipments::exists());
    frmShipments& again = frmShipments::instance();
    EXPECT_TRUE(again.subWindow()->isVisible());
    EXPECT_EQ(again.Caption(), "Shipments for Tuesday, December 8, 2026") << "queried as at start-up";
    EXPECT_EQ(boardWorkOrders(), (std::vector<std::string>{"WO2", "WO1"}));
    EXPECT_EQ(again.VxGrid1->Columns(kCarrierColumn).valueItems.size(), 1u) << "truck lines offered again";

    // A day picked while the board is closed loads it (not shown) for that day.
    closeBox(again.subWindow());
    frmCalendarForm::instance().calCalendar->setValue(Date::fromYmd(2026, 12, 15));
    frmCalendarForm::instance().calCalendar_Click();
    ASSERT_TRUE(frmShipments::exists());
    EXPECT_EQ(frmShipments::instance().Caption(), "Shipments for Tuesday, December 15, 2026");
    main.mnuFileShowShip->trigger();
    EXPECT_TRUE(frmShipments::instance().subWindow()->isVisible());

    // The Edit menu works on the board that is there, never on the closed one.
    closeBox(frmShipments::instance().subWindow());
    dialogs->cancelInput();
    main.mnuEditChange->setEnabled(true);
    main.mnuEditChange->trigger();
    EXPECT_TRUE(frmShipments::exists());
    closeBox(frmShipments::instance().subWindow());
    main.mnuEditApply->setEnabled(true);
    main.mnuEditApply->trigger();
    EXPECT_TRUE(frmShipments::exists());
}

TEST_F(CloseReopen, TheCalendarComesBackWithTodayAndStillDrivesTheBoard) {
    frmMain& main = frmMain::instance();
    frmCalendarForm::instance().calCalendar->setValue(Date::fromYmd(2026, 12, 15));
    closeBox(frmCalendarForm::instance().subWindow());
    EXPECT_FALSE(frmCalendarForm::exists());
    // The board reads its date from a calendar loaded again: a new one starts at today.
    frmShipments::instance().cmdRefresh->click();
    EXPECT_EQ(frmShipments::instance().Caption(), "Shipments for Tuesday, December 8, 2026");
    main.tlbrToolbar_ButtonClick("Cal");
    ASSERT_TRUE(frmCalendarForm::exists());
    EXPECT_TRUE(frmCalendarForm::instance().subWindow()->isVisible());
    closeBox(frmCalendarForm::instance().subWindow());
    main.mnuFileShowCal->trigger();
    EXPECT_TRUE(frmCalendarForm::instance().subWindow()->isVisible());
}

TEST_F(CloseReopen, TheTruckLinesAndTheSearchWindowComeBack) {
    frmMain& main = frmMain::instance();
    frmTruckLines::showWindow();
    closeBox(frmTruckLines::openWindow()->subWindow());
    EXPECT_FALSE(frmTruckLines::exists());
    main.tlbrToolbar_ButtonClick("Truck");
    ASSERT_TRUE(frmTruckLines::exists());
    EXPECT_EQ(frmTruckLines::openWindow()->datTruckLines->source()->rowCount(), 1);

    main.tlbrToolbar_ButtonClick("Search");
    ASSERT_TRUE(frmSearch::exists());
    EXPECT_EQ(frmShipments::instance().Caption(), "Search Results");
    closeBox(frmSearch::instance().subWindow());
    EXPECT_FALSE(frmSearch::exists());
    EXPECT_EQ(frmShipments::instance().Caption(), "Shipments for Tuesday, December 8, 2026");
    main.tlbrToolbar_ButtonClick("Search");
    ASSERT_TRUE(frmSearch::exists());
    EXPECT_TRUE(frmSearch::instance().subWindow()->isVisible());
    EXPECT_EQ(frmShipments::instance().Caption(), "Search Results");
}
