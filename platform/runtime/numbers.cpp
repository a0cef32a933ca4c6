#include "numbers.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
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
    return std::strtod(num.c_str(), nullptr);
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
