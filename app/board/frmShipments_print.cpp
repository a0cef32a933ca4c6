// The board's standard shipping report: the board's rows are copied into a scratch table of the
// reports database, printed through the report component under the board's caption, and the
// table is dropped again.
#include "frmShipments.h"

#include "ReportComponent.h"
#include "basDAOUtilityFunctions.h"
#include "board_layout.h"
#include "reports_database.h"

#include "runtime/dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"

#include <QApplication>

namespace {
constexpr const char* kScratchTable = "ShipReportTable";

void hourglass() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}
void defaultPointer() {
    QApplication::restoreOverrideCursor();
}

// Copies every row of `from` into `to`, field by field of the same name. One transaction: the
// scratch database is written once instead of once per row.
void copyRows(dao::Recordset& from, dao::Recordset& to) {
    std::vector<std::pair<dao::Field, dao::Field>> pairs;
    for (int i = 0; i < to.FieldCount(); ++i) {
        dao::Field target = to.Fields(i);
        pairs.emplace_back(target, from.Fields(target.Name()));
    }
    dao::Workspace ws = dao::engine().Workspaces0();
    dao::inOneTransaction(ws, [&] {
        for (from.MoveFirst(); !from.atEOF(); from.MoveNext()) {
            to.AddNew();
            for (auto& [target, source] : pairs)
                target.setValue(source.Value());
            to.Update();
        }
    });
}

// The board's rows in the scratch table of the reports database, opened. A table left behind by a
// run that was interrupted is emptied first, so no old rows are printed.
dao::Database fillScratchTable(dao::Recordset& rows) {
    std::int16_t status = CreateTableFromRecordset(kReportsDatabase, kScratchTable, rows);
    dao::Database reports = OpenOrCreateDatabase(kReportsDatabase);
    if (!reports) runtime::raise(91);
    if (status == 2) reports.Execute(std::string("Delete * from ") + kScratchTable + ";");
    dao::Recordset scratch = reports.OpenRecordset(kScratchTable);
    copyRows(rows, scratch);
    scratch.Close();
    return reports;
}

// Drops the scratch table; one that stays is emptied by the next run.
void dropScratchTable() {
    try {
        DropTableIfPresent(kReportsDatabase, kScratchTable);
    } catch (const std::exception&) {
        QCoreApplication::processEvents();
    }
}
} // namespace

void frmShipments::cmdPrint_Click() {
    hourglass();
    dao::Recordset* board = widgets::boundRecordset(*Data1);
    // An empty board has nothing to print: say so rather than fail on the empty copy.
    if (!board || (board->atBOF() && board->atEOF()) || board->RecordCount() == 0) {
        defaultPointer();
        runtime::MsgBox("There are no shipments on the board to print.", runtime::mb::Information);
        return;
    }
    // A file that cannot be read or written (a disk error, a full disk, a lock held elsewhere) keeps
    // the report from printing: the clerk is told why, the shipments are as they were (the run only
    // reads them), and the next run starts again from the board.
    dao::Database reports;
    try {
        dao::Recordset clone = board->Clone();
        clone.MoveLast();
        reports = fillScratchTable(clone);
    } catch (const runtime::Error& e) {
        dropScratchTable();
        defaultPointer();
        runtime::MsgBox("The shipping report cannot be printed: " + e.description(), runtime::mb::Exclamation);
        return;
    }

    Report1->setFormulas(0, "ReportTitleFormula= '" + Caption().toStdString() + "'");
    // Where the board's date column means another date (on the Canceled tab, the day the order was
    // canceled), the report heads it as the board does; otherwise the template keeps its own heading.
    const QString dateCaption = VxGrid1->Columns(board::col::ActShipDate).caption;
    Report1->setFormulas(1, dateCaption == board::kColumns[board::col::ActShipDate].caption
                                ? std::string()
                                : "ActShipDateCaption= '" + dateCaption.toStdString() + "'");
    defaultPointer();
    Report1->setPassword("Pendrix");
    std::int16_t result = Report1->PrintReport();
    if (result != 0) runtime::MsgBox(printErrorText(*Report1, result));

    hourglass();
    reports.Close();
    dropScratchTable();
    defaultPointer();
}
