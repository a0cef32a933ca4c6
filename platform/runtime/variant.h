#pragma once
// A value as the program's language holds it: Empty, Null, Boolean, Integer (16-bit), Long (32-bit),
// Single, Double, Currency, Date, String or a byte array, with the language's conversion rules.
// This is also the type of every value that crosses the data-access layer.
#include "ole_date.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace runtime {

enum class VarType { Empty, Null, Boolean, Integer, Long, Single, Double, Currency, Date, String, Bytes };

// Currency: a fixed-point number with four decimals, kept as an integer count of 1/10000.
struct Currency {
    std::int64_t scaled = 0;
    static Currency fromDouble(double v); // rounds halves to even at the fourth decimal
    double toDouble() const { return double(scaled) / 10000.0; }
    friend bool operator==(Currency, Currency) = default;
};

using Bytes = std::vector<std::uint8_t>;

struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
};

class Variant {
public:
    Variant() = default; // Empty
    static Variant null();
    Variant(bool v) : v_(v) {}
    Variant(std::int16_t v) : v_(v) {}
    Variant(std::int32_t v) : v_(v) {}
    Variant(float v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(Currency v) : v_(v) {}
    Variant(Date v) : v_(v) {}
    Variant(std::string v) : v_(std::move(v)) {}
    Variant(const char* v) : v_(std::string(v)) {}
    Variant(Bytes v) : v_(std::move(v)) {}
    // Wider integers become Long, the language's usual integer; Overflow (6) when they do not fit.
    Variant(long v);
    Variant(long long v);

    VarType type() const;
    bool isEmpty() const { return type() == VarType::Empty; }
    bool isNull() const { return type() == VarType::Null; }
    bool isNumeric() const; // IsNumeric: numbers, Booleans, Empty, and texts that read as a number
    bool isDate() const;    // IsDate: dates and texts that read as a date in the user's locale

    // Conversions with the language's rules; texts are read with the user's locale's separators
    // (parseLocaleNumber), never the C library's. Null raises "Invalid use of Null" (94), a text that is
    // not a number raises "Type mismatch" (13), out of range raises "Overflow" (6). Empty reads as
    // 0, False or "". Integer conversions round halves to even.
    bool toBool() const;            // CBool
    std::int16_t toInteger() const; // CInt
    std::int32_t toLong() const;    // CLng
    float toSingle() const;         // CSng
    double toDouble() const;        // CDbl
    Currency toCurrency() const;    // CCur
    Date toDate() const;            // CDate (texts read with the user's locale)
    std::string toString() const;   // CStr: numbers as the language prints them with the locale's
                                    // decimal separator, dates as short date (with the time when
                                    // there is one), Booleans "True"/"False"
    const Bytes& bytes() const;     // the byte array; Type mismatch for anything else

    // The raw alternatives, for code that switches on the type.
    using Storage = std::variant<std::monostate, NullTag, bool, std::int16_t, std::int32_t, float, double,
                                 Currency, Date, std::string, Bytes>;
    const Storage& storage() const { return v_; }

    // Equality as the data layer needs it: same type and value (Null equals Null here).
    friend bool operator==(const Variant& a, const Variant& b);

private:
    Storage v_;
};

// The language's text of a Double with "." whatever the locale, as SQL and files need it: up to 15
// significant digits, no trailing zeros, "E+nn" form for very large or small numbers ("1.5", "0.1",
// "1E+20", "-3").
std::string numberText(double v);

} // namespace runtime
