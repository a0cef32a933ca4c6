// The Format language: the edit mask the control shows while it has the focus.
//
// "h", "m" and "s" (once or twice, adjacent) are the hour, minute and second fields; one of the
// AM/PM tokens of ampm_table.h is the AM/PM field; "\" makes the next character a literal; every
// other character, and every double-byte character, is a literal. Letters are case-sensitive, so
// "H" or "M" in a Format is text. The same letters in a DisplayFormat mean something else and are
// handled by display_text.h.
#pragma once

#include "time_locale.h"
#include "time_number.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vxtime {

enum class FieldKind { Hour = 0, Minute = 1, Second = 2, AmPm = 3 };

struct FormatField {
    FieldKind kind;
    int start; // position in the mask (the Format with its escape characters removed)
    int extra; // letters beyond the first ("hh" is 1); for the AM/PM field the token length less one
    bool operator==(const FormatField&) const = default;
};

struct TimeFormat {
    std::string mask;                // the Format with escape characters removed
    std::vector<FormatField> fields; // in the order of the Format, at most one per kind
    int ampmToken = -1;              // index into kAmPmTokens, -1 without an AM/PM field

    HourStyle hourStyle() const { return HourStyle{ampmToken}; }
    bool hasAmPm() const { return ampmToken >= 0; }
    const FormatField* find(FieldKind kind) const;
};

// The parsed Format, or nothing when the Format is refused: a field letter run more than twice
// or in two places, a second AM/PM field, an "a"/"A" that begins no token, no field at all, or
// "AMPM" anywhere in it while the locale is not Japanese.
std::optional<TimeFormat> parseFormat(std::string_view format, const TimeLocale& locale);

// The Format a new control starts with, built from the locale's clock settings.
std::string defaultFormat(const TimeLocale& locale);
inline constexpr std::string_view kFallbackFormat = "hh : mm : ss";

} // namespace vxtime
