#include "variant.h"

#include "error.h"
#include "locale_text.h"
#include "numbers.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace runtime {

namespace {

const char* kSource = "Dorvane";

// A text as the language's numeric conversions read it, in the user's locale.
std::optional<double> parseNumber(const std::string& text) {
    return parseLocaleNumber(text);
}

double checkedWhole(double v, double lo, double hi) {
    double r = roundHalfEven(v);
    if (!(r >= lo && r <= hi)) raise(err::Overflow, kSource);
    return r;
}

} // namespace

Currency Currency::fromDouble(double v) {
    double scaled = roundHalfEven(v * 10000.0);
    if (!(std::fabs(scaled) < 9.2233720368547758e18)) raise(err::Overflow, kSource);
    return Currency{std::int64_t(scaled)};
}

Variant::Variant(long v) {
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        raise(err::Overflow, kSource);
    v_ = std::int32_t(v);
}

Variant::Variant(long long v) {
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        raise(err::Overflow, kSource);
    v_ = std::int32_t(v);
}

Variant Variant::null() {
    Variant v;
    v.v_ = NullTag{};
    return v;
}

VarType Variant::type() const {
    static constexpr VarType order[] = {VarType::Empty, VarType::Null,   VarType::Boolean, VarType::Integer,
                                        VarType::Long,  VarType::Single, VarType::Double,  VarType::Currency,
                                        VarType::Date,  VarType::String, VarType::Bytes};
    return order[v_.index()];
}

bool Variant::isNumeric() const {
    switch (type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
        return true;
    case VarType::String:
        return parseNumber(std::get<std::string>(v_)).has_value();
    default:
        return false;
    }
}

bool Variant::isDate() const {
    if (type() == VarType::Date) return true;
    if (type() == VarType::String) return parseDateText(std::get<std::string>(v_)).has_value();
    return false;
}

double Variant::toDouble() const {
    switch (type()) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        raise(err::InvalidUseOfNull, kSource);
    case VarType::Boolean:
        return std::get<bool>(v_) ? -1 : 0;
    case VarType::Integer:
        return std::get<std::int16_t>(v_);
    case VarType::Long:
        return std::get<std::int32_t>(v_);
    case VarType::Single:
        return std::get<float>(v_);
    case VarType::Double:
        return std::get<double>(v_);
    case VarType::Currency:
        return std::get<Currency>(v_).toDouble();
    case VarType::Date:
        return std::get<Date>(v_).serial;
    case VarType::String:
        if (auto n = parseNumber(std::get<std::string>(v_))) return *n;
        raise(err::TypeMismatch, kSource);
    case VarType::Bytes:
        break;
    }
    raise(err::TypeMismatch, kSource);
}

bool Variant::toBool() const {
    if (type() == VarType::String) {
        const std::string& s = std::get<std::string>(v_);
        std::string t = Trim(s);
        if (equalsNoCase(t, "True")) return true;
        if (equalsNoCase(t, "False")) return false;
    }
    if (type() == VarType::Boolean) return std::get<bool>(v_);
    return toDouble() != 0;
}

std::int16_t Variant::toInteger() const {
    return std::int16_t(checkedWhole(toDouble(), -32768, 32767));
}

std::int32_t Variant::toLong() const {
    return std::int32_t(checkedWhole(toDouble(), -2147483648.0, 2147483647.0));
}

float Variant::toSingle() const {
    double d = toDouble();
    if (std::fabs(d) > std::numeric_limits<float>::max()) raise(err::Overflow, kSource);
    return float(d);
}

Currency Variant::toCurrency() const {
    if (type() == VarType::Currency) return std::get<Currency>(v_);
    return Currency::fromDouble(toDouble());
}

Date Variant::toDate() const {
    switch (type()) {
    case VarType::Date:
        return std::get<Date>(v_);
    case VarType::String: {
        const std::string& s = std::get<std::string>(v_);
        if (auto d = parseDateText(s)) return *d;
        if (auto n = parseNumber(s)) return Date{*n};
        raise(err::TypeMismatch, kSource);
    }
    case VarType::Null:
        raise(err::InvalidUseOfNull, kSource);
    default: {
        double d = toDouble();
        // The platform's dates run from year 100 to 9999.
        if (d < -657434.0 || d >= 2958466.0) raise(err::Overflow, kSource);
        return Date{d};
    }
    }
}

std::string Variant::toString() const {
    switch (type()) {
    case VarType::Empty:
        return "";
    case VarType::Null:
        raise(err::InvalidUseOfNull, kSource);
    case VarType::Boolean:
        return std::get<bool>(v_) ? "True" : "False";
    case VarType::Integer:
        return std::to_string(std::get<std::int16_t>(v_));
    case VarType::Long:
        return std::to_string(std::get<std::int32_t>(v_));
    case VarType::Single:
        return localeNumberText(std::get<float>(v_), 7);
    case VarType::Double:
        return localeNumberText(std::get<double>(v_), 15);
    case VarType::Currency:
        return localeNumberText(std::get<Currency>(v_).toDouble(), 15);
    case VarType::Date:
        return dateText(std::get<Date>(v_));
    case VarType::String:
        return std::get<std::string>(v_);
    case VarType::Bytes: {
        const Bytes& b = std::get<Bytes>(v_);
        return std::string(b.begin(), b.end());
    }
    }
    return "";
}

const Bytes& Variant::bytes() const {
    if (type() != VarType::Bytes) raise(err::TypeMismatch, kSource);
    return std::get<Bytes>(v_);
}

bool operator==(const Variant& a, const Variant& b) {
    return a.v_ == b.v_;
}

std::string numberText(double v) {
    return invariantNumberText(v, 15);
}

} // namespace runtime
