#pragma once
// The shipping board: the shipments of one status tab for the calendar date in an editable grid,
// each row coloured by its status, the current row's order status in the navigator's caption,
// and the buttons of the editing operations and reports. There is exactly one board.
#include "default_instance.h"

#include "dao/dao.h"
#include "runtime/ole_date.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QFrame;
class ReportComponent;
class QPushButton;
class QMdiSubWindow;

namespace widgets {
class DataControl;
class DataGrid;
class DropDownGrid;
class TabStrip;
class Timer;
} // namespace widgets

class LiveBoard;

class frmShipments : public QWidget {
    Q_OBJECT
public:
    // The one default instance; created (and loaded, not shown) on first use.
    static frmShipments& instance();
    static bool exists();
    // Unloads the board (tests; the main window's end).
    static void unload();

    widgets::TabStrip* tsTab;
    widgets::DataGrid* VxGrid1;
    widgets::DataControl* Data1;
    widgets::DataControl* datJobList;
    widgets::DropDownGrid* vxdJobNum;
    QPushButton* cmdUpdate;
    QPushButton* cmdDelete;
    QPushButton* cmdMove;
    QPushButton* cmdRefresh;
    QPushButton* cmdPrint;
    QPushButton* cmdShipPlusMinus;
    QPushButton* cmdLateShipmentReport;
    widgets::Timer* timRefreshTimer;
    ReportComponent* Report1;

    // The window's caption (the MDI child's title).
    QString Caption() const;
    void setCaption(const QString& caption);
    QMdiSubWindow* subWindow() const { return sub_; }
    void showBoard(); // shows the window (modeless) and brings it forward

    // The database the board's data control is on (opened on first use), in the board's own
    // workspace: the board's transactions then span its own connection only (a workspace's
    // transaction over several connections to one file would wait on itself).
    dao::Database& database();
    dao::Workspace& workspace();

    // The board's public operations.
    void ActivateControls();
    // The editing operations (frmShipments_editing.cpp): store the pending edit, move the selected
    // shipments to another date, cancel (or on the Canceled tab delete) them, start a new row.
    void DoUpdate();
    void DoMove();
    void DoDelete();
    void DoAdd();
    // Ship +/-: records what was really shipped today from the current row.
    void cmdShipPlusMinus_Click();
    // The standard shipping report of the rows on the board, titled with the board's caption.
    void cmdPrint_Click();
    // The late-shipment workbook for a date range (late_shipment_report.h).
    void cmdLateShipmentReport_Click();

    // Other workstations' changes shown as they come (live_board.h).
    LiveBoard* liveBoard() const { return live_; }

    // The minute counter of the automatic refresh.
    std::int16_t refreshCounter() const { return refreshCounter_; }
    void timRefreshTimer_Timer();

    // Who brings the search window forward when the board may not close. The search window sets it
    // while it owns the board (the board then shows its results) and clears it when it closes.
    static void setSearchWindowRaiser(std::function<void()> raise);
    bool showingSearchResults() const;
    // Before the board is read again or closed: a change typed but not stored is saved or thrown
    // away as the clerk answers. False when the clerk goes back to it (or saving it failed): the
    // caller then leaves the board as it is.
    bool settlePendingEdit();
    // The tab and day whose rows the board shows (a tab or day clicked changes the tab strip or the
    // calendar before the board is read).
    int shownTab() const { return shownTab_; }
    std::optional<runtime::Date> shownDay() const { return shownDay_; }
    void setShown(int tab, runtime::Date day) {
        shownTab_ = tab;
        shownDay_ = day;
    }

    // The grid's events, public so that tests can raise them as the grid does.
    void VxGrid1_BeforeColUpdate(int column, runtime::Variant* newValue, bool* cancel);
    void VxGrid1_AfterColUpdate(int column);
    void VxGrid1_AfterColEdit();
    void Data1_Reposition();
    std::string rowStyleOf(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // the MDI child's close and resize

private:
    friend class DefaultInstance<frmShipments>;
    static DefaultInstance<frmShipments>& defaultInstance();
    frmShipments();
    ~frmShipments() override;
    void buildControls();
    void buildColumns();
    void Form_Load();
    void placeBoard();
    void Form_Resize();
    void Form_Activate();
    bool closeAllowed();
    void Data1_Error(long number, bool* handled);
    void saveColumnWidth(int column);
    void saveRowHeight();
    // Editing helpers (frmShipments_editing.cpp).
    bool storePendingEdit();
    void endCellEdit();
    void requeryBoard();
    std::vector<runtime::Bytes> rowsToChange() const;
    bool deleteQuestionAnsweredYes(const dao::Recordset& rs);
    void showDeleteCommandOf(bool canceledRow);
    bool acceptQuantity(runtime::Variant* newValue);
    void afterCanceledEdit();
    void shipPartial(long long quantity, long long shipped);
    void shipExact();
    void shipOver(long long quantity, long long shipped);
    void reportEditFailure(const runtime::Error& error);
    void reportSelectionFailure(const runtime::Error& error, const std::string& done);
    void keepEditAfterConflict();
    void keepEditAfterConflictLater();

    QMdiSubWindow* sub_ = nullptr;
    QFrame* tabPage_ = nullptr;
    bool placedShown_ = false;
    std::optional<dao::Workspace> ws_;
    dao::Database db_;
    std::int16_t refreshCounter_ = 0;
    int shownTab_ = 0;
    std::optional<runtime::Date> shownDay_;
    bool active_ = false; // the board is the main window's active child window
    LiveBoard* live_ = nullptr;
};
