#include "dao/errors.h"
#include "dao/jet_sql.h"

#include <gtest/gtest.h>

using namespace dao::jet;

namespace {
std::string sqlOf(const std::string& jet, std::vector<std::string>* placeholderNames = nullptr) {
    auto st = parse(jet);
    auto t = translate(st.body, st.parameters);
    if (placeholderNames) *placeholderNames = t.placeholderNames;
    return t.sql;
}
} // namespace

TEST(JetSql, NamesLiteralsAndOperators) {
    EXPECT_EQ(sqlOf("SELECT [Job Lookup Table].[Job Number] FROM [Job Lookup Table] WHERE Late = Yes AND "
                    "Canceled = No AND x = True;"),
              "SELECT \"Job Lookup Table\".\"Job Number\" FROM \"Job Lookup Table\" WHERE Late = -1 AND "
              "Canceled = 0 AND x = -1");
    EXPECT_EQ(sqlOf("SELECT * FROM T WHERE d = #12/8/2026# OR d = #2026-01-05# OR d > #3/4/2026 2:30:00 PM#"),
              "SELECT * FROM T WHERE d = '2026-12-08' OR d = '2026-01-05' OR d > '2026-03-04 14:30:00'");
    EXPECT_EQ(
        sqlOf("SELECT a & \"it's\" FROM T WHERE b Is Null"),
        "SELECT (CASE WHEN COALESCE( a ,  'it''s' ) IS NULL THEN NULL ELSE COALESCE( a , '') || COALESCE( "
        "'it''s' , '') END) FROM T WHERE b Is Null");
    // & binds looser than arithmetic and tighter than comparison, at every level of parentheses.
    EXPECT_EQ(
        sqlOf("SELECT x FROM T WHERE a + 1 & [b c] = \"3x\" AND (Mid(d & e, 1) = 'q')"),
        "SELECT x FROM T WHERE (CASE WHEN COALESCE( a + 1 ,  \"b c\" ) IS NULL THEN NULL ELSE COALESCE( a + "
        "1 "
        ", '') || COALESCE( \"b c\" , '') END) = '3x' AND (SUBSTR( (CASE WHEN COALESCE(d ,  e) IS NULL THEN "
        "NULL ELSE COALESCE(d , '') || COALESCE( e, '') END) , 1) = 'q')");
    EXPECT_EQ(sqlOf("Delete * From Shipments WHERE Canceled = Yes"),
              "Delete From Shipments WHERE Canceled = -1");
    EXPECT_EQ(sqlOf("DELETE Shipments.* FROM Shipments"), "DELETE FROM Shipments");
    EXPECT_EQ(sqlOf("UPDATE T SET T.a = 1, [T].[b c] = T.d WHERE T.e = 2"),
              "UPDATE T SET a = 1, \"b c\" = \"T\".\"d\" WHERE \"T\".\"e\" = 2");
    // The search window's membership clauses and status conditions.
    EXPECT_EQ(sqlOf("SELECT * FROM Shipments WHERE Shipments.Customer IN (\"Acme\",\"Valcrest\") AND "
                    "((Shipments.Canceled=False) OR (Shipments.ReqShipDate < #12/8/2026#));"),
              "SELECT * FROM Shipments WHERE \"Shipments\".\"Customer\" IN ('Acme','Valcrest') AND "
              "((\"Shipments\".\"Canceled\"=0) OR (\"Shipments\".\"ReqShipDate\" < '2026-12-08'))");
    EXPECT_EQ(sqlOf("SELECT TOP 5 a FROM T"), "SELECT  a FROM T LIMIT 5");
    // A word that is a column of a table keeps its meaning, even when it reads like a literal.
    EXPECT_EQ(sqlOf("SELECT T.Yes FROM T"), "SELECT \"T\".\"Yes\" FROM T");
}

TEST(JetSql, LikeWildcardsAreTranslatedAndBackendWildcardsEscaped) {
    EXPECT_EQ(sqlOf("SELECT * FROM T WHERE a Like \"AB*\" AND b LIKE 'x?y' AND c LIKE \"50%[*]\""),
              "SELECT * FROM T WHERE a Like 'AB%' ESCAPE '\\' AND b LIKE 'x_y' ESCAPE '\\' AND c LIKE "
              "'50\\%*' ESCAPE '\\'");
}

TEST(JetSql, FunctionsAndParameters) {
    std::vector<std::string> placeholderNames;
    EXPECT_EQ(
        sqlOf("PARAMETERS ThatDate DateTime, [Low Date] DateTime; SELECT IIf(Late, 1, Nz(q)) FROM T "
              "WHERE d >= [Low Date] AND d <= ThatDate AND e < Date() AND f = [low date]",
              &placeholderNames),
        "SELECT (CASE WHEN Late THEN 1 ELSE COALESCE(q, 0) END) FROM T WHERE d >= ?1 AND d <= ?2 AND e < ?3 "
        "AND f = ?1");
    EXPECT_EQ(placeholderNames, (std::vector<std::string>{"Low Date", "ThatDate", "Date()"}));
    auto st = parse("PARAMETERS [JOB NUMBER TO PRINT] Text, SHIPID Long; SELECT 1");
    ASSERT_EQ(st.parameters.size(), 2u);
    EXPECT_EQ(st.parameters[0].name, "JOB NUMBER TO PRINT");
    EXPECT_EQ(st.parameters[1].type, "Long");
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
    auto st = parse("SELECT * FROM T WHERE Customer = " + quoteText(hostile) +
                    " AND d = " + dateLiteral(2026, 3, 4));
    auto t = translate(st.body, st.parameters);
    EXPECT_EQ(t.sql, "SELECT * FROM T WHERE Customer = 'O\"Brien\" OR \"1\"=\"1' AND d = '2026-03-04'");
    EXPECT_EQ(quoteText("it's"), "\"it's\"");
    EXPECT_EQ(dateLiteral(2026, 12, 8, 14, 5, 0), "#2026-12-08 14:05:00#");
}

namespace {
std::string serverSqlOf(const std::string& jet) {
    auto st = parse(jet);
    return translate(st.body, st.parameters, Dialect::Server).sql;
}
// The SQL with runs of blanks made one, so a test reads what matters.
std::string squeezed(std::string s) {
    std::string out;
    for (char c : s)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}
} // namespace

// A server keeps names as they are made, has its own column types and no whole-number CAST that cuts
// fractions off; the server's translation says so in SQL it understands.
TEST(JetSql, ServerDialect) {
    EXPECT_EQ(squeezed(serverSqlOf("CREATE TABLE Ships (ID INTEGER PRIMARY KEY AUTOINCREMENT, Job TEXT(50) "
                                   "COLLATE NOCASE, Qty LONG, Due DATETIME, Late YESNO NOT NULL DEFAULT 0, "
                                   "[Box Weight] DOUBLE, Notes MEMO, PRIMARY KEY (ID))")),
              "CREATE TABLE \"Ships\" (\"ID\" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY ,\"Job\" "
              "citext ,\"Qty\" integer ,\"Due\" timestamp ,\"Late\" yesno NOT NULL DEFAULT 0 ,\"Box Weight\" "
              "double precision ,\"Notes\" memo , PRIMARY KEY(\"ID\"))");
    EXPECT_EQ(squeezed(serverSqlOf("CREATE TABLE T (N COUNTER PRIMARY KEY)")),
              "CREATE TABLE \"T\" (\"N\" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY )");
    EXPECT_EQ(squeezed(serverSqlOf("ALTER TABLE T ADD COLUMN Shipped YESNO")),
              "ALTER TABLE T ADD COLUMN \"Shipped\" yesno");
    EXPECT_EQ(serverSqlOf("SELECT Count(*) AS N FROM T WHERE d = #12/8/2026#"),
              "SELECT COUNT(*) AS \"N\" FROM T WHERE d = TIMESTAMP '2026-12-08'");
    EXPECT_EQ(squeezed(serverSqlOf("SELECT CLng(a), Fix(b), Int(c), 7 \\ 2, a / (b - 1) FROM T")),
              "SELECT CAST(dao_round(a, 0) AS BIGINT), CAST(TRUNC(b) AS BIGINT), CAST(FLOOR(c) AS BIGINT), "
              "(CAST(TRUNC(dao_round(7 , 0) / dao_round(2, 0)) AS BIGINT)) , a / NULLIF((b - 1), 0) FROM T");
    EXPECT_EQ(squeezed(serverSqlOf("SELECT a & 1 FROM T WHERE Qty Like \"1#\"")),
              "SELECT (CASE WHEN COALESCE(CAST( a AS TEXT), CAST( 1 AS TEXT)) IS NULL THEN NULL ELSE "
              "COALESCE(CAST( a AS TEXT), '') || COALESCE(CAST( 1 AS TEXT), '') END) FROM T WHERE "
              "dao_like(CAST(Qty AS TEXT), CAST('1#' AS TEXT))");
    // A Yes/No field alone is a condition on the engine; the server compares it with No. The AND of a
    // BETWEEN and fields compared with something are left as they are.
    EXPECT_EQ(squeezed(serverSqlOf("SELECT a FROM T WHERE NOT T.Canceled AND (Late OR b = 1) AND d BETWEEN "
                                   "x AND y ORDER BY a")),
              "SELECT a FROM T WHERE NOT (\"T\".\"Canceled\" <> 0) AND ((Late <> 0) OR b = 1) AND d BETWEEN "
              "x AND y "
              "ORDER BY a");
}
