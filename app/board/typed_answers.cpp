#include "typed_answers.h"

#include "runtime/locale_text.h"
#include "runtime/numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <charconv>
#include <limits>

namespace board {

namespace {

// The largest quantity a shipment row can store (a long integer).
constexpr long long kMaxParts = std::numeric_limits<std::int32_t>::max();

// Digits, optionally in groups of three after the first one to three, separated by the user's
// grouping character (a blank also counts where that character is a kind of blank).
QRegularExpression wholeNumberPattern() {
    const QString group = QLocale(QString::fromStdString(runtime::dateLocale())).groupSeparator();
    QString separator = QRegularExpression::escape(group);
    if (!group.isEmpty() && group.at(0).isSpace()) separator = "(?:" + separator + "| )";
    return QRegularExpression("^([+-]?)(\\d+|\\d{1,3}(?:" + separator + "\\d{3})+)$");
}

} // namespace

PartsAnswer readPartsAnswer(const std::string& text) {
    const QString typed = QString::fromStdString(runtime::Trim(text)).trimmed();
    if (typed.isEmpty()) return {PartsAnswer::Kind::Empty, 0};
    const auto match = wholeNumberPattern().match(typed);
    if (!match.hasMatch()) return {PartsAnswer::Kind::NotWhole, 0};
    QString digits = match.captured(2);
    digits.remove(QRegularExpression("\\D"));
    // Leading zeros are harmless ("0400"); what is left decides the size.
    while (digits.size() > 1 && digits.startsWith('0'))
        digits.remove(0, 1);
    const std::string plain = digits.toStdString();
    long long value = 0;
    auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    const bool negative = match.captured(1) == "-" && value != 0;
    if (error != std::errc() || end != plain.data() + plain.size() || value > kMaxParts)
        return {negative ? PartsAnswer::Kind::Negative : PartsAnswer::Kind::TooLarge, 0};
    if (negative) return {PartsAnswer::Kind::Negative, -value};
    return {PartsAnswer::Kind::Parts, value};
}

std::optional<runtime::Date> readDateAnswer(const std::string& text) {
    return runtime::parseDayText(text);
}

} // namespace board
