#include "edit_layout.h"

#include "field_typing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vxtime {

const EditField* EditLayout::find(FieldKind kind) const {
    for (const EditField& f : fields)
        if (f.kind == kind) return &f;
    return nullptr;
}

int EditLayout::fieldAt(int pos) const {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].contains(pos)) return static_cast<int>(i);
    return -1;
}

EditLayout makeEditLayout(const TimeFormat& format, const AmPmTable& table) {
    EditLayout layout;
    layout.ampmToken = format.ampmToken;
    std::size_t copied = 0; // how much of the mask is in the pattern
    for (const FormatField& f : format.fields) {
        layout.pattern.append(format.mask, copied, f.start - copied);
        // A table without a text for the token still leaves the field one position to type into.
        const int width = f.kind == FieldKind::AmPm ? std::max(1, table.width(format.ampmToken)) : 2;
        // The pattern keeps the field's letters (the token cut to its width) so a layout reads like its
        // Format.
        std::string letters = format.mask.substr(f.start, std::min(f.extra + 1, width));
        letters.resize(width, letters.back());
        layout.fields.push_back({f.kind, static_cast<int>(layout.pattern.size()), width});
        layout.pattern += letters;
        copied = f.start + f.extra + 1;
    }
    layout.pattern.append(format.mask, copied);
    return layout;
}

namespace {

std::string numberText(std::int32_t value, char prompt) {
    if (value == kZeroTens) return std::string("0") + prompt;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(std::abs(value) % 100));
    std::string text(digits);
    if (value < 0) {
        // The places not typed yet are the zero places at the right of the incomplete field.
        for (int i = 1; i >= 0 && text[i] == '0'; --i)
            text[i] = prompt;
    }
    return text;
}

std::int32_t fieldValue(FieldKind kind, const TimeFields& f) {
    switch (kind) {
    case FieldKind::Hour:
        return f.hour;
    case FieldKind::Minute:
        return f.minute;
    default:
        return f.second;
    }
}

} // namespace

std::string fieldText(const EditField& field, const EditState& state, const EditLayout& layout,
                      const AmPmTable& table, char prompt) {
    const std::string blank(field.length, prompt);
    if (state.empty) return blank;
    if (field.kind == FieldKind::AmPm) {
        std::string text = table.text(layout.ampmToken, state.fields.ampm);
        if (text.empty()) return blank;
        text.resize(field.length, ' ');
        return text;
    }
    std::int32_t value = fieldValue(field.kind, state.fields);
    const HourStyle style = layout.hourStyle();
    if (field.kind == FieldKind::Hour && value == 0 && style.twelveHour() && state.fields.ampm != kAmPmNone &&
        !style.keepsZeroHour())
        value = 12;
    return numberText(value, prompt);
}

std::string buildEditText(const EditLayout& layout, const EditState& state, const AmPmTable& table,
                          char prompt) {
    std::string text = layout.pattern;
    for (const EditField& f : layout.fields)
        text.replace(f.start, f.length, fieldText(f, state, layout, table, prompt));
    return text;
}

bool hasPromptInFields(const EditLayout& layout, std::string_view text, char prompt) {
    for (const EditField& f : layout.fields)
        for (int i = f.start; i < f.start + f.length && i < static_cast<int>(text.size()); ++i)
            if (text[i] == prompt) return true;
    return false;
}

bool allFieldsPrompt(const EditLayout& layout, std::string_view text, char prompt) {
    for (const EditField& f : layout.fields)
        for (int i = f.start; i < f.start + f.length; ++i)
            if (i >= static_cast<int>(text.size()) || text[i] != prompt) return false;
    return true;
}

} // namespace vxtime
