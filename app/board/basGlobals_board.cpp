#include "basGlobals_board.h"

#include "board_layout.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "frmShipments.h"

#include "runtime/locale_text.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_grid.h"
#include "widgets/month_calendar.h"
#include "widgets/status_bar.h"
#include "widgets/tab_strip.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalBlocker>

namespace basGlobals {

namespace {
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// The board date: the calendar's day, as a date without a time.
runtime::Date boardDate() {
    runtime::Date picked = frmCalendarForm::instance().calCalendar->Value();
    return runtime::parseDateText(runtime::shortDateText(picked)).value_or(picked.datePart());
}

// Fills the value list of the grid column bound to `dataField` from a saved query's two columns.
void loadValueList(const std::string& dataField, const char* queryName, const char* valueField,
                   const char* displayField) {
    WaitCursor wait;
    frmShipments& board = frmShipments::instance();
    int column = board.VxGrid1->columnOfField(dataField);
    if (column < 0) return;
    widgets::GridColumn& c = board.VxGrid1->Columns(column);
    c.translate = true;
    c.valueItems.clear();
    dao::Recordset rs = board.database().OpenRecordset(queryName, dao::dbOpenForwardOnly);
    while (!rs.atEOF()) {
        // A line without a name (the truck lines window allows one) shows empty, not an error.
        runtime::Variant display = rs[displayField];
        c.valueItems.push_back(
            {rs[valueField], display.isNull() ? QString() : QString::fromStdString(display.toString())});
        rs.MoveNext();
    }
    rs.Close();
    board.VxGrid1->columnChanged(column);
}
} // namespace

dao::Recordset openTabRows(int index, runtime::Date date) {
    const board::TabDefinition& tab = board::tabDefinition(index);
    dao::QueryDef query = frmShipments::instance().database().QueryDefs("Select Current Shipments Query");
    query.Parameters("ThatDate").setValue(runtime::Variant(date));
    dao::Recordset rs = query.OpenRecordset(dao::dbOpenDynaset);
    query.Close();
    if (*tab.filter) {
        rs.setFilter(tab.filter);
        rs = rs.OpenRecordset(dao::dbOpenDynaset);
    }
    return rs;
}

void ApplyStatusTab() {
    frmShipments& board = frmShipments::instance();
    if (!board.settlePendingEdit()) {
        // The clerk went back to the change: the tab strip and the calendar show what the board shows.
        if (board.shownTab() >= 1 && board.shownTab() != board.tsTab->SelectedIndex()) {
            QSignalBlocker quiet(board.tsTab);
            board.tsTab->setCurrentIndex(board.shownTab() - 1);
        }
        if (board.shownDay()) frmCalendarForm::instance().calCalendar->setValue(*board.shownDay());
        return;
    }
    WaitCursor wait;
    // While the search window owns the board, it shows the search's rows, read again.
    if (board.showingSearchResults() && !board.Data1->RecordSourceText().empty()) {
        board.Data1->Refresh();
        return;
    }
    frmMain& main = frmMain::instance();
    const int index = board.tsTab->SelectedIndex();
    const runtime::Date date = boardDate();
    QString caption = board.Caption();
    dao::Recordset* bound = nullptr;
    if (index >= 1 && index <= board::kTabCount) {
        board.setShown(index, date);
        const board::TabDefinition& tab = board::tabDefinition(index);
        widgets::bindRecordset(*board.Data1, openTabRows(index, date));
        board.Data1->setRecordSourceText(""); // the rows no longer come from a search's statement
        bound = widgets::boundRecordset(*board.Data1);
        caption = tab.windowCaptionPrefix;
        board.cmdDelete->setText(tab.cmdDeleteCaption);
        main.mnuEditDelete->setText(tab.menuDeleteCaption);
        board.VxGrid1->Columns(board::col::ActShipDate).caption = tab.column9Caption;
        board.VxGrid1->columnChanged(board::col::ActShipDate);
    }
    caption += QString::fromStdString(runtime::longDateText(date));
    if (!bound) bound = widgets::boundRecordset(*board.Data1);
    if (board.showingSearchResults()) caption = "Search Results"; // no search applied yet
    if (bound && !bound->Updatable()) caption += " (Read Only)";
    board.setCaption(caption);
}

void LoadTruckLineList() {
    loadValueList("Carrier", "Get Truck Lines Query", "TruckLineAbbr", "TruckLineName");
}

void LoadLateReasonList() {
    loadValueList("LateReasonID", "Get Late Reasons Query", "LateReasonID", "LateReasonDescription");
}

void SetEditCommandEnabled(int which, bool enabled) {
    frmShipments& board = frmShipments::instance();
    frmMain& main = frmMain::instance();
    switch (which) {
    case 2:
        board.cmdMove->setEnabled(enabled);
        main.mnuEditChange->setEnabled(enabled);
        break;
    case 3:
        board.cmdUpdate->setEnabled(enabled);
        main.mnuEditApply->setEnabled(enabled);
        break;
    case 4:
        board.cmdDelete->setEnabled(enabled);
        main.mnuEditDelete->setEnabled(enabled);
        break;
    default:
        break;
    }
}

void ShowColumnHelp(const std::string& formName, int colIndex, widgets::StatusBar* statusBar) {
    std::string text;
    if (formName == "frmShipments") {
        bool canceledTab = frmShipments::exists() && frmShipments::instance().tsTab->SelectedIndex() == 6;
        text = board::boardColumnHelp(colIndex, canceledTab);
    } else if (formName == "frmTruckLines") {
        text = board::truckLineColumnHelp(colIndex);
    }
    if (!statusBar) {
        frmMain::instance().sbStatus->setPanelText(1, QString::fromStdString(text));
    } else if (statusBar->isEnabled()) {
        statusBar->setPanelText(1, QString::fromStdString(text));
    }
}

} // namespace basGlobals
