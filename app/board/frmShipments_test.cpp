#include "basGlobals_board.h"
#include "board_layout.h"
#include "board_server_database.h"
#include "board_test_fixture.h"

#include "widgets/data_grid.h"
#include "widgets/month_calendar.h"
#include "widgets/status_bar.h"
#include "widgets/tab_strip.h"
#include "widgets/timer.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace boardtest;
using basGlobals::ApplyStatusTab;

namespace {

// The board's rows of one day, on a file in en_US; `Board` runs the same in every setting.
class BoardOnFile : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        addRows();
    }
    void addRows() {
        // Today is Tuesday 2026-12-08.
        add("WO1", "Acme", "J1", 100, "2026-12-08");
        add("WO2", "Acme", "J1", 100, "2026-12-01", nullptr, true, false, false);
        add("WO3", "Beta", "J2", 100, "2026-12-01", "2026-12-08", true);
        add("WO4", "Beta", "J2", 100, nullptr);
        add("WO5", "Gamma", "J3", 100, "2026-12-08", nullptr, false, true, true);
        add("WO6", "Gamma", "J3", 100, "2026-12-15");
        add("WO7", "Gamma", "J3", 100, "2026-12-08", nullptr, true, true, true);
        execute("INSERT INTO [Job Lookup Table] ([Job Number], [Job Description]) VALUES ('J1', 'Lid'), "
                "('J2', 'Box'), ('J3', 'Cap'), ('J5', 'Tray')");
        execute("INSERT INTO [Truck Lines] (TruckLineAbbr, TruckLineName) VALUES ('UPS', 'United Parcel'), "
                "('RL', 'R+L Carriers/Collect')");
    }

    frmShipments& showTab(int index) {
        frmShipments& board = openBoard();
        board.tsTab->setSelectedIndex(index); // a tab click re-queries
        return board;
    }

    int rowOf(const std::string& workOrder) {
        auto orders = boardWorkOrders();
        return int(std::find(orders.begin(), orders.end(), workOrder) - orders.begin());
    }

    // Makes a row current, as a click in the grid does.
    void goTo(const std::string& workOrder, int column = 0) {
        auto& grid = *frmShipments::instance().VxGrid1;
        grid.setCurrentIndex(grid.model()->index(rowOf(workOrder), column));
    }

    bool typeInto(int column, const QString& text) {
        auto& grid = *frmShipments::instance().VxGrid1;
        return grid.model()->setData(grid.model()->index(grid.currentRowIndex(), column), text, Qt::EditRole);
    }

    long idOf(const std::string& workOrder) {
        return db
            .OpenRecordset("SELECT ShipmentID FROM Shipments WHERE WorkOrder = '" + workOrder + "'",
                           dao::dbOpenSnapshot)["ShipmentID"]
            .toLong();
    }

    using Orders = std::vector<std::string>;

    // Texts as the user's locale writes them.
    static QString caption(const std::string& prefix, Date day) {
        return QString::fromStdString(prefix + runtime::longDateText(day));
    }
    static QString dayText(Date day) { return QString::fromStdString(runtime::shortDateText(day)); }
};

class Board : public BoardOnFile, public ::testing::WithParamInterface<BoardSetting> {
protected:
    void SetUp() override {
        BoardOnFile::SetUp();
        if (std::string uri = useBoardSetting(GetParam(), db); !uri.empty()) {
            path = uri;
            BoardOnFile::addRows();
        }
    }
    // Rows in the order to compare: the server still sorts rows without a date (ASAP) after the
    // dated ones where a file sorts them first, so there only which rows are shown is compared.
    Orders comparable(Orders rows) const {
        if (GetParam().server) std::sort(rows.begin(), rows.end());
        return rows;
    }
};
INSTANTIATE_TEST_SUITE_P(Settings, Board, boardSettings(), boardSettingName);

} // namespace

TEST_P(Board, EachTabShowsItsRowsAndCaptions) {
    const std::string longDate = runtime::longDateText(kToday);
    struct Expect {
        int tab;
        Orders rows;
        std::string caption, button, menu, column9;
    } expected[] = {
        {1, {"WO4", "WO3", "WO1"}, "Shipments for ", "&Cancel Ship", "Cancel Shipment", "Actual Ship Date"},
        {2,
         {"WO4", "WO2", "WO3", "WO1", "WO5", "WO7"},
         "All Shipments for ",
         "&Cancel Ship",
         "Cancel Shipment",
         "Actual Ship Date"},
        {3,
         {"WO4", "WO1"},
         "Scheduled Shipments for ",
         "&Cancel Ship",
         "Cancel Shipment",
         "Actual Ship Date"},
        {4,
         {"WO2", "WO3", "WO7"},
         "Late Shipments as of ",
         "&Cancel Ship",
         "Cancel Shipment",
         "Actual Ship Date"},
        {5, {"WO3"}, "Orders Shipped as of ", "&Cancel Ship", "Cancel Shipment", "Actual Ship Date"},
        {6, {"WO5", "WO7"}, "Orders Canceled on ", "&Delete", "Delete Canceled Shipment", "Cancel Date"},
        {1, {"WO4", "WO3", "WO1"}, "Shipments for ", "&Cancel Ship", "Cancel Shipment", "Actual Ship Date"},
    };
    for (const Expect& e : expected) {
        frmShipments& board = showTab(e.tab);
        EXPECT_EQ(comparable(boardWorkOrders()), comparable(e.rows)) << "tab " << e.tab;
        EXPECT_EQ(board.Caption().toStdString(), e.caption + longDate) << "tab " << e.tab;
        EXPECT_EQ(board.cmdDelete->text().toStdString(), e.button);
        EXPECT_EQ(frmMain::instance().mnuEditDelete->text().toStdString(), e.menu);
        EXPECT_EQ(board.VxGrid1->Columns(9).caption.toStdString(), e.column9);
    }
    // A new day picked in the calendar is the board date.
    frmCalendarForm::instance().calCalendar->setValue(runtime::Date::fromYmd(2026, 12, 15));
    frmCalendarForm::instance().calCalendar_Click();
    EXPECT_EQ(frmShipments::instance().Caption(), caption("Shipments for ", kToday.addDays(7)));
    EXPECT_EQ(comparable(boardWorkOrders()), comparable({"WO4", "WO1", "WO6"}))
        << "open rows due before the day stay on it";
    frmCalendarForm::instance().cmdShowToday_Click();
    EXPECT_EQ(frmShipments::instance().Caption().toStdString(), "Shipments for " + longDate);
}

TEST_P(Board, ColumnHelpFollowsTheTabAndTheCallingWindow) {
    showTab(6);
    basGlobals::ShowColumnHelp("frmShipments", 9);
    EXPECT_EQ(frmMain::instance().sbStatus->panelText(1), "Actual date the order was canceled.");
    showTab(2);
    basGlobals::ShowColumnHelp("frmShipments", 9);
    EXPECT_EQ(frmMain::instance().sbStatus->panelText(1),
              "Actual date the order was shipped (Only enter at ship time)");
    basGlobals::ShowColumnHelp("frmShipments", 20);
    EXPECT_EQ(frmMain::instance().sbStatus->panelText(1), "");
    widgets::StatusBar own(nullptr, {1});
    basGlobals::ShowColumnHelp("frmTruckLines", 0, &own);
    EXPECT_EQ(own.panelText(1), "Enter a short (3 or 4 letter) abbreviation for this truck line.");
    own.setEnabled(false);
    basGlobals::ShowColumnHelp("frmTruckLines", 1, &own);
    EXPECT_EQ(own.panelText(1), "Enter a short (3 or 4 letter) abbreviation for this truck line.");
}

TEST_P(Board, RowsAreColouredAndTheStatusLineFollowsTheCurrentRow) {
    frmShipments& board = showTab(2);
    EXPECT_EQ(board.rowStyleOf(rowOf("WO2")), "Late");
    EXPECT_EQ(board.rowStyleOf(rowOf("WO3")), "Shipped"); // shipped wins over late
    EXPECT_EQ(board.rowStyleOf(rowOf("WO4")), "ASAP");
    EXPECT_EQ(board.rowStyleOf(rowOf("WO7")), "Canceled"); // canceled wins over late
    EXPECT_EQ(board.rowStyleOf(rowOf("WO1")), "");

    // Only the first column is styled unless the whole line is highlighted.
    auto* grid = board.VxGrid1;
    int late = rowOf("WO2");
    EXPECT_TRUE(grid->model()->index(late, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(grid->model()->index(late, 5).data(Qt::BackgroundRole).isValid());
    basGlobals::gHighlightLine = true;
    EXPECT_TRUE(grid->model()->index(late, 5).data(Qt::BackgroundRole).isValid());

    struct {
        const char* order;
        const char* status;
        bool cancelEnabled;
    } lines[] = {{"WO2", "Order Status:  Late Shipment", true}, {"WO3", "Order Status: Shipped Late", false},
                 {"WO4", "Order Status:  Ship ASAP", true},     {"WO1", "Order Status:  On-Time", true},
                 {"WO7", "Order Status:  Late Shipment", true}, {"WO5", "Order Status:  Canceled", true}};
    for (auto& l : lines) {
        goTo(l.order);
        EXPECT_EQ(board.Data1->Caption().toStdString(), l.status) << l.order;
        EXPECT_EQ(board.cmdDelete->isEnabled(), l.cancelEnabled) << l.order;
        EXPECT_TRUE(board.cmdMove->isEnabled());
        EXPECT_FALSE(board.cmdUpdate->isEnabled()) << "Update is offered only once the user changes data";
    }
}

TEST_F(BoardOnFile, ReadOnlyAccountsSeeAReadOnlyBoard) {
    logInAsReadOnlyViewer();
    frmShipments& board = showTab(1);
    EXPECT_EQ(board.Caption(), caption("Shipments for ", kToday) + " (Read Only)");
    goTo("WO1");
    EXPECT_FALSE(board.cmdMove->isEnabled());
    EXPECT_FALSE(board.cmdDelete->isEnabled());
}

TEST_P(Board, DateEditsKeepTheLateFlagRight) {
    frmShipments& board = showTab(2);
    // A shipped, late row whose Actual Ship Date is emptied is open and on time again.
    goTo("WO3", board::col::ActShipDate);
    ASSERT_TRUE(typeInto(board::col::ActShipDate, ""));
    EXPECT_EQ(board.VxGrid1->cellText(board::col::Late), "No");
    // A date before today makes an on-time row late; a later date does not.
    goTo("WO1", board::col::ReqShipDate);
    ASSERT_TRUE(typeInto(board::col::ReqShipDate, dayText(kToday.addDays(-7))));
    EXPECT_EQ(board.VxGrid1->cellText(board::col::Late), "Yes");
    goTo("WO4", board::col::ReqShipDate);
    ASSERT_TRUE(typeInto(board::col::ReqShipDate, dayText(kToday.addDays(12))));
    EXPECT_EQ(board.VxGrid1->cellText(board::col::Late), "No");
    // A date that is no date is refused, the cell keeps its value.
    goTo("WO1", board::col::ReqShipDate);
    EXPECT_FALSE(typeInto(board::col::ReqShipDate, "someday"));
    EXPECT_EQ(board.VxGrid1->cellText(board::col::ReqShipDate), dayText(kToday.addDays(-7)));
    ASSERT_FALSE(dialogs->shown().empty());
    EXPECT_NE(dialogs->shown().back().prompt.find("is not a date"), std::string::npos);
    // Leaving the rows stored them.
    goTo("WO2");
    dao::Database db = dao::engine().OpenDatabase(path);
    dao::Recordset rs = db.OpenRecordset("SELECT Late, ActShipDate FROM Shipments WHERE WorkOrder = 'WO3'");
    EXPECT_FALSE(rs["Late"].toBool());
    EXPECT_TRUE(rs["ActShipDate"].isNull());
}

TEST_P(Board, ShippedOrdersCannotBeCanceledAndCanceledOnesNeverShip) {
    frmShipments& board = showTab(2);
    goTo("WO3", board::col::Canceled);
    EXPECT_FALSE(typeInto(board::col::Canceled, "Yes"));
    EXPECT_EQ(dialogs->shown().back().prompt, "You cannot cancel an order that has already been shipped.");
    EXPECT_EQ(board.VxGrid1->cellText(board::col::Canceled), "No");

    goTo("WO5", board::col::OKToShip);
    EXPECT_TRUE(typeInto(board::col::OKToShip, "Yes"));
    EXPECT_EQ(board.VxGrid1->cellText(board::col::OKToShip), "No");
}

TEST_P(Board, TypedJobNumbersAreCheckedAgainstTheJobList) {
    frmShipments& board = showTab(2);
    goTo("WO1", board::col::JobNum);
    // "J4" sorts between J3 and J5: the next higher existing job is proposed.
    dialogs->answer(runtime::Answer::Yes);
    ASSERT_TRUE(typeInto(board::col::JobNum, "J4"));
    board.VxGrid1_AfterColEdit();
    EXPECT_EQ(
        dialogs->shown().back().prompt,
        "The job number you entered: J4 does not exist in the Kelmar.  Its closest match is: J5.  Use this "
        "number instead?");
    EXPECT_EQ(board.VxGrid1->cellText(board::col::JobNum), "J5");
    // No keeps the typed entry; a quote in the typed text is just text.
    dialogs->answer(runtime::Answer::No);
    ASSERT_TRUE(typeInto(board::col::JobNum, "J2'x"));
    board.VxGrid1_AfterColEdit();
    EXPECT_EQ(board.VxGrid1->cellText(board::col::JobNum), "J2'x");
    // Nothing sorts after it: said plainly, nothing is proposed.
    size_t shown = dialogs->shown().size();
    ASSERT_TRUE(typeInto(board::col::JobNum, "ZZ9"));
    board.VxGrid1_AfterColEdit();
    ASSERT_EQ(dialogs->shown().size(), shown + 1);
    EXPECT_NE(dialogs->shown().back().prompt.find("no job number sorts after it"), std::string::npos);
    // An existing job asks nothing.
    ASSERT_TRUE(typeInto(board::col::JobNum, "J3"));
    board.VxGrid1_AfterColEdit();
    EXPECT_EQ(dialogs->shown().size(), shown + 1);
}

TEST_P(Board, TheTimerRefreshesEveryIntervalButNeverOverAnEdit) {
    SaveSetting("Dorvane", "Refresh", "Interval", "3");
    SaveSetting("Dorvane", "Refresh", "Enabled", "True");
    frmShipments& board = showTab(1);
    EXPECT_TRUE(board.timRefreshTimer->Enabled());
    frmMain::instance().show();
    auto refreshed = [&] { return board.Data1->Caption() == "Please Wait... Building Data Table"; };
    // A refresh re-binds the board; mark the status line to see whether one happened.
    auto tick = [&] {
        board.Data1->setCaption("Please Wait... Building Data Table");
        board.timRefreshTimer->fire();
        return !refreshed();
    };
    EXPECT_FALSE(tick()); // counter 0 -> 1
    EXPECT_FALSE(tick()); // 1 -> 2
    EXPECT_FALSE(tick()); // 2 -> 3
    EXPECT_TRUE(tick());  // 3: refresh on the fourth tick
    EXPECT_EQ(board.refreshCounter(), 0);
    for (int i = 0; i < 3; ++i)
        tick();
    // An edit in progress postpones the due refresh, minute by minute.
    goTo("WO1", board::col::Comments);
    ASSERT_TRUE(typeInto(board::col::Comments, "call first"));
    EXPECT_FALSE(tick());
    EXPECT_FALSE(tick());
    EXPECT_EQ(board.refreshCounter(), 3);
    board.VxGrid1->storeCurrentRow();
    EXPECT_TRUE(tick());
    // Minimised: the refresh is left pending for the restore, which runs it once.
    for (int i = 0; i < 3; ++i)
        tick();
    frmMain::instance().showMinimized();
    EXPECT_FALSE(tick());
    EXPECT_TRUE(basGlobals::gRefreshPending);
    frmMain::instance().showNormal();
    frmMain::instance().Form_Resize();
    EXPECT_FALSE(basGlobals::gRefreshPending);
    EXPECT_FALSE(refreshed());
}

TEST_P(Board, ResizedColumnsAndRowsAreKeptForTheNextStart) {
    frmShipments& board = showTab(1);
    board.VxGrid1->Columns(2).widthTwips = 2000;
    board.VxGrid1->columnChanged(2);
    emit board.VxGrid1->ColResize(2);
    board.VxGrid1->setRowHeightTwips(300);
    emit board.VxGrid1->RowResize();
    EXPECT_EQ(GetSetting("Dorvane", "Column Widths", "Column2"), "2000");
    frmShipments::unload();
    frmShipments& again = openBoard();
    EXPECT_NEAR(again.VxGrid1->Columns(2).widthTwips, 2000, 0.5);
    EXPECT_NEAR(again.VxGrid1->rowHeightTwips(), 300, 15);
    // Window > Default Column Widths forgets them.
    frmMain::instance().mnuWindowDefaultColumnWidths_Click();
    EXPECT_NEAR(again.VxGrid1->Columns(2).widthTwips, 1289.764, 0.01);
    EXPECT_EQ(GetSetting("Dorvane", "Column Widths", "Column2", "absent"), "absent");
}

namespace {
// Types into the current cell through its editor, as a user does, and ends the edit with Enter.
void typeWithEditor(widgets::DataGrid& grid, const QString& text) {
    const QModelIndex cell = grid.currentIndex();
    grid.edit(cell);
    auto* line = qobject_cast<QLineEdit*>(grid.indexWidget(cell));
    ASSERT_NE(line, nullptr);
    line->selectAll();
    QTest::keyClicks(line, text);
    QTest::keyClick(line, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor hands its text over on the next turn
}
} // namespace

TEST_P(Board, EveryNewChangeOffersUpdateAgainAndUpdateShowsTheRowAsStored) {
    frmShipments& board = showTab(2);
    frmMain::instance().show();
    board.showBoard();
    auto& grid = *board.VxGrid1;
    goTo("WO1", board::col::Comments);
    typeWithEditor(grid, "first");
    EXPECT_TRUE(board.cmdUpdate->isEnabled());
    board.DoUpdate();
    EXPECT_FALSE(board.cmdUpdate->isEnabled());
    typeWithEditor(grid, "second");
    EXPECT_TRUE(board.cmdUpdate->isEnabled()) << "a change after Update, on the same row";
    EXPECT_TRUE(frmMain::instance().mnuEditApply->isEnabled());
    board.DoUpdate();
    EXPECT_EQ(stored(idOf("WO1"))["Comments"], Variant("second"));

    // Update re-reads what the row shows: the job's description and the order status.
    ASSERT_TRUE(typeInto(board::col::JobNum, "J2"));
    ASSERT_TRUE(typeInto(board::col::ActShipDate, dayText(kToday)));
    board.DoUpdate();
    EXPECT_EQ(grid.cellText(board::col::Description), "Box");
    EXPECT_EQ(board.Data1->Caption(), "Order Status:  Shipped");
    EXPECT_FALSE(board.cmdDelete->isEnabled()) << "a shipped row cannot be canceled";
}

TEST_P(Board, TypingInTheJobDropDownReplacesItsText) {
    frmShipments& board = showTab(2);
    frmMain::instance().show();
    board.showBoard();
    auto& grid = *board.VxGrid1;
    goTo("WO1", board::col::JobNum);
    const QModelIndex cell = grid.currentIndex();
    grid.edit(cell);
    auto* combo = qobject_cast<QComboBox*>(grid.indexWidget(cell));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->lineEdit()->selectedText(), "J1");
    QTest::keyClicks(combo->lineEdit(), "J3");
    EXPECT_EQ(combo->currentText(), "J3");
}

// A canceled row's date column holds its cancel date: it is no shipped order, and the Canceled tab
// can delete it.
TEST_P(Board, ACanceledRowWithItsCancelDateIsCanceledNotShipped) {
    const long canceled = add("WO8", "Gamma", "J3", 100, "2026-12-08", "2026-12-05", false, true, false);
    frmShipments& board = showTab(5);
    EXPECT_EQ(boardWorkOrders(), (Orders{"WO3"})) << "the Shipped tab lists shipped orders only";
    showTab(6);
    goTo("WO8");
    EXPECT_EQ(board.Data1->Caption(), "Order Status:  Canceled");
    EXPECT_TRUE(board.cmdDelete->isEnabled());
    EXPECT_EQ(board.rowStyleOf(rowOf("WO8")), "Canceled");
    dialogs->answer(runtime::Answer::Yes);
    select(canceled);
    board.DoDelete();
    EXPECT_TRUE(stored(canceled).empty()) << "deleted";
}

// Every change of the calendar's day re-queries the board once, whether by mouse or keyboard, and
// today stays marked when another day is chosen.
TEST_P(Board, EveryDayChosenInTheCalendarRequeriesOnceAndTodayStaysMarked) {
    frmShipments& board = showTab(1);
    frmMain::instance().show();
    frmCalendarForm::instance().showCalendar();
    widgets::MonthCalendar* calendar = frmCalendarForm::instance().calCalendar;
    int requeries = 0;
    QObject::connect(board.Data1, &widgets::DataControl::sourceChanged, [&] { ++requeries; });
    auto* days = calendar->findChild<QTableView*>();
    ASSERT_NE(days, nullptr);
    QTest::keyClick(days, Qt::Key_Right);
    EXPECT_EQ(requeries, 1);
    EXPECT_EQ(board.Caption(), caption("Shipments for ", kToday.addDays(1)));
    // A click on a new day changes the selection and then reports the click: one re-query.
    requeries = 0;
    calendar->setSelectedDate(QDate(2026, 12, 15));
    emit calendar->clicked(QDate(2026, 12, 15));
    EXPECT_EQ(requeries, 1);
    QCoreApplication::processEvents();
    // A click on the day already chosen re-queries too.
    emit calendar->clicked(QDate(2026, 12, 15));
    EXPECT_EQ(requeries, 2);
    EXPECT_EQ(board.Caption(), caption("Shipments for ", kToday.addDays(7)));
    EXPECT_EQ(calendar->dateTextFormat(QDate(2026, 12, 8)).fontWeight(), QFont::Bold) << "today marked";
    EXPECT_NE(calendar->dateTextFormat(QDate(2026, 12, 15)).fontWeight(), QFont::Bold);
}

// What a user reads in the grid: full captions as tool tips where the header elides them, PCF Code
// with two decimals, numbers to the right.
TEST_P(Board, HeadersElideWithTipsAndNumbersReadWell) {
    execute("INSERT INTO [Packaging Table] (PackageID, L, W, H) VALUES ('B1', 11, 11, 11)");
    execute("UPDATE [Job Lookup Table] SET [Box Type] = 'B1', [Box Weight] = 7.3 WHERE [Job Number] = 'J1'");
    frmShipments& board = showTab(2);
    auto& grid = *board.VxGrid1;
    EXPECT_EQ(grid.horizontalHeader()->textElideMode(), Qt::ElideRight);
    for (int column : {0, 8, 14})
        EXPECT_EQ(grid.model()->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString(),
                  grid.Columns(column).caption);
    // "Scheduled Ship Date" does not fit its default width; "Customer" does.
    const QString scheduled = grid.model()->headerData(8, Qt::Horizontal).toString();
    EXPECT_TRUE(scheduled.startsWith("Sched") && scheduled.endsWith(QChar(0x2026)))
        << scheduled.toStdString();
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), "Customer");
    const int row = rowOf("WO1");
    const int pcf = 14;
    ASSERT_EQ(grid.Columns(pcf).caption, "PCF Code");
    const bool commaDecimal = runtime::dateLocale().rfind("de", 0) == 0;
    EXPECT_EQ(grid.model()->index(row, pcf).data().toString(),
              commaDecimal ? "9,48" : "9.48"); // 7.3 / (1331 / 1728)
    auto alignment = [&](int column) {
        return Qt::Alignment(grid.model()->index(row, column).data(Qt::TextAlignmentRole).toInt()) &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(pcf), Qt::AlignRight);
    EXPECT_EQ(alignment(kQuantityColumn), Qt::AlignRight);
    EXPECT_NE(alignment(1), Qt::AlignRight) << "text stays left";
}

// With the whole line highlighted the current row still stands out: a frame is drawn around it.
TEST_P(Board, TheCurrentRowIsFramed) {
    basGlobals::gHighlightLine = true;
    frmShipments& board = showTab(2);
    frmMain::instance().show();
    board.showBoard();
    auto& grid = *board.VxGrid1;
    goTo("WO2", 1);
    QCoreApplication::processEvents();
    const QImage shot = grid.viewport()->grab().toImage();
    const QRect current = grid.visualRect(grid.model()->index(rowOf("WO2"), 2));
    const QRect other = grid.visualRect(grid.model()->index(rowOf("WO3"), 2));
    const QColor frame = shot.pixelColor(current.center().x(), current.top());
    EXPECT_EQ(frame, widgets::DataGrid::kFocusFrameColour);
    EXPECT_NE(shot.pixelColor(other.center().x(), other.top()), widgets::DataGrid::kFocusFrameColour);
}

// Typing "PO-X1", then another program takes the focus and gives it back: the program's main window
// reports its child windows deactivated and the board activated again. The typing is still pending,
// so Update and Edit > Apply stay on.
TEST_P(Board, AnUnsavedEditKeepsUpdateOnWhenTheFocusLeavesTheProgramAndReturns) {
    frmShipments& board = showTab(2);
    frmMain& main = frmMain::instance();
    main.show();
    board.showBoard();
    goTo("WO1", board::col::CustomerPO);
    typeWithEditor(*board.VxGrid1, "PO-X1");
    ASSERT_TRUE(board.cmdUpdate->isEnabled());
    emit main.mdiArea()->subWindowActivated(nullptr);
    emit main.mdiArea()->subWindowActivated(board.subWindow());
    EXPECT_TRUE(board.cmdUpdate->isEnabled());
    EXPECT_TRUE(main.mnuEditApply->isEnabled());
    EXPECT_TRUE(main.mnuEdit->isEnabled());
    EXPECT_EQ(board.VxGrid1->cellText(board::col::CustomerPO), "PO-X1");
    board.DoUpdate();
    EXPECT_EQ(stored(idOf("WO1"))["CustomerPO"], Variant("PO-X1"));
}

// Nothing that reads the board again throws a pending edit away unasked: Yes stores it, No
// discards it, Cancel goes back to it with the board as it was.
TEST_P(Board, RefreshTabCalendarAndCloseAskBeforeAPendingEditIsLost) {
    struct Case {
        const char* what;
        std::function<void(frmShipments&)> act;
        runtime::Answer answer;
        bool saved;      // WO1's Customer PO# is what was typed afterwards
        bool stillTyped; // the row still shows the typing
    };
    auto chooseDay = [](frmShipments&) {
        frmCalendarForm::instance().calCalendar->setValue(kToday.addDays(1));
        frmCalendarForm::instance().calCalendar_Click();
    };
    const std::vector<Case> cases{
        {"Refresh, Yes", [](frmShipments& b) { b.cmdRefresh->click(); }, runtime::Answer::Yes, true, false},
        {"tab, Cancel", [](frmShipments& b) { b.tsTab->setSelectedIndex(3); }, runtime::Answer::Cancel, false,
         true},
        {"calendar day, No", chooseDay, runtime::Answer::No, false, false},
        {"calendar day, Cancel", chooseDay, runtime::Answer::Cancel, false, true},
        {"close, Yes", [](frmShipments& b) { b.subWindow()->close(); }, runtime::Answer::Yes, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        execute("UPDATE Shipments SET CustomerPO = '' WHERE WorkOrder = 'WO1'");
        frmCalendarForm::instance().calCalendar->setValue(kToday);
        frmShipments& board = showTab(2);
        frmMain::instance().show();
        board.showBoard();
        const QString caption = board.Caption();
        const std::string typed = "PO-" + std::string(1, char('A' + (&c - cases.data())));
        goTo("WO1", board::col::CustomerPO);
        typeWithEditor(*board.VxGrid1, QString::fromStdString(typed));
        dialogs->clear();
        dialogs->answer(c.answer);
        c.act(board);
        ASSERT_EQ(dialogs->shown().size(), 1u);
        EXPECT_EQ(dialogs->shown()[0].flags, runtime::mb::YesNoCancel + runtime::mb::Question);
        EXPECT_EQ(stored(idOf("WO1"))["CustomerPO"], Variant(c.saved ? typed : std::string()));
        if (!c.stillTyped) continue;
        EXPECT_EQ(board.VxGrid1->cellText(board::col::CustomerPO), QString::fromStdString(typed));
        EXPECT_TRUE(board.cmdUpdate->isEnabled());
        EXPECT_EQ(board.tsTab->SelectedIndex(), 2);
        EXPECT_EQ(frmCalendarForm::instance().calCalendar->Value(), kToday);
        EXPECT_EQ(board.Caption(), caption);
        board.DoUpdate();
        EXPECT_EQ(stored(idOf("WO1"))["CustomerPO"], Variant(typed));
    }
}

// The Scheduled Ship Date cell reads a day as the editing questions do; Quantity takes a whole,
// non-negative number of parts. A refusal says why in the clerk's words and keeps the cell.
TEST_P(Board, DateAndQuantityCellsRefuseWhatIsNoDayOrNoNumberOfParts) {
    frmShipments& board = showTab(2);
    for (auto [column, text, says] :
         {std::tuple{board::col::ReqShipDate, "10:30", "is not a date"},
          {board::col::ReqShipDate, "someday", "is not a date"},
          {board::col::Quantity, "2.5", "is not a whole number of parts"},
          {board::col::Quantity, "-5", "cannot be negative"},
          {board::col::Quantity, "lots", "is not a whole number of parts"},
          {board::col::Quantity, "99999999999", "more parts than a shipment can hold"}}) {
        SCOPED_TRACE(text);
        goTo("WO1", column);
        const QString before = board.VxGrid1->cellText(column);
        dialogs->clear();
        EXPECT_FALSE(typeInto(column, text));
        EXPECT_EQ(board.VxGrid1->cellText(column), before);
        ASSERT_EQ(dialogs->shown().size(), 1u);
        const std::string& message = dialogs->shown()[0].prompt;
        EXPECT_NE(message.find(says), std::string::npos) << message;
        if (column == board::col::ReqShipDate)
            EXPECT_NE(message.find(runtime::dateFormHint()), std::string::npos) << message;
    }
    // A time typed after the day is not stored with it: the row stays on its day's tabs.
    const Date later = kToday.addDays(2);
    goTo("WO1", board::col::ReqShipDate);
    ASSERT_TRUE(typeInto(board::col::ReqShipDate, dayText(later) + " 10:30"));
    ASSERT_TRUE(typeInto(board::col::Quantity, "1200"));
    board.DoUpdate();
    EXPECT_EQ(stored(idOf("WO1"))["ReqShipDate"], Variant(later));
    EXPECT_EQ(stored(idOf("WO1"))["Quantity"].toLong(), 1200);
    EXPECT_EQ(stored(idOf("WO1"))["Late"], Variant(false));
}

// A day chosen in the calendar leaves the focus on the calendar, so the arrow keys go on moving the
// day rather than the grid's row.
TEST_P(Board, TheCalendarKeepsTheFocusAfterADayIsChosen) {
    frmShipments& board = showTab(1);
    frmMain::instance().show();
    board.showBoard();
    frmCalendarForm& calendar = frmCalendarForm::instance();
    calendar.showCalendar();
    QApplication::setActiveWindow(&frmMain::instance());
    auto* days = calendar.calCalendar->findChild<QTableView*>();
    ASSERT_NE(days, nullptr);
    days->setFocus();
    QTest::keyClick(days, Qt::Key_Right);
    EXPECT_EQ(board.Caption(), caption("Shipments for ", kToday.addDays(1)));
    EXPECT_FALSE(board.VxGrid1->hasFocus());
    EXPECT_TRUE(calendar.calCalendar->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == calendar.calCalendar);
}
