#include "workbook/r1c1.h"

#include <gtest/gtest.h>

using workbook::columnLetters;
using workbook::FormulaError;
using workbook::r1c1ToA1;

TEST(ColumnLetters, RollOverAtEachLetterCount) {
    EXPECT_EQ(columnLetters(1), "A");
    EXPECT_EQ(columnLetters(26), "Z");
    EXPECT_EQ(columnLetters(27), "AA");
    EXPECT_EQ(columnLetters(52), "AZ");
    EXPECT_EQ(columnLetters(53), "BA");
    EXPECT_EQ(columnLetters(702), "ZZ");
    EXPECT_EQ(columnLetters(703), "AAA");
    EXPECT_EQ(columnLetters(16384), "XFD");
    EXPECT_THROW(columnLetters(0), FormulaError);
    EXPECT_THROW(columnLetters(16385), FormulaError);
}

// Every formula the late-shipment sheet writes, at the cells it writes them to.
TEST(R1C1ToA1, TheLateReportFormulas) {
    // Column D of a data row: late minus the reasons in E:G (three reasons).
    EXPECT_EQ(r1c1ToA1("=rc[-1]-SUM(rc[+1]:rc[+3])", 8, 4), "=C8-SUM(E8:G8)");
    EXPECT_EQ(r1c1ToA1("=rc[-1]-SUM(rc[+1]:rc[+3])", 30, 4), "=C30-SUM(E30:G30)");
    // The totals row, filled right from B: each column sums its own data rows from the fixed row 8.
    EXPECT_EQ(r1c1ToA1("=SUM(R8C:R[-1]C)", 20, 2), "=SUM(B$8:B19)");
    EXPECT_EQ(r1c1ToA1("=SUM(R8C:R[-1]C)", 20, 7), "=SUM(G$8:G19)");
    // The percentage rows divide by the fixed columns B and C of the totals row.
    EXPECT_EQ(r1c1ToA1("=R[-1]C/R[-1]C2", 21, 3), "=C20/$B20");
    EXPECT_EQ(r1c1ToA1("=R[-1]C/R[-1]C2", 21, 30), "=AD20/$B20");
    EXPECT_EQ(r1c1ToA1("=R[-2]C/R[-2]C3", 22, 4), "=D20/$C20");
}

TEST(R1C1ToA1, TheFixedTotalsBlockFormulas) {
    EXPECT_EQ(r1c1ToA1("=SUM(R[-19]C:R[-1]C)", 27, 2), "=SUM(B8:B26)");
    EXPECT_EQ(r1c1ToA1("=SUM(R[-19]C:R[-1]C)", 27, 6), "=SUM(F8:F26)");
    EXPECT_EQ(r1c1ToA1("=R[-1]C/R[-1]C[-1]", 28, 3), "=C27/B27");
    EXPECT_EQ(r1c1ToA1("=R[-1]C/R[-1]C[-4]", 28, 6), "=F27/B27");
    EXPECT_EQ(r1c1ToA1("=R[-2]C/R[-2]C[-3]", 29, 6), "=F27/C27");
}

TEST(R1C1ToA1, AbsoluteReferencesNamesAndText) {
    EXPECT_EQ(r1c1ToA1("=R1C1+R2C3", 5, 5), "=$A$1+$C$2");
    EXPECT_EQ(r1c1ToA1("=RC", 4, 28), "=AB4");
    EXPECT_EQ(r1c1ToA1("=r[1]c[-1]", 4, 2), "=A5");
    // Function names made of the same letters as references are left alone.
    EXPECT_EQ(r1c1ToA1("=ROUND(RC[-1],2)+COUNT(R1C:R[-1]C)+RC4D", 3, 2), "=ROUND(A3,2)+COUNT(B$1:B2)+RC4D");
    // Text constants are not formulas.
    EXPECT_EQ(r1c1ToA1("=\"RC[-1] \"\"R1C1\"\"\"&RC[-1]", 2, 2), "=\"RC[-1] \"\"R1C1\"\"\"&A2");
    EXPECT_EQ(r1c1ToA1("", 1, 1), "");
}

TEST(R1C1ToA1, RefusesWhatCannotBeWrittenInA1) {
    EXPECT_THROW(r1c1ToA1("=R[-1]C", 1, 1), FormulaError);     // above row 1
    EXPECT_THROW(r1c1ToA1("=RC[-2]", 5, 1), FormulaError);     // left of column A
    EXPECT_THROW(r1c1ToA1("=R0C1", 5, 1), FormulaError);       // there is no row 0
    EXPECT_THROW(r1c1ToA1("=SUM(R[-1])", 5, 1), FormulaError); // a whole row
    EXPECT_THROW(r1c1ToA1("=SUM(C2)", 5, 1), FormulaError);    // a whole column
    try {
        r1c1ToA1("=SUM(R8C:R[-9]C)", 5, 2);
        FAIL();
    } catch (const FormulaError& e) {
        EXPECT_NE(std::string(e.what()).find("R[-9]C"), std::string::npos) << e.what();
    }
}
