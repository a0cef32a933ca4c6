// Record sets over tables of a server database whose rows are told apart by a key that is not a
// number: edits, additions and deletions by that key, and another workstation's change or deletion
// of the same row found at Update.
#include "dao/backend.h"
#include "dao/dao.h"
#include "dao/errors.h"
#include "dao/pg_test_server.h"

#include "runtime/error_number_for_tests.h"

#include <gtest/gtest.h>

#include <functional>

using runtime::Variant;
using runtime::testing::errorOf;

namespace {

Variant text(const char* s) {
    return Variant(std::string(s));
}

class ServerRecordset : public ::testing::Test {
protected:
    void SetUp() override {
        const auto& s = dao::testing::pgServer();
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        dao::testing::freshDatabase(name);
        uri_ = s.uri(name);
        other_ = dao::openPostgres(uri_, s.superuser, s.password, {.lockTimeoutMs = 200});
        other_->execute("CREATE TABLE \"Truck Lines\" (\"TruckLineAbbr\" varchar(10) PRIMARY KEY, "
                        "\"TruckLineName\" varchar(50))");
        other_->execute("INSERT INTO \"Truck Lines\" VALUES ('ABF', 'ABF Freight'), ('abf', 'lower case'), "
                        "('ODFL', 'Old Dominion'), ('R+L', 'R+L Carriers')");
        other_->execute(
            "CREATE TABLE \"Rates\" (\"Lane\" text, \"Weight\" integer, \"Rate\" double precision, "
            "PRIMARY KEY (\"Lane\", \"Weight\"))");
        other_->execute("INSERT INTO \"Rates\" VALUES ('East', 100, 1.5)");
        other_->execute("CREATE TABLE \"Orders\" (\"PONumber\" text, \"PODate\" timestamp)");
        other_->execute(
            "INSERT INTO \"Orders\" VALUES ('PO-1', NULL), ('PO-1', NULL), ('PO-2', '2026-12-01')");
        auto& engine = dao::engine();
        engine.reset();
        engine.setLockTimeoutMs(200);
        dao::testing::logInAsSuperuser(uri_); // the server's roles decide the login
        db_ = engine.OpenDatabase(uri_);
    }
    void TearDown() override {
        db_.Close();
        dao::engine().reset();
        other_.reset();
    }
    std::string nameOf(const std::string& abbr) {
        auto s =
            other_->prepare("SELECT \"TruckLineName\" FROM \"Truck Lines\" WHERE \"TruckLineAbbr\" = $1");
        s->bind(1, abbr);
        if (!s->step()) return "<none>";
        auto v = s->value(0);
        return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : "<null>";
    }
    // Moves to the row of this abbreviation (letter case counts).
    static void seek(dao::Recordset& rs, const std::string& abbr) {
        for (rs.MoveFirst(); !rs.atEOF(); rs.MoveNext())
            if (rs["TruckLineAbbr"] == Variant(abbr)) return;
        FAIL() << abbr << " not found";
    }

    std::string uri_;
    std::unique_ptr<dao::Connection> other_; // another workstation
    dao::Database db_;
};

} // namespace

TEST_F(ServerRecordset, ATextKeyedTableIsEditedAddedToAndDeletedFrom) {
    auto rs = db_.OpenRecordset("SELECT * FROM [Truck Lines] ORDER BY TruckLineName", dao::dbOpenDynaset);
    ASSERT_TRUE(rs.Updatable());
    EXPECT_EQ(rs.RecordCount(), 4);

    // Keys differing only in letter case are different rows: editing one leaves the other.
    seek(rs, "abf");
    rs.Edit();
    rs.Fields("TruckLineName").setValue(text("edited"));
    rs.Update();
    EXPECT_EQ(nameOf("abf"), "edited");
    EXPECT_EQ(nameOf("ABF"), "ABF Freight");
    EXPECT_EQ(rs["TruckLineName"], text("edited"));

    // A row added goes by the key it was given; its bookmark and LastModified find it.
    rs.AddNew();
    rs.Fields("TruckLineAbbr").setValue(text("SAIA"));
    rs.Fields("TruckLineName").setValue(text("Saia Inc"));
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 5);
    rs.setBookmark(rs.LastModified());
    EXPECT_EQ(rs["TruckLineAbbr"], text("SAIA"));
    EXPECT_EQ(nameOf("SAIA"), "Saia Inc");
    auto added = rs.Bookmark();

    // Changing the key itself: the row is read and written by its new key afterwards.
    seek(rs, "R+L");
    auto renamed = rs.Bookmark();
    rs.Edit();
    rs.Fields("TruckLineAbbr").setValue(text("RL"));
    rs.Update();
    EXPECT_EQ(nameOf("R+L"), "<none>");
    EXPECT_EQ(nameOf("RL"), "R+L Carriers");
    rs.Edit();
    rs.Fields("TruckLineName").setValue(text("R and L"));
    rs.Update();
    EXPECT_EQ(nameOf("RL"), "R and L");
    rs.setBookmark(added);
    EXPECT_EQ(rs["TruckLineName"], text("Saia Inc"));
    rs.setBookmark(renamed);
    EXPECT_EQ(rs["TruckLineAbbr"], text("RL"));

    seek(rs, "ODFL");
    rs.Delete();
    EXPECT_EQ(nameOf("ODFL"), "<none>");
    EXPECT_EQ(rs.RecordCount(), 4);

    // Read again from the start, every row comes back by its key.
    auto again = db_.OpenRecordset("SELECT * FROM [Truck Lines] ORDER BY TruckLineAbbr", dao::dbOpenDynaset);
    std::vector<std::string> keys;
    for (; !again.atEOF(); again.MoveNext())
        keys.push_back(again["TruckLineAbbr"].toString());
    EXPECT_EQ(keys, (std::vector<std::string>{"ABF", "RL", "SAIA", "abf"}));
}

TEST_F(ServerRecordset, AnotherWorkstationsChangeOrDeletionIsNotOverwritten) {
    auto rs = db_.OpenRecordset("SELECT * FROM [Truck Lines] ORDER BY TruckLineAbbr", dao::dbOpenDynaset);
    seek(rs, "ODFL");
    rs.Edit();
    rs.Fields("TruckLineName").setValue(text("mine"));
    other_->execute(
        "UPDATE \"Truck Lines\" SET \"TruckLineName\" = 'theirs' WHERE \"TruckLineAbbr\" = 'ODFL'");
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::ChangedByOther);
    EXPECT_EQ(nameOf("ODFL"), "theirs");

    // A change of letter case alone is a change.
    seek(rs, "ABF");
    rs.Edit();
    rs.Fields("TruckLineName").setValue(text("mine"));
    other_->execute(
        "UPDATE \"Truck Lines\" SET \"TruckLineName\" = 'ABF FREIGHT' WHERE \"TruckLineAbbr\" = 'ABF'");
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::ChangedByOther);

    // Changing the key of a row another workstation changed is refused the same way.
    seek(rs, "R+L");
    rs.Edit();
    rs.Fields("TruckLineAbbr").setValue(text("RL"));
    other_->execute("UPDATE \"Truck Lines\" SET \"TruckLineName\" = 'RL' WHERE \"TruckLineAbbr\" = 'R+L'");
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::ChangedByOther);
    EXPECT_EQ(nameOf("R+L"), "RL");

    seek(rs, "abf");
    rs.Edit();
    rs.Fields("TruckLineName").setValue(text("mine"));
    other_->execute("DELETE FROM \"Truck Lines\" WHERE \"TruckLineAbbr\" = 'abf'");
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::RecordDeleted);
    EXPECT_EQ(nameOf("ABF"), "ABF FREIGHT") << "the row of the other letter case is untouched";

    // Deleting a row another workstation deleted.
    auto fresh = db_.OpenRecordset("SELECT * FROM [Truck Lines] ORDER BY TruckLineAbbr", dao::dbOpenDynaset);
    seek(fresh, "ODFL");
    other_->execute("DELETE FROM \"Truck Lines\" WHERE \"TruckLineAbbr\" = 'ODFL'");
    EXPECT_EQ(errorOf([&] { fresh.Delete(); }), dao::errc::RecordDeleted);

    // A table another workstation made after this one read the names is found however it is spelled.
    other_->execute("CREATE TABLE \"Dock Doors\" (\"DoorNumber\" integer PRIMARY KEY, \"Bay\" text)");
    other_->execute("INSERT INTO \"Dock Doors\" VALUES (4, 'North')");
    auto doors = db_.OpenRecordset("SELECT bay FROM [dock doors] WHERE DoorNumber = 4", dao::dbOpenDynaset);
    EXPECT_EQ(doors["Bay"], text("North"));
}

TEST_F(ServerRecordset, ATableKeyedByTwoColumnsOnlyReads) {
    auto rs = db_.OpenRecordset("SELECT * FROM Rates", dao::dbOpenDynaset);
    EXPECT_FALSE(rs.Updatable());
    EXPECT_EQ(rs["Rate"].toDouble(), 1.5);
    EXPECT_EQ(errorOf([&] { rs.Edit(); }), dao::errc::ReadOnly);
    EXPECT_EQ(errorOf([&] { rs.AddNew(); }), dao::errc::ReadOnly);
    EXPECT_EQ(errorOf([&] { rs.Delete(); }), dao::errc::ReadOnly);
}

// A table without a key (two rows may even be the same) is kept by where each row is stored: every
// change the record set writes moves the row, and the record set follows it.
TEST_F(ServerRecordset, ATableWithoutAKeyIsChangedRowByRow) {
    auto rs = db_.OpenRecordset("SELECT * FROM Orders ORDER BY PONumber", dao::dbOpenDynaset);
    ASSERT_TRUE(rs.Updatable());
    for (int day : {2, 3}) { // twice: the second change finds the row where the first put it
        rs.Edit();
        rs.Fields("PODate").setValue(runtime::Date::fromYmd(2026, 12, day));
        rs.Update();
        EXPECT_EQ(rs["PODate"], Variant(runtime::Date::fromYmd(2026, 12, day)));
    }
    auto count = [&](const std::string& where) {
        auto s = other_->prepare("SELECT count(*) FROM \"Orders\" WHERE " + where);
        s->step();
        return std::get<std::int64_t>(s->value(0));
    };
    EXPECT_EQ(count("\"PODate\" = '2026-12-03'"), 1); // one of the twins, not both
    rs.AddNew();
    rs.Fields("PONumber").setValue("PO-3");
    rs.Update();
    rs.setBookmark(rs.LastModified());
    EXPECT_EQ(rs["PONumber"], text("PO-3"));
    rs.Delete();
    EXPECT_EQ(count("\"PONumber\" = 'PO-3'"), 0);

    // Another workstation's change moves the row away from under this record set: refused, written
    // nowhere, and the row is there again once the record set is read again.
    rs.MoveFirst();
    other_->execute("UPDATE \"Orders\" SET \"PODate\" = '2027-01-01' WHERE \"PODate\" = '2026-12-03'");
    rs.Edit();
    rs.Fields("PODate").setValue(runtime::Date::fromYmd(2026, 12, 9));
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::ChangedByOther);
    EXPECT_EQ(count("\"PODate\" = '2026-12-09'"), 0);
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 3);
}
