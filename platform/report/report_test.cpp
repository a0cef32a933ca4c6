#include "barcode.h"
#include "preview_window.h"
#include "printers.h"
#include "report_document.h"
#include "report_job.h"
#include "report_status.h"
#include "report_test_support.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace report;
using reporttest::pdfText;

namespace {

const char* kSample = R"(# a sample
[report]
database = /tmp/x.db
table = Orders
page = Letter portrait
margins = 0.5in
font = "DejaVu Sans" 9

[formulas]
Title = 'Orders'

[page-header 40]
formula Title x=0 y=0 w=540 h=20 size=14 bold align=center
line x=0 y=30 w=540 h=0

[group-header Customer 20]
field Customer x=0 y=0 w=200 h=20 bold

[detail 300]
field Item x=0 y=0 w=100 h=14
field Qty x=100 y=0 w=50 h=14 format=#,##0 align=right
field Due x=160 y=0 w=80 h=14 format=date

[group-footer Customer 20]
total sum Qty x=100 y=0 w=50 h=14 scope=group

[report-footer 20]
total sum Qty x=100 y=0 w=50 h=14 format=#,##0.00
total count x=200 y=0 w=50 h=14

[page-footer 20]
text "Page {page} of {pages}" x=0 y=0 w=540 h=14 align=right
)";

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::setDateLocale("en_US");
        runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 9, 0, 0));
        dialogs = runtime::useScriptedDialogs();
        dao::engine().reset();
        database = dir.filePath("reports.db");
        dao::Database db = dao::engine().CreateDatabase(database.toStdString());
        db.Execute("CREATE TABLE Orders (Customer TEXT, Item TEXT, Qty INTEGER, Due DATETIME, Code TEXT)");
        const char* rows[][4] = {{"Acme", "Lid", "1200", "2026-12-01"},
                                 {"Acme", "Cap", "300", "2026-12-02"},
                                 {"Beta", "Box", "50", "2026-12-03"}};
        for (auto& r : rows)
            db.Execute(std::string("INSERT INTO Orders VALUES ('") + r[0] + "', '" + r[1] + "', " + r[2] +
                       ", #" + r[3] + "#, 'SHIP-" + r[1] + "')");
        db.Close();
    }
    void TearDown() override {
        runtime::setClock(std::nullopt);
        runtime::setDialogs(nullptr);
    }

    QString writeTemplate(const QString& text, const QString& name = "t.rpt") {
        QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QString(text).replace("/tmp/x.db", database).toUtf8());
        return path;
    }

    JobRequest toPdf(const QString& templatePath) {
        JobRequest r;
        r.templatePath = templatePath;
        r.destination = Destination::File;
        r.outputFile = dir.filePath("out.pdf");
        return r;
    }

    QTemporaryDir dir;
    QString database;
    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
};

TEST_F(Report, TemplatesAreReadWithUnitsQuotesAndLineNumberedFaults) {
    Template t = parseTemplate(kSample);
    EXPECT_EQ(t.table, "Orders");
    EXPECT_DOUBLE_EQ(t.margins.left(), 36);
    EXPECT_EQ(t.font, "DejaVu Sans");
    ASSERT_EQ(t.bands.size(), 6u);
    EXPECT_EQ(t.bands[1].groupField, "Customer");
    EXPECT_EQ(t.formulas.at("Title"), "'Orders'");
    EXPECT_EQ(t.fieldNames(), QStringList({"Customer", "Item", "Qty", "Due"}));
    EXPECT_DOUBLE_EQ(parseLength("1in"), 72);
    EXPECT_NEAR(parseLength("25.4mm"), 72, 1e-9);

    Template quoted =
        parseTemplate("[report]\ntable = T\n[detail 10]\nfield \"Job Description\" x=1 w=2in\n");
    EXPECT_EQ(quoted.bands[0].items[0].text, "Job Description");
    EXPECT_DOUBLE_EQ(quoted.bands[0].items[0].rect.width(), 144);

    auto faultLine = [](const char* text) {
        try {
            parseTemplate(text);
        } catch (const TemplateError& e) {
            return e.line;
        }
        return -1;
    };
    EXPECT_EQ(faultLine("[report]\ntable = T\n[detail 10]\nwibble Foo\n"), 4);
    EXPECT_EQ(faultLine("[report]\ntable = T\n[detail ten]\n"), 3);
    EXPECT_EQ(faultLine("[report]\ntable = T\n[detail 10]\ntext \"open\n"), 4);
    EXPECT_EQ(faultLine("[report]\npage = A4\n"), 0); // no table named
    EXPECT_EQ(faultLine("[report]\ntable = T\n[detail 10]\nfield X x=1 align=middle\n"), 4);
}

TEST_F(Report, LayoutBreaksPagesGroupsAndTotals) {
    Template t = parseTemplate(kSample);
    int status = 0;
    QString message;
    RowSet rows = readTable(database, "Orders", &status, &message);
    ASSERT_EQ(status, 0) << message.toStdString();
    ASSERT_EQ(rows.rows.size(), 3u);
    auto doc = layoutReport(t, rows, {{"Title", "Open Orders"}});
    // Letter is 792pt: 720 inside the margins, less 40 header and 20 footer; a 300pt detail fits
    // twice per page with its group header, so three rows and their group bands take two pages.
    ASSERT_EQ(doc->pages.size(), 2u);
    QStringList texts;
    for (const Page& p : doc->pages)
        for (const PlacedItem& i : p.items)
            texts << i.text;
    EXPECT_TRUE(texts.contains("Open Orders"));
    EXPECT_TRUE(texts.contains("1,200"));
    EXPECT_TRUE(texts.contains("12/1/2026"));
    EXPECT_TRUE(texts.contains("1500")); // Acme's group total
    EXPECT_TRUE(texts.contains("50"));   // Beta's
    EXPECT_TRUE(texts.contains("1,550.00"));
    EXPECT_TRUE(texts.contains("3")); // rows counted
    EXPECT_EQ(texts.count("Page {page} of {pages}"), 2);
    // Every item stays inside the paper.
    for (const Page& p : doc->pages)
        for (const PlacedItem& i : p.items)
            EXPECT_LE(i.rect.bottom(), 792 - 36 + 0.01) << i.text.toStdString();
}

TEST_F(Report, LabelSheetsFillAcrossThenDown) {
    Template t = parseTemplate("[report]\ntable = Orders\npage = Letter\nmargins = 0\nacross = 3\n"
                               "across-gap = 6\ndown-gap = 4\n[detail 100]\nfield Item x=0 y=0 w=100 h=20\n");
    int status = 0;
    QString message;
    RowSet rows = readTable(database, "Orders", &status, &message);
    rows.rows.push_back(rows.rows[0]);
    auto doc = layoutReport(t, rows, {});
    ASSERT_EQ(doc->pages.size(), 1u);
    const auto& items = doc->pages[0].items;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_DOUBLE_EQ(items[0].rect.left(), 0);
    EXPECT_DOUBLE_EQ(items[1].rect.left(), 206); // (612 - 12) / 3 + 6
    EXPECT_DOUBLE_EQ(items[2].rect.left(), 412);
    EXPECT_DOUBLE_EQ(items[3].rect.left(), 0);
    EXPECT_DOUBLE_EQ(items[3].rect.top(), 104);
}

TEST_F(Report, ValuesAndFormulaLiterals) {
    EXPECT_EQ(formatValue(runtime::Variant(runtime::Date::fromYmd(2026, 12, 8)), "date"), "12/8/2026");
    EXPECT_EQ(formatValue(runtime::Variant(runtime::Date::fromYmd(2026, 12, 8)), "longdate"),
              "Tuesday, December 8, 2026");
    EXPECT_EQ(formatValue(runtime::Variant(true), "yesno"), "Yes");
    EXPECT_EQ(formatValue(runtime::Variant(1234567.891), "#,##0.00"), "1,234,567.89");
    EXPECT_EQ(formatValue(runtime::Variant(1234.5), "0"), "1235");
    EXPECT_EQ(formatValue(runtime::Variant::null(), "date"), "");
    EXPECT_EQ(formulaLiteral(" 'Late Shipments as of Tuesday' "), "Late Shipments as of Tuesday");
    EXPECT_EQ(formulaLiteral("'Bob''s'"), "Bob's");
    EXPECT_EQ(formulaLiteral("\"x\""), "x");
    EXPECT_EQ(formulaLiteral("42"), "42");
}

TEST_F(Report, PdfCarriesTheReportText) {
    JobRequest r = toPdf(writeTemplate(kSample));
    r.formulas << "Title= 'Open Orders for Tuesday'";
    JobOutcome o = runReport(r);
    ASSERT_EQ(o.status, status::Ok) << o.message.toStdString();
    EXPECT_EQ(o.pages, 2);
    QString text = pdfText(r.outputFile);
    ASSERT_FALSE(text.isEmpty()) << "pdftotext could not read the report";
    EXPECT_TRUE(text.contains("Open Orders for Tuesday"));
    EXPECT_TRUE(text.contains("Acme"));
    EXPECT_TRUE(text.contains("1,200"));
    EXPECT_TRUE(text.contains("Page 1 of 2"));
    EXPECT_TRUE(text.contains("Page 2 of 2"));
    EXPECT_TRUE(text.contains("1,550.00"));

    r.firstPage = 2;
    r.lastPage = 2;
    ASSERT_EQ(runReport(r).status, status::Ok);
    EXPECT_EQ(reporttest::pdfPages(r.outputFile), 1);
    EXPECT_TRUE(pdfText(r.outputFile).contains("Page 2 of 2"));
}

TEST_F(Report, EveryFaultHasItsStatus) {
    QString good = writeTemplate(kSample);
    JobRequest r = toPdf(dir.filePath("missing.rpt"));
    EXPECT_EQ(runReport(r).status, status::TemplateNotFound);
    r.templatePath = writeTemplate("[report]\ntable = Orders\n[detail 10]\nbogus\n", "bad.rpt");
    JobOutcome bad = runReport(r);
    EXPECT_EQ(bad.status, status::TemplateInvalid);
    EXPECT_TRUE(bad.message.contains("line 4"));
    r.templatePath = writeTemplate(QString(kSample).replace("table = Orders", "table = Nothing"), "t2.rpt");
    EXPECT_EQ(runReport(r).status, status::TableMissing);
    r.templatePath = writeTemplate(QString(kSample).replace("field Item", "field Colour"), "t3.rpt");
    EXPECT_EQ(runReport(r).status, status::FieldMissing);
    r.templatePath = good;
    r.dataFile = dir.filePath("nowhere/none.db");
    EXPECT_EQ(runReport(r).status, status::DatabaseNotOpened);
    r.dataFile.clear();
    r.formulas = {"Titel= 'x'"};
    EXPECT_EQ(runReport(r).status, status::FormulaUnknown);
    r.formulas = {"Title 'x'"};
    EXPECT_EQ(runReport(r).status, status::FormulaInvalid);
    r.formulas.clear();
    r.firstPage = 3;
    EXPECT_EQ(runReport(r).status, status::PageRangeInvalid);
    r.firstPage = 0;
    r.outputFile.clear();
    EXPECT_EQ(runReport(r).status, status::NoOutputFile);
    r.outputFile = dir.filePath("no/such/folder/out.pdf");
    EXPECT_EQ(runReport(r).status, status::OutputFailed);
    r = toPdf(writeTemplate("[report]\ntable = Orders\ndatabase = " + database +
                                "\n[detail 40]\nbarcode ean13 Item x=0 y=0 w=200 h=40\n",
                            "ean.rpt"));
    EXPECT_EQ(runReport(r).status, status::BarcodeInvalid); // letters are no EAN

    // A printer that is not installed, or none at all: a status, and for none a message.
    r = toPdf(good);
    r.destination = Destination::Printer;
    r.printerName = "No Such Printer 7";
    int expected = printerNames().isEmpty() ? status::NoPrinter : status::PrinterNotFound;
    EXPECT_EQ(runReport(r).status, expected);
    if (expected == status::NoPrinter) {
        ASSERT_EQ(dialogs->shown().size(), 1u);
        EXPECT_NE(dialogs->shown()[0].prompt.find("No printer is installed"), std::string::npos);
    }
}

TEST_F(Report, BarcodesScanBackToTheirData) {
    JobRequest r = toPdf(writeTemplate("[report]\ntable = Orders\ndatabase = " + database +
                                           "\n[detail 120]\nbarcode code128 Code x=20 y=10 w=260 h=90\n",
                                       "bar.rpt"));
    ASSERT_EQ(runReport(r).status, status::Ok);
    QProcess raster;
    raster.start("pdftoppm", {"-r", "200", "-png", "-f", "1", "-l", "1", r.outputFile, dir.filePath("bar")});
    ASSERT_TRUE(raster.waitForFinished(60000));
    QStringList pngs = QDir(dir.path()).entryList({"bar*.png"});
    ASSERT_FALSE(pngs.isEmpty()) << "pdftoppm made no picture";
    QProcess scan;
    scan.start("zbarimg", {"--quiet", "--raw", dir.filePath(pngs[0])});
    ASSERT_TRUE(scan.waitForFinished(60000));
    QStringList codes = QString::fromUtf8(scan.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    codes.sort(); // zbarimg lists what it finds in its own order
    EXPECT_EQ(codes, QStringList({"SHIP-Box", "SHIP-Cap", "SHIP-Lid"}));
    EXPECT_FALSE(barcodeError("code128", "").isEmpty());
    EXPECT_FALSE(barcodeError("morse", "SOS").isEmpty());
    EXPECT_EQ(symbologyNamed("Code128"), symbologyNamed("code128"));
}

TEST_F(Report, PreviewPagesZoomsExportsAndReopens) {
    JobRequest r;
    r.templatePath = writeTemplate(kSample);
    r.destination = Destination::Window;
    JobOutcome o = runReport(r);
    ASSERT_EQ(o.status, status::Ok);
    ASSERT_TRUE(o.preview);
    PreviewWindow& w = *o.preview;
    EXPECT_EQ(w.windowTitle(), "Print Preview");
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.pageCount(), 2);
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_FALSE(w.actPrevious->isEnabled());
    w.actNext->trigger();
    EXPECT_EQ(w.currentPage(), 2);
    EXPECT_FALSE(w.actNext->isEnabled());
    w.actFirst->trigger();
    EXPECT_EQ(w.currentPage(), 1);
    double zoom = w.zoomFactor();
    w.actZoomIn->trigger();
    EXPECT_GT(w.zoomFactor(), zoom);
    QString pdf = dir.filePath("export.pdf");
    EXPECT_EQ(w.exportPdf(pdf), status::Ok);
    EXPECT_TRUE(pdfText(pdf).contains("Page 2 of 2"));

    QPointer<PreviewWindow> first = o.preview;
    w.actClose->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    JobOutcome again = runReport(r);
    ASSERT_TRUE(again.preview);
    EXPECT_EQ(again.preview->pageCount(), 2);
    again.preview->close();
}

} // namespace
