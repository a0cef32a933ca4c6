#pragma once
// Today's date and the time of day, from one clock that tests can set.
#include "ole_date.h"

#include <optional>

namespace runtime {

Date Now();   // date and time
Date Today(); // the date at midnight (the language's Date)

// Tests fix the clock; std::nullopt returns to the system clock.
void setClock(std::optional<Date> fixed);

} // namespace runtime
