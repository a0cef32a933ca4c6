#pragma once
// A spreadsheet workbook (.xlsx) written with libxlsxwriter, in place of driving a spreadsheet program
// through automation. Rows and columns are 1-based, as reports are laid out; formulas are written in
// R1C1 notation and converted to A1 on the way out (r1c1.h).
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace workbook {

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class HAlign { General, Left, Center, Right };
enum class VAlign { Default, Top, Center, Bottom };
enum class Border { None, Thin, Medium };

// The look of a cell. Defaults are the file format's own (Calibri 11, general alignment, no border).
struct Style {
    std::string fontName{};
    double fontSize = 0;
    bool bold = false;
    HAlign align = HAlign::General;
    VAlign valign = VAlign::Default;
    Border bottom = Border::None;
    std::string numberFormat{}; // "m/d/yy", "0.000%", …

    auto operator<=>(const Style&) const = default;
};

class Workbook;

class Worksheet {
public:
    void writeText(int row, int column, const std::string& text, const Style& style = {});
    void writeNumber(int row, int column, double value, const Style& style = {});
    // A date as the spreadsheet stores it: days since 1899-12-30 (the same count as an OLE date).
    void writeDate(int row, int column, double serial, const Style& style);
    // An R1C1 formula with the value it computes, which viewers that do not recalculate show.
    void writeFormula(int row, int column, const std::string& r1c1, double result, const Style& style = {});
    // A formula whose result is an error value such as "#DIV/0!".
    void writeFormulaError(int row, int column, const std::string& r1c1, const std::string& error,
                           const Style& style = {});
    // Styles a cell without a value (a border over an empty header cell).
    void writeBlank(int row, int column, const Style& style);
    void setColumnWidth(int column, double width);
    // Widens the column to its longest text or number written so far, as a spreadsheet's auto-fit does.
    void autofitColumn(int column);
    // Rows above `row` and columns left of `column` stay in view.
    void freezePanes(int row, int column);

private:
    friend class Workbook;
    Worksheet(Workbook& book, lxw_worksheet* sheet) : book_(book), sheet_(sheet) {}
    void check(int result, const char* what, int row, int column);
    void noteWidth(int column, size_t characters);
    Workbook& book_;
    lxw_worksheet* sheet_;
    std::map<int, size_t> widest_; // characters of the longest content per column
};

class Workbook {
public:
    // Creates the file at `path` when close() succeeds; nothing is written before.
    explicit Workbook(const std::string& path);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    Worksheet& addWorksheet(const std::string& name = "");
    // Writes the file; throws Error naming the file and the reason.
    void close();
    const std::string& path() const { return path_; }

private:
    friend class Worksheet;
    lxw_format* format(const Style& style);
    std::string path_;
    lxw_workbook* book_ = nullptr;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    std::map<Style, lxw_format*> formats_;
};

} // namespace workbook
