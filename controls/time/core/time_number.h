// The time number and the field state every part of the time control works on.
//
// A time of day is kept as HHMMSS in a signed 32-bit integer (hour * 10000 + minute * 100 + second);
// 999999 means "no time" (the control is empty). While the user types, the time is also held as
// separate fields, where a negative field marks one whose digits are still partly prompt characters.
// Value is the same time as a fraction of a day, the form automation clients and data sources use.
#pragma once

#include <cstdint>
#include <optional>

namespace vxtime {

// The no-time marker: what an empty control holds.
inline constexpr std::int32_t kNoTime = 999999;
// The first and last time of a day as time numbers.
inline constexpr std::int32_t kMidnight = 0;
inline constexpr std::int32_t kLastSecond = 235959;

// AM/PM state of the field state; 0 is an AM/PM field the user has emptied.
inline constexpr int kAmPmNone = 0;
inline constexpr int kAm = 1;
inline constexpr int kPm = 2;

struct TimeFields {
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    int ampm = kAmPmNone;

    bool operator==(const TimeFields&) const = default;
};

// How the hour field reads when the Format shows an AM/PM field. `ampmToken` is the index of the
// Format's token (see ampm_table.h), -1 when the Format has none.
struct HourStyle {
    int ampmToken = -1;
    bool twelveHour() const { return ampmToken >= 0; }
    // "AMPM" and "am/pm" keep the hour 0 in the morning (0:30 AM) instead of showing 12:30 AM.
    bool keepsZeroHour() const { return ampmToken == 2 || ampmToken == 3; }
};

// Fields of a time number. In twelve-hour formats the hour becomes 1-12 (or 0-11 in the morning for
// the tokens that keep the zero hour).
TimeFields splitTime(std::int32_t number, HourStyle style);
// The plain split: the hour stays 0-23.
TimeFields splitTimePlain(std::int32_t number);

// The time number of the fields. A negative (incomplete) field, or an emptied AM/PM field in a
// twelve-hour format, gives a negative number so that callers can tell the time is not complete.
std::int32_t joinTime(const TimeFields& fields, HourStyle style);

// True for HHMMSS numbers with hour 0-23, minute and second 0-59.
bool isTimeOfDay(std::int32_t number);

// The day fraction of a time number (seconds times the day constant 1/86400).
double numberToValue(std::int32_t number);
// The time number of a day fraction: the sign and whole days are dropped and the time is rounded
// to the nearest second (so 0.99999999 is midnight). Not-a-number and infinities have no time.
std::optional<std::int32_t> valueToNumber(double value);

} // namespace vxtime
