#include "late_shipment_sheet.h"

#include <numeric>

namespace lateReport {
namespace {

using workbook::Border;
using workbook::HAlign;
using workbook::Style;
using workbook::VAlign;

constexpr int kHeaderRow = 7, kFirstDataRow = 8;
constexpr int kDayColumn = 1, kScheduledColumn = 2, kLateColumn = 3, kUnknownColumn = 4,
              kFirstReasonColumn = 5;
const char* const kNoReasonColumn = "<>";

std::optional<double> count(const runtime::Variant& v) {
    if (v.isNull()) return std::nullopt;
    return v.toDouble();
}

const Style kTitle{.fontName = "Arial", .fontSize = 16, .bold = true};
const Style kRangeDate{.align = HAlign::Left, .numberFormat = "m/d/yyyy"};
const Style kRight{.align = HAlign::Right};
const Style kCentred{.align = HAlign::Center, .valign = VAlign::Bottom};
const Style kHeader{.bottom = Border::Medium};
const Style kCentredHeader{.align = HAlign::Center, .valign = VAlign::Bottom, .bottom = Border::Medium};
const Style kDayFormat{.numberFormat = "m/d/yy"};
const Style kPercent{.numberFormat = "0.000%"};

void writeCount(workbook::Worksheet& sheet, int row, int column, const std::optional<double>& value) {
    if (value) sheet.writeNumber(row, column, *value);
}

void writeHeaders(workbook::Worksheet& sheet, const Crosstab& crosstab) {
    sheet.writeText(6, kScheduledColumn, "Shipments");
    sheet.writeText(kHeaderRow, kScheduledColumn, "Scheduled", kHeader);
    sheet.setColumnWidth(kScheduledColumn, 10.86);
    sheet.writeText(6, kLateColumn, "Late", kCentred);
    sheet.writeText(kHeaderRow, kLateColumn, "Shipments", kCentredHeader);
    sheet.setColumnWidth(kLateColumn, 11.29);
    sheet.writeText(6, kUnknownColumn, "Unknown");
    sheet.writeText(kHeaderRow, kUnknownColumn, "Reason", kHeader);
    sheet.writeText(kHeaderRow, kDayColumn, "Date", kCentredHeader);
    for (size_t i = 0; i < crosstab.reasons.size(); ++i)
        sheet.writeText(kHeaderRow, kFirstReasonColumn + static_cast<int>(i), crosstab.reasons[i], kHeader);
}

// Late shipments whose reason the row does not name: the late count minus every reason's count.
std::string unknownReasonFormula(size_t reasons) {
    if (reasons == 0) return "=rc[-1]"; // the reasons' sum would otherwise take in this very cell
    return "=rc[-1]-SUM(rc[+1]:rc[+" + std::to_string(reasons) + "])";
}

void writeDays(workbook::Worksheet& sheet, const Crosstab& crosstab) {
    const std::string formula = unknownReasonFormula(crosstab.reasons.size());
    int row = kFirstDataRow;
    for (const Day& day : crosstab.days) {
        sheet.writeDate(row, kDayColumn, day.day.serial, kDayFormat);
        writeCount(sheet, row, kScheduledColumn, day.scheduled);
        writeCount(sheet, row, kLateColumn, day.late);
        double named = 0;
        for (size_t i = 0; i < day.reasons.size(); ++i) {
            writeCount(sheet, row, kFirstReasonColumn + static_cast<int>(i), day.reasons[i]);
            named += day.reasons[i].value_or(0);
        }
        sheet.writeFormula(row, kUnknownColumn, formula, day.late.value_or(0) - named);
        ++row;
    }
}

// A percentage formula with its value, or the error a spreadsheet shows when it divides by zero.
void writeShare(workbook::Worksheet& sheet, int row, int column, const std::string& formula, double part,
                double whole) {
    if (whole == 0)
        sheet.writeFormulaError(row, column, formula, "#DIV/0!", kPercent);
    else
        sheet.writeFormula(row, column, formula, part / whole, kPercent);
}

void writeTotals(workbook::Worksheet& sheet, const Crosstab& crosstab) {
    const int lastColumn = kFirstReasonColumn - 1 + static_cast<int>(crosstab.reasons.size());
    const int totalsRow = kFirstDataRow + static_cast<int>(crosstab.days.size());
    std::vector<double> totals(lastColumn + 1, 0.0);
    for (const Day& day : crosstab.days) {
        totals[kScheduledColumn] += day.scheduled.value_or(0);
        totals[kLateColumn] += day.late.value_or(0);
        double named = 0;
        for (size_t i = 0; i < day.reasons.size(); ++i) {
            totals[kFirstReasonColumn + i] += day.reasons[i].value_or(0);
            named += day.reasons[i].value_or(0);
        }
        totals[kUnknownColumn] += day.late.value_or(0) - named;
    }
    sheet.writeText(totalsRow, kDayColumn, "Totals");
    for (int column = kScheduledColumn; column <= lastColumn; ++column)
        sheet.writeFormula(totalsRow, column, "=SUM(R8C:R[-1]C)", totals[column]);
    sheet.writeText(totalsRow + 1, kDayColumn, "Pct of Total Shipments");
    for (int column = kLateColumn; column <= lastColumn; ++column)
        writeShare(sheet, totalsRow + 1, column, "=R[-1]C/R[-1]C2", totals[column], totals[kScheduledColumn]);
    sheet.writeText(totalsRow + 2, kDayColumn, "Pct of Late Shipments");
    for (int column = kUnknownColumn; column <= lastColumn; ++column)
        writeShare(sheet, totalsRow + 2, column, "=R[-2]C/R[-2]C3", totals[column], totals[kLateColumn]);
}

} // namespace

std::optional<Crosstab> readCrosstab(dao::Recordset& rs, runtime::Date low, runtime::Date high,
                                     const Progress& progress) {
    Crosstab crosstab;
    std::vector<int> reasonFields;
    for (int f = 3; f < rs.FieldCount(); ++f) {
        std::string name = rs.Fields(f).Name();
        if (name == kNoReasonColumn) continue;
        crosstab.reasons.push_back(name);
        reasonFields.push_back(f);
    }
    const int daysInRange = static_cast<int>(high.serial - low.serial) + 1;
    for (; !rs.atEOF(); rs.MoveNext()) {
        Day day{rs.Fields(0).Value().toDate(), count(rs.Fields(1).Value()), count(rs.Fields(2).Value()), {}};
        for (int f : reasonFields)
            day.reasons.push_back(count(rs.Fields(f).Value()));
        crosstab.days.push_back(std::move(day));
        int read = static_cast<int>(crosstab.days.back().day.serial - low.serial) + 1;
        if (progress && !progress(std::clamp(read, 0, daysInRange), daysInRange)) return std::nullopt;
    }
    return crosstab;
}

void layOutSheet(workbook::Worksheet& sheet, const Crosstab& crosstab, runtime::Date low, runtime::Date high,
                 const std::string& companyName) {
    sheet.writeText(1, 1, companyName, kTitle);
    sheet.writeText(2, 1, "Late Shipments Report");
    sheet.writeText(4, 1, "From");
    sheet.writeDate(4, 2, low.serial, kRangeDate);
    sheet.writeText(4, 3, "To", kRight);
    sheet.writeDate(4, 4, high.serial, kRangeDate);
    writeHeaders(sheet, crosstab);
    if (!crosstab.days.empty()) {
        writeDays(sheet, crosstab);
        writeTotals(sheet, crosstab);
        sheet.freezePanes(kFirstDataRow, 1);
    }
    for (size_t i = 0; i < crosstab.reasons.size(); ++i)
        sheet.autofitColumn(kFirstReasonColumn + static_cast<int>(i));
}

void Macro1(workbook::Worksheet& sheet) {
    // The block works on whatever the sheet holds, so it cannot know the values; a spreadsheet
    // recalculates them when the file is opened.
    sheet.writeText(27, 1, "Totals");
    for (int column = 2; column <= 6; ++column)
        sheet.writeFormula(27, column, "=SUM(R[-19]C:R[-1]C)", 0);
    sheet.writeText(28, 1, "Pct of Total Shipments");
    for (int column = 3; column <= 6; ++column)
        sheet.writeFormula(28, column, "=R[-1]C/R[-1]C[-" + std::to_string(column - 2) + "]", 0, kPercent);
    sheet.writeText(29, 1, "Pct of Late Shipments");
    for (int column = 4; column <= 6; ++column)
        sheet.writeFormula(29, column, "=R[-2]C/R[-2]C[-" + std::to_string(column - 3) + "]", 0, kPercent);
}

} // namespace lateReport
