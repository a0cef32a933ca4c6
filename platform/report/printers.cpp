#include "printers.h"

#include "report_status.h"

#include "runtime/dialogs.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace report {

QStringList printerNames() {
    return QPrinterInfo::availablePrinterNames();
}

std::unique_ptr<QPrinter> openPrinter(const QString& name, QString* problem, int* status) {
    auto fail = [&](int code, const QString& why) {
        if (problem) *problem = why;
        if (status) *status = code;
        return std::unique_ptr<QPrinter>();
    };
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printers.isEmpty()) return fail(status::NoPrinter, "No printer is installed on this computer.");
    QPrinterInfo chosen;
    if (!name.isEmpty()) {
        chosen = QPrinterInfo::printerInfo(name);
        if (chosen.isNull())
            return fail(status::PrinterNotFound, "The printer \"" + name + "\" is not installed.");
    } else {
        chosen = QPrinterInfo::defaultPrinter();
        if (chosen.isNull()) chosen = printers.first();
    }
    if (status) *status = status::Ok;
    return std::make_unique<QPrinter>(chosen, QPrinter::HighResolution);
}

void tellUser(const QString& message) {
    runtime::MsgBox(message.toStdString(), runtime::mb::Exclamation);
}

} // namespace report
