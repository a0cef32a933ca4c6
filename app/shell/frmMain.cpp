#include "frmMain.h"

#include "runtime/end.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace {
frmMain* theMain = nullptr;

QAction* item(QMenu* menu, const char* name, const QString& caption, bool checkable = false,
              bool checked = false) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    a->setChecked(checked);
    return a;
}

QMenu* menu(QMenuBar* bar, const char* name, const QString& caption) {
    QMenu* m = bar->addMenu(caption);
    m->setObjectName(name);
    return m;
}
} // namespace

frmMain& frmMain::instance() {
    if (!theMain) theMain = new frmMain();
    return *theMain;
}

bool frmMain::exists() {
    return theMain != nullptr;
}

frmMain::frmMain() : mdi_(new QMdiArea(this)) {
    setObjectName("frmMain");
    setWindowTitle("Dorvane");
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(mdi_);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    resize(1100, 750);
    connect(this, &QObject::destroyed, [] { theMain = nullptr; });
}

void frmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    mnuFile = menu(bar, "mnuFile", "&File");
    mnuFileShowShip = item(mnuFile, "mnuFileShowShip", "Show &Shipments");
    mnuFileShowCal = item(mnuFile, "mnuFileShowCal", "Show &Calendar");
    mnuFileShowTruckLines = item(mnuFile, "mnuFileShowTruckLines", "Show &Truck Lines");
    mnuFilePrint = mnuFile->addMenu("&Print");
    mnuFilePrint->setObjectName("mnuFilePrint");
    mnuFilePrintStandard = item(mnuFilePrint, "mnuFilePrintStandard", "Standard Report");
    mnuFilePrintBarcode = item(mnuFilePrint, "mnuFilePrintBarcode", "Barcoded Labels or Packing Lists");
    mnuFilePrint->addSeparator()->setObjectName("mnuFilePrintSep");
    mnuFilePrintValcrest = item(mnuFilePrint, "mnuFilePrintValcrest", "Valcrest Report");
    mnuFile->addSeparator()->setObjectName("mnuFileSep1");
    mnuFileExit = item(mnuFile, "mnuFileExit", "E&xit");

    mnuEdit = menu(bar, "mnuEdit", "&Edit");
    mnuEdit->setEnabled(false); // the board enables it while it is the active child
    mnuEditChange = item(mnuEdit, "mnuEditChange", "&Change Date...");
    mnuEditApply = item(mnuEdit, "mnuEditApply", "&Apply");
    mnuEditDelete = item(mnuEdit, "mnuEditDelete", "&Delete");

    mnuView = menu(bar, "mnuView", "&View");
    mnuViewToolbar = item(mnuView, "mnuViewToolbar", "&Toolbar", true, true);
    mnuViewStatusBar = item(mnuView, "mnuViewStatusBar", "&Status Bar", true, true);
    mnuViewSalesColumns = item(mnuView, "mnuViewSalesColumns", "S&ales Columns", true, false);
    mnuViewShippingColumns = item(mnuView, "mnuViewShippingColumns", "S&hipping Columns", true, true);

    mnuOptions = menu(bar, "mnuOptions", "&Options");
    mnuOptionsHighlightLine = item(mnuOptions, "mnuOptionsHighlightLine", "&Highlight Line", true, false);
    mnuOptionsAutoRefresh = mnuOptions->addMenu("&AutoRefresh");
    mnuOptionsAutoRefresh->setObjectName("mnuOptionsAutoRefresh");
    mnuOptionsAutoRefreshEnabled =
        item(mnuOptionsAutoRefresh, "mnuOptionsAutoRefreshEnabled", "&Enabled", true);
    mnuOptionsAutoRefreshSettings =
        item(mnuOptionsAutoRefresh, "mnuOptionsAutoRefreshSettings", "&Settings...");

    mnuWindow = menu(bar, "mnuWindow", "&Window");
    mnuWindowDefaultColumnWidths = item(mnuWindow, "mnuWindowDefaultColumnWidths", "Default Column &Widths");
    mnuWindowDefaultRowHeight = item(mnuWindow, "mnuWindowDefaultRowHeight", "Default Row &Height");

    // File > Exit ends the program at once: every setting was saved when it was changed.
    connect(mnuFileExit, &QAction::triggered, [] { runtime::End(); });
}

void frmMain::buildToolbar() {
    tlbrToolbar = addToolBar("Toolbar");
    tlbrToolbar->setObjectName("tlbrToolbar");
    tlbrToolbar->setMovable(false);
    tlbrToolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    struct Button {
        const char* caption;
        const char* key;
        const char* tip;
        QStyle::StandardPixmap icon;
    };
    const Button buttons[] = {
        {"Shipments", "Ship", "Show Shipment Window", QStyle::SP_FileDialogDetailedView},
        {"Calendar", "Cal", "Show Calendar Window", QStyle::SP_FileDialogInfoView},
        {"Truck Lines", "Truck", "Show Truck Lines Window", QStyle::SP_DriveNetIcon},
        {"Search", "Search", "Search for shipments by more than date", QStyle::SP_FileDialogContentsView},
        {"Print", "Print", "Print Barcoded Labels or Packing Lists", QStyle::SP_DialogSaveButton},
    };
    for (const Button& b : buttons) {
        QAction* a = tlbrToolbar->addAction(style()->standardIcon(b.icon), b.caption);
        a->setToolTip(b.tip);
        a->setData(QString(b.key));
        connect(a, &QAction::triggered, [this, a] { tlbrToolbar_ButtonClick(a->data().toString()); });
    }
}

void frmMain::buildStatusBar() {
    statusBar()->setObjectName("sbStatus");
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QLabel(this);
        panels_.append(panel);
        statusBar()->addWidget(panel, i == 0 ? 1 : 3);
    }
}

QLabel* frmMain::sbPanel(int index) const {
    return panels_.value(index);
}

void frmMain::tlbrToolbar_ButtonClick(const QString& key) {
    static const QStringList keys = {"Ship", "Cal", "Truck", "Search", "Print"};
    if (keys.contains(key, Qt::CaseSensitive)) emit toolbarKey(key);
}
