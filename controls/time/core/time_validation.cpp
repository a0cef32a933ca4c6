#include "time_validation.h"

namespace vxtime {

FieldRange fieldRange(FieldKind kind, HourStyle style, int ampm, bool hourRule) {
    if (kind == FieldKind::Minute || kind == FieldKind::Second) return {0, 59};
    if (!style.twelveHour() || !hourRule) return {0, 23};
    return ampm == kAm ? FieldRange{0, 12} : FieldRange{1, 12};
}

namespace {

bool fieldsInRange(const ValidationInput& in, bool hourRule) {
    const HourStyle style = in.layout.hourStyle();
    for (const EditField& f : in.layout.fields) {
        const FieldRange range = fieldRange(f.kind, style, in.fields.ampm, hourRule);
        switch (f.kind) {
        case FieldKind::Hour:
            if (!range.contains(in.fields.hour)) return false;
            break;
        case FieldKind::Minute:
            if (!range.contains(in.fields.minute)) return false;
            break;
        case FieldKind::Second:
            if (!range.contains(in.fields.second)) return false;
            break;
        case FieldKind::AmPm:
            if (in.fields.ampm != kAm && in.fields.ampm != kPm) return false;
            break;
        }
    }
    return true;
}

} // namespace

bool validateTime(const ValidationInput& in, unsigned flags, bool hourRule) {
    if (flags & kCheckLimits) {
        const std::int32_t n = joinTime(in.fields, in.layout.hourStyle());
        if (n < in.limits.minTime || n > in.limits.maxTime) return false;
    }
    if ((flags & kCheckPrompts) && hasPromptInFields(in.layout, in.editText, in.prompt)) return false;
    if (flags >= kCheckFields && !fieldsInRange(in, hourRule)) return false;
    return true;
}

} // namespace vxtime
