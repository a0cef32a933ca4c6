#include "workbook/workbook.h"

#include "workbook/xlsx_reader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace workbook;

TEST(Workbook, WritesValuesFormulasLooksWidthsAndPanes) {
    QTemporaryDir dir;
    std::string path = dir.filePath("w.xlsx").toStdString();
    {
        Workbook book(path);
        Worksheet& sheet = book.addWorksheet();
        sheet.writeText(1, 1, "Title", {.fontName = "Arial", .fontSize = 16, .bold = true});
        sheet.writeDate(2, 1, 46364, {.numberFormat = "m/d/yy"}); // 12/8/2026
        sheet.writeNumber(2, 2, 3);
        sheet.writeFormula(2, 3, "=RC[-1]*2", 6, {.numberFormat = "0.000%"});
        sheet.writeBlank(3, 1, {.align = HAlign::Center, .valign = VAlign::Bottom, .bottom = Border::Medium});
        sheet.writeFormulaError(3, 2, "=R[-1]C/0", "#DIV/0!");
        sheet.writeText(3, 4, "A rather long reason");
        sheet.autofitColumn(4);
        sheet.setColumnWidth(2, 10.86);
        sheet.freezePanes(8, 1);
        book.close();
    }
    readback::Sheet sheet = readback::readFirstSheet(path);
    ASSERT_NE(sheet.cell("A1"), nullptr);
    EXPECT_EQ(sheet.cell("A1")->value, "Title");
    EXPECT_EQ(sheet.cell("A1")->look.fontName, "Arial");
    EXPECT_EQ(sheet.cell("A1")->look.fontSize, 16);
    EXPECT_TRUE(sheet.cell("A1")->look.bold);
    EXPECT_EQ(sheet.cell("A2")->value, "46364");
    EXPECT_EQ(sheet.cell("A2")->look.numberFormat, "m/d/yy");
    EXPECT_EQ(sheet.cell("C2")->formula, "B2*2");
    EXPECT_EQ(sheet.cell("C2")->value, "6");
    EXPECT_EQ(sheet.cell("C2")->look.numberFormat, "0.000%");
    EXPECT_EQ(sheet.cell("A3")->look.align, "center");
    EXPECT_EQ(sheet.cell("A3")->look.valign, "bottom");
    EXPECT_EQ(sheet.cell("A3")->look.bottomBorder, "medium");
    EXPECT_FALSE(sheet.cell("A3")->look.otherBorders);
    EXPECT_EQ(sheet.cell("B3")->formula, "B2/0");
    EXPECT_NEAR(sheet.columnWidths.at(2), 10.86, 0.01);
    EXPECT_GE(sheet.columnWidths.at(4), 20.0); // the 20 characters fit
    EXPECT_EQ(sheet.frozenAt, "A8");
}

TEST(Workbook, FailuresNameTheFileOrTheCell) {
    QTemporaryDir dir;
    // A folder that does not exist: the file cannot be written when the workbook is closed.
    std::string path = dir.filePath("missing/w.xlsx").toStdString();
    Workbook book(path);
    Worksheet& sheet = book.addWorksheet();
    sheet.writeText(1, 1, "x");
    try {
        sheet.writeFormula(1, 2, "=R[-1]C", 0);
        FAIL() << "a formula above row 1 was accepted";
    } catch (const std::exception&) {
    }
    try {
        book.close();
        FAIL() << "a workbook in a missing folder was reported as written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}
