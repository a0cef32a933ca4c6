#include "ole_date.h"

#include "error.h"

#include <cmath>
#include <cstdio>

namespace runtime {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date, and back (H. Hinnant's civil algorithms).
constexpr long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long long)doe - 719468;
}

struct Civil {
    long long y;
    unsigned m, d;
};

Civil civilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = (long long)yoe + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp + (mp < 10 ? 3 : -9);
    return {y + (m <= 2), m, d};
}

constexpr long long kEpochOffset = daysFromCivil(1899, 12, 30); // serial 0 in days since 1970

long long wholeDays(double serial) {
    return (long long)std::trunc(serial);
}

// Seconds since midnight, rounded to the nearest second as the language shows times.
long secondsOfDay(double serial) {
    double frac = std::fabs(serial - std::trunc(serial));
    long s = std::lround(frac * 86400.0);
    return s >= 86400 ? 86399 : s;
}

Civil civil(double serial) {
    return civilFromDays(wholeDays(serial) + kEpochOffset);
}

double compose(long long days, double timeFraction) {
    return days < 0 ? double(days) - timeFraction : double(days) + timeFraction;
}

} // namespace

Date Date::fromYmd(int year, int month, int day) {
    long long y = year + (long long)std::floor((month - 1) / 12.0);
    int m = ((month - 1) % 12 + 12) % 12 + 1;
    long long days = daysFromCivil(y, unsigned(m), 1) + (day - 1) - kEpochOffset;
    return Date{double(days)};
}

Date Date::fromYmdHms(int year, int month, int day, int hour, int minute, int second) {
    long long days = (long long)fromYmd(year, month, day).serial;
    long secs = long(hour) * 3600 + long(minute) * 60 + second;
    days += secs / 86400;
    secs %= 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    return Date{compose(days, secs / 86400.0)};
}

std::optional<Date> Date::tryIso(const std::string& text) {
    int y, mo, d, h = 0, mi = 0, s = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3) return std::nullopt;
    if (size_t(used) != text.size()) {
        const char* rest = text.c_str() + used;
        int more = 0;
        if ((*rest != ' ' && *rest != 'T') ||
            std::sscanf(rest + 1, "%2d:%2d:%2d%n", &h, &mi, &s, &more) != 3 ||
            size_t(used + 1 + more) != text.size())
            return std::nullopt;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    Date r = fromYmdHms(y, mo, d, h, mi, s);
    if (r.month() != mo) return std::nullopt; // 2026-02-30 is no date
    return r;
}

Date Date::fromIso(const std::string& text) {
    if (auto d = tryIso(text)) return *d;
    raise(err::TypeMismatch);
}

int Date::year() const {
    return int(civil(serial).y);
}
int Date::month() const {
    return int(civil(serial).m);
}
int Date::day() const {
    return int(civil(serial).d);
}
int Date::hour() const {
    return int(secondsOfDay(serial) / 3600);
}
int Date::minute() const {
    return int(secondsOfDay(serial) / 60 % 60);
}
int Date::second() const {
    return int(secondsOfDay(serial) % 60);
}

int Date::weekday() const {
    // 1899-12-30 was a Saturday (7).
    long long d = wholeDays(serial);
    return int(((d + 6) % 7 + 7) % 7) + 1;
}

Date Date::datePart() const {
    return Date{double(wholeDays(serial))};
}
double Date::timePart() const {
    return std::fabs(serial - std::trunc(serial));
}
Date Date::addDays(int days) const {
    return Date{compose(wholeDays(serial) + days, timePart())};
}

std::string Date::isoDate() const {
    Civil c = civil(serial);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", c.y, c.m, c.d);
    return buf;
}

std::string Date::iso() const {
    if (!hasTime()) return isoDate();
    char buf[16];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", hour(), minute(), second());
    return isoDate() + buf;
}

} // namespace runtime
