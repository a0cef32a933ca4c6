// The backend interface, the same cases on the embedded file engine and on a PostgreSQL server.
#include "dao/backend.h"
#include "dao/dao.h"
#include "dao/errors.h"
#include "dao/pg_test_server.h"

#include "runtime/error_number_for_tests.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <functional>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using runtime::testing::errorOf;
namespace fs = std::filesystem;

namespace {

std::string testName() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string out;
    for (char c : name)
        out += std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : '_';
    return out;
}

// One kind of backend: how to open a fresh database on it, and how it writes a binary column.
struct Kind {
    std::string name;
    std::string binaryType;
    std::function<std::unique_ptr<dao::Connection>(const std::string& db, const dao::OpenOptions&)> open;
    std::function<void(const std::string& db)> create;
};

class Backend : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("backend_test_" + std::to_string(::getpid()) + "_" + testName());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        db_ = GetParam().name == "sqlite" ? (dir_ / "t.db").string() : testName();
        GetParam().create(db_);
        conn_ = open();
        conn_->execute("CREATE TABLE ships (id INTEGER PRIMARY KEY, job TEXT NOT NULL, qty INTEGER, "
                       "weight DOUBLE PRECISION, photo " +
                       GetParam().binaryType + ", UNIQUE (job, qty))");
        conn_->execute(
            "INSERT INTO ships (id, job, qty, weight) VALUES (1, 'J1', 10, 2.5), (2, 'J2', 20, NULL)");
    }
    void TearDown() override {
        conn_.reset();
        fs::remove_all(dir_);
    }
    std::unique_ptr<dao::Connection> open(dao::OpenOptions options = {}) {
        options.lockTimeoutMs = 200;
        return GetParam().open(db_, options);
    }
    long long count(dao::Connection& c, const std::string& where = "1 = 1") {
        auto s = c.prepare("SELECT count(*) FROM ships WHERE " + where);
        s->step();
        return std::get<std::int64_t>(s->value(0));
    }
    fs::path dir_;
    std::string db_;
    std::unique_ptr<dao::Connection> conn_;
};

} // namespace

TEST_P(Backend, ValuesComeBackTypedWithTheirOrigins) {
    std::vector<std::uint8_t> bytes{0, 1, 0xff, '\'', 0};
    conn_->execute("INSERT INTO ships (id, job, qty, weight, photo) VALUES (?1, ?2, ?3, ?4, ?5)",
                   {std::int64_t(3), std::string("O'Neil \"x\" ?1 \xc3\xa9"), std::int64_t(-7), 0.1, bytes});
    auto s = conn_->prepare("SELECT job, qty, weight, photo, qty * 2 AS twice FROM ships WHERE id = ?");
    s->bind(1, std::int64_t(3));
    ASSERT_TRUE(s->step());
    EXPECT_EQ(std::get<std::string>(s->value(0)), "O'Neil \"x\" ?1 \xc3\xa9");
    EXPECT_EQ(std::get<std::int64_t>(s->value(1)), -7);
    EXPECT_EQ(std::get<double>(s->value(2)), 0.1);
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(s->value(3)), bytes);
    EXPECT_EQ(std::get<std::int64_t>(s->value(4)), -14);
    EXPECT_FALSE(s->step());

    ASSERT_EQ(s->columnCount(), 5);
    auto job = s->column(0);
    EXPECT_EQ(job.name, "job");
    EXPECT_EQ(job.table, "ships");
    EXPECT_EQ(job.column, "job");
    EXPECT_TRUE(s->column(4).table.empty()) << "an expression has no origin";
    EXPECT_EQ(s->column(4).name, "twice");

    // Reset and run again with another key; a Null binds as Null.
    s->reset();
    s->bind(1, std::int64_t(2));
    ASSERT_TRUE(s->step());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(s->value(2)));
}

TEST_P(Backend, ConstraintsGiveTheEngineNumbers) {
    EXPECT_EQ(errorOf([&] { conn_->execute("INSERT INTO ships (id, job) VALUES (1, 'X')"); }),
              dao::errc::DuplicateKey);
    EXPECT_EQ(errorOf([&] { conn_->execute("INSERT INTO ships (id) VALUES (9)"); }),
              dao::errc::RequiredValue);
    EXPECT_EQ(errorOf([&] { conn_->prepare("SELECT * FROM nowhere"); }), dao::errc::InputNotFound);
    EXPECT_EQ(errorOf([&] { conn_->prepare("SELEC 1"); }), dao::errc::SyntaxError);
    EXPECT_EQ(conn_->unknownName("SELECT job, missing FROM ships"), std::optional<std::string>("missing"));
    EXPECT_EQ(conn_->unknownName("SELECT job FROM ships"), std::nullopt);
    EXPECT_EQ(count(*conn_), 2);
}

// A failed statement undoes itself only: the transaction around it goes on and commits.
TEST_P(Backend, AFailedStatementLeavesTheTransactionUsable) {
    conn_->begin();
    conn_->execute("UPDATE ships SET qty = 11 WHERE id = 1");
    EXPECT_EQ(errorOf([&] { conn_->execute("INSERT INTO ships (id, job) VALUES (2, 'dup')"); }),
              dao::errc::DuplicateKey);
    EXPECT_EQ(errorOf([&] { conn_->prepare("SELECT nope FROM ships"); }), dao::errc::TooFewParameters);
    EXPECT_EQ(errorOf([&] {
                  conn_->execute("INSERT INTO ships (id, job) VALUES (?1, ?2)",
                                 {dao::StoredValue(std::int64_t(1)), dao::StoredValue(std::string("dup"))});
              }),
              dao::errc::DuplicateKey);
    EXPECT_EQ(conn_->execute("UPDATE ships SET qty = 21 WHERE id = 2"), 1);
    conn_->execute("SAVEPOINT inner_level");
    conn_->execute("DELETE FROM ships WHERE id = 2");
    conn_->execute("ROLLBACK TO inner_level");
    conn_->execute("RELEASE inner_level");
    conn_->commit();
    auto other = open();
    EXPECT_EQ(count(*other, "qty IN (11, 21)"), 2);

    conn_->begin();
    conn_->execute("DELETE FROM ships");
    conn_->rollback();
    EXPECT_EQ(count(*other), 2);
    conn_->rollback(); // no transaction: nothing to do
}

// Statements are kept for their next use: one whose table another connection changed reads the
// table as it is now, inside a transaction too, and a kept write writes.
TEST_P(Backend, AKeptStatementFollowsAChangedTable) {
    const std::string all = "SELECT * FROM ships WHERE id = ?1";
    auto read = [&] {
        auto s = conn_->prepare(all);
        s->bind(1, dao::StoredValue(std::int64_t(1)));
        EXPECT_TRUE(s->step());
        return s->columnCount();
    };
    const int before = read();
    open()->execute("ALTER TABLE ships ADD COLUMN extra INTEGER");
    EXPECT_EQ(read(), before + 1);
    open()->execute("ALTER TABLE ships DROP COLUMN extra");
    conn_->begin();
    EXPECT_EQ(read(), before);
    for (int qty : {30, 40})
        conn_->execute("UPDATE ships SET qty = ?1 WHERE id = 2", {dao::StoredValue(std::int64_t(qty))});
    conn_->commit();
    EXPECT_EQ(count(*open(), "qty = 40"), 1);
}

TEST_P(Backend, AWriterWaitsOnlyTheLockTime) {
    auto other = open();
    conn_->begin();
    conn_->execute("UPDATE ships SET qty = 12 WHERE id = 1");
    EXPECT_EQ(errorOf([&] {
                  other->begin();
                  other->execute("UPDATE ships SET qty = 13 WHERE id = 1");
              }),
              dao::errc::Locked);
    other->rollback();
    conn_->commit();
    EXPECT_EQ(count(*other, "qty = 12"), 1);
}

TEST_P(Backend, ReadOnlyConnectionsRefuseChanges) {
    auto reader = open({.readOnly = true});
    EXPECT_TRUE(reader->readOnly());
    EXPECT_EQ(count(*reader), 2);
    EXPECT_EQ(errorOf([&] { reader->execute("DELETE FROM ships"); }), dao::errc::NoPermission);
    EXPECT_EQ(count(*conn_), 2);
}

TEST_P(Backend, StructureAndQuoting) {
    auto names = conn_->tableNames();
    ASSERT_EQ(names.size(), 1u);
    auto columns = conn_->tableColumns(names[0]);
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_TRUE(columns[0].primaryKey);
    EXPECT_FALSE(columns[2].primaryKey);
    EXPECT_TRUE(columns[1].notNull);
    EXPECT_NE(columns[4].declType.find("BLOB"), std::string::npos);

    std::string hostile = "x'); DROP TABLE ships; --";
    auto s =
        conn_->prepare("SELECT " + conn_->quoteText(hostile) + " AS " + conn_->quoteName("odd \"name\""));
    ASSERT_TRUE(s->step());
    EXPECT_EQ(std::get<std::string>(s->value(0)), hostile);
    EXPECT_EQ(s->column(0).name, "odd \"name\"");
    EXPECT_EQ(conn_->tableNames().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Both, Backend,
    ::testing::Values(Kind{"sqlite", "BLOB",
                           [](const std::string& db, const dao::OpenOptions& o) {
                               return dao::openSqlite(db, o);
                           },
                           [](const std::string& db) { dao::openSqlite(db, {.create = true}); }},
                      Kind{"postgresql", "bytea",
                           [](const std::string& db, const dao::OpenOptions& o) {
                               const auto& s = dao::testing::pgServer();
                               return dao::openPostgres(s.uri(db), s.superuser, s.password, o);
                           },
                           [](const std::string& db) { dao::testing::freshDatabase(db); }}),
    [](const auto& info) { return info.param.name; });

// What only a server has: roles, passwords and grants.
class Server : public ::testing::Test {};

TEST_F(Server, LoginsAndGrants) {
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("grants");
    auto uri = s.uri("grants");
    auto admin = dao::openPostgres(uri, s.superuser, s.password, {});
    admin->execute("CREATE TABLE ships (id INTEGER PRIMARY KEY, job TEXT)");
    admin->execute("INSERT INTO ships VALUES (1, 'J1')");
    for (const char* sql : {"DROP ROLE IF EXISTS clerk", "CREATE ROLE clerk LOGIN PASSWORD 'clerk-pw'",
                            "GRANT SELECT ON ships TO clerk"})
        admin->execute(sql);

    EXPECT_EQ(errorOf([&] { dao::openPostgres(uri, s.superuser, "wrong", {}); }), dao::errc::BadAccount);
    EXPECT_EQ(errorOf([&] { dao::openPostgres(uri, "nobody_here", "x", {}); }), dao::errc::BadAccount);
    EXPECT_EQ(errorOf([&] { dao::openPostgres(s.uri("no_such_db"), s.superuser, s.password, {}); }),
              dao::errc::FileNotFound);
    EXPECT_EQ(errorOf([&] { dao::openPostgres("postgresql://%2Fno%2Fsuch%2Fdir/x", "a", "b", {}); }),
              dao::errc::CannotOpen);

    auto clerk = dao::openPostgres(uri, "clerk", "clerk-pw", {});
    auto s1 = clerk->prepare("SELECT job FROM ships");
    ASSERT_TRUE(s1->step());
    EXPECT_EQ(std::get<std::string>(s1->value(0)), "J1");
    EXPECT_EQ(errorOf([&] { clerk->execute("UPDATE ships SET job = 'J2'"); }), dao::errc::NoPermission);

    EXPECT_TRUE(dao::isServerName(uri));
    EXPECT_FALSE(dao::isServerName("/tmp/x.db"));
}

// The engine's objects on a server database: the login goes to the server's roles, the grants
// decide whether the database and its record sets can be changed, transactions hold.
TEST_F(Server, TheEngineLogsInThroughTheServersRoles) {
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("engine");
    auto uri = s.uri("engine");
    {
        auto admin = dao::openPostgres(uri, s.superuser, s.password, {});
        admin->execute("CREATE TABLE ships (id INTEGER PRIMARY KEY, job TEXT, qty INTEGER)");
        admin->execute("INSERT INTO ships VALUES (1, 'J1', 10), (2, 'J2', 20)");
        for (const char* sql : {"DROP ROLE IF EXISTS viewer", "CREATE ROLE viewer LOGIN PASSWORD 'v-pw'",
                                "GRANT SELECT ON ships TO viewer"})
            admin->execute(sql);
    }
    auto& engine = dao::engine();
    engine.reset();
    engine.setLockTimeoutMs(200);
    engine.setSystemDB(uri);
    EXPECT_EQ(errorOf([&] { engine.CreateWorkspace("W", "viewer", "wrong"); }), dao::errc::BadAccount);

    auto viewer = engine.CreateWorkspace("W", "viewer", "v-pw");
    auto readOnly = viewer.OpenDatabase(uri);
    EXPECT_FALSE(readOnly.Updatable());
    EXPECT_EQ(errorOf([&] { readOnly.Execute("DELETE FROM ships"); }), dao::errc::NoPermission);
    auto rs = readOnly.OpenRecordset("SELECT job, qty FROM ships ORDER BY id", dao::dbOpenSnapshot);
    EXPECT_EQ(rs["job"], runtime::Variant(std::string("J1")));
    rs.MoveNext();
    EXPECT_EQ(rs["qty"].toDouble(), 20);

    auto owner = engine.CreateWorkspace("O", s.superuser, s.password);
    auto db = owner.OpenDatabase(uri);
    EXPECT_TRUE(db.Updatable());
    owner.BeginTrans();
    db.Execute("UPDATE ships SET qty = qty + 1");
    owner.Rollback();
    owner.BeginTrans();
    db.Execute("UPDATE ships SET qty = qty + 5 WHERE job = \"J2\"");
    owner.CommitTrans();
    auto after = readOnly.OpenRecordset("SELECT qty FROM ships ORDER BY id", dao::dbOpenSnapshot);
    EXPECT_EQ(after["qty"].toDouble(), 10);
    after.MoveNext();
    EXPECT_EQ(after["qty"].toDouble(), 25);
    viewer.Close();
    owner.Close();
    engine.reset();
}

// Started by the next test in a program of its own, which is then killed.
TEST_F(Server, DISABLED_HoldTheServer) {
    std::printf("%s\n", dao::testing::pgServer().socketDir.c_str());
    std::fflush(stdout);
    ::pause();
}

// However the test program ends, even killed outright, its server stops and its folder goes.
TEST_F(Server, StopsWhenItsProgramIsKilled) {
    std::string self = fs::read_symlink("/proc/self/exe");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::execl(self.c_str(), self.c_str(), "--gtest_also_run_disabled_tests",
                "--gtest_filter=Server.DISABLED_HoldTheServer", nullptr);
        ::_exit(127);
    }
    ::close(fds[1]);
    FILE* child = ::fdopen(fds[0], "r");
    std::string dir;
    char line[512];
    while (std::fgets(line, sizeof line, child))
        if (line[0] == '/') {
            dir = line;
            dir.pop_back();
            break;
        }
    bool started = !dir.empty() && fs::exists(dir + "/data/postmaster.pid");
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::fclose(child);
    ASSERT_TRUE(started) << "the helper did not start a server";
    // The watcher stops the server; this only bounds how long the test waits for it.
    for (int i = 0; i < 600 && fs::exists(dir); ++i)
        ::usleep(100000);
    EXPECT_FALSE(fs::exists(dir)) << "the server's folder outlived its program";
}
