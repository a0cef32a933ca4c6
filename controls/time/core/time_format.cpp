#include "time_format.h"

namespace vxtime {

const FormatField* TimeFormat::find(FieldKind kind) const {
    for (const FormatField& f : fields)
        if (f.kind == kind) return &f;
    return nullptr;
}

namespace {

std::optional<FieldKind> numberFieldOf(char c) {
    switch (c) {
    case 'h':
        return FieldKind::Hour;
    case 'm':
        return FieldKind::Minute;
    case 's':
        return FieldKind::Second;
    default:
        return std::nullopt;
    }
}

class FormatWalk {
public:
    FormatWalk(std::string_view format, const TimeLocale& locale) : in_(format), locale_(locale) {}

    std::optional<TimeFormat> run() {
        while (pos_ < in_.size())
            if (!step()) return std::nullopt;
        if (out_.fields.empty()) return std::nullopt;
        return std::move(out_);
    }

private:
    bool step() {
        const char c = in_[pos_];
        if (locale_.leadBytes.isLead(c)) return literal(charLength(in_, pos_, locale_.leadBytes));
        if (auto kind = numberFieldOf(c)) return numberLetter(*kind);
        if (c == 'a' || c == 'A') return ampmToken();
        if (c == '\\') {
            ++pos_; // the escape itself is not part of the mask; a final one is kept as text
            if (pos_ == in_.size()) {
                out_.mask += '\\';
                return true;
            }
            return literal(charLength(in_, pos_, locale_.leadBytes));
        }
        return literal(1);
    }

    bool literal(std::size_t length) {
        out_.mask.append(in_.substr(pos_, length));
        pos_ += length;
        lastLetter_ = 0;
        return true;
    }

    bool numberLetter(FieldKind kind) {
        const char c = in_[pos_];
        if (c == lastLetter_) {
            FormatField& f = out_.fields.back();
            if (f.extra >= 1) return false; // a third letter
            ++f.extra;
        } else {
            if (out_.find(kind)) return false; // the same field in a second place
            out_.fields.push_back({kind, static_cast<int>(out_.mask.size()), 0});
        }
        out_.mask += c;
        lastLetter_ = c;
        ++pos_;
        return true;
    }

    bool ampmToken() {
        const int token = matchAmPmToken(in_.substr(pos_));
        if (token < 0 || out_.hasAmPm()) return false;
        const auto length = static_cast<int>(kAmPmTokens[token].size());
        out_.fields.push_back({FieldKind::AmPm, static_cast<int>(out_.mask.size()), length - 1});
        out_.ampmToken = token;
        out_.mask.append(kAmPmTokens[token]);
        pos_ += length;
        lastLetter_ = 0;
        return true;
    }

    std::string_view in_;
    const TimeLocale& locale_;
    std::size_t pos_ = 0;
    char lastLetter_ = 0;
    TimeFormat out_;
};

} // namespace

std::optional<TimeFormat> parseFormat(std::string_view format, const TimeLocale& locale) {
    if (!locale.japanese() && format.find(kAmPmTokens[kAmPmTokenJapanese]) != std::string_view::npos)
        return std::nullopt;
    return FormatWalk(format, locale).run();
}

std::string defaultFormat(const TimeLocale& locale) {
    std::string format = locale.leadingZero ? "hh" : "h";
    format += locale.timeSeparator + "mm" + locale.timeSeparator + "ss";
    if (!locale.twentyFourHour) {
        const std::string token(locale.japanese() ? "AMPM" : "AM/PM");
        format = locale.ampmBeforeTime ? token + " " + format : format + " " + token;
    }
    if (!parseFormat(format, locale)) return std::string(kFallbackFormat);
    return format;
}

} // namespace vxtime
