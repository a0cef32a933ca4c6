// The board's read path through the data-access layer against raw SQLite reading the same rows:
// open "Select Current Shipments Query" for a day, apply each tab's filter, read every field of
// every row. The raw baseline runs the equivalent statements with prepared sqlite3 statements and
// reads every column as text. Printed at the end: layer / raw (median CPU time) per size, and peak memory.
#include "demo_data.h"
#include "shipments_schema.h"

#include "board/status_rules.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <filesystem>
#include <iostream>
#include <map>

namespace fs = std::filesystem;

namespace {

runtime::Date boardDay() {
    return runtime::Date::fromYmd(2026, 12, 8);
}

std::string databaseFor(int shipments) {
    static std::map<int, std::string> made;
    if (auto it = made.find(shipments); it != made.end()) return it->second;
    fs::path dir = fs::temp_directory_path() / ("dorvane_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path file = dir / ("ship" + std::to_string(shipments) + ".db");
    fs::remove(file);
    auto db = shipments::createShipmentsDatabase(file.string());
    shipments::DemoOptions o;
    o.shipments = shipments;
    o.today = boardDay();
    shipments::fillDemoData(db, o);
    db.Close();
    return made[shipments] = file.string();
}

const board::StatusTab kTabs[] = {board::StatusTab::Today,     board::StatusTab::All,
                                  board::StatusTab::Scheduled, board::StatusTab::Late,
                                  board::StatusTab::Shipped,   board::StatusTab::Canceled};

void layer(benchmark::State& state) {
    auto db = dao::engine().OpenDatabase(databaseFor(int(state.range(0))));
    long rows = 0;
    for (auto _ : state) {
        auto q = db.QueryDefs("Select Current Shipments Query");
        q.Parameters("ThatDate").setValue(boardDay());
        auto all = q.OpenRecordset(dao::dbOpenDynaset);
        for (auto tab : kTabs) {
            auto rs = all;
            if (tab != board::StatusTab::All) {
                all.setFilter(board::tabFilter(tab));
                rs = all.OpenRecordset(dao::dbOpenDynaset);
            }
            int fields = rs.FieldCount();
            for (; !rs.atEOF(); rs.MoveNext()) {
                for (int i = 0; i < fields; ++i)
                    benchmark::DoNotOptimize(rs.Fields(i).Value());
                ++rows;
            }
        }
    }
    state.counters["rows"] = double(rows) / double(state.iterations());
    db.Close();
}

// The board query as the backend runs it, with the tab conditions written out.
const char* kRawBoard =
    "SELECT Shipments.*, j.\"Job Description\", j.\"Box Type\", j.\"Parts Per Box\", j.BoxesPerTransfer, "
    "j.\"Box Weight\", \"Box Weight\"/(p.L*p.W*p.H/1728) AS \"PCF Code\" FROM (Shipments LEFT JOIN "
    "\"Job Lookup Table\" AS j ON Shipments.JobNum = j.\"Job Number\") LEFT JOIN \"Packaging Table\" AS p ON "
    "j.\"Box Type\" = p.PackageID WHERE (Shipments.ReqShipDate = ?1 OR Shipments.ActShipDate = ?1 OR "
    "(Shipments.ActShipDate IS NULL AND Shipments.Canceled = 0 AND (Shipments.ReqShipDate < ?1 OR "
    "Shipments.ReqShipDate IS NULL)))";
const char* kRawTabs[] = {
    " AND Shipments.OKToShip = -1 AND Shipments.Canceled = 0",
    "",
    " AND Shipments.Late <> -1 AND Shipments.ActShipDate IS NULL AND Shipments.Canceled = 0",
    " AND Shipments.Late = -1",
    " AND Shipments.ActShipDate IS NOT NULL",
    " AND Shipments.Canceled = -1"};

void raw(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(databaseFor(int(state.range(0))).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::string day = boardDay().isoDate();
    long rows = 0;
    for (auto _ : state) {
        for (auto tab : kRawTabs) {
            std::string sql =
                std::string(kRawBoard) + tab + " ORDER BY Shipments.ReqShipDate, Shipments.ShipmentID";
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
            sqlite3_bind_text(stmt, 1, day.c_str(), -1, SQLITE_STATIC);
            int columns = sqlite3_column_count(stmt);
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                for (int i = 0; i < columns; ++i) {
                    benchmark::DoNotOptimize(sqlite3_column_text(stmt, i));
                    benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, i));
                }
                ++rows;
            }
            sqlite3_finalize(stmt);
        }
    }
    state.counters["rows"] = double(rows) / double(state.iterations());
    sqlite3_close(db);
}

// The machine is shared: medians of several repetitions, compared by CPU time.
BENCHMARK(layer)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(raw)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// Collects each run's time so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (auto& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                times_[r.run_name.function_name + "/" + r.run_name.args] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* size : {"10000", "100000"}) {
            auto l = times_.find(std::string("layer/") + size), r = times_.find(std::string("raw/") + size);
            if (l != times_.end() && r != times_.end())
                std::cout << "board read, " << size << " shipments: layer / raw = " << l->second / r->second
                          << "\n";
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::cout << "peak memory (max RSS): " << usage.ru_maxrss / 1024 << " MiB\n";
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    fs::remove_all(fs::temp_directory_path() / ("dorvane_bench_" + std::to_string(::getpid())));
    benchmark::Shutdown();
}
