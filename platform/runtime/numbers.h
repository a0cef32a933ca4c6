#pragma once
// Number routines of the language: Val, rounding halves to even, and Trim.
#include <optional>
#include <string>
#include <string_view>

namespace runtime {

// Val: the number at the start of a text, blanks (spaces, tabs, line feeds) ignored anywhere in it,
// "&H"/"&O" prefixes read as hex/octal; 0 when no number starts the text. Never fails. Always "."
// as the decimal point, whatever the user's or the C library's locale: "1154,835" reads as 1154.
double Val(std::string_view text);

// A number written with "." as the decimal point, at most `significant` digits, no trailing zeros,
// "E+nn" for very large or small numbers ("1.5", "1E+20"). Never the C library's locale.
std::string invariantNumberText(double v, int significant);

// Reads a whole text as a number with the given separators: blanks around it, a sign, digits with
// group separators (before the decimal separator only), one decimal separator, an exponent with
// E or D, or an "&H"/"&O" integer. Anything else is no number.
std::optional<double> readNumber(std::string_view text, std::string_view decimalSeparator,
                                 std::string_view groupSeparator);

// Rounds to the nearest whole number, halves to the even one (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double roundHalfEven(double v);
// Rounds to `digits` decimals, halves to even (the language's Round).
double roundHalfEven(double v, int digits);

std::string Trim(std::string_view s); // leading and trailing spaces removed (spaces only, as the language)
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
// Case-insensitive comparison of ASCII texts, as the program's "compare upper-cased" checks.
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace runtime
