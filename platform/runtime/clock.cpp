#include "clock.h"

#include <chrono>
#include <ctime>

namespace runtime {

namespace {
std::optional<Date> fixedClock;

Date systemNow() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return Date::fromYmdHms(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                            local.tm_min, local.tm_sec);
}
} // namespace

Date Now() {
    return fixedClock ? *fixedClock : systemNow();
}
Date Today() {
    return Now().datePart();
}
void setClock(std::optional<Date> fixed) {
    fixedClock = fixed;
}

} // namespace runtime
