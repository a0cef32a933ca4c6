#include "demo_data.h"
#include "shipments_schema.h"

#include "board/status_rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// Every value of every shipment, as text: two data sets are the same when these are.
std::string contents(const dao::Database& db) {
    std::string all;
    auto rs = db.OpenRecordset("SELECT * FROM Shipments ORDER BY ShipmentID", dao::dbOpenSnapshot);
    for (; !rs.atEOF(); rs.MoveNext())
        for (int i = 0; i < rs.FieldCount(); ++i) {
            auto v = rs.Fields(i).Value();
            all += (v.isNull() ? std::string("<null>") : v.toString()) + "|";
        }
    return all;
}

dao::Database makeDemo(const fs::path& file, unsigned seed) {
    auto db = shipments::createShipmentsDatabase(file.string());
    shipments::DemoOptions o;
    o.seed = seed;
    o.shipments = 800;
    o.today = runtime::Date::fromYmd(2026, 12, 8);
    shipments::fillDemoData(db, o);
    return db;
}

} // namespace

TEST(DemoData, DeterministicAndCoversEveryStatus) {
    fs::path dir = fs::temp_directory_path() / ("demo_test_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    dao::engine().reset();
    auto a = makeDemo(dir / "a.db", 7), b = makeDemo(dir / "b.db", 7), c = makeDemo(dir / "c.db", 8);
    EXPECT_EQ(contents(a), contents(b));
    EXPECT_NE(contents(a), contents(c));

    std::set<std::string> statuses, styles;
    auto rs = a.OpenRecordset("Shipments");
    EXPECT_EQ(rs.RecordCount(), 800);
    for (; !rs.atEOF(); rs.MoveNext()) {
        auto flags = board::ShipmentFlags::fromValues(rs["Late"], rs["ReqShipDate"], rs["ActShipDate"],
                                                      rs["Canceled"], rs["OKToShip"]);
        statuses.insert(board::orderStatus(flags).text);
        styles.insert(board::rowStyle(flags));
    }
    EXPECT_EQ(statuses.size(), 7u);
    EXPECT_EQ(styles.size(), 5u);
    EXPECT_GT(a.OpenRecordset("SELECT * FROM Shipments WHERE Customer = 'Valcrest'").RecordCount(), 0);
    EXPECT_GT(a.OpenRecordset("POTable").RecordCount(), 0);
    EXPECT_EQ(a.OpenRecordset("CompanyInfo")["CompanyName"], runtime::Variant("Brellin Plastics, Inc."));
    // Some jobs have a box type without packaging: their PCF Code is empty.
    EXPECT_GT(a.OpenRecordset("SELECT * FROM [Job Lookup Table] WHERE [Box Type] = 'X99'").RecordCount(), 0);
    a.Close(), b.Close(), c.Close();
    dao::engine().reset();
    fs::remove_all(dir);
}
