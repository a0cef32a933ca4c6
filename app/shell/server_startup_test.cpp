// The whole program on a shipments database kept on a PostgreSQL server, set up the way the README
// tells an administrator to: the demo copied there, a read-write role and a read-only one with the
// README's grants, the options pointed at the server. Each account starts the program as a clerk
// would (login, main window, board), and the windows close and open again on the server.
#include "ReportComponent.h"
#include "board_layout.h"
#include "board_test_fixture.h"
#include "dao/copy_database.h"
#include "demo_data.h"
#include "frmLoginForm.h"
#include "frmPrtSelect.h"
#include "frmPrtValcrest.h"
#include "start_program_for_tests.h"

#include "dao/errors.h"
#include "dao/jet_sql.h"
#include "dao/pg_test_server.h"
#include "report/report_test_support.h"
#include "runtime/error_number_for_tests.h"
#include "widgets/month_calendar.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <functional>

using runtime::testing::errorOf;
using namespace boardtest;

namespace {

// The roles belong to the whole server: made once for the test program.
void makeRoles(dao::Connection& admin) {
    static bool made = false;
    if (made) return;
    admin.execute("CREATE ROLE demo LOGIN PASSWORD 'demo'");
    admin.execute("CREATE ROLE viewer LOGIN PASSWORD 'viewer'");
    made = true;
}

class ServerStartUp : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp(); // a shipments file of the test's own, which the demo fills
        shipments::DemoOptions options;
        options.shipments = 300;
        options.today = kToday;
        shipments::fillDemoData(db, options);
        overdue = add("W-PAST", "Acme", "J1", 10, "2026-12-01");
        db.Close();
        dao::engine().reset();

        const auto& server = dao::testing::pgServer();
        const std::string name =
            "startup_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        dao::testing::freshDatabase(name);
        uri = server.uri(name);
        {
            auto file = dao::openSqlite(path, {.readOnly = true});
            auto admin = dao::openPostgres(uri, server.superuser, server.password, {});
            dao::copyDatabase(*file, *admin, true);
            makeRoles(*admin);
            // The README's grants, given after the tables exist.
            admin->execute("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO demo");
            admin->execute("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO demo");
            admin->execute("GRANT SELECT ON ALL TABLES IN SCHEMA public TO viewer");
        }
        // As `dorvane-admin configure URI URI` leaves the options: the server's roles are the accounts.
        {
            CKelmarOptions configured("");
            configured.DatabaseName(uri);
            configured.SystemDatabase(uri);
        }
        // The fixture's checks read the server afresh, as its owner, on a connection of their own.
        dao::engine().setSystemDB(uri);
        db = dao::engine().CreateWorkspace("Checks", server.superuser, server.password).OpenDatabase(uri);
    }

    // Runs the whole start-up; the login dialog is answered as a clerk would.
    void start(const char* user, const char* password) { shelltest::startProgramAs(user, password); }

    // The program ends (its main window closes) and everything it held is let go.
    void endProgram() {
        frmMain::instance().close();
        BoardFixture::TearDown();
        dao::engine().setSystemDB(uri);
        db = dao::engine()
                 .CreateWorkspace("Checks", dao::testing::pgServer().superuser,
                                  dao::testing::pgServer().password)
                 .OpenDatabase(uri);
        dialogs = runtime::useScriptedDialogs();
        runtime::setEndHandler([] { throw ProgramEnded{}; });
        runtime::setClock(Date::fromYmdHms(2026, 12, 8, 10, 30, 0));
    }

    // What the board's saved query gives for the day under the Today tab's filter, read on the
    // server as its owner.
    long savedQueryRows(Date day) {
        dao::QueryDef query = db.QueryDefs("Select Current Shipments Query");
        query.Parameters("ThatDate").setValue(Variant(day));
        dao::Recordset rs = query.OpenRecordset(dao::dbOpenSnapshot);
        rs.setFilter(board::tabDefinition(1).filter);
        rs = rs.OpenRecordset(dao::dbOpenSnapshot);
        long rows = 0;
        for (; !rs.atEOF(); rs.MoveNext())
            ++rows;
        return rows;
    }

    // The first open row of the board (no shipped or canceled row: those refuse some edits).
    long firstOpenShipment() {
        auto source = frmShipments::instance().Data1->source();
        for (int row = 0; row < source->rowCount(); ++row)
            if (source->value(row, source->fieldIndex("ActShipDate")).isNull() &&
                !source->value(row, source->fieldIndex("Canceled")).toBool())
                return source->value(row, source->fieldIndex("ShipmentID")).toLong();
        return -1;
    }

    std::string uri;
    long overdue = 0;
};

} // namespace

TEST_F(ServerStartUp, TheReadWriteRoleSeesTheDayAndItsEditsReachTheServer) {
    start("demo", "demo");
    EXPECT_EQ(dao::engine().DefaultUser(), "demo");
    frmShipments& board = frmShipments::instance();
    EXPECT_TRUE(frmMain::instance().isVisible());
    EXPECT_TRUE(board.subWindow()->isVisible());
    EXPECT_EQ(board.Data1->DatabaseName(), uri) << "the board reads the server, not a file";
    EXPECT_EQ(board.Caption(), "Shipments for Tuesday, December 8, 2026");
    EXPECT_GT(board.Data1->source()->rowCount(), 0);
    EXPECT_EQ(board.Data1->source()->rowCount(), savedQueryRows(kToday));
    EXPECT_TRUE(stored(overdue)["Late"].toBool()) << "the late-shipment update ran on the server";
    EXPECT_EQ(board.VxGrid1->Columns(kCarrierColumn).valueItems.size(), 8u) << "truck lines from the server";
    EXPECT_TRUE(board.cmdMove->isEnabled());
    EXPECT_TRUE(board.cmdShipPlusMinus->isEnabled());

    // A cell typed into the board and stored is on the server.
    const long id = firstOpenShipment();
    ASSERT_GT(id, 0);
    makeCurrent(id);
    board.VxGrid1->setCellValue(kQuantityColumn, Variant(77));
    board.DoUpdate();
    EXPECT_TRUE(dialogs->shown().empty()) << dialogs->shown().front().prompt;
    EXPECT_EQ(stored(id)["Quantity"], Variant(77));
}

TEST_F(ServerStartUp, TheReadOnlyRoleSeesAReadOnlyBoardAndWritesNothing) {
    const auto before = stored(overdue);
    start("viewer", "viewer");
    frmShipments& board = frmShipments::instance();
    EXPECT_TRUE(board.subWindow()->isVisible());
    EXPECT_EQ(board.Caption(), "Shipments for Tuesday, December 8, 2026 (Read Only)");
    EXPECT_EQ(board.Data1->source()->rowCount(), savedQueryRows(kToday));
    for (QPushButton* command : {board.cmdMove, board.cmdDelete, board.cmdUpdate, board.cmdShipPlusMinus})
        EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
    EXPECT_FALSE(board.VxGrid1->model()->flags(board.VxGrid1->model()->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_EQ(board.VxGrid1->Columns(kCarrierColumn).valueItems.size(), 8u) << "truck lines listed";

    // A change tried anyway is refused with 3033 and a message that says why, by the layer and by
    // the server's grants alike.
    try {
        bound()->Edit();
        ADD_FAILURE() << "a read-only role's record set was edited";
    } catch (const runtime::Error& e) {
        EXPECT_EQ(e.number(), dao::errc::NoPermission);
        EXPECT_NE(e.description().find("permission"), std::string::npos) << e.description();
    }
    auto asViewer = dao::openPostgres(uri, "viewer", "viewer", {});
    EXPECT_EQ(errorOf([&] { asViewer->execute("UPDATE \"Shipments\" SET \"Quantity\" = 1"); }),
              dao::errc::NoPermission);
    EXPECT_EQ(stored(overdue), before) << "not even the Late mark was written";
}

TEST_F(ServerStartUp, ABadPasswordIsRefusedAndTheLoginStays) {
    frmMain::instance(); // its initialise handler points the engine at the server's roles
    EXPECT_EQ(errorOf([] { dao::engine().CreateWorkspace("Try", "demo", "wrong"); }), dao::errc::BadAccount);
    frmLoginForm login;
    login.txtUserName->setText("demo");
    login.txtPassword->setText("wrong");
    login.cmdOK_Click();
    EXPECT_NE(login.result(), QDialog::Accepted);
    ASSERT_EQ(dialogs->shown().size(), 1u);
    const std::string& message = dialogs->shown()[0].prompt;
    EXPECT_TRUE(message.size() > 15 && message.substr(message.size() - 15) == "  Please retry.") << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << "one sentence, no line break from the server's text";
    // The client library's own words (with the server's socket path) are not the clerk's business.
    for (const char* raw : {"FATAL", "socket", "authentication failed", "/"})
        EXPECT_EQ(message.find(raw), std::string::npos) << raw << " in: " << message;
    login.txtPassword->setText("demo");
    login.cmdOK_Click();
    EXPECT_EQ(login.result(), QDialog::Accepted) << "the right password still gets in";
}

TEST_F(ServerStartUp, TheBoardAndTheMainWindowCloseAndOpenAgainOnTheServer) {
    start("demo", "demo");
    frmMain& main = frmMain::instance();
    const long rows = frmShipments::instance().Data1->source()->rowCount();
    frmShipments::instance().subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_FALSE(frmShipments::exists());
    main.tlbrToolbar_ButtonClick("Ship");
    ASSERT_TRUE(frmShipments::exists());
    EXPECT_EQ(frmShipments::instance().Caption(), "Shipments for Tuesday, December 8, 2026");
    EXPECT_EQ(frmShipments::instance().Data1->source()->rowCount(), rows);
    // A change stored before the program ends is there when it starts again.
    const long id = firstOpenShipment();
    ASSERT_GT(id, 0);
    makeCurrent(id);
    frmShipments::instance().VxGrid1->setCellValue(kQuantityColumn, Variant(5));
    frmShipments::instance().DoUpdate();
    // Another day from the calendar is queried on the server too.
    const Date nextWeek = kToday.addDays(7);
    frmCalendarForm::instance().calCalendar->setValue(nextWeek);
    frmCalendarForm::instance().calCalendar_Click();
    EXPECT_EQ(frmShipments::instance().Data1->source()->rowCount(), savedQueryRows(nextWeek));
    endProgram();
    start("viewer", "viewer");
    EXPECT_TRUE(frmMain::instance().isVisible());
    EXPECT_EQ(frmShipments::instance().Caption(), "Shipments for Tuesday, December 8, 2026 (Read Only)");
    EXPECT_EQ(frmShipments::instance().Data1->source()->rowCount(), rows);
    makeCurrent(id);
    EXPECT_EQ(frmShipments::instance().VxGrid1->cellText(kQuantityColumn), "5");
}

// The label wizard lists the day's customers with labels and a chosen customer's shipments of the
// day, read from the server.
TEST_F(ServerStartUp, TheLabelWizardFindsTheDaysShipmentsOnTheServer) {
    start("demo", "demo");
    struct Unload {
        ~Unload() { frmPrtSelect::unload(); }
    } unload;
    frmMain::instance().tlbrToolbar_ButtonClick("Print");
    frmPrtSelect* w = frmPrtSelect::openWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_GT(w->lstCustList->count(), 0);
    const std::string customer = w->lstCustList->item(0)->text().toStdString();
    // Two of the customer's shipments went today, one of them canceled: only the other is offered.
    // The statement says "NOT Shipments.Canceled", a Yes/No field standing alone as a condition.
    dao::Recordset own = db.OpenRecordset("SELECT ShipmentID FROM Shipments WHERE Customer = " +
                                              dao::jet::quoteText(customer) + " ORDER BY ShipmentID",
                                          dao::dbOpenSnapshot);
    ASSERT_FALSE(own.atEOF());
    const long shipped = own["ShipmentID"].toLong();
    own.MoveNext();
    ASSERT_FALSE(own.atEOF());
    const long canceled = own["ShipmentID"].toLong();
    db.Execute("UPDATE Shipments SET ActShipDate = #2026-12-08#, Canceled = No WHERE ShipmentID = " +
               std::to_string(shipped));
    db.Execute("UPDATE Shipments SET ActShipDate = #2026-12-08#, Canceled = Yes WHERE ShipmentID = " +
               std::to_string(canceled));
    dao::Recordset expected = db.OpenRecordset(
        "SELECT Count(*) AS N FROM Shipments WHERE Customer = " + dao::jet::quoteText(customer) +
            " AND ActShipDate = #2026-12-08# AND Canceled = No",
        dao::dbOpenSnapshot);
    w->lstCustList->setCurrentRow(0);
    w->lstCustList_Click();
    auto rows = w->datCurShip->source();
    EXPECT_EQ(rows->rowCount(), expected["N"].toLong()) << customer;
    std::vector<long> offered;
    for (int row = 0; row < rows->rowCount(); ++row)
        offered.push_back(rows->value(row, rows->fieldIndex("ShipmentID")).toLong());
    EXPECT_NE(std::find(offered.begin(), offered.end(), shipped), offered.end());
    EXPECT_EQ(std::find(offered.begin(), offered.end(), canceled), offered.end());
}

// The windows that change tables keyed by text: a truck line added, a purchase order's date set and
// the Valcrest schedule printed from it.
TEST_F(ServerStartUp, TruckLinesAndPurchaseOrdersAreKeptOnTheServer) {
    start("demo", "demo");
    struct Unload {
        ~Unload() { frmPrtValcrest::unload(); }
    } unload;
    frmTruckLines& lines = frmTruckLines::showWindow();
    EXPECT_EQ(lines.datTruckLines->source()->rowCount(), 8);
    ASSERT_TRUE(lines.cmdUpdate->isEnabled()) << "the truck lines (keyed by a text) must be editable";
    auto source = lines.datTruckLines->source();
    source->addNew();
    source->setValue(source->fieldIndex("TruckLineAbbr"), Variant("DHL"));
    source->setValue(source->fieldIndex("TruckLineName"), Variant("DHL Freight"));
    lines.cmdUpdate_Click();
    EXPECT_EQ(db.OpenRecordset("SELECT Count(*) AS N FROM [Truck Lines] WHERE TruckLineAbbr = 'DHL'",
                               dao::dbOpenSnapshot)["N"]
                  .toLong(),
              1);
    lines.cmdClose_Click();

    // The schedule of a range of purchase-order dates, made on the server and printed from the
    // reports file.
    frmPrtValcrest& w = frmPrtValcrest::showWindow();
    dao::Recordset dated =
        db.OpenRecordset("SELECT POTable.PONumber FROM POTable INNER JOIN Shipments ON Shipments.CustomerPO "
                         "= POTable.PONumber "
                         "WHERE Shipments.Customer = 'Valcrest' AND Shipments.Canceled = No AND "
                         "POTable.PODate Between #2026-10-01# And #2026-12-31# ORDER BY POTable.PONumber",
                         dao::dbOpenSnapshot);
    ASSERT_FALSE(dated.atEOF()) << "the demo has dated Valcrest orders";
    const std::string po = dated["PONumber"].toString();
    const QString pdf = dir.filePath("schedule.pdf");
    w.Report1->setReportFileName(DORVANE_REPORTS_DIR "/daily valcrest report.rpt");
    w.Report1->setDestination(ReportComponent::crptToFile);
    w.Report1->setPrintFileName(pdf.toStdString());
    w.txtBeginningDate->setText("10/1/2026");
    w.txtEndingDate->setText("12/31/2026");
    w.cmdPrint->click(); // the saved query makes its table in the reports file from the server
    EXPECT_TRUE(dialogs->shown().empty()) << dialogs->shown()[0].prompt;
    const QString schedule = reporttest::pdfText(pdf);
    EXPECT_TRUE(schedule.contains(QString::fromStdString(po))) << po;
    // One group per purchase order of the range, however the saved query orders the rows.
    long orders = 0;
    for (dao::Recordset distinct = db.OpenRecordset(
             "SELECT DISTINCT POTable.PONumber FROM POTable INNER JOIN Shipments ON Shipments.CustomerPO = "
             "POTable.PONumber WHERE Shipments.Customer = 'Valcrest' AND Shipments.Canceled = No AND "
             "POTable.PODate Between #2026-10-01# And #2026-12-31#",
             dao::dbOpenSnapshot);
         !distinct.atEOF(); distinct.MoveNext())
        ++orders;
    EXPECT_EQ(schedule.count(QRegularExpression("PO +VAL-\\d+ +dated")), orders);

    // The clerk checks a purchase order's date in the window's grid.
    auto* grid = w.VxGrid1;
    grid->setCurrentIndex(grid->model()->index(0, 1));
    const std::string first = grid->model()->index(0, 0).data().toString().toStdString();
    // POTable has no key: on the server its rows go by where they are stored.
    ASSERT_TRUE(grid->model()->setData(grid->model()->index(0, 1), "12/2/2026", Qt::EditRole));
    w.datPOs->source()->update();
    EXPECT_EQ(db.OpenRecordset("SELECT PODate FROM POTable WHERE PONumber = " + dao::jet::quoteText(first),
                               dao::dbOpenSnapshot)["PODate"],
              Variant(Date::fromYmd(2026, 12, 2)));
}

// The search window's lists and its statement run on the server; closing it gives the board back.
TEST_F(ServerStartUp, TheSearchWindowFindsACustomersShipmentsOnTheServer) {
    start("demo", "demo");
    frmMain::instance().tlbrToolbar_ButtonClick("Search");
    frmSearch& search = frmSearch::instance();
    ASSERT_GT(search.lstCustList->count(), 0);
    const std::string customer = search.lstCustList->item(0)->text().toStdString();
    search.lstCustList->item(0)->setSelected(true);
    search.cmdApplyButton_Click();
    frmShipments& board = frmShipments::instance();
    EXPECT_EQ(board.Caption(), "Search Results");
    dao::Recordset all = db.OpenRecordset("SELECT Count(*) AS N FROM Shipments WHERE Customer = " +
                                              dao::jet::quoteText(customer),
                                          dao::dbOpenSnapshot);
    auto source = board.Data1->source();
    EXPECT_EQ(source->rowCount(), all["N"].toLong()) << customer << ": every status box is checked";
    const int required = source->fieldIndex("ReqShipDate");
    for (int row = 1; row < source->rowCount(); ++row) {
        const Variant before = source->value(row - 1, required), here = source->value(row, required);
        if (!before.isNull() && !here.isNull())
            ASSERT_LE(before.toDouble(), here.toDouble()) << "row " << row << " is out of date order";
    }
    frmSearch::instance().subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_EQ(board.Caption(), "Shipments for Tuesday, December 8, 2026");
    EXPECT_EQ(board.Data1->source()->rowCount(), savedQueryRows(kToday));
}
