#include "board_test_fixture.h"
#include "demo_data.h"
#include "frmLoginForm.h"
#include "start_program_for_tests.h"

#include "runtime/error_number_for_tests.h"
#include "widgets/data_grid.h"
#include "widgets/status_bar.h"
#include "widgets/timer.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

#include <set>

#include <csignal>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace boardtest;

namespace {

class StartUp : public BoardFixture {
protected:
    // Runs the whole start-up; the login dialog is answered as a clerk would. The workgroup holds
    // the demo's accounts (README: demo/demo read-write, viewer/viewer read only).
    void start(const char* user = "demo", const char* password = "demo") {
        makeWorkgroup({{"Admin", "admin", dao::Permission::ReadWrite},
                       {"demo", "demo", dao::Permission::ReadWrite},
                       {"viewer", "viewer", dao::Permission::Read}});
        shelltest::startProgramAs(user, password, [&] { loginSawBoard = frmShipments::exists(); });
    }
    // The demo's data set, as `dorvane-admin demo` makes it.
    void fillLikeTheDemo() {
        shipments::DemoOptions options;
        options.shipments = 300;
        options.today = kToday;
        shipments::fillDemoData(db, options);
    }
    bool storedLate(long id) { return stored(id)["Late"].toBool(); }
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

TEST_F(BoardFixture, EngineDefaultsFollowTheSystemDatabaseOption) {
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

TEST_F(BoardFixture, MenuCommandsKeepTheirSettings) {
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

TEST_F(BoardFixture, ToolbarKeysAreMatchedExactly) {
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

// The demo as the README offers it, started whole with each of its accounts.
TEST_F(StartUp, TheDemoAccountStartsReadWriteAndMarksLateShipments) {
    fillLikeTheDemo();
    const long overdue = add("W-PAST", "Acme", "J1", 10, "2026-12-01");
    start("demo", "demo");
    frmShipments& board = frmShipments::instance();
    EXPECT_EQ(board.Caption(), "Shipments for Tuesday, December 8, 2026");
    EXPECT_GT(board.Data1->source()->rowCount(), 0);
    EXPECT_TRUE(storedLate(overdue)) << "the late-shipment update ran";
    EXPECT_TRUE(board.cmdMove->isEnabled());
    EXPECT_TRUE(board.cmdShipPlusMinus->isEnabled());
}

TEST_F(StartUp, TheViewerAccountStartsReadOnlyWithoutWritingAnything) {
    fillLikeTheDemo();
    const long overdue = add("W-PAST", "Acme", "J1", 10, "2026-12-01");
    EXPECT_NO_THROW(start("viewer", "viewer"));
    frmShipments& board = frmShipments::instance();
    EXPECT_TRUE(board.subWindow()->isVisible());
    EXPECT_EQ(board.Caption(), "Shipments for Tuesday, December 8, 2026 (Read Only)");
    EXPECT_GT(board.Data1->source()->rowCount(), 0);
    EXPECT_FALSE(storedLate(overdue)) << "a read-only session leaves the Late marks to the next one";
    for (QPushButton* command : {board.cmdMove, board.cmdDelete, board.cmdUpdate, board.cmdShipPlusMinus})
        EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
    const QModelIndex cell = board.VxGrid1->model()->index(0, 1);
    EXPECT_FALSE(board.VxGrid1->model()->flags(cell) & Qt::ItemIsEditable);
    EXPECT_EQ(board.VxGrid1->Columns(kCarrierColumn).valueItems.size(), 8u) << "truck lines listed";
}

// A workstation that was writing is killed half-way through a change (its journal or log left
// behind, the file half-changed); whoever opens the file next puts it back, even an account that
// only reads. Files in either journal mode.
TEST_F(StartUp, AfterAWriterIsKilledMidChangeTheViewerStartsAndSeesTheFileAsItWas) {
    for (std::string mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        if (mode != "delete") { // a fresh database and program for the second round
            TearDown();
            for (const char* suffix : {"", "-journal", "-wal", "-shm"})
                QFile::remove(QString::fromStdString(path + suffix));
            QFile::remove(dir.filePath("system.mdw")); // its accounts are made again
            SetUp();
        }
        fillLikeTheDemo();
        const long shipmentsBefore = shipmentCount();
        db.Close();
        dao::engine().reset();

        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            // Enough rows that the change no longer fits the page cache and goes out of it.
            sqlite3* handle = nullptr;
            sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_exec(handle,
                         ("PRAGMA journal_mode = " + mode +
                          "; PRAGMA cache_size = 10; BEGIN IMMEDIATE; UPDATE Shipments SET Comments = 'half "
                          "written'; CREATE TABLE Half (T TEXT); "
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                          "INSERT INTO Half SELECT printf('%.900c', 'x') FROM n")
                             .c_str(),
                         nullptr, nullptr, nullptr);
            (void)!::write(ready[1], "x", 1);
            for (;;)
                ::pause();
        }
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        const std::string left = path + (mode == "wal" ? "-wal" : "-journal");
        ASSERT_GT(QFileInfo(QString::fromStdString(left)).size(), 0) << "left behind: " << left;

        EXPECT_NO_THROW(start("viewer", "viewer"));
        for (const auto& shown : dialogs->shown())
            ADD_FAILURE() << "at start-up the clerk was told: " << shown.prompt;
        ASSERT_TRUE(frmShipments::exists());
        EXPECT_EQ(frmShipments::instance().Caption(), "Shipments for Tuesday, December 8, 2026 (Read Only)");
        db = dao::engine().OpenDatabase(path, false, true);
        EXPECT_EQ(shipmentCount(), shipmentsBefore) << "the half-made change is gone";
        EXPECT_EQ(db.OpenRecordset("SELECT Count(*) AS N FROM Shipments WHERE Comments = 'half written'",
                                   dao::dbOpenSnapshot)["N"],
                  Variant(0));
        // And the viewer still may not change it.
        EXPECT_EQ(runtime::testing::errorOf([&] { db.Execute("DELETE FROM Shipments"); }),
                  dao::errc::NoPermission);
    }
}

// The board keeps the main window's free area, right of the calendar, as the window is resized.
TEST_F(StartUp, TheBoardFillsTheMainWindowAsItIsResized) {
    start();
    frmMain& main = frmMain::instance();
    frmShipments& board = frmShipments::instance();
    const int calendarWidth = frmCalendarForm::instance().subWindow()->width();
    for (QSize size : {QSize(1400, 900), QSize(1000, 700)}) {
        main.resize(size);
        QCoreApplication::processEvents();
        const QSize area = main.mdiArea()->size();
        EXPECT_EQ(board.subWindow()->geometry(),
                  QRect(calendarWidth, 0, area.width() - calendarWidth, area.height()))
            << size.width();
    }
}

// The toolbar's five pictures come from one icon theme, at one size, on buttons of one width.
TEST_F(BoardFixture, ToolbarPicturesAreOneSetOfOneSize) {
    frmMain& main = frmMain::instance();
    EXPECT_EQ(main.tlbrToolbar->iconSize(), QSize(24, 24));
    const QList<QAction*> buttons = main.tlbrToolbar->actions();
    ASSERT_EQ(buttons.size(), 5);
    std::set<QString> names;
    for (QAction* button : buttons) {
        EXPECT_FALSE(button->icon().isNull()) << button->text().toStdString();
        names.insert(button->icon().name());
        EXPECT_EQ(main.tlbrToolbar->widgetForAction(button)->minimumWidth(),
                  main.tlbrToolbar->widgetForAction(buttons[0])->minimumWidth());
    }
    EXPECT_EQ(names.size(), 5u) << "five different pictures";
    EXPECT_FALSE(names.count(QString())) << "each named in the icon theme";
}
