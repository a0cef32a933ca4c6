#include "frmPrtValcrest.h"

#include "ReportComponent.h"
#include "basDAOUtilityFunctions.h"
#include "board_test_fixture.h"
#include "reports_database.h"

#include "board_server_database.h"

#include "dao/backend.h"
#include "report/report_test_support.h"
#include "runtime/locale_text.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

using namespace boardtest;

namespace {

class Valcrest : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        databaseName = path;
        frmMain::instance();
        execute(
            "INSERT INTO [Job Lookup Table] ([Job Number], [Job Description], [Customer Part Num]) VALUES "
            "('J1', 'Round Lid', 'VC-77')");
    }
    void TearDown() override {
        frmPrtValcrest::unload();
        BoardFixture::TearDown();
    }

    void shipment(const std::string& customer, const char* po, const std::string& workOrder,
                  long quantity = 100, const std::string& required = "2026-12-10") {
        std::string value = po ? "'" + std::string(po) + "'" : "Null";
        execute(
            "INSERT INTO Shipments (WorkOrder, Customer, CustomerPO, JobNum, Quantity, ReqShipDate, Late, "
            "Canceled, OKToShip) VALUES ('" +
            workOrder + "', '" + customer + "', " + value + ", 'J1', " + std::to_string(quantity) + ", #" +
            required + "#, No, No, Yes)");
    }

    std::vector<std::string> poNumbers() {
        dao::Database db = dao::engine().OpenDatabase(databaseName);
        dao::Recordset rs =
            db.OpenRecordset("SELECT PONumber FROM POTable ORDER BY PONumber", dao::dbOpenSnapshot);
        std::vector<std::string> out;
        for (; !rs.atEOF(); rs.MoveNext())
            out.push_back(rs["PONumber"].isNull() ? "<null>" : rs["PONumber"].toString());
        db.Close();
        return out;
    }

    bool reportTableExists() {
        dao::Database reports = OpenOrCreateDatabase(kReportsDatabase);
        bool found = false;
        for (const dao::TableDef& t : reports.TableDefs())
            found = found || t.Name() == "Report";
        reports.Close();
        return found;
    }

    frmPrtValcrest& openToPdf(const QString& pdf) {
        frmPrtValcrest& w = frmPrtValcrest::showWindow();
        w.Report1->setReportFileName(DORVANE_REPORTS_DIR "/daily valcrest report.rpt");
        w.Report1->setDestination(ReportComponent::crptToFile);
        w.Report1->setPrintFileName(pdf.toStdString());
        return w;
    }

    std::string databaseName; // where the options point: the fixture's file or a server database
};

namespace {
// The clerk types the first order's date into the grid and prints December's schedule.
void typeFirstPODateAndPrint(frmPrtValcrest& w) {
    auto* grid = w.VxGrid1;
    grid->setCurrentIndex(grid->model()->index(0, 1));
    ASSERT_TRUE(grid->model()->setData(grid->model()->index(0, 1), "12/5/2026", Qt::EditRole));
    w.txtBeginningDate->setText("12/1/2026");
    w.txtEndingDate->setText("12/31/2026");
    w.cmdPrint->click();
}
} // namespace

TEST_F(Valcrest, OpeningAddsTheCustomersNewPurchaseOrdersOnce) {
    execute("INSERT INTO POTable (PONumber, PODate) VALUES ('PO-1', #2026-11-30#)");
    shipment("Valcrest", "PO-1", "W1");
    shipment("Valcrest", "PO-2", "W2");
    shipment("Valcrest", "PO-2", "W3");  // one PO on several shipments
    shipment("Valcrest", nullptr, "W4"); // no PO yet
    shipment("Acme", "PO-9", "W5");      // another customer's
    frmPrtValcrest& w = frmPrtValcrest::showWindow();
    EXPECT_EQ(w.windowTitle(), "Print Valcrest Production Schedule");
    EXPECT_EQ(poNumbers(), (std::vector<std::string>{"PO-1", "PO-2"}));
    ASSERT_TRUE(w.datPOs->source());
    EXPECT_EQ(w.datPOs->source()->rowCount(), 2);
    EXPECT_EQ(w.VxGrid1->Columns(0).caption, "PO Number");
    EXPECT_EQ(w.VxGrid1->Columns(1).caption, "PO Date");

    // Closed and opened again: nothing is added twice, and the window works as before.
    w.cmdCancel->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmPrtValcrest::openWindow(), nullptr);
    shipment("Valcrest", "PO-3", "W6");
    frmPrtValcrest& again = frmPrtValcrest::showWindow();
    EXPECT_EQ(poNumbers(), (std::vector<std::string>{"PO-1", "PO-2", "PO-3"}));
    EXPECT_EQ(again.datPOs->source()->rowCount(), 3);
    EXPECT_TRUE(frmMain::instance().mnuFilePrintValcrest->isVisible());

    // Another workstation holds the file's write lock: the window opens with the orders it has and
    // says why the new one is missing; the next opening adds it.
    shipment("Valcrest", "PO-4", "W7");
    frmPrtValcrest::unload();
    auto other = dao::openSqlite(path, {});
    other->begin();
    dialogs->clear();
    frmPrtValcrest& locked = frmPrtValcrest::showWindow();
    ASSERT_EQ(dialogs->shown().size(), 1u);
    EXPECT_NE(dialogs->shown()[0].prompt.find("could not be added"), std::string::npos);
    EXPECT_NE(dialogs->shown()[0].prompt.find("locked by another user"), std::string::npos)
        << dialogs->shown()[0].prompt;
    EXPECT_EQ(locked.datPOs->source()->rowCount(), 3);
    other->rollback();
    frmPrtValcrest::unload();
    EXPECT_EQ(frmPrtValcrest::showWindow().datPOs->source()->rowCount(), 4);
}

TEST_F(Valcrest, DatesThatAreNotDatesOrRunBackwardsAreRefused) {
    frmPrtValcrest& w = openToPdf(dir.filePath("v.pdf"));
    w.txtBeginningDate->setText("soon");
    w.txtEndingDate->setText("12/31/2026");
    w.cmdPrint->click();
    w.txtBeginningDate->setText("12/1/2026");
    w.txtEndingDate->setText("");
    w.cmdPrint->click();
    w.txtEndingDate->setText("11/1/2026");
    w.cmdPrint->click();
    ASSERT_EQ(dialogs->shown().size(), 3u);
    EXPECT_NE(dialogs->shown()[0].prompt.find("beginning PO date as a date"), std::string::npos);
    EXPECT_NE(dialogs->shown()[1].prompt.find("ending PO date as a date"), std::string::npos);
    EXPECT_NE(dialogs->shown()[2].prompt.find("after the ending PO date"), std::string::npos);
    EXPECT_FALSE(QFile::exists(dir.filePath("v.pdf")));
    EXPECT_FALSE(reportTableExists());
}

TEST_F(Valcrest, PrintsTheScheduleOfTheDateRangeAndCleansUp) {
    execute(
        "INSERT INTO POTable (PONumber, PODate) VALUES ('PO-IN', #2026-12-02#), ('PO-OUT', #2027-01-15#)");
    shipment("Valcrest", "PO-IN", "W-A", 1200);
    shipment("Valcrest", "PO-IN", "W-B", 300);
    shipment("Valcrest", "PO-OUT", "W-C");
    // A table an earlier failure left behind, with rows that must not print.
    {
        dao::Database reports = OpenOrCreateDatabase(kReportsDatabase);
        reports.Execute("CREATE TABLE Report (PONumber TEXT, WorkOrder TEXT)");
        reports.Execute("INSERT INTO Report VALUES ('PO-STALE', 'W-STALE')");
        reports.Close();
    }
    QString pdf = dir.filePath("schedule.pdf");
    frmPrtValcrest& w = openToPdf(pdf);
    w.txtBeginningDate->setText("12/1/2026");
    w.txtEndingDate->setText("12/31/2026");
    w.cmdPrint->click();
    EXPECT_TRUE(dialogs->shown().empty()) << dialogs->shown()[0].prompt;
    QString text = reporttest::pdfText(pdf);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.contains("Valcrest Production Schedule"));
    EXPECT_TRUE(text.contains(QRegularExpression("PO +PO-IN +dated +12/2/2026")));
    EXPECT_TRUE(text.contains(QRegularExpression("W-A +J1 +VC-77 +Round Lid +1,200")));
    EXPECT_TRUE(text.contains(QRegularExpression("PO total +1,500")));
    EXPECT_FALSE(text.contains("W-C"));
    EXPECT_FALSE(text.contains("STALE"));
    EXPECT_FALSE(reportTableExists());
    EXPECT_TRUE(w.isVisible()); // the window stays for another range

    // A print that fails is said with what to mend, and leaves no table behind either.
    w.Report1->setReportFileName(dir.filePath("gone.rpt").toStdString());
    w.cmdPrint->click();
    ASSERT_EQ(dialogs->shown().size(), 1u);
    EXPECT_EQ(QString::fromStdString(dialogs->shown()[0].prompt),
              "Error Printing Report, Code: 1\nThe report template " + dir.filePath("gone.rpt") +
                  " cannot be read: it is not there.");
    EXPECT_FALSE(reportTableExists());
}

TEST_F(Valcrest, APODateTypedInTheGridIsStoredBeforePrinting) {
    shipment("Valcrest", "PO-NEW", "W-N");
    QString pdf = dir.filePath("typed.pdf");
    frmPrtValcrest& w = openToPdf(pdf);
    typeFirstPODateAndPrint(w);
    EXPECT_TRUE(reporttest::pdfText(pdf).contains("W-N"));
}

// The schedule in a month-first and in a day-first locale: the clerk types and reads dates in it.
class ValcrestSchedule : public Valcrest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        Valcrest::SetUp();
        runtime::setDateLocale(GetParam());
    }
    static QString date(int y, int m, int d) {
        return QString::fromStdString(runtime::shortDateText(runtime::Date::fromYmd(y, m, d)));
    }
    long poTotal(const QString& po) {
        dao::Recordset rs = db.OpenRecordset("SELECT Sum(Quantity) AS Total FROM Shipments WHERE Customer = "
                                             "'Valcrest' AND Canceled = No AND CustomerPO = '" +
                                                 po.toStdString() + "'",
                                             dao::dbOpenSnapshot);
        return rs["Total"].toLong();
    }
};

// Two POs of one date whose shipments interleave by ship date, as the saved query orders them:
// still one group per PO, each with its whole total, under the range the schedule covers.
TEST_P(ValcrestSchedule, EachPOIsOneGroupWithItsWholeTotal) {
    execute("INSERT INTO POTable (PONumber, PODate) VALUES ('VAL-7494', #2026-10-02#), "
            "('VAL-7495', #2026-10-02#), ('VAL-7600', #2026-11-15#), ('VAL-8000', #2027-01-05#)");
    shipment("Valcrest", "VAL-7494", "W-1", 525, "2026-10-10");
    shipment("Valcrest", "VAL-7495", "W-2", 40, "2026-10-15");
    shipment("Valcrest", "VAL-7494", "W-3", 7300, "2026-10-20");
    shipment("Valcrest", "VAL-7600", "W-4", 100, "2026-11-20");
    shipment("Valcrest", "VAL-8000", "W-5", 9, "2027-01-10"); // dated after the range
    QString pdf = dir.filePath("quarter.pdf");
    frmPrtValcrest& w = openToPdf(pdf);
    w.txtBeginningDate->setText(date(2026, 10, 1));
    w.txtEndingDate->setText(date(2026, 12, 31));
    w.cmdPrint->click();
    EXPECT_TRUE(dialogs->shown().empty()) << dialogs->shown()[0].prompt;
    const QString text = reporttest::pdfText(pdf);
    EXPECT_TRUE(text.contains("PO dates " + date(2026, 10, 1) + " to " + date(2026, 12, 31)))
        << text.toStdString();

    QStringList groups;
    for (const auto& m : QRegularExpression("PO +(VAL-\\d+) +dated").globalMatch(text))
        groups << m.captured(1);
    QStringList totals;
    for (const auto& m : QRegularExpression("PO total +([\\d,]+)").globalMatch(text))
        totals << QString(m.captured(1)).remove(',');
    EXPECT_EQ(groups, QStringList({"VAL-7494", "VAL-7495", "VAL-7600"}));
    ASSERT_EQ(totals.size(), groups.size());
    for (int i = 0; i < groups.size(); ++i)
        EXPECT_EQ(totals[i].toLong(), poTotal(groups[i])) << groups[i].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Locales, ValcrestSchedule, ::testing::Values("en_US", "de_DE"));

// The shipments database on a server, the program logged in as the server's role.
class ValcrestOnServer : public Valcrest {
protected:
    void SetUp() override {
        Valcrest::SetUp();
        databaseName = useServerDatabase(db);
        execute("INSERT INTO [Job Lookup Table] ([Job Number], [Job Description], [Customer Part Num]) "
                "VALUES ('J1', 'Round Lid', 'VC-77')");
    }
};

TEST_F(ValcrestOnServer, PrintsTheScheduleIntoTheReportsFile) {
    execute(
        "INSERT INTO POTable (PONumber, PODate) VALUES ('PO-IN', #2026-12-02#), ('PO-OUT', #2027-01-15#)");
    shipment("Valcrest", "PO-IN", "W-A", 1200);
    shipment("Valcrest", "PO-OUT", "W-C");
    shipment("Valcrest", "PO-NEW", "W-N");
    QString pdf = dir.filePath("schedule.pdf");
    frmPrtValcrest& w = openToPdf(pdf);
    EXPECT_EQ(poNumbers(), (std::vector<std::string>{"PO-IN", "PO-NEW", "PO-OUT"}));
    w.txtBeginningDate->setText("12/1/2026");
    w.txtEndingDate->setText("12/31/2026");
    w.cmdPrint->click();
    QString text = reporttest::pdfText(pdf);
    EXPECT_TRUE(text.contains(QRegularExpression("W-A +J1 +VC-77 +Round Lid +1,200"))) << text.toStdString();
    EXPECT_FALSE(text.contains("W-C"));
    EXPECT_FALSE(reportTableExists());
}

// POTable has no key: on a server its rows are told apart by where they are stored, so the clerk
// types the dates there as on a file and the schedule prints by them.
TEST_F(ValcrestOnServer, ThePODatesAreTypedAsOnAFile) {
    shipment("Valcrest", "PO-NEW", "W-N");
    QString pdf = dir.filePath("dated.pdf");
    frmPrtValcrest& w = openToPdf(pdf);
    EXPECT_EQ(poNumbers(), (std::vector<std::string>{"PO-NEW"})) << "new orders are still added";
    ASSERT_TRUE(w.datPOs->source());
    EXPECT_TRUE(w.datPOs->source()->updatable());
    EXPECT_FALSE(w.lblInstructions->text().contains("cannot be changed"))
        << w.lblInstructions->text().toStdString();
    typeFirstPODateAndPrint(w);
    EXPECT_TRUE(dialogs->shown().empty());
    EXPECT_TRUE(reporttest::pdfText(pdf).contains("W-N"));
}

// A clerk whose role may only read opens the window (no new orders are added) and is told why the
// dates cannot be changed.
TEST_F(ValcrestOnServer, AReadingRoleSeesTheOrdersAndIsToldWhy) {
    execute("INSERT INTO POTable (PONumber, PODate) VALUES ('PO-1', #2026-12-02#)");
    shipment("Valcrest", "PO-NEW", "W-N");
    const auto& s = dao::testing::pgServer();
    auto admin = dao::openPostgres(databaseName, s.superuser, s.password, {});
    for (const char* sql : {"DROP ROLE IF EXISTS valcrest_clerk", "CREATE ROLE valcrest_clerk LOGIN PASSWORD 'clerk-pw'",
                            "GRANT SELECT ON ALL TABLES IN SCHEMA public TO valcrest_clerk"})
        admin->execute(sql);
    dao::engine().setDefaultUser("valcrest_clerk");
    dao::engine().setDefaultPassword("clerk-pw");
    frmPrtValcrest& w = frmPrtValcrest::showWindow();
    EXPECT_EQ(w.datPOs->source()->rowCount(), 1);
    EXPECT_TRUE(w.lblInstructions->text().contains("may only read"))
        << w.lblInstructions->text().toStdString();
    EXPECT_EQ(poNumbers(), (std::vector<std::string>{"PO-1"}));
}

} // namespace
