#include "jet_sql.h"

#include "errors.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace dao::jet {
namespace {

bool isWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80);
}
bool isWordChar(char c) {
    return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
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

// Index of the previous token that is not white space, or npos.
size_t previousSignificant(const Tokens& t, size_t i) {
    while (i-- > 0)
        if (t[i].kind != TokenKind::Space) return i;
    return std::string::npos;
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
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// #date# literals: ISO yyyy-mm-dd or the engine's US m/d/yyyy, optionally with a time.
std::string isoFromDateLiteral(const std::string& text) {
    int a = 0, b = 0, c = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), " %d%c%d%*c%d%n", &a, &sep, &b, &c, &consumed) < 4)
        raise(errc::SyntaxError, "The date #" + text + "# is not a valid date.");
    int year, month, day;
    if (sep == '-' && a > 31)
        year = a, month = b, day = c;
    else
        month = a, day = b, year = c < 100 ? (c < 30 ? 2000 + c : 1900 + c) : c;
    std::string rest = text.substr(size_t(consumed));
    if (std::sscanf(rest.c_str(), " %d:%d:%d", &h, &mi, &s) >= 2) {
        std::string u = upper(rest);
        if (u.find("PM") != std::string::npos && h < 12) h += 12;
        if (u.find("AM") != std::string::npos && h == 12) h = 0;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31)
        raise(errc::SyntaxError, "The date #" + text + "# is not a valid date.");
    std::string iso = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    if (h || mi || s) iso += " " + twoDigits(h) + ":" + twoDigits(mi) + ":" + twoDigits(s);
    return iso;
}

std::string quoted(const std::string& text, char quote) {
    std::string out(1, quote);
    for (char c : text) {
        out += c;
        if (c == quote) out += quote;
    }
    return out + quote;
}

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

// UPDATE T SET T.a = 1: the backends name assigned columns without their table.
Tokens unqualifiedAssignments(Tokens t) {
    size_t set = findTopLevel(t, {"SET"});
    size_t end = findTopLevel(t, {"WHERE"}, set);
    size_t expectTarget = set;
    for (size_t i = set + 1; i < end && i < t.size(); ++i) {
        if (t[i].kind == TokenKind::Space) continue;
        if (i > expectTarget && (t[i].kind == TokenKind::Word || t[i].kind == TokenKind::Name) &&
            previousSignificant(t, i) == expectTarget) {
            size_t dot = nextSignificant(t, i + 1);
            if (dot < end && isSymbol(t[dot], ".")) {
                t.erase(t.begin() + long(i), t.begin() + long(dot + 1));
                end -= dot + 1 - i;
            }
        }
        if (isSymbol(t[i], ",")) expectTarget = i;
    }
    return t;
}

class Translator {
public:
    Translator(const std::vector<ParameterDecl>& parameters, Placeholders style)
        : parameters_(parameters), style_(style) {}

    std::string run(const Tokens& t) {
        Tokens body = trimmed(t);
        std::string limit;
        // DELETE * FROM / DELETE Table.* FROM: the backend deletes whole rows anyway.
        if (!body.empty() && isKeyword(body[0], "DELETE")) {
            size_t from = findTopLevel(body, {"FROM"});
            Tokens rest{body[0], Token{TokenKind::Space, " "}};
            rest.insert(rest.end(), body.begin() + long(from), body.end());
            body = rest;
        }
        if (!body.empty() && isKeyword(body[0], "UPDATE")) body = unqualifiedAssignments(body);
        // SELECT [DISTINCT] TOP n: the backend's LIMIT at the end.
        size_t select = body.empty() ? 0 : nextSignificant(body, 0);
        if (select < body.size() && isKeyword(body[select], "SELECT")) {
            size_t i = nextSignificant(body, select + 1);
            if (i < body.size() && (isKeyword(body[i], "DISTINCT") || isKeyword(body[i], "DISTINCTROW")))
                i = nextSignificant(body, i + 1);
            if (i < body.size() && isKeyword(body[i], "TOP")) {
                size_t n = nextSignificant(body, i + 1);
                if (n < body.size() && body[n].kind == TokenKind::Number) {
                    limit = body[n].text;
                    body.erase(body.begin() + long(i), body.begin() + long(n + 1));
                }
            }
        }
        std::string sql = range(body, 0, body.size());
        if (!limit.empty()) sql += " LIMIT " + limit;
        return sql;
    }

    std::vector<std::string> placeholderNames;

private:
    const std::vector<ParameterDecl>& parameters_;
    Placeholders style_;

    std::string placeholder(const std::string& name) {
        size_t index = 0;
        while (index < placeholderNames.size() && !sameName(placeholderNames[index], name))
            ++index;
        if (index == placeholderNames.size()) placeholderNames.push_back(name);
        return (style_ == Placeholders::DollarNumbered ? "$" : "?") + std::to_string(index + 1);
    }

    std::optional<std::string> parameterNamed(const std::string& name) const {
        for (auto& p : parameters_)
            if (sameName(p.name, name)) return p.name;
        return std::nullopt;
    }

    std::string range(const Tokens& t, size_t begin, size_t end) {
        return hasConcatenation(t, begin, end) ? concatenations(t, begin, end) : plain(t, begin, end);
    }

    // Jet's & joins texts with Null read as empty text, and binds looser than arithmetic; the
    // backends' || gives Null for Null and binds tighter than anything. So each run of operands
    // between comparison, logical and clause words is joined with its operands made non-Null.
    static bool isBoundary(const Token& tok) {
        static const char* words[] = {"AND",  "OR",      "NOT",   "SELECT",   "FROM",   "WHERE", "AS",
                                      "ON",   "BY",      "THEN",  "ELSE",     "WHEN",   "END",   "CASE",
                                      "LIKE", "BETWEEN", "IS",    "IN",       "HAVING", "ORDER", "GROUP",
                                      "SET",  "VALUES",  "INTO",  "DISTINCT", "TOP",    "UNION", "JOIN",
                                      "LEFT", "RIGHT",   "INNER", "PIVOT"};
        if (tok.kind == TokenKind::Symbol)
            return tok.text == "," || tok.text == "=" || tok.text == "<>" || tok.text == "<" ||
                   tok.text == ">" || tok.text == "<=" || tok.text == ">=" || tok.text == "!=" ||
                   tok.text == ";";
        if (tok.kind != TokenKind::Word) return false;
        for (auto w : words)
            if (sameName(tok.text, w)) return true;
        return false;
    }

    static bool hasConcatenation(const Tokens& t, size_t begin, size_t end) {
        int depth = 0;
        for (size_t i = begin; i < end; ++i) {
            if (isSymbol(t[i], "("))
                ++depth;
            else if (isSymbol(t[i], ")"))
                --depth;
            else if (depth == 0 && isSymbol(t[i], "&"))
                return true;
        }
        return false;
    }

    std::string concatenations(const Tokens& t, size_t begin, size_t end) {
        std::string out;
        size_t start = begin;
        int depth = 0;
        auto flush = [&](size_t stop) {
            if (!hasConcatenation(t, start, stop)) {
                out += plain(t, start, stop);
                return;
            }
            std::string joined;
            size_t from = start;
            int d = 0;
            for (size_t i = start; i <= stop; ++i) {
                if (i < stop && isSymbol(t[i], "("))
                    ++d;
                else if (i < stop && isSymbol(t[i], ")"))
                    --d;
                else if (i == stop || (d == 0 && isSymbol(t[i], "&"))) {
                    joined += (joined.empty() ? "" : " || ") + std::string("COALESCE(") + range(t, from, i) +
                              ", '')";
                    from = i + 1;
                }
            }
            out += " (" + joined + ") ";
        };
        for (size_t i = begin; i < end; ++i) {
            if (isSymbol(t[i], "("))
                ++depth;
            else if (isSymbol(t[i], ")"))
                --depth;
            else if (depth == 0 && isBoundary(t[i])) {
                flush(i);
                out += token(t, i, end);
                start = i + 1;
            }
        }
        flush(end);
        return out;
    }

    // A run without & at its own level.
    std::string plain(const Tokens& t, size_t begin, size_t end) {
        std::string out;
        for (size_t i = begin; i < end; ++i) {
            if (isSymbol(t[i], "(")) {
                size_t close = matchingParen(t, i);
                out += "(" + range(t, i + 1, std::min(close, end)) + ")";
                i = close;
                continue;
            }
            out += token(t, i, end);
        }
        return out;
    }

    // Translates token i; may consume following tokens (function calls) by advancing i.
    std::string token(const Tokens& t, size_t& i, size_t end) {
        const Token& tok = t[i];
        size_t prev = previousSignificant(t, i);
        size_t next = nextSignificant(t, i + 1);
        bool afterDot = prev != std::string::npos && isSymbol(t[prev], ".");
        bool beforeDot = next < end && isSymbol(t[next], ".");
        bool beforeParen = next < end && isSymbol(t[next], "(");
        switch (tok.kind) {
        case TokenKind::Space:
            return " ";
        case TokenKind::Number:
            return tok.text;
        case TokenKind::Date:
            return "'" + isoFromDateLiteral(tok.text) + "'";
        case TokenKind::String:
            if (prev != std::string::npos && isKeyword(t[prev], "LIKE"))
                return quoted(likePattern(tok.text), '\'') + " ESCAPE '\\'";
            return quoted(tok.text, '\'');
        case TokenKind::Name:
            if (!afterDot && !beforeDot)
                if (auto p = parameterNamed(tok.text)) return placeholder(*p);
            return quoted(tok.text, '"');
        case TokenKind::Symbol:
            if (tok.text == "!=") return "<>";
            return tok.text;
        case TokenKind::Word:
            break;
        }
        if (afterDot || beforeDot) return tok.text == "*" ? tok.text : quoted(tok.text, '"');
        std::string word = upper(tok.text);
        if (beforeParen) {
            size_t close = matchingParen(t, next);
            auto args = arguments(t, next, close);
            std::string call = function(word, tok.text, args);
            if (!call.empty()) {
                i = close;
                return call;
            }
            return tok.text;
        }
        if (word == "YES" || word == "TRUE") return "-1";
        if (word == "NO" || word == "FALSE") return "0";
        if (word == "MOD") return "%";
        if (word == "DISTINCTROW") return "";
        if (auto p = parameterNamed(tok.text)) return placeholder(*p);
        return tok.text;
    }

    std::vector<std::string> arguments(const Tokens& t, size_t open, size_t close) {
        std::vector<std::string> args;
        for (auto& arg : splitTopLevel(slice(t, open + 1, close))) {
            Tokens a = trimmed(arg);
            args.push_back(range(a, 0, a.size()));
        }
        if (args.size() == 1 && args[0].empty()) args.clear();
        return args;
    }

    // Jet functions the backends spell differently; "" leaves the call as written.
    std::string function(const std::string& word, const std::string& written,
                         const std::vector<std::string>& a) {
        auto join = [&] {
            std::string s;
            for (size_t k = 0; k < a.size(); ++k)
                s += (k ? ", " : "") + a[k];
            return s;
        };
        if (word == "IIF") {
            if (a.size() != 3) raise(errc::SyntaxError, "IIf needs three arguments.");
            return "(CASE WHEN " + a[0] + " THEN " + a[1] + " ELSE " + a[2] + " END)";
        }
        if (word == "NZ")
            return "COALESCE(" + a.at(0) + ", " + (a.size() > 1 ? a[1] : std::string("0")) + ")";
        if (word == "DATE" && a.empty()) return placeholder("Date()");
        if (word == "NOW" && a.empty()) return placeholder("Now()");
        if (word == "UCASE") return "UPPER(" + join() + ")";
        if (word == "LCASE") return "LOWER(" + join() + ")";
        if (word == "LEN") return "LENGTH(" + join() + ")";
        if (word == "MID") return "SUBSTR(" + join() + ")";
        return written + "(" + join() + ")";
    }
};

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

Statement parse(std::string_view sql) {
    Statement st;
    Tokens t = trimmed(tokenize(sql));
    if (!t.empty() && isKeyword(t[0], "PARAMETERS")) {
        size_t semi = 0;
        while (semi < t.size() && !isSymbol(t[semi], ";"))
            ++semi;
        if (semi == t.size())
            raise(errc::SyntaxError, "The PARAMETERS declaration must end with a semicolon.");
        for (auto& decl : splitTopLevel(slice(t, 1, semi))) {
            Tokens d = trimmed(decl);
            if (d.empty()) continue;
            ParameterDecl p{d[0].text, ""};
            size_t type = nextSignificant(d, 1);
            if (type < d.size()) p.type = d[type].text;
            st.parameters.push_back(p);
        }
        t = trimmed(slice(t, semi + 1, t.size()));
    }
    st.body = t;
    if (t.empty()) raise(errc::SyntaxError, "The statement is empty.");
    // One statement at a time: text after its end would otherwise run as a statement of its own.
    if (std::any_of(t.begin(), t.end(), [](const Token& k) { return isSymbol(k, ";"); }))
        raise(errc::TextAfterEnd, "Characters found after end of SQL statement.");
    std::string first = upper(t[0].text);
    if (first == "TRANSFORM")
        st.kind = StatementKind::Crosstab;
    else if (first == "SELECT")
        st.kind = findTopLevel(t, {"INTO"}) < findTopLevel(t, {"FROM"}) ? StatementKind::MakeTable
                                                                        : StatementKind::Select;
    else if (first == "INSERT" || first == "UPDATE" || first == "DELETE")
        st.kind = StatementKind::Action;
    else if (first == "CREATE" || first == "DROP" || first == "ALTER")
        st.kind = StatementKind::Definition;
    else if (first == "(")
        st.kind = StatementKind::Select;
    else
        raise(errc::SyntaxError, "The statement must begin with SELECT, TRANSFORM, INSERT, UPDATE, DELETE, "
                                 "CREATE, DROP or ALTER.");
    // Names used in brackets that are not declared are still parameters the engine will ask for;
    // they are found when the backend reports an unknown column (see the query layer).
    return st;
}

Translation translate(const Tokens& body, const std::vector<ParameterDecl>& parameters, Placeholders style) {
    Translator tr(parameters, style);
    Translation out;
    out.sql = tr.run(body);
    out.placeholderNames = tr.placeholderNames;
    return out;
}

Tokens withCondition(const Tokens& body, const Tokens& condition) {
    Tokens b = trimmed(body);
    Tokens cond = trimmed(condition);
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
        out.push_back({TokenKind::Word, " AND "});
    }
    Tokens added = wrap(cond);
    out.insert(out.end(), added.begin(), added.end());
    out.push_back({TokenKind::Space, " "});
    out.insert(out.end(), b.begin() + long(tail), b.end());
    return trimmed(out);
}

Tokens withOrder(const Tokens& body, const Tokens& order) {
    Tokens b = trimmed(body);
    size_t at = findTopLevel(b, {"ORDER"});
    Tokens out = slice(b, 0, at);
    if (!trimmed(order).empty()) {
        out.push_back({TokenKind::Word, " ORDER BY "});
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

Tokens withLeadingColumn(const Tokens& body, const std::string& expression, const std::string& name) {
    Tokens b = trimmed(body);
    Tokens head = tokenize(" " + expression + " AS [" + name + "], ");
    b.insert(b.begin() + 1, head.begin(), head.end());
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
