#pragma once
// "Print Valcrest Production Schedule": the customer's purchase orders with their dates, checked
// and corrected by the clerk, and the customer's production schedule for a range of PO dates.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class ReportComponent;

namespace widgets {
class DataControl;
class DataGrid;
} // namespace widgets

class frmPrtValcrest : public QWidget {
    Q_OBJECT
public:
    // Opens the window (modeless, top-level) or brings the open one forward.
    static frmPrtValcrest& showWindow();
    // The menu's way in: a window whose orders cannot be read is not opened, and the clerk is told
    // why (nullptr) instead of the program ending.
    static frmPrtValcrest* showFromMenu();
    static frmPrtValcrest* openWindow(); // nullptr when closed
    static void unload();

    QLabel* lblInstructions;
    widgets::DataControl* datPOs;
    widgets::DataGrid* VxGrid1;
    QLineEdit* txtBeginningDate;
    QLineEdit* txtEndingDate;
    QPushButton* cmdPrint;
    QPushButton* cmdCancel;
    ReportComponent* Report1;

    void cmdPrint_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override; // Escape is Cancel

private:
    frmPrtValcrest();
    ~frmPrtValcrest() override;
    void buildControls();
    void Form_Load();
    bool datesAccepted();
};
