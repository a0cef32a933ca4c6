#include "program_printer.h"

#include <QPrinterInfo>

#include <optional>

namespace programPrinter {
namespace {

std::optional<std::string> current;

InstalledPrinter describe(const QPrinterInfo& info) {
    // The spooler's queues have no port of their own; the queue's name stands where the platform
    // printed the port.
    return {info.printerName().toStdString(), info.makeAndModel().toStdString(), info.printerName().toStdString()};
}

} // namespace

std::vector<InstalledPrinter> Printers() {
    std::vector<InstalledPrinter> list;
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) list.push_back(describe(info));
    return list;
}

std::string DeviceName() {
    if (!current) {
        QPrinterInfo chosen = QPrinterInfo::defaultPrinter();
        if (chosen.isNull() && !QPrinterInfo::availablePrinters().isEmpty())
            chosen = QPrinterInfo::availablePrinters().first();
        current = chosen.isNull() ? std::string() : chosen.printerName().toStdString();
    }
    return *current;
}

InstalledPrinter Current() {
    const std::string name = DeviceName();
    for (const InstalledPrinter& p : Printers())
        if (p.DeviceName == name) return p;
    return {name, "", ""};
}

bool select(const std::string& deviceName) {
    for (const InstalledPrinter& p : Printers())
        if (p.DeviceName == deviceName) {
            current = deviceName;
            return true;
        }
    return false;
}

void reset() {
    current.reset();
}

} // namespace programPrinter
