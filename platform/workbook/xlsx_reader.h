#pragma once
// Reads back what a workbook file holds, for tests: cells with their values, formulas and looks,
// column widths and the frozen pane. Unzips with the system's unzip and parses the XML parts.
#include <map>
#include <optional>
#include <string>

namespace workbook::readback {

struct CellLook {
    std::string numberFormat; // "General" when none
    std::string fontName;
    double fontSize = 0;
    bool bold = false;
    std::string align;         // as the file writes it ("center", "left", …), "" for general
    std::string valign;        // "bottom" (the default), "center", "top"
    std::string bottomBorder;  // "medium", "thin", "" when none
    bool otherBorders = false; // any left, top, right or diagonal border
};

struct Cell {
    std::string value;   // the text, or the number (or cached formula result) as written
    std::string formula; // without the leading "=", "" when none
    CellLook look;
};

struct Sheet {
    std::map<std::string, Cell> cells;  // by A1 name
    std::map<int, double> columnWidths; // 1-based column → width as a spreadsheet shows it (characters)
    std::string frozenAt;               // top-left cell of the scrolling pane, "" when not frozen
    const Cell* cell(const std::string& a1) const;
    int lastRow() const;
};

// Throws std::runtime_error when the file cannot be read.
Sheet readFirstSheet(const std::string& path);

} // namespace workbook::readback
