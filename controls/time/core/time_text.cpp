#include "time_text.h"

#include "time_validation.h"

#include <algorithm>

namespace vxtime {

namespace {

bool allOf(std::string_view s, char c) {
    return std::all_of(s.begin(), s.end(), [c](char x) { return x == c; });
}

bool allDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char x) { return x >= '0' && x <= '9'; });
}

// One field read from the text: empty, or its value (the AM/PM state for the AM/PM field).
struct FieldReading {
    bool ok = true;
    bool empty = false;
    std::int32_t value = 0;
};

FieldReading readAmPm(std::string_view s, const AmPmTable& table) {
    if (allOf(s, '_')) return {true, true, 0};
    const int state = table.stateOf(s);
    return {state != kAmPmNone, false, state};
}

FieldReading readNumber(std::string_view s, FieldRange range, char prompt) {
    if (s == "__") return {true, true, 0};
    if (allOf(s, prompt) || allOf(s, '0')) return {true, false, 0};
    if (!allDigits(s)) return {false, false, 0};
    const std::int32_t value = (s[0] - '0') * 10 + (s[1] - '0');
    return {range.contains(value), false, value};
}

} // namespace

std::optional<std::int32_t> parseTimeText(std::string_view text, const EditLayout& layout,
                                          const AmPmTable& table, char prompt) {
    const HourStyle style = layout.hourStyle();
    TimeFields fields;
    fields.ampm = kAm; // a Format without an AM/PM field reads the hour as it stands
    bool sawEmpty = false;
    for (const EditField& f : layout.fields) {
        if (f.start + f.length > static_cast<int>(text.size())) return std::nullopt;
        const std::string_view s = text.substr(f.start, f.length);
        FieldReading r;
        if (f.kind == FieldKind::AmPm) {
            r = readAmPm(s, table);
        } else {
            // The AM/PM state may come later in the Format, so hours read against 1-12 here; "00" passes
            // without a range test.
            r = readNumber(s, fieldRange(f.kind, style, kPm, true), prompt);
        }
        if (!r.ok || (sawEmpty && !r.empty)) return std::nullopt;
        sawEmpty = sawEmpty || r.empty;
        switch (f.kind) {
        case FieldKind::Hour:
            fields.hour = r.value;
            break;
        case FieldKind::Minute:
            fields.minute = r.value;
            break;
        case FieldKind::Second:
            fields.second = r.value;
            break;
        case FieldKind::AmPm:
            fields.ampm = static_cast<int>(r.value);
            break;
        }
    }
    if (sawEmpty) return kNoTime;
    return joinTime(fields, style);
}

} // namespace vxtime
