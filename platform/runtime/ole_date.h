#pragma once
// The language's Date: days since 1899-12-30 as a double, the time of day as the fraction.
// Before 1899-12-30 the whole part counts back and the fraction still counts forward from midnight
// (-1.25 is 1899-12-29 06:00), which is how the platform stores dates.
#include <optional>
#include <string>

namespace runtime {

struct Date {
    double serial = 0.0;

    static Date fromYmd(int year, int month, int day); // DateSerial, months and days may overflow
    static Date fromYmdHms(int year, int month, int day, int hour, int minute, int second);
    static Date fromIso(const std::string& text); // "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss"; Type mismatch
    static std::optional<Date> tryIso(const std::string& text);

    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;
    int weekday() const; // 1 = Sunday ... 7 = Saturday, as the language counts

    Date datePart() const;   // the day at midnight
    double timePart() const; // the fraction of the day
    bool hasTime() const { return timePart() != 0.0; }
    Date addDays(int days) const;

    std::string iso() const;     // "yyyy-mm-dd", or "yyyy-mm-dd hh:mm:ss" when there is a time
    std::string isoDate() const; // "yyyy-mm-dd" always

    friend bool operator==(Date a, Date b) { return a.serial == b.serial; }
    friend auto operator<=>(Date a, Date b) { return a.serial <=> b.serial; }
};

} // namespace runtime
