#include "frmPrtValcrest.h"

#include "CKelmarOptions.h"
#include "ReportComponent.h"
#include "basDAOUtilityFunctions.h"
#include "basGlobals.h"
#include "frmMain.h"
#include "reports_database.h"

#include "paths/report_templates.h"
#include "runtime/dialogs.h"
#include "runtime/locale_text.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/twips.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using widgets::twipsToPixels;

namespace {
frmPrtValcrest* theWindow = nullptr;

constexpr double kClientWidth = 6150, kClientHeight = 5760; // twips
constexpr const char* kReportTable = "Report";

// Adds the customer's purchase orders that POTable does not hold yet, each once. A shipment
// without a PO number has nothing to add (a Null would never match the check and would be added
// again at every opening).
const char* kAddNewPOs = "INSERT INTO POTable (PONumber) "
                         "SELECT DISTINCT CustomerPO "
                         "From Shipments "
                         "WHERE ((Shipments.Customer='Valcrest') "
                         "AND (Shipments.CustomerPO Is Not Null) "
                         "AND ((select count(*) "
                         "from POTable as p1 "
                         "Where p1.PONumber = shipments.CustomerPO) = 0));";

// The new orders are one statement, so the file holds all of them or none. When they cannot be
// added (a disk error, a lock another program holds) the clerk is told, the dates already there can
// still be checked and printed, and the next opening adds them.
void addNewPOs(dao::Database& db) {
    try {
        db.Execute(kAddNewPOs);
    } catch (const runtime::Error& e) {
        runtime::MsgBox("The customer's new purchase orders could not be added: " + e.description() +
                            " They are added the next time this window is opened.",
                        runtime::mb::Exclamation);
    }
}

// Why the grid's PO dates cannot be typed over: the clerk would otherwise find a grid that takes no
// typing, and a new order without a date never prints.
QString poDatesFixedReason(bool accountMayChange) {
    QString why = accountMayChange
                      ? "the database cannot tell the rows of POTable apart (a key of several columns). Ask "
                        "the database administrator to give POTable a primary key (PONumber)."
                      : "your account may only read the database.";
    return "The PO dates cannot be changed here: " + why +
           " The schedule prints by the PO dates the database holds.";
}

// Deletes the scratch table "Report" of the reports database, if it is there.
void dropReportTable() {
    if (!DropTableIfPresent(kReportsDatabase, kReportTable)) runtime::raise(91);
}
} // namespace

frmPrtValcrest& frmPrtValcrest::showWindow() {
    if (!theWindow) {
        theWindow = new frmPrtValcrest();
        try {
            theWindow->Form_Load();
        } catch (...) {
            // A window that could not load is not kept: the next opening loads it again.
            delete theWindow;
            throw;
        }
    }
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
    return *theWindow;
}

frmPrtValcrest* frmPrtValcrest::showFromMenu() {
    try {
        return &showWindow();
    } catch (const runtime::Error& e) {
        runtime::MsgBox("The Valcrest production schedule cannot be opened: " + e.description(),
                        runtime::mb::Exclamation);
        return nullptr;
    }
}

frmPrtValcrest* frmPrtValcrest::openWindow() {
    return theWindow;
}

void frmPrtValcrest::unload() {
    delete theWindow;
}

frmPrtValcrest::frmPrtValcrest() : QWidget(&frmMain::instance(), Qt::Window) {
    setObjectName("frmPrtValcrest");
    setWindowTitle("Print Valcrest Production Schedule");
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    resize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
}

frmPrtValcrest::~frmPrtValcrest() {
    delete Report1;
    if (theWindow == this) theWindow = nullptr;
}

void frmPrtValcrest::buildControls() {
    lblInstructions = new QLabel("Please verify the dates on each Purchase Order before printing.", this);
    lblInstructions->setWordWrap(true); // a longer reason wraps instead of widening the window
    datPOs = new widgets::DataControl(this);
    datPOs->setObjectName("datPOs");
    datPOs->setRecordSourceText("Select * from POTable order by PONumber;");
    VxGrid1 = new widgets::DataGrid(this);
    VxGrid1->setObjectName("VxGrid1");
    VxGrid1->setDataSource(datPOs);
    VxGrid1->addColumn("PO Number", "PONumber");
    VxGrid1->addColumn("PO Date", "PODate", widgets::ColumnDisplay::ShortDate);
    VxGrid1->Columns(0).widthTwips = 2400;
    VxGrid1->Columns(1).widthTwips = 1800;
    VxGrid1->columnChanged(0);
    VxGrid1->columnChanged(1);
    txtBeginningDate = new QLineEdit(this);
    txtBeginningDate->setObjectName("txtBeginningDate");
    txtEndingDate = new QLineEdit(this);
    txtEndingDate->setObjectName("txtEndingDate");
    cmdPrint = new QPushButton("Print", this);
    cmdPrint->setObjectName("cmdPrint");
    cmdPrint->setDefault(true);
    cmdPrint->setAutoDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    Report1 = new ReportComponent(this);
    Report1->setReportFileName(paths::templateFile("daily valcrest report.rpt"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInstructions);
    layout->addWidget(VxGrid1, 1);
    layout->addWidget(datPOs);
    auto* form = new QGridLayout;
    form->addWidget(new QLabel("Beginning PO Date to Print", this), 0, 0);
    form->addWidget(txtBeginningDate, 0, 1);
    form->addWidget(cmdPrint, 0, 2);
    form->addWidget(new QLabel("Ending PO Date to Print", this), 1, 0);
    form->addWidget(txtEndingDate, 1, 1);
    form->addWidget(cmdCancel, 1, 2);
    layout->addLayout(form);

    connect(cmdPrint, &QPushButton::clicked, this, &frmPrtValcrest::cmdPrint_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPrtValcrest::cmdCancel_Click);
    connect(txtBeginningDate, &QLineEdit::returnPressed, this, &frmPrtValcrest::cmdPrint_Click);
    connect(txtEndingDate, &QLineEdit::returnPressed, this, &frmPrtValcrest::cmdPrint_Click);
}

void frmPrtValcrest::Form_Load() {
    datPOs->setDatabaseName(basGlobals::gOptions->DatabaseName());
    datPOs->Refresh();
    dao::Database db = dao::engine().OpenDatabase(datPOs->DatabaseName());
    bool mayChange = db.Updatable();
    // An account that may only read cannot add the new orders; the schedule still prints.
    if (mayChange) addNewPOs(db);
    db.Close();
    datPOs->Refresh();
    if (auto source = datPOs->source(); source && !source->updatable())
        lblInstructions->setText(poDatesFixedReason(mayChange));
}

void frmPrtValcrest::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

// The query reads the two texts as dates: texts that are not dates, or a range that runs
// backwards, would print an empty schedule without a word, so they are refused here.
bool frmPrtValcrest::datesAccepted() {
    auto low = runtime::parseDateText(txtBeginningDate->text().trimmed().toStdString());
    auto high = runtime::parseDateText(txtEndingDate->text().trimmed().toStdString());
    QLineEdit* wrong = !low ? txtBeginningDate : !high ? txtEndingDate : nullptr;
    if (wrong) {
        runtime::MsgBox(std::string("Please enter the ") +
                            (wrong == txtBeginningDate ? "beginning" : "ending") +
                            " PO date as a date, for example " +
                            runtime::shortDateText(runtime::Date::fromYmd(2026, 12, 1)) + ".",
                        runtime::mb::Exclamation);
        wrong->setFocus();
        return false;
    }
    if (*low > *high) {
        runtime::MsgBox(
            "The beginning PO date is after the ending PO date. Please enter the earlier date first.",
            runtime::mb::Exclamation);
        txtBeginningDate->setFocus();
        return false;
    }
    return true;
}

void frmPrtValcrest::cmdPrint_Click() {
    // A PO date still being typed in the grid is stored first, as leaving its row would: the schedule
    // is printed by those dates. A store that fails has been shown; the typed date stays for another try.
    if (!VxGrid1->storeCurrentRow()) return;
    if (!datesAccepted()) return;

    dropReportTable();
    dao::Database db = dao::engine().OpenDatabase(datPOs->DatabaseName());
    dao::QueryDef query = db.QueryDefs("Valcrest Production Schedule");
    const auto low = runtime::parseDateText(txtBeginningDate->text().trimmed().toStdString());
    const auto high = runtime::parseDateText(txtEndingDate->text().trimmed().toStdString());
    query.Parameters("LowDate").setValue(*low);
    query.Parameters("HighDate").setValue(*high);
    query.Execute();
    db.Close();

    // The schedule says which PO dates it covers, in the clerk's own date format.
    Report1->setFormulas(0, "PODateRangeFormula= 'PO dates " + runtime::shortDateText(*low) + " to " +
                                runtime::shortDateText(*high) + "'");
    std::int16_t result = Report1->PrintReport();
    dropReportTable();
    // A schedule that did not print must not look as if it had.
    if (result != 0) runtime::MsgBox(printErrorText(*Report1, result));
}

void frmPrtValcrest::cmdCancel_Click() {
    close();
}
