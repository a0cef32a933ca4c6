// A demo shipments file copied to a server database and back arrives whole, field types included.
#include "dao/copy_database.h"
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "dao/errors.h"
#include "dao/pg_test_server.h"
#include "runtime/error_number_for_tests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using runtime::testing::errorOf;
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
    auto there = dao::copyDatabase(*file, *server, true, [&](long long done, long long total) {
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
    EXPECT_THROW(dao::copyDatabase(*file, *server, true), dao::Error);

    // The server numbers new counters after the copied ones.
    {
        auto next = server->prepare("SELECT nextval(pg_get_serial_sequence('\"Shipments\"', 'ShipmentID')) > "
                                    "(SELECT max(\"ShipmentID\") FROM \"Shipments\")");
        ASSERT_TRUE(next->step());
        EXPECT_EQ(std::get<std::int64_t>(next->value(0)), -1);
    }

    auto back = dao::openSqlite((dir / "back.db").string(), {.create = true});
    auto again = dao::copyDatabase(*server, *back, false);
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
        if (c.name == "Late") {
            EXPECT_EQ(type, dao::dbBoolean);
        } else if (c.name == "ReqShipDate") {
            EXPECT_EQ(type, dao::dbDate);
        } else if (c.name == "Comments") {
            EXPECT_EQ(type, dao::dbMemo);
        } else if (c.name == "WorkOrder") {
            EXPECT_EQ(c.declType, "citext") << "text compares without regard to case";
            EXPECT_EQ(type, dao::dbText);
        } else if (c.name == "ShipmentID") {
            EXPECT_TRUE(c.autoIncrement && c.primaryKey);
        }
    }
    // The board's indexes, and the late marks' index of the rows still to be marked; a database that
    // lacks some (made by an earlier version) gets them.
    auto indexes = [&] {
        auto names = server->prepare("SELECT string_agg(indexname, ' ' ORDER BY indexname) FROM pg_indexes "
                                     "WHERE tablename = 'Shipments' AND indexname LIKE 'Shipments%'");
        names->step();
        return std::get<std::string>(names->value(0));
    };
    const std::string all = "ShipmentsByActShipDate ShipmentsByCustomer ShipmentsByJobNum ShipmentsByReqShipDate "
                            "ShipmentsToMarkLate Shipments_pkey";
    EXPECT_EQ(indexes(), all);
    server->execute("DROP INDEX \"ShipmentsToMarkLate\"");
    server->execute("DROP INDEX \"ShipmentsByReqShipDate\"");
    shipments::addMissingIndexes(*server);
    shipments::addMissingIndexes(*server);
    EXPECT_EQ(indexes(), all);
    EXPECT_THROW(shipments::createOnServer(*server), dao::Error) << "only into an empty database";
}

// The shipments schema on a server through the engine's objects: a dynaset edits by key, a row
// changed by another workstation since it was read is refused (3197), a new row gets its counter,
// and a rolled-back change is gone.
TEST(CopyDatabase, DynasetsOnTheServer) {
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("board");
    {
        auto server = dao::openPostgres(s.uri("board"), s.superuser, s.password, {});
        shipments::createOnServer(*server);
        server->execute(
            "INSERT INTO \"Shipments\" (\"WorkOrder\", \"Quantity\", \"Late\", \"Canceled\", \"OKToShip\", "
            "\"Comments\") VALUES ('W1', 10, 0, 0, 0, 'first'), ('W2', 20, -1, 0, 0, NULL)");
    }
    auto& engine = dao::engine();
    engine.reset();
    engine.setLockTimeoutMs(200);
    auto uri = s.uri("board");
    engine.setSystemDB(uri); // the server's roles are the accounts
    auto ws = engine.CreateWorkspace("A", s.superuser, s.password);
    auto db = ws.OpenDatabase(uri);
    auto rs = db.OpenRecordset("SELECT * FROM Shipments WHERE WorkOrder = \"W1\"");
    ASSERT_TRUE(rs.Updatable());
    EXPECT_EQ(rs["Quantity"].toLong(), 10);
    EXPECT_EQ(rs.Fields("Late").Type(), dao::dbBoolean);
    EXPECT_EQ(rs["Late"], runtime::Variant(false));

    // Another workstation (its own connection) changes the row after this one read it.
    auto other = dao::openPostgres(uri, s.superuser, s.password, {});
    other->execute("UPDATE \"Shipments\" SET \"Quantity\" = 11 WHERE \"WorkOrder\" = 'W1'");
    rs.Edit();
    rs.Fields("Comments").setValue(runtime::Variant(std::string("mine")));
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::ChangedByOther);

    auto fresh = db.OpenRecordset("SELECT * FROM Shipments ORDER BY ShipmentID");
    fresh.Edit();
    fresh.Fields("Comments").setValue(runtime::Variant(std::string("mine")));
    fresh.Update();
    fresh.AddNew();
    fresh.Fields("WorkOrder").setValue(runtime::Variant(std::string("W3")));
    fresh.Fields("Quantity").setValue(runtime::Variant(std::int32_t(5)));
    fresh.Fields("Late").setValue(runtime::Variant(true));
    fresh.Fields("Canceled").setValue(runtime::Variant(false));
    fresh.Fields("OKToShip").setValue(runtime::Variant(false));
    fresh.Update();

    ws.BeginTrans();
    db.Execute("UPDATE Shipments SET Quantity = 99");
    ws.Rollback();

    auto check = db.OpenRecordset(
        "SELECT WorkOrder, Quantity, Comments, Late FROM Shipments ORDER BY ShipmentID", dao::dbOpenSnapshot);
    std::string seen;
    for (; !check.atEOF(); check.MoveNext())
        seen += check["WorkOrder"].toString() + "=" + check["Quantity"].toString() + ":" +
                (check["Comments"].isNull() ? "-" : check["Comments"].toString()) +
                (check["Late"].toBool() ? "!" : "") + " ";
    EXPECT_EQ(seen, "W1=11:mine W2=20:-! W3=5:-! ");
    ws.Close();
    engine.reset();
}

// Each saved query of the shipments schema opens on a server, as it does on a file.
TEST(CopyDatabase, SavedQueriesOpenOnTheServer) {
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("queries");
    auto uri = s.uri("queries");
    {
        auto server = dao::openPostgres(uri, s.superuser, s.password, {});
        shipments::createOnServer(*server);
    }
    auto& engine = dao::engine();
    engine.reset();
    engine.setSystemDB(uri);
    auto ws = engine.CreateWorkspace("Q", s.superuser, s.password);
    auto db = ws.OpenDatabase(uri);
    std::vector<std::string> names;
    auto list = db.OpenRecordset("SELECT Name FROM MSysDaoQueries ORDER BY Name", dao::dbOpenSnapshot);
    for (; !list.atEOF(); list.MoveNext())
        names.push_back(list["Name"].toString());
    EXPECT_FALSE(names.empty());
    std::string failed;
    size_t opened = 0;
    for (auto& name : names)
        try {
            auto q = db.QueryDefs(name);
            for (int i = 0; i < q.ParameterCount(); ++i)
                q.Parameters(i).setValue(runtime::Variant(std::string("1")));
            std::string sql = q.SQL();
            for (auto& c : sql)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            bool action = sql.find(" INTO ") != std::string::npos ||
                          sql.find("UPDATE ") != std::string::npos ||
                          sql.find("DELETE ") != std::string::npos;
            if (!action) {
                q.OpenRecordset(dao::dbOpenSnapshot);
                ++opened;
            }
        } catch (const dao::Error& e) {
            failed += name + ": " + e.description() + "\n";
        }
    EXPECT_EQ(failed, "");
    EXPECT_GE(opened, names.size() - 2) << "nearly all of them are select queries";
    std::printf("%zu of %zu saved queries opened\n", opened, names.size());
    ws.Close();
    engine.reset();
}
