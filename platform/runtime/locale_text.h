#pragma once
// Dates as the user reads and types them: the regional "Short Date" and "Long Date" formats and the
// reading of typed dates all come from one locale, which tests fix (en_US) so nothing depends on the
// machine's language.
#include "ole_date.h"

#include <optional>
#include <string>

namespace runtime {

// The locale used for every date text; by default the user's (system) locale.
void setDateLocale(const std::string& name); // e.g. "en_US", "de_DE"; "" = the system locale
std::string dateLocale();

std::string shortDateText(Date d); // en_US: "12/8/2026"
std::string longDateText(Date d);  // en_US: "Tuesday, December 8, 2026"
std::string timeText(Date d);      // en_US: "2:30:00 PM"
// Short date, and the time after a blank when the value has one: how CStr prints a Date.
std::string dateText(Date d);

// Reads a typed date as the language's CDate/IsDate do: the short date in the user's locale (with
// two- or four-digit years, any of / - . as separator), ISO yyyy-mm-dd, the long date, month names,
// optionally followed by a time. Empty when the text is not a date.
std::optional<Date> parseDateText(const std::string& text);

} // namespace runtime
