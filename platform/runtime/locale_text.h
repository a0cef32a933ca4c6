#pragma once
// Dates and numbers as the user reads and types them: the regional "Short Date" and "Long Date"
// formats, the reading of typed dates, and the decimal and group separators of CStr and CDbl all
// come from one locale, which tests fix (en_US) so nothing depends on the machine's language. The C
// library's global locale is never consulted: a Qt program adopts the user's, and a comma-decimal
// locale there must not change how anything is written or read.
#include "ole_date.h"

#include <optional>
#include <string>
#include <string_view>

namespace runtime {

// The locale used for every date and number text; by default the user's (system) locale.
void setDateLocale(const std::string& name); // e.g. "en_US", "de_DE"; "" = the system locale
std::string dateLocale();

std::string shortDateText(Date d); // en_US: "12/8/2026"
std::string longDateText(Date d);  // en_US: "Tuesday, December 8, 2026"
std::string timeText(Date d);      // en_US: "2:30:00 PM"
// Short date, and the time after a blank when the value has one: how CStr prints a Date.
std::string dateText(Date d);

// The patterns behind those texts in QLocale's notation ("M/d/yyyy", "h:mm:ss AP"), for whoever must
// write the same texts where this locale is not known (a database server formatting for us).
std::string shortDatePattern();
std::string longDatePattern();
std::string longTimePattern();

// Reads a typed date as the language's CDate/IsDate do: the short date in the user's locale (with
// two- or four-digit years, any of / - . as separator), ISO yyyy-mm-dd, the long date, month names,
// optionally followed by a time. Empty when the text is not a date.
std::optional<Date> parseDateText(const std::string& text);
// The day a typed text names, any time typed after it dropped: how every typed date of a shipment is
// read. Empty when the text names no day, also for a time of day alone (which parseDateText reads
// as 12/30/1899).
std::optional<Date> parseDayText(const std::string& text);
// How to type a date in the user's locale, for the message that refuses one: "a date such as
// 12/31/2026 (month/day/year)", "a date such as 31.12.2026 (day.month.year)".
std::string dateFormHint();

// A number as CStr writes it: at most `significant` digits, the locale's decimal separator, no
// group separators ("1154,835" in de_DE, "1154.835" in en_US).
std::string localeNumberText(double v, int significant);
// A whole text read as CDbl reads it: the locale's decimal and group separators ("1.234,5" in de_DE).
std::optional<double> parseLocaleNumber(std::string_view text);
// A number that CStr wrote in any locale, as stored settings hold it: with only one "." or "," in
// it, that one is the decimal separator; otherwise it is read as in the current locale.
std::optional<double> parseWrittenNumber(std::string_view text);

} // namespace runtime
