#pragma once
// A column of the data-bound grid: caption, bound field, width, visibility, how its values show,
// and an optional list of values (stored value -> text shown) presented as a drop-down list.
#include "runtime/variant.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace widgets {

class DropDownGrid;

enum class ColumnDisplay {
    Text,
    ShortDate, // the regional short date
    YesNo,     // stored -1 / 0 shown "Yes" / "No"
};

struct ValueItem {
    runtime::Variant value; // what the cell stores
    QString display;        // what the cell shows
};

struct GridColumn {
    QString caption;
    std::string dataField;
    ColumnDisplay display = ColumnDisplay::Text;
    bool visible = true;
    double widthTwips = 1440;
    // Value translation: the cell shows the item's text for a stored value and offers the items
    // as a drop-down combo list.
    bool translate = false;
    std::vector<ValueItem> valueItems;
    // A drop-down grid offered while editing (the typed text is kept as typed).
    DropDownGrid* dropDown = nullptr;
    // The value a new row starts with.
    std::optional<runtime::Variant> defaultValue;
    // Numbers shown with this many decimals (-1: as stored).
    int decimals = -1;

    // The text shown for a value, and the value meant by a typed text (std::nullopt: not a value
    // of this column, e.g. "maybe" in a Yes/No column or a date that is no date).
    QString textOf(const runtime::Variant& value) const;
    std::optional<runtime::Variant> valueOf(const QString& text) const;
};

// Whether a stored value is a number (shown right-aligned); a text that reads as one is not.
bool isNumber(const runtime::Variant& value);

} // namespace widgets
