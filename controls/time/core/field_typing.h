// The arithmetic of typing a digit into a number field and of deleting from one.
//
// A field value is signed: a negative value is an incomplete field whose typed digits stand at their
// places and whose zero places at the right still show the prompt character ("2_" is -20). A field
// emptied by deletion is kEmptyField, which shows "__" and types like an empty field; "0_" is
// kZeroTens.
#pragma once

#include "time_validation.h"

namespace vxtime {

inline constexpr std::int32_t kEmptyField = -100;
// A field whose tens digit was typed as 0 while its units place is still empty ("0_"): the sign of
// an incomplete field cannot mark a zero, so it has a value of its own.
inline constexpr std::int32_t kZeroTens = -1000;

struct DigitTyped {
    std::int32_t value;
    bool refused = false; // the keystroke beeps and fires InvalidInput (the value may still change)
    bool skipOne = false; // the digit went to the units place: the caret moves one position further
    bool operator==(const DigitTyped&) const = default;
};

// Typing `digit` with `placesRight` digit positions of the field right of the caret (1 on the tens
// place, 0 on the units place). `promptRight` says the character right of the caret is the prompt.
// A value too large for the field either starts over at the units place (when even its tens digit
// is too large) or keeps the tens digit and empties the rest; a value too small empties the rest.
DigitTyped typeDigit(std::int32_t value, FieldRange range, int placesRight, int digit, bool promptRight);

// The AM/PM state a typed character sets in the AM/PM field ("a"/"A" morning, "p"/"P" afternoon),
// 0 for a character the field refuses.
int ampmFromKey(char c);

// Deleting at a digit position empties it and the digits right of it within the field.
std::int32_t deleteDigits(std::int32_t value, int placesRight);

} // namespace vxtime
