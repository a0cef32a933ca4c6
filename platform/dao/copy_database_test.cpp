// Copying a database between a file and a server, both ways, with each of the file's operations
// failing in turn: the destination gets every table or none, the failure is named, and the copy
// made again afterwards arrives whole.
#include "dao/copy_database.h"
#include "dao/dao.h"
#include "dao/faulty_files_for_tests.h"
#include "dao/pg_test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;
using dao::testing::Fault;

namespace {

// Every row and index of every table, as text.
std::string contents(dao::Connection& c) {
    std::string out;
    for (auto& t : c.tableNames()) {
        out += t + ":\n";
        std::vector<std::string> indexes;
        for (const auto& index : c.tableIndexes(t)) {
            std::string line = (index.unique ? "unique index " : "index ") + index.name + " (";
            for (const auto& column : index.columns)
                line += column + " ";
            indexes.push_back(line + ")\n");
        }
        std::sort(indexes.begin(), indexes.end());
        for (const auto& line : indexes)
            out += line;
        auto s = c.prepare("SELECT * FROM " + c.quoteName(t) + " ORDER BY 1");
        while (s->step()) {
            for (int i = 0; i < s->columnCount(); ++i) {
                auto v = s->value(i);
                if (auto* n = std::get_if<std::int64_t>(&v))
                    out += std::to_string(*n);
                else if (auto* d = std::get_if<double>(&v))
                    out += std::to_string(*d);
                else if (auto* text = std::get_if<std::string>(&v))
                    out += *text;
                out += "|";
            }
            out += "\n";
        }
    }
    return out;
}


class CopyWithFaults : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() { dao::testing::installFaultyFiles(); }
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("copy_test_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const auto& s = dao::testing::pgServer();
        user_ = s.superuser;
        password_ = s.password;
        // The file the copies start from (to the server) or end in (from it).
        auto file = dao::openSqlite(filePath(), {.create = true});
        file->execute("CREATE TABLE Lines (Abbr TEXT PRIMARY KEY, Name TEXT)");
        file->execute("CREATE TABLE Orders (ID INTEGER PRIMARY KEY AUTOINCREMENT, Qty INTEGER, Note TEXT)");
        file->execute("CREATE UNIQUE INDEX LinesByName ON Lines (Name, Abbr)");
        file->execute("CREATE INDEX OrdersByQty ON Orders (Qty)");
        file->execute("CREATE INDEX OrdersCounted ON Orders (Qty * 2)"); // an expression stays behind
        file->execute("INSERT INTO Lines VALUES ('ABF', 'ABF Freight'), ('UPS', 'United Parcel')");
        file->execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                      "INSERT INTO Orders (Qty, Note) SELECT i, printf('%.300c', 'n') FROM n");
        original_ = contents(*file);
        dao::testing::freshDatabase(serverName());
        if (fromServer()) {
            dao::copyDatabase(*file, *server(), true);
            file.reset();
            fs::remove(filePath());
        }
    }
    void TearDown() override {
        dao::testing::stopFaults();
        fs::remove_all(dir_);
    }
    bool fromServer() const { return GetParam(); }
    std::string filePath() const { return (dir_ / "lines.db").string(); }
    std::string serverName() const { return fromServer() ? "copy_from_server" : "copy_to_server"; }
    std::unique_ptr<dao::Connection> server() {
        return dao::openPostgres(dao::testing::pgServer().uri(serverName()), user_, password_, {});
    }
    // A fresh destination, empty.
    void emptyDestination() {
        if (fromServer())
            fs::remove(filePath());
        else { // quicker than a new database each time
            server()->execute("DROP SCHEMA public CASCADE");
            server()->execute("CREATE SCHEMA public");
        }
    }
    // Copies one way; the error's text when it failed, "" when it did not.
    std::string copy() {
        try {
            if (fromServer()) {
                auto file = dao::openSqlite(filePath(), {.create = true});
                dao::copyDatabase(*server(), *file, false);
            } else {
                auto file = dao::openSqlite(filePath(), {.readOnly = true});
                dao::copyDatabase(*file, *server(), true);
            }
        } catch (const dao::Error& e) {
            return e.description();
        }
        return "";
    }
    // What the destination holds (a file that could not even be made holds nothing).
    std::string destination() {
        if (!fromServer()) return contents(*server());
        if (!fs::exists(filePath())) return "";
        return contents(*dao::openSqlite(filePath(), {.readOnly = true}));
    }

    fs::path dir_;
    std::string user_, password_, original_;
};

} // namespace

TEST_P(CopyWithFaults, EveryTableOrNoneTheFailureNamedAndTheNextCopyWhole) {
    long runs = 0, failures = dao::testing::failuresMade();
    ASSERT_NE(original_.find("unique index LinesByName (Name Abbr )"), std::string::npos);
    ASSERT_NE(original_.find("index OrdersByQty (Qty )"), std::string::npos);
    ASSERT_EQ(original_.find("OrdersCounted"), std::string::npos);
    for (Fault fault : {Fault::IoError, Fault::DiskFull, Fault::Busy}) {
        SCOPED_TRACE(dao::testing::faultName(fault));
        emptyDestination();
        dao::testing::countOperations(fault);
        ASSERT_EQ(copy(), "");
        const long steps = dao::testing::operationsCounted();
        dao::testing::stopFaults();
        ASSERT_EQ(destination(), original_);
        for (long step = 1; step <= steps; ++step) {
            SCOPED_TRACE("failing operation " + std::to_string(step) + " of " + std::to_string(steps));
            emptyDestination();
            dao::testing::failOperation(fault, step);
            const std::string error = copy();
            dao::testing::stopFaults();
            ++runs;
            const std::string now = destination();
            if (error.empty()) {
                EXPECT_EQ(now, original_) << "a copy said to be done is whole";
                continue;
            }
            EXPECT_EQ(now, "") << "a failed copy leaves nothing behind: " << error;
            EXPECT_NE(error.find(dao::testing::wordsForFault(fault)), std::string::npos) << error;
            emptyDestination();
            EXPECT_EQ(copy(), "");
            EXPECT_EQ(destination(), original_);
        }
    }
    std::cout << "fault injection: " << dao::testing::failuresMade() - failures << " failures injected in "
              << runs << " copies " << (fromServer() ? "from" : "to") << " a server\n";
}

INSTANTIATE_TEST_SUITE_P(BothWays, CopyWithFaults, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "FromServer" : "ToServer"; });
