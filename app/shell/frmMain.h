#pragma once
// The program's multiple-document main window: menus, toolbar and status bar. It routes commands to
// the child windows and keeps the view settings; the child windows do the real work.
#include <QMainWindow>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The one default instance, created on first use.
    static frmMain& instance();
    static bool exists();

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
    // The status bar's panels, written by the board.
    QLabel* sbPanel(int index) const;

    // A toolbar button was clicked: its key is compared exactly, letter case included.
    void tlbrToolbar_ButtonClick(const QString& key);

signals:
    void toolbarKey(const QString& key);

private:
    frmMain();
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();

    QMdiArea* mdi_;
    QList<QLabel*> panels_;
};
