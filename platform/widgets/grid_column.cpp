#include "grid_column.h"

#include "runtime/locale_text.h"

#include <QLocale>

namespace widgets {

QString GridColumn::textOf(const runtime::Variant& value) const {
    if (value.isNull() || value.isEmpty()) return {};
    if (translate) {
        for (const ValueItem& item : valueItems)
            if (!item.value.isNull() && item.value.toString() == value.toString()) return item.display;
    }
    try {
        switch (display) {
        case ColumnDisplay::YesNo:
            return value.toBool() ? "Yes" : "No";
        case ColumnDisplay::ShortDate:
            return QString::fromStdString(runtime::shortDateText(value.toDate()));
        case ColumnDisplay::Text:
            break;
        }
        if (decimals >= 0 && isNumber(value)) {
            // With the user's decimal separator, as every other number the program shows.
            QLocale user(QString::fromStdString(runtime::dateLocale()));
            user.setNumberOptions(QLocale::OmitGroupSeparator);
            return user.toString(value.toDouble(), 'f', decimals);
        }
        return QString::fromStdString(value.toString());
    } catch (const std::exception&) {
        return QString::fromStdString(value.toString());
    }
}

std::optional<runtime::Variant> GridColumn::valueOf(const QString& text) const {
    QString t = text.trimmed();
    if (t.isEmpty()) return runtime::Variant::null();
    if (translate) {
        for (const ValueItem& item : valueItems)
            if (item.display.compare(t, Qt::CaseInsensitive) == 0) return item.value;
    }
    switch (display) {
    case ColumnDisplay::YesNo:
        if (t.compare("Yes", Qt::CaseInsensitive) == 0 || t.compare("True", Qt::CaseInsensitive) == 0 ||
            t == "-1")
            return runtime::Variant(true);
        if (t.compare("No", Qt::CaseInsensitive) == 0 || t.compare("False", Qt::CaseInsensitive) == 0 ||
            t == "0")
            return runtime::Variant(false);
        return std::nullopt;
    case ColumnDisplay::ShortDate:
        // A day, as every typed date of the program: a time typed after it is dropped, a time
        // alone is no day.
        if (auto d = runtime::parseDayText(t.toStdString())) return runtime::Variant(*d);
        return std::nullopt;
    case ColumnDisplay::Text:
        break;
    }
    return runtime::Variant(text.toStdString());
}

bool isNumber(const runtime::Variant& value) {
    using runtime::VarType;
    switch (value.type()) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
        return true;
    default:
        return false;
    }
}

} // namespace widgets
