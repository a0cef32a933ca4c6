#include "frmSearch.h"

#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "basGlobals_board.h"
#include "basUtilityFunctions_ui.h"
#include "frmMain.h"
#include "frmShipments.h"

#include "dao/jet_sql.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/tab_strip.h"
#include "widgets/timer.h"
#include "widgets/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <array>

using namespace basGlobals;
using namespace basUtilityFunctions;

namespace {

// The window's outer size, in twips: it cannot be resized.
constexpr double kWidth = 7710, kHeight = 5910;

// The board's query before the search conditions.
const char* const kBaseQuery =
    "SELECT Shipments.*, [Job Lookup Table].[Job Description], [Job Lookup Table].[Box Type], [Job Lookup "
    "Table].[Parts Per Box], [Job Lookup Table].BoxesPerTransfer, [Job Lookup Table].[Box Weight], [Box "
    "Weight]/([Packaging Table].[L]*[Packaging Table].[W]*[Packaging Table].[H]/1728) AS [PCF Code] FROM "
    "(Shipments LEFT JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number]) LEFT "
    "JOIN [Packaging Table] ON [Job Lookup Table].[Box Type] = [Packaging Table].PackageID";

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// Every distinct value of `field`, sorted.
std::string allValuesQuery(const std::string& field) {
    return "SELECT DISTINCT " + field + " FROM Shipments ORDER BY " + field + ";";
}

// The values of `field` in the shipments `byField` selects, sorted like the full lists (the engine
// does not promise any order for DISTINCT). A list with no selection left selects nothing, so the
// dependent list shows every value again rather than running a query without a condition after
// its WHERE.
std::string dependentQuery(const std::string& field, const std::string& byField, const std::string& clause) {
    if (clause.empty()) return allValuesQuery(field);
    return "SELECT DISTINCT " + field + " FROM Shipments WHERE Shipments." + byField + " " + clause +
           " ORDER BY " + field + ";";
}

// Fills `list` from its data source's query without raising the list's selection handling:
// a refilled list has no selection, and refilling never starts another cascade.
void refill(widgets::DataControl& source, QListWidget& list, const std::string& query,
            const std::string& field) {
    QSignalBlocker quiet(list);
    source.setRecordSourceText(query);
    source.Refresh();
    dao::Recordset* rs = widgets::boundRecordset(source);
    if (rs && rs->RecordCount() > 0)
        FillListFromRecordset(*rs, list, field);
    else
        list.clear(); // no shipments at all: nothing to list
}

struct StatusCondition {
    const char* caption;
    std::string checked, unchecked;
};

// The conditions of the five status boxes; dates are written in the engine's unambiguous form,
// so the clause means the same day whatever the regional settings.
std::array<StatusCondition, 5> statusConditions() {
    runtime::Date today = runtime::Today();
    std::string day = dao::jet::dateLiteral(today.year(), today.month(), today.day());
    return {{{"Scheduled", "(Shipments.ReqShipDate >= " + day + ")", "(Shipments.ReqShipDate < " + day + ")"},
             {"Late", "(Shipments.Late = True)", "(Shipments.Late = False)"},
             {"Shipped", "(Shipments.ActShipDate Is Not Null)", "(Shipments.ActShipDate Is Null)"},
             {"Canceled", "(Shipments.Canceled=True)", "(Shipments.Canceled=False)"},
             {"ASAP", "(Shipments.ReqShipDate Is Null)", "(Shipments.ReqShipDate Is Not Null)"}}};
}

void appendOr(std::string& text, const std::string& condition) {
    if (text.back() != '(') text += " OR ";
    text += condition;
}

void setAutoRefreshMenuEnabled(bool enabled) {
    QMenu* menu = frmMain::instance().mnuOptionsAutoRefresh;
    menu->setEnabled(enabled);
    menu->menuAction()->setEnabled(enabled);
}
} // namespace

DefaultInstance<frmSearch>& frmSearch::defaultInstance() {
    static DefaultInstance<frmSearch> search([](frmSearch& s) { s.Form_Load(); });
    return search;
}

frmSearch& frmSearch::instance() {
    return defaultInstance().get();
}

bool frmSearch::exists() {
    return defaultInstance().exists();
}

void frmSearch::unload() {
    frmSearch* search = defaultInstance().release();
    if (!search) return;
    search->Form_Unload();
    search->sub_->removeEventFilter(search);
    search->sub_->hide();
    search->sub_->deleteLater(); // the window itself goes with its frame
}

frmSearch::frmSearch() {
    setObjectName("frmSearch");
    buildControls();
    // A child window of the main window without a maximize button.
    sub_ = frmMain::instance().mdiArea()->addSubWindow(
        this, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    sub_->setWindowTitle("Search Criteria");
    sub_->setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    sub_->resize(widgets::twipsToPixels(kWidth), widgets::twipsToPixels(kHeight));
    sub_->installEventFilter(this);
    sub_->hide();
}

void frmSearch::buildControls() {
    auto list = [this](const char* name) {
        auto* l = new QListWidget(this);
        l->setObjectName(name);
        l->setSelectionMode(QAbstractItemView::ExtendedSelection);
        return l;
    };
    auto dataSource = [this](const char* name) {
        auto* d = new widgets::DataControl(this);
        d->setObjectName(name);
        d->hide();
        return d;
    };
    lstCustList = list("lstCustList");
    lstWorkOrderNum = list("lstWorkOrderNum");
    lstCustPO = list("lstCustPO");
    lstPartNumList = list("lstPartNumList");
    datCustomerNames = dataSource("datCustomerNames");
    datWorkOrders = dataSource("datWorkOrders");
    datCustPO = dataSource("datCustPO");
    datPartNums = dataSource("datPartNums");

    auto frame = [this](int index, const char* caption) {
        auto* box = new QGroupBox(caption, this);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(listOf(index), 1);
        auto* buttons = new QHBoxLayout;
        cmdSelectAll[index] = new QPushButton("Select All", box);
        cmdSelectAll[index]->setObjectName(QString("cmdSelectAll%1").arg(index));
        cmdClearSelections[index] = new QPushButton("Clear Selections", box);
        cmdClearSelections[index]->setObjectName(QString("cmdClearSelections%1").arg(index));
        buttons->addWidget(cmdSelectAll[index]);
        buttons->addWidget(cmdClearSelections[index]);
        layout->addLayout(buttons);
        connect(cmdSelectAll[index], &QPushButton::clicked, this,
                [this, index] { cmdSelectAll_Click(index); });
        connect(cmdClearSelections[index], &QPushButton::clicked, this,
                [this, index] { cmdClearSelections_Click(index); });
        return box;
    };

    fraShipmentStatus = new QGroupBox("Shipment Status", this);
    fraShipmentStatus->setObjectName("fraShipmentStatus");
    auto* statusLayout = new QHBoxLayout(fraShipmentStatus);
    const auto conditions = statusConditions();
    for (int i = 0; i < 5; ++i) {
        chkStatus[i] = new QCheckBox(conditions[size_t(i)].caption, fraShipmentStatus);
        chkStatus[i]->setObjectName(QString("chkStatus%1").arg(i));
        chkStatus[i]->setChecked(true);
        statusLayout->addWidget(chkStatus[i]);
        connect(chkStatus[i], &QCheckBox::clicked, this, [this, i] { chkStatus_Click(i); });
    }
    statusLayout->addStretch();

    cmdApplyButton = new QPushButton("&Apply", this);
    cmdApplyButton->setObjectName("cmdApplyButton");
    cmdCloseButton = new QPushButton("&Close", this);
    cmdCloseButton->setObjectName("cmdCloseButton");
    lblSelectAll = new QLabel("Select All", this);
    lblSelectAll->setObjectName("lblSelectAll");
    lblSelectAll->hide();
    pbSelectAll = new QProgressBar(this);
    pbSelectAll->setObjectName("pbSelectAll");
    pbSelectAll->setRange(0, 100);
    pbSelectAll->hide();

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->addWidget(frame(0, "Customer Name"), 0, 0);
    grid->addWidget(frame(3, "Part #"), 0, 1);
    grid->addWidget(frame(1, "Work Order #"), 1, 0);
    grid->addWidget(frame(2, "Customer PO #"), 1, 1);
    grid->addWidget(fraShipmentStatus, 2, 0, 1, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblSelectAll);
    bottom->addWidget(pbSelectAll, 1);
    bottom->addStretch();
    bottom->addWidget(cmdApplyButton);
    bottom->addWidget(cmdCloseButton);
    grid->addLayout(bottom, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    connect(lstCustList, &QListWidget::itemSelectionChanged, this, &frmSearch::lstCustList_Click);
    connect(lstPartNumList, &QListWidget::itemSelectionChanged, this, &frmSearch::lstPartNumList_Click);
    connect(lstWorkOrderNum, &QListWidget::itemSelectionChanged, this, &frmSearch::lstWorkOrderNum_Click);
    connect(lstCustPO, &QListWidget::itemSelectionChanged, this, &frmSearch::lstCustPO_Click);
    connect(cmdApplyButton, &QPushButton::clicked, this, &frmSearch::cmdApplyButton_Click);
    connect(cmdCloseButton, &QPushButton::clicked, this, &frmSearch::cmdCloseButton_Click);
}

QListWidget* frmSearch::listOf(int index) const {
    switch (index) {
    case 0:
        return lstCustList;
    case 1:
        return lstWorkOrderNum;
    case 2:
        return lstCustPO;
    default:
        return lstPartNumList;
    }
}

std::string& frmSearch::clauseOf(int index) {
    switch (index) {
    case 0:
        return customerClause_;
    case 1:
        return workOrderClause_;
    case 2:
        return poClause_;
    default:
        return partClause_;
    }
}

void frmSearch::showSearch() {
    sub_->show();
    frmMain::instance().mdiArea()->setActiveSubWindow(sub_);
    sub_->raise();
}

// Opening: the board goes into search mode and the lists show every value.
void frmSearch::Form_Load() {
    WaitCursor wait;
    const std::string database = gOptions->DatabaseName();
    for (widgets::DataControl* d : {datCustomerNames, datWorkOrders, datCustPO, datPartNums})
        d->setDatabaseName(database);
    sub_->move(0, 0);

    frmShipments& board = frmShipments::instance();
    savedTab_ = board.tsTab->SelectedIndex();
    board.tsTab->setSelectedIndex(1); // "Today"; the board re-queries itself for it
    board.tsTab->setEnabled(false);
    setAutoRefreshMenuEnabled(false);
    if (gAutoRefresh) board.timRefreshTimer->setEnabled(false);
    QString caption = "Search Results";
    dao::Recordset* rs = widgets::boundRecordset(*board.Data1);
    if (rs && !rs->Updatable()) caption += " (Read Only)";
    board.setCaption(caption);
    frmShipments::setSearchWindowRaiser([] {
        if (frmSearch::exists()) frmSearch::instance().showSearch();
    });

    fillAllLists();
}

void frmSearch::fillAllLists() {
    refill(*datCustomerNames, *lstCustList, allValuesQuery("Customer"), "Customer");
    refill(*datPartNums, *lstPartNumList, allValuesQuery("JobNum"), "JobNum");
    refill(*datWorkOrders, *lstWorkOrderNum, allValuesQuery("WorkOrder"), "WorkOrder");
    refill(*datCustPO, *lstCustPO, allValuesQuery("CustomerPO"), "CustomerPO");
}

// Closing: the board gets its tab view back, and a refresh that fell due meanwhile runs once.
void frmSearch::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    frmShipments::setSearchWindowRaiser(nullptr);
    setAutoRefreshMenuEnabled(true);
    frmShipments& board = frmShipments::instance();
    board.timRefreshTimer->setEnabled(gAutoRefresh);
    board.tsTab->setEnabled(true);
    board.tsTab->setSelectedIndex(savedTab_);
    if (gAutoRefresh && gRefreshPending) {
        ApplyStatusTab();
        gRefreshPending = false;
    }
}

void frmSearch::cmdCloseButton_Click() {
    unload();
}

bool frmSearch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sub_) {
        if (event->type() == QEvent::Close) {
            unload();
            return true;
        }
        if (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange)
            QMetaObject::invokeMethod(
                this, [this] { Form_Resize(); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void frmSearch::Form_Resize() {
    if (sub_->isMaximized()) sub_->showNormal();
    if (sub_->isMinimized()) return;
    const QSize fixed(widgets::twipsToPixels(kWidth), widgets::twipsToPixels(kHeight));
    if (sub_->size() != fixed) sub_->resize(fixed);
}

// A selection change that Select All or Clear Selections makes item by item only shows progress:
// the list's work is done once when the run ends.
bool frmSearch::clickDoesWork() {
    if (gSelectAllActive) {
        if (gSelectAllPercent < 90) {
            lblSelectAll->show();
            pbSelectAll->show();
            pbSelectAll->setValue(gSelectAllPercent);
        }
        return false;
    }
    return !bulkChange_;
}

void frmSearch::hideProgress() {
    if (lblSelectAll->isHidden()) return;
    pbSelectAll->setValue(100);
    pbSelectAll->hide();
    lblSelectAll->hide();
}

void frmSearch::lstCustList_Click() {
    if (clickDoesWork()) listWork(0);
}
void frmSearch::lstWorkOrderNum_Click() {
    if (clickDoesWork()) listWork(1);
}
void frmSearch::lstCustPO_Click() {
    if (clickDoesWork()) listWork(2);
}
void frmSearch::lstPartNumList_Click() {
    if (clickDoesWork()) listWork(3);
}

// What a selection change of a list does: a customer or part selection narrows the other lists.
void frmSearch::listWork(int index) {
    if (index == 0) {
        WaitCursor wait;
        customerClause_ = BuildInClause(lstCustList);
        refill(*datPartNums, *lstPartNumList, dependentQuery("JobNum", "Customer", customerClause_),
               "JobNum");
        partClause_ = BuildInClause(lstPartNumList);
        refill(*datWorkOrders, *lstWorkOrderNum, dependentQuery("WorkOrder", "Customer", customerClause_),
               "WorkOrder");
        workOrderClause_ = BuildInClause(lstWorkOrderNum);
        refill(*datCustPO, *lstCustPO, dependentQuery("CustomerPO", "Customer", customerClause_),
               "CustomerPO");
        poClause_ = BuildInClause(lstCustPO);
    } else if (index == 3) {
        WaitCursor wait;
        partClause_ = BuildInClause(lstPartNumList);
        refill(*datCustomerNames, *lstCustList, dependentQuery("Customer", "JobNum", partClause_),
               "Customer");
        customerClause_ = BuildInClause(lstCustList);
        refill(*datWorkOrders, *lstWorkOrderNum, dependentQuery("WorkOrder", "JobNum", partClause_),
               "WorkOrder");
        workOrderClause_ = BuildInClause(lstWorkOrderNum);
        refill(*datCustPO, *lstCustPO, dependentQuery("CustomerPO", "JobNum", partClause_), "CustomerPO");
        poClause_ = BuildInClause(lstCustPO);
    } else {
        clauseOf(index) = BuildInClause(listOf(index));
    }
    hideProgress();
}

void frmSearch::cmdSelectAll_Click(int index) {
    QListWidget* list = listOf(index);
    const auto before = list->selectedItems().size();
    bulkChange_ = true;
    SelectAllListItems(*list);
    bulkChange_ = false;
    // One cascade for the whole run, and none when the run changed nothing.
    if (list->selectedItems().size() != before) listWork(index);
    hideProgress();
    clauseOf(index) = BuildInClause(list);
}

void frmSearch::cmdClearSelections_Click(int index) {
    QListWidget* list = listOf(index);
    const auto before = list->selectedItems().size();
    bulkChange_ = true;
    ClearListSelection(*list);
    bulkChange_ = false;
    if (before != 0) listWork(index);
    clauseOf(index) = BuildInClause(list);
}

// The status clause: the checked conditions joined by OR, and, when not all five are checked,
// AND the unchecked ones joined by OR. With no box checked no shipment can match; the clause
// says so in a form the engine accepts.
void frmSearch::chkStatus_Click(int) {
    const auto conditions = statusConditions();
    std::string clause = "(";
    int count = 0;
    for (int i = 0; i < 5; ++i)
        if (chkStatus[i]->isChecked()) {
            appendOr(clause, conditions[size_t(i)].checked);
            ++count;
        }
    checkedStatusCount_ = count;
    if (count == 0) {
        statusClause_ = "(False)";
        return;
    }
    if (count < 5) {
        clause += ") AND (";
        for (int i = 0; i < 5; ++i)
            if (!chkStatus[i]->isChecked()) appendOr(clause, conditions[size_t(i)].unchecked);
    }
    statusClause_ = clause + ")";
}

void frmSearch::cmdApplyButton_Click() {
    std::string query = kBaseQuery;
    bool where = false;
    auto condition = [&](const char* column, const std::string& clause) {
        if (clause.empty()) return;
        query += where ? " AND" : " WHERE";
        where = true;
        query += column + clause;
    };
    condition(" Shipments.Customer ", customerClause_);
    condition(" Shipments.JobNum ", partClause_);
    condition(" Shipments.WorkOrder ", workOrderClause_);
    condition(" Shipments.CustomerPO ", poClause_);
    if (!statusClause_.empty()) query += where ? " AND (" + statusClause_ + ")" : " WHERE " + statusClause_;
    query += " ORDER BY Shipments.ReqShipDate;";

    if (checkedStatusCount_ == 0)
        runtime::MsgBox("No shipment status is checked, so no shipments match the search.",
                        runtime::mb::Information);
    frmShipments& board = frmShipments::instance();
    if (!board.settlePendingEdit()) return; // the clerk went back to a change not yet saved
    board.Data1->setRecordSourceText(query);
    board.Data1->Refresh();
}
