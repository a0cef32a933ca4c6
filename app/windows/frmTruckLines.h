#pragma once
// "Available Trucking Lines": the list of trucking lines a shipment can name, edited in a grid.
// Closing it makes the board offer the edited lines at once.
#include "default_instance.h"

#include <QWidget>

class QMdiSubWindow;
class QPushButton;

namespace widgets {
class DataControl;
class DataGrid;
} // namespace widgets

class frmTruckLines : public QWidget {
    Q_OBJECT
public:
    // Opens the window (modeless, a child of the main window) or brings the open one forward.
    static frmTruckLines& showWindow();
    static bool exists();
    static frmTruckLines* openWindow(); // nullptr when closed

    widgets::DataControl* datTruckLines;
    widgets::DataGrid* VxGrid1;
    QPushButton* cmdUpdate;
    QPushButton* cmdDelete;
    QPushButton* cmdClose;

    QMdiSubWindow* subWindow() const { return sub_; }

    void cmdUpdate_Click();
    void cmdDelete_Click();
    void cmdClose_Click();
    void datTruckLines_Reposition();
    // Other workstations changed the lines (live updates): they are read again, on the same line,
    // unless a line is being edited here.
    // False when a line being edited kept the lines shown as they were: they are due again.
    bool showChangedLines();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // the MDI child's close

private:
    friend class DefaultInstance<frmTruckLines>;
    static DefaultInstance<frmTruckLines>& defaultInstance();
    frmTruckLines();
    ~frmTruckLines() override;
    void buildControls();
    void Form_Load();
    void Form_Unload();
    void showColumnHelp();

    QMdiSubWindow* sub_ = nullptr;
};
