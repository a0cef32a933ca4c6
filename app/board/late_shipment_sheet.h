#pragma once
// The late-shipment worksheet: for each day of a range, the shipments scheduled, the late ones and
// why, with totals and percentages, laid out from the late-shipment crosstab.
#include "dao/dao.h"
#include "runtime/ole_date.h"
#include "workbook/workbook.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lateReport {

// One day of the crosstab. Counts the crosstab leaves empty stay empty.
struct Day {
    runtime::Date day;
    std::optional<double> scheduled, late;
    std::vector<std::optional<double>> reasons; // in the order of Crosstab::reasons
};

struct Crosstab {
    std::vector<std::string> reasons; // the late reasons' columns, without the no-reason column "<>"
    std::vector<Day> days;
};

// Called with each day read and the number of days in the range; false stops the reading.
using Progress = std::function<bool(int daysRead, int daysInRange)>;

// Reads the crosstab's record set: its first three columns are the day, the scheduled and the late
// count; the column named "<>" (late without a reason) is skipped wherever it stands, and every
// other column is a reason. Returns nothing when `progress` stopped the reading.
std::optional<Crosstab> readCrosstab(dao::Recordset& rs, runtime::Date low, runtime::Date high,
                                     const Progress& progress = {});

// Lays out the worksheet from A1: the company name, the date range, the headers and, when there are
// days, one row per day, the totals, the two percentage rows and the panes frozen at A8.
void layOutSheet(workbook::Worksheet& sheet, const Crosstab& crosstab, runtime::Date low, runtime::Date high,
                 const std::string& companyName);

// The fixed totals block of a report of exactly 19 data rows (rows 27 to 29).
void Macro1(workbook::Worksheet& sheet);

} // namespace lateReport
