#pragma once
// The board's fixed definitions: the six status tabs with their captions and filters, and the
// twenty grid columns with their fields, displays and help texts.
#include "status_rules.h"

#include <array>
#include <string>

namespace board {

struct TabDefinition {
    const char* caption;
    const char* toolTip;
    const char* filter; // "" for All
    const char* windowCaptionPrefix;
    const char* cmdDeleteCaption;
    const char* menuDeleteCaption;
    const char* column9Caption;
};

inline constexpr int kTabCount = 6;
// By 1-based tab index.
const TabDefinition& tabDefinition(int index);

enum class Display { Text, ShortDate, YesNo };

struct ColumnDefinition {
    const char* caption;
    const char* dataField;
    Display display;
    const char* helpText;
};

inline constexpr int kColumnCount = 20;
extern const std::array<ColumnDefinition, kColumnCount> kColumns;

// Columns the program addresses by index.
namespace col {
inline constexpr int CustomerPO = 2, JobNum = 3, Description = 4, Quantity = 5, Carrier = 6, ReqShipDate = 8,
                     ActShipDate = 9, PCFCode = 14, Late = 15, LateReason = 16, Canceled = 17, OKToShip = 18,
                     Comments = 19;
}

// The five shipping-detail columns the View menu hides and shows, by caption.
extern const std::array<const char*, 5> kShippingDetailCaptions;

// Default widths (twips) of columns 0 to 11 and the default row height.
extern const std::array<double, 12> kDefaultColumnWidths;
inline constexpr double kDefaultRowHeight = 225.0709;

// The help text of a board column; column 9 reads differently while the Canceled tab is selected.
std::string boardColumnHelp(int column, bool canceledTab);
// The help text of a truck-line window column.
std::string truckLineColumnHelp(int column);

} // namespace board
