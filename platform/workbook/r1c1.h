#pragma once
// Formulas are kept in R1C1 notation, as the reports were laid out (a reference relative to the cell
// that holds it reads the same in every row); the file format stores A1 notation, so every formula
// passes through this one converter on its way out.
#include <stdexcept>
#include <string>
#include <string_view>

namespace workbook {

struct FormulaError : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

// "A", "B", … "Z", "AA", … for a 1-based column number.
std::string columnLetters(int column);

// The A1 form of an R1C1 formula written into the cell at the 1-based `row` and `column`:
// "=R[-1]C/R[-1]C2" in D20 gives "=D19/$B19". Absolute parts stay absolute ($), relative parts are
// resolved against the cell. Letters are accepted in either case ("rc[-1]"). Text inside double
// quotes is left alone. A reference that lands outside the sheet, or a whole-row or whole-column
// reference (not used by our reports), throws FormulaError naming it.
std::string r1c1ToA1(std::string_view formula, int row, int column);

} // namespace workbook
