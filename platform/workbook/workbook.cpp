#include "workbook/workbook.h"

#include "workbook/r1c1.h"

#include <cmath>
#include <xlsxwriter.h>

namespace workbook {
namespace {

lxw_row_t rowIndex(int row) {
    return static_cast<lxw_row_t>(row - 1);
}
lxw_col_t columnIndex(int column) {
    return static_cast<lxw_col_t>(column - 1);
}

uint8_t horizontal(HAlign a) {
    switch (a) {
    case HAlign::Left:
        return LXW_ALIGN_LEFT;
    case HAlign::Center:
        return LXW_ALIGN_CENTER;
    case HAlign::Right:
        return LXW_ALIGN_RIGHT;
    default:
        return LXW_ALIGN_NONE;
    }
}

uint8_t vertical(VAlign a) {
    switch (a) {
    case VAlign::Top:
        return LXW_ALIGN_VERTICAL_TOP;
    case VAlign::Center:
        return LXW_ALIGN_VERTICAL_CENTER;
    case VAlign::Bottom:
        return LXW_ALIGN_VERTICAL_BOTTOM;
    default:
        return LXW_ALIGN_NONE;
    }
}

// Characters a number takes when shown in a column of general format.
size_t numberWidth(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return std::string(text).size();
}

} // namespace

Workbook::Workbook(const std::string& path) : path_(path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = nullptr;
    book_ = workbook_new_opt(path.c_str(), &options);
    if (!book_) throw Error("Cannot create the workbook " + path);
}

Workbook::~Workbook() {
    // An abandoned workbook is still closed so that libxlsxwriter frees it; its file may be incomplete.
    if (book_) workbook_close(book_);
}

Worksheet& Workbook::addWorksheet(const std::string& name) {
    lxw_worksheet* sheet = workbook_add_worksheet(book_, name.empty() ? nullptr : name.c_str());
    if (!sheet) throw Error("Cannot add the worksheet \"" + name + "\" to " + path_);
    sheets_.push_back(std::unique_ptr<Worksheet>(new Worksheet(*this, sheet)));
    return *sheets_.back();
}

void Workbook::close() {
    if (!book_) throw Error("The workbook " + path_ + " was already closed");
    lxw_workbook* book = book_;
    book_ = nullptr;
    lxw_error result = workbook_close(book);
    if (result != LXW_NO_ERROR)
        throw Error("The workbook " + path_ + " could not be written: " + lxw_strerror(result));
}

lxw_format* Workbook::format(const Style& style) {
    if (style == Style{}) return nullptr;
    auto found = formats_.find(style);
    if (found != formats_.end()) return found->second;
    lxw_format* f = workbook_add_format(book_);
    if (!style.fontName.empty()) format_set_font_name(f, style.fontName.c_str());
    if (style.fontSize > 0) format_set_font_size(f, style.fontSize);
    if (style.bold) format_set_bold(f);
    if (style.align != HAlign::General) format_set_align(f, horizontal(style.align));
    if (style.valign != VAlign::Default) format_set_align(f, vertical(style.valign));
    if (style.bottom != Border::None)
        format_set_bottom(f, style.bottom == Border::Medium ? LXW_BORDER_MEDIUM : LXW_BORDER_THIN);
    if (!style.numberFormat.empty()) format_set_num_format(f, style.numberFormat.c_str());
    formats_.emplace(style, f);
    return f;
}

void Worksheet::check(int result, const char* what, int row, int column) {
    if (result != LXW_NO_ERROR)
        throw Error(std::string("Cannot write ") + what + " in " + columnLetters(column) +
                    std::to_string(row) + ": " + lxw_strerror(static_cast<lxw_error>(result)));
}

void Worksheet::noteWidth(int column, size_t characters) {
    size_t& widest = widest_[column];
    if (characters > widest) widest = characters;
}

void Worksheet::writeText(int row, int column, const std::string& text, const Style& style) {
    check(
        worksheet_write_string(sheet_, rowIndex(row), columnIndex(column), text.c_str(), book_.format(style)),
        "text", row, column);
    noteWidth(column, text.size());
}

void Worksheet::writeNumber(int row, int column, double value, const Style& style) {
    check(worksheet_write_number(sheet_, rowIndex(row), columnIndex(column), value, book_.format(style)),
          "a number", row, column);
    noteWidth(column, numberWidth(value));
}

void Worksheet::writeDate(int row, int column, double serial, const Style& style) {
    check(worksheet_write_number(sheet_, rowIndex(row), columnIndex(column), serial, book_.format(style)),
          "a date", row, column);
    noteWidth(column, 10);
}

void Worksheet::writeFormula(int row, int column, const std::string& r1c1, double result,
                             const Style& style) {
    std::string a1 = r1c1ToA1(r1c1, row, column);
    check(worksheet_write_formula_num(sheet_, rowIndex(row), columnIndex(column), a1.c_str(),
                                      book_.format(style), result),
          "a formula", row, column);
    noteWidth(column, numberWidth(result));
}

void Worksheet::writeFormulaError(int row, int column, const std::string& r1c1, const std::string& error,
                                  const Style& style) {
    std::string a1 = r1c1ToA1(r1c1, row, column);
    check(worksheet_write_formula_str(sheet_, rowIndex(row), columnIndex(column), a1.c_str(),
                                      book_.format(style), error.c_str()),
          "a formula", row, column);
}

void Worksheet::writeBlank(int row, int column, const Style& style) {
    check(worksheet_write_blank(sheet_, rowIndex(row), columnIndex(column), book_.format(style)),
          "a blank cell", row, column);
}

void Worksheet::setColumnWidth(int column, double width) {
    check(worksheet_set_column(sheet_, columnIndex(column), columnIndex(column), width, nullptr),
          "a column width", 1, column);
}

void Worksheet::autofitColumn(int column) {
    // The default font's digits are one width unit each; letters of a proportional font average a
    // little more, and a spreadsheet's auto-fit leaves a small margin.
    auto widest = widest_.find(column);
    if (widest == widest_.end()) return;
    setColumnWidth(column, std::ceil(static_cast<double>(widest->second) * 1.1 + 1.0));
}

void Worksheet::freezePanes(int row, int column) {
    worksheet_freeze_panes(sheet_, rowIndex(row), columnIndex(column));
}

} // namespace workbook
