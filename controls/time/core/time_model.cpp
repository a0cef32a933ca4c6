#include "time_model.h"

#include "field_typing.h"
#include "time_text.h"

#include <algorithm>

namespace vxtime {

TimeModel::TimeModel(TimeLocale locale, std::int32_t clockNumber) : locale_(std::move(locale)) {
    applyFormat(defaultFormat(locale_));
    displayFormat_ = format_;
    if (isTimeOfDay(clockNumber))
        showNumber(clockNumber);
    else
        clear();
}

bool TimeModel::applyFormat(std::string_view format) {
    auto parsed = parseFormat(format, locale_);
    if (!parsed) return false;
    format_ = std::string(format);
    table_ = std::move(*parsed);
    layout_ = makeEditLayout(table_, locale_.ampmTable);
    // The hour field depends on the Format's AM/PM field, so the fields are split again.
    if (isEmpty())
        clear();
    else
        showNumber(number_);
    return true;
}

Assign TimeModel::setFormat(std::string_view format) {
    return applyFormat(format) ? Assign::Accepted : Assign::Invalid;
}

void TimeModel::setDisplayFormat(std::string_view format) {
    displayFormat_ = std::string(format);
}

Assign TimeModel::setPromptChar(std::string_view prompt) {
    if (prompt.size() != 1 || prompt[0] == '\0' || locale_.leadBytes.isLead(prompt[0]))
        return Assign::Invalid;
    prompt_ = prompt[0];
    rebuildText();
    return Assign::Accepted;
}

Assign TimeModel::setMinTime(std::int32_t number) {
    // Raising the time to a limit that is no time of day would show a minute of 70.
    if (number < kMidnight || number > limits_.maxTime || !isTimeOfDay(number)) return Assign::Invalid;
    limits_.minTime = number;
    if (!isEmpty() && number_ < number) showNumber(number);
    return Assign::Accepted;
}

Assign TimeModel::setMaxTime(std::int32_t number) {
    if (number < limits_.minTime || number > kLastSecond || !isTimeOfDay(number)) return Assign::Invalid;
    // A time half typed over prompts would be overwritten when the limit lowers it, so that is
    // refused; an empty control has no time to move, and the limit waits for the time entered.
    const TimeFields fields = splitTime(number, table_.hourStyle());
    if (!isEmpty() && !validateTime({fields, layout_, limits_, editText_, prompt_}, kCheckPrompts))
        return Assign::Invalid;
    limits_.maxTime = number;
    if (!isEmpty() && number_ > number) showNumber(number);
    return Assign::Accepted;
}

bool TimeModel::acceptable(std::int32_t number, unsigned flags) const {
    // The field check covers only the fields the Format shows; a number must still be a time of day.
    if (!isTimeOfDay(number)) return false;
    const TimeFields fields = splitTime(number, table_.hourStyle());
    return validateTime({fields, layout_, limits_, editText_, prompt_}, flags);
}

Assign TimeModel::setNumber(std::int32_t number) {
    if (number == kNoTime) {
        clear();
        return Assign::Accepted;
    }
    if (!acceptable(number, kCheckNumber)) return Assign::OutOfRange;
    showNumber(number);
    return Assign::Accepted;
}

std::optional<double> TimeModel::value() const {
    if (isEmpty()) return std::nullopt;
    const std::int32_t joined = joinTime(fields_, table_.hourStyle());
    return numberToValue(joined >= 0 ? joined : number_);
}

Assign TimeModel::setValue(double value) {
    const auto number = valueToNumber(value);
    if (!number) return Assign::OutOfRange;
    return setNumber(*number);
}

Assign TimeModel::setText(std::string_view text) {
    const auto number = parseTimeText(text, layout_, locale_.ampmTable, prompt_);
    if (!number) return Assign::OutOfRange;
    return setNumber(*number);
}

Assign TimeModel::setSelText(int selStart, int selLength, std::string_view text) {
    std::string whole = editText_;
    const auto size = static_cast<int>(whole.size());
    const int start = std::clamp(selStart, 0, size);
    const int length = std::clamp(selLength, 0, size - start);
    whole.replace(start, length, text);
    return setText(whole);
}

void TimeModel::clear() {
    number_ = kNoTime;
    // Every number field not typed yet, and no AM/PM state: a 0 the user types is then a digit of
    // its own, not the blank of an empty control.
    fields_ = TimeFields{kEmptyField, kEmptyField, kEmptyField, kAmPmNone};
    empty_ = true;
    rebuildText();
}

void TimeModel::setCurrentTime(std::int32_t clockNumber) {
    if (isTimeOfDay(clockNumber)) showNumber(clockNumber);
}

void TimeModel::showNumber(std::int32_t number) {
    number_ = number;
    fields_ = splitTime(number, table_.hourStyle());
    empty_ = false;
    rebuildText();
}

void TimeModel::rebuildText() {
    editText_ = buildEditText(layout_, {fields_, number_, empty_}, locale_.ampmTable, prompt_);
}

int TimeModel::fieldOrMinusOne(std::int32_t value) const {
    if (isEmpty() || joinTime(fields_, table_.hourStyle()) < 0) return -1;
    return value;
}

int TimeModel::hour() const {
    return fieldOrMinusOne(fields_.hour);
}
int TimeModel::minute() const {
    return fieldOrMinusOne(fields_.minute);
}
int TimeModel::second() const {
    return fieldOrMinusOne(fields_.second);
}

std::string TimeModel::ampmText() const {
    if (!table_.hasAmPm() || isEmpty()) return {};
    return locale_.ampmTable.text(table_.ampmToken, fields_.ampm);
}

std::string TimeModel::dispText() const {
    const std::string& pattern = displayFormat_.empty() ? format_ : displayFormat_;
    return buildDisplayText(pattern, {fields_, table_.hourStyle(), isEmpty(), prompt_}, locale_);
}

void TimeModel::beginEdit() {
    entryNumber_ = number_;
    committedText_ = editText_;
}

bool TimeModel::noteCommit() {
    if (editText_ == committedText_) return false;
    committedText_ = editText_;
    return true;
}

void TimeModel::setEditFields(const TimeFields& fields) {
    fields_ = fields;
    empty_ = false;
    rebuildText();
}

bool TimeModel::validate(unsigned flags) const {
    return validateTime({fields_, layout_, limits_, editText_, prompt_}, flags);
}

bool TimeModel::commitEdit() {
    const std::int32_t joined = joinTime(fields_, table_.hourStyle());
    if (joined < 0 && number_ == kNoTime) return false; // still typing into an empty control
    if (!validate(kCheckCommit)) return false;
    number_ = joined;
    return true;
}

bool TimeModel::finishEdit() {
    if (allFieldsPrompt(layout_, editText_, prompt_)) {
        clear();
        return true;
    }
    if (!validate(kCheckCommit)) return false;
    number_ = joinTime(fields_, table_.hourStyle());
    return true;
}

void TimeModel::restoreEntryTime() {
    if (entryNumber_ == kNoTime || !isTimeOfDay(entryNumber_))
        clear();
    else
        showNumber(entryNumber_);
}

void TimeModel::adoptFields() {
    const std::int32_t joined = joinTime(fields_, table_.hourStyle());
    if (joined >= 0) number_ = joined;
}

void TimeModel::restore(const StoredTime& stored) {
    if (!applyFormat(stored.format) && !applyFormat(defaultFormat(locale_))) applyFormat(kFallbackFormat);
    displayFormat_ = stored.displayFormat.value_or(format_); // the Format as it was applied
    if (setPromptChar(stored.promptChar) != Assign::Accepted) prompt_ = '_';
    const bool ordered =
        isTimeOfDay(stored.minTime) && isTimeOfDay(stored.maxTime) && stored.minTime <= stored.maxTime;
    limits_ = ordered ? TimeLimits{stored.minTime, stored.maxTime} : TimeLimits{};
    if (isTimeOfDay(stored.number))
        showNumber(stored.number);
    else
        clear();
}

} // namespace vxtime
