#pragma once
// How a shipment is classed everywhere in the program: its order-status text and whether it can be
// canceled or deleted from its row, its row style on the board, the status tabs it belongs to,
// and how the stored Late flag changes when dates are edited.
#include "runtime/ole_date.h"
#include "runtime/variant.h"

#include <optional>
#include <string>

namespace board {

// The flags of one shipment that the rules look at. A Null Yes/No reads as No.
struct ShipmentFlags {
    bool late = false;
    std::optional<runtime::Date> reqShipDate; // empty: ship as soon as possible
    std::optional<runtime::Date> actShipDate; // shipped (or, on a canceled row, canceled) on this date
    bool canceled = false;
    bool okToShip = false;

    // From the Variants of a board record (Null dates, Null or Boolean flags).
    static ShipmentFlags fromValues(const runtime::Variant& late, const runtime::Variant& reqShipDate,
                                    const runtime::Variant& actShipDate, const runtime::Variant& canceled,
                                    const runtime::Variant& okToShip);
};

struct OrderStatus {
    std::string text;         // "Order Status:  Late Shipment", ...
    bool cancelDeleteEnabled; // the row's own verdict; the board also disables it when empty or read-only
};

OrderStatus orderStatus(const ShipmentFlags& s);

// "Late", "ASAP", "Shipped", "Canceled", or "" for the grid's normal style.
std::string rowStyle(const ShipmentFlags& s);

enum class StatusTab { Today = 1, All = 2, Scheduled = 3, Late = 4, Shipped = 5, Canceled = 6 };

// The record filter of a tab, in the engine's syntax; "" for All.
std::string tabFilter(StatusTab tab);
// Whether a row of the board query is listed on a tab (the same rule as the filter).
bool onTab(const ShipmentFlags& s, StatusTab tab);

// The Late flag after the Scheduled Ship Date cell is edited: emptied -> No; a date -> Yes when the
// row was not late and the date lies before today, No otherwise.
bool lateAfterScheduledDateEdit(bool wasLate, std::optional<runtime::Date> newDate, runtime::Date today);
// The Late flag after moving a shipment to `newDate`: No when it is today or later, else unchanged.
bool lateAfterMove(bool wasLate, runtime::Date newDate, runtime::Date today);
// The Late flag of the row split off for the rest of a partial shipment.
bool lateOfSplitRest(runtime::Date restDate, runtime::Date today);

} // namespace board
