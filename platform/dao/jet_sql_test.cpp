#include "dao/errors.h"
#include "dao/jet_sql.h"

#include <gtest/gtest.h>

using namespace dao::jet;


// Each dialect statement and the SQL each engine is given for it.
struct Written {
    const char* dialect;
    const char* file;
    const char* server;
};

class JetSqlWritten : public ::testing::TestWithParam<Written> {};

TEST_P(JetSqlWritten, ForEachEngine) {
    const auto& w = GetParam();
    EXPECT_EQ(translateStatement(w.dialect, Dialect::File).sql, w.file);
    EXPECT_EQ(translateStatement(w.dialect, Dialect::Server).sql, w.server);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, JetSqlWritten,
    ::testing::Values(
        // Names are quoted as written; Yes and No are -1 and 0; a field alone is a condition.
        Written{"SELECT [Job Lookup Table].[Job Number] FROM [Job Lookup Table] WHERE Late = Yes AND "
                "Canceled = No AND NOT T.Shipped;",
                "SELECT \"Job Lookup Table\".\"Job Number\" FROM \"Job Lookup Table\" WHERE (((\"Late\" = -1) "
                "AND (\"Canceled\" = 0)) AND (NOT \"T\".\"Shipped\"))",
                "SELECT \"Job Lookup Table\".\"Job Number\" FROM \"Job Lookup Table\" WHERE (((\"Late\" = -1) "
                "AND (\"Canceled\" = 0)) AND (NOT (\"T\".\"Shipped\" <> 0)))"},
        // A word after a dot is a name, even one that reads like a literal.
        Written{"SELECT T.Yes FROM T", "SELECT \"T\".\"Yes\" FROM \"T\"", "SELECT \"T\".\"Yes\" FROM \"T\""},
        // Minus minus one: each operator stays an operator, never a comment.
        Written{"DELETE FROM Shipments WHERE Quantity--1 = 0 AND ShipmentID = 0",
                "DELETE FROM \"Shipments\" WHERE ((dao_sub(\"Quantity\", (-1)) = 0) AND (\"ShipmentID\" = 0))",
                "DELETE FROM \"Shipments\" WHERE ((dao_difference(\"Quantity\" - (-1)) = 0) AND (\"ShipmentID\" = 0))"},
        Written{"SELECT * FROM T WHERE d = #12/8/2026# OR d > #3/4/2026 2:30:00 PM#",
                "SELECT * FROM \"T\" WHERE ((\"d\" = '2026-12-08') OR (\"d\" > '2026-03-04 14:30:00'))",
                "SELECT * FROM \"T\" WHERE ((\"d\" = TIMESTAMP '2026-12-08') OR (\"d\" > TIMESTAMP '2026-03-04 "
                "14:30:00'))"},
        // & is Null only when every part is; texts keep their quotes inside the literal.
        Written{"SELECT a & \"it's\" & Null FROM T WHERE b Is Null AND c Not Between 1 And 2",
                "SELECT (CASE WHEN COALESCE(\"a\", 'it''s', NULL) IS NULL THEN NULL ELSE COALESCE(\"a\", '') || "
                "COALESCE('it''s', '') || COALESCE(NULL, '') END) FROM \"T\" WHERE ((\"b\" IS NULL) AND (\"c\" "
                "NOT BETWEEN 1 AND 2))",
                "SELECT (CASE WHEN COALESCE(CAST(\"a\" AS TEXT), CAST('it''s' AS TEXT), CAST(NULL AS TEXT)) IS "
                "NULL THEN NULL ELSE COALESCE(CAST(\"a\" AS TEXT), '') || COALESCE(CAST('it''s' AS TEXT), '') "
                "|| COALESCE(CAST(NULL AS TEXT), '') END) FROM \"T\" WHERE ((\"b\" IS NULL) AND (\"c\" NOT "
                "BETWEEN 1 AND 2))"},
        Written{"Delete * From Shipments WHERE Canceled", "DELETE FROM \"Shipments\" WHERE \"Canceled\"",
                "DELETE FROM \"Shipments\" WHERE (\"Canceled\" <> 0)"},
        Written{"DELETE Shipments.* FROM Shipments", "DELETE FROM \"Shipments\"", "DELETE FROM \"Shipments\""},
        Written{"UPDATE T SET T.a = 1, [T].[b c] = T.d WHERE T.e = 2",
                "UPDATE \"T\" SET \"a\" = 1, \"b c\" = \"T\".\"d\" WHERE (\"T\".\"e\" = 2)",
                "UPDATE \"T\" SET \"a\" = 1, \"b c\" = \"T\".\"d\" WHERE (\"T\".\"e\" = 2)"},
        Written{"SELECT TOP 5 a FROM T", "SELECT \"a\" FROM \"T\" LIMIT 5", "SELECT \"a\" FROM \"T\" LIMIT 5"},
        // Like: the engine's wildcards become the backend's, the backend's own are literals; digit
        // patterns go to dao_like.
        Written{"SELECT a FROM T WHERE a Like \"AB*\" AND b Not LIKE 'x?y' AND c LIKE \"50%[*]\" AND d Like \"1#\"",
                "SELECT \"a\" FROM \"T\" WHERE ((((\"a\" LIKE 'AB%' ESCAPE '\\') AND (\"b\" NOT LIKE 'x_y' "
                "ESCAPE '\\')) AND (\"c\" LIKE '50\\%*' ESCAPE '\\')) AND dao_like(\"d\", '1#'))",
                "SELECT \"a\" FROM \"T\" WHERE ((((\"a\" ILIKE 'AB%' ESCAPE '\\') AND (\"b\" NOT ILIKE 'x_y' "
                "ESCAPE '\\')) AND (\"c\" ILIKE '50\\%*' ESCAPE '\\')) AND dao_like(CAST(\"d\" AS TEXT), "
                "CAST('1#' AS TEXT)))"},
        // / divides as fractions, \ as whole numbers; neither fails on zero.
        Written{"SELECT 7 \\ 2, 7 / 2, 7 Mod 2 FROM T",
                "SELECT (dao_round(7, 0) / dao_round(2, 0)), (CAST(7 AS REAL) / 2), (dao_round(7, 0) % "
                "dao_round(2, 0)) FROM \"T\"",
                "SELECT CAST(TRUNC(dao_round(7, 0) / NULLIF(dao_round(2, 0), 0)) AS BIGINT), (CAST(7 AS DOUBLE "
                "PRECISION) / NULLIF(2, 0)), (CAST(dao_round(7, 0) AS BIGINT) % NULLIF(CAST(dao_round(2, 0) AS "
                "BIGINT), 0)) FROM \"T\""},
        // Conditions in a select list are -1 or 0; Null goes first going up, last going down.
        Written{"SELECT IIf(Late, 1, 2), Not OKToShip, a = b FROM T ORDER BY d DESC, e",
                "SELECT (CASE WHEN \"Late\" THEN 1 ELSE 2 END), (-(NOT \"OKToShip\")), (-(\"a\" = \"b\")) FROM "
                "\"T\" ORDER BY \"d\" DESC, \"e\"",
                "SELECT (CASE WHEN (\"Late\" <> 0) THEN 1 ELSE 2 END), (-CAST((NOT (\"OKToShip\" <> 0)) AS "
                "INTEGER)), (-CAST((\"a\" = \"b\") AS INTEGER)) FROM \"T\" ORDER BY \"d\" DESC NULLS LAST, \"e\" "
                "NULLS FIRST"},
        // An alias is referred to as it was made, in any letter case.
        Written{"SELECT S.a AS N FROM (SELECT a FROM T) AS S ORDER BY n",
                "SELECT \"S\".\"a\" AS \"N\" FROM (SELECT \"a\" FROM \"T\") AS \"S\" ORDER BY \"N\"",
                "SELECT \"S\".\"a\" AS \"N\" FROM (SELECT \"a\" FROM \"T\") AS \"S\" ORDER BY \"N\" NULLS FIRST"},
        Written{"SELECT a FROM T LEFT JOIN (U INNER JOIN V ON U.x = V.x) ON T.a = U.a",
                "SELECT \"a\" FROM \"T\" LEFT JOIN (\"U\" INNER JOIN \"V\" ON (\"U\".\"x\" = \"V\".\"x\")) ON "
                "(\"T\".\"a\" = \"U\".\"a\")",
                "SELECT \"a\" FROM \"T\" LEFT JOIN (\"U\" INNER JOIN \"V\" ON (\"U\".\"x\" = \"V\".\"x\")) ON "
                "(\"T\".\"a\" = \"U\".\"a\")"},
        Written{"INSERT INTO T (a, b) VALUES (1, #2026-12-01#), (2, Null)",
                "INSERT INTO \"T\" (\"a\", \"b\") VALUES (1, '2026-12-01'), (2, NULL)",
                "INSERT INTO \"T\" (\"a\", \"b\") VALUES (1, TIMESTAMP '2026-12-01'), (2, NULL)"},
        // Definitions: the server's own column types; a counter is the key.
        Written{"CREATE TABLE Ships (ID INTEGER PRIMARY KEY AUTOINCREMENT, Job TEXT(50) COLLATE NOCASE, "
                "Late YESNO NOT NULL DEFAULT 0, [Box Weight] DOUBLE)",
                "CREATE TABLE \"Ships\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Job\" TEXT(50) COLLATE "
                "NOCASE, \"Late\" YESNO NOT NULL DEFAULT 0, \"Box Weight\" DOUBLE)",
                "CREATE TABLE \"Ships\" (\"ID\" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, \"Job\" "
                "citext, \"Late\" yesno NOT NULL DEFAULT 0, \"Box Weight\" double precision)"},
        Written{"CREATE TABLE T (N COUNTER PRIMARY KEY, K LONG, PRIMARY KEY (K))",
                "CREATE TABLE \"T\" (\"N\" COUNTER PRIMARY KEY, \"K\" LONG, PRIMARY KEY (\"K\"))",
                "CREATE TABLE \"T\" (\"N\" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, \"K\" "
                "integer, PRIMARY KEY (\"K\"))"},
        Written{"ALTER TABLE T ADD COLUMN Shipped YESNO", "ALTER TABLE \"T\" ADD COLUMN \"Shipped\" YESNO",
                "ALTER TABLE \"T\" ADD COLUMN \"Shipped\" yesno"},
        Written{"SELECT CLng(a), Fix(b), Int(c) FROM T",
                "SELECT dao_round(\"a\", 0), CAST(\"b\" AS INTEGER), (CASE WHEN (\"c\") < CAST(\"c\" AS INTEGER) "
                "THEN CAST(\"c\" AS INTEGER) - 1 ELSE CAST(\"c\" AS INTEGER) END) FROM \"T\"",
                "SELECT CAST(dao_round(\"a\", 0) AS BIGINT), CAST(TRUNC(\"b\") AS BIGINT), CAST(FLOOR(\"c\") AS "
                "BIGINT) FROM \"T\""}));

TEST(JetSql, ParametersAreNumberedInTheOrderTheyAreWritten) {
    auto t = translateStatement("PARAMETERS ThatDate DateTime, [Low Date] DateTime; SELECT a FROM T WHERE d >= "
                                "[Low Date] AND d <= ThatDate AND e < Date() AND f = [low date] AND g = T.ThatDate",
                                Dialect::File);
    EXPECT_EQ(t.sql, "SELECT \"a\" FROM \"T\" WHERE (((((\"d\" >= ?1) AND (\"d\" <= ?2)) AND (\"e\" < ?3)) AND "
                     "(\"f\" = ?1)) AND (\"g\" = \"T\".\"ThatDate\"))");
    EXPECT_EQ(t.placeholderNames, (std::vector<std::string>{"Low Date", "ThatDate", "Date()"}));
    auto st = parse("PARAMETERS [JOB NUMBER TO PRINT] Text, SHIPID Long, Note Text(50); SELECT 1");
    ASSERT_EQ(st.parameters.size(), 3u);
    EXPECT_EQ(st.parameters[0].name, "JOB NUMBER TO PRINT");
    EXPECT_EQ(st.parameters[1].type, "Long");

    // What the select list shows of its columns' types, up to the first *: the file keeps dates as text.
    using H = ColumnHint;
    auto hints = translateStatement("PARAMETERS D DateTime; SELECT a + 1, DateAdd(\"d\", 1, a), #1/2/2026#, a, "
                                    "IIf(x, D, Null), Min(a), Format(a, \"yyyy-mm-dd\"), 2 - 1, a & \"\", T.*, b FROM T",
                                    Dialect::File)
                     .columns;
    EXPECT_EQ(hints, (std::vector<H>{H::DateIfText, H::Date, H::Date, H::DateIfText, H::Date, H::DateIfText, H::None,
                                     H::None, H::None}));
}

// Text that is not exactly one statement of the dialect is refused with the engine's error, and
// the description names what could not be read.
struct Refused {
    std::string dialect;
    long number;
    const char* named;
};

class JetSqlRefused : public ::testing::TestWithParam<Refused> {};

TEST_P(JetSqlRefused, WithTheEnginesError) {
    const auto& r = GetParam();
    for (auto dialect : {Dialect::File, Dialect::Server})
        try {
            translateStatement(r.dialect, dialect);
            ADD_FAILURE() << "accepted: " << r.dialect;
        } catch (const dao::Error& e) {
            EXPECT_EQ(e.number(), r.number) << e.description();
            EXPECT_NE(e.description().find(r.named), std::string::npos) << e.description();
        }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JetSqlRefused,
    ::testing::Values(
        Refused{std::string("DELETE FROM Shipments\0 WHERE ShipmentID = 0", 44), dao::errc::SyntaxError, "NUL"},
        Refused{"SELECT * FROM Shipments WHERE a ) b ( LIKE c", dao::errc::SyntaxError, "')'"},
        Refused{"SELECT * FROM T WHERE (a = 1", dao::errc::SyntaxError, "parenthesis"},
        Refused{"SELECT #1/1/99999999999#", dao::errc::SyntaxError, "99999999999"},
        Refused{"SELECT #13/45/2026 99:00#", dao::errc::SyntaxError, "#13/45/2026 99:00#"},
        Refused{"SELECT [upper](Customer) FROM T", dao::errc::SyntaxError, "[upper]"},
        Refused{"SELECT pg_catalog.upper(Customer) FROM T", dao::errc::SyntaxError, "pg_catalog.upper"},
        Refused{"SELECT StrConv(Customer, 3) FROM T", dao::errc::SyntaxError, "StrConv"},
        Refused{"SELECT Mid(a) FROM T", dao::errc::SyntaxError, "Mid"},
        Refused{"UPDATE Shipments SET Comments = $$'$$; DELETE FROM \"Shipments\"; SELECT $$'$$",
                dao::errc::SyntaxError, "'$'"},
        Refused{"UPDATE Shipments SET Comments = $$x$$", dao::errc::SyntaxError, "$"},
        Refused{"SELECT a FROM T WHERE b = 1 ORDER BY a LIMIT 1", dao::errc::TextAfterEnd, "LIMIT"},
        Refused{"SELECT a FROM T /* x */", dao::errc::TextAfterEnd, "/"},
        Refused{"SELECT 1.2.3 FROM T", dao::errc::SyntaxError, "1.2.3"},
        Refused{"EXPLAIN SELECT 1", dao::errc::SyntaxError, "SELECT"},
        Refused{"SELECT \"open", dao::errc::SyntaxError, "not closed"},
        Refused{std::string(5000, '(') + "1" + std::string(5000, ')'), dao::errc::SyntaxError, "deeply"},
        Refused{[] {
                    std::string sum = "SELECT 1";
                    for (int i = 0; i < 100000; ++i)
                        sum += " + 1";
                    return sum;
                }(),
                dao::errc::SyntaxError, "deeply"}));

// The server keeps 63 bytes of a name: a longer one is refused, never cut to mean another.
TEST(JetSql, ANameTheServerWouldCutIsRefused) {
    std::string sql = "SELECT a FROM [" + std::string(100, 'x') + "]";
    EXPECT_EQ(translateStatement(sql, Dialect::File).sql, "SELECT \"a\" FROM \"" + std::string(100, 'x') + "\"");
    try {
        translateStatement(sql, Dialect::Server);
        ADD_FAILURE() << "a long name was written for the server";
    } catch (const dao::Error& e) {
        EXPECT_NE(e.description().find("63 bytes"), std::string::npos) << e.description();
    }
}

TEST(JetSql, StatementKinds) {
    EXPECT_EQ(parse("SELECT a FROM T").kind, StatementKind::Select);
    EXPECT_EQ(parse("SELECT a INTO R IN 'C:\\x.mdb' FROM T").kind, StatementKind::MakeTable);
    EXPECT_EQ(parse("TRANSFORM Count(a) SELECT b FROM T GROUP BY b PIVOT c").kind, StatementKind::Crosstab);
    EXPECT_EQ(parse("UPDATE T SET a = 1").kind, StatementKind::Action);
    EXPECT_EQ(parse("INSERT INTO T (a) SELECT b FROM U").kind, StatementKind::Action);
    EXPECT_THROW(parse("EXPLAIN SELECT 1"), dao::Error);
    try {
        parse("SELECT \"open");
        FAIL();
    } catch (const dao::Error& e) {
        EXPECT_EQ(e.number(), dao::errc::SyntaxError);
    }
}

TEST(JetSql, FilterMergesIntoWhereBeforeOrdering) {
    auto body = parse("SELECT * FROM T WHERE a = 1 OR b = 2 ORDER BY c").body;
    EXPECT_EQ(toText(withCondition(body, tokenize("T.Late = Yes"))),
              "SELECT * FROM T  WHERE (a = 1 OR b = 2) AND (T.Late = Yes) ORDER BY c");
    body = parse("SELECT * FROM T ORDER BY c;").body;
    EXPECT_EQ(toText(withCondition(body, tokenize("x IS NULL"))),
              "SELECT * FROM T  WHERE (x IS NULL) ORDER BY c");
    EXPECT_EQ(toText(withOrder(body, tokenize("d DESC"))), "SELECT * FROM T  ORDER BY d DESC");
    // A filter or a sort cannot close the statement's parentheses or add clauses of its own.
    for (const char* filter : {"a = 1) OR (1 = 1", "a = 1 ORDER BY b", "a = 1 UNION SELECT * FROM U"})
        EXPECT_THROW(withCondition(body, tokenize(filter)), dao::Error) << filter;
    for (const char* sort : {"d) x", "d DESC LIMIT 1", "d WHERE 1 = 1"})
        EXPECT_THROW(withOrder(body, tokenize(sort)), dao::Error) << sort;
}

TEST(JetSql, KeyTableOfUpdatableShapesOnly) {
    auto key = keyTable(parse("SELECT S.* FROM (Shipments AS S LEFT JOIN [Job Lookup Table] ON S.JobNum = "
                              "[Job Lookup Table].[Job Number]) WHERE x = 1")
                            .body);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->table, "Shipments");
    EXPECT_EQ(key->alias, "S");
    key = keyTable(parse("SELECT * FROM [Job Lookup Table] LEFT JOIN X ON 1 = 1").body);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->alias, "Job Lookup Table");
    EXPECT_FALSE(keyTable(parse("SELECT DISTINCT a FROM T").body));
    EXPECT_FALSE(keyTable(parse("SELECT a, Count(*) FROM T GROUP BY a").body));
    EXPECT_FALSE(keyTable(parse("SELECT Count(*) FROM T").body));
}

TEST(JetSql, CrosstabAndMakeTableSplit) {
    auto x = splitCrosstab(
        parse("TRANSFORM Count(S.ID) AS N SELECT S.D, Count(S.ID) AS Total FROM S WHERE S.D > 1 "
              "GROUP BY S.D PIVOT S.Reason IN (\"a\", \"b\")")
            .body);
    EXPECT_EQ(toText(x.groups), "S.D");
    EXPECT_EQ(toText(x.pivot), "S.Reason");
    EXPECT_EQ(toText(x.from), "FROM S WHERE S.D > 1");
    ASSERT_EQ(x.fixedColumns.size(), 2u);
    auto m = splitMakeTable(parse("SELECT a, b INTO Report IN 'C:\\NETDATA\\R.MDB' FROM T WHERE a > 1").body);
    EXPECT_EQ(m.table, "Report");
    EXPECT_EQ(m.externalFile, "C:\\NETDATA\\R.MDB");
    EXPECT_EQ(toText(m.select), "SELECT a, b  FROM T WHERE a > 1");
}

TEST(JetSql, QuotingKeepsUserTextInsideItsLiteral) {
    std::string hostile = "O\"Brien\" OR \"1\"=\"1";
    auto st = parse("SELECT * FROM T WHERE Customer = " + quoteText(hostile) + " AND d = " + dateLiteral(2026, 3, 4));
    EXPECT_EQ(translate(st.body, st.parameters).sql,
              "SELECT * FROM \"T\" WHERE ((\"Customer\" = 'O\"Brien\" OR \"1\"=\"1') AND (\"d\" = '2026-03-04'))");
    EXPECT_EQ(quoteText("it's"), "\"it's\"");
    EXPECT_EQ(dateLiteral(2026, 12, 8, 14, 5, 0), "#2026-12-08 14:05:00#");
}
