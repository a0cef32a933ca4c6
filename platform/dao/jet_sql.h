#pragma once
// The Jet SQL dialect, as the program and its saved queries write it: [names], #date# literals,
// Yes/No/True/False, double-quoted strings, Like wildcards, &, Delete * From, IIf/Nz/Date()/Now(),
// TOP n, PARAMETERS declarations. Text is read into tokens, the tokens into a tree of the dialect
// (jet_parser.h), and the tree is written as one engine's SQL (jet_emit.h): only text that reads
// whole as one statement is accepted. The record sets add conditions, orders and keys to a
// statement's tokens here; what they make is read again whole before it runs. The statement-level
// shapes (TRANSFORM ... PIVOT, SELECT ... INTO ... IN) are split here and carried out by the layer.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dao::jet {

enum class TokenKind { Word, Name, String, Date, Number, Symbol, Space };

struct Token {
    TokenKind kind;
    std::string text; // Word/Number/Symbol/Space: as written; Name/String/Date: the contents
};

using Tokens = std::vector<Token>;

// The one way to put a text or a date into Jet SQL that the program builds: a text between double
// quotes with its quotes doubled, a date as #yyyy-mm-dd# (with the time when it has one).
std::string quoteText(std::string_view text);
std::string dateLiteral(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

Tokens tokenize(std::string_view sql);    // 3075 on an unterminated string, name or date, or a NUL
std::string toText(const Tokens& tokens); // back to Jet SQL text

struct ParameterDecl {
    std::string name;
    std::string type; // as declared ("DateTime", "Text", ...); "" when only referenced
};

enum class StatementKind { Select, MakeTable, Crosstab, Action, Definition };

// A statement split into its declared parameters and its body.
struct Statement {
    StatementKind kind = StatementKind::Select;
    std::vector<ParameterDecl> parameters;
    Tokens body;
};

Statement parse(std::string_view sql);

// Whose SQL a statement is translated into: the file engine's (SQLite) or a PostgreSQL server's.
// Placeholders are written ?1, ?2 for both.
enum class Dialect { File, Server };

// The backend SQL of a statement body and, for each placeholder ?1, ?2, ..., the name of the
// parameter it stands for. The names "Date()" and "Now()" stand for the clock's values.
// What the statement shows of each result column's type, where the engine cannot tell: a file
// keeps dates as text, and an expression's column has no declared type.
enum class ColumnHint : char {
    None,
    Date,       // a date (a date literal, DateAdd, DateSerial, a date and days)
    DateIfText, // a sum or difference of fields: a date when it comes back as a date's text
};

struct Translation {
    std::string sql;
    std::vector<std::string> placeholderNames;
    std::vector<ColumnHint> columns; // by result column, up to the first `*` of the select list
};

// 3075 or 3142 (dao::Error) for a body that is not exactly one statement of the dialect, or that
// uses a function the dialect does not define.
Translation translate(const Tokens& body, const std::vector<ParameterDecl>& parameters,
                      Dialect dialect = Dialect::File);

// Statement text (with its PARAMETERS declaration, if any) to the engine's SQL in one step: what
// any outside text goes through. Throws only dao::Error.
Translation translateStatement(std::string_view sql, Dialect dialect);

// A statement with `condition` (Jet SQL) added to its WHERE clause, as a record-set filter works.
Tokens withCondition(const Tokens& body, const Tokens& condition);
// A statement with its ORDER BY replaced by `order` (Jet SQL), as a record-set sort works.
Tokens withOrder(const Tokens& body, const Tokens& order);

// The table a dynaset's rows belong to: the first table of the FROM clause, and the name it goes
// by in the statement (its alias, if any). Empty for statements that cannot be keyed (grouped,
// distinct, unions, no FROM).
struct KeyTable {
    std::string table;
    std::string alias;
};
std::optional<KeyTable> keyTable(const Tokens& body);
// The statement ordered by `term` after its own order (or by `term` alone): rows its order leaves
// equal then come in one fixed order.
Tokens withLastOrderTerm(const Tokens& body, const std::string& term);
// The select list with `expression AS name` put first.
Tokens withLeadingColumn(const Tokens& body, const std::string& expression, const std::string& name);

// The statement with its select list replaced by `list` (TOP n stays): the narrow query that
// reads a keyset's keys in the statement's order.
Tokens withSelectList(const Tokens& body, const std::string& list);
// The statement cut to its first `count` rows; nothing when it has a TOP (or DISTINCT) of its own.
std::optional<Tokens> withTop(const Tokens& body, long count);
// The statement's select list and FROM clause without its order and TOP, to read rows by key
// whether or not they still meet the statement's conditions. Tables joined by a comma keep the
// conditions that join them.
Tokens withoutConditions(const Tokens& body);

// TRANSFORM <value> SELECT <row headings> FROM ... GROUP BY <groups> PIVOT <column> [IN (...)]
struct Crosstab {
    Tokens value;                     // the aggregate of each cell
    Tokens select;                    // SELECT ... (row headings, grouped, ordered by the groups)
    Tokens groups;                    // the GROUP BY expressions
    Tokens from;                      // FROM ... WHERE ... (everything between the select list and GROUP BY)
    Tokens pivot;                     // the column-heading expression
    std::vector<Tokens> fixedColumns; // PIVOT ... IN (a, b, c): those headings in that order
};
Crosstab splitCrosstab(const Tokens& body);

// SELECT <list> INTO <table> [IN 'file'] FROM ...: the select without INTO, the target table and
// the external database file (empty for the same database).
struct MakeTable {
    Tokens select;
    std::string table;
    std::string externalFile;
};
MakeTable splitMakeTable(const Tokens& body);

// Splits a comma-separated list at the top level (not inside parentheses).
std::vector<Tokens> splitTopLevel(const Tokens& tokens, const char* separator = ",");

} // namespace dao::jet
