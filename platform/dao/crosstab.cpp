// TRANSFORM ... PIVOT: the backends have no crosstab, so the layer runs the row headings and the
// cells as two grouped queries and pivots the cells into columns. Column headings are sorted as
// the engine sorts them, with the column of Null values ("<>") first; PIVOT ... IN (...) fixes
// the columns and their order instead.
#include "state.h"

#include "runtime/numbers.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace dao::detail {
namespace {

std::string folded(const std::string& s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Headings compare as the engine sorts them: Null first, numbers by value, text without case.
bool headingLess(const StoredValue& a, const StoredValue& b) {
    auto rank = [](const StoredValue& v) {
        return isNull(v) ? 0 : std::holds_alternative<std::string>(v) ? 2 : 1;
    };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    if (rank(a) == 1) {
        auto num = [](const StoredValue& v) {
            return std::holds_alternative<double>(v) ? std::get<double>(v)
                                                     : double(std::get<std::int64_t>(v));
        };
        return num(a) < num(b);
    }
    if (rank(a) == 2) return folded(std::get<std::string>(a)) < folded(std::get<std::string>(b));
    return false;
}

std::string headingText(const StoredValue& v) {
    if (isNull(v)) return "<>";
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) return runtime::numberText(*d);
    return "?";
}

// A heading written as a whole number that fits one (a longer one is read as a double).
bool wholeNumber(const std::string& text) {
    return text.find_first_not_of("0123456789") == std::string::npos && text.size() <= 18;
}

jet::Tokens joined(std::initializer_list<jet::Tokens> parts) {
    jet::Tokens out;
    for (auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
        out.push_back({jet::TokenKind::Space, " "});
    }
    return out;
}

} // namespace

std::shared_ptr<RowSet> openCrosstab(const std::shared_ptr<DatabaseState>& db, const Source& source) {
    auto x = jet::splitCrosstab(source.statement.body);
    auto groups = jet::splitTopLevel(x.groups);

    // Row headings, each row led by its group values so cells can find it.
    jet::Tokens headings = x.select;
    for (size_t g = groups.size(); g-- > 0;)
        headings =
            jet::withLeadingColumn(headings, jet::toText(groups[g]), "__dao_group" + std::to_string(g));
    bool ordered = false;
    for (auto& t : headings)
        ordered = ordered || (t.kind == jet::TokenKind::Word && folded(t.text) == "order");
    if (!ordered) headings = joined({headings, jet::tokenize("ORDER BY"), x.groups});

    auto set = std::make_shared<RowSet>();
    set->db = db;
    set->type = dbOpenSnapshot;
    set->source = source;
    std::vector<StoredValue> params;
    auto stmt = prepareTranslated(*db, headings, source, params);
    std::map<std::vector<StoredValue>, size_t> rowOfGroup;
    std::vector<std::vector<StoredValue>> headingRows;
    size_t n = groups.size();
    while (stmt->step()) {
        std::vector<StoredValue> key, row;
        for (int i = 0; i < stmt->columnCount(); ++i)
            (size_t(i) < n ? key : row).push_back(stmt->value(i));
        rowOfGroup.emplace(key, headingRows.size());
        headingRows.push_back(std::move(row));
    }
    RowSet headingFields;
    headingFields.rows.clear();
    for (auto& r : headingRows)
        headingFields.rows.push_back(Row{0, r, false});
    for (int i = int(n); i < stmt->columnCount(); ++i) {
        auto col = stmt->column(i);
        auto f = std::make_shared<FieldInfo>();
        f->name = col.name;
        StoredValue sample;
        for (auto& r : headingRows)
            if (!isNull(r[size_t(i) - n])) {
                sample = r[size_t(i) - n];
                break;
            }
        f->type = typeOfDeclared(col.declType, sample);
        f->attributes = dbFixedField;
        set->fields.push_back(f);
    }

    // The cells: one value per group and column heading.
    std::string groupList = jet::toText(x.groups);
    std::string pivot = jet::toText(x.pivot);
    auto cellsSql = "SELECT " + groupList + ", " + pivot + " AS [__dao_pivot], " + jet::toText(x.value) +
                    " AS [__dao_value] " + jet::toText(x.from) + " GROUP BY " + groupList + ", " + pivot;
    auto cells = prepareTranslated(*db, jet::tokenize(cellsSql), source, params);
    std::vector<std::tuple<size_t, StoredValue, StoredValue>> found;
    std::vector<StoredValue> columns;
    while (cells->step()) {
        std::vector<StoredValue> key;
        for (size_t i = 0; i < n; ++i)
            key.push_back(cells->value(int(i)));
        auto it = rowOfGroup.find(key);
        if (it == rowOfGroup.end()) continue; // a group the headings leave out (HAVING)
        StoredValue heading = cells->value(int(n));
        found.emplace_back(it->second, heading, cells->value(int(n + 1)));
        if (std::none_of(columns.begin(), columns.end(), [&](auto& c) { return c == heading; }))
            columns.push_back(heading);
    }
    if (!x.fixedColumns.empty()) {
        columns.clear();
        for (auto& c : x.fixedColumns) {
            const auto& tok = c.front();
            if (tok.kind == jet::TokenKind::String)
                columns.push_back(tok.text);
            else if (tok.kind == jet::TokenKind::Number)
                columns.push_back(wholeNumber(tok.text) ? StoredValue(std::int64_t(std::stoll(tok.text)))
                                                        : StoredValue(runtime::Val(tok.text)));
            else
                columns.push_back(jet::toText(c));
        }
    } else
        std::stable_sort(columns.begin(), columns.end(), headingLess);

    DataType valueType = dbLong;
    for (auto& [row, heading, value] : found)
        if (std::holds_alternative<double>(value)) valueType = dbDouble;
    for (auto& c : columns) {
        auto f = std::make_shared<FieldInfo>();
        f->name = headingText(c);
        f->type = valueType;
        f->attributes = dbFixedField;
        set->fields.push_back(f);
    }
    for (auto& r : headingRows) {
        Row row;
        row.values = r;
        row.values.resize(r.size() + columns.size());
        set->rows.push_back(std::move(row));
    }
    size_t first = headingRows.empty() ? 0 : headingRows.front().size();
    for (auto& [row, heading, value] : found)
        for (size_t k = 0; k < columns.size(); ++k)
            if (columns[k] == heading) set->rows[row].values[first + k] = value;
    return set;
}

} // namespace dao::detail
