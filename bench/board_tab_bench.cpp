// Switching the board's status tab and painting its first screen, on 100k shipments, against the
// data-access layer's own work for the same screen: open the day's query, filter it for the tab and
// read every field of the rows one screen shows. The ratio says what the board (grid model, row
// colours, captions, status line) adds on top; the grid must never read all rows to paint one screen.
#include "basGlobals.h"
#include "board_layout.h"
#include "demo_data.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "frmShipments.h"
#include "private_folders.h"
#include "settings_store.h"
#include "shipments_schema.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_grid.h"
#include "widgets/month_calendar.h"
#include "widgets/tab_strip.h"

#include "ratio_reporter.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <iostream>

namespace {

constexpr int kShipments = 100000;
runtime::Date boardDay() {
    return runtime::Date::fromYmd(2026, 12, 8);
}

std::string& databasePath() {
    static std::string path;
    return path;
}

int screenRows() {
    auto& grid = *frmShipments::instance().VxGrid1;
    return grid.viewport()->height() / std::max(1, grid.rowHeight(0)) + 1;
}

void tabSwitchAndPaint(benchmark::State& state) {
    frmShipments& board = frmShipments::instance();
    int tab = 0;
    for (auto _ : state) {
        board.tsTab->setSelectedIndex(tab % board::kTabCount + 1);
        board.VxGrid1->viewport()->repaint();
        ++tab;
    }
}

void layerReadOfTheSameScreen(benchmark::State& state) {
    dao::Database db = dao::engine().OpenDatabase(databasePath());
    const int rows = screenRows();
    int tab = 0;
    for (auto _ : state) {
        const board::TabDefinition& def = board::tabDefinition(tab % board::kTabCount + 1);
        dao::QueryDef q = db.QueryDefs("Select Current Shipments Query");
        q.Parameters("ThatDate").setValue(runtime::Variant(boardDay()));
        dao::Recordset rs = q.OpenRecordset(dao::dbOpenDynaset);
        if (*def.filter) {
            rs.setFilter(def.filter);
            rs = rs.OpenRecordset(dao::dbOpenDynaset);
        }
        for (int r = 0; r < rows && !rs.atEOF(); ++r, rs.MoveNext())
            for (int f = 0; f < rs.FieldCount(); ++f)
                benchmark::DoNotOptimize(rs.Fields(f).Value());
        ++tab;
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::usePrivateFolders(dir);
    runtime::setDateLocale("en_US");
    runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 9, 0, 0));
    runtime::useScriptedDialogs();
    widgets::installDaoOpener();
    databasePath() = dir.filePath("shipments.db").toStdString();
    {
        dao::Database db = shipments::createShipmentsDatabase(databasePath());
        shipments::DemoOptions o;
        o.shipments = kShipments;
        o.today = boardDay();
        shipments::fillDemoData(db, o);
        db.Close();
    }
    SaveSetting("Kelmar", "Options", "DBName", databasePath());
    frmMain& main = frmMain::instance();
    main.resize(1280, 900);
    main.show();
    frmCalendarForm::instance().showCalendar();
    frmShipments::instance().showBoard();
    QApplication::processEvents();

    const char* board = "board: switch tab and paint the first screen";
    const char* layer = "layer: open, filter and read the same screen";
    benchmark::RegisterBenchmark(board, tabSwitchAndPaint)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark(layer, layerReadOfTheSameScreen)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter({{"board / layer (what the board adds on top of reading the screen)", board, layer}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout << "rows on one screen: " << screenRows() << ", shipments: " << kShipments << "\n";
    frmShipments::unload();
    frmCalendarForm::unload();
    return 0;
}
