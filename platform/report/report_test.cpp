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
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
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

// Every report test runs in a month-first and in a day-first locale: dates print in the user's.
class Report : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        runtime::setDateLocale(GetParam());
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
        runtime::setDateLocale("en_US");
    }

    static QString shortDate(int y, int m, int d) {
        return QString::fromStdString(runtime::shortDateText(runtime::Date::fromYmd(y, m, d)));
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

TEST_P(Report, TemplatesAreReadWithUnitsQuotesAndLineNumberedFaults) {
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
    EXPECT_EQ(faultLine("[report]\ntable = T\npage = 4inx201in\n"), 3);
    EXPECT_EQ(faultLine("[report]\ntable = T\n[detail 10]\nfield X x=1 align=middle\n"), 4);
}

TEST_P(Report, LayoutBreaksPagesGroupsAndTotals) {
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
    EXPECT_TRUE(texts.contains(shortDate(2026, 12, 1)));
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

TEST_P(Report, LabelSheetsFillAcrossThenDown) {
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

TEST_P(Report, ValuesAndFormulaLiterals) {
    const bool dayFirst = std::string(GetParam()) == "de_DE";
    EXPECT_EQ(formatValue(runtime::Variant(runtime::Date::fromYmd(2026, 12, 8)), "date"),
              dayFirst ? "08.12.2026" : "12/8/2026");
    EXPECT_EQ(formatValue(runtime::Variant(runtime::Date::fromYmd(2026, 12, 8)), "longdate"),
              dayFirst ? "Dienstag, 8. Dezember 2026" : "Tuesday, December 8, 2026");
    EXPECT_EQ(formatValue(runtime::Variant(true), "yesno"), "Yes");
    EXPECT_EQ(formatValue(runtime::Variant(1234567.891), "#,##0.00"), "1,234,567.89");
    EXPECT_EQ(formatValue(runtime::Variant(1234.5), "0"), "1235");
    EXPECT_EQ(formatValue(runtime::Variant::null(), "date"), "");
    EXPECT_EQ(formulaLiteral(" 'Late Shipments as of Tuesday' "), "Late Shipments as of Tuesday");
    EXPECT_EQ(formulaLiteral("'Bob''s'"), "Bob's");
    EXPECT_EQ(formulaLiteral("\"x\""), "x");
    EXPECT_EQ(formulaLiteral("42"), "42");
}

TEST_P(Report, PdfCarriesTheReportText) {
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

TEST_P(Report, EveryFaultHasItsStatus) {
    QString good = writeTemplate(kSample);
    // A template that is missing or broken is named whole, with the line of its fault.
    JobRequest r = toPdf(dir.filePath("missing.rpt"));
    JobOutcome missing = runReport(r);
    EXPECT_EQ(missing.status, status::TemplateNotFound);
    EXPECT_EQ(missing.message, "The report template " +
                                   QDir::toNativeSeparators(dir.filePath("missing.rpt")) +
                                   " cannot be read: it is not there.");
    r.templatePath = writeTemplate("[report]\ntable = Orders\n[detail 10]\nbogus\n", "bad.rpt");
    JobOutcome bad = runReport(r);
    EXPECT_EQ(bad.status, status::TemplateInvalid);
    EXPECT_EQ(bad.message, "The report template " + QDir::toNativeSeparators(dir.filePath("bad.rpt")) +
                               ", line 4 has a fault: unknown item \"bogus\".");
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

    // A printer that is not installed, or none at all: a status and a reason the caller shows. Printing
    // straight to a printer has no preview to export from, so the reason does not send the user there.
    r = toPdf(good);
    r.destination = Destination::Printer;
    r.printerName = "No Such Printer 7";
    int expected = printerNames().isEmpty() ? status::NoPrinter : status::PrinterNotFound;
    JobOutcome none = runReport(r);
    EXPECT_EQ(none.status, expected);
    if (expected == status::NoPrinter) {
        EXPECT_TRUE(none.message.startsWith("No printer is installed on this computer. Ask "))
            << none.message.toStdString();
        EXPECT_FALSE(none.message.contains("Export"));
    }
    EXPECT_TRUE(dialogs->shown().empty());
}

TEST_P(Report, BarcodesScanBackToTheirData) {
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

TEST_P(Report, PreviewPagesZoomsExportsAndReopens) {
    JobRequest r;
    r.templatePath =
        writeTemplate(QString(kSample).replace("table = Orders", "table = Orders\ntitle = \"{Title}\""));
    r.formulas << "Title= 'Orders / week 50'";
    r.destination = Destination::Window;
    JobOutcome o = runReport(r);
    ASSERT_EQ(o.status, status::Ok);
    ASSERT_TRUE(o.preview);
    PreviewWindow& w = *o.preview;
    EXPECT_EQ(w.windowTitle(), "Print Preview");
    EXPECT_TRUE(w.isVisible());
    // At its default size every action is on the toolbar, none behind its overflow arrow.
    QCoreApplication::processEvents();
    for (QAction* a : w.toolBar()->actions()) {
        QWidget* button = w.toolBar()->widgetForAction(a);
        if (!button || a->isSeparator()) continue;
        EXPECT_TRUE(button->isVisible()) << a->text().toStdString();
        EXPECT_LE(button->geometry().right(), w.toolBar()->width()) << a->text().toStdString();
    }
    // Export offers the report's title, made a file name, in the documents folder.
    EXPECT_EQ(w.suggestedPdfPath(), QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                        .filePath("Orders - week 50.pdf"));
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

TEST_P(Report, AGroupIsPrintedOnceWhereverItsRowsLieInTheTable) {
    Template t = parseTemplate(kSample);
    int status = 0;
    QString message;
    RowSet rows = readTable(database, "Orders", &status, &message);
    ASSERT_EQ(rows.rows.size(), 3u); // Acme, Acme, Beta
    std::vector<runtime::Variant> late = rows.rows[0];
    late[size_t(rows.index("Qty"))] = runtime::Variant(7L);
    rows.rows.push_back(late); // Acme again after Beta, as a table ordered by date gives it
    auto doc = layoutReport(t, rows, {});
    QStringList headers, groupTotals;
    for (const Page& p : doc->pages)
        for (const PlacedItem& i : p.items) {
            if (i.item->kind == ItemKind::Field && i.item->text == "Customer") headers << i.text;
            if (i.item->kind == ItemKind::Total && i.item->scope == TotalScope::Group) groupTotals << i.text;
        }
    EXPECT_EQ(headers, QStringList({"Acme", "Beta"}));
    EXPECT_EQ(groupTotals, QStringList({"1507", "50"}));
}

// What a person reads on the page: wide numbers whole (in the free room beside them, in a smaller
// type, or marked as overflowing, never shortened to another number) and long texts ending in "…".
TEST_P(Report, NumbersPrintWholeAndLongTextsEndInAnEllipsis) {
    {
        dao::Database db = dao::engine().OpenDatabase(database.toStdString());
        db.Execute("CREATE TABLE Wide (Qty INTEGER, Note TEXT)");
        db.Execute("INSERT INTO Wide VALUES (52808763, 'Harbor Medical Supply Company of the Great Lakes')");
        db.Execute("INSERT INTO Wide VALUES (10000000, 'Short')");
        db.Close();
    }
    JobRequest r = toPdf(writeTemplate(R"([report]
database = /tmp/x.db
table = Wide
page = 6.5inx2.5in
margins = 0.25in
font = "DejaVu Sans" 9
[detail 60]
# boxed in by its label: a smaller type
text "Total quantity:" x=0 y=0 w=118 h=14 bold align=right
field Qty x=120 y=0 w=42 h=14 format=#,##0 bold align=right
# free paper to its left: it widens
field Note x=180 y=0 w=70 h=14
field Qty x=330 y=0 w=30 h=14 format=#,##0 align=right
# no room at all: marked, not cut
text "Qty" x=400 y=0 w=30 h=14 align=right
field Qty x=432 y=0 w=16 h=14 format=#,##0 align=right
)",
                                       "wide.rpt"));
    ASSERT_EQ(runReport(r).status, status::Ok);
    const QString text = pdfText(r.outputFile);
    EXPECT_EQ(text.count("52,808,763"), 2) << text.toStdString();
    EXPECT_EQ(text.count("10,000,000"), 2) << text.toStdString();
    EXPECT_EQ(text.count(QRegularExpression("Qty +##+\n")), 2) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("Harbor Medic[^\n]*…"))) << text.toStdString();
    EXPECT_FALSE(text.contains("Great Lakes"));

    const QString seen = reporttest::ocrText(r.outputFile).remove(' ');
    ASSERT_FALSE(seen.isEmpty()) << "pdftoppm or tesseract could not read the page";
    EXPECT_EQ(seen.count("52,808,763"), 2) << seen.toStdString();
    EXPECT_EQ(seen.count("10,000,000"), 2) << seen.toStdString();
    EXPECT_TRUE(seen.contains("HarborMedic")) << seen.toStdString();
    EXPECT_FALSE(seen.contains("GreatLakes"));
}

// The shipped templates as printed: every heading fits its box, and nothing on a line touches its
// neighbour (a text's ink, a field's whole box).
TEST_P(Report, ShippedTemplatesHeadingsFitAndKeepApart) {
    QPdfWriter device(dir.filePath("measure.pdf"));
    const double k = device.resolution() / 72.0;
    // Formula values the program sets, besides the templates' own defaults.
    const std::map<QString, QStringList> programValues = {
        {"ActShipDateCaption", {"Cancel Date"}},
        {"ReportTitleFormula", {"Scheduled Shipments for Wednesday, September 30, 2026"}},
        {"PODateRangeFormula", {"PO dates 12/31/2026 to 12/31/2026"}}};
    const QStringList files = QDir(DORVANE_REPORTS_DIR).entryList({"*.rpt"});
    ASSERT_EQ(files.size(), 6);
    for (const QString& file : files) {
        Template t = loadTemplate(QDir(DORVANE_REPORTS_DIR).filePath(file));
        for (const Band& band : t.bands) {
            std::vector<std::pair<QRectF, QString>> marks; // where each item may put ink
            for (const Item& item : band.items) {
                if (item.kind == ItemKind::Line || item.kind == ItemKind::Box) continue;
                QStringList texts;
                if (item.kind == ItemKind::Text)
                    texts << QString(item.text)
                                 .replace(QRegularExpression("\\{page\\}|\\{pages\\}"), "339")
                                 .replace("{printdate}", "12/31/2026");
                if (item.kind == ItemKind::Formula) {
                    texts << formulaLiteral(t.formulas[item.text]);
                    if (auto v = programValues.find(item.text); v != programValues.end()) texts << v->second;
                    texts.removeAll(QString());
                }
                if (texts.isEmpty()) {
                    marks.push_back({item.rect, item.text});
                    continue;
                }
                QFont font(item.font.isEmpty() ? t.font : item.font, -1,
                           item.bold ? QFont::Bold : QFont::Normal);
                font = QFont(font, &device);
                font.setPointSizeF(item.size > 0 ? item.size : t.fontSize);
                double widest = 0;
                for (const QString& text : texts) {
                    double w = QFontMetricsF(font, &device).horizontalAdvance(text) / k;
                    EXPECT_LE(w, item.rect.width())
                        << file.toStdString() << ": \"" << text.toStdString() << "\"";
                    widest = std::max(widest, std::min(w, item.rect.width()));
                }
                QRectF ink = item.rect;
                ink.setWidth(widest);
                if (item.align & Qt::AlignRight) ink.moveRight(item.rect.right());
                if (item.align & Qt::AlignHCenter) ink.moveCenter(item.rect.center());
                marks.push_back({ink, texts.first()});
            }
            for (size_t a = 0; a < marks.size(); ++a)
                for (size_t b = a + 1; b < marks.size(); ++b) {
                    const QRectF &p = marks[a].first, &q = marks[b].first;
                    if (p.width() <= 0 || q.width() <= 0) continue;
                    if (p.top() >= q.bottom() || q.top() >= p.bottom()) continue;
                    EXPECT_TRUE(p.right() + 2 <= q.left() || q.right() + 2 <= p.left())
                        << file.toStdString() << ": \"" << marks[a].second.toStdString() << "\" and \""
                        << marks[b].second.toStdString() << "\"";
                }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, Report, ::testing::Values("en_US", "de_DE"));

} // namespace
