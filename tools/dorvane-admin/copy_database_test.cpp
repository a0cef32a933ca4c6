// A demo shipments file copied to a server database and back arrives whole, field types included.
#include "copy_database.h"
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "dao/errors.h"
#include "dao/pg_test_server.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Every row of every table, each value as the layer reads it for its field's type.
std::vector<std::string> contents(dao::Connection& c) {
    std::vector<std::string> out;
    for (auto& t : c.tableNames()) {
        std::vector<dao::DataType> types;
        std::string order;
        for (auto& d : c.tableColumns(t)) {
            types.push_back(dao::typeOfDeclared(d.declType, std::monostate{}));
            order += (order.empty() ? "" : ", ") + c.quoteName(d.name);
            out.push_back(t + "." + d.name + " " + std::to_string(int(types.back())));
        }
        auto s = c.prepare("SELECT * FROM " + c.quoteName(t) + " ORDER BY " + order);
        while (s->step()) {
            std::string row = t + ":";
            for (size_t i = 0; i < types.size(); ++i) {
                auto v = dao::toVariant(s->value(int(i)), types[i]);
                row += (v.isNull() ? std::string("<null>") : v.toString()) + "|";
            }
            out.push_back(row);
        }
    }
    return out;
}

} // namespace

TEST(CopyDatabase, ToTheServerAndBack) {
    fs::path dir = fs::temp_directory_path() / ("copy_test_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        auto db = shipments::createShipmentsDatabase((dir / "ship.db").string());
        shipments::DemoOptions o;
        o.shipments = 300;
        o.today = runtime::Date::fromYmd(2026, 12, 8);
        shipments::fillDemoData(db, o);
        db.Close();
        dao::engine().reset();
    }
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("copied");
    auto file = dao::openSqlite((dir / "ship.db").string(), {});
    auto server = dao::openPostgres(s.uri("copied"), s.superuser, s.password, {});

    long long lastDone = -1, lastTotal = -1;
    auto there = shipments::copyDatabase(*file, *server, true, [&](long long done, long long total) {
        EXPECT_GT(done, lastDone);
        lastDone = done;
        lastTotal = total;
    });
    EXPECT_EQ(lastDone, lastTotal) << "the progress ends at the whole";
    auto shipmentsCopied =
        std::find_if(there.begin(), there.end(), [](auto& t) { return t.table == "Shipments"; });
    ASSERT_NE(shipmentsCopied, there.end());
    EXPECT_GE(shipmentsCopied->rows, 300);

    // A second copy into the same database is refused and changes nothing.
    EXPECT_THROW(shipments::copyDatabase(*file, *server, true), dao::Error);

    // The server numbers new counters after the copied ones.
    {
        auto next = server->prepare("SELECT nextval(pg_get_serial_sequence('\"Shipments\"', 'ShipmentID')) > "
                                    "(SELECT max(\"ShipmentID\") FROM \"Shipments\")");
        ASSERT_TRUE(next->step());
        EXPECT_EQ(std::get<std::int64_t>(next->value(0)), -1);
    }

    auto back = dao::openSqlite((dir / "back.db").string(), {.create = true});
    auto again = shipments::copyDatabase(*server, *back, false);
    ASSERT_EQ(again.size(), there.size());
    for (size_t i = 0; i < there.size(); ++i)
        EXPECT_EQ(again[i].rows, there[i].rows) << there[i].table;
    EXPECT_EQ(contents(*back), contents(*file));
    fs::remove_all(dir);
}

TEST(CopyDatabase, CreateOnServerMakesTheSchema) {
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("created");
    auto server = dao::openPostgres(s.uri("created"), s.superuser, s.password, {});
    shipments::createOnServer(*server);
    auto names = server->tableNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "Shipments"), names.end());
    auto queries = server->prepare("SELECT count(*) FROM \"MSysDaoQueries\"");
    ASSERT_TRUE(queries->step());
    EXPECT_GT(std::get<std::int64_t>(queries->value(0)), 0) << "the saved queries are kept in the database";
    for (auto& c : server->tableColumns("Shipments")) {
        auto type = dao::typeOfDeclared(c.declType, std::monostate{});
        if (c.name == "Late") EXPECT_EQ(type, dao::dbBoolean);
        if (c.name == "ReqShipDate") EXPECT_EQ(type, dao::dbDate);
        if (c.name == "Comments") EXPECT_EQ(type, dao::dbMemo);
        if (c.name == "ShipmentID") EXPECT_TRUE(c.autoIncrement && c.primaryKey);
    }
    EXPECT_THROW(shipments::createOnServer(*server), dao::Error) << "only into an empty database";
}
