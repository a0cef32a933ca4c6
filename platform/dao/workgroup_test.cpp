#include "dao/dao.h"

#include "runtime/error_number_for_tests.h"

#include <gtest/gtest.h>

#include <filesystem>

using runtime::testing::errorOf;
namespace fs = std::filesystem;

TEST(Workgroup, AccountsPermissionsAndSecuredDatabases) {
    fs::path dir = fs::temp_directory_path() / ("workgroup_test_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string system = (dir / "system.mdw").string(), data = (dir / "ship.db").string(),
                scratch = (dir / "scratch.db").string();
    dao::engine().reset();

    // No system database: only the built-in Admin with an empty password.
    EXPECT_NO_THROW(dao::engine().CreateWorkspace("w", "admin", ""));
    EXPECT_EQ(errorOf([] { dao::engine().CreateWorkspace("w", "Admin", "x"); }), dao::errc::BadAccount);
    EXPECT_EQ(errorOf([] { dao::engine().CreateWorkspace("w", "clerk", ""); }), dao::errc::BadAccount);
    auto db = dao::engine().CreateDatabase(data);
    db.Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, A TEXT)");
    db.Execute("INSERT INTO T (A) VALUES ('x')");
    dao::secureDatabase(db);
    db.Close();
    dao::engine().CreateDatabase(scratch).Close();

    dao::Workgroup::create(system);
    // Password hashes are for the owner's eyes only.
    EXPECT_EQ(fs::status(system).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(errorOf([&] { dao::Workgroup::create(system); }), dao::errc::DatabaseExists);
    dao::Workgroup wg(system);
    wg.addAccount("Clerk", "s3cret", dao::Permission::ReadWrite);
    wg.addAccount("Viewer", "look", dao::Permission::Read);
    wg.addAccount("Gone", "x", dao::Permission::None);
    EXPECT_EQ(errorOf([&] { wg.addAccount("clerk", "dup", dao::Permission::Read); }),
              dao::errc::DuplicateKey);
    ASSERT_EQ(wg.accounts().size(), 3u);
    dao::engine().setSystemDB(system);

    EXPECT_EQ(errorOf([] { dao::engine().CreateWorkspace("w", "Clerk", "wrong"); }), dao::errc::BadAccount);
    EXPECT_EQ(errorOf([] { dao::engine().CreateWorkspace("w", "Nobody", ""); }), dao::errc::BadAccount);
    auto clerk = dao::engine().CreateWorkspace("w", "clerk", "s3cret");
    EXPECT_TRUE(clerk.OpenDatabase(data).OpenRecordset("T").Updatable());

    auto viewer = dao::engine().CreateWorkspace("w", "Viewer", "look");
    auto ro = viewer.OpenDatabase(data);
    auto rs = ro.OpenRecordset("T");
    EXPECT_FALSE(rs.Updatable());
    EXPECT_EQ(errorOf([&] { rs.Edit(); }), dao::errc::NoPermission);
    EXPECT_EQ(errorOf([&] { ro.Execute("DELETE FROM T"); }), dao::errc::NoPermission);
    // A database the workgroup does not secure is the user's own.
    EXPECT_TRUE(viewer.OpenDatabase(scratch).Updatable());

    auto gone = dao::engine().CreateWorkspace("w", "Gone", "x");
    EXPECT_EQ(errorOf([&] { gone.OpenDatabase(data); }), dao::errc::NoPermission);

    // The default workspace follows the default user and password.
    dao::engine().setDefaultUser("Viewer");
    dao::engine().setDefaultPassword("look");
    EXPECT_EQ(dao::engine().Workspaces0().UserName(), "Viewer");
    EXPECT_FALSE(dao::engine().OpenDatabase(data).Updatable());

    wg.setPassword("Viewer", "new");
    EXPECT_EQ(errorOf([] { dao::engine().CreateWorkspace("w", "Viewer", "look"); }), dao::errc::BadAccount);
    wg.removeAccount("Gone");
    EXPECT_EQ(errorOf([&] { wg.removeAccount("Gone"); }), dao::errc::ItemNotFound);
    dao::engine().reset();
    fs::remove_all(dir);
}
