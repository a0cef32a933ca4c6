#include "frmShipments.h"

#include "CKelmarOptions.h"
#include "ReportComponent.h"
#include "basGlobals.h"
#include "basGlobals_board.h"
#include "board_layout.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "live_board.h"
#include "settings_store.h"
#include "status_rules.h"
#include "typed_answers.h"

#include "dao/jet_sql.h"
#include "paths/report_templates.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/end.h"
#include "runtime/numbers.h"
#include "runtime/variant.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/drop_down_grid.h"
#include "widgets/status_bar.h"
#include "widgets/tab_strip.h"
#include "widgets/timer.h"
#include "widgets/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QStyle>

using namespace basGlobals;
using widgets::twipsToPixels;

namespace {
std::function<void()> raiseSearchWindow;

constexpr const char* kApp = "Dorvane";
// Designed sizes, in twips.
constexpr double kButtonWidth = 1335, kButtonHeight = 375, kButtonGap = 105;
constexpr double kMinWidth = 4365, kMinHeight = 2550;
constexpr double kGridLeft = 120, kGridTop = 420, kStatusLineHeight = 300, kStatusLineLeft = 120;

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->resize(twipsToPixels(kButtonWidth), twipsToPixels(kButtonHeight));
    return b;
}
} // namespace

DefaultInstance<frmShipments>& frmShipments::defaultInstance() {
    static DefaultInstance<frmShipments> board([](frmShipments& b) {
        b.Form_Load();
        // A board loaded again after it was closed offers the lists start-up gave the first one.
        if (defaultInstance().loads() > 1) {
            try {
                LoadTruckLineList();
                LoadLateReasonList();
            } catch (const runtime::Error&) {
                // The board's first refresh reports what is wrong with the database.
            }
        }
    });
    return board;
}

frmShipments& frmShipments::instance() {
    return defaultInstance().get();
}

bool frmShipments::exists() {
    return defaultInstance().exists();
}

void frmShipments::unload() {
    frmShipments* board = defaultInstance().release();
    if (!board) return;
    if (board->sub_) board->sub_->deleteLater();
    delete board;
}

void frmShipments::setSearchWindowRaiser(std::function<void()> raise) {
    raiseSearchWindow = std::move(raise);
}

frmShipments::frmShipments() {
    setObjectName("frmShipments");
    buildControls();
    buildColumns();
    // The board is a child window of the main window.
    sub_ = frmMain::instance().mdiArea()->addSubWindow(this);
    sub_->setWindowTitle("Working...");
    sub_->setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    sub_->installEventFilter(this);
    sub_->hide();
    // Created: both data sources take the main database path.
    Data1->setDatabaseName(gOptions->DatabaseName());
    datJobList->setDatabaseName(gOptions->DatabaseName());
    // The main window's Edit menu runs the operations of the board's default instance (loading
    // it again when it was closed), never of a window that may be gone.
    frmMain& main = frmMain::instance();
    main.setCommand("Move", [] { instance().DoMove(); });
    main.setCommand("Apply", [] { instance().DoUpdate(); });
    main.setCommand("Delete", [] { instance().DoDelete(); });
    main.setCommand("Print", [] { instance().cmdPrint_Click(); });
}

frmShipments::~frmShipments() {
    delete Report1;
    // The drop-down grid is no widget, so no parent deletes it; the grid reads it only to open an
    // editor, which cannot happen while the window is being destroyed.
    delete vxdJobNum;
}

void frmShipments::buildControls() {
    tabPage_ = new QFrame(this);
    tabPage_->setFrameShape(QFrame::StyledPanel);
    tsTab = new widgets::TabStrip(this);
    for (int i = 1; i <= board::kTabCount; ++i)
        tsTab->addTab1(board::tabDefinition(i).caption, board::tabDefinition(i).toolTip);
    Data1 = new widgets::DataControl(this);
    Data1->setObjectName("Data1");
    Data1->setCaption("Please Wait... Building Data Table");
    VxGrid1 = new widgets::DataGrid(this);
    VxGrid1->setObjectName("VxGrid1");
    VxGrid1->setDataSource(Data1);
    datJobList = new widgets::DataControl(this);
    datJobList->setObjectName("datJobList");
    datJobList->setRecordSourceText(
        "SELECT [Job Number],[Job Description] FROM [Job Lookup Table] ORDER BY [Job Number];");
    datJobList->hide();
    vxdJobNum = new widgets::DropDownGrid(datJobList);
    vxdJobNum->Columns() = {{"Job #", "Job Number", 1440}, {"Job Description", "Job Description", 2880}};

    cmdUpdate = button(this, "cmdUpdate", "&Update");
    cmdDelete = button(this, "cmdDelete", "&Cancel Ship");
    cmdMove = button(this, "cmdMove", "&Move...");
    cmdRefresh = button(this, "cmdRefresh", "&Refresh");
    cmdPrint = button(this, "cmdPrint", "&Print Preview");
    cmdShipPlusMinus = button(this, "cmdShipPlusMinus", "&Ship +/-...");
    cmdLateShipmentReport = button(this, "cmdLateShipmentReport", "&Late Shipments Report");
    cmdLateShipmentReport->resize(twipsToPixels(2055), cmdLateShipmentReport->height());
    timRefreshTimer = new widgets::Timer(this);
    timRefreshTimer->setInterval(60000);
    // The report shows in its preview window, logged on as the engine's built-in account.
    Report1 = new ReportComponent(this);
    Report1->setDestination(ReportComponent::crptToWindow);
    Report1->setWindowTitle("Print Preview");
    Report1->setUserName("Admin");

    connect(tsTab, &widgets::TabStrip::Click, this, [] { ApplyStatusTab(); });
    connect(cmdRefresh, &QPushButton::clicked, this, [] { ApplyStatusTab(); });
    connect(cmdUpdate, &QPushButton::clicked, this, &frmShipments::DoUpdate);
    connect(cmdMove, &QPushButton::clicked, this, &frmShipments::DoMove);
    connect(cmdDelete, &QPushButton::clicked, this, &frmShipments::DoDelete);
    connect(cmdPrint, &QPushButton::clicked, this, &frmShipments::cmdPrint_Click);
    connect(cmdShipPlusMinus, &QPushButton::clicked, this, &frmShipments::cmdShipPlusMinus_Click);
    connect(cmdLateShipmentReport, &QPushButton::clicked, this, &frmShipments::cmdLateShipmentReport_Click);
    connect(timRefreshTimer, &widgets::Timer::Tick, this, &frmShipments::timRefreshTimer_Timer);
    connect(Data1, &widgets::DataControl::Reposition, this, &frmShipments::Data1_Reposition);
    connect(Data1, &widgets::DataControl::Error, this,
            [this](long number, const QString&, bool* handled) { Data1_Error(number, handled); });
    connect(VxGrid1, &widgets::DataGrid::Change, this, [] { SetEditCommandEnabled(3, true); });
    connect(VxGrid1, &widgets::DataGrid::BeforeColUpdate, this,
            [this](int col, const runtime::Variant&, runtime::Variant* value, bool* cancel) {
                VxGrid1_BeforeColUpdate(col, value, cancel);
            });
    connect(VxGrid1, &widgets::DataGrid::AfterColUpdate, this, &frmShipments::VxGrid1_AfterColUpdate);
    connect(VxGrid1, &widgets::DataGrid::AfterColEdit, this, [this](int) { VxGrid1_AfterColEdit(); });
    connect(VxGrid1, &widgets::DataGrid::RowColChange, this,
            [this] { ShowColumnHelp("frmShipments", VxGrid1->currentColumn()); });
    connect(VxGrid1, &widgets::DataGrid::ColResize, this, &frmShipments::saveColumnWidth);
    connect(VxGrid1, &widgets::DataGrid::RowResize, this, &frmShipments::saveRowHeight);
}

void frmShipments::buildColumns() {
    for (const auto& c : board::kColumns) {
        auto display = c.display == board::Display::YesNo       ? widgets::ColumnDisplay::YesNo
                       : c.display == board::Display::ShortDate ? widgets::ColumnDisplay::ShortDate
                                                                : widgets::ColumnDisplay::Text;
        int i = VxGrid1->addColumn(c.caption, c.dataField, display);
        if (i < int(board::kDefaultColumnWidths.size()))
            VxGrid1->Columns(i).widthTwips = board::kDefaultColumnWidths[i];
        VxGrid1->columnChanged(i);
    }
    VxGrid1->Columns(board::col::JobNum).dropDown = vxdJobNum;
    VxGrid1->Columns(board::col::PCFCode).decimals = 2;
    VxGrid1->Columns(board::col::Late).defaultValue = runtime::Variant(false);
    VxGrid1->Columns(board::col::Canceled).defaultValue = runtime::Variant(false);
    VxGrid1->Columns(board::col::OKToShip).defaultValue = runtime::Variant(true);
    VxGrid1->setRowHeightTwips(board::kDefaultRowHeight);
    // Four named row styles, clearly apart from each other and from the normal rows.
    VxGrid1->addStyle("Late", {QColor(Qt::white), QColor(200, 30, 30), true});
    VxGrid1->addStyle("ASAP", {QColor(Qt::black), QColor(255, 220, 80), true});
    VxGrid1->addStyle("Shipped", {QColor(Qt::white), QColor(30, 120, 50), false});
    VxGrid1->addStyle("Canceled", {QColor(90, 90, 90), QColor(200, 200, 200), false});
    live_ = new LiveBoard(*this);
    VxGrid1->setStyleFunction([this](int row, int column) -> std::string {
        if (live_->highlighted(row)) return LiveBoard::styleName();
        if (column != 0 && !gHighlightLine) return "";
        return rowStyleOf(row);
    });
}

std::string frmShipments::rowStyleOf(int row) {
    auto source = Data1->source();
    if (!source) return "";
    auto field = [&](const char* name) {
        int f = source->fieldIndex(name);
        return f < 0 ? runtime::Variant::null() : source->value(row, f);
    };
    // Read from the grid's reading clone: the board's own record set is never moved by painting.
    return board::rowStyle(board::ShipmentFlags::fromValues(
        field("Late"), field("ReqShipDate"), field("ActShipDate"), field("Canceled"), field("OKToShip")));
}

QString frmShipments::Caption() const {
    return sub_->windowTitle();
}
void frmShipments::setCaption(const QString& caption) {
    sub_->setWindowTitle(caption);
}

// Right of the calendar, filling the rest of the main window's client area.
void frmShipments::placeBoard() {
    QMdiArea* area = frmMain::instance().mdiArea();
    int calendarWidth = frmCalendarForm::instance().subWindow()->width();
    sub_->setGeometry(calendarWidth, 0, std::max(100, area->width() - calendarWidth), area->height());
}

void frmShipments::showBoard() {
    // Loaded before the main window showed, the board is placed again the first time it shows,
    // when the main window's client area has its real size.
    if (!placedShown_) {
        placedShown_ = true;
        placeBoard();
    }
    sub_->show();
    frmMain::instance().mdiArea()->setActiveSubWindow(sub_);
    sub_->raise();
}

dao::Database& frmShipments::database() {
    if (!db_) db_ = workspace().OpenDatabase(Data1->DatabaseName());
    return db_;
}

dao::Workspace& frmShipments::workspace() {
    dao::DBEngine& engine = dao::engine();
    if (!ws_) ws_ = engine.CreateWorkspace("Board", engine.DefaultUser(), engine.DefaultPassword());
    return *ws_;
}

void frmShipments::Form_Load() {
    WaitCursor wait;
    Report1->setReportFileName(paths::templateFile("shipping report.rpt"));
    try {
        database();
        datJobList->Refresh();
    } catch (const runtime::Error&) {
        // The board stays empty until the first tab refresh, which reports the error.
    }
    placeBoard();
    QMdiArea* area = frmMain::instance().mdiArea();

    for (int i = 0; i < VxGrid1->columnCount(); ++i) {
        double width = runtime::Val(GetSetting(kApp, "Column Widths", "Column" + std::to_string(i), "0"));
        if (width != 0) {
            VxGrid1->Columns(i).widthTwips = width;
            VxGrid1->columnChanged(i);
        }
    }
    vxdJobNum->Columns()[0].widthTwips = VxGrid1->Columns(board::col::JobNum).widthTwips;
    vxdJobNum->Columns()[1].widthTwips = VxGrid1->Columns(board::col::Description).widthTwips;
    vxdJobNum->widthTwips = vxdJobNum->Columns()[0].widthTwips + vxdJobNum->Columns()[1].widthTwips;

    double rowHeight = runtime::Val(GetSetting(kApp, "Row Height", "Height", "0"));
    if (rowHeight != 0) VxGrid1->setRowHeightTwips(rowHeight);

    frmMain& main = frmMain::instance();
    std::string highlight = GetSetting(kApp, "Highlight Line", "Highlight", "False");
    if (highlight == "False") {
        main.mnuOptionsHighlightLine->setChecked(false);
        gHighlightLine = false;
    } else if (highlight == "True") {
        main.mnuOptionsHighlightLine->setChecked(true);
        gHighlightLine = true;
    }

    gRefreshInterval = std::int16_t(runtime::Val(GetSetting(kApp, "Refresh", "Interval", "0")));
    if (gRefreshInterval == 0) main.mnuOptionsAutoRefreshEnabled->setEnabled(false);
    gAutoRefresh = GetSetting(kApp, "Refresh", "Enabled", "False") == "True";
    timRefreshTimer->setEnabled(gAutoRefresh);
    live_->setEnabled(LiveBoard::enabledSetting()); // the timer stays as the fallback
    main.mnuOptionsAutoRefreshEnabled->setChecked(gAutoRefresh);

    // The board keeps the main window's free area as the main window is resized.
    area->installEventFilter(this);
    // The board is activated when it becomes the active child window, not each time the program
    // gets the focus back: that is reported as no child active (nullptr), then the same one again.
    connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (!w) return;
        if (w == sub_) {
            if (!std::exchange(active_, true)) Form_Activate();
            return;
        }
        active_ = false;
        frmMain::instance().mnuEdit->setEnabled(false);
    });
}

void frmShipments::Form_Activate() {
    WaitCursor wait;
    frmMain::instance().mnuEdit->setEnabled(true);
    ActivateControls();
    ShowColumnHelp("frmShipments", VxGrid1->currentColumn());
}

void frmShipments::Form_Resize() {
    if (sub_->isMinimized()) return;
    double width = widgets::pixelsToTwips(sub_->width()), height = widgets::pixelsToTwips(sub_->height());
    if (width < kMinWidth || height < kMinHeight) {
        sub_->resize(width < kMinWidth ? twipsToPixels(kMinWidth) : sub_->width(),
                     height < kMinHeight ? twipsToPixels(kMinHeight) : sub_->height());
        return;
    }
    const int innerW = this->width(), innerH = this->height();
    const int buttonTop = innerH - cmdUpdate->height();
    int left = innerW - cmdUpdate->width();
    cmdUpdate->move(left, buttonTop);
    for (QPushButton* b :
         {cmdDelete, cmdMove, cmdRefresh, cmdPrint, cmdShipPlusMinus, cmdLateShipmentReport}) {
        left -= twipsToPixels(kButtonGap) + b->width();
        b->move(left, buttonTop);
    }
    const int stripHeight = buttonTop - twipsToPixels(kButtonGap);
    tsTab->setGeometry(0, 0, innerW, tsTab->sizeHint().height());
    tabPage_->setGeometry(0, tsTab->height() - 1, innerW, std::max(0, stripHeight - tsTab->height() + 1));
    const int lineWidth = innerW - twipsToPixels(210);
    const int lineHeight = twipsToPixels(kStatusLineHeight);
    const int lineTop = stripHeight - lineHeight - twipsToPixels(kButtonGap);
    Data1->setGeometry(twipsToPixels(kStatusLineLeft), lineTop, lineWidth, lineHeight);
    const int gridTop = std::max(twipsToPixels(kGridTop), tsTab->height() + 4);
    VxGrid1->setGeometry(twipsToPixels(kGridLeft), gridTop, lineWidth, std::max(0, lineTop - gridTop));
}

bool frmShipments::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == frmMain::instance().mdiArea() && placedShown_ &&
        !sub_->isMinimized() && !sub_->isMaximized())
        placeBoard();
    if (watched == sub_) {
        if (event->type() == QEvent::Close) {
            if (!closeAllowed() || !settlePendingEdit()) {
                event->ignore();
                return true;
            }
            active_ = false;
            // The board's column help goes with it.
            frmMain::instance().sbStatus->setPanelText(1, QString());
        } else if (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange) {
            QMetaObject::invokeMethod(
                this, [this] { Form_Resize(); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool frmShipments::showingSearchResults() const {
    return bool(raiseSearchWindow);
}

bool frmShipments::closeAllowed() {
    if (!showingSearchResults()) return true;
    runtime::MsgBox("Please close the Search Criteria form before closing this one.");
    if (raiseSearchWindow) raiseSearchWindow();
    return false;
}

void frmShipments::Data1_Reposition() {
    try {
        auto* rs = widgets::boundRecordset(*Data1);
        if (rs && !rs->atEOF() && !rs->atBOF()) {
            auto flags =
                board::ShipmentFlags::fromValues((*rs)["Late"], (*rs)["ReqShipDate"], (*rs)["ActShipDate"],
                                                 (*rs)["Canceled"], (*rs)["OKToShip"]);
            board::OrderStatus status = board::orderStatus(flags);
            Data1->setCaption(QString::fromStdString(status.text));
            SetEditCommandEnabled(4, status.cancelDeleteEnabled);
            // Search results mix every status: the command cancels an open row and deletes a
            // canceled one, and says which.
            if (showingSearchResults()) showDeleteCommandOf(flags.canceled);
        }
    } catch (const std::exception&) {
        // The status line is a convenience: a row that cannot be read leaves it as it was.
    }
    ActivateControls();
}

void frmShipments::ActivateControls() {
    SetEditCommandEnabled(3, Data1->editInProgress()); // a change not yet stored can still be
    bool editable = false;
    try {
        auto* rs = widgets::boundRecordset(*Data1);
        editable = rs && rs->RecordsReadSoFar() > 0 && rs->Updatable();
    } catch (const std::exception&) {
        editable = false;
    }
    SetEditCommandEnabled(2, editable);
    cmdShipPlusMinus->setEnabled(editable); // it writes rows too: not on a read-only or empty board
    if (Data1->Caption().contains("Shipped", Qt::CaseInsensitive))
        SetEditCommandEnabled(4, false);
    else
        SetEditCommandEnabled(4, editable);
    // Not while another child window (the calendar just clicked) is the active one.
    if (active_) VxGrid1->setFocus();
}

void frmShipments::VxGrid1_BeforeColUpdate(int column, runtime::Variant* newValue, bool* cancel) {
    if (column == board::col::Quantity && !acceptQuantity(newValue)) {
        *cancel = true;
        return;
    }
    // A canceled row's date is its cancel date; a date on a row not canceled yet is a ship date.
    const runtime::Variant canceledNow = VxGrid1->cellValue(board::col::Canceled);
    const bool alreadyCanceled = !canceledNow.isNull() && canceledNow.toBool();
    if (column == board::col::Canceled && !newValue->isNull() && newValue->toBool() && !alreadyCanceled &&
        !VxGrid1->cellValue(board::col::ActShipDate).isNull()) {
        *cancel = true;
        runtime::MsgBox("You cannot cancel an order that has already been shipped.",
                        runtime::mb::Exclamation);
        return;
    }
    if (column == board::col::OKToShip && VxGrid1->cellText(board::col::Canceled) == "Yes")
        *newValue = runtime::Variant(false); // a canceled shipment is never OK to ship
}

// A whole, non-negative number of parts that a quantity can hold; anything else is refused with
// the reason (the record set would say "Type mismatch" or "Overflow", or drop the decimals).
bool frmShipments::acceptQuantity(runtime::Variant* newValue) {
    if (newValue->isNull()) return true;
    const std::string typed = runtime::Trim(newValue->toString());
    const board::PartsAnswer parts = board::readPartsAnswer(typed);
    using Kind = board::PartsAnswer::Kind;
    std::string why;
    if (parts.kind == Kind::Parts) {
        *newValue = runtime::Variant(static_cast<std::int32_t>(parts.parts));
        return true;
    }
    if (parts.kind == Kind::Empty) {
        *newValue = runtime::Variant::null();
        return true;
    }
    if (parts.kind == Kind::Negative)
        why = "A quantity cannot be negative";
    else if (parts.kind == Kind::TooLarge)
        why = "\"" + typed + "\" is more parts than a shipment can hold";
    else
        why = "\"" + typed + "\" is not a whole number of parts";
    runtime::MsgBox(why + ".  Quantity keeps its value.", runtime::mb::Exclamation);
    return false;
}

// Canceling a row in its Canceled? cell dates the cancel (it shows on that day's Canceled tab);
// taking the cancel back takes its date away, which would otherwise read as a ship date.
void frmShipments::afterCanceledEdit() {
    using namespace board;
    const runtime::Variant now = VxGrid1->cellValue(col::Canceled);
    const bool canceled = !now.isNull() && now.toBool();
    auto source = Data1->source();
    bool wasCanceled = false;
    if (source && source->editMode() == widgets::EditMode::Editing && source->currentRow() >= 0) {
        const runtime::Variant stored = source->value(source->currentRow(), source->fieldIndex("Canceled"));
        wasCanceled = !stored.isNull() && stored.toBool();
    }
    if (canceled && VxGrid1->cellValue(col::ActShipDate).isNull()) {
        VxGrid1->setCellValue(col::ActShipDate, runtime::Variant(runtime::Today()));
        VxGrid1->setCellValue(col::OKToShip, runtime::Variant(false));
    } else if (!canceled && wasCanceled) {
        VxGrid1->setCellValue(col::ActShipDate, runtime::Variant::null());
    }
}

void frmShipments::VxGrid1_AfterColUpdate(int column) {
    using namespace board;
    if (column == col::Canceled) {
        afterCanceledEdit();
        return;
    }
    if ((column == col::ReqShipDate || column == col::ActShipDate) && VxGrid1->cellText(column).isEmpty()) {
        VxGrid1->setCellValue(column, runtime::Variant::null());
        VxGrid1->setCellValue(col::Late, runtime::Variant(false));
    } else if (column == col::ReqShipDate) {
        runtime::Variant lateNow = VxGrid1->cellValue(col::Late);
        bool wasLate = !lateNow.isNull() && lateNow.toBool();
        runtime::Date date = VxGrid1->cellValue(col::ReqShipDate).toDate();
        VxGrid1->setCellValue(col::Late,
                              runtime::Variant(lateAfterScheduledDateEdit(wasLate, date, runtime::Today())));
    }
}

void frmShipments::VxGrid1_AfterColEdit() {
    auto source = Data1->source();
    if (!source || VxGrid1->currentRowIndex() < 0) return;
    const QString entered = VxGrid1->cellText(board::col::JobNum);
    const std::string typed = runtime::RTrim(entered.toStdString());
    // A row without a job number has nothing to check (a new row, or one the clerk left open).
    if (typed.empty()) return;
    auto* jobs = widgets::boundRecordset(*datJobList);
    if (!jobs) return;
    jobs->setFilter("[Job Number] >= " + dao::jet::quoteText(typed));
    dao::Recordset atOrAfter = jobs->OpenRecordset(dao::dbOpenSnapshot);
    if (atOrAfter.atEOF()) {
        runtime::MsgBox("The job number you entered: " + entered.toStdString() +
                            " does not exist in the Kelmar, and no job number sorts after it.",
                        runtime::mb::Exclamation);
        return;
    }
    std::string found = atOrAfter["Job Number"].toString();
    if (runtime::RTrim(found) == typed) return;
    auto answer = runtime::MsgBox("The job number you entered: " + entered.toStdString() +
                                      " does not exist in the Kelmar.  Its closest match is: " + found +
                                      ".  Use this number instead?",
                                  runtime::mb::YesNo + runtime::mb::Question);
    if (answer == runtime::Answer::Yes) VxGrid1->setCellValue(board::col::JobNum, runtime::Variant(found));
}

void frmShipments::timRefreshTimer_Timer() {
    if (refreshCounter_ != gRefreshInterval) {
        ++refreshCounter_;
        return;
    }
    if (!showingSearchResults() && !frmMain::instance().isMinimized()) {
        if (!Data1->editInProgress()) {
            refreshCounter_ = 0;
            ApplyStatusTab();
        }
        return; // an edit in progress: the refresh stays due and is tried on the next tick
    }
    gRefreshPending = true;
}

void frmShipments::Data1_Error(long number, bool* handled) {
    if (number == dao::errc::ChangedByOther) { // the clerk's typing is kept; see the editing operations
        *handled = true;
        keepEditAfterConflictLater();
        return;
    }
    auto* rs = widgets::boundRecordset(*Data1);
    bool readOnly = !rs || !rs->Updatable();
    if (number == 3033 && readOnly) {
        runtime::MsgBox(
            "You do not have permission to access this database.  This program will now terminate.");
        *handled = true;
        runtime::End();
    }
}

void frmShipments::saveColumnWidth(int column) {
    SaveSetting(kApp, "Column Widths", "Column" + std::to_string(column),
                runtime::Variant(float(VxGrid1->Columns(column).widthTwips)).toString());
}

void frmShipments::saveRowHeight() {
    SaveSetting(kApp, "Row Height", "Height", runtime::Variant(float(VxGrid1->rowHeightTwips())).toString());
}
