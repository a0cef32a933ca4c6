#include "field_typing.h"

#include <cstdlib>

namespace vxtime {

namespace {

int power10(int n) {
    int p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

int digitCount(int n) {
    int count = 1;
    while (n >= 10)
        n /= 10, ++count;
    return count;
}

// The field with the places right of the caret emptied.
std::int32_t emptyRight(std::int32_t magnitude, int places) {
    return -(magnitude - magnitude % power10(places));
}

} // namespace

DigitTyped typeDigit(std::int32_t v, FieldRange range, int k, int digit, bool promptRight) {
    if (v == kEmptyField || v == kZeroTens) {
        v = 0;
        promptRight = true;
    }
    const int lo = range.low, hi = range.high;
    const int g = power10(k);

    int s = v < lo ? -1 : 1;
    if (k > 0 && lo == 0) s = promptRight ? -1 : 1;
    const std::int32_t m = std::abs(v);
    v = v + s * (digit * g + m % g - m % (10 * g));
    if (k == 0) v = std::abs(v);

    DigitTyped out{v};
    const std::int32_t a = std::abs(v);
    if (a > hi) {
        const int t = power10(digitCount(hi) - 1);
        const int threshold = t + hi - hi % t; // 30 for 23, 60 for 59, 20 for 12
        if (a >= threshold) {
            out.value = digit;
            out.skipOne = true;
        } else {
            // The digit itself took the field over its limit: refuse it and empty its place too.
            const bool digitTooLarge = hi / g < a / g;
            out.refused = digitTooLarge;
            out.value = emptyRight(a, digitTooLarge ? k + 1 : k);
            if (out.value == 0) out.value = kEmptyField; // every place emptied
        }
    } else if (a < lo) {
        const int o = lo % g;
        const std::int32_t u = a - a % g;
        if (lo - o >= u) out.value = emptyRight(a, k);
        out.refused = u < lo - o;
        if (out.value == 0) out.value = kZeroTens; // the typed 0 stays, its units place empty
    } else if (v == 0 && s < 0 && k > 0) {
        out.value = kZeroTens; // a 0 typed on the tens of an incomplete field
    }
    return out;
}

int ampmFromKey(char c) {
    switch (c) {
    case 'a':
    case 'A':
        return kAm;
    case 'p':
    case 'P':
        return kPm;
    default:
        return kAmPmNone;
    }
}

std::int32_t deleteDigits(std::int32_t value, int placesRight) {
    if (value == kEmptyField) return kEmptyField;
    if (value == kZeroTens) return placesRight > 0 ? kEmptyField : kZeroTens;
    const std::int32_t v = emptyRight(std::abs(value), placesRight + 1);
    return v == 0 ? kEmptyField : v;
}

} // namespace vxtime
