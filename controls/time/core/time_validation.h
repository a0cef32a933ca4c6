// The one validation every setter and every commit goes through.
//
// The flags word says what to test: 1 the limits MinTime..MaxTime, 4 that no field of the edit text
// still shows a prompt character, and any value of 2 or more the per-field limits of every field
// the Format has. The control asks for 7 when typed input is committed or the focus leaves, 3 for
// Number, Value and Text, and 4 for MaxTime.
#pragma once

#include "edit_layout.h"

#include <string_view>

namespace vxtime {

inline constexpr unsigned kCheckLimits = 1;
inline constexpr unsigned kCheckFields = 2;
inline constexpr unsigned kCheckPrompts = 4;
inline constexpr unsigned kCheckCommit = kCheckLimits | kCheckFields | kCheckPrompts;
inline constexpr unsigned kCheckNumber = kCheckLimits | kCheckFields;

struct FieldRange {
    int low;
    int high;
    bool contains(std::int32_t v) const { return v >= low && v <= high; }
};

// The range of one number field. Twelve-hour hours are 1-12; with the hour rule on, a morning hour
// may also be 0 (the tokens that keep the zero hour show 0:30 AM). With the rule off every hour is
// 0-23.
FieldRange fieldRange(FieldKind kind, HourStyle style, int ampm, bool hourRule);

struct TimeLimits {
    std::int32_t minTime = kMidnight;
    std::int32_t maxTime = kLastSecond;
};

struct ValidationInput {
    const TimeFields& fields;
    const EditLayout& layout;
    TimeLimits limits;
    std::string_view editText;
    char prompt;
};

bool validateTime(const ValidationInput& in, unsigned flags, bool hourRule = true);

} // namespace vxtime
