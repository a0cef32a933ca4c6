#include "jet_text.h"
#include "jet_parser.h"

#include "errors.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace dao::jet {
namespace {

using text::upper;
using text::lower;
using text::quoted;

using namespace tree;

// Words that begin or end a part of a statement: never a bare name.
bool reserved(const std::string& word) {
    static const char* words[] = {
        "SELECT", "FROM",   "WHERE",  "GROUP",    "BY",          "HAVING", "ORDER",  "UNION",  "ALL",
        "AS",     "ON",     "JOIN",   "INNER",    "LEFT",        "RIGHT",  "OUTER",  "AND",    "OR",
        "NOT",    "LIKE",   "IS",     "NULL",     "BETWEEN",     "IN",     "EXISTS", "INTO",   "VALUES",
        "SET",    "UPDATE", "DELETE", "INSERT",   "CREATE",      "DROP",   "ALTER",  "TABLE",  "INDEX",
        "PIVOT",  "ASC",    "DESC",   "DISTINCT", "DISTINCTROW", "TOP",    "MOD",    "XOR",    "EQV",
        "IMP",    "CASE",   "WHEN",   "THEN",     "ELSE",        "END",    "YES",    "NO",     "TRUE",
        "FALSE",  "TRANSFORM", "PARAMETERS"};
    std::string u = upper(word);
    return std::any_of(std::begin(words), std::end(words), [&](const char* w) { return u == w; });
}

std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

[[noreturn]] void badDate(const std::string& text) {
    raise(errc::SyntaxError, "Syntax error in date in query expression '#" + text + "#'.");
}

int monthNamed(const std::string& word) {
    static const char* names[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                  "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
    std::string w = upper(word);
    for (int m = 0; m < 12; ++m)
        if (w.size() >= 3 && std::string(names[m]).rfind(w, 0) == 0) return m + 1;
    return 0;
}

bool validDay(int year, int month, int day) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= days[month - 1] + (month == 2 && leap);
}

class Parser {
public:
    explicit Parser(const Tokens& body) {
        for (auto& t : body)
            if (t.kind != TokenKind::Space) t_.push_back(t);
    }

    tree::Statement statement() {
        if (t_.empty()) raise(errc::SyntaxError, "The statement is empty.");
        tree::Statement s = body();
        if (at_ < t_.size()) {
            if (isSymbol(")")) raise(errc::SyntaxError, "Extra ) in query expression near ')'.");
            raise(errc::TextAfterEnd, "Characters found after end of SQL statement: '" + t_[at_].text + "'.");
        }
        return s;
    }

    // A record set's filter or sort, read whole on its own before it is put into a statement.
    void condition() {
        if (t_.empty()) return;
        expression();
        rest();
    }
    void order() {
        if (t_.empty()) return;
        orderTerms();
        rest();
    }

private:
    Tokens t_;

    void rest() const {
        if (at_ >= t_.size()) return;
        if (t_[at_].kind == TokenKind::Symbol && t_[at_].text == ")")
            raise(errc::SyntaxError, "Extra ) in query expression near ')'.");
        raise(errc::SyntaxError, "Syntax error in query expression near '" + t_[at_].text + "'.");
    }
    size_t at_ = 0;
    int depth_ = 0; // how deep in expressions: a hostile text cannot exhaust the stack

    struct Deeper {
        Parser& p;
        explicit Deeper(Parser& parser) : p(parser) {
            if (++p.depth_ > 200) raise(errc::SyntaxError, "The expression is nested too deeply.");
        }
        ~Deeper() { --p.depth_; }
    };

    tree::Statement body() {
        if (isWord("SELECT") || isSymbol("(")) return select(true);
        if (acceptWord("TRANSFORM")) return transform();
        if (acceptWord("INSERT")) return insert();
        if (acceptWord("UPDATE")) return update();
        if (acceptWord("DELETE")) return remove();
        if (acceptWord("CREATE")) {
            if (acceptWord("TABLE")) return createTable();
            return createIndex();
        }
        if (acceptWord("DROP")) return drop();
        if (acceptWord("ALTER")) return alter();
        raise(errc::SyntaxError, "The statement must begin with SELECT, TRANSFORM, INSERT, UPDATE, DELETE, "
                                 "CREATE, DROP or ALTER.");
    }

    // --- tokens ---
    const Token* peek(size_t ahead = 0) const { return at_ + ahead < t_.size() ? &t_[at_ + ahead] : nullptr; }
    bool isWord(const char* w, size_t ahead = 0) const {
        auto* k = peek(ahead);
        return k && k->kind == TokenKind::Word && upper(k->text) == w;
    }
    bool isSymbol(const char* s, size_t ahead = 0) const {
        auto* k = peek(ahead);
        return k && k->kind == TokenKind::Symbol && k->text == s;
    }
    bool acceptWord(const char* w) {
        if (!isWord(w)) return false;
        ++at_;
        return true;
    }
    bool acceptSymbol(const char* s) {
        if (!isSymbol(s)) return false;
        ++at_;
        return true;
    }
    [[noreturn]] void unexpected(const char* wanted) const {
        if (at_ >= t_.size()) {
            if (wanted == std::string(")"))
                raise(errc::SyntaxError, "A parenthesis is not closed in the statement.");
            raise(errc::SyntaxError, std::string("Syntax error: the statement ends where ") + wanted +
                                         " was expected.");
        }
        const Token& k = t_[at_];
        std::string shown = k.kind == TokenKind::Name     ? "[" + k.text + "]"
                            : k.kind == TokenKind::String ? "\"" + k.text + "\""
                            : k.kind == TokenKind::Date   ? "#" + k.text + "#"
                                                          : k.text;
        raise(errc::SyntaxError,
              "Syntax error in query expression near '" + shown + "' (" + wanted + " expected).");
    }
    void expectWord(const char* w) {
        if (!acceptWord(w)) unexpected(w);
    }
    void expectSymbol(const char* s) {
        if (!acceptSymbol(s)) unexpected(s);
    }
    // A name: [anything] or a word that is not one of the statement's own.
    bool isName(size_t ahead = 0) const {
        auto* k = peek(ahead);
        return k && (k->kind == TokenKind::Name || (k->kind == TokenKind::Word && !reserved(k->text)));
    }
    std::string name(const char* what = "a name") {
        if (!isName()) unexpected(what);
        return t_[at_++].text;
    }
    std::vector<std::string> qualifiedName() {
        std::vector<std::string> parts{name()};
        while (acceptSymbol("."))
            parts.push_back(name());
        return parts;
    }
    std::string optionalAlias() {
        if (acceptWord("AS")) return name("a name after AS");
        if (isName()) return name();
        return {};
    }

    // --- statements ---
    std::unique_ptr<Select> subquery() {
        auto s = std::make_unique<Select>(select(false));
        return s;
    }

    Select select(bool statementLevel) {
        Deeper guard(*this);
        Select s = selectCore(statementLevel);
        while (acceptWord("UNION")) {
            Select::Union u;
            u.all = acceptWord("ALL");
            u.select = std::make_unique<Select>(selectCore(false));
            s.unions.push_back(std::move(u));
        }
        if (acceptWord("ORDER")) {
            expectWord("BY");
            s.orderBy = orderTerms();
        }
        return s;
    }

    Select selectCore(bool statementLevel) {
        if (acceptSymbol("(")) { // (SELECT ...) UNION (SELECT ...)
            Select inner = select(false);
            expectSymbol(")");
            return inner;
        }
        Select s;
        expectWord("SELECT");
        if (acceptWord("DISTINCT") || acceptWord("DISTINCTROW"))
            s.distinct = true;
        else
            acceptWord("ALL");
        if (acceptWord("TOP")) {
            auto* n = peek();
            if (!n || n->kind != TokenKind::Number ||
                !std::all_of(n->text.begin(), n->text.end(), [](char c) { return std::isdigit((unsigned char)c); }) ||
                n->text.size() > 9)
                raise(errc::SyntaxError, "TOP needs a whole number of rows.");
            s.top = n->text;
            ++at_;
            s.percent = acceptWord("PERCENT");
        }
        do {
            SelectItem item;
            if (acceptSymbol("*")) {
                item.expr = node(ExprKind::Name);
                item.expr->parts = {"*"};
            } else {
                item.expr = expression();
                if (acceptWord("AS")) item.alias = name("a column name after AS");
            }
            s.items.push_back(std::move(item));
        } while (acceptSymbol(","));
        if (statementLevel && acceptWord("INTO")) {
            s.intoTable = name("the new table's name");
            if (acceptWord("IN")) {
                auto* f = peek();
                if (!f || f->kind != TokenKind::String)
                    raise(errc::SyntaxError, "SELECT ... INTO ... IN needs the database file in quotes.");
                s.intoFile = f->text;
                ++at_;
            }
        }
        if (acceptWord("FROM")) {
            do
                s.from.push_back(fromItem());
            while (acceptSymbol(","));
        }
        if (acceptWord("WHERE")) s.where = expression();
        if (acceptWord("GROUP")) {
            expectWord("BY");
            do
                s.groupBy.push_back(expression());
            while (acceptSymbol(","));
        }
        if (acceptWord("HAVING")) s.having = expression();
        return s;
    }

    std::vector<OrderTerm> orderTerms() {
        std::vector<OrderTerm> terms;
        do {
            OrderTerm o;
            o.expr = expression();
            if (acceptWord("DESC"))
                o.descending = true;
            else
                acceptWord("ASC");
            terms.push_back(std::move(o));
        } while (acceptSymbol(","));
        return terms;
    }

    std::unique_ptr<FromItem> fromItem() {
        Deeper guard(*this);
        auto left = fromPrimary();
        for (;;) {
            std::string join;
            if (acceptWord("INNER"))
                join = "INNER";
            else if (acceptWord("LEFT"))
                join = "LEFT";
            else if (acceptWord("RIGHT"))
                join = "RIGHT";
            else
                break;
            if (join != "INNER") acceptWord("OUTER");
            expectWord("JOIN");
            auto j = std::make_unique<FromItem>();
            j->kind = FromItem::Kind::Join;
            j->join = join;
            j->left = std::move(left);
            j->right = fromPrimary();
            expectWord("ON");
            j->on = expression();
            left = std::move(j);
        }
        return left;
    }

    std::unique_ptr<FromItem> fromPrimary() {
        auto item = std::make_unique<FromItem>();
        if (acceptSymbol("(")) {
            if (isWord("SELECT")) {
                item->kind = FromItem::Kind::Query;
                item->query = subquery();
                expectSymbol(")");
                item->alias = optionalAlias();
                return item;
            }
            item = fromItem();
            expectSymbol(")");
            return item;
        }
        item->table = qualifiedName();
        if (item->table.size() > 2) unexpected("a table");
        item->alias = optionalAlias();
        return item;
    }

    Transform transform() {
        Transform x;
        x.value = expression();
        if (acceptWord("AS")) name(); // the cells' own name is not used
        x.select = select(false);
        expectWord("PIVOT");
        x.pivot = expression();
        if (acceptWord("IN")) {
            expectSymbol("(");
            do
                x.fixedColumns.push_back(expression());
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        if (x.select.groupBy.empty()) raise(errc::SyntaxError, "A crosstab needs GROUP BY.");
        return x;
    }

    Insert insert() {
        Insert s;
        expectWord("INTO");
        s.table = qualifiedName();
        if (acceptSymbol("(")) {
            do
                s.columns.push_back(name("a column"));
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        if (acceptWord("VALUES")) {
            do {
                expectSymbol("(");
                std::vector<ExprPtr> row;
                do
                    row.push_back(expression());
                while (acceptSymbol(","));
                expectSymbol(")");
                s.rows.push_back(std::move(row));
            } while (acceptSymbol(","));
        } else
            s.query = subquery();
        return s;
    }

    Update update() {
        Update s;
        s.target = fromItem();
        expectWord("SET");
        do {
            Assignment a;
            a.column = qualifiedName();
            expectSymbol("=");
            a.value = expression();
            s.assignments.push_back(std::move(a));
        } while (acceptSymbol(","));
        if (acceptWord("WHERE")) s.where = expression();
        return s;
    }

    Delete remove() {
        Delete s;
        // DELETE * FROM / DELETE T.* FROM: whole rows are deleted anyway.
        if (!acceptSymbol("*") && !isWord("FROM")) {
            name("a table");
            while (acceptSymbol("."))
                if (acceptSymbol("*")) break;
                else name();
        }
        expectWord("FROM");
        s.target = fromItem();
        if (acceptWord("WHERE")) s.where = expression();
        return s;
    }

    ColumnDef columnDef() {
        ColumnDef c;
        c.name = name("a column");
        if (!peek() || peek()->kind != TokenKind::Word) unexpected("a type");
        c.type = t_[at_++].text;
        if (acceptSymbol("(")) {
            do {
                auto* n = peek();
                if (!n || n->kind != TokenKind::Number) unexpected("a size");
                c.size.push_back(n->text);
                ++at_;
            } while (acceptSymbol(","));
            expectSymbol(")");
        }
        for (;;) {
            if (acceptWord("PRIMARY")) {
                expectWord("KEY");
                c.primaryKey = true;
            } else if (acceptWord("AUTOINCREMENT"))
                c.autoIncrement = true;
            else if (acceptWord("NOT")) {
                expectWord("NULL");
                c.notNull = true;
            } else if (acceptWord("NULL")) {
            } else if (acceptWord("UNIQUE"))
                c.unique = true;
            else if (acceptWord("COLLATE")) {
                expectWord("NOCASE");
                c.noCase = true;
            } else if (acceptWord("DEFAULT"))
                c.defaultValue = unary();
            else
                break;
        }
        return c;
    }

    std::vector<std::string> nameList() {
        std::vector<std::string> names;
        expectSymbol("(");
        do
            names.push_back(name());
        while (acceptSymbol(","));
        expectSymbol(")");
        return names;
    }

    CreateTable createTable() {
        CreateTable s;
        s.name = name("the table's name");
        expectSymbol("(");
        do {
            if (acceptWord("CONSTRAINT")) name();
            if (acceptWord("PRIMARY")) {
                expectWord("KEY");
                s.primaryKey = nameList();
            } else
                s.columns.push_back(columnDef());
        } while (acceptSymbol(","));
        expectSymbol(")");
        return s;
    }

    CreateIndex createIndex() {
        CreateIndex s;
        s.unique = acceptWord("UNIQUE");
        expectWord("INDEX");
        s.name = name("the index's name");
        expectWord("ON");
        s.table = name("a table");
        expectSymbol("(");
        do {
            OrderTerm o;
            o.expr = node(ExprKind::Name);
            o.expr->parts = {name("a column")};
            if (acceptWord("DESC"))
                o.descending = true;
            else
                acceptWord("ASC");
            s.columns.push_back(std::move(o));
        } while (acceptSymbol(","));
        expectSymbol(")");
        return s;
    }

    Drop drop() {
        Drop s;
        if (acceptWord("INDEX")) {
            s.index = true;
            s.name = name("the index's name");
            if (acceptWord("ON")) s.table = name("a table");
            return s;
        }
        expectWord("TABLE");
        s.name = name("the table's name");
        return s;
    }

    AlterTable alter() {
        AlterTable s;
        expectWord("TABLE");
        s.table = name("the table's name");
        if (acceptWord("ADD")) {
            acceptWord("COLUMN");
            s.column = columnDef();
            return s;
        }
        expectWord("DROP");
        acceptWord("COLUMN");
        s.add = false;
        s.column.name = name("a column");
        return s;
    }

    // --- expressions, from the loosest operator to the tightest ---
    static ExprPtr node(ExprKind kind, std::string text = {}) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->text = std::move(text);
        return e;
    }
    // Operators of one level are read in a loop, so a long run of them nests deeply in the tree
    // without nesting in the reader: the tree's height is checked as it grows, so that writing
    // it out cannot exhaust the stack either.
    static ExprPtr grown(ExprPtr e) {
        for (auto& a : e->args)
            e->height = std::max(e->height, a->height + 1);
        if (e->height > 400) raise(errc::SyntaxError, "The expression is nested too deeply.");
        return e;
    }
    static ExprPtr binary(std::string op, ExprPtr a, ExprPtr b) {
        auto e = node(ExprKind::Binary, std::move(op));
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return grown(std::move(e));
    }

    ExprPtr expression() {
        Deeper guard(*this);
        return disjunction();
    }

    ExprPtr disjunction() {
        auto e = conjunction();
        while (acceptWord("OR"))
            e = binary("OR", std::move(e), conjunction());
        return e;
    }

    ExprPtr conjunction() {
        auto e = negation();
        while (acceptWord("AND"))
            e = binary("AND", std::move(e), negation());
        return e;
    }

    ExprPtr negation() {
        if (acceptWord("NOT")) {
            Deeper guard(*this);
            auto e = node(ExprKind::Unary, "NOT");
            e->args.push_back(negation());
            return grown(std::move(e));
        }
        return comparison();
    }

    ExprPtr comparison() {
        auto e = concatenation();
        for (;;) {
            static const char* ops[] = {"=", "<>", "<", ">", "<=", ">=", "!="};
            auto* k = peek();
            if (k && k->kind == TokenKind::Symbol &&
                std::any_of(std::begin(ops), std::end(ops), [&](const char* o) { return k->text == o; })) {
                std::string op = k->text == "!=" ? "<>" : k->text;
                ++at_;
                e = binary(op, std::move(e), concatenation());
                continue;
            }
            bool negated = isWord("NOT") && (isWord("LIKE", 1) || isWord("BETWEEN", 1) || isWord("IN", 1));
            if (negated) ++at_;
            if (acceptWord("LIKE")) {
                auto like = node(ExprKind::Like);
                like->negated = negated;
                like->args.push_back(std::move(e));
                like->args.push_back(concatenation());
                e = grown(std::move(like));
            } else if (acceptWord("BETWEEN")) {
                auto between = node(ExprKind::Between);
                between->negated = negated;
                between->args.push_back(std::move(e));
                between->args.push_back(concatenation());
                expectWord("AND");
                between->args.push_back(concatenation());
                e = grown(std::move(between));
            } else if (acceptWord("IN")) {
                expectSymbol("(");
                auto in = node(isWord("SELECT") ? ExprKind::InQuery : ExprKind::InList);
                in->negated = negated;
                in->args.push_back(std::move(e));
                if (in->kind == ExprKind::InQuery)
                    in->query = subquery();
                else
                    do
                        in->args.push_back(expression());
                    while (acceptSymbol(","));
                expectSymbol(")");
                e = grown(std::move(in));
            } else if (acceptWord("IS")) {
                auto is = node(ExprKind::IsNull);
                is->negated = acceptWord("NOT");
                expectWord("NULL");
                is->args.push_back(std::move(e));
                e = grown(std::move(is));
            } else
                return e;
        }
    }

    ExprPtr concatenation() {
        auto e = additive();
        while (acceptSymbol("&"))
            e = binary("&", std::move(e), additive());
        return e;
    }

    ExprPtr additive() {
        auto e = modulo();
        for (;;) {
            if (acceptSymbol("+"))
                e = binary("+", std::move(e), modulo());
            else if (acceptSymbol("-"))
                e = binary("-", std::move(e), modulo());
            else
                return e;
        }
    }

    ExprPtr modulo() {
        auto e = integerDivision();
        while (acceptWord("MOD"))
            e = binary("MOD", std::move(e), integerDivision());
        return e;
    }

    ExprPtr integerDivision() {
        auto e = multiplicative();
        while (acceptSymbol("\\"))
            e = binary("\\", std::move(e), multiplicative());
        return e;
    }

    ExprPtr multiplicative() {
        auto e = unary();
        for (;;) {
            if (acceptSymbol("*"))
                e = binary("*", std::move(e), unary());
            else if (acceptSymbol("/"))
                e = binary("/", std::move(e), unary());
            else
                return e;
        }
    }

    ExprPtr unary() {
        if (isSymbol("-") || isSymbol("+")) {
            Deeper guard(*this);
            auto e = node(ExprKind::Unary, t_[at_++].text);
            e->args.push_back(unary());
            return grown(std::move(e));
        }
        auto e = primary();
        if (isSymbol("^")) raise(errc::SyntaxError, "The operator ^ is not supported in query expressions.");
        return e;
    }

    ExprPtr primary() {
        auto* k = peek();
        if (!k) unexpected("a value");
        switch (k->kind) {
        case TokenKind::Number:
            ++at_;
            return number(k->text);
        case TokenKind::String:
            ++at_;
            return node(ExprKind::Text, k->text);
        case TokenKind::Date:
            ++at_;
            return node(ExprKind::Date, isoFromDateLiteral(k->text));
        case TokenKind::Name:
            if (isSymbol("(", 1))
                raise(errc::SyntaxError, "Undefined function '[" + k->text + "]' in expression.");
            return nameReference();
        case TokenKind::Symbol:
            if (acceptSymbol("(")) {
                Deeper guard(*this);
                ExprPtr e;
                if (isWord("SELECT")) {
                    e = node(ExprKind::Subquery);
                    e->query = subquery();
                } else
                    e = expression();
                expectSymbol(")");
                return e;
            }
            unexpected("a value");
        case TokenKind::Word:
            break;
        case TokenKind::Space:
            unexpected("a value");
        }
        std::string word = upper(k->text);
        if (word == "YES" || word == "TRUE") return ++at_, node(ExprKind::Boolean, "-1");
        if (word == "NO" || word == "FALSE") return ++at_, node(ExprKind::Boolean, "0");
        if (word == "NULL") return ++at_, node(ExprKind::Null);
        if (word == "EXISTS") {
            ++at_;
            expectSymbol("(");
            auto e = node(ExprKind::Exists);
            e->query = subquery();
            expectSymbol(")");
            return e;
        }
        if (isSymbol("(", 1)) return call();
        if (reserved(k->text)) unexpected("a value");
        return nameReference();
    }

    ExprPtr number(const std::string& text) {
        size_t points = std::count(text.begin(), text.end(), '.');
        if (points > 1) raise(errc::SyntaxError, "Syntax error in number in query expression '" + text + "'.");
        return node(ExprKind::Number, text);
    }

    ExprPtr nameReference() {
        auto e = node(ExprKind::Name);
        e->parts.push_back(t_[at_++].text);
        while (acceptSymbol(".")) {
            if (acceptSymbol("*")) {
                e->parts.push_back("*");
                break;
            }
            // After a dot a word is a name, whatever else it can mean (T.Yes, T.Date).
            auto* k = peek();
            if (!k || (k->kind != TokenKind::Word && k->kind != TokenKind::Name)) unexpected("a name");
            e->parts.push_back(t_[at_++].text);
            if (isSymbol("("))
                raise(errc::SyntaxError, "Undefined function '" + e->parts.front() + "." + e->parts.back() +
                                             "' in expression.");
        }
        return e;
    }

    ExprPtr call() {
        auto e = node(ExprKind::Call, t_[at_].text);
        at_ += 2; // the name and its parenthesis
        Deeper guard(*this);
        if (upper(e->text) == "COUNT" && acceptSymbol("*")) {
            expectSymbol(")");
            return node(ExprKind::CountAll);
        }
        if (!acceptSymbol(")")) {
            do
                e->args.push_back(expression());
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        return grown(std::move(e));
    }
};

} // namespace

// #date# literals as the engine reads them: ISO yyyy-mm-dd, US m/d/yyyy (m-d-yyyy), d-Mon-yyyy,
// Month d, yyyy and d Month yyyy, each with an optional time; a time alone is on the zero date.
// A day the month does not have is an error, not the next month.
std::string isoFromDateLiteral(const std::string& text) {
    std::vector<std::string> parts; // numbers, words and the time (with its AM/PM) as found
    std::string time;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c) || c == ',' || c == '/' || c == '-' || c == '.') {
            ++i;
            continue;
        }
        size_t start = i;
        if (std::isdigit(c)) {
            while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == ':'))
                ++i;
        } else
            while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
                ++i;
        if (i == start) badDate(text);
        std::string part = text.substr(start, i - start);
        if (part.find(':') != std::string::npos ||
            ((upper(part) == "AM" || upper(part) == "PM") && !time.empty()))
            time += (time.empty() ? "" : " ") + part;
        else
            parts.push_back(part);
    }
    // Numbers of more digits than a date has are refused before they are read.
    auto number = [&](const std::string& p) {
        if (p.empty() || p.size() > 4 || !std::all_of(p.begin(), p.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            }))
            badDate(text);
        return std::stoi(p);
    };
    int year = 1899, month = 12, day = 30;
    if (parts.size() == 3) {
        bool iso = parts[0].size() == 4;
        int named0 = monthNamed(parts[0]), named1 = monthNamed(parts[1]);
        if (iso)
            year = number(parts[0]), month = number(parts[1]), day = number(parts[2]);
        else if (named0) // December 8, 2026
            month = named0, day = number(parts[1]), year = number(parts[2]);
        else if (named1) // 8-Dec-2026, 8 December 2026
            day = number(parts[0]), month = named1, year = number(parts[2]);
        else // the engine's US order
            month = number(parts[0]), day = number(parts[1]), year = number(parts[2]);
        if (!iso && parts[2].size() <= 2) year += year < 30 ? 2000 : 1900;
    } else if (!parts.empty() || time.empty())
        badDate(text);
    if (!validDay(year, month, day)) badDate(text);
    int h = 0, mi = 0, sec = 0;
    if (!time.empty()) {
        if (time.size() > 16 || std::sscanf(time.c_str(), "%2d:%2d:%2d", &h, &mi, &sec) < 2) badDate(text);
        std::string u = upper(time);
        bool pm = u.find("PM") != std::string::npos, am = u.find("AM") != std::string::npos;
        if ((pm || am) && (h < 1 || h > 12)) badDate(text);
        if (pm && h < 12) h += 12;
        if (am && h == 12) h = 0;
        if (h < 0 || mi < 0 || sec < 0 || h > 23 || mi > 59 || sec > 59) badDate(text);
    }
    std::string iso = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    if (h || mi || sec) iso += " " + twoDigits(h) + ":" + twoDigits(mi) + ":" + twoDigits(sec);
    return iso;
}

tree::Statement parseTree(const Tokens& body) {
    return Parser(body).statement();
}

void checkCondition(const Tokens& condition) {
    Parser(condition).condition();
}

void checkOrder(const Tokens& order) {
    Parser(order).order();
}

} // namespace dao::jet
