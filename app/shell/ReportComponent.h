#pragma once
// The report-printing component the windows place (Report1 on the board and the customer
// schedule, rptLabel on the label wizard): it prints a template file whose rows come from a
// scratch table of the reports database. Its members carry the dispatch ids callers and stored
// designs know them by; the work is done by the report engine.
#include "runtime/variant.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

class QWidget;

namespace report {
class PreviewWindow;
}

class ReportComponent;

// "Error Printing Report, Code: N" and, on the next line, what went wrong, as the board and the
// customer schedule report a print that failed.
std::string printErrorText(const ReportComponent& report, std::int16_t status);

class ReportComponent {
public:
    enum DispId : int {
        dispReportFileName = 3,
        dispCopiesToPrinter = 16,
        dispUserName = 22,
        dispPassword = 23,
        dispPrintReport = 28,
        dispFormulas = 29,
        dispPrinterDriver = 47,
        dispPrinterName = 48,
        dispPrinterPort = 49,
        dispPrinterStartPage = 50,
        dispPrinterStopPage = 51,
    };
    // Where a run goes; set when the component is placed on a window.
    enum Destination { crptToWindow = 0, crptToPrinter = 1, crptToFile = 2 };

    explicit ReportComponent(QWidget* owner = nullptr) : owner_(owner) {}

    const std::string& ReportFileName() const { return reportFileName_; }
    // The template file a run reads, whole and with the system's separators: what messages name.
    QString ReportFilePath() const;
    void setReportFileName(const std::string& v) { reportFileName_ = v; }
    std::int16_t CopiesToPrinter() const { return copies_; }
    void setCopiesToPrinter(std::int16_t v) { copies_ = v; }
    // The logon of the report's database. The reports database is an unsecured scratch file of the
    // workstation, open to every account, so the logon is kept for callers but not checked.
    const std::string& UserName() const { return userName_; }
    void setUserName(const std::string& v) { userName_ = v; }
    const std::string& Password() const { return password_; }
    void setPassword(const std::string& v) { password_ = v; }
    std::string Formulas(int index) const;
    void setFormulas(int index, const std::string& v); // 9 (subscript out of range) below 0
    const std::string& PrinterDriver() const { return printerDriver_; }
    void setPrinterDriver(const std::string& v) { printerDriver_ = v; }
    const std::string& PrinterName() const { return printerName_; }
    void setPrinterName(const std::string& v) { printerName_ = v; }
    const std::string& PrinterPort() const { return printerPort_; }
    void setPrinterPort(const std::string& v) { printerPort_ = v; }
    std::int16_t PrinterStartPage() const { return startPage_; }
    void setPrinterStartPage(std::int16_t v) { startPage_ = v; }
    std::int16_t PrinterStopPage() const { return stopPage_; }
    void setPrinterStopPage(std::int16_t v) { stopPage_ = v; }

    // Prints (or previews) the report. 0 on success, else a status number of the engine; when it
    // returns, the rows have been read.
    std::int16_t PrintReport();

    // The members by dispatch id, as an automation caller reaches them (index: Formulas' entry).
    // 438 (object does not support this property or method) for an id the component lacks.
    runtime::Variant getProperty(int dispid, int index = 0) const;
    void setProperty(int dispid, const runtime::Variant& value, int index = 0);
    runtime::Variant invoke(int dispid);

    // Design-time settings of the placed component.
    Destination destination() const { return destination_; }
    void setDestination(Destination d) { destination_ = d; }
    const std::string& PrintFileName() const { return printFileName_; }
    void setPrintFileName(const std::string& v) { printFileName_ = v; }
    const std::string& WindowTitle() const { return windowTitle_; }
    void setWindowTitle(const std::string& v) { windowTitle_ = v; }

    // The last run's reason for a non-zero status, and its preview window while it is open.
    const QString& LastErrorString() const { return lastError_; }
    report::PreviewWindow* previewWindow() const;

private:
    QWidget* owner_;
    std::string reportFileName_, userName_, password_, printerDriver_, printerName_, printerPort_;
    std::string printFileName_, windowTitle_ = "Print Preview";
    std::int16_t copies_ = 1, startPage_ = 0, stopPage_ = 0;
    QStringList formulas_;
    Destination destination_ = crptToWindow;
    QString lastError_;
    QPointer<report::PreviewWindow> preview_;
};
