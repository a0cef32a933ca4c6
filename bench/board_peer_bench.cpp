// The board's query shown in a grid, through our data-access layer and data-bound grid, against what
// a Qt developer would write instead: QSqlQueryModel and a QTableView over the same SQL in Qt's
// SQLite driver, with the same page cache and a prepared statement. Both read the same file in the
// same run, at 10k, 100k and 1M shipments (or the sizes given as arguments: board_peer_bench 10000).
// Three steps: switching the status tab and painting the first screen, scrolling to the last row
// and painting it, and re-querying the shown tab. Both views have the board's size, row height and
// column widths, and both show the top of a freshly read list, so each step paints the same cells
// on both sides. The ratio ours / peer closes the run.
#include "board_layout.h"
#include "private_folders.h"
#include "demo_data.h"
#include "scaled_shipments.h"
#include "shipments_schema.h"

#include "dao/backend.h"
#include "dao/dao.h"
#include "dao/jet_sql.h"
#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>

namespace {

const char* kBoardQuery = "Select Current Shipments Query";

runtime::Date boardDay() {
    return runtime::Date::fromYmd(2026, 12, 8);
}

// The board query of a tab as Jet SQL (the saved query with the tab's filter), and as the SQL the
// layer gives SQLite for it: the peer runs exactly what our layer runs.
struct TabQuery {
    std::string jetFilter;
    std::string sqliteSql;
    std::vector<std::string> placeholders; // what ?1, ?2, ... stand for
};

TabQuery tabQuery(const dao::Database& db, int tab) {
    const board::TabDefinition& def = board::tabDefinition(tab);
    auto statement = dao::jet::parse(db.QueryDefs(kBoardQuery).SQL());
    auto body = *def.filter ? dao::jet::withCondition(statement.body, dao::jet::tokenize(def.filter))
                            : statement.body;
    auto t = dao::jet::translate(body, statement.parameters);
    return {def.filter, t.sql, t.placeholderNames};
}

struct Size {
    int shipments = 0;
    std::string path;
    std::vector<TabQuery> tabs; // by tab index - 1
};

// Ours: the board's way: the saved query for the day, filtered for the tab, bound to a data
// control and shown in the data-bound grid.
struct Ours {
    dao::Database db;
    widgets::DataControl control;
    widgets::DataGrid grid;
    dao::Recordset rs;

    explicit Ours(const Size& size) : db(dao::engine().OpenDatabase(size.path)) {
        grid.setDataSource(&control);
        open(1);
        for (int f = 0; f < rs.FieldCount(); ++f)
            grid.addColumn(QString::fromStdString(rs.Fields(f).Name()), rs.Fields(f).Name());
        grid.resize(1200, 800);
        grid.show();
    }
    void open(int tab) {
        dao::QueryDef q = db.QueryDefs(kBoardQuery);
        q.Parameters("ThatDate").setValue(runtime::Variant(boardDay()));
        rs = q.OpenRecordset(dao::dbOpenDynaset);
        if (const char* filter = board::tabDefinition(tab).filter; *filter) {
            rs.setFilter(filter);
            rs = rs.OpenRecordset(dao::dbOpenDynaset);
        }
        widgets::bindRecordset(control, rs);
    }
    void requery() {
        rs.Requery();
        widgets::bindRecordset(control, rs);
    }
    void paint() { grid.viewport()->repaint(); }
    // The rows past the first read, as the view asks for them at its end (as the peer's).
    void toLastRow() {
        QAbstractItemModel* model = grid.model();
        while (model->canFetchMore({}))
            model->fetchMore({});
        QApplication::processEvents(); // the new rows' layout
        grid.scrollToBottom();
        paint();
    }
    int rows() const { return int(rs.RecordCount()); }
};

// The peer: the same SQL through Qt's SQL module, as a Qt developer would show it.
struct Peer {
    QSqlDatabase db;
    QSqlQueryModel model;
    QTableView view;
    const Size& size;

    Peer(const Size& s, const widgets::DataGrid& board) : size(s) {
        db = QSqlDatabase::addDatabase("QSQLITE", QString("peer%1").arg(s.shipments));
        db.setDatabaseName(QString::fromStdString(s.path));
        if (!db.open()) throw std::runtime_error("the peer cannot open " + s.path);
        QSqlQuery(db).exec("PRAGMA cache_size = -32768"); // the layer's page cache
        view.setModel(&model);
        // The board's row height and column widths: the same number of cells on one screen.
        view.verticalHeader()->setDefaultSectionSize(board.verticalHeader()->defaultSectionSize());
        view.horizontalHeader()->setDefaultSectionSize(board.columnWidth(0));
        open(1);
        view.resize(board.size());
        view.show();
    }
    void open(int tab) {
        QSqlQuery q(db);
        // Qt binds plain ? placeholders in order: ?1 used three times is bound three times.
        const TabQuery& t = size.tabs[size_t(tab - 1)];
        std::string sql;
        std::vector<std::string> order;
        for (size_t i = 0; i < t.sqliteSql.size(); ++i) {
            sql += t.sqliteSql[i];
            if (t.sqliteSql[i] != '?') continue;
            size_t n = 0;
            while (i + 1 < t.sqliteSql.size() && std::isdigit(static_cast<unsigned char>(t.sqliteSql[i + 1])))
                n = n * 10 + size_t(t.sqliteSql[++i] - '0');
            order.push_back(t.placeholders.at(n - 1));
        }
        q.prepare(QString::fromStdString(sql));
        for (size_t i = 0; i < order.size(); ++i) // the day, or today for Date()
            q.bindValue(int(i), QString::fromStdString(
                                    (order[i] == "ThatDate" ? boardDay() : runtime::Today()).iso()));
        if (!q.exec())
            throw std::runtime_error("the peer's query failed: " + q.lastError().text().toStdString() + "\n" +
                                     t.sqliteSql);
        model.setQuery(std::move(q));
        view.scrollToTop();
    }
    // A fresh query shows its first rows: a view left scrolled past the rows the model has fetched
    // so far would paint nothing.
    void requery() {
        QSqlQuery q = model.query();
        q.exec();
        model.setQuery(std::move(q));
        view.scrollToTop();
    }
    void paint() { view.viewport()->repaint(); }
    void toLastRow() {
        while (model.canFetchMore())
            model.fetchMore();
        QApplication::processEvents(); // the new rows' layout
        view.scrollToBottom();
        paint();
    }
    int rows() const { return model.rowCount(); }
};

template <class Side> void tabSwitch(benchmark::State& state, Side* side) {
    int tab = 0;
    for (auto _ : state) {
        side->open(tab % board::kTabCount + 1);
        side->paint();
        ++tab;
    }
}

template <class Side> void scrollToLast(benchmark::State& state, Side* side) {
    for (auto _ : state) {
        state.PauseTiming();
        side->open(2); // All: the longest list
        side->paint();
        state.ResumeTiming();
        side->toLastRow();
    }
    state.counters["rows"] = side->rows();
}

template <class Side> void requery(benchmark::State& state, Side* side) {
    side->open(1);
    side->paint();
    for (auto _ : state) {
        side->requery();
        side->paint();
    }
}

// Keeps each benchmark's mean time so the ratios can close the run.
class Ratios : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (auto& run : runs)
            if (run.run_type == Run::RT_Iteration)
                times_[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios(const std::vector<Size>& sizes) const {
        // The machine may be shared: the time on the processor is the steadier measure.
        std::printf("\nours / peer (below 1.00: ours is faster), by processor time and by wall time\n");
        for (auto& s : sizes)
            for (const char* step : {"tab switch + first paint", "scroll to last row", "re-query"}) {
                auto name = [&](const char* side) {
                    return std::string(side) + "/" + std::to_string(s.shipments) + ": " + step;
                };
                auto ours = times_.find(name("ours")), peer = times_.find(name("peer"));
                if (ours == times_.end() || peer == times_.end()) continue;
                std::printf(
                    "%8d shipments  %-26s cpu: ours %8.2f ms  peer %8.2f ms  ratio %.2f   wall: ratio %.2f\n",
                    s.shipments, step, ours->second.cpu, peer->second.cpu,
                    ours->second.cpu / peer->second.cpu, ours->second.wall / peer->second.wall);
            }
        auto first = [&](const Size& s) {
            auto it = times_.find("ours/" + std::to_string(s.shipments) + ": tab switch + first paint");
            return it == times_.end() ? 0.0 : it->second.cpu;
        };
        if (sizes.size() > 1 && first(sizes.front()) > 0)
            std::printf("ours, first screen (processor time) at %d against %d shipments: %.2f times\n",
                        sizes.back().shipments, sizes.front().shipments,
                        first(sizes.back()) / first(sizes.front()));
    }

private:
    struct Times {
        double wall, cpu;
    };
    std::map<std::string, Times> times_;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::usePrivateFolders(dir);
    runtime::setDateLocale("en_US");
    runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 9, 0, 0));
    benchmark::Initialize(&argc, argv);

    std::vector<Size> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back({std::atoi(argv[i]), "", {}});
    if (sizes.empty()) sizes = {{10000, "", {}}, {100000, "", {}}, {1000000, "", {}}};
    std::vector<std::unique_ptr<Ours>> ours;
    std::vector<std::unique_ptr<Peer>> peers;
    for (auto& s : sizes) {
        std::cerr << "preparing " << s.shipments << " shipments...\n";
        s.path = bench::scaledShipments(dir, s.shipments, boardDay());
        dao::Database db = dao::engine().OpenDatabase(s.path);
        for (int tab = 1; tab <= board::kTabCount; ++tab)
            s.tabs.push_back(tabQuery(db, tab));
    }
    for (auto& s : sizes) {
        ours.push_back(std::make_unique<Ours>(s));
        peers.push_back(std::make_unique<Peer>(s, ours.back()->grid));
        Ours* o = ours.back().get();
        Peer* p = peers.back().get();
        auto n = std::to_string(s.shipments);
        int iterations = s.shipments >= 1000000 ? 5 : 20;
        auto add = [&](const std::string& name, auto fn) {
            benchmark::RegisterBenchmark(name.c_str(), fn)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(iterations);
        };
        add("ours/" + n + ": tab switch + first paint", [o](benchmark::State& st) { tabSwitch(st, o); });
        add("peer/" + n + ": tab switch + first paint", [p](benchmark::State& st) { tabSwitch(st, p); });
        add("ours/" + n + ": scroll to last row", [o](benchmark::State& st) { scrollToLast(st, o); });
        add("peer/" + n + ": scroll to last row", [p](benchmark::State& st) { scrollToLast(st, p); });
        add("ours/" + n + ": re-query", [o](benchmark::State& st) { requery(st, o); });
        add("peer/" + n + ": re-query", [p](benchmark::State& st) { requery(st, p); });
    }
    Ratios reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(sizes);
    peers.clear();
    ours.clear();
    return 0;
}
