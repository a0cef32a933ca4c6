#include "frmPrtSelect.h"

#include "CKelmarOptions.h"
#include "ReportComponent.h"
#include "basGlobals.h"
#include "basUtilityFunctions_ui.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "program_printer.h"

#include "dao/dao.h"
#include "dao/jet_sql.h"
#include "runtime/numbers.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/month_calendar.h"
#include "widgets/twips.h"
#include "widgets/up_down.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

using widgets::twipsToPixels;

namespace {

frmPrtSelect* theWindow = nullptr;

constexpr double kClientWidth = 9525, kClientHeight = 3375; // twips
constexpr double kStepWidth = 9495, kStepHeight = 2775;

// The system's printer dialog: the chosen printer, copies and page range.
bool systemPrinterDialog(frmPrtSelect::PrintSetupChoice& choice) {
    QPrinter printer(QPrinterInfo::printerInfo(QString::fromStdString(choice.deviceName)),
                     QPrinter::HighResolution);
    std::unique_ptr<QPrintDialog> dialog =
        frmPrtSelect::makePrintSetupDialog(printer, frmPrtSelect::openWindow());
    if (dialog->exec() != QDialog::Accepted) return false;
    choice.deviceName = printer.printerName().toStdString();
    choice.copies = printer.copyCount();
    choice.fromPage = printer.fromPage();
    choice.toPage = printer.toPage();
    return true;
}

frmPrtSelect::PrinterDialog printerDialog = systemPrinterDialog;

// The number a text starts with, blanks ignored; 0 when it starts with none.
double leadingNumber(const QString& text) {
    return runtime::Val(text.toStdString());
}

QLabel* wrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

frmPrtSelect& frmPrtSelect::showWindow() {
    if (!theWindow) {
        theWindow = new frmPrtSelect();
        theWindow->Form_Load();
    }
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
    return *theWindow;
}

frmPrtSelect* frmPrtSelect::openWindow() {
    return theWindow;
}

void frmPrtSelect::unload() {
    delete theWindow;
}

std::unique_ptr<QPrintDialog> frmPrtSelect::makePrintSetupDialog(QPrinter& printer, QWidget* parent) {
    auto dialog = std::make_unique<QPrintDialog>(&printer, parent);
    dialog->setWindowTitle("Print Setup");
    // The dialog's own confirming button reads "Print"; here it only confirms the choice.
    for (QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) ok->setText("OK");
    return dialog;
}

void frmPrtSelect::setPrinterDialog(PrinterDialog dialog) {
    printerDialog = dialog ? std::move(dialog) : PrinterDialog(systemPrinterDialog);
}

frmPrtSelect::frmPrtSelect()
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
    setObjectName("frmPrtSelect");
    setWindowTitle("Print Labels Wizard");
    setAttribute(Qt::WA_DeleteOnClose);
    rememberedPrinter_ = programPrinter::DeviceName();
    buildControls();
    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
}

frmPrtSelect::~frmPrtSelect() {
    delete rptLabel;
    if (theWindow == this) theWindow = nullptr;
}

void frmPrtSelect::buildSteps() {
    fraStep1 = new QGroupBox("1.", this);
    lstCustList = new QListWidget(fraStep1);
    lstCustList->setObjectName("lstCustList");
    optBoxLabels = new QRadioButton("Box Labels", fraStep1);
    optPalletLabels = new QRadioButton("Pallet Labels", fraStep1);
    optShipmentLabels = new QRadioButton("Shipment Labels", fraStep1);
    auto* kinds = new QButtonGroup(fraStep1); // exclusive, and none chosen at first
    chkPrintForShipment = new QCheckBox("These labels are associated with a shipment.", fraStep1);
    chkPrintForShipment->setChecked(true);
    auto* step1 = new QGridLayout(fraStep1);
    step1->addWidget(
        wrappedLabel("From the list at right, choose the customer you want to print labels for.", fraStep1),
        0, 0);
    step1->addWidget(lstCustList, 0, 1, 3, 1);
    step1->addWidget(
        wrappedLabel("For this customer, choose which type of label to print from the choices below.",
                     fraStep1),
        1, 0);
    auto* options = new QVBoxLayout;
    for (QRadioButton* b : {optBoxLabels, optPalletLabels, optShipmentLabels}) {
        kinds->addButton(b);
        options->addWidget(b);
    }
    options->addWidget(chkPrintForShipment);
    step1->addLayout(options, 2, 0);

    fraStep2 = new QGroupBox("2.", this);
    datCurShip = new widgets::DataControl(fraStep2);
    datCurShip->setObjectName("datCurShip");
    datCurShip->hide();
    vxgShipments = new widgets::DataGrid(fraStep2);
    vxgShipments->setObjectName("vxgShipments");
    vxgShipments->setDataSource(datCurShip);
    for (auto [caption, field] : {std::pair{"Shipment ID", "ShipmentID"},
                                  {"Work Order", "WorkOrder"},
                                  {"Customer", "Customer"},
                                  {"Customer PO", "CustomerPO"},
                                  {"Job Number", "JobNum"},
                                  {"Quantity", "Quantity"},
                                  {"Truck Line", "Carrier"},
                                  {"Scheduled Ship Date", "ReqShipDate"},
                                  {"Actual Ship Date", "ActShipDate"},
                                  {"Comments", "Comments"}})
        vxgShipments->addColumn(caption, field,
                                std::string(field).find("ShipDate") != std::string::npos
                                    ? widgets::ColumnDisplay::ShortDate
                                    : widgets::ColumnDisplay::Text);
    auto* step2 = new QVBoxLayout(fraStep2);
    step2->addWidget(
        new QLabel("Next, select the order that is now being shipped to that customer.", fraStep2));
    step2->addWidget(vxgShipments, 1);

    fraStep2A = new QGroupBox("2.", this);
    datLabels = new widgets::DataControl(fraStep2A);
    datLabels->setObjectName("datLabels");
    datLabels->hide();
    datLabels->setRecordSourceText("Job Lookup Table");
    vxgParts = new widgets::DataGrid(fraStep2A);
    vxgParts->setObjectName("vxgParts");
    vxgParts->setDataSource(datLabels);
    for (const char* field : {"Job Number",
                              "Job Description",
                              "Department",
                              "Active",
                              "Secondary",
                              "Customer Part Num",
                              "Customer Part Desc",
                              "Parts Per Box",
                              "Box Type",
                              "Box Weight",
                              "OnDemand Labels",
                              "Setup Notes",
                              "Change Date",
                              "Mold Number",
                              "BoxesPerTransfer",
                              "LabelFilename",
                              "CustomerID",
                              "PalletLabelFilename",
                              "CustomersCustomerPartNo",
                              "BarcodedBoxLabel",
                              "BarcodedPalletLabel",
                              "BoxLabelQuery",
                              "PalletLabelQuery",
                              "ShipLabelFilename",
                              "BarcodedShipLabel",
                              "ShipLabelQuery"})
        vxgParts->addColumn(field, field);
    auto* step2A = new QVBoxLayout(fraStep2A);
    step2A->addWidget(new QLabel("Next, select the part you want to print labels for.", fraStep2A));
    step2A->addWidget(vxgParts, 1);

    fraStep3 = new QGroupBox("3.", this);
    txtNumCopies = new QLineEdit("1", fraStep3);
    txtNumCopies->setObjectName("txtNumCopies");
    txtNumCopies->setFixedWidth(twipsToPixels(700));
    // Only digits get in: a letter typed after a reset to "1" would otherwise stay beside it ("1bc").
    txtNumCopies->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), txtNumCopies));
    udNumCopies = new widgets::UpDown(fraStep3);
    udNumCopies->setObjectName("udNumCopies");
    cmdPrintSetup = new QPushButton("Print Setup...", fraStep3);
    cmdPrintSetup->setObjectName("cmdPrintSetup");
    auto* step3 = new QVBoxLayout(fraStep3);
    step3->addWidget(
        wrappedLabel("That's all the information the Wizard needs!  Set the number of copies and click "
                     "Finished to print your labels.  Click Cancel to abort printing.",
                     fraStep3));
    auto* copies = new QHBoxLayout;
    copies->addWidget(new QLabel("Copies:", fraStep3));
    copies->addWidget(txtNumCopies);
    copies->addWidget(udNumCopies);
    copies->addStretch();
    copies->addWidget(cmdPrintSetup);
    step3->addLayout(copies);
    step3->addStretch();

    for (QGroupBox* frame : {fraStep1, fraStep2, fraStep2A, fraStep3}) {
        frame->setGeometry(0, 0, twipsToPixels(kStepWidth), twipsToPixels(kStepHeight));
        frame->hide();
    }
    fraStep1->setObjectName("fraStep1"), fraStep2->setObjectName("fraStep2");
    fraStep2A->setObjectName("fraStep2A"), fraStep3->setObjectName("fraStep3");
}

void frmPrtSelect::buildControls() {
    buildSteps();
    cmdBack = new QPushButton("<<Back", this);
    cmdNext = new QPushButton("Next>>", this);
    cmdPrint = new QPushButton("Finished", this);
    cmdCancel = new QPushButton("Cancel", this);
    cmdBack->setObjectName("cmdBack"), cmdNext->setObjectName("cmdNext");
    cmdPrint->setObjectName("cmdPrint"), cmdCancel->setObjectName("cmdCancel");
    const int top = twipsToPixels(kStepHeight) + twipsToPixels(120);
    int left = twipsToPixels(kClientWidth);
    for (QPushButton* b : {cmdCancel, cmdPrint, cmdNext, cmdBack}) {
        b->resize(twipsToPixels(1215), b->sizeHint().height());
        left -= b->width() + twipsToPixels(120);
        b->move(left, top);
    }
    rptLabel = new ReportComponent(this);
    rptLabel->setDestination(ReportComponent::crptToPrinter);

    connect(lstCustList, &QListWidget::itemClicked, this, [this] { lstCustList_Click(); });
    connect(lstCustList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) lstCustList_Click();
    });
    connect(chkPrintForShipment, &QCheckBox::clicked, this, &frmPrtSelect::chkPrintForShipment_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmPrtSelect::cmdNext_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmPrtSelect::cmdBack_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPrtSelect::cmdCancel_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmPrtSelect::cmdPrint_Click);
    connect(cmdPrintSetup, &QPushButton::clicked, this, &frmPrtSelect::cmdPrintSetup_Click);
    connect(udNumCopies, &widgets::UpDown::UpClick, this, &frmPrtSelect::udNumCopies_UpClick);
    connect(udNumCopies, &widgets::UpDown::DownClick, this, &frmPrtSelect::udNumCopies_DownClick);
    connect(txtNumCopies, &QLineEdit::textChanged, this, &frmPrtSelect::txtNumCopies_Change);
}

void frmPrtSelect::Form_Load() {
    CenterFormOver(*this, frmMain::instance());
    datCurShip->setDatabaseName(basGlobals::gOptions->DatabaseName());
    datLabels->setDatabaseName(basGlobals::gOptions->DatabaseName());
    rptLabel->setUserName(basGlobals::gUserName);
    rptLabel->setPassword(basGlobals::gUserPassword);
    datLabels->Refresh();

    dao::Database db = dao::engine().OpenDatabase(datLabels->DatabaseName());
    dao::QueryDef query = db.QueryDefs("CustomersWithLabelsTodayQuery");
    query.Parameters("ShipDate").setValue(frmCalendarForm::instance().calCalendar->Value());
    dao::Recordset customers = query.OpenRecordset(dao::dbOpenForwardOnly);
    const QSignalBlocker quiet(lstCustList); // filling the list is not the clerk's choice
    for (; !customers.atEOF(); customers.MoveNext()) {
        runtime::Variant name = customers["Customer"];
        if (name.isNull()) continue;
        auto* item = new QListWidgetItem(QString::fromStdString(name.toString()), lstCustList);
        runtime::Variant id = customers["CustomerID"];
        item->setData(Qt::UserRole, id.isNull() ? 0 : int(id.toLong()));
    }
    customers.Close();
    db.Close();
    std::int16_t first = 1;
    DisplayPage(first);
}

void frmPrtSelect::lstCustList_Click() {
    QListWidgetItem* chosen = lstCustList->currentItem();
    if (!chosen) return;
    const long id = chosen->data(Qt::UserRole).toInt();
    datLabels->setRecordSourceText(
        "SELECT * FROM [Job Lookup Table] WHERE CustomerID = " + std::to_string(id) + ";");
    datLabels->Refresh();
    // The name goes in through the dialect's quoting: a customer such as O'Neil must still match.
    runtime::Date day = frmCalendarForm::instance().calCalendar->Value();
    datCurShip->setRecordSourceText(
        "SELECT * FROM Shipments WHERE Shipments.Customer = " +
        dao::jet::quoteText(chosen->text().toStdString()) +
        " AND Shipments.ActShipDate=" + dao::jet::dateLiteral(day.year(), day.month(), day.day()) +
        " AND NOT Shipments.Canceled ORDER BY Shipments.WorkOrder;");
    datCurShip->Refresh();
}

void frmPrtSelect::chkPrintForShipment_Click() {
    optShipmentLabels->setEnabled(chkPrintForShipment->isChecked());
}

void frmPrtSelect::DisplayPage(std::int16_t& iPage) {
    auto place = [](QGroupBox* frame) {
        frame->move(0, 0);
        frame->show();
    };
    switch (iPage) {
    case 1:
        fraStep2->hide(), fraStep2A->hide(), fraStep3->hide();
        place(fraStep1);
        cmdBack->setEnabled(false), cmdNext->setEnabled(true), cmdPrint->setEnabled(false);
        break;
    case 2:
        for (QGroupBox* f : {fraStep1, fraStep2, fraStep2A, fraStep3})
            f->hide();
        place(chkPrintForShipment->isChecked() ? fraStep2 : fraStep2A);
        cmdBack->setEnabled(true), cmdNext->setEnabled(true), cmdPrint->setEnabled(false);
        break;
    case 3:
        fraStep1->hide(), fraStep2->hide(), fraStep2A->hide();
        place(fraStep3);
        cmdBack->setEnabled(true), cmdNext->setEnabled(false), cmdPrint->setEnabled(true);
        break;
    default:
        break;
    }
    currentPage_ = iPage;
}

void frmPrtSelect::cmdNext_Click() {
    std::int16_t page = std::int16_t(currentPage_ + 1);
    DisplayPage(page);
}

void frmPrtSelect::cmdBack_Click() {
    std::int16_t page = std::int16_t(currentPage_ - 1);
    DisplayPage(page);
}

void frmPrtSelect::cmdCancel_Click() {
    close();
}

void frmPrtSelect::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmPrtSelect::udNumCopies_UpClick() {
    txtNumCopies->setText(QString::number(leadingNumber(txtNumCopies->text()) + 1, 'g', 15));
}

void frmPrtSelect::udNumCopies_DownClick() {
    double copies = leadingNumber(txtNumCopies->text());
    if (copies > 1) txtNumCopies->setText(QString::number(copies - 1, 'g', 15));
}

void frmPrtSelect::txtNumCopies_Change() {
    if (leadingNumber(txtNumCopies->text()) > 0) return;
    txtNumCopies->setText("1");
    txtNumCopies->selectAll(); // the next digit typed replaces the 1
}

void frmPrtSelect::cmdPrintSetup_Click() {
    const std::string before = programPrinter::DeviceName();
    PrintSetupChoice choice{before};
    if (!printerDialog(choice)) return;
    programPrinter::select(choice.deviceName);
    programPrinter::InstalledPrinter chosen = programPrinter::Current();
    rptLabel->setPrinterDriver(chosen.DriverName);
    rptLabel->setPrinterName(chosen.DeviceName);
    rptLabel->setPrinterPort(chosen.Port);
    rptLabel->setCopiesToPrinter(std::int16_t(choice.copies));
    rptLabel->setPrinterStartPage(std::int16_t(choice.fromPage));
    rptLabel->setPrinterStopPage(std::int16_t(choice.toPage));
    printSetupUsed_ = true;
    for (const programPrinter::InstalledPrinter& p : programPrinter::Printers())
        if (p.DeviceName == before) {
            programPrinter::select(p.DeviceName);
            break;
        }
}

bool frmPrtSelect::SetBarcodePrinter() {
    if (runtime::UCase(programPrinter::DeviceName()) == "BARCODE") return true;
    rememberedPrinter_ = programPrinter::DeviceName();
    for (const programPrinter::InstalledPrinter& p : programPrinter::Printers())
        if (runtime::UCase(p.DeviceName) == "BARCODE") return programPrinter::select(p.DeviceName);
    return false;
}

bool frmPrtSelect::SetNormalPrinter() {
    if (runtime::UCase(programPrinter::DeviceName()) == runtime::UCase(rememberedPrinter_)) return true;
    for (const programPrinter::InstalledPrinter& p : programPrinter::Printers())
        if (runtime::UCase(p.DeviceName) == runtime::UCase(rememberedPrinter_))
            return programPrinter::select(p.DeviceName);
    return false;
}
