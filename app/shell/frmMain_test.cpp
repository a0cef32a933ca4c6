#include "board_test_support.h"
#include "frmLoginForm.h"

#include "widgets/data_grid.h"
#include "widgets/status_bar.h"
#include "widgets/timer.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTimer>
#include <QToolBar>

using namespace testing_support;

namespace {

class StartUp : public ProgramFixture {
protected:
    // Runs the whole start-up; the login dialog is answered with demo/demo as a clerk would.
    void start() {
        const std::string workgroup = dir.filePath("system.mdw").toStdString();
        dao::Workgroup::create(workgroup);
        dao::Workgroup(workgroup).addAccount("demo", "demo", dao::Permission::ReadWrite);
        SaveSetting("Kelmar", "Options", "SystemDB", workgroup);
        frmMain& main = frmMain::instance();
        // Answers the login as soon as it is shown (and only then).
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* login = qobject_cast<frmLoginForm*>(QApplication::activeModalWidget());
            if (!login) return;
            poll.stop();
            loginSawBoard = frmShipments::exists();
            login->txtUserName->setText("demo");
            login->txtPassword->setText("demo");
            login->cmdOK_Click();
        });
        poll.start(5);
        main.Form_Load();
    }
    bool loginSawBoard = true;
};

} // namespace

TEST_F(StartUp, RunsLoginLateUpdateViewAndBoardInOrder) {
    add("W-LATE", "Acme", "J1", 10, "2026-12-07");
    execute("INSERT INTO [Truck Lines] (TruckLineAbbr, TruckLineName) VALUES ('UPS', 'United Parcel')");
    start();
    EXPECT_FALSE(loginSawBoard) << "no other window before the login";
    EXPECT_EQ(dao::engine().DefaultUser(), "demo");
    frmMain& main = frmMain::instance();
    frmShipments& board = frmShipments::instance();
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(board.subWindow()->isVisible());
    EXPECT_TRUE(frmCalendarForm::instance().subWindow()->isVisible());
    EXPECT_EQ(board.Caption(), "Shipments for Tuesday, December 8, 2026");
    // The late-shipment update ran before the board was queried.
    EXPECT_EQ(board.Data1->source()->value(0, board.Data1->source()->fieldIndex("Late")),
              runtime::Variant(true));
    EXPECT_EQ(board.VxGrid1->Columns(6).valueItems.size(), 1u) << "truck lines loaded";
    // No settings at all: everything visible, the shipping columns.
    EXPECT_TRUE(main.tlbrToolbar->isVisibleTo(&main));
    EXPECT_TRUE(main.sbStatus->isVisibleTo(&main));
    EXPECT_TRUE(main.mnuViewShippingColumns->isChecked());
    EXPECT_FALSE(main.mnuViewSalesColumns->isChecked());
    EXPECT_TRUE(board.VxGrid1->columnByCaption("PCF Code")->visible);
}

TEST_F(StartUp, ViewSettingsAreReadCaseInsensitivelyAndAnythingElseIsTheDefault) {
    SaveSetting("Dorvane", "View", "ToolBar", "false");
    SaveSetting("Dorvane", "View", "StatusBar", "0");
    SaveSetting("Dorvane", "View", "Columns", "sales");
    start();
    frmMain& main = frmMain::instance();
    EXPECT_FALSE(main.tlbrToolbar->isVisibleTo(&main));
    EXPECT_FALSE(main.mnuViewToolbar->isChecked());
    EXPECT_TRUE(main.sbStatus->isVisibleTo(&main)) << "\"0\" is not FALSE";
    EXPECT_TRUE(main.mnuViewSalesColumns->isChecked());
    for (const char* caption : {"PCF Code", "Box Type", "Box Weight", "Boxes/Skid", "Parts/Box"})
        EXPECT_FALSE(frmShipments::instance().VxGrid1->columnByCaption(caption)->visible) << caption;
    // The menu toggles store what they show.
    main.mnuViewToolbar_Click();
    EXPECT_EQ(GetSetting("Dorvane", "View", "ToolBar"), "True");
    main.mnuViewShippingColumns_Click();
    EXPECT_TRUE(frmShipments::instance().VxGrid1->columnByCaption("PCF Code")->visible);
    EXPECT_EQ(GetSetting("Dorvane", "View", "Columns"), "Shipping");
}

TEST_F(ProgramFixture, EngineDefaultsFollowTheSystemDatabaseOption) {
    SaveSetting("Kelmar", "Options", "DefaultUser", "boss");
    SaveSetting("Kelmar", "Options", "DefaultPW", "secret");
    dao::engine().setDefaultUser("untouched");
    frmMain::instance();
    EXPECT_EQ(dao::engine().DefaultUser(), "untouched") << "no system database: defaults left alone";
    delete &frmMain::instance();

    SaveSetting("Kelmar", "Options", "SystemDB", "/tmp/system.mdw");
    frmMain::instance();
    EXPECT_EQ(dao::engine().SystemDB(), "/tmp/system.mdw");
    EXPECT_EQ(dao::engine().DefaultUser(), "boss");
    EXPECT_EQ(dao::engine().DefaultPassword(), "secret");
    delete &frmMain::instance();

    DeleteSetting("Kelmar", "Options", "DefaultUser");
    frmMain::instance();
    EXPECT_EQ(dao::engine().DefaultUser(), "Admin");
    EXPECT_EQ(dao::engine().DefaultPassword(), "");
}

TEST_F(ProgramFixture, MenuCommandsKeepTheirSettings) {
    frmShipments& board = openBoard();
    frmMain& main = frmMain::instance();
    main.mnuOptionsHighlightLine->trigger();
    EXPECT_TRUE(basGlobals::gHighlightLine);
    EXPECT_EQ(GetSetting("Dorvane", "Highlight Line", "Highlight"), "True");
    main.mnuOptionsHighlightLine->trigger();
    EXPECT_FALSE(basGlobals::gHighlightLine);
    EXPECT_EQ(GetSetting("Dorvane", "Highlight Line", "Highlight", "section gone"), "section gone");

    main.mnuOptionsAutoRefreshEnabled_Click();
    EXPECT_TRUE(board.timRefreshTimer->Enabled());
    EXPECT_EQ(GetSetting("Dorvane", "Refresh", "Enabled"), "True");

    board.VxGrid1->setRowHeightTwips(500);
    SaveSetting("Dorvane", "Row Height", "Height", "500");
    main.mnuWindowDefaultRowHeight_Click();
    EXPECT_NEAR(board.VxGrid1->rowHeightTwips(), 225, 15);
    EXPECT_EQ(GetSetting("Dorvane", "Row Height", "Height", "gone"), "gone");
}

TEST_F(ProgramFixture, ToolbarKeysAreMatchedExactly) {
    frmShipments& board = openBoard();
    frmMain& main = frmMain::instance();
    main.show();
    main.tlbrToolbar_ButtonClick("ship");
    EXPECT_FALSE(board.subWindow()->isVisible()) << "a key differing in case does nothing";
    main.tlbrToolbar_ButtonClick("Ship");
    EXPECT_TRUE(board.subWindow()->isVisible());
    int searches = 0;
    main.setCommand("Search", [&] { ++searches; });
    main.tlbrToolbar_ButtonClick("SEARCH");
    main.tlbrToolbar_ButtonClick("Search");
    EXPECT_EQ(searches, 1);
}
