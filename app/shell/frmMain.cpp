#include "frmMain.h"

#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "basGlobals_board.h"
#include "board_layout.h"
#include "company_name.h"
#include "frmCalendarForm.h"
#include "frmLoginForm.h"
#include "frmPrtSelect.h"
#include "frmPrtValcrest.h"
#include "frmRefresh.h"
#include "frmSearch.h"
#include "frmShipments.h"
#include "frmTruckLines.h"
#include "settings_store.h"

#include "dao/dao.h"
#include "paths/report_templates.h"
#include "runtime/end.h"
#include "runtime/numbers.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/status_bar.h"
#include "widgets/timer.h"

#include <QApplication>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>

#include <algorithm>

using namespace basGlobals;

namespace {
constexpr const char* kApp = "Dorvane";

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

void letMessagesRun() {
    QCoreApplication::processEvents();
}

// Without a desktop that names one (a bare X server, the offscreen platform) Qt knows no icon theme
// and looks for none in the system's icon folders: take the freedesktop theme the system has.
void useIconTheme() {
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != "hicolor") return;
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, "icons",
                                                           QStandardPaths::LocateDirectory))
        if (!paths.contains(folder)) paths << folder;
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName("Adwaita");
}
} // namespace

DefaultInstance<frmMain>& frmMain::defaultInstance() {
    static DefaultInstance<frmMain> main([](frmMain& m) { m.Form_Initialize(); });
    return main;
}

frmMain& frmMain::instance() {
    return defaultInstance().get();
}

bool frmMain::exists() {
    return defaultInstance().exists();
}

frmMain::frmMain() : mdi_(new QMdiArea(this)) {
    setObjectName("frmMain");
    setWindowTitle("Dorvane");
    setCentralWidget(mdi_);
    buildMenus();
    buildToolbar();
    sbStatus = new widgets::StatusBar(this, {3, 1});
    sbStatus->setObjectName("sbStatus");
    setStatusBar(sbStatus);
    resize(1180, 780);
    wireCommands();
}

void frmMain::Form_Initialize() {
    gOptions = std::make_unique<CKelmarOptions>(paths::templatesFolder(),
                                                companyNameFromDatabase);
    std::string systemDatabase = gOptions->SystemDatabase();
    if (systemDatabase.empty()) return;
    auto& engine = dao::engine();
    engine.setSystemDB(systemDatabase);
    std::string admin = gOptions->AdminUserName();
    if (!admin.empty()) {
        engine.setDefaultUser(admin);
        engine.setDefaultPassword(gOptions->AdminUserPwd());
    } else {
        engine.setDefaultUser("Admin");
        engine.setDefaultPassword("");
    }
}

void frmMain::Form_Load() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    letMessagesRun();
    {
        frmLoginForm login(this);
        login.exec(); // Cancel ends the program inside
    }
    frmShipments& board = frmShipments::instance();
    {
        // A read-only account may not write the Late marks; the next read-write start does.
        dao::Database db = dao::engine().OpenDatabase(board.Data1->DatabaseName());
        if (db.Updatable()) db.QueryDefs("Update Late Shipments Query").Execute();
        db.Close();
    }
    if (runtime::UCase(GetSetting(kApp, "View", "ToolBar", "True")) == "FALSE") {
        tlbrToolbar->setVisible(false);
        mnuViewToolbar->setChecked(false);
    }
    if (runtime::UCase(GetSetting(kApp, "View", "StatusBar", "True")) == "FALSE") {
        sbStatus->setVisible(false);
        mnuViewStatusBar->setChecked(false);
    }
    if (runtime::UCase(GetSetting(kApp, "View", "Columns", "Shipping")) == "SALES") {
        mnuViewSalesColumns->setChecked(true);
        mnuViewShippingColumns->setChecked(false);
        showShippingDetailColumns(false);
    }
    show();
    letMessagesRun();
    frmCalendarForm::instance().showCalendar();
    letMessagesRun();
    board.showBoard();
    letMessagesRun();
    ApplyStatusTab();
    LoadTruckLineList();
    LoadLateReasonList();
    QApplication::restoreOverrideCursor();
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
}

void frmMain::buildToolbar() {
    tlbrToolbar = addToolBar("Toolbar");
    tlbrToolbar->setObjectName("tlbrToolbar");
    tlbrToolbar->setMovable(false);
    tlbrToolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // Pictures from the desktop's icon theme (freedesktop names), the style's own where it has none.
    useIconTheme();
    tlbrToolbar->setIconSize(QSize(24, 24));
    struct Button {
        const char* caption;
        const char* key;
        const char* tip;
        const char* icon;
        QStyle::StandardPixmap fallback;
    };
    const Button buttons[] = {
        {"Shipments", "Ship", "Show Shipment Window", "x-office-spreadsheet",
         QStyle::SP_FileDialogDetailedView},
        {"Calendar", "Cal", "Show Calendar Window", "x-office-calendar", QStyle::SP_FileDialogInfoView},
        {"Truck Lines", "Truck", "Show Truck Lines Window", "x-office-address-book", QStyle::SP_DriveNetIcon},
        {"Search", "Search", "Search for shipments by more than date", "system-search",
         QStyle::SP_FileDialogContentsView},
        {"Print", "Print", "Print Barcoded Labels or Packing Lists", "document-print",
         QStyle::SP_DialogSaveButton},
    };
    int widest = 0;
    for (const Button& b : buttons) {
        QAction* a =
            tlbrToolbar->addAction(QIcon::fromTheme(b.icon, style()->standardIcon(b.fallback)), b.caption);
        a->setObjectName(QString("tlbr") + b.key);
        a->setToolTip(b.tip);
        a->setData(QString(b.key));
        connect(a, &QAction::triggered, [this, a] { tlbrToolbar_ButtonClick(a->data().toString()); });
        widest = std::max(widest, tlbrToolbar->widgetForAction(a)->sizeHint().width());
    }
    // Buttons of one width keep the captions under their pictures in even steps.
    for (QAction* a : tlbrToolbar->actions())
        tlbrToolbar->widgetForAction(a)->setMinimumWidth(widest);
}

void frmMain::wireCommands() {
    connect(mnuFileShowShip, &QAction::triggered, [this] { showShipments(); });
    connect(mnuFileShowCal, &QAction::triggered, [] { frmCalendarForm::instance().showCalendar(); });
    connect(mnuFileShowTruckLines, &QAction::triggered, [this] { runCommand("Truck"); });
    connect(mnuFilePrintStandard, &QAction::triggered, [this] {
        frmShipments::instance().showBoard();
        runCommand("Print");
    });
    connect(mnuFilePrintBarcode, &QAction::triggered, [this] { runCommand("PrtSelect"); });
    connect(mnuFilePrintValcrest, &QAction::triggered, [this] { runCommand("PrtValcrest"); });
    // File > Exit ends the program at once: every setting was saved when it was changed.
    connect(mnuFileExit, &QAction::triggered, [] { runtime::End(); });
    connect(mnuEditChange, &QAction::triggered, [this] { runCommand("Move"); });
    connect(mnuEditApply, &QAction::triggered, [this] { runCommand("Apply"); });
    connect(mnuEditDelete, &QAction::triggered, [this] { runCommand("Delete"); });
    connect(mnuViewToolbar, &QAction::triggered, this, &frmMain::mnuViewToolbar_Click);
    connect(mnuViewStatusBar, &QAction::triggered, this, &frmMain::mnuViewStatusBar_Click);
    connect(mnuViewSalesColumns, &QAction::triggered, this, &frmMain::mnuViewSalesColumns_Click);
    connect(mnuViewShippingColumns, &QAction::triggered, this, &frmMain::mnuViewShippingColumns_Click);
    connect(mnuOptionsHighlightLine, &QAction::triggered, this, &frmMain::mnuOptionsHighlightLine_Click);
    connect(mnuOptionsAutoRefreshEnabled, &QAction::triggered, this,
            &frmMain::mnuOptionsAutoRefreshEnabled_Click);
    connect(mnuOptionsAutoRefreshSettings, &QAction::triggered, this,
            &frmMain::mnuOptionsAutoRefreshSettings_Click);
    connect(mnuWindowDefaultColumnWidths, &QAction::triggered, this,
            &frmMain::mnuWindowDefaultColumnWidths_Click);
    connect(mnuWindowDefaultRowHeight, &QAction::triggered, this, &frmMain::mnuWindowDefaultRowHeight_Click);
    // Commands whose windows are not part of the program stay disabled until they are given.
    for (const char* name :
         {"Truck", "Search", "PrtSelect", "PrtValcrest", "Print", "Move", "Apply", "Delete"})
        setCommand(name, nullptr);
    setCommand("Search", [] { frmSearch::instance().showSearch(); });
    setCommand("Truck", [] { frmTruckLines::showWindow(); });
    setCommand("PrtValcrest", [] { frmPrtValcrest::showFromMenu(); });
    setCommand("PrtSelect", [] { frmPrtSelect::showWindow(); });
}

void frmMain::setCommand(const QString& name, std::function<void()> run) {
    bool available = bool(run);
    commands_[name] = std::move(run);
    QAction* menuItem = name == "Truck"         ? mnuFileShowTruckLines
                        : name == "PrtSelect"   ? mnuFilePrintBarcode
                        : name == "PrtValcrest" ? mnuFilePrintValcrest
                        : name == "Print"       ? mnuFilePrintStandard
                                                : nullptr;
    if (menuItem) menuItem->setVisible(available);
    const QString toolKey = name == "PrtSelect" ? "Print" : name;
    for (QAction* a : tlbrToolbar->actions())
        if (a->data().toString() == toolKey && (name == "Truck" || name == "Search" || name == "PrtSelect"))
            a->setEnabled(available);
}

void frmMain::runCommand(const QString& name) {
    auto it = commands_.find(name);
    if (it != commands_.end() && it->second) it->second();
}

void frmMain::tlbrToolbar_ButtonClick(const QString& key) {
    if (key == "Ship")
        showShipments();
    else if (key == "Cal")
        frmCalendarForm::instance().showCalendar();
    else if (key == "Truck")
        runCommand("Truck");
    else if (key == "Search")
        runCommand("Search");
    else if (key == "Print")
        runCommand("PrtSelect");
}

void frmMain::showShipments() {
    frmShipments& board = frmShipments::instance();
    board.showBoard();
    if (!board.Data1->source()) ApplyStatusTab();
}

void frmMain::mnuViewToolbar_Click() {
    bool visible = !tlbrToolbar->isVisibleTo(this);
    tlbrToolbar->setVisible(visible);
    mnuViewToolbar->setChecked(visible);
    SaveSetting(kApp, "View", "ToolBar", visible ? "True" : "False");
}

void frmMain::mnuViewStatusBar_Click() {
    bool visible = !sbStatus->isVisibleTo(this);
    sbStatus->setVisible(visible);
    mnuViewStatusBar->setChecked(visible);
    SaveSetting(kApp, "View", "StatusBar", visible ? "True" : "False");
}

void frmMain::showShippingDetailColumns(bool visible) {
    widgets::DataGrid* grid = frmShipments::instance().VxGrid1;
    for (const char* caption : board::kShippingDetailCaptions) {
        for (int i = 0; i < grid->columnCount(); ++i)
            if (grid->Columns(i).caption == caption) {
                grid->Columns(i).visible = visible;
                grid->columnChanged(i);
            }
    }
}

void frmMain::mnuViewSalesColumns_Click() {
    mnuViewSalesColumns->setChecked(true);
    mnuViewShippingColumns->setChecked(false);
    showShippingDetailColumns(false);
    SaveSetting(kApp, "View", "Columns", "Sales");
}

void frmMain::mnuViewShippingColumns_Click() {
    mnuViewSalesColumns->setChecked(false);
    mnuViewShippingColumns->setChecked(true);
    showShippingDetailColumns(true);
    SaveSetting(kApp, "View", "Columns", "Shipping");
}

void frmMain::mnuOptionsHighlightLine_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The action has already toggled its own check; decide on the state it had before.
    bool wasChecked = !mnuOptionsHighlightLine->isChecked();
    if (wasChecked) {
        mnuOptionsHighlightLine->setChecked(false);
        gHighlightLine = false;
        DeleteSetting(kApp, "Highlight Line");
    } else {
        mnuOptionsHighlightLine->setChecked(true);
        gHighlightLine = true;
        SaveSetting(kApp, "Highlight Line", "Highlight", "True");
    }
    frmShipments::instance().VxGrid1->Refresh();
    QApplication::restoreOverrideCursor();
}

void frmMain::mnuOptionsAutoRefreshEnabled_Click() {
    gAutoRefresh = !gAutoRefresh;
    frmShipments::instance().timRefreshTimer->setEnabled(gAutoRefresh);
    mnuOptionsAutoRefreshEnabled->setChecked(gAutoRefresh);
    SaveSetting(kApp, "Refresh", "Enabled", gAutoRefresh ? "True" : "False");
}

void frmMain::mnuOptionsAutoRefreshSettings_Click() {
    {
        frmRefresh dialog(this);
        dialog.exec();
    }
    frmShipments::instance().timRefreshTimer->setEnabled(gAutoRefresh);
    mnuOptionsAutoRefreshEnabled->setChecked(gAutoRefresh);
    // An interval was set: the Enabled item the board disabled for a zero interval can be used now.
    if (gRefreshInterval != 0) mnuOptionsAutoRefreshEnabled->setEnabled(true);
}

void frmMain::mnuWindowDefaultColumnWidths_Click() {
    DeleteSetting(kApp, "Column Widths");
    widgets::DataGrid* grid = frmShipments::instance().VxGrid1;
    for (int i = 0; i < int(board::kDefaultColumnWidths.size()); ++i) {
        grid->Columns(i).widthTwips = board::kDefaultColumnWidths[i];
        grid->columnChanged(i);
    }
}

void frmMain::mnuWindowDefaultRowHeight_Click() {
    DeleteSetting(kApp, "Row Height");
    frmShipments::instance().VxGrid1->setRowHeightTwips(board::kDefaultRowHeight);
}

void frmMain::Form_Resize() {
    if (!isMinimized() && gRefreshPending) {
        ApplyStatusTab();
        gRefreshPending = false;
    }
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}
