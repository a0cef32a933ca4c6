#pragma once
// The program's current printer, as the platform's printer object names it: the system's default
// printer at start-up, changed by the windows that choose another (the label wizard's switching to
// the barcode printer and back, Print Setup). The installed printers come from the system's print
// service, in its order.
#include <string>
#include <vector>

namespace programPrinter {

struct InstalledPrinter {
    std::string DeviceName, DriverName, Port;
};

std::vector<InstalledPrinter> Printers();

// The current printer's device name; "" when no printer is installed.
std::string DeviceName();
InstalledPrinter Current();
// Makes the installed printer of that exact device name current; false (nothing changes) when none is.
bool select(const std::string& deviceName);

// Forgets the current printer, so the system's default is taken again (tests, a changed print service).
void reset();

} // namespace programPrinter
