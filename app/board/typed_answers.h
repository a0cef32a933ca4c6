#pragma once
// Reading what the clerk types into the editing operations' input boxes: a number of parts and a
// date. Both are read strictly: a slip of the keyboard must not ship the wrong number of parts or move
// shipments to another century.
#include "runtime/ole_date.h"

#include <optional>
#include <string>

namespace board {

struct PartsAnswer {
    enum class Kind {
        Parts,    // a whole number of parts, 0 or more
        Empty,    // nothing typed
        Negative, // a whole number below zero
        NotWhole, // anything else: decimals, exponents, words, "&H" numbers, misplaced digit grouping
        TooLarge  // more than a quantity can hold
    };
    Kind kind = Kind::Empty;
    long long parts = 0;
};

// A whole number of parts as the clerk writes it, with the user's digit grouping ("1,200" in en_US,
// "1.200" in de_DE) or without.
PartsAnswer readPartsAnswer(const std::string& text);

// The day a typed answer names, without any time typed after it; empty when the text holds no date
// (also a time of day alone, which the language would read as a day in 1899).
std::optional<runtime::Date> readDateAnswer(const std::string& text);

} // namespace board
