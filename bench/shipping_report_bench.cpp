// The board's shipping report of 10,000 rows written as PDF (copy into the scratch table, read it
// back, lay out, draw every page), against the data-access layer alone reading the same rows with
// every field. Also the report engine's part by itself (scratch table to PDF), the same rows and
// columns drawn by hand with QPainter into QPdfWriter (what the report would cost written for this one
// page layout), and the process's peak memory after each.
#include "ReportComponent.h"
#include "basGlobals.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "frmShipments.h"
#include "private_folders.h"
#include "settings_store.h"
#include "shipments_schema.h"

#include "report/report_job.h"
#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/tab_strip.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <iostream>
#include <map>

namespace {

constexpr int kRows = 10000;
QTemporaryDir* dir = nullptr;
std::string databasePath;

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void fillShipments() {
    dao::Database db = shipments::createShipmentsDatabase(databasePath);
    dao::Workspace ws = dao::engine().Workspaces0();
    ws.BeginTrans();
    db.Execute("INSERT INTO [Job Lookup Table] ([Job Number], [Job Description], [Box Type]) VALUES "
               "('J1', 'Round Lid 90mm', 'B1'), ('J2', 'Square Box', 'B2')");
    for (int i = 0; i < kRows; ++i)
        db.Execute(
            "INSERT INTO Shipments (WorkOrder, Customer, CustomerPO, JobNum, Quantity, Carrier, InvoiceNum, "
            "ReqShipDate, Late, Canceled, OKToShip, Comments) VALUES ('W" +
            std::to_string(100000 + i) + "', 'Customer " + std::to_string(i % 37) + "', 'PO-" +
            std::to_string(i / 3) + "', 'J" + std::to_string(1 + i % 2) + "', " +
            std::to_string(10 + i % 500) + ", 'ABF', 'INV-" + std::to_string(i) +
            "', #2026-12-08#, No, No, Yes, 'note " + std::to_string(i) + "')");
    ws.CommitTrans();
    db.Close();
}

void board_report_to_pdf(benchmark::State& state) {
    frmShipments& board = frmShipments::instance();
    const QString pdf = dir->filePath("board.pdf");
    board.Report1->setDestination(ReportComponent::crptToFile);
    board.Report1->setPrintFileName(pdf.toStdString());
    for (auto _ : state)
        board.cmdPrint_Click();
    state.counters["pdf_kb"] = QFile(pdf).size() / 1024.0;
    state.counters["peak_rss_mb"] = peakMegabytes();
}

void layer_read_same_rows(benchmark::State& state) {
    dao::Database db = dao::engine().OpenDatabase(databasePath);
    long rows = 0;
    for (auto _ : state) {
        dao::QueryDef q = db.QueryDefs("Select Current Shipments Query");
        q.Parameters("ThatDate").setValue(runtime::Variant(runtime::Date::fromYmd(2026, 12, 8)));
        dao::Recordset rs = q.OpenRecordset(dao::dbOpenDynaset);
        rows = 0;
        for (; !rs.atEOF(); rs.MoveNext(), ++rows)
            for (int f = 0; f < rs.FieldCount(); ++f)
                benchmark::DoNotOptimize(rs.Fields(f).Value());
    }
    state.counters["rows"] = double(rows);
    state.counters["peak_rss_mb"] = peakMegabytes();
}

// The engine's own part: read the scratch table, lay out, write the PDF.
void engine_table_to_pdf(benchmark::State& state) {
    frmShipments& board = frmShipments::instance();
    // Leave one scratch table filled, as a run does before it prints.
    const QString pdf = dir->filePath("engine.pdf");
    report::JobRequest r;
    r.templatePath = DORVANE_REPORTS_DIR "/shipping report.rpt";
    r.destination = report::Destination::File;
    r.outputFile = pdf;
    r.dataFile = QString::fromStdString(dir->filePath("engine.db").toStdString());
    {
        dao::Database scratch = dao::engine().CreateDatabase(r.dataFile.toStdString());
        scratch.Close();
        dao::Database db = dao::engine().OpenDatabase(databasePath);
        db.Execute("SELECT Shipments.*, [Job Lookup Table].[Job Description] INTO ShipReportTable IN '" +
                   r.dataFile.toStdString() +
                   "' FROM Shipments LEFT JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup "
                   "Table].[Job Number]");
        db.Close();
    }
    (void)board;
    int pages = 0;
    for (auto _ : state)
        pages = report::runReport(r).pages;
    state.counters["pages"] = pages;
    state.counters["peak_rss_mb"] = peakMegabytes();
}

// The shipping report's page drawn by hand: the template's page, fonts, columns, formats, headers,
// footers and totals, the rows read through the data-access layer as the engine reads them.
void handwritten_painter_to_pdf(benchmark::State& state) {
    struct Column {
        const char* heading;
        const char* field;
        double x, w;
        enum { Text, Number, Date, YesNo } format;
    };
    const Column columns[] = {
        {"Work Order#", "WorkOrder", 0, 56, Column::Text},    {"Customer", "Customer", 61, 86, Column::Text},
        {"Customer PO#", "CustomerPO", 152, 62, Column::Text}, {"Job #", "JobNum", 219, 38, Column::Text},
        {"Part Description", "Job Description", 262, 96, Column::Text},
        {"Quantity", "Quantity", 363, 48, Column::Number},     {"Truck Line", "Carrier", 418, 44, Column::Text},
        {"Invoice#", "InvoiceNum", 467, 40, Column::Text},     {"Sched. Ship", "ReqShipDate", 512, 50, Column::Date},
        {"Actual Ship", "ActShipDate", 567, 51, Column::Date}, {"Late?", "Late", 623, 23, Column::YesNo},
        {"OK?", "OKToShip", 651, 18, Column::YesNo},           {"Comments", "Comments", 674, 74, Column::Text},
    };
    const QString pdf = dir->filePath("painter.pdf");
    int pages = 0;
    for (auto _ : state) {
        dao::Database db = dao::engine().OpenDatabase(databasePath);
        dao::Recordset rs = db.OpenRecordset(
            "SELECT Shipments.*, [Job Lookup Table].[Job Description] FROM Shipments LEFT JOIN [Job Lookup "
            "Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number]",
            dao::dbOpenSnapshot);
        rs.MoveLast();
        const long rows = long(rs.RecordCount());
        rs.MoveFirst();
        QPdfWriter writer(pdf);
        writer.setResolution(72); // one unit a point, as the template measures
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                         QMarginsF(21.6, 21.6, 21.6, 21.6), QPageLayout::Point));
        QPainter p(&writer);
        QFont plain("DejaVu Sans"), bold("DejaVu Sans"), title("DejaVu Sans"), small("DejaVu Sans");
        plain.setPointSizeF(7.5);
        bold.setPointSizeF(7.5);
        bold.setBold(true);
        title.setPointSizeF(14);
        title.setBold(true);
        small.setPointSizeF(7);
        const QFontMetricsF metrics(plain, &writer);
        const double height = writer.pageLayout().paintRect(QPageLayout::Point).height();
        const int perPage = int((height - 44 - 18) / 13);
        const int pageCount = int((rows + perPage - 1) / perPage);
        const QString printed = QString::fromStdString(runtime::shortDateText(runtime::Today()));
        QLocale locale(QLocale::English, QLocale::UnitedStates);
        std::vector<dao::Field> fields;
        for (const Column& c : columns)
            fields.push_back(rs.Fields(c.field));
        double total = 0;
        auto text = [&](const Column& c, const runtime::Variant& v) -> QString {
            if (v.isNull()) return {};
            switch (c.format) {
            case Column::Number:
                return locale.toString(v.toDouble(), 'f', 0);
            case Column::Date:
                return QString::fromStdString(runtime::shortDateText(v.toDate()));
            case Column::YesNo:
                return v.toBool() ? "Yes" : "No";
            default:
                return QString::fromStdString(v.toString());
            }
        };
        for (int page = 1; page <= pageCount; ++page) {
            if (page > 1) writer.newPage();
            p.setFont(title);
            p.drawText(QRectF(0, 0, 748, 20), Qt::AlignCenter, "Shipments");
            p.setFont(bold);
            for (const Column& c : columns)
                p.drawText(QRectF(c.x, 26, c.w, 12),
                           (c.format == Column::Number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                           c.heading);
            p.drawLine(QPointF(0, 40), QPointF(748, 40));
            p.setFont(plain);
            double y = 44;
            for (int r = 0; r < perPage && !rs.atEOF(); ++r, rs.MoveNext(), y += 13)
                for (size_t i = 0; i < fields.size(); ++i) {
                    const Column& c = columns[i];
                    runtime::Variant v = fields[i].Value();
                    if (c.format == Column::Number && !v.isNull()) total += v.toDouble();
                    p.drawText(QRectF(c.x, y, c.w, 13),
                               (c.format == Column::Number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                               metrics.elidedText(text(c, v), Qt::ElideRight, c.w));
                }
            if (page == pageCount) { // the report's footer: count and total quantity
                p.drawLine(QPointF(0, y + 4), QPointF(748, y + 4));
                p.setFont(bold);
                p.drawText(QRectF(0, y + 10, 54, 14), Qt::AlignLeft, "Shipments:");
                p.drawText(QRectF(58, y + 10, 60, 14), Qt::AlignLeft, locale.toString(qlonglong(rows)));
                p.drawText(QRectF(262, y + 10, 96, 14), Qt::AlignRight, "Total quantity:");
                p.drawText(QRectF(363, y + 10, 48, 14), Qt::AlignRight, locale.toString(total, 'f', 0));
            }
            p.setFont(small);
            p.drawLine(QPointF(0, height - 16), QPointF(748, height - 16));
            p.drawText(QRectF(0, height - 13, 300, 12), Qt::AlignLeft, "Dorvane shipping report, printed " + printed);
            p.drawText(QRectF(448, height - 13, 300, 12), Qt::AlignRight,
                       QString("Page %1 of %2").arg(page).arg(pageCount));
        }
        p.end();
        pages = pageCount;
    }
    state.counters["pages"] = pages;
    state.counters["pdf_kb"] = QFile(pdf).size() / 1024.0;
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
            {
                real[r.run_name.function_name] = r.GetAdjustedRealTime();
                cpu[r.run_name.function_name] = r.GetAdjustedCPUTime();
            }
    }
    std::map<std::string, double> real, cpu;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    dir = &folder;
    bench::usePrivateFolders(folder);
    QApplication app(argc, argv);
    runtime::setDateLocale("en_US");
    runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 9, 0, 0));
    runtime::useScriptedDialogs();
    widgets::installDaoOpener();
    databasePath = folder.filePath("shipments.db").toStdString();
    fillShipments();
    SaveSetting("Kelmar", "Options", "DBName", databasePath);
    frmMain::instance();
    frmShipments& board = frmShipments::instance();
    board.Report1->setReportFileName(DORVANE_REPORTS_DIR "/shipping report.rpt");
    board.tsTab->setSelectedIndex(2);

    // The baseline runs first: the peak memory after it is the layer's, after the report the report's.
    benchmark::RegisterBenchmark("layer_read_same_rows", layer_read_same_rows)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("board_report_to_pdf", board_report_to_pdf)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("engine_table_to_pdf", engine_table_to_pdf)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("handwritten_painter_to_pdf", handwritten_painter_to_pdf)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* a, const char* b) {
        if (reporter.real.count(a) && reporter.real.count(b) && reporter.real[b] > 0)
            std::cout << a << " / " << b << " = " << reporter.real[a] / reporter.real[b] << "\n";
    };
    ratio("board_report_to_pdf", "layer_read_same_rows");
    ratio("engine_table_to_pdf", "layer_read_same_rows");
    ratio("board_report_to_pdf", "handwritten_painter_to_pdf");
    // The machine may be shared: the time on the processor is the steadier measure.
    if (reporter.cpu.count("handwritten_painter_to_pdf") && reporter.cpu["handwritten_painter_to_pdf"] > 0)
        std::cout << "board_report_to_pdf / handwritten_painter_to_pdf by processor time = "
                  << reporter.cpu["board_report_to_pdf"] / reporter.cpu["handwritten_painter_to_pdf"] << "\n";
    frmShipments::unload();
    frmCalendarForm::unload();
    return 0;
}
