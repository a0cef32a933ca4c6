#pragma once
// The status numbers a report run returns (0 = printed or shown). Documented for the people who
// read them off a message box in reports/README.md; keep the two in step.
namespace report::status {

inline constexpr int Ok = 0;
inline constexpr int TemplateNotFound = 1;  // the template file cannot be read
inline constexpr int TemplateInvalid = 2;   // the template has a fault (the message names the line)
inline constexpr int DatabaseNotOpened = 3; // the reports database cannot be opened
inline constexpr int TableMissing = 4;      // the template's table is not in the reports database
inline constexpr int FieldMissing = 5;      // the template names a field the table does not have
inline constexpr int FormulaUnknown = 6;    // a formula was set that the template does not define
inline constexpr int FormulaInvalid = 7;    // a formula entry is not "Name= value"
inline constexpr int NoPrinter = 8;         // printing asked for, and no printer is installed
inline constexpr int PrinterNotFound = 9;   // the chosen printer is not installed
inline constexpr int OutputFailed = 10;     // the printer or the PDF file could not be written
inline constexpr int PageRangeInvalid = 11; // the first page to print lies after the last or the end
inline constexpr int BarcodeInvalid = 12;   // a barcode's data cannot be encoded in its symbology
inline constexpr int NoOutputFile = 13;     // output to a file asked for without a file name

} // namespace report::status
