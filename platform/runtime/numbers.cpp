#include "numbers.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace runtime {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Val reads an integer in base 16 or 8 after "&H" / "&O"; the result wraps like the language's
// 16- or 32-bit integer literal ("&HFFFF" is -1).
double radixValue(const std::string& digits, int base) {
    if (digits.empty()) return 0;
    unsigned long long v = std::strtoull(digits.c_str(), nullptr, base);
    if (v <= 0xFFFF) return double(std::int16_t(std::uint16_t(v)));
    return double(std::int32_t(std::uint32_t(v)));
}

// A number in the form "-123.45e-6" (sign, digits, point, exponent) read without any locale.
// Beyond the range of a Double it is infinite, below it 0, as the C library would read it.
double invariantValue(const std::string& num) {
    std::string_view s = num;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range) {
        if (s.find("e-") != std::string_view::npos) return 0;
        return s.starts_with('-') ? -std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::infinity();
    }
    return ec == std::errc() ? v : 0;
}

} // namespace

double Val(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (!isBlank(c)) s += c;

    if (s.size() >= 2 && s[0] == '&') {
        char kind = char(std::toupper(static_cast<unsigned char>(s[1])));
        int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
        if (base) {
            std::string digits;
            for (size_t i = 2; i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])) &&
                               (base == 16 || (s[i] >= '0' && s[i] <= '7'));
                 ++i)
                digits += s[i];
            return radixValue(digits, base);
        }
    }

    // Sign, digits, one decimal point, then an exponent with E or D (the language's double marker).
    std::string num;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            num += s[i];
            digits = true;
        } else if (s[i] == '.' && !point) {
            num += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::string exp = "e";
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
        size_t start = j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
            exp += s[j++];
        if (j > start) num += exp;
    }
    return invariantValue(num);
}

std::string invariantNumberText(double v, int significant) {
    if (v == 0) return "0";
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-Inf" : "Inf";
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, significant);
    std::string s(buf, result.ptr);
    for (char& c : s) // the language writes "1E+20" where the C library writes "1e+20"
        if (c == 'e') c = 'E';
    return s;
}

std::optional<double> readNumber(std::string_view text, std::string_view decimalSeparator,
                                 std::string_view groupSeparator) {
    std::string t = Trim(text);
    while (!t.empty() && (t.back() == '\t' || t.back() == '\n' || t.back() == '\r'))
        t.pop_back();
    if (t.empty()) return std::nullopt;
    if (t.size() > 2 && t[0] == '&' &&
        (std::toupper(static_cast<unsigned char>(t[1])) == 'H' ||
         std::toupper(static_cast<unsigned char>(t[1])) == 'O')) {
        for (size_t i = 2; i < t.size(); ++i)
            if (!std::isxdigit(static_cast<unsigned char>(t[i]))) return std::nullopt;
        return Val(t);
    }
    std::string_view rest = t;
    std::string clean;
    if (rest.front() == '+' || rest.front() == '-') {
        clean += rest.front();
        rest.remove_prefix(1);
    }
    bool digits = false, point = false;
    while (!rest.empty()) {
        if (std::isdigit(static_cast<unsigned char>(rest.front()))) {
            clean += rest.front();
            digits = true;
            rest.remove_prefix(1);
        } else if (!point && !decimalSeparator.empty() && rest.starts_with(decimalSeparator)) {
            clean += '.';
            point = true;
            rest.remove_prefix(decimalSeparator.size());
        } else if (!point && digits && !groupSeparator.empty() && rest.starts_with(groupSeparator)) {
            rest.remove_prefix(groupSeparator.size());
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (!rest.empty() &&
        (rest.front() == 'E' || rest.front() == 'e' || rest.front() == 'D' || rest.front() == 'd')) {
        clean += 'e';
        rest.remove_prefix(1);
        if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
            clean += rest.front();
            rest.remove_prefix(1);
        }
        size_t count = 0;
        while (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest.front()))) {
            clean += rest.front();
            rest.remove_prefix(1);
            ++count;
        }
        if (count == 0) return std::nullopt;
    }
    if (!rest.empty()) return std::nullopt;
    return invariantValue(clean);
}

double roundHalfEven(double v) {
    if (!std::isfinite(v)) return v;
    double floor = std::floor(v);
    double diff = v - floor;
    if (diff > 0.5) return floor + 1;
    if (diff < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

double roundHalfEven(double v, int digits) {
    if (digits <= 0) return roundHalfEven(v);
    double scale = std::pow(10.0, digits);
    // Decide on the decimal text's digits, not on the binary product, so 2.675 (stored as
    // 2.67499999...) rounds as typed numbers with 15 significant digits do.
    double scaled = v * scale;
    double nearest = std::round(scaled * 1e6) / 1e6;
    return roundHalfEven(nearest) / scale;
}

std::string LTrim(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && s[b] == ' ')
        ++b;
    return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && s[e - 1] == ' ')
        --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
    return LTrim(RTrim(s));
}

std::string UCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

std::string LCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace runtime
