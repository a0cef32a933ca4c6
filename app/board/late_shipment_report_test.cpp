#include "late_shipment_report.h"
#include "late_shipment_sheet.h"
#include "shipments_schema.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "workbook/xlsx_reader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using runtime::Date;
using runtime::Variant;
using workbook::readback::Sheet;

const Date kToday = Date::fromYmd(2026, 12, 8);

class LateShipmentReport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        runtime::setDateLocale("en_US");
        runtime::setClock(Date::fromYmdHms(2026, 12, 8, 10, 30, 0));
        dialogs = runtime::useScriptedDialogs();
        dbPath = dir.filePath("shipments.mdb").toStdString();
        shipments::createShipmentsDatabase(dbPath).Close();
        db = dao::engine().OpenDatabase(dbPath);
        db.Execute("INSERT INTO [Late Reasons] (LateReasonID, LateReasonDescription) VALUES (1, 'Weather')");
        db.Execute(
            "INSERT INTO [Late Reasons] (LateReasonID, LateReasonDescription) VALUES (2, 'Machine Down')");
        db.Execute("INSERT INTO [Late Reasons] (LateReasonID, LateReasonDescription) VALUES (3, 'No Truck')");
    }
    void TearDown() override {
        db.Close();
        runtime::setClock(std::nullopt);
    }

    void ship(Date required, bool late, std::optional<int> reason = std::nullopt) {
        static int workOrder = 0;
        db.Execute("INSERT INTO Shipments (WorkOrder, Customer, Quantity, ReqShipDate, Late, LateReasonID, "
                   "Canceled, OKToShip) VALUES ('W" +
                   std::to_string(++workOrder) + "', 'Acme', 10, #" + required.isoDate() + "#, " +
                   (late ? "Yes" : "No") + ", " + (reason ? std::to_string(*reason) : "Null") + ", No, Yes)");
    }

    // Two days of December with three reasons and one late shipment without a reason.
    void twoDaysOfDecember() {
        ship(Date::fromYmd(2026, 12, 1), true, 1);
        ship(Date::fromYmd(2026, 12, 1), true, 2);
        ship(Date::fromYmd(2026, 12, 1), true);
        ship(Date::fromYmd(2026, 12, 1), false);
        ship(Date::fromYmd(2026, 12, 3), true, 3);
        ship(Date::fromYmd(2026, 12, 3), false);
        ship(Date::fromYmd(2026, 12, 3), false);
        ship(Date::fromYmd(2026, 12, 3), false);
    }

    lateReport::Crosstab crosstab(Date low, Date high) {
        auto q = db.QueryDefs("zzLateShipQuery_Crosstab");
        q.Parameters("LoDate").setValue(low);
        q.Parameters("HiDate").setValue(high);
        auto rs = q.OpenRecordset();
        return *lateReport::readCrosstab(rs, low, high);
    }

    std::string writeSheet(const lateReport::Crosstab& c, Date low, Date high) {
        std::string path = dir.filePath("sheet.xlsx").toStdString();
        QFile::remove(QString::fromStdString(path));
        workbook::Workbook book(path);
        lateReport::layOutSheet(book.addWorksheet(), c, low, high, "Brellin Plastics");
        book.close();
        return path;
    }

    // The destination of run(): a folder of the test's and a recorded opener.
    lateReport::Destination destination(bool opens = true) {
        return {dir.filePath("Documents").toStdString(), [this, opens](const std::string& path) {
                    opened.push_back(path);
                    return opens;
                }};
    }

    QTemporaryDir dir;
    std::string dbPath;
    dao::Database db;
    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
    std::vector<std::string> opened;
};

std::string formula(const Sheet& s, const std::string& a1) {
    const auto* c = s.cell(a1);
    return c ? c->formula : "<no cell " + a1 + ">";
}
std::string value(const Sheet& s, const std::string& a1) {
    const auto* c = s.cell(a1);
    return c ? c->value : "<no cell " + a1 + ">";
}

TEST_F(LateShipmentReport, SheetOfThreeReasons) {
    twoDaysOfDecember();
    Date low = Date::fromYmd(2026, 12, 1), high = Date::fromYmd(2026, 12, 31);
    lateReport::Crosstab c = crosstab(low, high);
    ASSERT_EQ(c.reasons.size(), 3u); // 7 fields: day, scheduled, late, <>, three reasons
    Sheet s = workbook::readback::readFirstSheet(writeSheet(c, low, high));

    // Title block and range.
    EXPECT_EQ(value(s, "A1"), "Brellin Plastics");
    EXPECT_EQ(s.cell("A1")->look.fontName, "Arial");
    EXPECT_EQ(s.cell("A1")->look.fontSize, 16);
    EXPECT_TRUE(s.cell("A1")->look.bold);
    EXPECT_EQ(value(s, "A2"), "Late Shipments Report");
    EXPECT_EQ(value(s, "A4"), "From");
    EXPECT_EQ(value(s, "B4"), std::to_string(static_cast<int>(low.serial)));
    EXPECT_EQ(s.cell("B4")->look.align, "left");
    EXPECT_EQ(s.cell("C4")->look.align, "right");
    EXPECT_EQ(value(s, "D4"), std::to_string(static_cast<int>(high.serial)));
    EXPECT_EQ(s.cell("D4")->look.align, "left");

    // Headers: two lines, the second underlined from A to the last reason, nothing else bordered.
    EXPECT_EQ(value(s, "B6") + "/" + value(s, "B7"), "Shipments/Scheduled");
    EXPECT_EQ(value(s, "C6") + "/" + value(s, "C7"), "Late/Shipments");
    EXPECT_EQ(value(s, "D6") + "/" + value(s, "D7"), "Unknown/Reason");
    EXPECT_EQ(value(s, "A7"), "Date");
    for (const char* centred : {"A7", "C6", "C7"}) {
        EXPECT_EQ(s.cell(centred)->look.align, "center") << centred;
        EXPECT_EQ(s.cell(centred)->look.valign, "bottom") << centred;
    }
    // The reasons in the crosstab's (sorted) order.
    EXPECT_EQ(value(s, "E7"), "Machine Down");
    EXPECT_EQ(value(s, "F7"), "No Truck");
    EXPECT_EQ(value(s, "G7"), "Weather");
    for (const char* header : {"A7", "B7", "C7", "D7", "E7", "F7", "G7"}) {
        EXPECT_EQ(s.cell(header)->look.bottomBorder, "medium") << header;
        EXPECT_FALSE(s.cell(header)->look.otherBorders) << header;
    }
    EXPECT_EQ(s.cell("C6")->look.bottomBorder, "");
    EXPECT_NEAR(s.columnWidths.at(2), 10.86, 0.01);
    EXPECT_NEAR(s.columnWidths.at(3), 11.29, 0.01);
    EXPECT_GE(s.columnWidths.at(5), 12.0); // "Machine Down" fits

    // One row per day with the remainder of the late ones in D.
    EXPECT_EQ(value(s, "A8"), std::to_string(static_cast<int>(low.serial)));
    EXPECT_EQ(s.cell("A8")->look.numberFormat, "m/d/yy");
    EXPECT_EQ(value(s, "B8") + " " + value(s, "C8"), "4 3");
    EXPECT_EQ(formula(s, "D8"), "C8-SUM(E8:G8)");
    EXPECT_EQ(value(s, "D8"), "1");
    EXPECT_EQ(value(s, "E8") + " " + value(s, "G8"), "1 1");
    EXPECT_EQ(s.cell("F8"), nullptr); // no late shipment of that reason on the day: left empty
    EXPECT_EQ(formula(s, "D9"), "C9-SUM(E9:G9)");
    EXPECT_EQ(value(s, "F9"), "1");

    // Totals and the two percentage rows.
    EXPECT_EQ(value(s, "A10"), "Totals");
    EXPECT_EQ(formula(s, "B10"), "SUM(B$8:B9)");
    EXPECT_EQ(formula(s, "G10"), "SUM(G$8:G9)");
    EXPECT_EQ(value(s, "B10") + " " + value(s, "C10") + " " + value(s, "D10"), "8 4 1");
    EXPECT_EQ(value(s, "A11"), "Pct of Total Shipments");
    EXPECT_EQ(s.cell("B11"), nullptr);
    EXPECT_EQ(formula(s, "C11"), "C10/$B10");
    EXPECT_EQ(formula(s, "G11"), "G10/$B10");
    EXPECT_EQ(value(s, "C11"), "0.5");
    EXPECT_EQ(s.cell("C11")->look.numberFormat, "0.000%");
    EXPECT_EQ(value(s, "A12"), "Pct of Late Shipments");
    EXPECT_EQ(s.cell("C12"), nullptr);
    EXPECT_EQ(formula(s, "D12"), "D10/$C10");
    EXPECT_EQ(value(s, "D12"), "0.25");
    EXPECT_EQ(s.cell("G12")->look.numberFormat, "0.000%");
    EXPECT_EQ(s.lastRow(), 12);
    EXPECT_EQ(s.frozenAt, "A8");
}

TEST_F(LateShipmentReport, ColumnsAreFoundByName) {
    // No "<>" column: the fourth column is a reason like any other.
    auto rs =
        db.OpenRecordset("SELECT #2026-12-01# AS [Day], 5 AS Scheduled, 2 AS Late, 2 AS Weather, 1 AS Dock",
                         dao::dbOpenSnapshot);
    lateReport::Crosstab c = *lateReport::readCrosstab(rs, kToday, kToday);
    EXPECT_EQ(c.reasons, (std::vector<std::string>{"Weather", "Dock"}));
    Date low = Date::fromYmd(2026, 12, 1);
    Sheet s = workbook::readback::readFirstSheet(writeSheet(c, low, low));
    EXPECT_EQ(value(s, "E7") + "," + value(s, "F7"), "Weather,Dock");
    EXPECT_EQ(formula(s, "D8"), "C8-SUM(E8:F8)");
    EXPECT_EQ(value(s, "D8"), "-1"); // the counts disagree, and the sheet shows it
    EXPECT_EQ(formula(s, "F9"), "SUM(F$8:F8)");

    // "<>" wherever it stands is skipped; no reasons at all gives D the late count itself.
    auto noReasons = db.OpenRecordset("SELECT #2026-12-01# AS [Day], 5 AS Scheduled, 2 AS Late, 2 AS [<>]",
                                      dao::dbOpenSnapshot);
    c = *lateReport::readCrosstab(noReasons, low, low);
    EXPECT_TRUE(c.reasons.empty());
    s = workbook::readback::readFirstSheet(writeSheet(c, low, low));
    EXPECT_EQ(formula(s, "D8"), "C8");
    EXPECT_EQ(s.cell("E7"), nullptr);
    EXPECT_EQ(formula(s, "D9"), "SUM(D$8:D8)");
    EXPECT_EQ(s.cell("E9"), nullptr);
}

TEST_F(LateShipmentReport, EmptyCrosstabWritesTheHeadersOnly) {
    Date low = Date::fromYmd(2026, 11, 1), high = Date::fromYmd(2026, 11, 30);
    Sheet s = workbook::readback::readFirstSheet(writeSheet(crosstab(low, high), low, high));
    EXPECT_EQ(value(s, "A7"), "Date");
    EXPECT_EQ(s.lastRow(), 7);
    EXPECT_EQ(s.frozenAt, "");
}

TEST_F(LateShipmentReport, FixedTotalsBlock) {
    std::string path = dir.filePath("macro.xlsx").toStdString();
    {
        workbook::Workbook book(path);
        lateReport::Macro1(book.addWorksheet());
        book.close();
    }
    Sheet s = workbook::readback::readFirstSheet(path);
    EXPECT_EQ(value(s, "A27") + "|" + value(s, "A28") + "|" + value(s, "A29"),
              "Totals|Pct of Total Shipments|Pct of Late Shipments");
    EXPECT_EQ(formula(s, "B27"), "SUM(B8:B26)");
    EXPECT_EQ(formula(s, "F27"), "SUM(F8:F26)");
    EXPECT_EQ(formula(s, "C28"), "C27/B27");
    EXPECT_EQ(formula(s, "F28"), "F27/B27");
    EXPECT_EQ(formula(s, "D29"), "D27/C27");
    EXPECT_EQ(formula(s, "F29"), "F27/C27");
    EXPECT_EQ(s.cell("B28"), nullptr);
    EXPECT_EQ(s.cell("C29"), nullptr);
    EXPECT_EQ(s.cell("E29")->look.numberFormat, "0.000%");
}

// The questions are asked, answered and read in the user's locale (month-first and day-first).
class LateShipmentReportIn : public LateShipmentReport, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        LateShipmentReport::SetUp();
        runtime::setDateLocale(GetParam());
    }
    void TearDown() override {
        runtime::setDateLocale("en_US");
        LateShipmentReport::TearDown();
    }
    static std::string day(int d) { return runtime::shortDateText(Date::fromYmd(2026, 12, d)); }
};
INSTANTIATE_TEST_SUITE_P(Locales, LateShipmentReportIn, ::testing::Values("en_US", "de_DE"));

TEST_P(LateShipmentReportIn, ClickAsksThisMonthWritesANewFileAndOpensIt) {
    twoDaysOfDecember();
    // Both defaults accepted as shown.
    dialogs->answer(runtime::Answer::Yes).type(day(1)).type(day(31));
    std::string path = lateReport::run(db, "Brellin Plastics", destination());
    ASSERT_FALSE(path.empty());
    const auto& shown = dialogs->shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].title, "Spreadsheet Required");
    EXPECT_EQ(shown[0].flags, runtime::mb::YesNo | runtime::mb::Information);
    EXPECT_EQ(shown[1].prompt, "Enter the earliest date to report on");
    EXPECT_EQ(shown[1].title, "Enter Low Date");
    EXPECT_EQ(shown[1].defaultText, day(1));
    EXPECT_EQ(shown[2].title, "Enter High Date");
    EXPECT_EQ(shown[2].defaultText, day(31));
    EXPECT_EQ(shown[3].prompt.rfind("Your report is complete.", 0), 0u);
    EXPECT_NE(shown[3].prompt.find(path), std::string::npos);
    EXPECT_EQ(opened, std::vector<std::string>{path});
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).fileName(),
              "Late Shipments 2026-12-01 to 2026-12-31.xlsx");
    EXPECT_EQ(value(workbook::readback::readFirstSheet(path), "B10"), "8");

    // The same range again: the first workbook is kept, and with no program to show it the message says so.
    dialogs->clear();
    dialogs->answer(runtime::Answer::Yes).type(day(1)).type(day(31));
    std::string second = lateReport::run(db, "Brellin Plastics", destination(false));
    EXPECT_NE(second, path);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
    EXPECT_NE(dialogs->shown().back().prompt.find("No spreadsheet program"), std::string::npos);
    EXPECT_NE(dialogs->shown().back().prompt.find(second), std::string::npos);
}

TEST_P(LateShipmentReportIn, BadAnswersAreRefusedAndNothingIsWritten) {
    // No: nothing asked further.
    dialogs->answer(runtime::Answer::No);
    EXPECT_EQ(lateReport::run(db, "X", destination()), "");
    EXPECT_EQ(dialogs->shown().size(), 1u);

    // Not a date, a time without a date, a range that runs backwards: each refused and asked again.
    dialogs->clear();
    // (A message with only an OK button needs no scripted answer.)
    dialogs->answer(runtime::Answer::Yes).type("abc").type("10:30").type(day(5)).type(day(4)).cancelInput();
    EXPECT_EQ(lateReport::run(db, "X", destination()), "");
    const auto& shown = dialogs->shown();
    ASSERT_EQ(shown.size(), 9u);
    EXPECT_EQ(shown[2].prompt.find("\"abc\" is not a date"), 0u);
    EXPECT_NE(shown[2].prompt.find(runtime::dateFormHint()), std::string::npos) << shown[2].prompt;
    EXPECT_EQ(shown[3].defaultText, "abc"); // asked again with what was typed
    EXPECT_EQ(shown[4].prompt.find("\"10:30\" is not a date"), 0u);
    EXPECT_NE(shown[7].prompt.find("before the earliest date"), std::string::npos);
    EXPECT_EQ(shown[8].title, "Enter High Date");
    EXPECT_EQ(shown[8].defaultText, day(4));
    EXPECT_TRUE(dialogs->allAnswersUsed());
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(QDir(dir.filePath("Documents")).exists());

    // A database without the crosstab: a message, not a crash.
    db.DeleteQueryDef("zzLateShipQuery_Crosstab");
    dialogs->clear();
    dialogs->answer(runtime::Answer::Yes);
    EXPECT_EQ(lateReport::run(db, "X", destination()), "");
    EXPECT_EQ(dialogs->shown().back().prompt.find("The late shipments cannot be read"), 0u);
}

// A real spreadsheet engine recalculates the workbook: its totals and percentages must be the
// crosstab's.
TEST_F(LateShipmentReport, SpreadsheetEngineAgreesWithTheCrosstab) {
    QString office = QStandardPaths::findExecutable("soffice");
    ASSERT_FALSE(office.isEmpty()) << "LibreOffice Calc is missing: run scripts/bootstrap";
    twoDaysOfDecember();
    ship(Date::fromYmd(2026, 12, 4), true, 1);
    Date low = Date::fromYmd(2026, 12, 1), high = Date::fromYmd(2026, 12, 31);
    std::string path = writeSheet(crosstab(low, high), low, high);

    // A profile of the test's own that recalculates every workbook it loads, so cached results are not
    // trusted.
    QDir profile(dir.filePath("office/user"));
    ASSERT_TRUE(profile.mkpath("."));
    std::ofstream(profile.filePath("registrymodifications.xcu").toStdString())
        << R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
)";
    QProcess calc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    calc.setProcessEnvironment(env);
    calc.start(office, {"--headless",
                        "-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("office")).toString(),
                        "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,true",
                        "--outdir", dir.filePath("csv"), QString::fromStdString(path)});
    ASSERT_TRUE(calc.waitForFinished(120000)) << "the spreadsheet engine did not finish";
    QFile csv(dir.filePath("csv/sheet.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << calc.readAllStandardError().toStdString();
    std::vector<std::string> lines;
    std::istringstream text(csv.readAll().toStdString());
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 13u);
    // Days 12/1, 12/3, 12/4: 9 scheduled, 5 late (1 without a reason); reasons Machine Down 1, No Truck 1,
    // Weather 2.
    EXPECT_EQ(lines[10], "Totals,9,5,1,1,1,2");
    EXPECT_EQ(lines[11], "Pct of Total Shipments,,55.556%,11.111%,11.111%,11.111%,22.222%");
    EXPECT_EQ(lines[12], "Pct of Late Shipments,,,20.000%,20.000%,20.000%,40.000%");
    EXPECT_EQ(lines[7], "12/1/26,4,3,1,1,,1");
}

} // namespace
