// The data layer's behaviour, the same on both backends: every test runs on a database file and on
// a database of the test's own PostgreSQL server.
#include "dao/backend.h"
#include "dao/change_notices.h"
#include "dao/dao.h"
#include "dao/faulty_files_for_tests.h"
#include "dao/pg_test_server.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"

#include "runtime/error_number_for_tests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using runtime::testing::errorOf;
namespace fs = std::filesystem;
using runtime::Date;
using runtime::Variant;

namespace {

enum class Backend { File, Server };
void PrintTo(Backend b, std::ostream* out) {
    *out << (b == Backend::File ? "a database file" : "a server database");
}

class Dao : public ::testing::TestWithParam<Backend> {
protected:
    // Files open through a layer that can make one operation fail, as a full disk would.
    static void SetUpTestSuite() { dao::testing::installFaultyFiles(); }
    void SetUp() override {
        std::string test;
        for (char c : std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))
            test += std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : '_';
        test_ = test.substr(0, 40);
        dir_ = fs::temp_directory_path() / ("dao_test_" + std::to_string(::getpid()) + "_" + test_);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        dao::engine().reset();
        dao::engine().setLockTimeoutMs(200);
        if (server()) {
            const auto& s = dao::testing::pgServer();
            user_ = s.superuser;
            password_ = s.password;
        }
        path_ = databaseName("ship");
        // On a server the roles are the accounts: the program logs in as the test's superuser.
        if (server()) dao::engine().setSystemDB(path_);
        dao::engine().setDefaultUser(user_);
        dao::engine().setDefaultPassword(password_);
        db_ = dao::engine().CreateDatabase(path_);
        db_.Execute("CREATE TABLE Jobs (JobNumber TEXT PRIMARY KEY, Weight DOUBLE)");
        db_.Execute("CREATE TABLE Ships (ID INTEGER PRIMARY KEY AUTOINCREMENT, Job TEXT, Qty LONG, "
                    "Due DATETIME, Late YESNO NOT NULL DEFAULT 0, Reason TEXT)");
        db_.Execute("INSERT INTO Jobs VALUES ('J1', 2.5), ('J2', 4)");
        db_.Execute("INSERT INTO Ships (Job, Qty, Due, Late, Reason) VALUES ('J1', 10, #2026-12-01#, Yes, "
                    "'Weather'), "
                    "('J2', 20, #2026-12-02#, No, Null), ('J9', 30, Null, Yes, Null), "
                    "('J1', 40, #2026-12-02#, Yes, 'Weather'), ('J2', 50, #2026-12-02#, Yes, 'Machine')");
    }
    void TearDown() override {
        db_.Close();
        dao::engine().reset();
        fs::remove_all(dir_);
    }
    bool server() const { return GetParam() == Backend::Server; }
    // A new, empty database of this test: a file name in its folder, or a fresh server database.
    std::string databaseName(const std::string& stem) const {
        if (!server()) return (dir_ / (stem + ".db")).string();
        std::string name = "t_" + test_ + "_" + stem;
        dao::testing::freshDatabase(name);
        return dao::testing::pgServer().uri(name);
    }
    // Another workstation: a connection of its own, outside this program's shared one.
    std::unique_ptr<dao::Connection> outside(const std::string& name) const {
        if (!server()) return dao::openSqlite(name, {});
        return dao::openPostgres(name, user_, password_, {});
    }
    void elsewhere(const std::string& sql) const { outside(path_)->execute(sql); }
    // Table Many: rows 1..count, N = ID * 10.
    void fillMany(int count) {
        db_.Execute("CREATE TABLE Many (ID INTEGER PRIMARY KEY, N LONG, Tag TEXT COLLATE NOCASE)");
        auto ws = dao::engine().Workspaces0();
        ws.BeginTrans();
        for (int i = 1; i <= count; ++i)
            db_.Execute("INSERT INTO Many (ID, N, Tag) VALUES (" + std::to_string(i) + ", " +
                        std::to_string(i * 10) + ", 'x')");
        ws.CommitTrans();
    }

    fs::path dir_;
    std::string test_;
    std::string user_ = "Admin", password_;
    std::string path_;
    dao::Database db_;
};

} // namespace

TEST_P(Dao, NavigationAndTypedValues) {
    auto rs = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    EXPECT_FALSE(rs.atBOF());
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_EQ(rs["Qty"], Variant(std::int32_t(10)));
    EXPECT_EQ(rs["Due"], Variant(Date::fromYmd(2026, 12, 1)));
    EXPECT_EQ(rs["Late"], Variant(true));
    EXPECT_EQ(rs.Fields("Due").Type(), dao::dbDate);
    EXPECT_EQ(rs.Fields(0).Attributes() & dao::dbAutoIncrField, dao::dbAutoIncrField);
    rs.MoveLast();
    EXPECT_EQ(rs["Qty"], Variant(std::int32_t(50)));
    rs.MoveNext();
    EXPECT_TRUE(rs.atEOF());
    EXPECT_EQ(errorOf([&] { rs.Fields("Qty").Value(); }), dao::errc::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), dao::errc::NoCurrentRecord);
    rs.MovePrevious();
    EXPECT_EQ(rs["Qty"], Variant(std::int32_t(50)));
    EXPECT_EQ(errorOf([&] { rs.Fields("Nope"); }), dao::errc::ItemNotFound);

    auto empty = db_.OpenRecordset("SELECT * FROM Ships WHERE Qty > 1000");
    EXPECT_TRUE(empty.atBOF());
    EXPECT_TRUE(empty.atEOF());
    EXPECT_EQ(errorOf([&] { empty.MoveFirst(); }), dao::errc::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { empty.MoveLast(); }), dao::errc::NoCurrentRecord);
    rs.setAbsolutePosition(2);
    EXPECT_EQ(rs["Qty"], Variant(30));
    EXPECT_EQ(rs.AbsolutePosition(), 2);
}

TEST_P(Dao, OpeningErrors) {
    if (server()) {
        EXPECT_EQ(errorOf([&] { dao::engine().OpenDatabase(dao::testing::pgServer().uri("missing")); }),
                  dao::errc::FileNotFound);
    } else {
        EXPECT_EQ(errorOf([&] { dao::engine().OpenDatabase((dir_ / "missing.db").string()); }),
                  dao::errc::FileNotFound);
        EXPECT_EQ(errorOf([&] { dao::engine().OpenDatabase((dir_ / "no/such/dir/x.db").string()); }),
                  dao::errc::PathNotValid);
    }
    EXPECT_EQ(errorOf([&] { dao::engine().CreateDatabase(path_); }), dao::errc::DatabaseExists);
    EXPECT_EQ(errorOf([&] { db_.OpenRecordset("NoSuchTable"); }), dao::errc::InputNotFound);
    EXPECT_EQ(errorOf([&] { db_.OpenRecordset("SELECT Nonsense FROM Ships"); }), dao::errc::TooFewParameters);
    EXPECT_EQ(errorOf([&] { db_.Execute("SELECT * FROM Ships"); }), dao::errc::CannotExecuteSelect);
    EXPECT_EQ(errorOf([&] { db_.QueryDefs("Nope"); }), dao::errc::ItemNotFound);
}

TEST_P(Dao, DynasetUpdatesOnlyKeyTableColumns) {
    auto rs =
        db_.OpenRecordset("SELECT Ships.*, Jobs.Weight, Qty * Jobs.Weight AS Total FROM Ships LEFT JOIN Jobs "
                          "ON Ships.Job = Jobs.JobNumber ORDER BY Ships.ID");
    ASSERT_TRUE(rs.Updatable());
    EXPECT_TRUE(rs.Fields("Qty").Attributes() & dao::dbUpdatableField);
    EXPECT_FALSE(rs.Fields("Weight").Attributes() & dao::dbUpdatableField);
    EXPECT_FALSE(rs.Fields("Total").Attributes() & dao::dbUpdatableField);
    EXPECT_EQ(rs["Total"], Variant(25.0));
    rs.MoveNext();
    rs.MoveNext(); // J9 has no job: the outer join keeps it with Nulls
    EXPECT_TRUE(rs["Weight"].isNull());
    rs.MoveFirst();
    rs.Edit();
    EXPECT_EQ(rs.EditMode(), dao::dbEditInProgress);
    EXPECT_EQ(errorOf([&] { rs.Fields("Total").setValue(1); }), dao::errc::FieldNotUpdatable);
    EXPECT_EQ(errorOf([&] { rs.Fields("Weight").setValue(1); }), dao::errc::FieldNotUpdatable);
    rs.Fields("Qty").setValue(12);
    EXPECT_EQ(rs["Qty"], Variant(12)); // the edit buffer is what the field shows
    rs.Update();
    EXPECT_EQ(rs.EditMode(), dao::dbEditNone);
    EXPECT_EQ(rs["Total"], Variant(30.0)); // derived values are read again
    auto check = db_.OpenRecordset("SELECT Qty FROM Ships WHERE ID = 1", dao::dbOpenSnapshot);
    EXPECT_EQ(check["Qty"], Variant(12));
    EXPECT_FALSE(check.Updatable());
    EXPECT_EQ(errorOf([&] { check.Edit(); }), dao::errc::ReadOnly);
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::UpdateWithoutEdit);
    EXPECT_FALSE(db_.OpenRecordset("SELECT Job, Count(*) AS N FROM Ships GROUP BY Job").Updatable());
}

TEST_P(Dao, AddNewDeleteAndCancel) {
    auto rs = db_.OpenRecordset("Ships");
    rs.AddNew();
    EXPECT_EQ(rs.EditMode(), dao::dbEditAdd);
    rs.Fields("Job").setValue("J2");
    rs.Fields("Due").setValue(Date::fromYmd(2026, 12, 24));
    rs.Fields("Late").setValue(false);
    rs.Update();
    rs.setBookmark(rs.LastModified());
    EXPECT_EQ(rs["ID"], Variant(6));
    EXPECT_EQ(rs["Due"], Variant(Date::fromYmd(2026, 12, 24)));
    EXPECT_EQ(rs["Late"], Variant(false));
    EXPECT_EQ(rs.RecordCount(), 6);
    rs.Delete();
    EXPECT_EQ(errorOf([&] { rs.Fields("ID").Value(); }), dao::errc::RecordDeleted);
    EXPECT_EQ(rs.RecordCount(), 5);
    rs.MoveFirst();
    rs.Edit();
    rs.Fields("Qty").setValue(99);
    rs.CancelUpdate();
    EXPECT_EQ(rs["Qty"], Variant(10));
    auto stored = db_.OpenRecordset("SELECT Count(*) AS N FROM Ships");
    EXPECT_EQ(stored["N"], Variant(5));
    // & reads Null as empty text.
    EXPECT_EQ(db_.OpenRecordset("SELECT Job & \"/\" & Reason AS Both FROM Ships WHERE ID = 2")["Both"],
              Variant("J2/"));
    // Yes/No is stored as -1/0.
    auto raw = db_.OpenRecordset("SELECT Late + 0 AS RawLate FROM Ships WHERE ID = 1");
    EXPECT_EQ(raw["RawLate"], Variant(-1));
}

TEST_P(Dao, FilterCloneAndBookmarks) {
    auto rs = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    rs.setFilter("Ships.Late = Yes AND Reason Like \"W*\"");
    auto filtered = rs.OpenRecordset();
    EXPECT_EQ(filtered.RecordCount(), 2);
    EXPECT_TRUE(filtered.Updatable());
    filtered.setSort("Qty DESC");
    EXPECT_EQ(filtered.OpenRecordset()["Qty"], Variant(40));

    rs.MoveNext();
    auto mark = rs.Bookmark();
    auto clone = rs.Clone();
    clone.setBookmark(mark);
    EXPECT_EQ(clone["Qty"], Variant(20));
    clone.Edit();
    clone.Fields("Qty").setValue(21);
    clone.Update();
    EXPECT_EQ(rs["Qty"], Variant(21)); // the clone shares the rows
    clone.MoveLast();
    EXPECT_EQ(rs["Qty"], Variant(21)); // but not the position
}

TEST_P(Dao, ConcurrentChangeIsRefusedAndWritesNothing) {
    auto mine = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    EXPECT_EQ(mine["Qty"], Variant(10)); // read: what the user saw
    auto other = dao::engine().OpenDatabase(path_);
    other.Execute("UPDATE Ships SET Qty = 11 WHERE ID = 1");
    mine.Edit();
    mine.Fields("Reason").setValue("Mine");
    EXPECT_EQ(errorOf([&] { mine.Update(); }), dao::errc::ChangedByOther);
    auto now = other.OpenRecordset("SELECT Qty, Reason FROM Ships WHERE ID = 1");
    EXPECT_EQ(now["Qty"], Variant(11));
    EXPECT_EQ(now["Reason"], Variant("Weather"));

    mine.MoveNext();
    other.Execute("DELETE FROM Ships WHERE ID = 2");
    mine.Edit();
    mine.Fields("Qty").setValue(1);
    EXPECT_EQ(errorOf([&] { mine.Update(); }), dao::errc::RecordDeleted);
    EXPECT_EQ(errorOf([&] { mine.Delete(); }), dao::errc::RecordDeleted);

    // A refreshed record set writes normally.
    mine.Requery();
    mine.Edit();
    mine.Fields("Reason").setValue("Mine");
    mine.Update();
    EXPECT_EQ(other.OpenRecordset("SELECT Reason FROM Ships WHERE ID = 1")["Reason"], Variant("Mine"));
}

TEST_P(Dao, LockedDatabaseWaitsThenFailsClearly) {
    // Another program's connection (another workstation) holds the write lock.
    auto other = outside(path_);
    other->begin();
    other->execute("UPDATE Ships SET Qty = 0");
    EXPECT_EQ(errorOf([&] { db_.Execute("UPDATE Ships SET Qty = 7 WHERE ID = 1"); }), dao::errc::Locked);
    other->rollback();
    db_.Execute("UPDATE Ships SET Qty = 7 WHERE ID = 1");
    EXPECT_EQ(db_.OpenRecordset("SELECT Sum(Qty) AS S FROM Ships")["S"], Variant(147));

    // A dynaset whose keys could not be read at first use reads them at the next, instead of
    // looking empty from then on.
    if (server()) return;
    auto ships = db_.OpenRecordset("Ships", dao::dbOpenDynaset);
    elsewhere("UPDATE Ships SET Qty = 8 WHERE ID = 1"); // what was read of the file is read again
    dao::testing::failOperation(dao::testing::Fault::IoError, 1);
    EXPECT_EQ(errorOf([&] { ships.RecordCount(); }), dao::errc::DiskError);
    dao::testing::stopFaults();
    EXPECT_EQ(ships.RecordCount(), 5);
}

TEST_P(Dao, WorkspacesOfOneProgramShareTheFileAndItsTransaction) {
    // The board's transaction runs in its own workspace while the bound record set comes from the
    // default one: the write must join the transaction, not wait for its lock.
    auto board = dao::engine().CreateWorkspace("Board", user_, password_);
    auto boardDb = board.OpenDatabase(path_);
    auto bound = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    EXPECT_EQ(bound["Qty"], Variant(10)); // the grid shows it
    board.BeginTrans();
    boardDb.Execute("UPDATE Ships SET Qty = 1 WHERE ID = 1");
    bound.Edit();
    bound.Fields("Reason").setValue("Joined");
    // The row changed since the record set read it (by the board): refused, not locked out.
    EXPECT_EQ(errorOf([&] { bound.Update(); }), dao::errc::ChangedByOther);
    bound.Requery();
    bound.Edit();
    bound.Fields("Reason").setValue("Joined");
    bound.Update();
    board.Rollback();
    {
        auto other = outside(path_);
        auto check = other->prepare("SELECT Qty, Reason FROM Ships WHERE ID = 1");
        ASSERT_TRUE(check->step());
        EXPECT_EQ(check->value(0), dao::StoredValue(std::int64_t(10)));
        EXPECT_EQ(check->value(1), dao::StoredValue(std::string("Weather")));
    }

    // Closing one database object leaves the others of the same file working.
    boardDb.Close();
    EXPECT_EQ(db_.OpenRecordset("SELECT Count(*) AS N FROM Ships")["N"], Variant(5));
    // A read-only open of a file already open for writing stays read-only for its holder.
    auto reader = dao::engine().OpenDatabase(path_, false, true);
    EXPECT_EQ(errorOf([&] { reader.Execute("DELETE FROM Ships"); }), dao::errc::NoPermission);
    EXPECT_EQ(errorOf([&] { reader.DeleteQueryDef("Any"); }), dao::errc::NoPermission);
    db_.Execute("UPDATE Ships SET Qty = 2 WHERE ID = 2");
}

TEST_P(Dao, BeginTransIsAllOrNothing) {
    if (server()) GTEST_SKIP() << "a server database has no lock that keeps a transaction from beginning";
    auto second = dao::engine().CreateDatabase((dir_ / "second.db").string());
    second.Execute("CREATE TABLE T (A LONG)");
    auto holder = dao::openSqlite((dir_ / "second.db").string(), {});
    holder->begin(); // another program has the second database locked
    auto ws = dao::engine().Workspaces0();
    EXPECT_EQ(errorOf([&] { ws.BeginTrans(); }), dao::errc::Locked);
    holder->rollback();
    // The first database is not left in a transaction nobody counts: this change is stored now.
    db_.Execute("UPDATE Ships SET Qty = 99 WHERE ID = 1");
    EXPECT_EQ(errorOf([&] { ws.CommitTrans(); }), dao::errc::NoTransaction);
    {
        auto other = outside(path_);
        auto check = other->prepare("SELECT Qty FROM Ships WHERE ID = 1");
        ASSERT_TRUE(check->step());
        EXPECT_EQ(check->value(0), dao::StoredValue(std::int64_t(99)));
    }
    ws.BeginTrans(); // and a transaction can begin once the lock is gone
    second.Execute("INSERT INTO T VALUES (1)");
    ws.Rollback();
    EXPECT_EQ(second.OpenRecordset("T").RecordCount(), 0);
}

TEST_P(Dao, TransactionsCommitAndRollBack) {
    auto ws = dao::engine().Workspaces0();
    ws.BeginTrans();
    db_.Execute("DELETE FROM Ships WHERE ID = 1");
    ws.BeginTrans();
    db_.Execute("DELETE FROM Ships WHERE ID = 2");
    ws.Rollback(); // only the inner level
    ws.CommitTrans();
    EXPECT_EQ(db_.OpenRecordset("SELECT Count(*) AS N FROM Ships")["N"], Variant(4));
    ws.BeginTrans();
    db_.Execute("DELETE FROM Ships");
    ws.Rollback();
    EXPECT_EQ(db_.OpenRecordset("SELECT Count(*) AS N FROM Ships")["N"], Variant(4));
    EXPECT_EQ(errorOf([&] { ws.CommitTrans(); }), dao::errc::NoTransaction);

    auto other = dao::engine().CreateWorkspace("other", user_, password_);
    auto second = other.CreateDatabase(databaseName("second"));
    second.Execute("CREATE TABLE T (A LONG)");
    ws.BeginTrans();
    other.BeginTrans();
    db_.Execute("DELETE FROM Ships WHERE ID = 3");
    second.Execute("INSERT INTO T VALUES (1)");
    dao::engine().rollbackAll(); // before the program ends on an unhandled error
    EXPECT_EQ(db_.OpenRecordset("SELECT Count(*) AS N FROM Ships")["N"], Variant(4));
    EXPECT_EQ(second.OpenRecordset("T").RecordCount(), 0);
    EXPECT_EQ(errorOf([&] { other.Rollback(); }), dao::errc::NoTransaction);
}

// A commit that fails leaves the workspace and the connection in one state: the program's Rollback
// ends the transaction (no 3034), nothing of it is stored, and the next change is stored for others
// to read. On a file the disk is full when the commit writes; on a server a check the commit itself
// runs refuses it, and the server undoes the transaction there and then.
TEST_P(Dao, AFailedCommitIsRolledBackByTheProgramAndTheNextChangeSaves) {
    auto ws = dao::engine().Workspaces0();
    auto qtyOfFirst = [&] {
        auto other = outside(path_);
        auto check = other->prepare("SELECT Qty FROM Ships WHERE ID = 1");
        EXPECT_TRUE(check->step());
        return std::get<std::int64_t>(check->value(0));
    };
    auto commitWillFail = [&] {
        if (server())
            db_.Execute("INSERT INTO Once VALUES (1)"); // the deferred unique key refuses it at commit
        else
            dao::testing::failOperation(dao::testing::Fault::DiskFull, 1);
    };
    if (server()) {
        elsewhere("CREATE TABLE \"Once\" (k integer UNIQUE DEFERRABLE INITIALLY DEFERRED)");
        elsewhere("INSERT INTO \"Once\" VALUES (1)");
    }
    const long refused = server() ? dao::errc::DuplicateKey : dao::errc::DiskFull;

    ws.BeginTrans();
    db_.Execute("UPDATE Ships SET Qty = 1 WHERE ID = 1");
    commitWillFail();
    EXPECT_EQ(errorOf([&] { ws.CommitTrans(); }), refused);
    ws.Rollback();
    EXPECT_EQ(errorOf([&] { ws.Rollback(); }), dao::errc::NoTransaction) << "one transaction, ended once";
    EXPECT_EQ(qtyOfFirst(), 10);

    // The next change is stored, inside a transaction and outside one.
    ws.BeginTrans();
    db_.Execute("UPDATE Ships SET Qty = 2 WHERE ID = 1");
    ws.CommitTrans();
    EXPECT_EQ(qtyOfFirst(), 2);
    db_.Execute("UPDATE Ships SET Qty = 3 WHERE ID = 1");
    EXPECT_EQ(qtyOfFirst(), 3);

    // A second CommitTrans instead of the Rollback: where the engine kept the transaction it is
    // stored now; where the engine undid it (always on a server), the second commit says nothing
    // was stored, and Rollback ends it.
    ws.BeginTrans();
    db_.Execute("UPDATE Ships SET Qty = 4 WHERE ID = 1");
    commitWillFail();
    EXPECT_EQ(errorOf([&] { ws.CommitTrans(); }), refused);
    const long again = errorOf([&] { ws.CommitTrans(); });
    if (server()) {
        EXPECT_NE(again, 0);
    }
    if (again != 0) {
        EXPECT_EQ(again, dao::errc::Failed);
        ws.Rollback();
    }
    EXPECT_EQ(qtyOfFirst(), again == 0 ? 4 : 3);
    EXPECT_EQ(errorOf([&] { ws.CommitTrans(); }), dao::errc::NoTransaction);
}

// Another program reading the file for longer than the lock time (a backup, a report tool) no
// longer makes a commit fail: it goes on reading the file as it was, and sees the change after.
TEST_P(Dao, AReaderElsewhereNeverKeepsACommitWaiting) {
    if (server()) GTEST_SKIP() << "a server's readers never block a commit";
    auto reader = outside(path_);
    reader->execute("BEGIN");
    auto read = [&] {
        auto check = reader->prepare("SELECT Qty FROM Ships WHERE ID = 1");
        EXPECT_TRUE(check->step());
        return std::get<std::int64_t>(check->value(0));
    };
    EXPECT_EQ(read(), 10);
    auto ws = dao::engine().Workspaces0();
    ws.BeginTrans();
    db_.Execute("UPDATE Ships SET Qty = 1 WHERE ID = 1");
    EXPECT_EQ(errorOf([&] { ws.CommitTrans(); }), 0);
    EXPECT_EQ(read(), 10) << "the reader's view holds still";
    reader->rollback();
    EXPECT_EQ(read(), 1);
}

// The server ends the program's session in the middle of a transaction (stopped, restarted, the
// network gone): the commit says so plainly, nothing of the transaction is stored, and the program
// connects again for the next change.
TEST_P(Dao, ALostServerConnectionIsSaidAndTheNextChangeConnectsAgain) {
    if (!server()) GTEST_SKIP() << "a file has no connection to lose";
    auto ws = dao::engine().Workspaces0();
    auto dropProgramsSessions = [&] {
        elsewhere("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() "
                  "AND pid <> pg_backend_pid()");
    };
    auto qtyOfFirst = [&] {
        auto other = outside(path_);
        auto check = other->prepare("SELECT Qty FROM Ships WHERE ID = 1");
        EXPECT_TRUE(check->step());
        return std::get<std::int64_t>(check->value(0));
    };
    ws.BeginTrans();
    db_.Execute("UPDATE Ships SET Qty = 1 WHERE ID = 1");
    dropProgramsSessions();
    try {
        ws.CommitTrans();
        ADD_FAILURE() << "a commit on a lost connection reported success";
    } catch (const dao::Error& e) {
        EXPECT_EQ(e.number(), dao::errc::CannotOpen);
        EXPECT_NE(e.description().find("connection to the database server was lost"), std::string::npos)
            << e.description();
        EXPECT_NE(e.description().find("connects again"), std::string::npos) << e.description();
    }
    ws.Rollback();
    EXPECT_EQ(qtyOfFirst(), 10);

    ws.BeginTrans();
    db_.Execute("UPDATE Ships SET Qty = 2 WHERE ID = 1");
    ws.CommitTrans();
    EXPECT_EQ(qtyOfFirst(), 2);
    // Reading after a loss outside any transaction connects again the same way.
    dropProgramsSessions();
    EXPECT_EQ(db_.OpenRecordset("SELECT Qty FROM Ships WHERE ID = 1", dao::dbOpenSnapshot)["Qty"], Variant(2));
}

TEST_P(Dao, SavedQueriesWithParameters) {
    db_.CreateQueryDef("Due Query",
                       "PARAMETERS [Due Date] DateTime; SELECT * FROM Ships WHERE Due = [Due Date] "
                       "ORDER BY ID;");
    db_.CreateQueryDef("Late Fix", "UPDATE Ships SET Late = No WHERE Due >= Date()");
    auto q = db_.QueryDefs("due query");
    ASSERT_EQ(q.ParameterCount(), 1);
    EXPECT_EQ(q.Parameters(0).Type(), dao::dbDate);
    EXPECT_EQ(errorOf([&] { q.OpenRecordset(); }), dao::errc::TooFewParameters);
    q.Parameters("Due Date").setValue(Date::fromYmd(2026, 12, 2));
    auto rs = q.OpenRecordset();
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_TRUE(rs.Updatable());
    q.Parameters("Due Date").setValue(Variant("it's not a date"));
    EXPECT_THROW(q.OpenRecordset(), runtime::Error);
    EXPECT_EQ(errorOf([&] { q.Parameters("Other"); }), dao::errc::ItemNotFound);

    runtime::setClock(Date::fromYmdHms(2026, 12, 2, 9, 0, 0));
    EXPECT_EQ(db_.QueryDefs("Late Fix").Execute(), 3);
    runtime::setClock(std::nullopt);
    EXPECT_EQ(db_.QueryDefNames(), (std::vector<std::string>{"Due Query", "Late Fix"}));
    // A parameter value is bound, never pasted into the statement.
    auto text = db_.CreateQueryDef("", "PARAMETERS R Text; SELECT * FROM Ships WHERE Reason = R");
    text.Parameters("R").setValue("x' OR '1'='1");
    EXPECT_EQ(text.OpenRecordset().RecordCount(), 0);
}

TEST_P(Dao, CrosstabPivotsWithNullColumnFirst) {
    auto rs = db_.OpenRecordset(
        "TRANSFORM Count(Ships.ID) SELECT Ships.Due AS Day, Count(Ships.ID) AS Scheduled FROM Ships "
        "WHERE Ships.Due Is Not Null GROUP BY Ships.Due PIVOT IIf(Ships.Late = Yes, Ships.Reason, Null)");
    ASSERT_EQ(rs.FieldCount(), 5);
    EXPECT_EQ(rs.Fields(2).Name(), "<>");
    EXPECT_EQ(rs.Fields(3).Name(), "Machine");
    EXPECT_EQ(rs.Fields(4).Name(), "Weather");
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs["Day"], Variant(Date::fromYmd(2026, 12, 1)));
    EXPECT_EQ(rs["Scheduled"], Variant(1));
    EXPECT_TRUE(rs["<>"].isNull());
    EXPECT_EQ(rs["Weather"], Variant(1));
    rs.MoveNext();
    EXPECT_EQ(rs["Scheduled"], Variant(3));
    EXPECT_EQ(rs["<>"], Variant(1));
    EXPECT_EQ(rs["Machine"], Variant(1));
    EXPECT_FALSE(rs.Updatable());
}

TEST_P(Dao, MakeTableIntoAnotherDatabaseAndTableDefs) {
    std::string reports = (dir_ / "reports.db").string();
    dao::engine().CreateDatabase(reports).Close();
    db_.Execute("SELECT Job, Due INTO Report IN '" + reports + "' FROM Ships WHERE Late = Yes");
    auto rdb = dao::engine().OpenDatabase(reports);
    auto rs = rdb.OpenRecordset("Report");
    EXPECT_EQ(rs.RecordCount(), 4);
    EXPECT_EQ(rs.Fields("Due").Type(), dao::dbDate);
    EXPECT_EQ(rdb.TableDefs().size(), 1u);

    auto td = rdb.CreateTableDef("BarCode");
    auto id = td.CreateField("ID", dao::dbLong);
    id.setAttributes(id.Attributes() | dao::dbAutoIncrField);
    td.AppendField(id);
    td.AppendField(td.CreateField("Label", dao::dbText, 50));
    td.AppendField(td.CreateField("Printed", dao::dbBoolean));
    rdb.AppendTableDef(td);
    EXPECT_EQ(errorOf([&] { rdb.AppendTableDef(td); }), dao::errc::TableExists);
    auto back = rdb.TableDefs("BarCode");
    ASSERT_EQ(back.FieldCount(), 3);
    EXPECT_TRUE(back.Fields()[0].Attributes() & dao::dbAutoIncrField);
    EXPECT_EQ(back.Fields()[2].Type(), dao::dbBoolean);
    rdb.DeleteTableDef("BarCode");
    EXPECT_EQ(errorOf([&] { rdb.DeleteTableDef("BarCode"); }), dao::errc::ItemNotFound);
}

TEST_P(Dao, UndeclaredNamesAreParametersOfASavedQuery) {
    db_.CreateQueryDef("Asks",
                       "PARAMETERS [Job Wanted] Text; SELECT Qty, [Pallet Count] AS Pallets FROM Ships "
                       "WHERE Job = [Job Wanted] AND Qty >= [Smallest Qty] ORDER BY ID");
    auto q = db_.QueryDefs("Asks");
    ASSERT_EQ(q.ParameterCount(), 3); // the declared one first, then as found
    EXPECT_EQ(q.Parameters(0).Name(), "Job Wanted");
    EXPECT_EQ(q.Parameters(1).Name(), "Pallet Count");
    EXPECT_EQ(q.Parameters(2).Name(), "Smallest Qty");
    q.Parameters("Job Wanted").setValue("J1");
    q.Parameters("Smallest Qty").setValue(20);
    EXPECT_EQ(errorOf([&] { q.OpenRecordset(); }), dao::errc::TooFewParameters);
    q.Parameters("Pallet Count").setValue("3");
    auto rs = q.OpenRecordset(dao::dbOpenSnapshot);
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs["Qty"], Variant(40));
    EXPECT_EQ(rs["Pallets"], Variant("3"));
    // Found once per text; a new column named so makes it a field again.
    EXPECT_EQ(db_.QueryDefs("Asks").ParameterCount(), 3);
    db_.Execute("ALTER TABLE Ships ADD COLUMN [Pallet Count] LONG");
    EXPECT_EQ(db_.QueryDefs("Asks").ParameterCount(), 2);
}

TEST_P(Dao, EditsInsideATransactionThroughAClone) {
    // The split of a partial shipment: a clone adds the rest while the original row is changed,
    // all in one transaction that either lands whole or not at all.
    auto ws = dao::engine().Workspaces(0);
    auto rs = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    for (bool commit : {false, true}) {
        rs.MoveFirst();
        auto clone = rs.Clone();
        ws.BeginTrans();
        clone.AddNew();
        clone.Fields("Job").setValue(rs["Job"]);
        clone.Fields("Qty").setValue(4);
        clone.Update();
        rs.Edit();
        rs.Fields("Qty").setValue(6);
        rs.Update();
        if (commit)
            ws.CommitTrans();
        else
            ws.Rollback();
        auto check = db_.OpenRecordset("SELECT Count(*) AS N, Sum(Qty) AS Q FROM Ships");
        EXPECT_EQ(check["N"], Variant(commit ? 6 : 5));
        EXPECT_EQ(check["Q"], Variant(commit ? 150 : 150));
        rs.Requery();
    }
    EXPECT_EQ(errorOf([&] { dao::engine().Workspaces(1); }), dao::errc::ItemNotFound);
}

TEST_P(Dao, ForwardOnlyAndFixedCrosstabColumns) {
    auto rs = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID", dao::dbOpenForwardOnly);
    rs.MoveNext();
    EXPECT_EQ(errorOf([&] { rs.MovePrevious(); }), dao::errc::NotSupported);
    EXPECT_EQ(errorOf([&] { rs.Clone(); }), dao::errc::NotSupported);
    EXPECT_FALSE(rs.Updatable());
    auto x = db_.OpenRecordset(
        "TRANSFORM Sum(Qty) SELECT Job FROM Ships GROUP BY Job PIVOT Reason IN (\"Weather\", "
        "\"Flood\")");
    ASSERT_EQ(x.FieldCount(), 3);
    EXPECT_EQ(x.Fields(1).Name(), "Weather");
    EXPECT_EQ(x.Fields(2).Name(), "Flood");
    EXPECT_EQ(x["Job"], Variant("J1"));
    EXPECT_EQ(x["Weather"], Variant(50));
    EXPECT_TRUE(x["Flood"].isNull());
}

TEST_P(Dao, DynasetReadsRowsByKeyAndSeesOtherUsersChanges) {
    fillMany(1000);
    auto rs = db_.OpenRecordset("SELECT ID, N, Tag, N * 2 AS Twice FROM Many WHERE N >= 20 ORDER BY N DESC");
    ASSERT_EQ(rs.RecordCount(), 999);
    EXPECT_EQ(rs["ID"], Variant(1000));
    EXPECT_EQ(rs.Fields("Twice").Type(), dao::dbLong);

    // After the keys were read: one row deleted, one changed, one changed out of the conditions.
    elsewhere("DELETE FROM Many WHERE ID = 500");
    elsewhere("UPDATE Many SET Tag = 'changed' WHERE ID = 499");
    elsewhere("UPDATE Many SET N = 0 WHERE ID = 498");
    rs.setAbsolutePosition(1000 - 500);
    EXPECT_EQ(errorOf([&] { rs.Fields("N").Value(); }), dao::errc::RecordDeleted);
    EXPECT_EQ(errorOf([&] { rs.Edit(); }), dao::errc::RecordDeleted);
    rs.MoveNext(); // the engine keeps the deleted row's place
    EXPECT_EQ(rs["Tag"], Variant("changed"));
    rs.MoveNext();
    EXPECT_EQ(rs["N"], Variant(0));
    EXPECT_EQ(rs["Twice"], Variant(0));
    EXPECT_EQ(rs.RecordCount(), 999);
    rs.MoveLast();
    EXPECT_EQ(rs["ID"], Variant(2));
    // Reading every row in both directions gives each row once, in order.
    long seen = 0;
    for (rs.MoveFirst(); !rs.atEOF(); rs.MoveNext()) {
        if (rs.AbsolutePosition() == 500) continue;
        EXPECT_EQ(rs["ID"].toLong(), 1000 - rs.AbsolutePosition());
        ++seen;
    }
    EXPECT_EQ(seen, 998);
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 997);
}

// A large dynaset reads the keys of its first screens at open and the rest when a later record is
// asked for. Keys read first keep their places and bookmarks; the rest come after them as they are
// when read.
TEST_P(Dao, ALargeDynasetReadsItsFirstKeysFirst) {
    fillMany(1000);
    auto rs = db_.OpenRecordset("SELECT ID, N FROM Many ORDER BY N");
    EXPECT_EQ(rs.RecordsReadSoFar(), 256);
    EXPECT_TRUE(rs.MoreRecordsToRead());
    rs.setAbsolutePosition(255);
    EXPECT_EQ(rs["ID"], Variant(256));
    EXPECT_EQ(rs.AbsolutePosition(), 255);
    auto mark = rs.Bookmark();
    EXPECT_TRUE(rs.MoreRecordsToRead());

    elsewhere("INSERT INTO Many (ID, N, Tag) VALUES (5000, 0, 'sorts first')");
    elsewhere("DELETE FROM Many WHERE ID IN (10, 900)");
    rs.MoveNext();
    EXPECT_FALSE(rs.MoreRecordsToRead());
    EXPECT_EQ(rs["ID"], Variant(5000));
    rs.MoveNext();
    EXPECT_EQ(rs["ID"], Variant(257));
    EXPECT_EQ(rs.RecordCount(), 1000);
    rs.setBookmark(mark);
    EXPECT_EQ(rs["ID"], Variant(256));
    rs.setAbsolutePosition(9); // deleted meanwhile: a server sent it at open, a file reads it now
    EXPECT_EQ(errorOf([&] {
                  rs.Edit();
                  rs.Fields("N").setValue(1);
                  rs.Update();
              }),
              dao::errc::RecordDeleted);
    rs.MoveLast();
    EXPECT_EQ(rs["ID"], Variant(1000));
    rs.Requery();
    EXPECT_EQ(rs["ID"], Variant(5000));
    EXPECT_EQ(rs.RecordCount(), 999);

    // Counting, editing and a count of a few rows read every key at once.
    auto edited = db_.OpenRecordset("SELECT ID, N FROM Many ORDER BY N");
    edited.Edit();
    EXPECT_FALSE(edited.MoreRecordsToRead());
    EXPECT_EQ(db_.OpenRecordset("SELECT ID FROM Many WHERE ID < 100").RecordsReadSoFar(), 98);
    auto top = db_.OpenRecordset("SELECT TOP 300 ID FROM Many ORDER BY N DESC");
    EXPECT_EQ(top.RecordCount(), 300); // a limit of its own (which a server is not asked to cut)
    EXPECT_EQ(top["ID"], Variant(1000));

    // A join that repeats a key row only past the first ones is read whole once that shows; the
    // bookmarks of the first reading then name no row.
    db_.Execute("CREATE TABLE Notes (ID LONG, Note TEXT)");
    db_.Execute("INSERT INTO Notes VALUES (800, 'one'), (800, 'two')");
    auto joined = db_.OpenRecordset("SELECT Many.ID, Notes.Note FROM Many LEFT JOIN Notes ON Many.ID = "
                                    "Notes.ID ORDER BY Many.N");
    EXPECT_EQ(joined.RecordsReadSoFar(), 256);
    auto early = joined.Bookmark();
    EXPECT_EQ(joined.RecordCount(), 1000);
    EXPECT_EQ(errorOf([&] { joined.setBookmark(early); }), dao::errc::NotABookmark);
    joined.setAbsolutePosition(799);
    EXPECT_EQ(joined["ID"], Variant(800));
    joined.MoveNext();
    EXPECT_EQ(joined["ID"], Variant(800));
    auto topJoined = db_.OpenRecordset("SELECT TOP 3 Many.ID, Notes.Note FROM Many LEFT JOIN Notes ON Many.ID = "
                                       "Notes.ID WHERE Many.ID >= 800 ORDER BY Many.N");
    EXPECT_EQ(topJoined.RecordCount(), 3);
}

// Rows the order leaves equal keep the order they were added in, even after a change (which a
// server stores elsewhere): a clerk's rows do not change places at every reading.
TEST_P(Dao, RowsTheOrderLeavesEqualKeepTheirOrder) {
    elsewhere("UPDATE Ships SET Qty = 21 WHERE ID = 2");
    auto ids = [&](const std::string& sql) {
        std::string out;
        for (auto rs = db_.OpenRecordset(sql); !rs.atEOF(); rs.MoveNext())
            out += std::to_string(rs["ID"].toLong());
        return out;
    };
    EXPECT_EQ(ids("SELECT * FROM Ships WHERE Due = #2026-12-02# ORDER BY Due"), "245");
    EXPECT_EQ(ids("SELECT * FROM Ships WHERE Late = Yes"), "1345");
    // Going down too, where the file engine reads an index backwards; empty dates first going up
    // and last going down, on a server as on a file.
    db_.Execute("CREATE INDEX ShipsByDue ON Ships (Due)");
    EXPECT_EQ(ids("SELECT * FROM Ships ORDER BY Due DESC"), "24513");
    EXPECT_EQ(ids("SELECT * FROM Ships ORDER BY Due"), "31245");
    EXPECT_EQ(ids("SELECT * FROM Ships ORDER BY Due DESC, Job DESC"), "25413");
}

TEST_P(Dao, ALetterCaseChangeByAnotherUserIsAChange) {
    auto mine = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    EXPECT_EQ(mine["Reason"], Variant("Weather"));
    elsewhere("UPDATE Ships SET Reason = 'WEATHER' WHERE ID = 1");
    mine.Edit();
    mine.Fields("Qty").setValue(11);
    EXPECT_EQ(errorOf([&] { mine.Update(); }), dao::errc::ChangedByOther);
    EXPECT_EQ(errorOf([&] { mine.Delete(); }), dao::errc::ChangedByOther);
    auto now = db_.OpenRecordset("SELECT Qty, Reason FROM Ships WHERE ID = 1", dao::dbOpenSnapshot);
    EXPECT_EQ(now["Qty"], Variant(10));
    EXPECT_EQ(now["Reason"], Variant("WEATHER"));
}

TEST_P(Dao, OneStatementAtATime) {
    for (const char* sql :
         {"UPDATE Ships SET Qty = 1; DELETE FROM Ships", "UPDATE Ships SET Qty = 1;DELETE * FROM Ships;"})
        EXPECT_EQ(errorOf([&] { db_.Execute(sql); }), dao::errc::TextAfterEnd) << sql;
    EXPECT_EQ(errorOf([&] { db_.OpenRecordset("SELECT * FROM Ships; DELETE FROM Ships"); }),
              dao::errc::TextAfterEnd);
    EXPECT_EQ(errorOf([&] {
                  auto q = db_.CreateQueryDef(
                      "", "PARAMETERS N Long; UPDATE Ships SET Qty = N; DELETE FROM Ships");
                  q.Parameters("N").setValue(1);
                  q.Execute();
              }),
              dao::errc::TextAfterEnd);
    EXPECT_EQ(db_.OpenRecordset("SELECT Sum(Qty) AS S, Count(*) AS N FROM Ships")["S"], Variant(150));
    // A semicolon inside a text is text; one at the end is allowed.
    db_.Execute("UPDATE Ships SET Reason = \"a; DELETE FROM Ships\" WHERE ID = 2;");
    EXPECT_EQ(db_.OpenRecordset("SELECT Count(*) AS N FROM Ships")["N"], Variant(5));
}

// Text fed to the layer by hand or by a hostile saved query: each is refused with the engine's
// error, or runs harmlessly, and no shipment is lost on either engine.
TEST_P(Dao, HostileTextIsRefusedAndLosesNothing) {
    struct Case {
        std::string sql;
        long refused; // 0: runs and changes nothing
    };
    const Case cases[] = {
        {std::string("DELETE FROM Ships\0 WHERE ID = 0", 30), dao::errc::SyntaxError},
        {"DELETE FROM Ships WHERE Qty--1 = 0 AND ID = 0", 0},
        {"DELETE FROM Ships WHERE Qty--10 = 0", 0}, // minus minus ten: no row has -10
        {"UPDATE Ships SET Reason = $$'$$; DELETE FROM \"Ships\"; SELECT $$'$$", dao::errc::SyntaxError},
        {"SELECT * FROM Ships WHERE a ) b ( LIKE c", dao::errc::SyntaxError},
        {"SELECT * FROM Ships WHERE Due = #1/1/99999999999#", dao::errc::SyntaxError},
        {"SELECT [upper](Job) FROM Ships", dao::errc::SyntaxError},
        {"SELECT pg_catalog.upper(Job) FROM Ships", dao::errc::SyntaxError},
        {"SELECT current_user FROM Ships", dao::errc::TooFewParameters}, // a name, never the server's function
        {"DELETE FROM Ships WHERE (ID = 1", dao::errc::SyntaxError},
        {"DELETE FROM Ships WHERE ID = 1) OR (1 = 1", dao::errc::SyntaxError},
        {"DELETE FROM Ships -- WHERE ID = 1", dao::errc::TextAfterEnd},
    };
    for (const auto& c : cases) {
        bool select = c.sql.rfind("SELECT", 0) == 0;
        long got = errorOf([&] {
            if (select)
                db_.OpenRecordset(c.sql, dao::dbOpenSnapshot);
            else
                db_.Execute(c.sql);
        });
        EXPECT_EQ(got, c.refused) << c.sql;
        EXPECT_EQ(db_.OpenRecordset("SELECT Count(*) AS N FROM Ships")["N"], Variant(5)) << c.sql;
    }
    EXPECT_EQ(db_.OpenRecordset("SELECT Sum(Qty) AS S FROM Ships")["S"], Variant(150));
}

// A value or a name the engine cannot hold whole is refused on a server, never cut short.
TEST_P(Dao, ValuesAndNamesAreKeptWholeOrRefused) {
    std::string withNul("a\0b", 3);
    auto q = db_.CreateQueryDef("", "PARAMETERS R Text; UPDATE Ships SET Reason = R WHERE ID = 2");
    q.Parameters("R").setValue(withNul);
    auto rs = db_.OpenRecordset("SELECT * FROM Ships WHERE ID = 3");
    std::string longName(300, 'L');
    if (server()) {
        EXPECT_EQ(errorOf([&] { q.Execute(); }), dao::errc::DataTypeMismatch);
        rs.Edit();
        rs.Fields("Reason").setValue(withNul);
        EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::DataTypeMismatch);
        rs.CancelUpdate();
        EXPECT_EQ(errorOf([&] { db_.Execute("CREATE TABLE [" + longName + "] (A LONG)"); }),
                  dao::errc::SyntaxError);
        EXPECT_TRUE(db_.OpenRecordset("SELECT Reason FROM Ships WHERE ID = 2")["Reason"].isNull());
    } else {
        q.Execute();
        EXPECT_EQ(db_.OpenRecordset("SELECT Reason FROM Ships WHERE ID = 2")["Reason"], Variant(withNul));
        db_.Execute("CREATE TABLE [" + longName + "] (A LONG)");
        EXPECT_TRUE(db_.OpenRecordset("SELECT * FROM [" + longName + "]").atEOF());
    }
}

TEST_P(Dao, RollbackForgetsWhatTheTransactionDidInOpenRecordSets) {
    auto rs = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    auto ws = dao::engine().Workspaces0();
    ws.BeginTrans();
    rs.Edit();
    rs.Fields("Qty").setValue(77);
    rs.Update();
    rs.MoveNext();
    rs.Delete();
    rs.AddNew();
    rs.Fields("Job").setValue("J7");
    rs.Update();
    db_.Execute("UPDATE Ships SET Reason = 'inside' WHERE ID = 3");
    EXPECT_EQ(rs.RecordCount(), 5);
    ws.Rollback();
    EXPECT_EQ(rs.RecordCount(), 5);
    rs.MoveFirst();
    EXPECT_EQ(rs["Qty"], Variant(10));
    rs.Edit(); // no false 3197: the row is compared with what it is again
    rs.Fields("Qty").setValue(12);
    rs.Update();
    rs.MoveNext();
    EXPECT_EQ(rs["ID"], Variant(2)); // the deleted row is back
    rs.Edit();
    rs.Fields("Qty").setValue(22);
    rs.Update();
    rs.MoveNext();
    EXPECT_TRUE(rs["Reason"].isNull());
    rs.MoveLast();
    EXPECT_EQ(rs["ID"], Variant(5)); // the added row is gone
    auto check = db_.OpenRecordset("SELECT Sum(Qty) AS S FROM Ships", dao::dbOpenSnapshot);
    EXPECT_EQ(check["S"], Variant(150 + 2 + 2));
}

TEST_P(Dao, BookmarksBelongToOneReadingOfOneRecordSet) {
    auto rs = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    rs.MoveLast();
    auto mark = rs.Bookmark();
    auto other = db_.OpenRecordset("SELECT * FROM Ships ORDER BY ID");
    EXPECT_EQ(errorOf([&] { other.setBookmark(mark); }), dao::errc::NotABookmark);
    EXPECT_EQ(errorOf([&] { other.setBookmark(runtime::Bytes{1, 2, 3}); }), dao::errc::NotABookmark);
    // Rows deleted before it do not move the bookmark to another record.
    rs.MoveFirst();
    rs.Delete();
    auto clone = rs.Clone();
    clone.setBookmark(mark);
    EXPECT_EQ(clone["ID"], Variant(5));
    rs.Requery();
    EXPECT_EQ(errorOf([&] { rs.setBookmark(mark); }), dao::errc::NotABookmark);
}

namespace {
// One value of a one-row query over the fixture's first shipment (ID 1: J1, 10, 2026-12-01, Weather).
Variant valueOf(const dao::Database& db, const std::string& expression) {
    return db.OpenRecordset("SELECT " + expression + " AS V FROM Ships WHERE ID = 1",
                            dao::dbOpenSnapshot)["V"];
}
} // namespace

TEST_P(Dao, TheDialectSavedQueriesUse) {
    runtime::setClock(Date::fromYmdHms(2026, 12, 8, 9, 30, 0));
    auto ids = [&](const std::string& where) {
        std::string out;
        auto rs =
            db_.OpenRecordset("SELECT ID FROM Ships WHERE " + where + " ORDER BY ID", dao::dbOpenSnapshot);
        for (; !rs.atEOF(); rs.MoveNext())
            out += std::to_string(rs["ID"].toLong());
        return out;
    };
    // Like: patterns built from texts and fields, parameters, digits and ranges, and Not.
    EXPECT_EQ(ids("Reason Like \"*\" & \"eat\" & \"*\""), "14");
    EXPECT_EQ(ids("Job Like \"J#\" AND Job Like \"[A-K]*\""), "12345");
    EXPECT_EQ(ids("Reason Like \"[!w]*\""), "5");
    EXPECT_EQ(ids("Reason Not Like \"w*\""), "5");
    db_.CreateQueryDef("By pattern",
                       "PARAMETERS Pattern Text; SELECT ID FROM Ships WHERE Reason Like [Pattern]");
    auto q = db_.QueryDefs("By pattern");
    q.Parameters("Pattern").setValue("*CH*"); // wildcards of the engine in the value
    EXPECT_EQ(q.OpenRecordset(dao::dbOpenSnapshot)["ID"], Variant(5));
    q.Parameters("Pattern").setValue("%"); // the backend's wildcards are plain characters
    EXPECT_TRUE(q.OpenRecordset(dao::dbOpenSnapshot).atEOF());
    // Date literals in the forms users write them; a day the month does not have is refused.
    for (const char* literal :
         {"#1-Dec-2026#", "#December 1, 2026#", "#12/1/2026#", "#2026-12-01#", "#1 December 2026#"})
        EXPECT_EQ(ids(std::string("Due = ") + literal), "1") << literal;
    EXPECT_EQ(errorOf([&] { ids("Due = #2/30/2026#"); }), dao::errc::SyntaxError);
    EXPECT_EQ(errorOf([&] { ids("Due = #13/1/2026#"); }), dao::errc::SyntaxError);
    // Dates: today, arithmetic in days, the date functions.
    EXPECT_EQ(ids("Due >= Date() - 7"), "1245");
    EXPECT_EQ(ids("Due > Date()-7 AND Due < #12/8/2026# + 1"), "245");
    EXPECT_EQ(valueOf(db_, "Format(DateAdd(\"m\", 1, #1/31/2026#), \"yyyy-mm-dd\")"), Variant("2026-02-28"));
    EXPECT_EQ(valueOf(db_, "DateDiff(\"d\", Due, Date())"), Variant(7));
    EXPECT_EQ(valueOf(db_, "Date() - Due"), Variant(7.0));
    EXPECT_EQ(valueOf(db_, "Year(Due) * 10000 + Month(Due) * 100 + Day(Due)"), Variant(20261201));
    EXPECT_EQ(valueOf(db_, "Weekday(Due)"), Variant(3)); // a Tuesday
    EXPECT_EQ(valueOf(db_, "Format(Due, \"mm/dd/yy\")"), Variant("12/01/26"));
    EXPECT_EQ(valueOf(db_, "Format(Due, \"dddd, mmm d yyyy\")"), Variant("Tuesday, Dec 1 2026"));
    // Named formats are written as the workstation writes dates, on a server too.
    EXPECT_EQ(valueOf(db_, "Format(Due, \"Short Date\")"),
              Variant(runtime::shortDateText(Date::fromYmd(2026, 12, 1))));
    EXPECT_EQ(
        valueOf(db_,
                "Format(#12/1/2026 2:05:00 PM#, \"General Date\") & \"|\" & Format(Due, \"general date\")"),
        Variant(runtime::dateText(Date::fromYmdHms(2026, 12, 1, 14, 5, 0)) + "|" +
                runtime::dateText(Date::fromYmd(2026, 12, 1))));
    // Texts and numbers.
    EXPECT_EQ(valueOf(db_, "Left(Reason, 3) & Right(Reason, 2) & Mid(Reason, 2, 2) & Len(Reason)"),
              Variant("Weaerea7"));
    EXPECT_EQ(
        valueOf(db_,
                "UCase(Trim(\"  a \")) & LCase(\"B\") & InStr(Reason, \"TH\") & InStr(5, Reason, \"e\")"),
        Variant("Ab46"));
    EXPECT_EQ(valueOf(db_, "Val(\" 1 2.5kg\") + CLng(2.5) + CLng(3.5)"), Variant(12.5 + 2 + 4));
    EXPECT_EQ(valueOf(db_, "CStr(Qty) & Nz(Null, \"-\") & IIf(Qty > 5, \"big\", \"small\")"),
              Variant("10-big"));
    EXPECT_EQ(valueOf(db_, "17 \\ 5 * 1 + 17 Mod 5 + 2 * 9 \\ 4"), Variant(9)); // 17 \\ 5, 2, 18 \\ 4
    // & gives Null only when every part is Null.
    EXPECT_TRUE(valueOf(db_, "Null & Null").isNull());
    EXPECT_EQ(valueOf(db_, "Null & \"x\" & Null"), Variant("x"));
    // TOP n and TOP n PERCENT (rounded up).
    EXPECT_EQ(
        db_.OpenRecordset("SELECT TOP 2 ID FROM Ships ORDER BY Qty DESC", dao::dbOpenSnapshot).RecordCount(),
        2);
    EXPECT_EQ(db_.OpenRecordset("SELECT TOP 30 PERCENT ID FROM Ships ORDER BY Qty DESC", dao::dbOpenSnapshot)
                  .RecordCount(),
              2);
    EXPECT_EQ(db_.OpenRecordset("SELECT TOP 40 PERCENT ID FROM Ships ORDER BY Qty DESC").RecordCount(), 2);
    // What cannot be translated says so and names it.
    try {
        valueOf(db_, "StrConv(Reason, 3)");
        ADD_FAILURE() << "an unknown function was run";
    } catch (const dao::Error& e) {
        EXPECT_EQ(e.number(), dao::errc::SyntaxError);
        EXPECT_NE(e.description().find("StrConv"), std::string::npos) << e.description();
    }
}

TEST_P(Dao, CrosstabWithoutNullColumnKeepsItsRowHeadingsFirst) {
    auto rs =
        db_.OpenRecordset("TRANSFORM Sum(Qty) SELECT Job, Count(ID) AS N FROM Ships WHERE Reason Is Not Null "
                          "GROUP BY Job PIVOT Reason");
    ASSERT_EQ(rs.FieldCount(), 4);
    EXPECT_EQ(rs.Fields(0).Name(), "Job");
    EXPECT_EQ(rs.Fields(1).Name(), "N");
    EXPECT_EQ(rs.Fields(2).Name(), "Machine");
    EXPECT_EQ(rs.Fields(3).Name(), "Weather");
    EXPECT_EQ(rs["Weather"], Variant(50));
}


// Another workstation's changes, told to a watch and taken into an open record set by key: a change
// in place, an addition, a deletion, a move to another day, a change to a joined table, and a change
// to the row being edited (kept as typed; its Update then meets the conflict check).
TEST_P(Dao, ChangesElsewhereReachAnOpenRecordSet) {
    if (server()) dao::installChangeNotices(*outside(path_)); // as create-db and copy do
    dao::ChangeWatch watch(db_);
    EXPECT_TRUE(watch.poll().empty());
    db_.Execute("UPDATE Ships SET Qty = 11 WHERE ID = 1");
    EXPECT_TRUE(watch.poll().empty()) << "this program's own change is not news to it";

    auto rs = db_.OpenRecordset("SELECT Ships.*, Jobs.Weight FROM Ships LEFT JOIN Jobs ON Ships.Job = "
                                "Jobs.JobNumber WHERE Ships.Due = #2026-12-02# ORDER BY Ships.ID");
    ASSERT_EQ(rs.RecordCount(), 3); // IDs 2, 4, 5
    auto qtyAt = [&](long position) {
        rs.setAbsolutePosition(position);
        return rs["Qty"].toLong();
    };
    EXPECT_EQ(qtyAt(0), 20);
    auto other = outside(path_);
    // A server sends its notices a moment after the commit: looked for until they come.
    auto changesAfter = [&](const std::string& sql) {
        other->execute(sql);
        dao::ChangedRows changes;
        for (int i = 0; i < 2000 && changes.empty(); ++i) {
            changes = watch.poll();
            if (changes.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return changes;
    };

    // Three commits before this program looks again (a look may take longer than another
    // workstation takes between commits): the look takes them all, each row at its latest.
    other->execute("UPDATE Ships SET Qty = 30 WHERE ID = 2");
    other->execute("UPDATE Ships SET Qty = 21 WHERE ID = 2");
    auto changes = changesAfter("UPDATE Ships SET Qty = 51 WHERE ID = 5");
    for (int i = 0; i < 2000 && !changes.keys["ships"].count("5"); ++i) { // the server's notices in turn
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        changes.merge(watch.poll());
    }
    EXPECT_EQ(changes.keys["ships"].count("2"), 1u); // a file's log may name this program's own too
    auto done = dao::refreshChangedRows(rs, changes);
    EXPECT_FALSE(done.membership);
    EXPECT_EQ(done.rows, (std::vector<long>{0, 2}));
    EXPECT_EQ(qtyAt(0), 21) << "read again in place, without opening the set again";
    EXPECT_EQ(qtyAt(2), 51);
    EXPECT_EQ(dao::rowKeyText(rs, 0), "2");
    EXPECT_EQ(dao::positionOfKey(rs, "5"), 2);

    // A row of another day changes: nothing to show.
    done = dao::refreshChangedRows(rs, changesAfter("UPDATE Ships SET Qty = 12 WHERE ID = 1"));
    EXPECT_FALSE(done.membership);
    EXPECT_TRUE(done.rows.empty());

    for (const char* membershipChange :
         {"INSERT INTO Ships (Job, Qty, Due, Late) SELECT 'J1', 60, Due, 0 FROM Ships WHERE ID = 2",
          "DELETE FROM Ships WHERE ID = 4", "UPDATE Ships SET Due = (SELECT Due FROM Ships WHERE ID = 1) WHERE ID = 5",
          "UPDATE Jobs SET Weight = 3 WHERE JobNumber = 'J2'"}) {
        SCOPED_TRACE(membershipChange);
        EXPECT_TRUE(dao::refreshChangedRows(rs, changesAfter(membershipChange)).membership);
    }

    rs.setAbsolutePosition(0);
    rs.Edit();
    rs.Fields("Reason").setValue(Variant(std::string("typed here")));
    done = dao::refreshChangedRows(rs, changesAfter("UPDATE Ships SET Qty = 22 WHERE ID = 2"));
    EXPECT_EQ(done.held, 0);
    EXPECT_TRUE(done.rows.empty());
    EXPECT_EQ(rs["Reason"], Variant(std::string("typed here"))) << "nothing typed is lost";
    EXPECT_EQ(rs["Qty"].toLong(), 21) << "the row being edited is not read again";
    EXPECT_EQ(errorOf([&] { rs.Update(); }), dao::errc::ChangedByOther);
}

INSTANTIATE_TEST_SUITE_P(Both, Dao, ::testing::Values(Backend::File, Backend::Server),
                         [](const auto& info) { return info.param == Backend::File ? "file" : "server"; });
