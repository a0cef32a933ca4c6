#include "jet_text.h"
#include "jet_sql.h"

#include "errors.h"
#include "jet_emit.h"
#include "jet_parser.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace dao::jet {
namespace {

using text::upper;
using text::lower;
using text::quoted;

bool isWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80);
}
bool isWordChar(char c) {
    return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

bool sameName(std::string_view a, std::string_view b) {
    return upper(a) == upper(b);
}

bool isKeyword(const Token& t, std::string_view word) {
    return t.kind == TokenKind::Word && sameName(t.text, word);
}

bool isSymbol(const Token& t, std::string_view symbol) {
    return t.kind == TokenKind::Symbol && t.text == symbol;
}

// Index of the next token that is not white space, or tokens.size().
size_t nextSignificant(const Tokens& t, size_t i) {
    while (i < t.size() && t[i].kind == TokenKind::Space)
        ++i;
    return i;
}

// The index of the parenthesis closing the one at `open`.
size_t matchingParen(const Tokens& t, size_t open) {
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (isSymbol(t[i], "("))
            ++depth;
        else if (isSymbol(t[i], ")") && --depth == 0)
            return i;
    }
    raise(errc::SyntaxError, "A parenthesis is not closed in the statement.");
}

// Positions of top-level (parenthesis depth 0) keywords.
size_t findTopLevel(const Tokens& t, std::initializer_list<std::string_view> words, size_t from = 0) {
    int depth = 0;
    for (size_t i = from; i < t.size(); ++i) {
        if (isSymbol(t[i], "("))
            ++depth;
        else if (isSymbol(t[i], ")"))
            --depth;
        else if (depth == 0 && t[i].kind == TokenKind::Word)
            for (auto w : words)
                if (sameName(t[i].text, w)) return i;
    }
    return t.size();
}

Tokens slice(const Tokens& t, size_t begin, size_t end) {
    return Tokens(t.begin() + long(std::min(begin, t.size())), t.begin() + long(std::min(end, t.size())));
}

Tokens trimmed(Tokens t) {
    while (!t.empty() && (t.back().kind == TokenKind::Space || isSymbol(t.back(), ";")))
        t.pop_back();
    size_t first = nextSignificant(t, 0);
    return slice(t, first, t.size());
}

std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

} // namespace

std::string quoteText(std::string_view text) {
    return quoted(std::string(text), '"');
}

std::string dateLiteral(int year, int month, int day, int hour, int minute, int second) {
    std::string iso = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    if (hour || minute || second)
        iso += " " + twoDigits(hour) + ":" + twoDigits(minute) + ":" + twoDigits(second);
    return "#" + iso + "#";
}

Tokens tokenize(std::string_view sql) {
    Tokens out;
    size_t i = 0;
    auto until = [&](char close, const char* what) {
        std::string text;
        ++i;
        for (;;) {
            if (i >= sql.size())
                raise(errc::SyntaxError, std::string("A ") + what + " is not closed in the statement.");
            if (sql[i] == close) {
                // Strings double their quote to contain it.
                if ((close == '"' || close == '\'') && i + 1 < sql.size() && sql[i + 1] == close) {
                    text += close;
                    i += 2;
                    continue;
                }
                ++i;
                return text;
            }
            text += sql[i++];
        }
    };
    // The engines stop reading at a NUL: text after it would be checked by no one.
    if (auto nul = sql.find('\0'); nul != std::string_view::npos)
        raise(errc::SyntaxError, "The statement holds a NUL character at position " + std::to_string(nul + 1) + ".");
    while (i < sql.size()) {
        char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            size_t start = i;
            while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
                ++i;
            out.push_back({TokenKind::Space, std::string(sql.substr(start, i - start))});
        } else if (c == '[') {
            out.push_back({TokenKind::Name, until(']', "bracketed name")});
        } else if (c == '"' || c == '\'') {
            out.push_back({TokenKind::String, until(c, "text")});
        } else if (c == '#') {
            out.push_back({TokenKind::Date, until('#', "date")});
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < sql.size() && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            size_t start = i;
            while (i < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[i])) || sql[i] == '.'))
                ++i;
            if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t j = i + 1;
                if (j < sql.size() && (sql[j] == '+' || sql[j] == '-')) ++j;
                if (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j]))) {
                    i = j;
                    while (i < sql.size() && std::isdigit(static_cast<unsigned char>(sql[i])))
                        ++i;
                }
            }
            out.push_back({TokenKind::Number, std::string(sql.substr(start, i - start))});
        } else if (isWordStart(c)) {
            size_t start = i;
            while (i < sql.size() && isWordChar(sql[i]))
                ++i;
            out.push_back({TokenKind::Word, std::string(sql.substr(start, i - start))});
        } else {
            std::string two(sql.substr(i, 2));
            if (two == "<>" || two == "<=" || two == ">=" || two == "!=" || two == "||") {
                out.push_back({TokenKind::Symbol, two});
                i += 2;
            } else {
                out.push_back({TokenKind::Symbol, std::string(1, c)});
                ++i;
            }
        }
    }
    return out;
}

std::string toText(const Tokens& tokens) {
    std::string out;
    for (auto& t : tokens) {
        switch (t.kind) {
        case TokenKind::Name:
            out += "[" + t.text + "]";
            break;
        case TokenKind::String:
            out += quoted(t.text, '"');
            break;
        case TokenKind::Date:
            out += "#" + t.text + "#";
            break;
        default:
            out += t.text;
        }
    }
    return out;
}

std::vector<Tokens> splitTopLevel(const Tokens& tokens, const char* separator) {
    std::vector<Tokens> parts(1);
    int depth = 0;
    for (auto& t : tokens) {
        if (isSymbol(t, "("))
            ++depth;
        else if (isSymbol(t, ")"))
            --depth;
        if (depth == 0 && isSymbol(t, separator)) {
            parts.emplace_back();
            continue;
        }
        parts.back().push_back(t);
    }
    return parts;
}

namespace {

// Whatever a reader or converter of the standard library throws (a number too large, memory) is the
// layer's error: the program's handlers catch that one.
template <class Work>
auto guarded(Work work) {
    try {
        return work();
    } catch (const Error&) {
        throw;
    } catch (const std::exception& e) {
        raise(errc::SyntaxError, std::string("The statement could not be read: ") + e.what());
    }
}

Statement parseStatement(std::string_view sql) {
    Statement st;
    Tokens t = trimmed(tokenize(sql));
    if (!t.empty() && isKeyword(t[0], "PARAMETERS")) {
        size_t semi = 0;
        while (semi < t.size() && !isSymbol(t[semi], ";"))
            ++semi;
        if (semi == t.size())
            raise(errc::SyntaxError, "The PARAMETERS declaration must end with a semicolon.");
        for (auto& decl : splitTopLevel(slice(t, 1, semi))) {
            Tokens d;
            for (auto& k : decl)
                if (k.kind != TokenKind::Space) d.push_back(k);
            // name [type [(size)]]
            bool sized = d.size() == 5 && isSymbol(d[2], "(") && d[3].kind == TokenKind::Number && isSymbol(d[4], ")");
            if (d.empty() || (d.size() > 2 && !sized) || (d[0].kind != TokenKind::Word && d[0].kind != TokenKind::Name) ||
                (d.size() > 1 && d[1].kind != TokenKind::Word))
                raise(errc::SyntaxError, "Syntax error in PARAMETERS declaration near '" + toText(decl) + "'.");
            st.parameters.push_back({d[0].text, d.size() > 1 ? d[1].text : ""});
        }
        t = trimmed(slice(t, semi + 1, t.size()));
    }
    st.body = t;
    if (t.empty()) raise(errc::SyntaxError, "The statement is empty.");
    // One statement at a time: text after its end would otherwise run as a statement of its own.
    if (std::any_of(t.begin(), t.end(), [](const Token& k) { return isSymbol(k, ";"); }))
        raise(errc::TextAfterEnd, "Characters found after end of SQL statement.");
    auto tree = parseTree(t); // the whole text is one statement of the dialect, or it is refused now
    if (std::holds_alternative<tree::Transform>(tree))
        st.kind = StatementKind::Crosstab;
    else if (auto* select = std::get_if<tree::Select>(&tree))
        st.kind = select->intoTable.empty() ? StatementKind::Select : StatementKind::MakeTable;
    else if (std::holds_alternative<tree::Insert>(tree) || std::holds_alternative<tree::Update>(tree) ||
             std::holds_alternative<tree::Delete>(tree))
        st.kind = StatementKind::Action;
    else
        st.kind = StatementKind::Definition;
    // Names used in brackets that are not declared are still parameters the engine will ask for;
    // they are found when the backend reports an unknown column (see the query layer).
    return st;
}

} // namespace

Statement parse(std::string_view sql) {
    return guarded([&] { return parseStatement(sql); });
}

Translation translate(const Tokens& body, const std::vector<ParameterDecl>& parameters, Dialect dialect) {
    return guarded([&] { return emit(parseTree(trimmed(body)), parameters, dialect); });
}

Translation translateStatement(std::string_view sql, Dialect dialect) {
    auto statement = parse(sql);
    return translate(statement.body, statement.parameters, dialect);
}

Tokens withCondition(const Tokens& body, const Tokens& condition) {
    Tokens b = trimmed(body);
    Tokens cond = trimmed(condition);
    guarded([&] { checkCondition(cond); return 0; });
    if (cond.empty()) return b;
    auto wrap = [&](const Tokens& inner) {
        Tokens out{Token{TokenKind::Symbol, "("}};
        out.insert(out.end(), inner.begin(), inner.end());
        out.push_back({TokenKind::Symbol, ")"});
        return out;
    };
    size_t where = findTopLevel(b, {"WHERE"});
    size_t tail = findTopLevel(b, {"GROUP", "HAVING", "ORDER", "UNION"}, where == b.size() ? 0 : where);
    Tokens out = slice(b, 0, where == b.size() ? tail : where);
    out.push_back({TokenKind::Space, " "});
    out.push_back({TokenKind::Word, "WHERE"});
    out.push_back({TokenKind::Space, " "});
    if (where != b.size()) {
        Tokens existing = wrap(trimmed(slice(b, where + 1, tail)));
        out.insert(out.end(), existing.begin(), existing.end());
        Tokens conj = tokenize(" AND ");
        out.insert(out.end(), conj.begin(), conj.end());
    }
    Tokens added = wrap(cond);
    out.insert(out.end(), added.begin(), added.end());
    out.push_back({TokenKind::Space, " "});
    out.insert(out.end(), b.begin() + long(tail), b.end());
    return trimmed(out);
}

Tokens withOrder(const Tokens& body, const Tokens& order) {
    Tokens b = trimmed(body);
    guarded([&] { checkOrder(trimmed(order)); return 0; });
    size_t at = findTopLevel(b, {"ORDER"});
    Tokens out = slice(b, 0, at);
    if (!trimmed(order).empty()) {
        Tokens by = tokenize(" ORDER BY ");
        out.insert(out.end(), by.begin(), by.end());
        Tokens o = trimmed(order);
        out.insert(out.end(), o.begin(), o.end());
    }
    return out;
}

std::optional<KeyTable> keyTable(const Tokens& body) {
    Tokens b = trimmed(body);
    if (b.empty() || !isKeyword(b[0], "SELECT")) return std::nullopt;
    size_t first = nextSignificant(b, 1);
    if (first < b.size() && (isKeyword(b[first], "DISTINCT") || isKeyword(b[first], "DISTINCTROW")))
        return std::nullopt;
    if (findTopLevel(b, {"GROUP", "UNION", "HAVING"}) != b.size()) return std::nullopt;
    // Aggregates in the select list make one row of many.
    size_t from = findTopLevel(b, {"FROM"});
    for (size_t i = 0; i < from; ++i)
        if (b[i].kind == TokenKind::Word) {
            std::string w = upper(b[i].text);
            if ((w == "COUNT" || w == "SUM" || w == "AVG" || w == "MIN" || w == "MAX") &&
                isSymbol(b[nextSignificant(b, i + 1) < b.size() ? nextSignificant(b, i + 1) : i], "("))
                return std::nullopt;
        }
    size_t i = nextSignificant(b, from + 1);
    while (i < b.size() && isSymbol(b[i], "("))
        i = nextSignificant(b, i + 1);
    if (i >= b.size() || (b[i].kind != TokenKind::Word && b[i].kind != TokenKind::Name)) return std::nullopt;
    KeyTable key{b[i].text, b[i].text};
    size_t j = nextSignificant(b, i + 1);
    if (j < b.size() && isKeyword(b[j], "AS")) j = nextSignificant(b, j + 1);
    static const char* notAlias[] = {"LEFT",  "RIGHT", "INNER", "JOIN",  "WHERE",
                                     "ORDER", "ON",    "GROUP", "UNION", "IN"};
    if (j < b.size() && (b[j].kind == TokenKind::Word || b[j].kind == TokenKind::Name)) {
        bool keyword = b[j].kind == TokenKind::Word &&
                       std::any_of(std::begin(notAlias), std::end(notAlias),
                                   [&](const char* k) { return sameName(b[j].text, k); });
        if (!keyword) key.alias = b[j].text;
    }
    return key;
}

Tokens withLastOrderTerm(const Tokens& body, const std::string& term) {
    Tokens b = trimmed(body);
    Tokens tail = tokenize((findTopLevel(b, {"ORDER"}) == b.size() ? " ORDER BY " : ", ") + term);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

namespace {
size_t selectListStart(const Tokens& b);
} // namespace

Tokens withLeadingColumn(const Tokens& body, const std::string& expression, const std::string& name) {
    Tokens b = trimmed(body);
    Tokens head = tokenize(" " + expression + " AS [" + name + "], ");
    b.insert(b.begin() + long(selectListStart(b)), head.begin(), head.end());
    return b;
}

namespace {
// Where the select list begins: after SELECT, DISTINCT and TOP n.
size_t selectListStart(const Tokens& b) {
    size_t i = nextSignificant(b, 1);
    if (i < b.size() && (isKeyword(b[i], "DISTINCT") || isKeyword(b[i], "DISTINCTROW")))
        i = nextSignificant(b, i + 1);
    if (i < b.size() && isKeyword(b[i], "TOP")) {
        i = nextSignificant(b, i + 1); // the count
        i = nextSignificant(b, i + 1);
        if (i < b.size() && isKeyword(b[i], "PERCENT")) i = nextSignificant(b, i + 1);
    }
    return i;
}
} // namespace

Tokens withSelectList(const Tokens& body, const std::string& list) {
    Tokens b = trimmed(body);
    size_t start = selectListStart(b);
    size_t from = findTopLevel(b, {"FROM"});
    Tokens out = slice(b, 0, start);
    Tokens mid = tokenize(list + " ");
    out.insert(out.end(), mid.begin(), mid.end());
    out.insert(out.end(), b.begin() + long(from), b.end());
    return out;
}

std::optional<Tokens> withTop(const Tokens& body, long count) {
    Tokens b = trimmed(body);
    size_t i = nextSignificant(b, 1);
    if (i >= b.size() || isKeyword(b[i], "TOP") || isKeyword(b[i], "DISTINCT") || isKeyword(b[i], "DISTINCTROW"))
        return std::nullopt;
    Tokens out = slice(b, 0, i);
    Tokens top = tokenize("TOP " + std::to_string(count) + " ");
    out.insert(out.end(), top.begin(), top.end());
    out.insert(out.end(), b.begin() + long(i), b.end());
    return out;
}

Tokens withoutConditions(const Tokens& body) {
    Tokens b = trimmed(body);
    size_t from = findTopLevel(b, {"FROM"});
    size_t where = findTopLevel(b, {"WHERE"}, from);
    size_t order = findTopLevel(b, {"ORDER"}, from);
    size_t fromEnd = std::min(where, order);
    bool commaJoin = splitTopLevel(slice(b, from, fromEnd)).size() > 1;
    Tokens out{Token{TokenKind::Word, "SELECT"}, Token{TokenKind::Space, " "}};
    size_t start = selectListStart(b);
    out.insert(out.end(), b.begin() + long(start), b.begin() + long(commaJoin ? order : fromEnd));
    return trimmed(out);
}

Crosstab splitCrosstab(const Tokens& body) {
    Tokens b = trimmed(body);
    size_t select = findTopLevel(b, {"SELECT"});
    size_t from = findTopLevel(b, {"FROM"}, select);
    size_t group = findTopLevel(b, {"GROUP"}, from);
    size_t pivot = findTopLevel(b, {"PIVOT"}, from);
    if (select == b.size() || from == b.size() || group == b.size() || pivot == b.size())
        raise(errc::SyntaxError, "A crosstab needs TRANSFORM, SELECT, FROM, GROUP BY and PIVOT.");
    Crosstab x;
    x.value = trimmed(slice(b, 1, select));
    if (size_t as = findTopLevel(x.value, {"AS"}); as != x.value.size()) // the cells' own name is not used
        x.value = trimmed(slice(x.value, 0, as));
    size_t order = findTopLevel(b, {"ORDER"}, group);
    size_t groupEnd = std::min({order, pivot, findTopLevel(b, {"HAVING"}, group)});
    size_t by = nextSignificant(b, group + 1);
    x.groups = trimmed(slice(b, by + 1, groupEnd));
    x.select = trimmed(slice(b, select, pivot));
    x.from = trimmed(slice(b, from, group));
    size_t in = findTopLevel(b, {"IN"}, pivot);
    x.pivot = trimmed(slice(b, pivot + 1, in));
    if (in != b.size()) {
        size_t open = nextSignificant(b, in + 1);
        if (open >= b.size() || !isSymbol(b[open], "("))
            raise(errc::SyntaxError, "PIVOT ... IN needs a parenthesised list.");
        for (auto& c : splitTopLevel(slice(b, open + 1, matchingParen(b, open))))
            x.fixedColumns.push_back(trimmed(c));
    }
    return x;
}

MakeTable splitMakeTable(const Tokens& body) {
    Tokens b = trimmed(body);
    size_t into = findTopLevel(b, {"INTO"});
    size_t from = findTopLevel(b, {"FROM"}, into);
    MakeTable m;
    size_t i = nextSignificant(b, into + 1);
    if (i >= from) raise(errc::SyntaxError, "SELECT ... INTO needs the name of the new table.");
    m.table = b[i].text;
    size_t in = nextSignificant(b, i + 1);
    if (in < from && isKeyword(b[in], "IN")) {
        size_t file = nextSignificant(b, in + 1);
        if (file >= from || b[file].kind != TokenKind::String)
            raise(errc::SyntaxError, "SELECT ... INTO ... IN needs the database file in quotes.");
        m.externalFile = b[file].text;
    }
    m.select = slice(b, 0, into);
    m.select.push_back({TokenKind::Space, " "});
    m.select.insert(m.select.end(), b.begin() + long(from), b.end());
    return m;
}

} // namespace dao::jet
