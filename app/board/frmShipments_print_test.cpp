#include "ReportComponent.h"
#include "basDAOUtilityFunctions.h"
#include "basGlobals_board.h"
#include "board_layout.h"
#include "board_test_fixture.h"
#include "reports_database.h"

#include "report/preview_window.h"
#include "report/report_test_support.h"
#include "runtime/locale_text.h"
#include "widgets/tab_strip.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>

using namespace boardtest;
using reporttest::pdfText;

namespace {

// The report in a month-first and in a day-first locale: its dates and captions are the user's.
class ShippingReport : public BoardFixture, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        runtime::setDateLocale(GetParam());
        execute(
            "INSERT INTO [Job Lookup Table] ([Job Number], [Job Description]) VALUES ('J1', 'Round Lid'), "
            "('J2', 'Square Box')");
    }

    frmShipments& showTab(int tab) {
        frmShipments& b = openBoard();
        b.tsTab->setSelectedIndex(tab);
        return b;
    }

    // Prints the board's report into a PDF and returns its text.
    QString printToPdf(frmShipments& b) {
        QString pdf = dir.filePath("report.pdf");
        QFile::remove(pdf);
        b.Report1->setReportFileName(DORVANE_REPORTS_DIR "/shipping report.rpt");
        b.Report1->setDestination(ReportComponent::crptToFile);
        b.Report1->setPrintFileName(pdf.toStdString());
        b.cmdPrint_Click();
        return pdfText(pdf);
    }

    std::vector<std::string> reportTables() {
        dao::Database reports = OpenOrCreateDatabase(kReportsDatabase);
        std::vector<std::string> names;
        for (const dao::TableDef& t : reports.TableDefs())
            names.push_back(t.Name());
        reports.Close();
        return names;
    }
    bool scratchTableGone() {
        auto names = reportTables();
        return std::find(names.begin(), names.end(), "ShipReportTable") == names.end();
    }
};

TEST_P(ShippingReport, PrintsTheBoardsRowsUnderItsCaptionWithTotals) {
    add("WO-100", "Acme", "J1", 1200, "2026-12-08");
    add("WO-200", "Beta", "J2", 300, "2026-12-01", nullptr, true);
    add("WO-300", "Gamma", "J2", 40, "2026-12-08", nullptr, false, true);
    add("WO-400", "Delta", "J1", 5, "2026-12-08", "2026-12-08");

    const QString today = QString::fromStdString(runtime::longDateText(kToday));
    frmShipments& b = showTab(2); // All
    QString all = printToPdf(b);
    ASSERT_FALSE(all.isEmpty()) << "no report was written";
    EXPECT_TRUE(all.contains("All Shipments for " + today));
    for (const char* caption :
         {"Work Order#", "Customer PO#", "Part Description", "Quantity", "Sched. Ship", "Actual Ship"})
        EXPECT_TRUE(all.contains(caption)) << caption;
    EXPECT_FALSE(all.contains("Cancel Date"));
    EXPECT_TRUE(all.contains(QRegularExpression(
        "WO-100 +Acme .*J1 .*1,200 .*" +
        QRegularExpression::escape(QString::fromStdString(runtime::shortDateText(kToday))))));
    EXPECT_TRUE(all.contains(QRegularExpression("Shipments: +4")));
    EXPECT_TRUE(all.contains(QRegularExpression("Total quantity: +1,545")));
    EXPECT_TRUE(all.contains("Page 1 of 1"));
    EXPECT_TRUE(dialogs->shown().empty());
    EXPECT_TRUE(scratchTableGone());

    QString late = printToPdf(showTab(4));
    EXPECT_TRUE(late.contains("Late Shipments as of " + today));
    EXPECT_TRUE(late.contains("WO-200"));
    EXPECT_FALSE(late.contains("WO-100"));

    QString canceled = printToPdf(showTab(6));
    EXPECT_TRUE(canceled.contains("Orders Canceled on " + today));
    EXPECT_TRUE(canceled.contains("WO-300"));
    EXPECT_FALSE(canceled.contains("WO-200"));
    // The canceled rows' date is the day they were canceled, headed as the board heads it.
    EXPECT_TRUE(canceled.contains("Cancel Date"));
    EXPECT_FALSE(canceled.contains("Actual Ship"));

    for (int tab : {1, 3, 5}) {
        QString text = printToPdf(showTab(tab));
        EXPECT_TRUE(text.contains(board::tabDefinition(tab).windowCaptionPrefix)) << tab;
        EXPECT_TRUE(text.contains("Actual Ship")) << tab;
    }
    b.setCaption("Search Results");
    EXPECT_TRUE(printToPdf(b).contains("Search Results"));
    EXPECT_TRUE(scratchTableGone());
}

TEST_P(ShippingReport, ALongBoardPrintsNumberedPages) {
    for (int i = 0; i < 90; ++i)
        add("WO-" + std::to_string(1000 + i), "Acme", "J1", 10, "2026-12-08");
    QString text = printToPdf(showTab(2));
    EXPECT_TRUE(text.contains("Page 1 of 3"));
    EXPECT_TRUE(text.contains("Page 3 of 3"));
    EXPECT_EQ(text.count('\f'), 3);
    EXPECT_TRUE(text.contains("WO-1089"));
    EXPECT_TRUE(text.contains(QRegularExpression("Total quantity: +900")));
}

TEST_P(ShippingReport, ALeftoverTableIsEmptiedAndEveryRunDropsItsTable) {
    add("WO-NEW", "Acme", "J1", 10, "2026-12-08");
    frmShipments& b = showTab(2);
    // A table an interrupted run left behind, still holding an old row.
    dao::Recordset clone = widgets::boundRecordset(*b.Data1)->Clone();
    ASSERT_EQ(CreateTableFromRecordset(kReportsDatabase, "ShipReportTable", clone), 0);
    {
        dao::Database reports = OpenOrCreateDatabase(kReportsDatabase);
        reports.Execute("INSERT INTO ShipReportTable (WorkOrder, Customer) VALUES ('WO-OLD', 'Stale')");
        reports.Close();
    }
    QString text = printToPdf(b);
    EXPECT_TRUE(text.contains("WO-NEW"));
    EXPECT_FALSE(text.contains("WO-OLD"));
    EXPECT_TRUE(scratchTableGone());

    // A report that cannot print is reported with its code and what to mend, the template named
    // whole (and the line of its fault); the table still goes.
    const QString missing = dir.filePath("no such template.rpt"), broken = dir.filePath("broken.rpt");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[report]\ntable = ShipReportTable\n\n[detail 10]\nfeild Customer x=0 w=20\n");
    f.close();
    for (auto [file, expected] : {std::pair{missing, "Error Printing Report, Code: 1\nThe report template " +
                                                         missing + " cannot be read: it is not there."},
                                  {broken, "Error Printing Report, Code: 2\nThe report template " + broken +
                                               ", line 5 has a fault: unknown item \"feild\"."}}) {
        dialogs->clear();
        b.Report1->setReportFileName(file.toStdString());
        b.cmdPrint_Click();
        ASSERT_EQ(dialogs->shown().size(), 1u);
        EXPECT_EQ(QString::fromStdString(dialogs->shown()[0].prompt), expected);
        EXPECT_EQ(dialogs->shown()[0].title, "Dorvane");
        EXPECT_TRUE(scratchTableGone());
    }
}

// Read off the rendered page as a clerk reads it: a wide total shows all its digits, a long name ends
// in "…". (The PDF's text layer holds the whole number even where the drawing is cut.)
TEST_P(ShippingReport, WideTotalsAndLongNamesReadWholeOnThePage) {
    add("WO-1", "Harbor Medical Supply Company of the Great Lakes", "J1", 50000000, "2026-12-08");
    add("WO-2", "Acme", "J2", 2808763, "2026-12-08", nullptr, false, false, true,
        "Call the customer before shipping: the dock closes at noon on Fridays.");
    frmShipments& b = showTab(2);
    QString text = printToPdf(b);
    EXPECT_TRUE(text.contains(QRegularExpression("Harbor Medical[^\n]*…"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("Call the customer[^\n]*…"))) << text.toStdString();
    QString seen = reporttest::ocrText(dir.filePath("report.pdf")).remove(' ');
    ASSERT_FALSE(seen.isEmpty()) << "pdftoppm or tesseract could not read the page";
    EXPECT_TRUE(seen.contains("Totalquantity:52,808,763")) << seen.toStdString();
    EXPECT_TRUE(seen.contains("50,000,000")) << seen.toStdString();

    execute("UPDATE Shipments SET Quantity = 5000000");
    showTab(1);
    seen = (printToPdf(showTab(2)), reporttest::ocrText(dir.filePath("report.pdf")).remove(' '));
    EXPECT_TRUE(seen.contains("Totalquantity:10,000,000")) << seen.toStdString();
}

TEST_P(ShippingReport, AnEmptyBoardIsReportedNotPrinted) {
    add("WO-1", "Acme", "J1", 10, "2026-12-01", "2026-12-01"); // shipped a week ago: not on today's board
    frmShipments& b = showTab(1);
    QString pdf = dir.filePath("empty.pdf");
    b.Report1->setDestination(ReportComponent::crptToFile);
    b.Report1->setPrintFileName(pdf.toStdString());
    b.cmdPrint_Click();
    ASSERT_EQ(dialogs->shown().size(), 1u);
    EXPECT_EQ(dialogs->shown()[0].prompt, "There are no shipments on the board to print.");
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(scratchTableGone());
}

TEST_P(ShippingReport, ButtonAndMenuOpenThePreviewWhichClosesAndReopens) {
    add("WO-9", "Acme", "J1", 10, "2026-12-08");
    frmShipments& b = showTab(2);
    b.Report1->setReportFileName(DORVANE_REPORTS_DIR "/shipping report.rpt");
    frmMain& main = frmMain::instance();
    EXPECT_TRUE(main.mnuFilePrintStandard->isVisible());
    EXPECT_TRUE(main.mnuFilePrintValcrest->isVisible());

    b.cmdPrint->click();
    QPointer<report::PreviewWindow> preview = b.Report1->previewWindow();
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->windowTitle(), "Print Preview");
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->pageCount(), 1);
    EXPECT_TRUE(scratchTableGone()); // the preview holds its own copy of the rows
    preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(preview.isNull());

    main.mnuFilePrintStandard->trigger();
    ASSERT_TRUE(b.Report1->previewWindow());
    EXPECT_EQ(b.Report1->previewWindow()->pageCount(), 1);
    b.Report1->previewWindow()->close();
}

INSTANTIATE_TEST_SUITE_P(Locales, ShippingReport, ::testing::Values("en_US", "de_DE"));

TEST(ReportComponentMembers, DispatchIdsReachTheMembers) {
    ReportComponent r;
    r.setProperty(ReportComponent::dispReportFileName, runtime::Variant("C:\\x\\a.rpt"));
    EXPECT_EQ(r.ReportFileName(), "C:\\x\\a.rpt");
    r.setProperty(16, runtime::Variant(std::int16_t(3)));
    EXPECT_EQ(r.CopiesToPrinter(), 3);
    r.setProperty(29, runtime::Variant("ReportTitleFormula= 'x'"), 2);
    EXPECT_EQ(r.Formulas(2), "ReportTitleFormula= 'x'");
    EXPECT_EQ(r.getProperty(29, 1).toString(), "");
    for (int id : {22, 23, 47, 48, 49}) {
        r.setProperty(id, runtime::Variant("v" + std::to_string(id)));
        EXPECT_EQ(r.getProperty(id).toString(), "v" + std::to_string(id));
    }
    r.setProperty(50, runtime::Variant(std::int16_t(2)));
    r.setProperty(51, runtime::Variant(std::int16_t(4)));
    EXPECT_EQ(r.PrinterStartPage(), 2);
    EXPECT_EQ(r.PrinterStopPage(), 4);
    EXPECT_THROW(r.getProperty(99), runtime::Error);
    EXPECT_THROW(r.setFormulas(-1, "x"), runtime::Error);
    // Print report by its id: a template that is not there gives a status, never a throw.
    r.setReportFileName("/nonexistent/dir/x.rpt");
    EXPECT_EQ(r.invoke(ReportComponent::dispPrintReport).toInteger(), 1);
    EXPECT_FALSE(r.LastErrorString().isEmpty());
}

} // namespace
