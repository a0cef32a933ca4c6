#include "jet_text.h"
#include "jet_emit.h"

#include "errors.h"
#include "server_objects.h"
#include "types.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace dao::jet {
namespace {

using text::upper;
using text::lower;
using text::quoted;

using namespace tree;

// Jet's Like wildcards (* ? #) become the backend's (% _), the backend's own become literals.
std::string likePattern(const std::string& jet) {
    std::string out;
    for (size_t i = 0; i < jet.size(); ++i) {
        char c = jet[i];
        if (c == '[' && i + 2 < jet.size() && jet[i + 2] == ']') { // [*] [?] [#]: the character itself
            char lit = jet[i + 1];
            if (lit == '%' || lit == '_' || lit == '\\') out += '\\';
            out += lit;
            i += 2;
        } else if (c == '*')
            out += '%';
        else if (c == '?' || c == '#')
            out += '_';
        else if (c == '%' || c == '_' || c == '\\')
            out += '\\', out += c;
        else
            out += c;
    }
    return out;
}

// A pattern the backend's LIKE can match itself (and an index can use): no digit or range wildcards.
bool simplePattern(const std::string& pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '[' && i + 2 < pattern.size() && pattern[i + 2] == ']') {
            i += 2;
            continue;
        }
        if (pattern[i] == '#' || pattern[i] == '[') return false;
    }
    return true;
}

bool isPredicate(const Expr& e) {
    switch (e.kind) {
    case ExprKind::Like:
    case ExprKind::IsNull:
    case ExprKind::Between:
    case ExprKind::InList:
    case ExprKind::InQuery:
    case ExprKind::Exists:
        return true;
    case ExprKind::Unary:
        return e.text == "NOT";
    case ExprKind::Binary: {
        static const char* ops[] = {"AND", "OR", "=", "<>", "<", ">", "<=", ">="};
        return std::any_of(std::begin(ops), std::end(ops), [&](const char* o) { return e.text == o; });
    }
    default:
        return false;
    }
}

// The shared walk of the tree; what differs between the engines is asked of the subclass.
class Emitter {
public:
    Emitter(const std::vector<ParameterDecl>& parameters) : parameters_(parameters) {}
    virtual ~Emitter() = default;

    std::string statement(const tree::Statement& s) {
        collectAliases(s);
        return std::visit([this](const auto& st) { return write(st); }, s);
    }

    std::vector<std::string> placeholderNames;

protected:
    const std::vector<ParameterDecl>& parameters_;
    std::map<std::string, std::string> aliases_; // lower case -> as the statement made it

    // --- what each engine writes its own way ---
    virtual std::string dateLiteral(const std::string& iso) const = 0;
    virtual std::string truthOfValue(const std::string& value) const = 0;   // a value as a condition
    virtual std::string valueOfTruth(const std::string& condition) const = 0; // -1/0/Null
    virtual std::string asText(const std::string& value) const = 0;
    virtual std::string division(const std::string& a, const std::string& b) const = 0;
    virtual std::string integerDivision(const std::string& a, const std::string& b) const = 0;
    virtual std::string orderTerm(const std::string& value, bool descending) const = 0;
    // Like matches without regard to letter case.
    virtual std::string likeOperator() const { return "LIKE"; }
    virtual std::string negative(const Expr& e) { return "(-" + value(e) + ")"; }
    // a Mod b: both rounded to whole numbers; Null for Mod 0.
    virtual std::string modulo(const std::string& a, const std::string& b) const = 0;
    virtual std::string engineFunction(const std::string& word, const std::vector<std::string>& a) = 0;
    virtual std::string columnDefinition(const ColumnDef& c) = 0;
    virtual std::string name(const std::string& part) const { return quoted(part, '"'); }

    // --- names and parameters ---
    void collectAliases(const tree::Statement& s) {
        if (auto* sel = std::get_if<Select>(&s)) collectAliases(*sel);
        if (auto* x = std::get_if<Transform>(&s)) collectAliases(x->select);
    }
    void collectAliases(const Select& s) {
        for (auto& item : s.items)
            if (!item.alias.empty()) aliases_.emplace(lower(item.alias), item.alias);
        for (auto& f : s.from)
            collectAliases(*f);
        for (auto& u : s.unions)
            collectAliases(*u.select);
    }
    void collectAliases(const FromItem& f) {
        if (!f.alias.empty()) aliases_.emplace(lower(f.alias), f.alias);
        if (f.left) collectAliases(*f.left);
        if (f.right) collectAliases(*f.right);
        if (f.query) collectAliases(*f.query);
    }

    // A name as the statement made it: references to an alias are spelled as the alias was.
    std::string spelled(const std::string& part) const {
        auto it = aliases_.find(lower(part));
        return name(it == aliases_.end() ? part : it->second);
    }

    const ParameterDecl* parameterNamed(const std::string& n) const {
        for (auto& p : parameters_)
            if (lower(p.name) == lower(n)) return &p;
        return nullptr;
    }

    std::string placeholder(const std::string& n) {
        size_t index = 0;
        while (index < placeholderNames.size() && lower(placeholderNames[index]) != lower(n))
            ++index;
        if (index == placeholderNames.size()) placeholderNames.push_back(n);
        return "?" + std::to_string(index + 1);
    }

    std::string qualified(const std::vector<std::string>& parts) const {
        std::string out;
        for (size_t i = 0; i < parts.size(); ++i)
            out += (i ? "." : "") + (parts[i] == "*" ? std::string("*") : spelled(parts[i]));
        return out;
    }

    // --- expressions ---
    std::string truth(const Expr& e) { return isPredicate(e) ? predicate(e) : truthOfValue(value(e)); }

    std::string value(const Expr& e) {
        if (isPredicate(e)) return valueOfTruth(predicate(e));
        switch (e.kind) {
        case ExprKind::Number:
            return e.text;
        case ExprKind::Text:
            return quoted(e.text, '\'');
        case ExprKind::Date:
            return dateLiteral(e.text);
        case ExprKind::Boolean:
            return e.text;
        case ExprKind::Null:
            return "NULL";
        case ExprKind::Name:
            if (e.parts.size() == 1)
                if (auto* p = parameterNamed(e.parts[0])) return placeholder(p->name);
            return qualified(e.parts);
        case ExprKind::CountAll:
            return "COUNT(*)";
        case ExprKind::Subquery:
            return "(" + select(*e.query) + ")";
        case ExprKind::Unary:
            return e.text == "-" ? negative(*e.args[0]) : value(*e.args[0]);
        case ExprKind::Binary:
            return arithmetic(e);
        case ExprKind::Call:
            return function(e);
        default:
            raise(errc::SyntaxError, "The expression cannot be written for the database.");
        }
    }

    std::string predicate(const Expr& e) {
        const char* no = e.negated ? " NOT" : "";
        switch (e.kind) {
        case ExprKind::Unary:
            return "(NOT " + truth(*e.args[0]) + ")";
        case ExprKind::Binary: {
            bool logical = e.text == "AND" || e.text == "OR";
            std::string a = logical ? truth(*e.args[0]) : value(*e.args[0]);
            return "(" + a + " " + e.text + " " + (logical ? truth(*e.args[1]) : value(*e.args[1])) + ")";
        }
        case ExprKind::Like:
            return like(e);
        case ExprKind::IsNull:
            return "(" + value(*e.args[0]) + " IS" + no + " NULL)";
        case ExprKind::Between: {
            std::string a = value(*e.args[0]), low = value(*e.args[1]);
            return "(" + a + no + " BETWEEN " + low + " AND " + value(*e.args[2]) + ")";
        }
        case ExprKind::InList: {
            std::string list, a = value(*e.args[0]);
            for (size_t i = 1; i < e.args.size(); ++i)
                list += (i > 1 ? ", " : "") + value(*e.args[i]);
            return "(" + a + no + " IN (" + list + "))";
        }
        case ExprKind::InQuery: {
            std::string a = value(*e.args[0]);
            return "(" + a + no + " IN (" + select(*e.query) + "))";
        }
        case ExprKind::Exists:
            return "(EXISTS (" + select(*e.query) + "))";
        default:
            return truth(e);
        }
    }

    // x [NOT] LIKE pattern: a literal pattern with only the backend's wildcards is the backend's
    // LIKE; any other pattern (digits, ranges, built from fields or parameters) is dao_like.
    std::string like(const Expr& e) {
        const Expr& p = *e.args[1];
        std::string subject = value(*e.args[0]);
        if (p.kind == ExprKind::Text && simplePattern(p.text))
            return "(" + subject + (e.negated ? " NOT " : " ") + likeOperator() + " " +
                   quoted(likePattern(p.text), '\'') + " ESCAPE '\\')";
        std::string call = "dao_like(" + asText(subject) + ", " + asText(value(p)) + ")";
        return e.negated ? "(NOT " + call + ")" : call;
    }

    // Values the engine knows to be dates: literals, the date functions, parameters declared as
    // dates, and a date plus or minus days.
    bool dateValued(const Expr& e) const {
        switch (e.kind) {
        case ExprKind::Date:
            return true;
        case ExprKind::Call: {
            std::string w = upper(e.text);
            // IIf is a date when both its answers are (or one is Null).
            if (w == "IIF" && e.args.size() == 3)
                return (dateValued(*e.args[1]) || e.args[1]->kind == ExprKind::Null) &&
                       (dateValued(*e.args[2]) || e.args[2]->kind == ExprKind::Null) &&
                       !(e.args[1]->kind == ExprKind::Null && e.args[2]->kind == ExprKind::Null);
            return w == "DATE" || w == "NOW" || w == "DATEADD" || w == "DATESERIAL" || w == "DATEVALUE" ||
                   w == "CDATE";
        }
        case ExprKind::Name: {
            auto* p = e.parts.size() == 1 ? parameterNamed(e.parts[0]) : nullptr;
            return p && (upper(p->type) == "DATETIME" || upper(p->type) == "DATE");
        }
        case ExprKind::Binary:
            return (e.text == "+" && (dateValued(*e.args[0]) || dateValued(*e.args[1]))) ||
                   (e.text == "-" && dateValued(*e.args[0]) && !dateValued(*e.args[1]));
        default:
            return false;
        }
    }

    // Values the statement shows to be numbers: literals, arithmetic, the numeric functions.
    static bool numeric(const Expr& e) {
        switch (e.kind) {
        case ExprKind::Number:
        case ExprKind::CountAll:
            return true;
        case ExprKind::Unary:
            return e.text != "NOT" && numeric(*e.args[0]);
        case ExprKind::Binary:
            return e.text == "*" || e.text == "/" || e.text == "\\" || e.text == "MOD" ||
                   ((e.text == "+" || e.text == "-") && numeric(*e.args[0]) && numeric(*e.args[1]));
        case ExprKind::Call: {
            static const char* numbers[] = {"LEN",  "VAL",   "CLNG",     "CINT",     "CDBL",  "FIX",
                                            "INT",  "ROUND", "ABS",      "SGN",      "COUNT", "DATEDIFF",
                                            "YEAR", "MONTH", "DAY",      "WEEKDAY",  "HOUR",  "MINUTE",
                                            "SECOND", "INSTR", "DATEPART"};
            std::string w = upper(e.text);
            return std::any_of(std::begin(numbers), std::end(numbers), [&](const char* n) { return w == n; });
        }
        default:
            return false;
        }
    }

public:
    // What the select list shows of its columns' types, column by column up to the first `*`. A value
    // built from fields (IIf, Nz, Min, a field plus days) may be a date the statement cannot see.
    std::vector<ColumnHint> columnHints(const tree::Statement& s) const {
        std::vector<ColumnHint> out;
        const Select* select = std::get_if<Select>(&s);
        if (!select) return out;
        for (auto& item : select->items) {
            const Expr& e = *item.expr;
            if (e.kind == ExprKind::Name && e.parts.back() == "*") break;
            // A date minus a field is a date, or the days between two dates.
            bool dateMinusField = e.kind == ExprKind::Binary && e.text == "-" && !numeric(*e.args[1]);
            out.push_back(dateValued(e) && !dateMinusField  ? ColumnHint::Date
                          : numeric(e) || textValued(e) || isPredicate(e) ? ColumnHint::None
                                                                        : ColumnHint::DateIfText);
        }
        return out;
    }

    static bool textValued(const Expr& e) {
        if (e.kind == ExprKind::Text || (e.kind == ExprKind::Binary && e.text == "&")) return true;
        if (e.kind != ExprKind::Call) return false;
        static const char* texts[] = {"FORMAT", "UCASE", "LCASE", "MID",  "LEFT", "RIGHT",
                                      "TRIM",   "LTRIM", "RTRIM", "CSTR", "STR"};
        std::string w = upper(e.text);
        return std::any_of(std::begin(texts), std::end(texts), [&](const char* t) { return w == t; });
    }

protected:
    // a + b, a - b of values that may be dates (a field, a parameter): each engine decides by the value.
    virtual std::string sumOfUnknown(const std::string& op, const std::string& a, const std::string& b) const = 0;

    // Jet's & joins texts with Null read as empty text; the backends' || gives Null for Null. The
    // whole run of & is Null only when every part is.
    void concatenated(const Expr& e, std::vector<std::string>& parts) {
        if (e.kind == ExprKind::Binary && e.text == "&") {
            concatenated(*e.args[0], parts);
            concatenated(*e.args[1], parts);
        } else
            parts.push_back(asText(value(e)));
    }

    std::string arithmetic(const Expr& e) {
        if (e.text == "&") {
            std::vector<std::string> parts;
            concatenated(e, parts);
            std::string joined, all;
            for (auto& p : parts) {
                joined += (joined.empty() ? "" : " || ") + std::string("COALESCE(") + p + ", '')";
                all += (all.empty() ? "" : ", ") + p;
            }
            return "(CASE WHEN COALESCE(" + all + ") IS NULL THEN NULL ELSE " + joined + " END)";
        }
        // Null in arithmetic is Null, and the server has no type to reckon with for a bare Null.
        if (e.args[0]->kind == ExprKind::Null || e.args[1]->kind == ExprKind::Null) return "NULL";
        // Left to right, so placeholders are numbered in the order they are written.
        std::string a = value(*e.args[0]);
        std::string b = value(*e.args[1]);
        // date + days, date - days, date - date: counted in days, as the engine counts dates.
        if (e.text == "+" && dateValued(*e.args[0])) return "dao_dateadd('d', " + b + ", " + a + ")";
        if (e.text == "+" && dateValued(*e.args[1])) return "dao_dateadd('d', " + a + ", " + b + ")";
        if (e.text == "-" && (dateValued(*e.args[0]) || dateValued(*e.args[1])))
            return "dao_datesub(" + a + ", " + b + ")";
        if ((e.text == "+" || e.text == "-") && !(numeric(*e.args[0]) && numeric(*e.args[1])))
            return sumOfUnknown(e.text, a, b);
        if (e.text == "/") return division(a, b);
        if (e.text == "\\") return integerDivision(a, b);
        if (e.text == "MOD") return modulo(a, b);
        return "(" + a + " " + e.text + " " + b + ")";
    }

    std::string function(const Expr& e) {
        std::string word = upper(e.text);
        auto need = [&](size_t low, size_t high) {
            if (e.args.size() < low || e.args.size() > high)
                raise(errc::SyntaxError,
                      "Wrong number of arguments used with function '" + e.text + "' in query expression.");
        };
        if (word == "IIF") {
            need(3, 3);
            std::string condition = truth(*e.args[0]), yes = value(*e.args[1]);
            return "(CASE WHEN " + condition + " THEN " + yes + " ELSE " + value(*e.args[2]) + " END)";
        }
        if (word == "DATE" || word == "NOW") {
            need(0, 0);
            return placeholder(word == "DATE" ? "Date()" : "Now()");
        }
        std::vector<std::string> a;
        for (auto& arg : e.args)
            a.push_back(value(*arg));
        auto call = [&](const std::string& n) {
            std::string s = n + "(";
            for (size_t k = 0; k < a.size(); ++k)
                s += (k ? ", " : "") + a[k];
            return s + ")";
        };
        if (word == "NZ") return need(1, 2), "COALESCE(" + a[0] + ", " + (a.size() > 1 ? a[1] : "0") + ")";
        if (word == "UCASE") return need(1, 1), call("UPPER");
        if (word == "LCASE") return need(1, 1), call("LOWER");
        if (word == "LEN") return need(1, 1), "LENGTH(" + asText(a[0]) + ")";
        if (word == "MID")
            return need(2, 3), "SUBSTR(" + asText(a[0]) + ", " + a[1] + (a.size() > 2 ? ", " + a[2] : "") + ")";
        if (word == "TRIM" || word == "LTRIM" || word == "RTRIM") return need(1, 1), call(word);
        if (word == "LEFT") return need(2, 2), "SUBSTR(" + asText(a[0]) + ", 1, " + a[1] + ")";
        if (word == "VAL") return need(1, 1), "dao_val(" + asText(a[0]) + ")";
        if (word == "CSTR" || word == "STR") return need(1, 1), "CAST(" + a[0] + " AS TEXT)";
        if (word == "ROUND") return need(1, 2), "dao_round(" + a[0] + ", " + (a.size() > 1 ? a[1] : "0") + ")";
        if (word == "ABS") return need(1, 1), call("ABS");
        if (word == "SGN")
            return need(1, 1), "(CASE WHEN (" + a[0] + ") > 0 THEN 1 WHEN (" + a[0] + ") < 0 THEN -1 WHEN (" +
                                   a[0] + ") = 0 THEN 0 END)";
        if (word == "COUNT" || word == "SUM" || word == "AVG" || word == "MIN" || word == "MAX")
            return need(1, 1), call(word);
        if (word == "DATEADD") return need(3, 3), call("dao_dateadd");
        if (word == "DATEDIFF") return need(3, 3), call("dao_datediff");
        if (word == "DATEPART") return need(2, 2), call("dao_datepart");
        if (word == "DATEVALUE" || word == "CDATE") return need(1, 1), "dao_dateadd('d', 0, " + a[0] + ")";
        static const std::pair<const char*, const char*> parts[] = {
            {"YEAR", "yyyy"}, {"MONTH", "m"}, {"DAY", "d"}, {"WEEKDAY", "w"},
            {"HOUR", "h"},    {"MINUTE", "n"}, {"SECOND", "s"}};
        for (auto& [fn, unit] : parts)
            if (word == fn) return need(1, 1), "dao_datepart('" + std::string(unit) + "', " + a[0] + ")";
        static const char* own[] = {"RIGHT", "INSTR", "CLNG", "CINT", "CDBL", "FIX", "INT", "DATESERIAL", "FORMAT"};
        static const std::pair<size_t, size_t> counts[] = {{2, 2}, {2, 3}, {1, 1}, {1, 1}, {1, 1},
                                                           {1, 1}, {1, 1}, {3, 3}, {2, 2}};
        for (size_t k = 0; k < std::size(own); ++k)
            if (word == own[k]) {
                need(counts[k].first, counts[k].second);
                return engineFunction(word, a);
            }
        raise(errc::SyntaxError, "Undefined function '" + e.text + "' in expression.");
    }

    // --- statements ---
    std::string fromItem(const FromItem& f) {
        switch (f.kind) {
        case FromItem::Kind::Table: {
            std::string out;
            for (size_t i = 0; i < f.table.size(); ++i)
                out += (i ? "." : "") + name(f.table[i]);
            return out + (f.alias.empty() ? "" : " AS " + spelled(f.alias));
        }
        case FromItem::Kind::Query:
            // A server needs a name for every query in FROM.
            return "(" + select(*f.query) + ") AS " + (f.alias.empty() ? "dao_query" : spelled(f.alias));
        case FromItem::Kind::Join: {
            std::string right = fromItem(*f.right);
            if (f.right->kind == FromItem::Kind::Join) right = "(" + right + ")";
            return fromItem(*f.left) + " " + f.join + " JOIN " + right + " ON " + truth(*f.on);
        }
        }
        return {};
    }

    std::string selectCore(const Select& s) {
        std::string out = s.distinct ? "SELECT DISTINCT " : "SELECT ";
        for (size_t i = 0; i < s.items.size(); ++i) {
            auto& item = s.items[i];
            out += (i ? ", " : "") + value(*item.expr);
            if (!item.alias.empty()) out += " AS " + spelled(item.alias);
        }
        if (!s.from.empty()) {
            out += " FROM ";
            for (size_t i = 0; i < s.from.size(); ++i)
                out += (i ? ", " : "") + fromItem(*s.from[i]);
        }
        if (s.where) out += " WHERE " + truth(*s.where);
        if (!s.groupBy.empty()) {
            out += " GROUP BY ";
            for (size_t i = 0; i < s.groupBy.size(); ++i)
                out += (i ? ", " : "") + value(*s.groupBy[i]);
        }
        if (s.having) out += " HAVING " + truth(*s.having);
        return out;
    }

    // The select without its order and row limit: what TOP n PERCENT counts.
    std::string unordered(const Select& s) {
        std::string out = selectCore(s);
        for (auto& u : s.unions)
            out += std::string(" UNION ") + (u.all ? "ALL " : "") + select(*u.select);
        return out;
    }

    std::string select(const Select& s) {
        std::string out = unordered(s);
        if (!s.orderBy.empty()) {
            out += " ORDER BY ";
            for (size_t i = 0; i < s.orderBy.size(); ++i)
                out += (i ? ", " : "") + orderTerm(value(*s.orderBy[i].expr), s.orderBy[i].descending);
        }
        if (!s.top.empty()) out += " LIMIT " + (s.percent ? share(s) : s.top);
        return out;
    }

    // A share of the rows, rounded up as the engine does.
    std::string share(const Select& s) {
        std::string n = "(COUNT(*) * " + s.top + " + 99.999999) / 100";
        return "(SELECT CAST(" + wholeShare(n) + " AS INTEGER) FROM (" + unordered(s) + ") AS dao_rows)";
    }
    virtual std::string wholeShare(const std::string& n) const { return n; }

    std::string write(const Select& s) {
        if (!s.intoTable.empty())
            raise(errc::SyntaxError, "SELECT ... INTO is carried out by the layer, not written as one statement.");
        return select(s);
    }

    std::string write(const Transform&) {
        raise(errc::SyntaxError, "A crosstab is carried out by the layer, not written as one statement.");
    }

    std::string target(const FromItem& f) {
        if (f.kind != FromItem::Kind::Table)
            raise(errc::SyntaxError, "Only a table can be changed by UPDATE or DELETE.");
        return fromItem(f);
    }

    std::string write(const Insert& s) {
        std::string out = "INSERT INTO ";
        for (size_t i = 0; i < s.table.size(); ++i)
            out += (i ? "." : "") + name(s.table[i]);
        if (!s.columns.empty()) {
            out += " (";
            for (size_t i = 0; i < s.columns.size(); ++i)
                out += (i ? ", " : "") + name(s.columns[i]);
            out += ")";
        }
        if (s.query) return out + " " + select(*s.query);
        out += " VALUES ";
        for (size_t r = 0; r < s.rows.size(); ++r) {
            out += r ? ", (" : "(";
            for (size_t i = 0; i < s.rows[r].size(); ++i)
                out += (i ? ", " : "") + value(*s.rows[r][i]);
            out += ")";
        }
        return out;
    }

    std::string write(const Update& s) {
        std::string out = "UPDATE " + target(*s.target) + " SET ";
        // The backends name assigned columns without their table.
        for (size_t i = 0; i < s.assignments.size(); ++i)
            out += (i ? ", " : "") + name(s.assignments[i].column.back()) + " = " + value(*s.assignments[i].value);
        if (s.where) out += " WHERE " + truth(*s.where);
        return out;
    }

    std::string write(const Delete& s) {
        std::string out = "DELETE FROM " + target(*s.target);
        if (s.where) out += " WHERE " + truth(*s.where);
        return out;
    }

    std::string write(const CreateTable& s) {
        std::string out = "CREATE TABLE " + name(s.name) + " (";
        for (size_t i = 0; i < s.columns.size(); ++i)
            out += (i ? ", " : "") + columnDefinition(s.columns[i]);
        if (!s.primaryKey.empty()) {
            out += ", PRIMARY KEY (";
            for (size_t i = 0; i < s.primaryKey.size(); ++i)
                out += (i ? ", " : "") + name(s.primaryKey[i]);
            out += ")";
        }
        return out + ")";
    }

    std::string write(const CreateIndex& s) {
        std::string out = std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " + name(s.name) +
                          " ON " + name(s.table) + " (";
        for (size_t i = 0; i < s.columns.size(); ++i)
            out += (i ? ", " : "") + name(s.columns[i].expr->parts[0]) + (s.columns[i].descending ? " DESC" : "");
        return out + ")";
    }

    std::string write(const Drop& s) { return (s.index ? "DROP INDEX " : "DROP TABLE ") + name(s.name); }

    std::string write(const AlterTable& s) {
        if (!s.add) return "ALTER TABLE " + name(s.table) + " DROP COLUMN " + name(s.column.name);
        return "ALTER TABLE " + name(s.table) + " ADD COLUMN " + columnDefinition(s.column);
    }

    // A default in a definition: a literal as it is, anything else in parentheses.
    std::string defaultValue(const Expr& e) {
        std::string v = value(e);
        bool literal = e.kind == ExprKind::Number || e.kind == ExprKind::Text || e.kind == ExprKind::Null ||
                       e.kind == ExprKind::Boolean;
        return literal ? v : "(" + v + ")";
    }

    // What follows a column's type in both engines.
    std::string constraints(const ColumnDef& c, bool key) {
        std::string out;
        if (key) out += " PRIMARY KEY";
        if (c.notNull) out += " NOT NULL";
        if (c.unique) out += " UNIQUE";
        if (c.defaultValue) out += " DEFAULT " + defaultValue(*c.defaultValue);
        return out;
    }
};

class FileEmitter final : public Emitter {
public:
    using Emitter::Emitter;

private:
    std::string dateLiteral(const std::string& iso) const override { return "'" + iso + "'"; }
    std::string truthOfValue(const std::string& v) const override { return v; }
    std::string valueOfTruth(const std::string& c) const override { return "(-" + c + ")"; }
    std::string asText(const std::string& v) const override { return v; }
    // Jet divides as fractions, whatever the operands; division by zero is Null.
    std::string division(const std::string& a, const std::string& b) const override {
        return "(CAST(" + a + " AS REAL) / " + b + ")";
    }
    std::string integerDivision(const std::string& a, const std::string& b) const override {
        return "(dao_round(" + a + ", 0) / dao_round(" + b + ", 0))";
    }
    std::string orderTerm(const std::string& v, bool descending) const override {
        return v + (descending ? " DESC" : "");
    }
    std::string sumOfUnknown(const std::string& op, const std::string& a, const std::string& b) const override {
        return (op == "+" ? "dao_add(" : "dao_sub(") + a + ", " + b + ")";
    }
    std::string modulo(const std::string& a, const std::string& b) const override {
        return "(dao_round(" + a + ", 0) % dao_round(" + b + ", 0))";
    }
    std::string engineFunction(const std::string& word, const std::vector<std::string>& a) override {
        if (word == "RIGHT") return "SUBSTR(" + a[0] + ", MAX(LENGTH(" + a[0] + ") - (" + a[1] + ") + 1, 1))";
        if (word == "INSTR") return instr(a);
        if (word == "CLNG" || word == "CINT") return "dao_round(" + a[0] + ", 0)";
        if (word == "CDBL") return "CAST(" + a[0] + " AS REAL)";
        // CAST to a whole number cuts the fraction off.
        if (word == "FIX") return "CAST(" + a[0] + " AS INTEGER)";
        if (word == "INT")
            return "(CASE WHEN (" + a[0] + ") < CAST(" + a[0] + " AS INTEGER) THEN CAST(" + a[0] +
                   " AS INTEGER) - 1 ELSE CAST(" + a[0] + " AS INTEGER) END)";
        if (word == "DATESERIAL") return "dao_dateserial(" + a[0] + ", " + a[1] + ", " + a[2] + ")";
        return "dao_format(" + a[0] + ", " + a[1] + ")"; // FORMAT
    }
    // InStr compares texts without regard to letter case.
    std::string instr(const std::vector<std::string>& a) const {
        if (a.size() == 2) return "INSTR(LOWER(" + a[0] + "), LOWER(" + a[1] + "))";
        std::string found = "INSTR(LOWER(SUBSTR(" + a[1] + ", " + a[0] + ")), LOWER(" + a[2] + "))";
        return "(CASE WHEN " + found + " > 0 THEN " + found + " + (" + a[0] + ") - 1 ELSE 0 END)";
    }
    std::string columnDefinition(const ColumnDef& c) override {
        std::string out = name(c.name) + " " + c.type;
        if (!c.size.empty()) {
            out += "(";
            for (size_t i = 0; i < c.size.size(); ++i)
                out += (i ? ", " : "") + c.size[i];
            out += ")";
        }
        if (c.primaryKey) out += c.autoIncrement ? " PRIMARY KEY AUTOINCREMENT" : " PRIMARY KEY";
        out += constraints(c, false);
        if (c.noCase) out += " COLLATE NOCASE";
        return out;
    }
};

class ServerEmitter final : public Emitter {
public:
    using Emitter::Emitter;

private:
    // The server keeps 63 bytes of a name: a longer one would be made and then never found.
    std::string name(const std::string& part) const override {
        if (part.size() > 63)
            raise(errc::SyntaxError, "The name '" + part.substr(0, 40) +
                                         "...' is longer than the database server keeps (63 bytes).");
        return quoted(part, '"');
    }
    std::string dateLiteral(const std::string& iso) const override { return "TIMESTAMP '" + iso + "'"; }
    // The server's conditions are truth values: a Yes/No value is compared with No.
    std::string truthOfValue(const std::string& v) const override { return "(" + v + " <> 0)"; }
    std::string valueOfTruth(const std::string& c) const override { return "(-CAST(" + c + " AS INTEGER))"; }
    std::string asText(const std::string& v) const override { return "CAST(" + v + " AS TEXT)"; }
    // A division by zero is Null on the file engine; the server would fail the statement.
    std::string division(const std::string& a, const std::string& b) const override {
        return "(CAST(" + a + " AS DOUBLE PRECISION) / NULLIF(" + b + ", 0))";
    }
    std::string integerDivision(const std::string& a, const std::string& b) const override {
        return "CAST(TRUNC(dao_round(" + a + ", 0) / NULLIF(dao_round(" + b + ", 0), 0)) AS BIGINT)";
    }
    // Empty values first going up and last going down, as the file engine sorts them.
    std::string orderTerm(const std::string& v, bool descending) const override {
        return v + (descending ? " DESC NULLS LAST" : " NULLS FIRST");
    }
    std::string wholeShare(const std::string& n) const override { return "TRUNC(" + n + ")"; }
    // The server knows each value's type: its own operators, and the layer's for a date and days.
    std::string sumOfUnknown(const std::string& op, const std::string& a, const std::string& b) const override {
        if (op == "-") return "dao_difference(" + a + " - " + b + ")";
        return "(" + a + " " + op + " " + b + ")";
    }
    std::string modulo(const std::string& a, const std::string& b) const override {
        return "(" + whole("dao_round(" + a + ", 0)") + " % NULLIF(" + whole("dao_round(" + b + ", 0)") + ", 0))";
    }
    // The server's LIKE sees letter case in texts that are not the citext of a column.
    std::string likeOperator() const override { return "ILIKE"; }
    // Minus a value the server has no type for yet (Null, a parameter) is taken from zero.
    std::string negative(const Expr& e) override {
        if (e.kind == ExprKind::Number) return "(-" + e.text + ")";
        return "(0 - " + value(e) + ")";
    }
    // The server's dao_round gives a double; a whole number is what these give.
    static std::string whole(const std::string& v) { return "CAST(" + v + " AS BIGINT)"; }
    std::string engineFunction(const std::string& word, const std::vector<std::string>& a) override {
        if (word == "RIGHT") return "RIGHT(" + asText(a[0]) + ", " + a[1] + ")";
        if (word == "INSTR") return instr(a);
        if (word == "CLNG" || word == "CINT") return whole("dao_round(" + a[0] + ", 0)");
        if (word == "CDBL") return "CAST(" + a[0] + " AS DOUBLE PRECISION)";
        if (word == "FIX") return whole("TRUNC(" + a[0] + ")");
        if (word == "INT") return whole("FLOOR(" + a[0] + ")");
        if (word == "DATESERIAL")
            return "dao_dateserial(CAST(" + a[0] + " AS INTEGER), CAST(" + a[1] + " AS INTEGER), CAST(" + a[2] +
                   " AS INTEGER))";
        // A named format is written in the workstation's language; the server is told its pattern.
        const std::string& f = a[1];
        if (f.size() >= 2 && f.front() == '\'' && f.back() == '\'' && f.find('\'', 1) == f.size() - 1)
            if (auto pattern = namedFormatPattern(f.substr(1, f.size() - 2)); !pattern.empty())
                return "dao_format(" + a[0] + ", " + quoted(pattern, '\'') + ")";
        return "dao_format(" + a[0] + ", " + a[1] + ")";
    }
    std::string instr(const std::vector<std::string>& a) const {
        if (a.size() == 2) return "STRPOS(LOWER(" + asText(a[0]) + "), LOWER(" + asText(a[1]) + "))";
        std::string found = "STRPOS(LOWER(SUBSTR(" + asText(a[1]) + ", " + a[0] + ")), LOWER(" + asText(a[2]) + "))";
        return "(CASE WHEN " + found + " > 0 THEN " + found + " + (" + a[0] + ") - 1 ELSE 0 END)";
    }
    // Each column's type as the server names the same field type; a counter is the table's key.
    std::string columnDefinition(const ColumnDef& c) override {
        std::string t = upper(c.type);
        bool counter = c.autoIncrement || t == "COUNTER" || t == "AUTOINCREMENT";
        return name(c.name) + " " + serverDeclaredType(typeOfDeclared(c.type, std::monostate{}), counter) +
               constraints(c, c.primaryKey && !counter);
    }
};

} // namespace

Translation emit(const tree::Statement& statement, const std::vector<ParameterDecl>& parameters,
                 Dialect dialect) {
    std::unique_ptr<Emitter> e;
    if (dialect == Dialect::Server)
        e = std::make_unique<ServerEmitter>(parameters);
    else
        e = std::make_unique<FileEmitter>(parameters);
    Translation out;
    out.sql = e->statement(statement);
    out.placeholderNames = e->placeholderNames;
    out.columns = e->columnHints(statement);
    return out;
}

} // namespace dao::jet
