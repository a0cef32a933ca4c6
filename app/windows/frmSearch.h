#pragma once
// The "Search Criteria" window: narrows the board by customers, part numbers, work orders, customer
// purchase orders and shipment statuses. While it is open it owns the board: the caption reads
// "Search Results", the tab strip and the AutoRefresh menu are disabled and timed refreshes wait.
// Closing it gives the board back the tab that was selected when it opened.
#include "default_instance.h"

#include <QWidget>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMdiSubWindow;
class QProgressBar;
class QPushButton;

namespace widgets {
class DataControl;
}

class frmSearch : public QWidget {
    Q_OBJECT
public:
    // The one default instance; creating it runs the opening steps (the board goes into search mode).
    static frmSearch& instance();
    static bool exists();
    // Runs the closing steps and removes the window (the Close button and the close box do the same).
    static void unload();

    void showSearch(); // shows the window and brings it forward

    // The four lists and their data sources; the Select All / Clear Selections index of each list.
    widgets::DataControl* datCustomerNames;
    widgets::DataControl* datWorkOrders;
    widgets::DataControl* datCustPO;
    widgets::DataControl* datPartNums;
    QListWidget* lstCustList;     // index 0
    QListWidget* lstWorkOrderNum; // index 1
    QListWidget* lstCustPO;       // index 2
    QListWidget* lstPartNumList;  // index 3
    QPushButton* cmdSelectAll[4];
    QPushButton* cmdClearSelections[4];
    QGroupBox* fraShipmentStatus;
    QCheckBox* chkStatus[5]; // Scheduled, Late, Shipped, Canceled, ASAP
    QPushButton* cmdApplyButton;
    QPushButton* cmdCloseButton;
    QLabel* lblSelectAll;
    QProgressBar* pbSelectAll;

    // Selection changes of the lists (also raised by code that changes a selection).
    void lstCustList_Click();
    void lstPartNumList_Click();
    void lstWorkOrderNum_Click();
    void lstCustPO_Click();
    void cmdSelectAll_Click(int index);
    void cmdClearSelections_Click(int index);
    void chkStatus_Click(int index);
    void cmdApplyButton_Click();
    void cmdCloseButton_Click();

    // The current criteria, as Apply puts them into the board's query.
    const std::string& customerClause() const { return customerClause_; }
    const std::string& partClause() const { return partClause_; }
    const std::string& workOrderClause() const { return workOrderClause_; }
    const std::string& poClause() const { return poClause_; }
    const std::string& statusClause() const { return statusClause_; }

    QMdiSubWindow* subWindow() const { return sub_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // the child window's close and resize

private:
    friend class DefaultInstance<frmSearch>;
    static DefaultInstance<frmSearch>& defaultInstance();
    frmSearch();
    void buildControls();
    void Form_Load();
    void Form_Unload();
    void Form_Resize();
    void fillAllLists();

    QListWidget* listOf(int index) const;
    void listWork(int index);
    bool clickDoesWork();
    void hideProgress();
    void cascadeFrom(QListWidget* clicked, const char* byField, std::string& clickedClause);
    std::string& clauseOf(int index);

    QMdiSubWindow* sub_ = nullptr;
    bool bulkChange_ = false; // Select All / Clear Selections is changing a list item by item
    bool unloaded_ = false;
    int savedTab_ = 0;
    int checkedStatusCount_ = 5;
    std::string customerClause_, partClause_, workOrderClause_, poClause_, statusClause_;
};
