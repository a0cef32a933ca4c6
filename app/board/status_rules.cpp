#include "status_rules.h"

namespace board {
namespace {

bool yes(const runtime::Variant& v) {
    return !v.isNull() && !v.isEmpty() && v.toBool();
}

std::optional<runtime::Date> date(const runtime::Variant& v) {
    if (v.isNull() || v.isEmpty()) return std::nullopt;
    return v.toDate();
}

} // namespace

ShipmentFlags ShipmentFlags::fromValues(const runtime::Variant& late, const runtime::Variant& reqShipDate,
                                        const runtime::Variant& actShipDate, const runtime::Variant& canceled,
                                        const runtime::Variant& okToShip) {
    return {yes(late), date(reqShipDate), date(actShipDate), yes(canceled), yes(okToShip)};
}

// The first rule that holds wins; note the single blank in "Shipped Late". A canceled row's date
// is the day it was canceled, not a ship date: it never counts as shipped, so it reads "Canceled"
// and can still be deleted on the Canceled tab.
OrderStatus orderStatus(const ShipmentFlags& s) {
    const bool shipped = s.actShipDate && !s.canceled;
    if (s.late && !s.actShipDate) return {"Order Status:  Late Shipment", true};
    if (s.late && shipped) return {"Order Status: Shipped Late", false};
    if (!s.reqShipDate && !s.actShipDate) return {"Order Status:  Ship ASAP", true};
    if (!s.reqShipDate && shipped) return {"Order Status:  Shipped ASAP", false};
    if (shipped) return {"Order Status:  Shipped", false};
    if (s.canceled) return {"Order Status:  Canceled", true};
    return {"Order Status:  On-Time", true};
}

// Each test that holds replaces the style chosen so far: the last one wins.
std::string rowStyle(const ShipmentFlags& s) {
    std::string style;
    if (s.late) style = "Late";
    if (!s.reqShipDate) style = "ASAP";
    if (s.actShipDate) style = "Shipped";
    if (s.canceled) style = "Canceled";
    return style;
}

std::string tabFilter(StatusTab tab) {
    switch (tab) {
    case StatusTab::Today:
        return "Shipments.OKToShip = Yes AND Shipments.Canceled = No";
    case StatusTab::All:
        return "";
    case StatusTab::Scheduled:
        return "Shipments.Late <> Yes AND Shipments.ActShipDate IS NULL AND Shipments.Canceled = No";
    case StatusTab::Late:
        return "Shipments.Late = Yes";
    case StatusTab::Shipped: // a canceled row's date is its cancel date
        return "Shipments.ActShipDate IS NOT NULL AND Shipments.Canceled = No";
    case StatusTab::Canceled:
        return "Shipments.Canceled = Yes";
    }
    return "";
}

bool onTab(const ShipmentFlags& s, StatusTab tab) {
    switch (tab) {
    case StatusTab::Today:
        return s.okToShip && !s.canceled;
    case StatusTab::All:
        return true;
    case StatusTab::Scheduled:
        return !s.late && !s.actShipDate && !s.canceled;
    case StatusTab::Late:
        return s.late;
    case StatusTab::Shipped:
        return s.actShipDate.has_value() && !s.canceled;
    case StatusTab::Canceled:
        return s.canceled;
    }
    return false;
}

bool lateAfterScheduledDateEdit(bool wasLate, std::optional<runtime::Date> newDate, runtime::Date today) {
    return newDate && !wasLate && newDate->datePart() < today.datePart();
}

bool lateAfterMove(bool wasLate, runtime::Date newDate, runtime::Date today) {
    return newDate.datePart() >= today.datePart() ? false : wasLate;
}

bool lateOfSplitRest(runtime::Date restDate, runtime::Date today) {
    return restDate.datePart() < today.datePart();
}

} // namespace board
