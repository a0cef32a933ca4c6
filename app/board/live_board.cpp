#include "live_board.h"

#include "basGlobals_board.h"
#include "frmCalendarForm.h"
#include "frmShipments.h"
#include "frmTruckLines.h"
#include "settings_store.h"

#include "runtime/locale_text.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/month_calendar.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QScrollBar>

namespace {
constexpr int kLookMs = 250;       // how often the board looks for changes: cheap when there are none
constexpr int kHighlightMs = 1500; // how long a changed row stands out
constexpr const char* kChangedStyle = "Changed elsewhere";
} // namespace

bool LiveBoard::enabledSetting() {
    return GetSetting("Dorvane", "Refresh", "Live", "True") != "False";
}

void LiveBoard::saveEnabledSetting(bool on) {
    SaveSetting("Dorvane", "Refresh", "Live", on ? "True" : "False");
}

LiveBoard::LiveBoard(frmShipments& board) : QObject(&board), board_(board) {
    clock_.start();
    timer_.setInterval(kLookMs);
    connect(&timer_, &QTimer::timeout, this, &LiveBoard::check);
    fade_.setSingleShot(true);
    connect(&fade_, &QTimer::timeout, this, &LiveBoard::fade);
    board_.VxGrid1->addStyle(kChangedStyle, {QColor(Qt::black), QColor(255, 236, 140), true});
}

void LiveBoard::setEnabled(bool on) {
    if (on)
        timer_.start();
    else
        timer_.stop();
}

// A row is being changed: its record is in edit mode, or a cell editor is open in the grid.
bool LiveBoard::editing() const {
    if (board_.Data1->editInProgress()) return true;
    for (QWidget* child : board_.VxGrid1->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible()) return true;
    return false;
}

void LiveBoard::check() {
    dao::Recordset* rs = widgets::boundRecordset(*board_.Data1);
    if (!rs) return; // nothing shown yet
    dao::ChangedRows changes;
    try {
        if (!watch_) watch_.emplace(board_.database());
        changes = watch_->poll();
    } catch (const runtime::Error&) {
        return; // the database cannot be asked now (another program holds it): the next look tries
    }
    if (!changes.empty()) emit changed(changes);
    followTruckLines(changes.everything || changes.keys.count("truck lines"));
    if (!changes.empty() || (requeryDue_ && !editing())) show(changes);
}

// The truck-line drop-down of the board (unless a cell is being edited) and the truck lines window.
// What an edit in progress keeps from changing is shown once the edit ends.
void LiveBoard::followTruckLines(bool changed) {
    if (changed) dropDownDue_ = linesWindowDue_ = true;
    if (dropDownDue_ && !editing()) {
        dropDownDue_ = false;
        try {
            basGlobals::LoadTruckLineList();
        } catch (const runtime::Error&) {
            // The list shown stays until the next change or start.
        }
    }
    if (linesWindowDue_) {
        frmTruckLines* lines = frmTruckLines::openWindow();
        linesWindowDue_ = lines && !lines->showChangedLines();
    }
}

void LiveBoard::show(const dao::ChangedRows& changes) {
    dao::Recordset* rs = widgets::boundRecordset(*board_.Data1);
    // A cell editor open on the current row keeps that row as the clerk began changing it.
    bool editorOpen = editing() && !board_.Data1->editInProgress();
    long hold = editorOpen ? board_.VxGrid1->currentRowIndex() : -1;
    dao::RowsRefreshed result;
    try {
        result = dao::refreshChangedRows(*rs, changes, hold);
    } catch (const runtime::Error&) {
        result.membership = true; // the rows could not be read in place: read the tab again
    }
    if (result.membership || requeryDue_) {
        if (!editing()) return readTabAgain(changes);
        requeryDue_ = true; // after the clerk stores or cancels the row
    }
    auto* model = board_.VxGrid1->model();
    for (long row : result.rows) {
        mark(dao::rowKeyText(*rs, row), kHighlightMs);
        emit model->dataChanged(model->index(int(row), 0), model->index(int(row), model->columnCount() - 1));
        ++inPlace_;
    }
    if (result.held >= 0) mark(dao::rowKeyText(*rs, result.held), kHighlightMs);
}

// Rows may have joined or left: the tab (or the search) is read again, and the clerk's place in it
// is found again by key.
void LiveBoard::readTabAgain(const dao::ChangedRows& changes) {
    requeryDue_ = false;
    widgets::DataGrid* grid = board_.VxGrid1;
    dao::Recordset* rs = widgets::boundRecordset(*board_.Data1);
    auto source = board_.Data1->source();
    std::string current = dao::rowKeyText(*rs, source->currentRow());
    std::string top = dao::rowKeyText(*rs, grid->rowAt(0));
    int column = std::max(0, grid->currentColumn());
    std::vector<std::string> selected;
    for (const auto& mark : grid->selectedBookmarks())
        selected.push_back(dao::rowKeyText(*rs, source->rowOfBookmark(mark)));
    int scroll = grid->verticalScrollBar()->value();
    QWidget* focus = QApplication::focusWidget();

    try {
        if (board_.showingSearchResults()) {
            if (board_.Data1->RecordSourceText().empty()) return;
            board_.Data1->Refresh();
        } else if (board_.shownTab() >= 1 && board_.shownDay()) {
            widgets::bindRecordset(*board_.Data1,
                                   basGlobals::openTabRows(board_.shownTab(), *board_.shownDay()));
        } else
            return;
    } catch (const runtime::Error&) {
        return; // the refresh timer or the clerk's Refresh reports what is wrong
    }
    ++requeries_;
    rs = widgets::boundRecordset(*board_.Data1);
    if (!rs) return;
    auto* model = grid->model();
    long currentAt = dao::positionOfKey(*rs, current), topAt = dao::positionOfKey(*rs, top);
    std::vector<long> selectedAt;
    for (const auto& key : selected)
        selectedAt.push_back(dao::positionOfKey(*rs, key));
    grid->showRowsRead(); // a row found past the first ones read
    if (long at = currentAt; at >= 0) {
        board_.Data1->moveTo(int(at));
        grid->selectionModel()->setCurrentIndex(model->index(int(at), column), QItemSelectionModel::NoUpdate);
    }
    for (long at : selectedAt)
        if (at >= 0)
            grid->selectionModel()->select(model->index(int(at), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (long at = topAt; at >= 0)
        grid->scrollTo(model->index(int(at), column), QAbstractItemView::PositionAtTop);
    else
        grid->verticalScrollBar()->setValue(scroll);
    // Reading the tab again gives the board the focus; a clerk typing in another window keeps it.
    if (focus && !board_.isAncestorOf(focus)) focus->setFocus();
    // The board's rows are shipments; a key the tab does not hold is never painted.
    if (auto it = changes.keys.find("shipments"); it != changes.keys.end())
        for (const auto& key : it->second)
            mark(key, kHighlightMs);
}

void LiveBoard::mark(const std::string& key, int ms) {
    if (key.empty()) return;
    highlight_[key] = clock_.elapsed() + ms;
    fade_.start(ms);
    board_.VxGrid1->Refresh();
}

void LiveBoard::fade() {
    qint64 now = clock_.elapsed();
    std::erase_if(highlight_, [now](const auto& h) { return h.second <= now; });
    if (!highlight_.empty()) fade_.start(100);
    board_.VxGrid1->Refresh();
}

bool LiveBoard::highlighted(int row) const {
    if (highlight_.empty()) return false;
    dao::Recordset* rs = widgets::boundRecordset(*board_.Data1);
    return rs && highlight_.count(dao::rowKeyText(*rs, row)) > 0;
}

const char* LiveBoard::styleName() {
    return kChangedStyle;
}
