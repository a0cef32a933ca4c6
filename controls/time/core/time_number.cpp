#include "time_number.h"

#include <cmath>
#include <cstdlib>

namespace vxtime {

namespace {

// The day constant as the control has always stored it; keeping the exact double keeps Value
// bit-identical to what containers and databases have seen before.
constexpr double kDayPerSecond = 0.000011574074074074073;
constexpr double kHalfSecond = 5.787037037037037e-06;
constexpr int kSecondsPerDay = 86400;

} // namespace

TimeFields splitTimePlain(std::int32_t number) {
    TimeFields f;
    f.hour = number / 10000;
    f.minute = number % 10000 / 100;
    f.second = number % 100;
    f.ampm = number / 120000 + 1;
    return f;
}

TimeFields splitTime(std::int32_t number, HourStyle style) {
    TimeFields f = splitTimePlain(number);
    if (!style.twelveHour()) return f;
    const bool morningZero = style.keepsZeroHour() && f.ampm == kAm;
    f.hour %= 12;
    if (f.hour == 0 && !morningZero) f.hour = 12;
    return f;
}

std::int32_t joinTime(const TimeFields& f, HourStyle style) {
    bool incomplete = f.hour < 0 || f.minute < 0 || f.second < 0;
    std::int32_t hour = std::abs(f.hour);
    if (style.twelveHour()) {
        // An emptied AM/PM field leaves the time incomplete; the hour is then read as morning.
        const int ampm = (f.ampm == kPm) ? kPm : kAm;
        incomplete = incomplete || (f.ampm != kAm && f.ampm != kPm);
        hour = hour % 12 + 12 * (ampm - 1);
    }
    const std::int32_t number = hour * 10000 + std::abs(f.minute) * 100 + std::abs(f.second);
    if (!incomplete) return number;
    // Midnight cannot be negated, and an incomplete time must never read as a complete one.
    return number == 0 ? -1 : -number;
}

bool isTimeOfDay(std::int32_t number) {
    if (number < kMidnight || number > kLastSecond) return false;
    return number % 10000 / 100 <= 59 && number % 100 <= 59;
}

double numberToValue(std::int32_t number) {
    const TimeFields f = splitTimePlain(number);
    return (f.hour * 3600 + f.minute * 60 + f.second) * kDayPerSecond;
}

std::optional<std::int32_t> valueToNumber(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    double day = std::fabs(value) + kHalfSecond;
    day -= std::floor(day);
    // A fraction a hair below a whole day can still multiply out to 86400: that is midnight too.
    const auto seconds = static_cast<std::int32_t>(day * kSecondsPerDay) % kSecondsPerDay;
    return seconds / 3600 * 10000 + seconds % 3600 / 60 * 100 + seconds % 60;
}

} // namespace vxtime
