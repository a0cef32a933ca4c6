// The time control's value state and the rules of its time properties, free of COM and windows.
//
// The control object owns one TimeModel and forwards the automation setters to it; each setter
// answers whether the assignment was taken, and when it was not, which kind of refusal it is:
//   Invalid     - always error 380 "Invalid property value" (Format, PromptChar, MinTime, MaxTime);
//   OutOfRange  - error 380 at design time, the InvalidRange event at run time (Number, Value, Text,
//                 SelText). Either way the model keeps its previous state.
// Things that depend on the container (design versus run time, ReadOnly, events, beeps, data
// binding) stay in the object; everything that decides what the time becomes is here.
//
// The pieces the model is made of, for the object's keystroke and drawing code to use directly:
//   time_number.h     time number, fields, split and join, Value conversions
//   ampm_table.h      AM/PM tokens and the localisable table of their texts
//   time_locale.h     the locale description the object reads from the system
//   time_format.h     the Format parser and the locale's default Format
//   edit_layout.h     edit layout and edit text with prompt characters
//   edit_selection.h  caret movement over field positions, selection clamping, copy text
//   field_typing.h    digit typing and deletion in number fields, AM/PM keys
//   time_text.h       reading Text and SelText
//   display_text.h    DispText from DisplayFormat
//   time_validation.h the validation flags and field ranges
//   key_table.h       KeyClear, KeyNext, KeyPrevious, KeyNow
#pragma once

#include "display_text.h"
#include "edit_layout.h"
#include "time_format.h"
#include "time_validation.h"

#include <optional>
#include <string>
#include <string_view>

namespace vxtime {

enum class Assign { Accepted, Invalid, OutOfRange };

// What the persisted state hands back on load; missing names are filled with the defaults by the
// object before it calls restore().
struct StoredTime {
    std::string format;
    std::optional<std::string> displayFormat; // the Format when the bag has no DisplayFormat
    std::string promptChar = "_";
    std::int32_t minTime = kMidnight;
    std::int32_t maxTime = kLastSecond;
    std::int32_t number = kNoTime;
};

class TimeModel {
public:
    // A new control: the locale's default Format and the current time of day as HHMMSS.
    TimeModel(TimeLocale locale, std::int32_t clockNumber);

    const TimeLocale& locale() const { return locale_; }

    // Format and DisplayFormat. A new Format rebuilds the layout and splits the time again.
    const std::string& format() const { return format_; }
    Assign setFormat(std::string_view format);
    const std::string& displayFormat() const { return displayFormat_; }
    void setDisplayFormat(std::string_view format);
    const TimeFormat& formatTable() const { return table_; }
    const EditLayout& layout() const { return layout_; }

    // PromptChar: exactly one single-byte character (not NUL).
    char promptChar() const { return prompt_; }
    Assign setPromptChar(std::string_view prompt);

    // Limits, both times of day. A MinTime above the time raises the time to it; a MaxTime below
    // the time lowers it. An empty control stays empty.
    std::int32_t minTime() const { return limits_.minTime; }
    std::int32_t maxTime() const { return limits_.maxTime; }
    Assign setMinTime(std::int32_t number);
    Assign setMaxTime(std::int32_t number);

    // Number (999999 clears), Value, Text and SelText.
    std::int32_t number() const { return number_; }
    Assign setNumber(std::int32_t number);
    // Empty for an empty control, else the day fraction of the current fields.
    std::optional<double> value() const;
    Assign setValue(double value);
    Assign setText(std::string_view text);
    // Replaces the selected part of the edit text and reads the whole text as Text does.
    Assign setSelText(int selStart, int selLength, std::string_view text);

    // ClearControl, and an Empty or Null assigned to Value or Number: the no-time marker with every
    // field showing the prompt character.
    void clear();
    // The KeyNow key: the given current time of day, leaving the empty state.
    void setCurrentTime(std::int32_t clockNumber);

    bool isEmpty() const { return empty_ || number_ == kNoTime; }
    // Hour, Minute, Second: the fields as the Format shows them, -1 while empty or incomplete.
    int hour() const;
    int minute() const;
    int second() const;
    // AMPM: the table text for the current state, "" without an AM/PM field or time.
    std::string ampmText() const;
    // DispText: the display text (DisplayFormat, or the Format when it is empty).
    std::string dispText() const;
    const std::string& editText() const { return editText_; }

    // --- Editing while the control has the focus ---
    // Focus entry remembers the time (Escape and InvalidRange put it back) and the text (Change).
    void beginEdit();
    std::int32_t entryNumber() const { return entryNumber_; }
    // Takes the edit text as the committed one and answers whether it differs from the text
    // committed before (or found at focus entry): only then has the user changed the time. An edit
    // that is put back, or abandoned half-typed, so changes nothing.
    bool noteCommit();
    // The keystroke engine changes the fields and lets the model rebuild the text from them.
    const TimeFields& fields() const { return fields_; }
    void setEditFields(const TimeFields& fields);
    // The validation of the current fields and edit text (see time_validation.h).
    bool validate(unsigned flags) const;
    // After an accepted keystroke: a complete time that passes the commit check becomes the time
    // number. Returns whether the time number was taken from the fields.
    bool commitEdit();
    // The check when the focus leaves. false means InvalidRange: the caller fires the event and, if
    // the handler left the time as it was, calls restoreEntryTime().
    bool finishEdit();
    void restoreEntryTime();
    // A spin step: the complete fields become the time number as they stand.
    void adoptFields();

    // Load from persisted state. A Format that does not parse falls back to the locale default;
    // limits out of order fall back to the defaults; a stored 999999 loads an empty control.
    void restore(const StoredTime& stored);

private:
    bool applyFormat(std::string_view format);
    bool acceptable(std::int32_t number, unsigned flags) const;
    void showNumber(std::int32_t number); // takes a checked number, leaves the empty state
    void rebuildText();
    int fieldOrMinusOne(std::int32_t value) const;

    TimeLocale locale_;
    std::string format_;
    TimeFormat table_;
    EditLayout layout_;
    std::string displayFormat_;
    char prompt_ = '_';
    TimeLimits limits_;
    std::int32_t number_ = kNoTime;
    TimeFields fields_;
    bool empty_ = false;
    std::string editText_;
    std::int32_t entryNumber_ = kNoTime;
    std::string committedText_;
};

} // namespace vxtime
