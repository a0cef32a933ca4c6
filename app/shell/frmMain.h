#pragma once
// The program's multiple-document main window: it runs the start-up sequence (options, engine
// defaults, login, the late-shipment update, the view settings, the child windows), routes menu
// and toolbar commands to the child windows and keeps the view settings.
#include "default_instance.h"

#include <QMainWindow>
#include <functional>
#include <map>

class QAction;
class QMdiArea;
class QMenu;
class QToolBar;

namespace widgets {
class StatusBar;
}

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The one default instance, created on first use (its initialise handler runs then).
    static frmMain& instance();
    static bool exists();

    // The load handler: the start-up sequence. Returns when the board shows.
    void Form_Load();

    QMdiArea* mdiArea() const { return mdi_; }

    // Menu items, named as the program names them.
    QMenu* mnuFile;
    QAction* mnuFileShowShip;
    QAction* mnuFileShowCal;
    QAction* mnuFileShowTruckLines;
    QMenu* mnuFilePrint;
    QAction* mnuFilePrintStandard;
    QAction* mnuFilePrintBarcode;
    QAction* mnuFilePrintValcrest;
    QAction* mnuFileExit;
    QMenu* mnuEdit;
    QAction* mnuEditChange;
    QAction* mnuEditApply;
    QAction* mnuEditDelete;
    QMenu* mnuView;
    QAction* mnuViewToolbar;
    QAction* mnuViewStatusBar;
    QAction* mnuViewSalesColumns;
    QAction* mnuViewShippingColumns;
    QMenu* mnuOptions;
    QAction* mnuOptionsHighlightLine;
    QMenu* mnuOptionsAutoRefresh;
    QAction* mnuOptionsAutoRefreshEnabled;
    QAction* mnuOptionsAutoRefreshSettings;
    QMenu* mnuWindow;
    QAction* mnuWindowDefaultColumnWidths;
    QAction* mnuWindowDefaultRowHeight;

    QToolBar* tlbrToolbar;
    widgets::StatusBar* sbStatus;

    // A toolbar button was clicked: its key is compared exactly, letter case included.
    void tlbrToolbar_ButtonClick(const QString& key);

    // Windows other parts of the program provide: "Truck", "Search", "PrtSelect", "PrtValcrest",
    // "Print" (the board's standard report), "Move", "Apply", "Delete". A command whose window is
    // not part of the program stays disabled.
    void setCommand(const QString& name, std::function<void()> run);

    // The menu commands.
    void mnuViewToolbar_Click();
    void mnuViewStatusBar_Click();
    void mnuViewSalesColumns_Click();
    void mnuViewShippingColumns_Click();
    void mnuOptionsHighlightLine_Click();
    void mnuOptionsAutoRefreshEnabled_Click();
    void mnuOptionsAutoRefreshSettings_Click();
    void mnuWindowDefaultColumnWidths_Click();
    void mnuWindowDefaultRowHeight_Click();
    // Resize: a timed refresh deferred while minimised runs once when the window is restored.
    void Form_Resize();

protected:
    void changeEvent(QEvent* event) override;

private:
    friend class DefaultInstance<frmMain>;
    static DefaultInstance<frmMain>& defaultInstance();
    frmMain();
    void Form_Initialize();
    // Show Shipments (menu and toolbar): a board closed earlier is loaded and queried again.
    void showShipments();
    void buildMenus();
    void buildToolbar();
    void wireCommands();
    void showShippingDetailColumns(bool visible);
    void runCommand(const QString& name);

    QMdiArea* mdi_;
    std::map<QString, std::function<void()>> commands_;
};
