#include "jet_sql.h"

#include "errors.h"
#include "server_objects.h"
#include "types.h"

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
    return month >= 1 && month <= 12 && day >= 1 && day <= days[month - 1] + (month == 2 && leap);
}

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
    auto number = [&](const std::string& p) {
        if (p.empty() || !std::isdigit(static_cast<unsigned char>(p[0]))) badDate(text);
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
        if (std::sscanf(time.c_str(), "%d:%d:%d", &h, &mi, &sec) < 2) badDate(text);
        std::string u = upper(time);
        bool pm = u.find("PM") != std::string::npos, am = u.find("AM") != std::string::npos;
        if ((pm || am) && (h < 1 || h > 12)) badDate(text);
        if (pm && h < 12) h += 12;
        if (am && h == 12) h = 0;
        if (h > 23 || mi > 59 || sec > 59) badDate(text);
    }
    std::string iso = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    if (h || mi || sec) iso += " " + twoDigits(h) + ":" + twoDigits(mi) + ":" + twoDigits(sec);
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

// CREATE TABLE / ALTER TABLE ... ADD on a server: each column's type as the engine names it
// (TEXT(50), LONG, DATETIME, YESNO, COUNTER, SQLite's INTEGER PRIMARY KEY AUTOINCREMENT, ...)
// becomes the server's type for the same field type; the file engine's COLLATE NOCASE goes, as
// the server's text compares without regard to case already.
Tokens serverColumnTypes(const Tokens& body) {
    Tokens b = trimmed(body);
    size_t start = b.size(), stop = b.size();
    if (!b.empty() && isKeyword(b[0], "CREATE") && findTopLevel(b, {"TABLE"}) < b.size()) {
        for (size_t i = 0; i < b.size(); ++i)
            if (isSymbol(b[i], "(")) {
                start = i + 1;
                stop = matchingParen(b, i);
                break;
            }
    } else if (!b.empty() && isKeyword(b[0], "ALTER")) {
        size_t add = findTopLevel(b, {"ADD"});
        if (add < b.size()) {
            start = nextSignificant(b, add + 1);
            if (start < b.size() && isKeyword(b[start], "COLUMN")) start = nextSignificant(b, start + 1);
        }
    }
    if (start >= stop) return b;
    // Names are made as written: the server would fold unquoted ones to lower case.
    auto asName = [](Token t) {
        if (t.kind == TokenKind::Word) t.kind = TokenKind::Name;
        return t;
    };
    if (isKeyword(b[0], "CREATE"))
        for (size_t i = findTopLevel(b, {"TABLE"}) + 1; i < start; ++i)
            if (b[i].kind == TokenKind::Word) b[i] = asName(b[i]);
    Tokens out = slice(b, 0, start);
    bool firstElement = true;
    for (auto& element : splitTopLevel(slice(b, start, stop))) {
        if (!firstElement) out.push_back({TokenKind::Symbol, ","});
        firstElement = false;
        Tokens e = trimmed(element);
        size_t name = 0;
        static const char* constraints[] = {"CONSTRAINT", "PRIMARY", "UNIQUE", "FOREIGN", "CHECK"};
        bool constraint = !e.empty() && std::any_of(std::begin(constraints), std::end(constraints),
                                                    [&](const char* w) { return isKeyword(e[0], w); });
        size_t type = constraint || e.empty() ? e.size() : nextSignificant(e, name + 1);
        if (type >= e.size() || e[type].kind != TokenKind::Word) {
            int depth = 0; // PRIMARY KEY (a, b): the columns by the names they were made with
            for (auto tok : element) {
                depth += isSymbol(tok, "(") ? 1 : isSymbol(tok, ")") ? -1 : 0;
                out.push_back(depth > 0 ? asName(tok) : tok);
            }
            continue;
        }
        Tokens rest;
        size_t after = type + 1;
        size_t open = nextSignificant(e, after);
        if (open < e.size() && isSymbol(e[open], "(")) after = matchingParen(e, open) + 1; // TEXT(50)
        std::string word = upper(e[type].text);
        bool counter = word == "COUNTER" || word == "AUTOINCREMENT";
        for (size_t i = after; i < e.size(); ++i) {
            if (isKeyword(e[i], "AUTOINCREMENT")) {
                counter = true;
                continue;
            }
            if (isKeyword(e[i], "COLLATE")) {
                i = nextSignificant(e, i + 1);
                continue;
            }
            rest.push_back(e[i]);
        }
        std::string tail = toText(trimmed(rest));
        if (counter) { // the identity column is the key, whether or not the statement says so
            for (const char* k : {"PRIMARY KEY", "primary key", "Primary Key"})
                if (auto at = tail.find(k); at != std::string::npos) tail.erase(at, std::string(k).size());
        }
        std::string declared = serverDeclaredType(typeOfDeclared(word, std::monostate{}), counter);
        Tokens column{asName(e[name])};
        Tokens typed = tokenize(" " + declared + " " + tail + " ");
        column.insert(column.end(), typed.begin(), typed.end());
        out.insert(out.end(), column.begin(), column.end());
    }
    out.insert(out.end(), b.begin() + long(stop), b.end());
    return out;
}

class Translator {
public:
    Translator(const std::vector<ParameterDecl>& parameters, Dialect dialect)
        : parameters_(parameters), server_(dialect == Dialect::Server) {}

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
        definitions_ = !body.empty() && (isKeyword(body[0], "CREATE") || isKeyword(body[0], "ALTER") ||
                                         isKeyword(body[0], "DROP"));
        if (server_ && definitions_) body = serverColumnTypes(body);
        // SELECT [DISTINCT] TOP n [PERCENT]: the backend's LIMIT at the end.
        bool percent = false;
        size_t select = body.empty() ? 0 : nextSignificant(body, 0);
        if (select < body.size() && isKeyword(body[select], "SELECT")) {
            size_t i = nextSignificant(body, select + 1);
            if (i < body.size() && (isKeyword(body[i], "DISTINCT") || isKeyword(body[i], "DISTINCTROW")))
                i = nextSignificant(body, i + 1);
            if (i < body.size() && isKeyword(body[i], "TOP")) {
                size_t n = nextSignificant(body, i + 1);
                if (n >= body.size() || body[n].kind != TokenKind::Number)
                    raise(errc::SyntaxError, "TOP needs a number of rows.");
                limit = body[n].text;
                size_t p = nextSignificant(body, n + 1);
                percent = p < body.size() && isKeyword(body[p], "PERCENT");
                body.erase(body.begin() + long(i), body.begin() + long(percent ? p + 1 : n + 1));
            }
        }
        std::string sql = range(body, 0, body.size());
        // A share of the rows, rounded up as the engine does.
        if (percent) {
            Tokens all = withOrder(body, {});
            std::string share = "(COUNT(*) * " + limit + " + 99.999999) / 100";
            limit = "(SELECT CAST(" + (server_ ? "TRUNC(" + share + ")" : share) + " AS INTEGER) FROM (" +
                    range(all, 0, all.size()) + ") AS dao_rows)";
        }
        if (!limit.empty()) sql += " LIMIT " + limit;
        return sql;
    }

    std::vector<std::string> placeholderNames;

private:
    const std::vector<ParameterDecl>& parameters_;
    bool server_;              // PostgreSQL's SQL rather than SQLite's
    bool definitions_ = false; // CREATE/ALTER/DROP: type names such as TEXT(50) are not calls

    // A value as text, where the server (which joins and matches only texts) needs one.
    std::string asText(const std::string& value) const {
        return server_ ? "CAST(" + value + " AS TEXT)" : value;
    }

    std::string placeholder(const std::string& name) {
        size_t index = 0;
        while (index < placeholderNames.size() && !sameName(placeholderNames[index], name))
            ++index;
        if (index == placeholderNames.size()) placeholderNames.push_back(name);
        return "?" + std::to_string(index + 1);
    }

    std::optional<std::string> parameterNamed(const std::string& name) const {
        for (auto& p : parameters_)
            if (sameName(p.name, name)) return p.name;
        return std::nullopt;
    }

    std::string range(const Tokens& t, size_t begin, size_t end) {
        if (auto like = topLevel(t, begin, end, [](const Token& k) { return isKeyword(k, "LIKE"); }))
            if (!simpleLike(t, *like, end)) return likeCall(t, begin, *like, end);
        if (auto div = topLevel(t, begin, end, [](const Token& k) { return isSymbol(k, "\\"); }))
            return integerDivision(t, begin, *div, end);
        return hasConcatenation(t, begin, end) ? concatenations(t, begin, end) : plain(t, begin, end);
    }

    template <class Match>
    static std::optional<size_t> topLevel(const Tokens& t, size_t begin, size_t end, Match match) {
        int depth = 0;
        for (size_t i = begin; i < end; ++i) {
            if (isSymbol(t[i], "("))
                ++depth;
            else if (isSymbol(t[i], ")"))
                --depth;
            else if (depth == 0 && match(t[i]))
                return i;
        }
        return std::nullopt;
    }

    // Where a condition's operand ends: at the logical and clause words around it.
    static bool endsOperand(const Token& k) {
        static const char* words[] = {"AND",  "OR",  "NOT",   "WHERE", "ON",     "HAVING", "WHEN", "THEN",
                                      "ELSE", "END", "ORDER", "GROUP", "SELECT", "FROM",   "SET",  "UNION"};
        if (k.kind == TokenKind::Symbol) return k.text == "," || k.text == ";";
        return k.kind == TokenKind::Word && std::any_of(std::begin(words), std::end(words),
                                                        [&](const char* w) { return sameName(k.text, w); });
    }

    // A literal pattern with only the wildcards the backend's LIKE has (and an index can use).
    static bool simpleLike(const Tokens& t, size_t like, size_t end) {
        size_t p = nextSignificant(t, like + 1);
        if (p >= end || t[p].kind != TokenKind::String) return false;
        size_t after = nextSignificant(t, p + 1); // the whole statement: a sub-range may end at an &
        if (after < t.size() && !endsOperand(t[after]) && !isSymbol(t[after], ")")) return false;
        const std::string& pattern = t[p].text;
        for (size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == '[' && i + 2 < pattern.size() && pattern[i + 2] == ']') {
                i += 2;
                continue;
            }
            if (pattern[i] == '#' || pattern[i] == '[') return false;
        }
        return true;
    }

    // x [NOT] LIKE <expression>: the engine's pattern (* ? # [a-z] [!a]) matched by the backend's
    // dao_like, whatever the pattern is built from (texts, fields, parameters).
    std::string likeCall(const Tokens& t, size_t begin, size_t like, size_t end) {
        size_t left = like;
        size_t notAt = previousSignificant(t, like);
        bool negated = notAt != std::string::npos && notAt >= begin && isKeyword(t[notAt], "NOT");
        size_t leftEnd = negated ? notAt : like;
        left = leftEnd;
        while (left > begin) {
            size_t prev = previousSignificant(t, left);
            if (prev == std::string::npos || prev < begin) break;
            if (isSymbol(t[prev], ")")) {
                int depth = 0;
                size_t j = prev;
                for (;; --j) {
                    if (isSymbol(t[j], ")")) ++depth;
                    if (isSymbol(t[j], "(") && --depth == 0) break;
                }
                left = j;
                continue;
            }
            if (endsOperand(t[prev])) break;
            left = prev;
        }
        size_t right = nextSignificant(t, like + 1);
        size_t rightEnd = right;
        for (int depth = 0; rightEnd < end; ++rightEnd) {
            if (isSymbol(t[rightEnd], "("))
                ++depth;
            else if (isSymbol(t[rightEnd], ")"))
                --depth;
            else if (depth == 0 && endsOperand(t[rightEnd]))
                break;
        }
        if (right >= rightEnd || left >= leftEnd)
            raise(errc::SyntaxError, "Like needs a value and a pattern.");
        return range(t, begin, left) + (negated ? " NOT " : " ") + "dao_like(" +
               asText(range(t, left, leftEnd)) + ", " + asText(range(t, right, rightEnd)) + ") " +
               range(t, rightEnd, end);
    }

    // The index after the operand (a value, a call, a qualified name or a parenthesised group)
    // that begins at i.
    static size_t operandEnd(const Tokens& t, size_t i, size_t end) {
        if (i >= end) return i;
        if (isSymbol(t[i], "(")) return matchingParen(t, i) + 1;
        if (isSymbol(t[i], "-") || isSymbol(t[i], "+")) return operandEnd(t, nextSignificant(t, i + 1), end);
        size_t next = nextSignificant(t, i + 1);
        if (next < end && isSymbol(t[next], "(") && t[i].kind == TokenKind::Word)
            return matchingParen(t, next) + 1;
        if (next < end && isSymbol(t[next], ".")) return operandEnd(t, nextSignificant(t, next + 1), end);
        return i + 1;
    }

    static bool multiplicative(const Token& k) {
        return isSymbol(k, "*") || isSymbol(k, "/") || isSymbol(k, "^");
    }

    // a \ b: both rounded to whole numbers, the quotient without its fraction. Operands reach
    // over the operators that bind tighter (* / ^).
    std::string integerDivision(const Tokens& t, size_t begin, size_t div, size_t end) {
        size_t left = previousSignificant(t, div);
        if (left == std::string::npos || left < begin || isSymbol(t[left], "("))
            raise(errc::SyntaxError, "Syntax error in the expression: \\ needs a number on its left.");
        // Back to the start of the operand chain on the left.
        for (;;) {
            size_t start = left;
            if (isSymbol(t[start], ")")) {
                int depth = 0;
                for (;; --start) {
                    if (isSymbol(t[start], ")")) ++depth;
                    if (isSymbol(t[start], "(") && --depth == 0) break;
                }
                size_t fn = previousSignificant(t, start);
                if (fn != std::string::npos && fn >= begin && t[fn].kind == TokenKind::Word) start = fn;
            } else
                while (true) {
                    size_t dot = previousSignificant(t, start);
                    if (dot == std::string::npos || dot < begin || !isSymbol(t[dot], ".")) break;
                    start = previousSignificant(t, dot);
                }
            size_t op = previousSignificant(t, start);
            if (op != std::string::npos && op >= begin && multiplicative(t[op])) {
                left = previousSignificant(t, op);
                continue;
            }
            left = start;
            break;
        }
        size_t right = nextSignificant(t, div + 1);
        size_t rightEnd = operandEnd(t, right, end);
        for (size_t op = nextSignificant(t, rightEnd); op < end && multiplicative(t[op]);
             op = nextSignificant(t, rightEnd))
            rightEnd = operandEnd(t, nextSignificant(t, op + 1), end);
        if (right >= end)
            raise(errc::SyntaxError, "Syntax error in the expression: \\ needs a number on its right.");
        std::string quotient =
            "dao_round(" + range(t, left, div) + ", 0) / dao_round(" + range(t, right, rightEnd) + ", 0)";
        // The file engine divides whole numbers as whole numbers; the server's rounding gives doubles.
        if (server_) quotient = "CAST(TRUNC(" + quotient + ") AS BIGINT)";
        return range(t, begin, left) + " (" + quotient + ") " + range(t, rightEnd, end);
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

    // Left( and Right( are the text functions, not joins.
    static bool isCall(const Tokens& t, size_t i) {
        size_t next = nextSignificant(t, i + 1);
        return t[i].kind == TokenKind::Word && next < t.size() && isSymbol(t[next], "(") &&
               (isKeyword(t[i], "LEFT") || isKeyword(t[i], "RIGHT"));
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
            std::string joined, all;
            size_t from = start;
            int d = 0;
            for (size_t i = start; i <= stop; ++i) {
                if (i < stop && isSymbol(t[i], "("))
                    ++d;
                else if (i < stop && isSymbol(t[i], ")"))
                    --d;
                else if (i == stop || (d == 0 && isSymbol(t[i], "&"))) {
                    std::string operand = asText(range(t, from, i));
                    joined += (joined.empty() ? "" : " || ") + std::string("COALESCE(") + operand + ", '')";
                    all += (all.empty() ? "" : ", ") + operand;
                    from = i + 1;
                }
            }
            // Null only when every part is Null.
            out += " (CASE WHEN COALESCE(" + all + ") IS NULL THEN NULL ELSE " + joined + " END) ";
        };
        for (size_t i = begin; i < end; ++i) {
            if (isSymbol(t[i], "("))
                ++depth;
            else if (isSymbol(t[i], ")"))
                --depth;
            else if (depth == 0 && isBoundary(t[i]) && !isCall(t, i)) {
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
            if (dateValued(t, i, end)) {
                size_t after = operandEnd(t, i, end);
                size_t op = nextSignificant(t, after);
                if (op < end && (isSymbol(t[op], "+") || isSymbol(t[op], "-"))) {
                    out += dateArithmetic(t, i, after, end, i);
                    continue;
                }
            }
            if (isSymbol(t[i], "(")) {
                size_t close = matchingParen(t, i);
                out += "(" + range(t, i + 1, std::min(close, end)) + ")";
                i = close;
                continue;
            }
            if (size_t last; server_ && !definitions_ && yesNoCondition(t, i, end, last)) {
                std::string field;
                for (size_t k = i; k < last; ++k)
                    field += token(t, k, end);
                out += "(" + field + " <> 0)";
                i = last - 1;
                continue;
            }
            // A division by zero is Null on the file engine; the server would fail the statement.
            if (server_ && isSymbol(t[i], "/")) {
                size_t right = nextSignificant(t, i + 1);
                size_t rightEnd = operandEnd(t, right, end);
                if (right < end) {
                    out += "/ NULLIF(" + range(t, right, rightEnd) + ", 0)";
                    i = rightEnd - 1;
                    continue;
                }
            }
            out += token(t, i, end);
        }
        return out;
    }

    // A field standing alone as a condition (WHERE Late, AND NOT Shipments.Canceled): the engine
    // takes a Yes/No value as true or false; the server's conditions must be truth values, so the
    // field is compared with No. `last` is set to the end of the field's name.
    static bool yesNoCondition(const Tokens& t, size_t i, size_t end, size_t& last) {
        static const char* notNames[] = {"NOT",  "NULL",  "EXISTS", "SELECT", "CASE",
                                         "TRUE", "FALSE", "YES",    "NO"};
        if (t[i].kind != TokenKind::Name && t[i].kind != TokenKind::Word) return false;
        if (std::any_of(std::begin(notNames), std::end(notNames),
                        [&](const char* w) { return isKeyword(t[i], w); }))
            return false;
        size_t prev = previousSignificant(t, i);
        while (prev != std::string::npos && isSymbol(t[prev], "(")) // WHERE (Late OR ...)
            prev = previousSignificant(t, prev);
        if (prev == std::string::npos || t[prev].kind != TokenKind::Word) return false;
        static const char* before[] = {"WHERE", "AND", "OR", "NOT", "HAVING", "ON", "WHEN"};
        if (std::none_of(std::begin(before), std::end(before),
                         [&](const char* w) { return isKeyword(t[prev], w); }))
            return false;
        if (isKeyword(t[prev], "AND") && closesBetween(t, prev)) return false;
        last = i + 1;
        while (true) { // Table.Field
            size_t dot = nextSignificant(t, last);
            if (dot >= end || !isSymbol(t[dot], ".")) break;
            size_t part = nextSignificant(t, dot + 1);
            if (part >= end || (t[part].kind != TokenKind::Word && t[part].kind != TokenKind::Name))
                return false;
            last = part + 1;
        }
        size_t after = nextSignificant(t, last); // in the whole statement: a sub-range may end at Like
        if (after >= t.size()) return true;
        static const char* after_[] = {"AND", "OR", "ORDER", "GROUP", "HAVING", "THEN", "UNION"};
        return isSymbol(t[after], ")") || isSymbol(t[after], ";") ||
               std::any_of(std::begin(after_), std::end(after_),
                           [&](const char* w) { return isKeyword(t[after], w); });
    }

    // Whether the AND at `and_` is the one of `x BETWEEN a AND b`.
    static bool closesBetween(const Tokens& t, size_t and_) {
        int depth = 0;
        for (size_t k = and_; k-- > 0;) {
            if (isSymbol(t[k], ")")) ++depth;
            if (isSymbol(t[k], "(") && depth-- == 0) return false;
            if (depth > 0) continue;
            if (isKeyword(t[k], "BETWEEN")) return true;
            for (const char* w : {"AND", "OR", "WHERE", "ON", "HAVING", "WHEN"})
                if (isKeyword(t[k], w)) return false;
        }
        return false;
    }

    // Values the engine knows to be dates: literals and the date functions.
    static bool dateValued(const Tokens& t, size_t i, size_t end) {
        if (t[i].kind == TokenKind::Date) return true;
        if (t[i].kind != TokenKind::Word) return false;
        size_t next = nextSignificant(t, i + 1);
        if (next >= end || !isSymbol(t[next], "(")) return false;
        for (auto w : {"DATE", "NOW", "DATEADD", "DATESERIAL", "DATEVALUE", "CDATE"})
            if (sameName(t[i].text, w)) return true;
        return false;
    }

    // date + days, date - days, date - date: the engine counts dates in days; the backends keep
    // them as text, so days are added by dao_dateadd and differences are taken in days.
    std::string dateArithmetic(const Tokens& t, size_t first, size_t firstEnd, size_t end, size_t& last) {
        std::string value = range(t, first, firstEnd);
        size_t at = firstEnd;
        for (size_t op = nextSignificant(t, at); op < end && (isSymbol(t[op], "+") || isSymbol(t[op], "-"));
             op = nextSignificant(t, at)) {
            size_t right = nextSignificant(t, op + 1);
            if (right >= end)
                raise(errc::SyntaxError, "Syntax error in the expression: nothing after " + t[op].text);
            size_t rightEnd = operandEnd(t, right, end);
            for (size_t m = nextSignificant(t, rightEnd); m < end && multiplicative(t[m]);
                 m = nextSignificant(t, rightEnd))
                rightEnd = operandEnd(t, nextSignificant(t, m + 1), end);
            std::string operand = range(t, right, rightEnd);
            // Minus a date is a number of days, minus a number a date: only the values can tell.
            if (isSymbol(t[op], "-"))
                value = "dao_datesub(" + value + ", " + operand + ")";
            else
                value = "dao_dateadd('d', (" + operand + "), " + value + ")";
            at = rightEnd;
        }
        last = at - 1;
        return value;
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
            return (server_ ? "TIMESTAMP '" : "'") + isoFromDateLiteral(tok.text) + "'";
        case TokenKind::String:
            if (prev != std::string::npos && isKeyword(t[prev], "LIKE") && simpleLike(t, prev, end))
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
        // WHERE (...), AND (...): the group is translated where it stands, with what is around it.
        if (beforeParen && !definitions_ && keywordBeforeParenthesis(word)) return tok.text;
        if (beforeParen) {
            size_t close = matchingParen(t, next);
            auto args = arguments(t, next, close);
            std::string call = function(word, tok.text, args, prev == std::string::npos ? nullptr : &t[prev]);
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
        // A column's new name keeps its letter case on the server too.
        if (server_ && !definitions_ && prev != std::string::npos && isKeyword(t[prev], "AS"))
            return quoted(tok.text, '"');
        if (auto p = parameterNamed(tok.text)) return placeholder(*p);
        return tok.text;
    }

    static bool keywordBeforeParenthesis(const std::string& word) {
        static const char* keywords[] = {"IN",    "EXISTS", "VALUES", "AND",  "OR",   "NOT",  "ON",
                                         "WHERE", "HAVING", "SELECT", "FROM", "JOIN", "AS",   "BETWEEN",
                                         "WHEN",  "THEN",   "ELSE",   "CASE", "LIKE", "IS",   "BY",
                                         "SET",   "INTO",   "UNION",  "ALL",  "ANY",  "SOME", "DISTINCT",
                                         "END",   "INNER",  "OUTER"};
        return std::any_of(std::begin(keywords), std::end(keywords),
                           [&](const char* k) { return word == k; });
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

    // Jet functions in the backend's terms. Date values are ISO texts; the date functions, Like,
    // Format, Val and the engine's rounding are the backend's dao_* functions. A function the layer
    // does not know is refused (3075) rather than passed on to mean something else.
    std::string function(const std::string& word, const std::string& written,
                         const std::vector<std::string>& a, const Token* before) {
        auto join = [&] {
            std::string s;
            for (size_t k = 0; k < a.size(); ++k)
                s += (k ? ", " : "") + a[k];
            return s;
        };
        auto need = [&](size_t low, size_t high) {
            if (a.size() < low || a.size() > high)
                raise(errc::SyntaxError,
                      "Wrong number of arguments used with function '" + written + "' in query expression.");
        };
        auto call = [&](const char* name) { return std::string(name) + "(" + join() + ")"; };
        // Keywords before a parenthesis, and names of tables and types in definitions.
        if (definitions_ || (before && (isKeyword(*before, "INTO") || isKeyword(*before, "TABLE"))) ||
            keywordBeforeParenthesis(word))
            return written + "(" + join() + ")";
        if (word == "IIF") {
            need(3, 3);
            return "(CASE WHEN " + a[0] + " THEN " + a[1] + " ELSE " + a[2] + " END)";
        }
        if (word == "NZ") {
            need(1, 2);
            return "COALESCE(" + a.at(0) + ", " + (a.size() > 1 ? a[1] : std::string("0")) + ")";
        }
        if (word == "DATE" && a.empty()) return placeholder("Date()");
        if (word == "NOW" && a.empty()) return placeholder("Now()");
        if (word == "UCASE") return need(1, 1), call("UPPER");
        if (word == "LCASE") return need(1, 1), call("LOWER");
        if (word == "LEN") return need(1, 1), "LENGTH(" + asText(a[0]) + ")";
        if (word == "MID") {
            need(2, 3);
            return "SUBSTR(" + asText(a[0]) + ", " + a[1] + (a.size() > 2 ? ", " + a[2] : "") + ")";
        }
        if (word == "TRIM" || word == "LTRIM" || word == "RTRIM") return need(1, 1), call(word.c_str());
        if (word == "LEFT") return need(2, 2), "SUBSTR(" + asText(a[0]) + ", 1, " + a[1] + ")";
        if (word == "RIGHT") {
            need(2, 2);
            if (server_) return "RIGHT(" + asText(a[0]) + ", " + a[1] + ")";
            return "SUBSTR(" + a[0] + ", MAX(LENGTH(" + a[0] + ") - (" + a[1] + ") + 1, 1))";
        }
        if (word == "INSTR") { // text comparison: letter case does not count
            need(2, 3);
            const char* find = server_ ? "STRPOS" : "INSTR";
            if (a.size() == 2) return std::string(find) + "(LOWER(" + a[0] + "), LOWER(" + a[1] + "))";
            std::string found =
                std::string(find) + "(LOWER(SUBSTR(" + a[1] + ", " + a[0] + ")), LOWER(" + a[2] + "))";
            return "(CASE WHEN " + found + " > 0 THEN " + found + " + (" + a[0] + ") - 1 ELSE 0 END)";
        }
        if (word == "VAL") return need(1, 1), "dao_val(" + asText(a[0]) + ")";
        if (word == "CSTR" || word == "STR") return need(1, 1), "CAST(" + a[0] + " AS TEXT)";
        // The server's dao_round gives a double; a whole number is what these give.
        auto whole = [&](const std::string& v) { return server_ ? "CAST(" + v + " AS BIGINT)" : v; };
        if (word == "CLNG" || word == "CINT") return need(1, 1), whole("dao_round(" + a[0] + ", 0)");
        if (word == "CDBL")
            return need(1, 1), "CAST(" + a[0] + (server_ ? " AS DOUBLE PRECISION)" : " AS REAL)");
        if (word == "ROUND")
            return need(1, 2), "dao_round(" + a[0] + ", " + (a.size() > 1 ? a[1] : "0") + ")";
        // The file engine's CAST to a whole number cuts the fraction off; the server's rounds it.
        if (word == "FIX")
            return need(1, 1), server_ ? whole("TRUNC(" + a[0] + ")") : "CAST(" + a[0] + " AS INTEGER)";
        if (word == "INT") {
            need(1, 1);
            if (server_) return whole("FLOOR(" + a[0] + ")");
            return "(CASE WHEN (" + a[0] + ") < CAST(" + a[0] + " AS INTEGER) THEN CAST(" + a[0] +
                   " AS INTEGER) - 1 ELSE CAST(" + a[0] + " AS INTEGER) END)";
        }
        if (word == "ABS") return need(1, 1), call("ABS");
        if (word == "SGN")
            return need(1, 1), "(CASE WHEN (" + a[0] + ") > 0 THEN 1 WHEN (" + a[0] + ") < 0 THEN -1 WHEN (" +
                                   a[0] + ") = 0 THEN 0 END)";
        if (word == "COUNT" || word == "SUM" || word == "AVG" || word == "MIN" || word == "MAX")
            return call(word.c_str());
        if (word == "DATEADD") return need(3, 3), call("dao_dateadd");
        if (word == "DATEDIFF") return need(3, 3), call("dao_datediff");
        if (word == "DATEPART") return need(2, 2), call("dao_datepart");
        if (word == "DATESERIAL") {
            need(3, 3);
            if (!server_) return call("dao_dateserial");
            return "dao_dateserial(CAST(" + a[0] + " AS INTEGER), CAST(" + a[1] + " AS INTEGER), CAST(" +
                   a[2] + " AS INTEGER))";
        }
        if (word == "DATEVALUE" || word == "CDATE") return need(1, 1), "dao_dateadd('d', 0, " + a[0] + ")";
        if (word == "YEAR") return need(1, 1), "dao_datepart('yyyy', " + a[0] + ")";
        if (word == "MONTH") return need(1, 1), "dao_datepart('m', " + a[0] + ")";
        if (word == "DAY") return need(1, 1), "dao_datepart('d', " + a[0] + ")";
        if (word == "WEEKDAY") return need(1, 1), "dao_datepart('w', " + a[0] + ")";
        if (word == "HOUR") return need(1, 1), "dao_datepart('h', " + a[0] + ")";
        if (word == "MINUTE") return need(1, 1), "dao_datepart('n', " + a[0] + ")";
        if (word == "SECOND") return need(1, 1), "dao_datepart('s', " + a[0] + ")";
        if (word == "FORMAT") {
            need(2, 2);
            // A named format is written in the workstation's language; the server is told its pattern.
            const std::string& f = a[1];
            if (server_ && f.size() >= 2 && f.front() == '\'' && f.back() == '\'' &&
                f.find('\'', 1) == f.size() - 1)
                if (auto pattern = namedFormatPattern(f.substr(1, f.size() - 2)); !pattern.empty())
                    return "dao_format(" + a[0] + ", " + quoted(pattern, '\'') + ")";
            return call("dao_format");
        }
        raise(errc::SyntaxError, "Undefined function '" + written + "' in expression.");
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

Translation translate(const Tokens& body, const std::vector<ParameterDecl>& parameters, Dialect dialect) {
    Translator tr(parameters, dialect);
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
