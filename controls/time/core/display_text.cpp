#include "display_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace vxtime {

namespace {

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), upper);
    return out;
}

// The digits an incomplete (negative) field holds so far.
int typed(std::int32_t field) {
    return std::abs(field) % 100;
}

// The hour as 0-23 from the hour field of the edit Format: 12 reads as 0 and PM adds 12.
int hour24(const TimeFields& f, HourStyle style) {
    const int hour = typed(f.hour);
    if (!style.twelveHour()) return hour;
    return hour % 12 + (f.ampm == kPm ? 12 : 0);
}

class DisplayWalk {
public:
    DisplayWalk(std::string_view pattern, const DisplayInput& in, const TimeLocale& locale)
        : pattern_(pattern), in_(in), locale_(locale), hour24_(hour24(in.fields, in.editStyle)) {
        const std::string up = upperCase(pattern);
        twelveHour_ = up.find("A/P") != std::string::npos || up.find("AMPM") != std::string::npos ||
                      up.find("AM/PM") != std::string::npos;
    }

    std::string run() {
        while (pos_ < pattern_.size())
            step();
        return std::move(out_);
    }

private:
    void step() {
        const char c = pattern_[pos_];
        if (locale_.leadBytes.isLead(c)) return copy(charLength(pattern_, pos_, locale_.leadBytes));
        switch (upper(c)) {
        case 'H':
            return number(shownHour());
        case 'M':
            return number(typed(in_.fields.minute));
        case 'S':
            return number(typed(in_.fields.second));
        case 'A':
            return ampm();
        case '\\':
            if (pos_ + 1 == pattern_.size()) return copy(1);
            ++pos_;
            return copy(charLength(pattern_, pos_, locale_.leadBytes));
        default:
            return copy(1);
        }
    }

    int shownHour() const {
        if (!twelveHour_) return hour24_;
        const int hour = hour24_ % 12;
        return hour == 0 ? 12 : hour;
    }

    void number(int value) {
        const char letter = upper(pattern_[pos_]);
        const bool padded = pos_ + 1 < pattern_.size() && upper(pattern_[pos_ + 1]) == letter;
        pos_ += padded ? 2 : 1;
        if (in_.noTime) {
            out_.append(padded ? 2 : 1, in_.prompt);
            return;
        }
        char digits[16];
        std::snprintf(digits, sizeof digits, padded ? "%02d" : "%d", value);
        out_ += digits;
    }

    void ampm() {
        const int token = matchAmPmToken(pattern_.substr(pos_));
        if (token < 0) return copy(1);
        pos_ += kAmPmTokens[token].size();
        const AmPmTable& table = locale_.ampmTable;
        if (in_.noTime) {
            out_.append(table.width(token), in_.prompt);
            return;
        }
        out_ += table.text(token, hour24_ > 11 ? kPm : kAm);
    }

    void copy(std::size_t length) {
        out_.append(pattern_.substr(pos_, length));
        pos_ += length;
    }

    std::string_view pattern_;
    const DisplayInput& in_;
    const TimeLocale& locale_;
    int hour24_;
    bool twelveHour_ = false;
    std::size_t pos_ = 0;
    std::string out_;
};

} // namespace

std::string buildDisplayText(std::string_view pattern, const DisplayInput& in, const TimeLocale& locale) {
    return DisplayWalk(pattern, in, locale).run();
}

} // namespace vxtime
