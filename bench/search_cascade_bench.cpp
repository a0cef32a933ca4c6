// The search window's cascades on a large database (100,000 shipments, 500 customers) against the
// data-access layer's own read of the same distinct values. "cascade" is one customer clicked: three
// queries and three lists refilled. "select_all" is Select All on the customer list: 500 selection
// changes and one cascade over all customers. Each baseline opens the same three queries as
// forward-only record sets and reads every value. Printed at the end: window / layer (median CPU time).
#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "frmMain.h"
#include "frmSearch.h"
#include "frmShipments.h"
#include "shipments_schema.h"

#include "dao/jet_sql.h"
#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "widgets/dao_record_source.h"

#include <QApplication>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <map>

namespace fs = std::filesystem;

namespace {

constexpr int kShipments = 100000, kCustomers = 500, kJobs = 2000;

std::string customerName(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "Customer %03d", i);
    return text;
}

std::string makeDatabase(const fs::path& folder) {
    fs::path file = folder / "search.db";
    auto db = shipments::createShipmentsDatabase(file.string());
    auto ws = dao::engine().Workspaces0();
    ws.BeginTrans();
    auto insert = db.CreateQueryDef(
        "",
        "PARAMETERS WO Text, Cust Text, PO Text, Job Text, Req DateTime; INSERT INTO Shipments (WorkOrder, "
        "Customer, CustomerPO, JobNum, Quantity, ReqShipDate, Late, Canceled, OKToShip) VALUES (WO, Cust, "
        "PO, Job, 10, Req, False, False, True)");
    runtime::Date start = runtime::Date::fromYmd(2026, 6, 1);
    for (int i = 0; i < kShipments; ++i) {
        int job = (i * 7919) % kJobs;
        int customer = job % kCustomers;
        insert.Parameters("WO").setValue(runtime::Variant("W" + std::to_string(100000 + i)));
        insert.Parameters("Cust").setValue(runtime::Variant(customerName(customer)));
        insert.Parameters("PO").setValue(runtime::Variant("PO-" + std::to_string(customer * 40 + i % 40)));
        insert.Parameters("Job").setValue(runtime::Variant("J" + std::to_string(10000 + job)));
        insert.Parameters("Req").setValue(runtime::Variant(start.addDays(i % 365)));
        insert.Execute();
    }
    ws.CommitTrans();
    db.Close();
    return file.string();
}

// The three queries a customer cascade runs, read through the data-access layer alone.
long layerRead(const dao::Database& db, const std::string& clause) {
    long values = 0;
    for (const char* field : {"JobNum", "WorkOrder", "CustomerPO"}) {
        dao::Recordset rs = db.OpenRecordset(std::string("SELECT DISTINCT ") + field +
                                                 " FROM Shipments WHERE Shipments.Customer " + clause +
                                                 " ORDER BY " + field + ";",
                                             dao::dbOpenForwardOnly);
        for (; !rs.atEOF(); rs.MoveNext()) {
            benchmark::DoNotOptimize(rs[field]);
            ++values;
        }
    }
    return values;
}

std::string inClause(int first, int count) {
    std::string clause = "IN (";
    for (int i = first; i < first + count; ++i)
        clause += (i > first ? "," : "") + dao::jet::quoteText(customerName(i % kCustomers));
    return clause + ")";
}

void window_cascade(benchmark::State& state) {
    frmSearch& search = frmSearch::instance();
    int i = 0;
    for (auto _ : state) {
        // A click on another customer: one selection change, one cascade.
        QListWidgetItem* item = search.lstCustList->item(i++ % search.lstCustList->count());
        search.lstCustList->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    }
    state.counters["parts"] = search.lstPartNumList->count();
}

void layer_cascade(benchmark::State& state) {
    auto db = dao::engine().OpenDatabase(basGlobals::gOptions->DatabaseName());
    int i = 0;
    long values = 0;
    for (auto _ : state)
        values = layerRead(db, inClause(i++, 1));
    state.counters["values"] = double(values);
}

void window_select_all(benchmark::State& state) {
    frmSearch& search = frmSearch::instance();
    for (auto _ : state) {
        state.PauseTiming();
        {
            QSignalBlocker quiet(search.lstCustList);
            search.lstCustList->clearSelection();
        }
        state.ResumeTiming();
        search.cmdSelectAll_Click(0);
    }
    state.counters["work_orders"] = search.lstWorkOrderNum->count();
}

void layer_select_all(benchmark::State& state) {
    auto db = dao::engine().OpenDatabase(basGlobals::gOptions->DatabaseName());
    const std::string clause = inClause(0, kCustomers);
    long values = 0;
    for (auto _ : state)
        values = layerRead(db, clause);
    state.counters["values"] = double(values);
}

BENCHMARK(window_cascade)->Unit(benchmark::kMillisecond);
BENCHMARK(layer_cascade)->Unit(benchmark::kMillisecond);
BENCHMARK(window_select_all)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(layer_select_all)->Unit(benchmark::kMillisecond)->Iterations(5);

// Collects each run's CPU time per iteration for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // One run per benchmark, or the median of its repetitions.
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
                cpu[r.run_name.function_name] = r.GetAdjustedCPUTime();
    }
    std::map<std::string, double> cpu;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    fs::path folder = fs::temp_directory_path() / ("dorvane_search_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder / "config");
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    runtime::setClock(runtime::Date::fromYmd(2026, 12, 8));
    runtime::setDateLocale("en_US");
    widgets::installDaoOpener();
    std::string database = makeDatabase(folder);
    frmMain::instance();
    basGlobals::gOptions->DatabaseName(database);
    frmShipments::instance();
    frmSearch::instance();

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* window, const char* layer) {
        if (reporter.cpu.count(window) && reporter.cpu.count(layer) && reporter.cpu[layer] > 0)
            std::cout << window << " / " << layer << " = " << reporter.cpu[window] / reporter.cpu[layer]
                      << "\n";
    };
    ratio("window_cascade", "layer_cascade");
    ratio("window_select_all", "layer_select_all");
    frmSearch::unload();
    frmShipments::unload();
    fs::remove_all(folder);
    return 0;
}
