#include "locale_text.h"

#include "clock.h"
#include "numbers.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QTime>

#include <algorithm>

namespace runtime {

namespace {

std::string localeName; // "" = the system's
// The named locale, made once when it is chosen: numbers and dates are read and written by the
// thousand (a report's rows), and making a locale from its name each time cost more than the work.
QLocale namedLocale;

QLocale locale() {
    return localeName.empty() ? QLocale::system() : namedLocale;
}

QDate qdate(Date d) {
    return QDate(d.year(), d.month(), d.day());
}

// The regional short date pattern. Where the locale's pattern writes two-digit years we write four,
// as the desktop's own regional settings do (en_US "M/d/yyyy"): a two-digit year on a shipping
// document is ambiguous.
QString shortPattern() {
    QString p = locale().dateFormat(QLocale::ShortFormat);
    // Compiled once: dates are printed by the thousand (a report's column, a grid's page).
    static const QRegularExpression years("y+");
    if (!p.contains("yyyy")) p.replace(years, "yyyy");
    return p;
}

// Order of day, month and year in the short pattern, e.g. "MDY" for en_US, "DMY" for de_DE.
QString fieldOrder() {
    QString p = shortPattern(), order;
    for (QChar c : p) {
        QChar f = c.toUpper();
        if ((f == 'D' || f == 'M' || f == 'Y') && !order.contains(f)) order += f;
    }
    return order.size() == 3 ? order : QString("MDY");
}

int expandYear(int y, int digits) {
    if (digits > 2) return y;
    return y < 30 ? 2000 + y : 1900 + y; // the platform's two-digit year window
}

std::optional<QTime> parseTime(QString t) {
    t = t.trimmed();
    if (t.isEmpty()) return QTime(0, 0);
    static const QRegularExpression re(R"(^(\d{1,2})(?::(\d{1,2}))?(?::(\d{1,2}))?\s*([AaPp][Mm]?)?$)");
    auto m = re.match(t);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(4).isEmpty())) return std::nullopt;
    int h = m.captured(1).toInt(), mi = m.captured(2).toInt(), s = m.captured(3).toInt();
    QString ampm = m.captured(4).toUpper();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12) return std::nullopt;
        if (ampm.startsWith('P') && h != 12) h += 12;
        if (ampm.startsWith('A') && h == 12) h = 0;
    }
    QTime time(h, mi, s);
    if (!time.isValid()) return std::nullopt;
    return time;
}

Date toDate(QDate d, QTime t) {
    return Date::fromYmdHms(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

// Month named in full or abbreviated, in the user's locale or in English.
int monthFromName(const QString& word) {
    QLocale loc = locale(), en(QLocale::English);
    for (int m = 1; m <= 12; ++m)
        for (const QLocale& l : {loc, en})
            if (word.compare(l.monthName(m, QLocale::LongFormat), Qt::CaseInsensitive) == 0 ||
                word.compare(l.monthName(m, QLocale::ShortFormat), Qt::CaseInsensitive) == 0 ||
                word.compare(l.monthName(m, QLocale::ShortFormat).remove('.'), Qt::CaseInsensitive) == 0)
                return m;
    return 0;
}

// The separators a typed date may use: "/" and "-" always, and the locale's own ("." in de_DE).
QString dateSeparators() {
    QString seps = "/-";
    for (QChar c : shortPattern())
        if (!c.isLetter() && !c.isSpace() && !seps.contains(c)) seps += c;
    return QRegularExpression::escape(seps);
}

// "12/8/2026", "8.12.26", "12-8", "Dec 8, 2026", "8 December 2026", with an optional time after.
std::optional<Date> parseLoose(const QString& text) {
    const QString word = R"(([0-9A-Za-z\x{00C0}-\x{024F}]+))";
    const QString sep = "(?:\\s*[" + dateSeparators() + ",]\\s*|\\s+)";
    const QRegularExpression split("^" + word + sep + word + "\\.?(?:" + sep + "(\\d{1,4}))?(?:\\s+(.*))?$");
    auto m = split.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    QString a = m.captured(1), b = m.captured(2), c = m.captured(3), rest = m.captured(4);
    auto time = parseTime(rest);
    if (!time) return std::nullopt;

    int day = 0, month = 0, year = Today().year();
    bool aNum, bNum;
    int av = a.toInt(&aNum), bv = b.toInt(&bNum);
    if (!aNum && bNum) { // "Dec 8"
        month = monthFromName(a);
        day = bv;
    } else if (aNum && !bNum) { // "8 Dec"
        month = monthFromName(b);
        day = av;
    } else if (aNum && bNum) {
        QString order = fieldOrder();
        if (order.startsWith('Y') && !c.isEmpty()) { // y/m/d
            year = expandYear(av, a.size());
            month = bv;
            day = c.toInt();
            c.clear();
        } else if (order.indexOf('D') < order.indexOf('M')) {
            day = av;
            month = bv;
        } else {
            month = av;
            day = bv;
        }
    }
    if (!c.isEmpty()) year = expandYear(c.toInt(), c.size());
    QDate d(year, month, day);
    if (!d.isValid()) return std::nullopt;
    return toDate(d, *time);
}

} // namespace

void setDateLocale(const std::string& name) {
    localeName = name;
    namedLocale = QLocale(QString::fromStdString(name));
}
std::string dateLocale() {
    return locale().name().toStdString();
}

std::string shortDateText(Date d) {
    return locale().toString(qdate(d), shortPattern()).toStdString();
}

std::string longDateText(Date d) {
    return locale().toString(qdate(d), QLocale::LongFormat).toStdString();
}

namespace {
// The long time pattern of a locale names the time zone; a time of day has none.
QString timePattern() {
    QString p = locale().timeFormat(QLocale::LongFormat);
    p.remove(QRegularExpression(R"(\s*t+\s*)"));
    return p.trimmed();
}
} // namespace

std::string timeText(Date d) {
    QTime t(d.hour(), d.minute(), d.second());
    return locale().toString(t, timePattern()).toStdString();
}

std::string dateText(Date d) {
    bool hasDay = d.datePart().serial != 0.0;
    if (!d.hasTime()) return shortDateText(d);
    if (!hasDay) return timeText(d);
    return shortDateText(d) + " " + timeText(d);
}

std::string shortDatePattern() {
    return shortPattern().toStdString();
}
std::string longDatePattern() {
    return locale().dateFormat(QLocale::LongFormat).toStdString();
}
std::string longTimePattern() {
    return timePattern().toStdString();
}

std::optional<Date> parseDateText(const std::string& text) {
    QString t = QString::fromStdString(text).trimmed();
    if (t.isEmpty()) return std::nullopt;
    if (auto iso = Date::tryIso(t.toStdString())) return iso;
    QDate longDate = locale().toDate(t, QLocale::LongFormat);
    if (longDate.isValid()) return toDate(longDate, QTime(0, 0));
    if (auto loose = parseLoose(t)) return loose;
    // A time of day alone is a Date on day 0, as the language reads it.
    if (auto time = parseTime(t); time && t.contains(':')) return toDate(QDate(1899, 12, 30), *time);
    return std::nullopt;
}

std::optional<Date> parseDayText(const std::string& text) {
    std::optional<Date> read = parseDateText(text);
    if (!read || read->datePart().serial == 0.0) return std::nullopt;
    return read->datePart();
}

std::string dateFormHint() {
    QString form = shortPattern();
    // The year first: "day" holds a y of its own.
    form.replace(QRegularExpression("y+"), "year");
    form.replace(QRegularExpression("d+"), "day");
    form.replace(QRegularExpression("M+"), "month");
    return "a date such as " + shortDateText(Date::fromYmd(2026, 12, 31)) + " (" + form.toStdString() + ")";
}

std::string localeNumberText(double v, int significant) {
    std::string text = invariantNumberText(v, significant);
    std::string point = locale().decimalPoint().toStdString();
    if (std::size_t at = text.find('.'); at != std::string::npos && point != ".") text.replace(at, 1, point);
    return text;
}

std::optional<double> parseLocaleNumber(std::string_view text) {
    QLocale loc = locale();
    return readNumber(text, loc.decimalPoint().toStdString(), loc.groupSeparator().toStdString());
}

std::optional<double> parseWrittenNumber(std::string_view text) {
    auto count = [&](char c) { return std::count(text.begin(), text.end(), c); };
    if (count('.') + count(',') == 1) return readNumber(text, count('.') ? "." : ",", "");
    return parseLocaleNumber(text);
}

} // namespace runtime
