#include "board_layout.h"

namespace board {

namespace {
const TabDefinition kTabs[kTabCount] = {
    {"Today", "Today's shipments", "Shipments.OKToShip = Yes AND Shipments.Canceled = No", "Shipments for ",
     "&Cancel Ship", "Cancel Shipment", "Actual Ship Date"},
    {"All", "All shipments, regardless of status", "", "All Shipments for ", "&Cancel Ship",
     "Cancel Shipment", "Actual Ship Date"},
    {"Scheduled", "On-time scheduled shipments only",
     "Shipments.Late <> Yes AND Shipments.ActShipDate IS NULL AND Shipments.Canceled = No",
     "Scheduled Shipments for ", "&Cancel Ship", "Cancel Shipment", "Actual Ship Date"},
    {"Late", "Late shipments only", "Shipments.Late = Yes", "Late Shipments as of ", "&Cancel Ship",
     "Cancel Shipment", "Actual Ship Date"},
    // A canceled row's date is the day it was canceled: it is no shipped order.
    {"Shipped", "Only shipments that have already been shipped",
     "Shipments.ActShipDate IS NOT NULL AND Shipments.Canceled = No", "Orders Shipped as of ", "&Cancel Ship",
     "Cancel Shipment", "Actual Ship Date"},
    {"Canceled", "Canceled shipments only", "Shipments.Canceled = Yes", "Orders Canceled on ", "&Delete",
     "Delete Canceled Shipment", "Cancel Date"},
};
} // namespace

const TabDefinition& tabDefinition(int index) {
    return kTabs[index - 1];
}

const std::array<ColumnDefinition, kColumnCount> kColumns = {{
    {"Work Order#", "WorkOrder", Display::Text, "Brellin Work Order #"},
    {"Customer", "Customer", Display::Text, "Customer's Full Name"},
    {"Customer PO#", "CustomerPO", Display::Text, "Customer's Purchase Order Number"},
    {"Job #", "JobNum", Display::Text, "Brellin Job Number used to run parts"},
    {"Brellin Part Description", "Job Description", Display::Text, "Brellin's Description of these parts"},
    {"Quantity", "Quantity", Display::Text, "Size of this order (in parts)"},
    {"Truck Line", "Carrier", Display::Text, "Trucking Line used to transport this order."},
    {"Invoice#", "InvoiceNum", Display::Text, "Our invoice number from Peachtree (Only enter at ship time)"},
    {"Scheduled Ship Date", "ReqShipDate", Display::ShortDate,
     "On-time delivery requires shipment by this date (Leave blank for ASAP)"},
    {"Actual Ship Date", "ActShipDate", Display::ShortDate,
     "Actual date the order was shipped (Only enter at ship time)"},
    {"Parts/Box", "Parts Per Box", Display::Text, "How many parts go in each box?"},
    {"Boxes/Skid", "BoxesPerTransfer", Display::Text, "How many boxes go on each skid?"},
    {"Box Weight", "Box Weight", Display::Text, "Shipping weight of each box."},
    {"Box Type", "Box Type", Display::Text, "What type of box does this part take?"},
    {"PCF Code", "PCF Code", Display::Text, "Enter the PCF code for this shipment."},
    {"Late?", "Late", Display::YesNo, "Is this shipment late? (Type Yes or No)"},
    {"Due to?", "LateReasonID", Display::Text, "Why was this shipment late?"},
    {"Canceled?", "Canceled", Display::YesNo,
     "Was this shipment canceled? (Type Yes or No) True deletes are only allowed on the 'Canceled' tab."},
    {"Ship OK?", "OKToShip", Display::YesNo, "Is it OK to ship these parts? (Type Yes or No)"},
    {"Comments", "Comments", Display::Text, "Enter any comments you may have about this order."},
}};

const std::array<const char*, 5> kShippingDetailCaptions = {"PCF Code", "Box Type", "Box Weight",
                                                            "Boxes/Skid", "Parts/Box"};

const std::array<double, 12> kDefaultColumnWidths = {1154.835, 1769.953, 1289.764, 929.7639,
                                                     689.9528, 1080,     764.7874, 510.2362,
                                                     1649.764, 1454.74,  870.2363, 5850.142};

std::string boardColumnHelp(int column, bool canceledTab) {
    if (column < 0 || column >= kColumnCount) return "";
    if (column == col::ActShipDate && canceledTab) return "Actual date the order was canceled.";
    return kColumns[size_t(column)].helpText;
}

std::string truckLineColumnHelp(int column) {
    if (column == 0) return "Enter a short (3 or 4 letter) abbreviation for this truck line.";
    if (column == 1)
        return "Enter the full name of the truck line plus any payment modifiers, e.g. /Collect.";
    return "";
}

} // namespace board
