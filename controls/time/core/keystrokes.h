// What the keyboard, the mouse and the spin button do to the time while the control has the focus,
// free of windows: the control object reads the selection from its edit window, calls these, sets
// the window text and selection from the answer and raises the events the answer calls for.
//
// Positions are byte offsets into the edit text. The caret stops only at field positions; a digit
// overwrites in place (field_typing.h decides what the field becomes), the AM/PM field takes one
// letter, and deleting turns digits back into prompt characters.
#pragma once

#include "time_model.h"

namespace vxtime {

struct Selection {
    int start = 0;
    int length = 0;
    bool operator==(const Selection&) const = default;
};

// A keystroke is accepted (the edit is committed), refused (beep and InvalidInput), or neither.
enum class Keystroke { Neither, Accepted, Refused };

struct KeyAnswer {
    Keystroke result = Keystroke::Neither;
    Selection selection;
    bool operator==(const KeyAnswer&) const = default;
};

// --- Caret movement ---
// Forward from `from`: a double-byte character is stepped over first, and a prompt character at
// `from` keeps the caret where it is (an empty place is filled before the caret moves on).
int caretForward(const TimeModel& model, int from);
int caretBack(const TimeModel& model, int from);
int firstFieldStart(const TimeModel& model);
int lastFieldEnd(const TimeModel& model);

// Where the caret goes when the control receives the focus: CursorPosition 1 the AM/PM field, 2 the
// hour, 3 the minute, 4 the second, 0 or a field the Format lacks the first field; HighlightText 0
// puts the caret at the field's start, 1 selects the field, 2 selects the whole text.
Selection focusSelection(const TimeModel& model, int cursorPosition, int highlightText);

// The arrow, Home and End keys without modifiers.
enum class CaretKey { Home, End, Left, Right, Up, Down };
int moveCaret(const TimeModel& model, CaretKey key, Selection selection);

// Shift with nothing selected on Home, Left or Up: the caret first moves right over the character
// at it, so that the selection the edit field then extends takes that character in.
int shiftSelectionStart(const TimeModel& model, int caret);

// --- Changing the time ---
// Typing a character of code 32 or above at the selection.
KeyAnswer typeCharacter(TimeModel& model, Selection selection, char c);
// Backspace: the character before the caret becomes a prompt character.
KeyAnswer backspace(TimeModel& model, Selection selection);
// Deleting the selection, or the character at the caret. Returns where the caret goes.
int deleteSelection(TimeModel& model, Selection selection);

// A spin step up (+1) or down (-1) of the field at the caret, carrying over into the next larger
// field when a second or minute wraps. Only with the caret (no selection) in a field of a
// complete time; answers whether the time moved.
bool spinField(TimeModel& model, int caret, int direction);

} // namespace vxtime
