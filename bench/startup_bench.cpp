// Start-up of the board after the login, at 10k and at 1M shipments: the day's late marks, the
// calendar and the board showing its first tab's rows, coloured. The login's password hash is left
// out: it is slow on purpose and the same at every size. A large board should start about as fast as
// a small one, since both read one screen: the ratio 1M / 10k closes the run.
#include "basGlobals.h"
#include "basGlobals_board.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "frmShipments.h"
#include "private_folders.h"
#include "scaled_shipments.h"
#include "settings_store.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_grid.h"

#include "ratio_reporter.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

runtime::Date boardDay() {
    return runtime::Date::fromYmd(2026, 12, 8);
}

// What the main window does once the login is through (frmMain::Form_Load after the login form).
void startBoard(const std::string& path) {
    SaveSetting("Kelmar", "Options", "DBName", path);
    {
        dao::Database db = dao::engine().OpenDatabase(path);
        db.QueryDefs("Update Late Shipments Query").Execute();
        db.Close();
    }
    frmCalendarForm::instance().showCalendar();
    frmShipments& board = frmShipments::instance();
    board.showBoard();
    basGlobals::ApplyStatusTab();
    basGlobals::LoadTruckLineList();
    basGlobals::LoadLateReasonList();
    board.VxGrid1->viewport()->repaint();
}

void closeBoard() {
    frmShipments::unload();
    frmCalendarForm::unload();
    QApplication::processEvents();
}

void startUp(benchmark::State& state, const std::string& path) {
    startBoard(path); // the first start marks what is late; each later one finds the day's marks made
    closeBoard();
    for (auto _ : state) {
        startBoard(path);
        state.PauseTiming();
        closeBoard();
        state.ResumeTiming();
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
    frmMain& main = frmMain::instance();
    main.resize(1280, 900);
    main.show();

    const std::string small = bench::scaledShipments(dir, 10000, boardDay());
    const std::string large = bench::scaledShipments(dir, 1000000, boardDay());
    benchmark::RegisterBenchmark("start-up/10000", [&](benchmark::State& s) { startUp(s, small); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5)
        ->Repetitions(3);
    benchmark::RegisterBenchmark("start-up/1000000", [&](benchmark::State& s) { startUp(s, large); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5)
        ->Repetitions(3);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter(
        {{"start-up at 1M / at 10k shipments (goal: at most 1.2)", "start-up/1000000", "start-up/10000"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    closeBoard();
    return 0;
}
