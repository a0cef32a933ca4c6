// The edit text: what the edit window shows while the control has the focus.
//
// The layout is the Format's mask with every number field made exactly two positions wide and the
// AM/PM token cut to the width of its text in the AM/PM table; literals keep their places. The
// edit text fills the fields from the field state. Positions are byte offsets into the ANSI text.
#pragma once

#include "time_format.h"

#include <string>
#include <string_view>
#include <vector>

namespace vxtime {

struct EditField {
    FieldKind kind;
    int start;
    int length;
    bool operator==(const EditField&) const = default;
    bool contains(int pos) const { return pos >= start && pos < start + length; }
};

struct EditLayout {
    std::string pattern;           // the mask with the fields at their edit widths (field letters in them)
    std::vector<EditField> fields; // in the order of the Format
    int ampmToken = -1;

    HourStyle hourStyle() const { return HourStyle{ampmToken}; }
    const EditField* find(FieldKind kind) const;
    // Index into `fields` of the field covering `pos`, -1 on a literal or past the end.
    int fieldAt(int pos) const;
};

EditLayout makeEditLayout(const TimeFormat& format, const AmPmTable& table);

// What the edit text is built from. `number` is the committed time number; fields the user has not
// typed yet hold kEmptyField (see field_typing.h) and show prompt characters. `empty` is the
// control's empty state (cleared control): every field shows prompt characters.
struct EditState {
    TimeFields fields;
    std::int32_t number = 0;
    bool empty = false;
};

// The text one field shows. A number is two digits; an incomplete (negative) field holds the digits
// typed so far at their places, and the places still zero show the prompt character. The hour 0 in
// a twelve-hour format reads 12, except for the tokens that keep the zero hour in the morning.
std::string fieldText(const EditField& field, const EditState& state, const EditLayout& layout,
                      const AmPmTable& table, char prompt);

std::string buildEditText(const EditLayout& layout, const EditState& state, const AmPmTable& table,
                          char prompt);

// True when a prompt character stands at any field position of `text`.
bool hasPromptInFields(const EditLayout& layout, std::string_view text, char prompt);
// True when every field position of `text` holds the prompt character.
bool allFieldsPrompt(const EditLayout& layout, std::string_view text, char prompt);

} // namespace vxtime
