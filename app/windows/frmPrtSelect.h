#pragma once
// "Print Labels Wizard": in three steps the clerk picks the customer and the kind of label, the
// shipment or the part the labels are for, and the number of copies; Finished prints them.
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QRadioButton;
class ReportComponent;

namespace widgets {
class DataControl;
class DataGrid;
class UpDown;
} // namespace widgets

class frmPrtSelect : public QWidget {
    Q_OBJECT
public:
    // Opens the wizard (modeless, top-level) or brings the open one forward.
    static frmPrtSelect& showWindow();
    static frmPrtSelect* openWindow(); // nullptr when closed
    static void unload();

    QGroupBox *fraStep1, *fraStep2, *fraStep2A, *fraStep3;
    QListWidget* lstCustList;
    QRadioButton *optBoxLabels, *optPalletLabels, *optShipmentLabels;
    QCheckBox* chkPrintForShipment;
    widgets::DataControl* datCurShip;
    widgets::DataControl* datLabels;
    widgets::DataGrid* vxgShipments;
    widgets::DataGrid* vxgParts;
    QLineEdit* txtNumCopies;
    widgets::UpDown* udNumCopies;
    QPushButton *cmdPrintSetup, *cmdBack, *cmdNext, *cmdPrint, *cmdCancel;
    ReportComponent* rptLabel;

    std::int16_t currentPage() const { return currentPage_; }
    const std::string& rememberedPrinter() const { return rememberedPrinter_; }

    void DisplayPage(std::int16_t& iPage);
    bool SetBarcodePrinter();
    bool SetNormalPrinter();

    void lstCustList_Click();
    void chkPrintForShipment_Click();
    void cmdNext_Click();
    void cmdBack_Click();
    void cmdCancel_Click();
    void udNumCopies_UpClick();
    void udNumCopies_DownClick();
    void txtNumCopies_Change();
    void cmdPrintSetup_Click();
    // Finished: the label printing run (frmPrtSelect_print.cpp).
    void cmdPrint_Click();

    // The printer dialog of Print Setup; tests replace it. Returns false when the user cancels.
    struct PrintSetupChoice {
        std::string deviceName;
        int copies = 1, fromPage = 0, toPage = 0;
    };
    using PrinterDialog = std::function<bool(PrintSetupChoice& choice)>;
    static void setPrinterDialog(PrinterDialog dialog);
    // The system's print dialog as Print Setup shows it: it chooses a printer, it does not print.
    static std::unique_ptr<QPrintDialog> makePrintSetupDialog(QPrinter& printer, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override; // Escape is Cancel

private:
    frmPrtSelect();
    ~frmPrtSelect() override;
    void buildControls();
    void buildSteps();
    void Form_Load();
    void printLabels(); // Finished's work up to the closing question
    bool copiesAccepted();

    std::int16_t currentPage_ = 0;
    std::string rememberedPrinter_;
    bool printSetupUsed_ = false;
};
