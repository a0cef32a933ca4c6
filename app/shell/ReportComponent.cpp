#include "ReportComponent.h"

#include "paths/windows_path.h"
#include "report/preview_window.h"
#include "report/report_job.h"
#include "runtime/error.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

std::string ReportComponent::Formulas(int index) const {
    if (index < 0) runtime::raise(9);
    return index < formulas_.size() ? formulas_[index].toStdString() : std::string();
}

void ReportComponent::setFormulas(int index, const std::string& v) {
    if (index < 0) runtime::raise(9);
    while (formulas_.size() <= index)
        formulas_ << QString();
    formulas_[index] = q(v);
}

std::string printErrorText(const ReportComponent& report, std::int16_t status) {
    std::string text = "Error Printing Report, Code: " + std::to_string(status);
    if (!report.LastErrorString().isEmpty()) text += "\n" + report.LastErrorString().toStdString();
    return text;
}

QString ReportComponent::ReportFilePath() const {
    return QDir::toNativeSeparators(QFileInfo(q(paths::resolve(reportFileName_))).absoluteFilePath());
}

report::PreviewWindow* ReportComponent::previewWindow() const {
    return preview_.data();
}

std::int16_t ReportComponent::PrintReport() {
    report::JobRequest r;
    r.templatePath = ReportFilePath();
    r.formulas = formulas_;
    r.destination = report::Destination(destination_);
    // The printer is chosen by its name; driver and port mean nothing to this system's spooler.
    r.printerName = q(printerName_);
    r.copies = copies_;
    r.firstPage = startPage_;
    r.lastPage = stopPage_;
    r.outputFile = q(paths::resolve(printFileName_));
    r.windowTitle = q(windowTitle_);
    r.parent = owner_;
    report::JobOutcome outcome = report::runReport(r);
    lastError_ = outcome.message;
    if (outcome.preview) preview_ = outcome.preview;
    return std::int16_t(outcome.status);
}

runtime::Variant ReportComponent::getProperty(int dispid, int index) const {
    switch (dispid) {
    case dispReportFileName:
        return reportFileName_;
    case dispCopiesToPrinter:
        return copies_;
    case dispUserName:
        return userName_;
    case dispPassword:
        return password_;
    case dispFormulas:
        return Formulas(index);
    case dispPrinterDriver:
        return printerDriver_;
    case dispPrinterName:
        return printerName_;
    case dispPrinterPort:
        return printerPort_;
    case dispPrinterStartPage:
        return startPage_;
    case dispPrinterStopPage:
        return stopPage_;
    default:
        runtime::raise(438);
    }
}

void ReportComponent::setProperty(int dispid, const runtime::Variant& v, int index) {
    switch (dispid) {
    case dispReportFileName:
        reportFileName_ = v.toString();
        break;
    case dispCopiesToPrinter:
        copies_ = v.toInteger();
        break;
    case dispUserName:
        userName_ = v.toString();
        break;
    case dispPassword:
        password_ = v.toString();
        break;
    case dispFormulas:
        setFormulas(index, v.toString());
        break;
    case dispPrinterDriver:
        printerDriver_ = v.toString();
        break;
    case dispPrinterName:
        printerName_ = v.toString();
        break;
    case dispPrinterPort:
        printerPort_ = v.toString();
        break;
    case dispPrinterStartPage:
        startPage_ = v.toInteger();
        break;
    case dispPrinterStopPage:
        stopPage_ = v.toInteger();
        break;
    default:
        runtime::raise(438);
    }
}

runtime::Variant ReportComponent::invoke(int dispid) {
    if (dispid != dispPrintReport) runtime::raise(438);
    return PrintReport();
}
