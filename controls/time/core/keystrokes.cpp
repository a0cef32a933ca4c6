#include "keystrokes.h"

#include "edit_selection.h"
#include "field_typing.h"

#include <algorithm>

namespace vxtime {

namespace {

std::int32_t& fieldValue(TimeFields& fields, FieldKind kind) {
    switch (kind) {
    case FieldKind::Hour:
        return fields.hour;
    case FieldKind::Minute:
        return fields.minute;
    default:
        return fields.second;
    }
}

int textSize(const TimeModel& model) {
    return static_cast<int>(model.editText().size());
}

// The positions of the digits right of `pos` within its field.
int placesRight(const EditField& field, int pos) {
    return field.start + field.length - 1 - pos;
}

} // namespace

int firstFieldStart(const TimeModel& model) {
    const EditLayout& layout = model.layout();
    return layout.fields.empty() ? 0 : layout.fields.front().start;
}

int lastFieldEnd(const TimeModel& model) {
    const EditLayout& layout = model.layout();
    return layout.fields.empty() ? 0 : layout.fields.back().start + layout.fields.back().length;
}

int caretForward(const TimeModel& model, int from) {
    const std::string& text = model.editText();
    if (from >= 0 && from < textSize(model)) {
        if (text[from] == model.promptChar()) return from;
        if (model.locale().leadBytes.isLead(text[from])) ++from;
    }
    return nextEditable(model.layout(), from);
}

int caretBack(const TimeModel& model, int from) {
    const int target = previousEditable(model.layout(), from);
    return clampSelStart(model.editText(), target, model.locale().leadBytes);
}

Selection focusSelection(const TimeModel& model, int cursorPosition, int highlightText) {
    if (highlightText == 2) return {0, textSize(model)};
    const EditLayout& layout = model.layout();
    if (layout.fields.empty()) return {};
    static constexpr FieldKind kWanted[] = {FieldKind::Hour, FieldKind::AmPm, FieldKind::Hour,
                                            FieldKind::Minute, FieldKind::Second};
    const EditField* field = nullptr;
    if (cursorPosition >= 1 && cursorPosition <= 4) field = layout.find(kWanted[cursorPosition]);
    if (!field) field = &layout.fields.front();
    return {field->start, highlightText == 1 ? field->length : 0};
}

int moveCaret(const TimeModel& model, CaretKey key, Selection selection) {
    switch (key) {
    case CaretKey::Home:
        return firstFieldStart(model);
    case CaretKey::End:
        return lastFieldEnd(model);
    case CaretKey::Left:
    case CaretKey::Up:
        return caretBack(model, selection.start);
    default:
        return caretForward(model,
                            selection.length > 0 ? selection.start + selection.length - 1 : selection.start);
    }
}

int shiftSelectionStart(const TimeModel& model, int caret) {
    if (caret < 0 || caret >= textSize(model)) return caret;
    return caret + static_cast<int>(charLength(model.editText(), caret, model.locale().leadBytes));
}

int deleteSelection(TimeModel& model, Selection selection) {
    const EditLayout& layout = model.layout();
    const int end = selection.start + std::max(selection.length, 0);
    TimeFields fields = model.fields();
    int caret = selection.start;
    auto emptyAt = [&](int pos) {
        const int index = layout.fieldAt(pos);
        if (index < 0) return;
        const EditField& field = layout.fields[index];
        if (field.kind == FieldKind::AmPm) {
            fields.ampm = kAmPmNone;
            if (pos == selection.start) caret = field.start;
        } else {
            std::int32_t& value = fieldValue(fields, field.kind);
            value = deleteDigits(value, placesRight(field, pos));
        }
    };
    emptyAt(selection.start);
    for (const EditField& field : layout.fields)
        if (field.start > selection.start && field.start < end) emptyAt(field.start);
    model.setEditFields(fields);
    if (allFieldsPrompt(layout, model.editText(), model.promptChar())) model.clear();
    return caret;
}

KeyAnswer typeCharacter(TimeModel& model, Selection selection, char c) {
    int pos = selection.start;
    if (selection.length > 1) pos = deleteSelection(model, selection);
    const EditLayout& layout = model.layout();
    if (layout.fieldAt(pos) < 0) pos = nextEditable(layout, pos);
    const int index = layout.fieldAt(pos);
    if (index < 0) return {Keystroke::Refused, {pos, 0}};
    const EditField& field = layout.fields[index];
    TimeFields fields = model.fields();

    if (field.kind == FieldKind::AmPm) {
        const int state = ampmFromKey(c);
        if (state == kAmPmNone) return {Keystroke::Refused, {pos, 0}};
        fields.ampm = state;
        model.setEditFields(fields);
        return {Keystroke::Accepted, {field.start + field.length, 0}};
    }
    if (c < '0' || c > '9') return {Keystroke::Refused, {pos, 0}};

    const int places = placesRight(field, pos);
    const bool promptRight = places > 0 && model.editText()[pos + 1] == model.promptChar();
    std::int32_t& value = fieldValue(fields, field.kind);
    const FieldRange range = fieldRange(field.kind, layout.hourStyle(), fields.ampm, true);
    const DigitTyped typed = typeDigit(value, range, places, c - '0', promptRight);
    value = typed.value;
    model.setEditFields(fields);
    int caret = caretForward(model, pos);
    if (typed.skipOne) caret = caretForward(model, caret);
    return {typed.refused ? Keystroke::Refused : Keystroke::Accepted, {caret, 0}};
}

KeyAnswer backspace(TimeModel& model, Selection selection) {
    const int target = caretBack(model, selection.start);
    if (target >= selection.start) return {Keystroke::Accepted, {selection.start, 0}}; // nothing before it
    const int caret = deleteSelection(model, {target, 0});
    return {Keystroke::Accepted, {caret, 0}};
}

namespace {

// The twelve-hour clock turns over between 11 and 12: that is where morning and afternoon flip.
void stepTwelveHour(TimeFields& fields, int direction, HourStyle style) {
    int hour = fields.hour == 0 ? 12 : fields.hour;
    if (direction > 0)
        hour = hour == 12 ? 1 : hour + 1;
    else
        hour = hour == 1 ? 12 : hour - 1;
    if ((direction > 0 && hour == 12) || (direction < 0 && hour == 11))
        fields.ampm = fields.ampm == kPm ? kAm : kPm;
    // The tokens that keep the zero hour show midnight as 0 in the morning.
    if (hour == 12 && fields.ampm == kAm && style.keepsZeroHour()) hour = 0;
    fields.hour = hour;
}

void stepHour(TimeFields& fields, int direction, HourStyle style) {
    if (style.twelveHour())
        stepTwelveHour(fields, direction, style);
    else
        fields.hour = (fields.hour + direction + 24) % 24;
}

// Seconds carry into minutes and minutes into hours, both ways.
void stepSixty(TimeFields& fields, FieldKind kind, int direction, HourStyle style) {
    std::int32_t& value = fieldValue(fields, kind);
    value += direction;
    if (value >= 0 && value <= 59) return;
    value = value < 0 ? 59 : 0;
    if (kind == FieldKind::Second)
        stepSixty(fields, FieldKind::Minute, direction, style);
    else
        stepHour(fields, direction, style);
}

} // namespace

bool spinField(TimeModel& model, int caret, int direction) {
    const EditLayout& layout = model.layout();
    const int index = layout.fieldAt(caret);
    if (index < 0 || direction == 0 || model.isEmpty()) return false;
    if (hasPromptInFields(layout, model.editText(), model.promptChar())) return false;
    direction = direction > 0 ? 1 : -1;
    TimeFields fields = model.fields();
    const HourStyle style = layout.hourStyle();
    switch (layout.fields[index].kind) {
    case FieldKind::AmPm:
        fields.ampm = fields.ampm == kPm ? kAm : kPm;
        break;
    case FieldKind::Hour:
        stepHour(fields, direction, style);
        break;
    default:
        stepSixty(fields, layout.fields[index].kind, direction, style);
        break;
    }
    model.setEditFields(fields);
    model.adoptFields();
    return true;
}

} // namespace vxtime
