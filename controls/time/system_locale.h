// The user's clock settings and the current time, read from the system for the portable time core.
#pragma once

#include <cstdint>

#include "time_locale.h"

namespace timectl {

// The user's time separator, clock style, leading zero, AM/PM position and language, the lead
// bytes of the ANSI code page, and the AM/PM table from the library's string table.
vxtime::TimeLocale readUserTimeLocale();

// The local time of day as a time number (HHMMSS).
std::int32_t currentClockNumber();

} // namespace timectl
