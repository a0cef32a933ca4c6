#include "workbook/r1c1.h"

#include <cctype>
#include <optional>

namespace workbook {
namespace {

constexpr int kMaxRow = 1048576, kMaxColumn = 16384; // the file format's sheet size

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

// One part of a reference: "R", "R8", "R[-1]" (likewise for C).
struct Part {
    bool relative = true;
    int value = 0; // the offset when relative, the 1-based number when absolute
};

// Reads the number or [offset] after an R or C at `pos`; advances `pos` past it.
std::optional<Part> readPart(std::string_view f, size_t& pos) {
    Part part;
    if (pos < f.size() && f[pos] == '[') {
        size_t i = pos + 1;
        bool negative = false;
        if (i < f.size() && (f[i] == '+' || f[i] == '-')) negative = f[i++] == '-';
        size_t digits = i;
        long v = 0;
        while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i])) && v <= kMaxRow)
            v = v * 10 + (f[i++] - '0');
        if (i == digits || i >= f.size() || f[i] != ']') return std::nullopt;
        part.value = static_cast<int>(negative ? -v : v);
        pos = i + 1;
        return part;
    }
    size_t i = pos;
    long v = 0;
    while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i])) && v <= kMaxRow)
        v = v * 10 + (f[i++] - '0');
    if (i > pos) {
        part.relative = false;
        part.value = static_cast<int>(v);
    }
    pos = i;
    return part;
}

int resolve(const Part& part, int base, int limit, std::string_view reference) {
    int n = part.relative ? base + part.value : part.value;
    if (n < 1 || n > limit)
        throw FormulaError("the reference " + std::string(reference) + " lies outside the sheet");
    return n;
}

// Tries to read a cell reference at `pos`; on success appends its A1 form and advances `pos`.
bool convertReference(std::string_view f, size_t& pos, int row, int column, std::string& out) {
    size_t i = pos;
    if (std::toupper(static_cast<unsigned char>(f[i])) != 'R') {
        if (std::toupper(static_cast<unsigned char>(f[i])) == 'C') {
            size_t j = i + 1;
            if (readPart(f, j) && j > i + 1 && (j >= f.size() || (!isNameChar(f[j]) && f[j] != '(')))
                throw FormulaError("whole-column reference " + std::string(f.substr(i, j - i)));
        }
        return false;
    }
    ++i;
    auto r = readPart(f, i);
    if (!r) return false;
    if (i >= f.size() || std::toupper(static_cast<unsigned char>(f[i])) != 'C') {
        if ((i >= f.size() || !isNameChar(f[i])) && (i < f.size() ? f[i] != '(' : true))
            throw FormulaError("whole-row reference " + std::string(f.substr(pos, i - pos)));
        return false; // a name such as ROUND or RATE
    }
    ++i;
    auto c = readPart(f, i);
    if (!c) return false;
    if (i < f.size() && (isNameChar(f[i]) || f[i] == '(')) return false; // a name such as RC4D
    std::string_view reference = f.substr(pos, i - pos);
    int rowNumber = resolve(*r, row, kMaxRow, reference);
    int columnNumber = resolve(*c, column, kMaxColumn, reference);
    out += (c->relative ? "" : "$") + columnLetters(columnNumber) + (r->relative ? "" : "$") +
           std::to_string(rowNumber);
    pos = i;
    return true;
}

} // namespace

std::string columnLetters(int column) {
    if (column < 1 || column > kMaxColumn)
        throw FormulaError("column " + std::to_string(column) + " lies outside the sheet");
    std::string letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

std::string r1c1ToA1(std::string_view formula, int row, int column) {
    std::string out;
    out.reserve(formula.size() + 8);
    size_t pos = 0;
    while (pos < formula.size()) {
        char ch = formula[pos];
        if (ch == '"') { // a text constant, "" inside it being a quote
            size_t end = pos + 1;
            while (end < formula.size() &&
                   !(formula[end] == '"' && (end + 1 >= formula.size() || formula[end + 1] != '"')))
                end += formula[end] == '"' ? 2 : 1;
            out.append(formula.substr(pos, end + 1 - pos));
            pos = end + 1;
            continue;
        }
        bool startsName = pos == 0 || !isNameChar(formula[pos - 1]);
        if (startsName && convertReference(formula, pos, row, column, out)) continue;
        // Copy the rest of a name whole, so that letters inside it are never taken for references.
        if (isNameChar(ch)) {
            size_t end = pos;
            while (end < formula.size() && isNameChar(formula[end]))
                ++end;
            out.append(formula.substr(pos, end - pos));
            pos = end;
            continue;
        }
        out += ch;
        ++pos;
    }
    return out;
}

} // namespace workbook
