#include "shipments_schema.h"

#include "dao/jet_sql.h"

#include "board/status_rules.h"
#include "runtime/clock.h"
#include "runtime/locale_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using runtime::Date;
using runtime::Variant;

namespace {

// Not a global constant: the runtime's date tables may not be initialised before it.
#define kToday Date::fromYmd(2026, 12, 8)

class ShipmentsDb : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("shipments_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
        dao::engine().reset();
        runtime::setClock(kToday);
        runtime::setDateLocale("en_US"); // the window's date texts below are US short dates
        db_ = shipments::createShipmentsDatabase((dir_ / "ship.db").string());
        db_.Execute("INSERT INTO [Packaging Table] VALUES ('B1', 12, 12, 12), ('B2', 24, 12, 6)");
        db_.Execute(
            "INSERT INTO [Job Lookup Table] ([Job Number], [Job Description], [Box Type], [Parts Per Box], "
            "BoxesPerTransfer, [Box Weight], CustomerID, LabelFilename, BoxLabelQuery) VALUES "
            "('J1', 'Lid', 'B1', 100, 20, 30, 7, 'box.rpt', 'Box Label Query'), "
            "('J2', 'Cup', 'B9', 50, 10, 12, 8, Null, Null)");
        db_.Execute(
            "INSERT INTO [Late Reasons] (LateReasonDescription) VALUES ('Weather'), ('Machine down')");
        db_.Execute("INSERT INTO [Truck Lines] VALUES ('ABF', 'ABF Freight'), ('UPS', 'UPS/Collect')");
        // ID: what it is relative to today (12/8)
        add("Valcrest", "J1", "PO1", "#2026-12-08#", "Null", false, false, true); // 1 due today
        add("Acme", "J2", "PO2", "#2026-12-01#", "Null", true, false, false);     // 2 overdue, flagged late
        add("Acme", "J1", "PO3", "#2026-12-03#", "Null", false, false, false); // 3 overdue, not yet flagged
        add("Acme", "J9", "PO4", "Null", "Null", false, false, false);         // 4 ASAP, unknown job
        add("Valcrest", "J1", "PO5", "#2026-12-02#", "#2026-12-08#", true, false,
            true);                                                                    // 5 shipped late today
        add("Acme", "J2", "PO6", "#2026-12-01#", "#2026-12-05#", false, false, true); // 6 shipped earlier
        add("Acme", "J2", "PO7", "#2026-12-04#", "Null", false, true, false);         // 7 canceled, open date
        add("Acme", "J1", "PO8", "#2026-12-20#", "Null", false, false, false);        // 8 future
        add("Acme", "J1", "PO9", "#2026-12-02#", "#2026-12-08#", false, true, false); // 9 canceled today
        add("Acme", "J1", "PO10", "Null", "Null", false, true, false); // 10 ASAP, canceled on no known day
        db_.Execute("UPDATE Shipments SET LateReasonID = 1 WHERE ShipmentID = 5");
    }
    void TearDown() override {
        db_.Close();
        runtime::setClock(std::nullopt);
        dao::engine().reset();
        fs::remove_all(dir_);
    }
    void add(const char* customer, const char* job, const char* po, const char* req, const char* act,
             bool late, bool canceled, bool ok) {
        auto yes = [](bool b) { return b ? std::string("Yes") : std::string("No"); };
        db_.Execute(std::string("INSERT INTO Shipments (Customer, JobNum, CustomerPO, Quantity, ReqShipDate, "
                                "ActShipDate, Late, Canceled, OKToShip) VALUES ('") +
                    customer + "', '" + job + "', '" + po + "', 100, " + req + ", " + act + ", " + yes(late) +
                    ", " + yes(canceled) + ", " + yes(ok) + ")");
    }
    std::vector<int> ids(dao::Recordset rs) {
        std::vector<int> out;
        for (; !rs.atEOF(); rs.MoveNext())
            out.push_back(rs["ShipmentID"].toLong());
        return out;
    }
    dao::Recordset board(Date day) {
        auto q = db_.QueryDefs("Select Current Shipments Query");
        q.Parameters("ThatDate").setValue(day);
        return q.OpenRecordset(dao::dbOpenDynaset);
    }
    fs::path dir_;
    dao::Database db_;
};

} // namespace

TEST_F(ShipmentsDb, CurrentShipmentsConcernTheDay) {
    auto rs = board(kToday);
    // Ordered by required date (ASAP first): open ones from before, today's, shipped/canceled today.
    EXPECT_EQ(ids(rs), (std::vector<int>{4, 10, 2, 5, 9, 3, 1}));
    EXPECT_TRUE(rs.Updatable());
    rs.MoveFirst();
    EXPECT_TRUE(rs["Job Description"].isNull()); // unknown job: listed, empty job columns
    EXPECT_TRUE(rs["PCF Code"].isNull());
    rs.MoveNext(); // 10: listed every day, so that it can be deleted
    rs.MoveNext(); // job J2 has box type B9, which has no packaging row
    EXPECT_EQ(rs["Job Description"], Variant("Cup"));
    EXPECT_TRUE(rs["PCF Code"].isNull());
    rs.MoveNext(); // J1: 30 lb in a 1 cubic foot box
    EXPECT_EQ(rs["PCF Code"], Variant(30.0));
    EXPECT_FALSE(rs.Fields("PCF Code").Attributes() & dao::dbUpdatableField);
    EXPECT_FALSE(rs.Fields("Job Description").Attributes() & dao::dbUpdatableField);
    EXPECT_TRUE(rs.Fields("ReqShipDate").Attributes() & dao::dbUpdatableField);
    EXPECT_EQ(ids(board(Date::fromYmd(2026, 12, 5))), (std::vector<int>{4, 10, 2, 6, 3}));
}

TEST_F(ShipmentsDb, TabFiltersOnTheBoardQuery) {
    using board::StatusTab;
    auto rs = board(kToday);
    auto tab = [&](StatusTab t) {
        rs.setFilter(board::tabFilter(t));
        auto filtered = rs.OpenRecordset(dao::dbOpenDynaset);
        auto got = ids(filtered);
        // The filter and the rule agree row by row.
        for (filtered.MoveFirst(); !filtered.atEOF(); filtered.MoveNext())
            EXPECT_TRUE(board::onTab(board::ShipmentFlags::fromValues(
                                         filtered["Late"], filtered["ReqShipDate"], filtered["ActShipDate"],
                                         filtered["Canceled"], filtered["OKToShip"]),
                                     t));
        return std::set<int>(got.begin(), got.end());
    };
    EXPECT_EQ(tab(StatusTab::Today), (std::set<int>{1, 5}));
    EXPECT_EQ(tab(StatusTab::Scheduled), (std::set<int>{1, 3, 4}));
    EXPECT_EQ(tab(StatusTab::Late), (std::set<int>{2, 5}));
    EXPECT_EQ(tab(StatusTab::Shipped), (std::set<int>{5})) << "9 is canceled: its date is the cancel date";
    EXPECT_EQ(tab(StatusTab::Canceled), (std::set<int>{9, 10}));
}

TEST_F(ShipmentsDb, UpdateLateShipmentsFlagsOpenOverdueRows) {
    // Only the rows still to be marked are read, however many shipments the file holds.
    auto sql = dao::jet::translateStatement(db_.QueryDefs("Update Late Shipments Query").SQL(), dao::jet::Dialect::File).sql;
    auto plan = dao::openSqlite((dir_ / "ship.db").string(), {.readOnly = true})->prepare("EXPLAIN QUERY PLAN " + sql);
    ASSERT_TRUE(plan->step());
    EXPECT_NE(std::get<std::string>(plan->value(3)).find("ShipmentsToMarkLate"), std::string::npos)
        << std::get<std::string>(plan->value(3));
    EXPECT_EQ(db_.QueryDefs("Update Late Shipments Query").Execute(), 1);
    auto rs = db_.OpenRecordset("SELECT ShipmentID FROM Shipments WHERE Late = Yes ORDER BY ShipmentID");
    EXPECT_EQ(ids(rs), (std::vector<int>{2, 3, 5}));
}

TEST_F(ShipmentsDb, ListsAndCustomersWithLabels) {
    auto trucks = db_.QueryDefs("Get Truck Lines Query").OpenRecordset();
    EXPECT_TRUE(trucks.Updatable());
    EXPECT_EQ(trucks["TruckLineAbbr"], Variant("ABF"));
    auto reasons = db_.QueryDefs("Get Late Reasons Query").OpenRecordset(dao::dbOpenSnapshot);
    EXPECT_EQ(reasons["LateReasonDescription"], Variant("Machine down"));
    EXPECT_EQ(reasons["LateReasonID"], Variant(2));

    auto q = db_.QueryDefs("CustomersWithLabelsTodayQuery");
    q.Parameters("ShipDate").setValue(kToday);
    auto rs = q.OpenRecordset(dao::dbOpenForwardOnly);
    EXPECT_EQ(rs["Customer"], Variant("Valcrest"));
    EXPECT_EQ(rs["CustomerID"], Variant(7));
    rs.MoveNext();
    EXPECT_TRUE(rs.atEOF());
}

TEST_F(ShipmentsDb, LateShipmentCrosstab) {
    auto q = db_.QueryDefs("zzLateShipQuery_Crosstab");
    q.Parameters("LoDate").setValue(Date::fromYmd(2026, 12, 1));
    q.Parameters("HiDate").setValue(Date::fromYmd(2026, 12, 8));
    auto rs = q.OpenRecordset();
    ASSERT_EQ(rs.FieldCount(), 5);
    EXPECT_EQ(rs.Fields(3).Name(), "<>");
    EXPECT_EQ(rs.Fields(4).Name(), "Weather");
    EXPECT_EQ(rs["Day"], Variant(Date::fromYmd(2026, 12, 1)));
    EXPECT_EQ(rs["Scheduled"], Variant(2)); // 2 and 6
    EXPECT_EQ(rs["Late"], Variant(1));
    EXPECT_EQ(rs["<>"], Variant(1)); // late without a reason
    rs.MoveNext();
    EXPECT_EQ(rs["Day"], Variant(Date::fromYmd(2026, 12, 2))); // 5 (9 is canceled)
    EXPECT_EQ(rs["Weather"], Variant(1));
    EXPECT_EQ(rs.RecordCount(), 4); // 12/1, 12/2, 12/3, 12/8
}

TEST_F(ShipmentsDb, ValcrestScheduleWritesTheReportsDatabase) {
    db_.Execute(
        "INSERT INTO POTable (PONumber) SELECT DISTINCT CustomerPO From Shipments WHERE "
        "((Shipments.Customer='Valcrest') AND ((select count(*) from POTable as p1 Where p1.PONumber = "
        "shipments.CustomerPO) = 0));");
    db_.Execute("UPDATE POTable SET PODate = #12/1/2026# WHERE PONumber = 'PO1'");
    db_.Execute("UPDATE POTable SET PODate = #11/1/2026# WHERE PONumber = 'PO5'");
    fs::create_directories(dir_ / "dorvane/drives/c/NetData/Productn");
    dao::engine().CreateDatabase(shipments::kReportsDatabase).Close();
    auto q = db_.QueryDefs("Valcrest Production Schedule");
    q.Parameters("LowDate").setValue("11/15/2026"); // the window passes its text boxes' texts
    q.Parameters("HighDate").setValue("12/31/2026");
    q.Execute();
    auto reports = dao::engine().OpenDatabase("c:\\netdata\\productn\\reports.mdb");
    auto rs = reports.OpenRecordset("Report");
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs["PONumber"], Variant("PO1"));
    EXPECT_EQ(rs["PODate"], Variant(Date::fromYmd(2026, 12, 1)));
}

TEST_F(ShipmentsDb, LabelQueriesTakeTheirNamedParameters) {
    auto box = db_.QueryDefs("Box Label Query");
    ASSERT_EQ(box.ParameterCount(), 2);
    EXPECT_EQ(box.Parameters(1).Name(), "LOT NUMBER"); // asked from the user
    box.Parameters("JOB NUMBER TO PRINT").setValue("J1");
    box.Parameters("LOT NUMBER").setValue("L-77");
    auto rs = box.OpenRecordset(dao::dbOpenSnapshot);
    EXPECT_EQ(rs["Parts Per Box"], Variant(100));
    EXPECT_EQ(rs["LotNumber"], Variant("L-77"));
    auto ship = db_.QueryDefs("Shipping Label Query");
    ship.Parameters("SHIPID").setValue(5);
    EXPECT_EQ(ship.OpenRecordset(dao::dbOpenSnapshot)["CustomerPO"], Variant("PO5"));
    auto pallet = db_.QueryDefs("Pallet Label Query");
    pallet.Parameters("JOB NUMBER TO PRINT").setValue("J1");
    pallet.Parameters("SHIPID").setValue(1);
    pallet.Parameters("PALLET NUMBER").setValue("3");
    EXPECT_EQ(pallet.OpenRecordset(dao::dbOpenSnapshot).RecordCount(), 1);
}

TEST_F(ShipmentsDb, SchemaTypesAndCounter) {
    auto t = db_.TableDefs("Shipments");
    ASSERT_EQ(t.FieldCount(), 15);
    EXPECT_TRUE(t.Fields()[0].Attributes() & dao::dbAutoIncrField);
    EXPECT_EQ(t.Fields()[10].Type(), dao::dbBoolean);
    EXPECT_EQ(t.Fields()[8].Type(), dao::dbDate);
    EXPECT_EQ(db_.TableDefs("Job Lookup Table").FieldCount(), 26);
    auto raw = db_.OpenRecordset("SELECT Late + 0 AS L FROM Shipments WHERE ShipmentID = 2");
    EXPECT_EQ(raw["L"], Variant(-1)); // Yes is stored as -1
}
