#pragma once
// A statement of the dialect as a tree: what the parser reads from the tokens and the only thing
// the engines' SQL is written from. A literal, a name or an operator is a node of its own, so it
// can only come out as itself.
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace dao::jet::tree {

struct Select;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class ExprKind {
    Number,    // text: as written (digits, one point, an exponent)
    Text,      // text: the contents
    Date,      // text: ISO yyyy-mm-dd[ hh:mm:ss]
    Boolean,   // text: "-1" or "0" (Yes/True, No/False)
    Null,      //
    Name,      // parts: qualified name, the last one may be "*"
    Call,      // text: the function as written; args
    Unary,     // text: "-", "+" or "NOT"; args[0]
    Binary,    // text: the operator ("AND", "=", "&", "\\", "MOD", ...); args[0], args[1]
    Like,      // args[0] LIKE args[1]; negated
    IsNull,    // args[0] IS [NOT] NULL
    Between,   // args[0] [NOT] BETWEEN args[1] AND args[2]
    InList,    // args[0] [NOT] IN (args[1..])
    InQuery,   // args[0] [NOT] IN (query)
    Exists,    // EXISTS (query)
    Subquery,  // (query) as a value
    CountAll,  // Count(*)
};

struct Expr {
    ExprKind kind;
    std::string text;
    std::vector<std::string> parts;
    std::vector<ExprPtr> args;
    std::unique_ptr<Select> query;
    bool negated = false;
    int height = 1; // of the tree below, itself included
};

struct SelectItem {
    ExprPtr expr;
    std::string alias; // "" when not named
};

struct FromItem {
    enum class Kind { Table, Query, Join } kind = Kind::Table;
    std::vector<std::string> table; // Table: the name (an attached database's table has two parts)
    std::string alias;
    std::unique_ptr<Select> query; // Query
    std::string join;              // Join: "INNER", "LEFT" or "RIGHT"
    std::unique_ptr<FromItem> left, right;
    ExprPtr on;
};

struct OrderTerm {
    ExprPtr expr;
    bool descending = false;
};

struct Select {
    bool distinct = false;
    std::string top; // "" for all rows
    bool percent = false;
    std::vector<SelectItem> items;
    std::vector<std::unique_ptr<FromItem>> from; // joined by commas
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    struct Union {
        bool all = false;
        std::unique_ptr<Select> select;
    };
    std::vector<Union> unions;
    std::vector<OrderTerm> orderBy;
    // SELECT ... INTO table [IN 'file']
    std::string intoTable, intoFile;
};

struct Insert {
    std::vector<std::string> table;
    std::vector<std::string> columns;
    std::vector<std::vector<ExprPtr>> rows; // VALUES (...), (...)
    std::unique_ptr<Select> query;          // or INSERT ... SELECT
};

struct Assignment {
    std::vector<std::string> column; // as written; the table is dropped when written
    ExprPtr value;
};

struct Update {
    std::unique_ptr<FromItem> target;
    std::vector<Assignment> assignments;
    ExprPtr where;
};

struct Delete {
    std::unique_ptr<FromItem> target;
    ExprPtr where;
};

struct ColumnDef {
    std::string name;
    std::string type;              // as written: TEXT, LONG, YESNO, COUNTER, ...
    std::vector<std::string> size; // TEXT(50), DECIMAL(10, 2)
    bool primaryKey = false, autoIncrement = false, notNull = false, unique = false, noCase = false;
    ExprPtr defaultValue;
};

struct CreateTable {
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<std::string> primaryKey; // PRIMARY KEY (a, b) after the columns
};

struct CreateIndex {
    bool unique = false;
    std::string name, table;
    std::vector<OrderTerm> columns; // names only
};

struct Drop {
    bool index = false; // DROP INDEX name ON table, else DROP TABLE name
    std::string name, table;
};

struct AlterTable {
    std::string table;
    bool add = true;  // ADD [COLUMN] definition, else DROP [COLUMN] name
    ColumnDef column; // what is added, or the name of what is dropped
};

struct Transform {
    ExprPtr value;
    Select select;
    ExprPtr pivot;
    std::vector<ExprPtr> fixedColumns;
};

using Statement = std::variant<Select, Insert, Update, Delete, CreateTable, CreateIndex, Drop, AlterTable,
                               Transform>;

} // namespace dao::jet::tree
