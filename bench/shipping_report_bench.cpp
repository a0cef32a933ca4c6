// The board's shipping report of 10,000 rows written as PDF (copy into the scratch table, read it
// back, lay out, draw every page), against the data-access layer alone reading the same rows with
// every field. Also the report engine's part by itself (scratch table to PDF), and the process's
// peak memory after each.
#include "ReportComponent.h"
#include "basGlobals.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "frmShipments.h"
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

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
                real[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> real;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    dir = &folder;
    qputenv("XDG_CONFIG_HOME", folder.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", folder.filePath("data").toUtf8());
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
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* a, const char* b) {
        if (reporter.real.count(a) && reporter.real.count(b) && reporter.real[b] > 0)
            std::cout << a << " / " << b << " = " << reporter.real[a] / reporter.real[b] << "\n";
    };
    ratio("board_report_to_pdf", "layer_read_same_rows");
    ratio("engine_table_to_pdf", "layer_read_same_rows");
    frmShipments::unload();
    frmCalendarForm::unload();
    return 0;
}
