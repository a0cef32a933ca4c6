// The engine's functions that SQLite has no match for, as SQL functions of each connection: Like
// with the engine's patterns, date arithmetic and parts on the ISO texts dates are stored as,
// Format, Val and rounding with halves to even. The dialect layer calls them by their dao_ names.
#include "sqlite_functions.h"

#include "runtime/locale_text.h"
#include "runtime/numbers.h"
#include "runtime/ole_date.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace dao {
namespace {

std::string textOf(sqlite3_value* v) {
    auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string(p, size_t(sqlite3_value_bytes(v))) : std::string();
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

char folded(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

// The length of the UTF-8 character at s[i], so ? takes a whole letter.
size_t charLength(const std::string& s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    return std::min(n, s.size() - i);
}

// [abc], [a-z], [!a-z] at p[i] (just after '['); moves i past the closing bracket.
bool inClass(const std::string& p, size_t& i, char c) {
    bool negate = i < p.size() && p[i] == '!';
    if (negate) ++i;
    bool found = false;
    for (bool first = true; i < p.size() && (first || p[i] != ']'); first = false) {
        char low = p[i++];
        char high = low;
        if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
            high = p[i + 1];
            i += 2;
        }
        if (folded(c) >= folded(low) && folded(c) <= folded(high)) found = true;
    }
    ++i; // the ']'
    return found != negate;
}

// The engine's Like: * any run, ? one character, # one digit, [..] a class; letter case does not count.
bool likeMatch(const std::string& s, size_t si, const std::string& p, size_t pi) {
    while (pi < p.size()) {
        char pc = p[pi];
        if (pc == '*') {
            while (pi < p.size() && p[pi] == '*')
                ++pi;
            if (pi == p.size()) return true;
            for (size_t k = si; k <= s.size(); k += k < s.size() ? charLength(s, k) : 1)
                if (likeMatch(s, k, p, pi)) return true;
            return false;
        }
        if (si >= s.size()) return false;
        if (pc == '?') {
            si += charLength(s, si);
            ++pi;
        } else if (pc == '#') {
            if (!std::isdigit(static_cast<unsigned char>(s[si]))) return false;
            ++si, ++pi;
        } else if (pc == '[') {
            size_t i = pi + 1;
            if (!inClass(p, i, s[si])) return false;
            ++si;
            pi = i;
        } else {
            if (folded(pc) != folded(s[si])) return false;
            ++si, ++pi;
        }
    }
    return si == s.size();
}

void like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, likeMatch(textOf(argv[0]), 0, textOf(argv[1]), 0) ? 1 : 0);
}

std::optional<runtime::Date> dateOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return runtime::Date{sqlite3_value_double(v)};
    case SQLITE_TEXT:
        if (auto d = runtime::Date::tryIso(textOf(v))) return d;
        return runtime::parseDateText(textOf(v));
    default:
        return std::nullopt;
    }
}

void resultDate(sqlite3_context* ctx, runtime::Date d) {
    auto iso = d.iso();
    sqlite3_result_text(ctx, iso.c_str(), int(iso.size()), SQLITE_TRANSIENT);
}

int daysInMonth(int year, int month) {
    return runtime::Date::fromYmd(year, month + 1, 1).addDays(-1).day();
}

std::string lowerText(sqlite3_value* v) {
    std::string s = textOf(v);
    for (char& c : s)
        c = folded(c);
    return s;
}

// DateAdd(interval, number, date).
void dateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    auto d = dateOf(argv[2]);
    if (!d) return sqlite3_result_error(ctx, "DateAdd: the value is not a date", -1);
    std::string unit = lowerText(argv[0]);
    long n = long(std::lround(sqlite3_value_double(argv[1])));
    if (unit == "yyyy" || unit == "q" || unit == "m") {
        long months = n * (unit == "yyyy" ? 12 : unit == "q" ? 3 : 1);
        long index = long(d->year()) * 12 + (d->month() - 1) + months;
        int year = int(index / 12), month = int(index % 12) + 1;
        int day = std::min(d->day(), daysInMonth(year, month)); // the 31st becomes the month's last day
        return resultDate(ctx,
                          runtime::Date{runtime::Date::fromYmd(year, month, day).serial + d->timePart()});
    }
    double days = unit == "d" || unit == "y" || unit == "w" ? double(n)
                  : unit == "ww"                            ? 7.0 * double(n)
                  : unit == "h"                             ? double(n) / 24
                  : unit == "n"                             ? double(n) / 1440
                  : unit == "s"                             ? double(n) / 86400
                                                            : NAN;
    if (std::isnan(days)) return sqlite3_result_error(ctx, "DateAdd: unknown interval", -1);
    runtime::Date r{d->serial + days};
    resultDate(ctx,
               runtime::Date::fromYmdHms(r.year(), r.month(), r.day(), r.hour(), r.minute(), r.second()));
}

// date - x: the days between two dates, or the date x days earlier.
void dateSub(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    auto a = dateOf(argv[0]);
    if (!a) return sqlite3_result_error(ctx, "the value is not a date", -1);
    if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        auto b = dateOf(argv[1]);
        if (!b) return sqlite3_result_error(ctx, "a text cannot be taken from a date", -1);
        return sqlite3_result_double(ctx, a->serial - b->serial);
    }
    runtime::Date r{a->serial - sqlite3_value_double(argv[1])};
    resultDate(ctx,
               runtime::Date::fromYmdHms(r.year(), r.month(), r.day(), r.hour(), r.minute(), r.second()));
}

// A value the file keeps as a date: ISO text.
std::optional<runtime::Date> storedDate(sqlite3_value* v) {
    if (sqlite3_value_type(v) != SQLITE_TEXT) return std::nullopt;
    return runtime::Date::tryIso(textOf(v));
}

void resultDays(sqlite3_context* ctx, runtime::Date d, double days) {
    runtime::Date r{d.serial + days};
    resultDate(ctx, runtime::Date::fromYmdHms(r.year(), r.month(), r.day(), r.hour(), r.minute(), r.second()));
}

// Numbers as the engine adds them: whole numbers stay whole.
void resultSum(sqlite3_context* ctx, sqlite3_value* a, sqlite3_value* b, int sign) {
    if (sqlite3_value_numeric_type(a) == SQLITE_INTEGER && sqlite3_value_numeric_type(b) == SQLITE_INTEGER) {
        long long r = 0;
        if (!__builtin_add_overflow(sqlite3_value_int64(a), sign * sqlite3_value_int64(b), &r))
            return sqlite3_result_int64(ctx, r);
    }
    sqlite3_result_double(ctx, sqlite3_value_double(a) + sign * sqlite3_value_double(b));
}

// a + b where the statement cannot tell a date from a number (a field): a date plus days is a date,
// and two texts are joined.
void add(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    auto a = storedDate(argv[0]), b = storedDate(argv[1]);
    if (a && !b) return resultDays(ctx, *a, sqlite3_value_double(argv[1]));
    if (b && !a) return resultDays(ctx, *b, sqlite3_value_double(argv[0]));
    if (!a && sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        std::string joined = textOf(argv[0]) + textOf(argv[1]);
        return sqlite3_result_text(ctx, joined.data(), int(joined.size()), SQLITE_TRANSIENT);
    }
    resultSum(ctx, argv[0], argv[1], 1);
}

// a - b likewise: date minus date is the days between, date minus days a date.
void subtract(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    if (auto a = storedDate(argv[0])) {
        if (auto b = storedDate(argv[1])) return sqlite3_result_double(ctx, a->serial - b->serial);
        return resultDays(ctx, *a, -sqlite3_value_double(argv[1]));
    }
    resultSum(ctx, argv[0], argv[1], -1);
}

long long seconds(runtime::Date d) {
    return std::llround(d.serial * 86400.0);
}

// DateDiff(interval, date1, date2): boundaries crossed from date1 to date2.
void dateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    auto a = dateOf(argv[1]), b = dateOf(argv[2]);
    if (!a || !b) return sqlite3_result_error(ctx, "DateDiff: the value is not a date", -1);
    std::string unit = lowerText(argv[0]);
    auto day = [](runtime::Date d) { return static_cast<long long>(std::floor(d.datePart().serial)); };
    long long r = 0;
    if (unit == "yyyy")
        r = b->year() - a->year();
    else if (unit == "q")
        r = (b->year() * 4 + (b->month() - 1) / 3) - (a->year() * 4 + (a->month() - 1) / 3);
    else if (unit == "m")
        r = (b->year() * 12 + b->month()) - (a->year() * 12 + a->month());
    else if (unit == "d" || unit == "y")
        r = day(*b) - day(*a);
    else if (unit == "w")
        r = (day(*b) - day(*a)) / 7;
    else if (unit == "ww") // Sundays crossed
        r = ((day(*b) - (b->weekday() - 1)) - (day(*a) - (a->weekday() - 1))) / 7;
    else if (unit == "h")
        r = seconds(*b) / 3600 - seconds(*a) / 3600;
    else if (unit == "n")
        r = seconds(*b) / 60 - seconds(*a) / 60;
    else if (unit == "s")
        r = seconds(*b) - seconds(*a);
    else
        return sqlite3_result_error(ctx, "DateDiff: unknown interval", -1);
    sqlite3_result_int64(ctx, r);
}

// DatePart(interval, date), and Year, Month, Day, Weekday, Hour, Minute, Second through it.
void datePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    auto d = dateOf(argv[1]);
    if (!d) return sqlite3_result_error(ctx, "DatePart: the value is not a date", -1);
    std::string unit = lowerText(argv[0]);
    int dayOfYear = int(d->datePart().serial - runtime::Date::fromYmd(d->year(), 1, 1).serial) + 1;
    int r = unit == "yyyy" ? d->year()
            : unit == "q"  ? (d->month() - 1) / 3 + 1
            : unit == "m"  ? d->month()
            : unit == "y"  ? dayOfYear
            : unit == "d"  ? d->day()
            : unit == "w"  ? d->weekday()
            : unit == "ww" ? (dayOfYear + runtime::Date::fromYmd(d->year(), 1, 1).weekday() - 2) / 7 + 1
            : unit == "h"  ? d->hour()
            : unit == "n"  ? d->minute()
            : unit == "s"  ? d->second()
                           : -1;
    if (r < 0) return sqlite3_result_error(ctx, "DatePart: unknown interval", -1);
    sqlite3_result_int(ctx, r);
}

void dateSerial(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    resultDate(ctx, runtime::Date::fromYmd(sqlite3_value_int(argv[0]), sqlite3_value_int(argv[1]),
                                           sqlite3_value_int(argv[2])));
}

const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                         "July",    "August",   "September", "October", "November", "December"};
const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::string digits(int v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, v);
    return buf;
}

bool isSeparator(char c) {
    return std::string(" /:-.,").find(c) != std::string::npos;
}

// Whether the field after position i (separators skipped) is the seconds: "mm:ss" is minutes.
bool secondsFollow(const std::string& f, size_t i) {
    while (i < f.size() && isSeparator(f[i]))
        ++i;
    return i < f.size() && folded(f[i]) == 's';
}

// A date by the engine's format characters (d dd ddd dddd m mm mmm mmmm yy yyyy h hh n nn s ss
// AM/PM, "text", \c); false for a character that has no meaning here. An m or mm after an hour or
// before seconds, separators between, is the minute ("hh:mm", "mm:ss").
bool formatDate(runtime::Date d, const std::string& f, std::string& out) {
    bool afterHour = false;
    for (size_t i = 0; i < f.size();) {
        auto run = [&](char c) {
            size_t n = 0;
            while (i + n < f.size() && folded(f[i + n]) == c)
                ++n;
            return n;
        };
        char c = folded(f[i]);
        if (c == 'y') {
            size_t n = run('y');
            out += n >= 3 ? digits(d.year(), 4) : digits(d.year() % 100, 2);
            i += n;
        } else if (c == 'm') {
            size_t n = run('m');
            if (n <= 2 && (afterHour || secondsFollow(f, i + n)))
                out += n == 2 ? digits(d.minute(), 2) : std::to_string(d.minute());
            else
                out += n >= 4   ? kMonths[d.month() - 1]
                       : n == 3 ? std::string(kMonths[d.month() - 1]).substr(0, 3)
                       : n == 2 ? digits(d.month(), 2)
                                : std::to_string(d.month());
            i += n;
        } else if (c == 'd') {
            size_t n = run('d');
            out += n >= 4   ? kDays[d.weekday() - 1]
                   : n == 3 ? std::string(kDays[d.weekday() - 1]).substr(0, 3)
                   : n == 2 ? digits(d.day(), 2)
                            : std::to_string(d.day());
            i += n;
        } else if (c == 'h' || c == 'n' || c == 's') {
            size_t n = run(c);
            bool twelve = f.find("AM/PM") != std::string::npos || f.find("am/pm") != std::string::npos;
            int v = c == 'n'   ? d.minute()
                    : c == 's' ? d.second()
                    : twelve   ? (d.hour() + 11) % 12 + 1
                               : d.hour();
            out += n >= 2 ? digits(v, 2) : std::to_string(v);
            i += n;
            afterHour = c == 'h';
            continue;
        } else if (f.compare(i, 5, "AM/PM") == 0 || f.compare(i, 5, "am/pm") == 0) {
            std::string mark = d.hour() < 12 ? "AM" : "PM";
            out += f[i] == 'a' ? std::string(mark == "AM" ? "am" : "pm") : mark;
            i += 5;
        } else if (f[i] == '"') {
            size_t close = f.find('"', i + 1);
            if (close == std::string::npos) return false;
            out += f.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (f[i] == '\\' && i + 1 < f.size()) {
            out += f[i + 1];
            i += 2;
        } else if (isSeparator(f[i])) {
            out += f[i++];
            continue; // an hour before a minute keeps across a separator
        } else
            return false;
        afterHour = false;
    }
    return true;
}

// A date pattern of sections "a;b;c" gives a to a day with a time, b to a day alone and c to a time
// alone (how the regional general date shows them); a section left out or empty is the first.
std::string dateSection(const std::string& f, runtime::Date d) {
    std::vector<std::string> sections(1);
    bool quoted = false;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '"') quoted = !quoted;
        if (f[i] == ';' && !quoted) {
            sections.emplace_back();
            continue;
        }
        sections.back() += f[i];
        if (f[i] == '\\' && !quoted && i + 1 < f.size()) sections.back() += f[++i];
    }
    size_t k = !d.hasTime() ? 1 : d.datePart().serial == 0.0 ? 2 : 0;
    return k < sections.size() && !sections[k].empty() ? sections[k] : sections[0];
}

// A number by 0, #, thousands separators, decimals and %.
bool formatNumber(double v, const std::string& f, std::string& out) {
    if (f.find_first_not_of("0#,.%") != std::string::npos) return false;
    bool percent = f.find('%') != std::string::npos;
    if (percent) v *= 100;
    auto dot = f.find('.');
    int decimals = dot == std::string::npos ? 0 : int(f.size() - dot - 1 - (percent ? 1 : 0));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals,
                  std::nearbyint(v * std::pow(10.0, decimals)) / std::pow(10.0, decimals));
    std::string s = buf;
    if (f.find(',') != std::string::npos) {
        size_t end = s.find('.') == std::string::npos ? s.size() : s.find('.');
        for (long k = long(end) - 3; k > (s[0] == '-' ? 1 : 0); k -= 3)
            s.insert(size_t(k), ",");
    }
    out = s + (percent ? "%" : "");
    return true;
}

void format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (argc < 2 || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_value_type(argv[0]) == SQLITE_NULL ? sqlite3_result_null(ctx)
                                                          : sqlite3_result_value(ctx, argv[0]);
    std::string f = textOf(argv[1]), out;
    std::string named = lowerText(argv[1]);
    // A text that reads as a number is formatted as one; one that is no number and no date is
    // left as it is.
    std::optional<double> number;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER || sqlite3_value_type(argv[0]) == SQLITE_FLOAT)
        number = sqlite3_value_double(argv[0]);
    else if (sqlite3_value_type(argv[0]) == SQLITE_TEXT)
        number = runtime::readNumber(textOf(argv[0]), ".", "");
    auto date = number ? std::optional<runtime::Date>(runtime::Date{*number}) : dateOf(argv[0]);
    if (!number && !date && sqlite3_value_type(argv[0]) == SQLITE_TEXT)
        return sqlite3_result_value(ctx, argv[0]);
    bool ok = false;
    if (number && formatNumber(*number, f, out))
        ok = true;
    else if (auto d = date) {
        ok = true;
        if (named == "short date")
            out = runtime::shortDateText(*d);
        else if (named == "long date")
            out = runtime::longDateText(*d);
        else if (named == "general date")
            out = runtime::dateText(*d);
        else if (named == "long time")
            out = runtime::timeText(*d);
        else if (named == "short time")
            out = digits(d->hour(), 2) + ":" + digits(d->minute(), 2);
        else if (named == "medium date")
            ok = formatDate(*d, "dd-mmm-yy", out);
        else
            ok = formatDate(*d, dateSection(f, *d), out);
    }
    if (!ok) {
        std::string message = "Format: the format \"" + f + "\" cannot be applied to this value";
        return sqlite3_result_error(ctx, message.c_str(), -1);
    }
    sqlite3_result_text(ctx, out.c_str(), int(out.size()), SQLITE_TRANSIENT);
}

// Val: the number at the start of a text, blanks ignored, a '.' as the decimal point always.
void val(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string s;
    for (char c : textOf(argv[0]))
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        long long v = 0;
        for (size_t i = 2; i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])); ++i) {
            int digit =
                std::isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0' : (folded(s[i]) - 'a' + 10);
            if (digit >= base) break;
            v = v * base + digit;
        }
        return sqlite3_result_double(ctx, double(v));
    }
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            s[i] = 'e';
            i = j;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
                ++i;
        }
    }
    std::string number = s.substr(0, i);
    double v = 0;
    if (!number.empty() && number != "+" && number != "-" && number != ".")
        v = std::strtod(number.c_str(), nullptr);
    sqlite3_result_double(ctx, v);
}

// Round, CLng and CInt: halves go to the even neighbour.
void round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    int places = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
    double scale = std::pow(10.0, places);
    double v = std::nearbyint(sqlite3_value_double(argv[0]) * scale) / scale;
    if (places == 0 && std::fabs(v) < 9.2e18) // beyond a 64-bit integer it stays a double
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(v));
    else
        sqlite3_result_double(ctx, v);
}

} // namespace

void registerJetFunctions(sqlite3* db) {
    struct Fn {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    static const Fn fns[] = {
        {"dao_like", 2, like},       {"dao_dateadd", 3, dateAdd},   {"dao_datediff", 3, dateDiff},
        {"dao_datesub", 2, dateSub}, {"dao_datepart", 2, datePart}, {"dao_dateserial", 3, dateSerial},
        {"dao_format", 2, format},   {"dao_val", 1, val},           {"dao_round", 2, round},
        {"dao_add", 2, add},         {"dao_sub", 2, subtract}};
    for (auto& f : fns)
        sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, f.fn,
                                   nullptr, nullptr, nullptr);
}

} // namespace dao
