// The display text: how the control shows its time while it does not have the focus (DispText).
//
// DisplayFormat is a free-form pattern, never validated: "H"/"HH", "M"/"MM", "S"/"SS" in any letter
// case are the hour, minute and second ("%d" for one letter, "%02d" for two), an AM/PM token at an
// "a"/"A" is replaced by its table text, "\" writes the next character as it is, and everything else
// is written unchanged. The hour is shown in twelve-hour form when the pattern contains "A/P", "AMPM"
// or "AM/PM" in any letter case.
#pragma once

#include "time_locale.h"
#include "time_number.h"

#include <string>
#include <string_view>

namespace vxtime {

struct DisplayInput {
    TimeFields fields;   // the field state, as split for the edit Format
    HourStyle editStyle; // the edit Format's hour style, to read the hour field back as 0-23
    bool noTime = false; // the control holds the no-time marker
    char prompt = '_';
};

// `pattern` is DisplayFormat, or the Format when DisplayFormat is empty (the caller chooses).
std::string buildDisplayText(std::string_view pattern, const DisplayInput& in, const TimeLocale& locale);

} // namespace vxtime
