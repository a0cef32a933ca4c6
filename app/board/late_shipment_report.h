#pragma once
// The board's late-shipment workbook: asks for the date range, reads the late-shipment crosstab of
// the shipments database, writes the workbook into the user's documents folder and opens it in the
// desktop's spreadsheet program.
#include "dao/dao.h"

#include <functional>
#include <string>

namespace lateReport {

struct Destination {
    std::string folder;                                // where workbooks are saved (created when missing)
    std::function<bool(const std::string& path)> open; // shows the file; false when nothing could
};

// The user's documents folder and the desktop's program for .xlsx files.
Destination desktopDestination();

// The whole click of the board's "Late Shipments Report" button. Returns the workbook's path, or ""
// when the user stopped or nothing was written (the user has been told why).
std::string run(dao::Database& db, const std::string& companyName, const Destination& destination);

} // namespace lateReport
