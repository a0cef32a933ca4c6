#pragma once
// For window tests on a server: the program pointed at a fresh server database of the test's own
// (the shipments schema made there), logged in as the server's superuser. Tests that include this
// link the test server and the shipments schema.
#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "shipments_schema.h"
#include "settings_store.h"

#include "dao/dao.h"
#include "dao/pg_test_server.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace boardtest {

// Replaces `db` (the fixture's file) by the server database and returns its name.
inline std::string useServerDatabase(dao::Database& db) {
    const auto& s = dao::testing::pgServer();
    // A database per test: a data control keeps its database open for the program's life, so a
    // name used again would meet the connection of an earlier test.
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "_" + test->name();
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    name = name.substr(0, 63); // the server's longest name
    dao::testing::freshDatabase(name);
    std::string uri = s.uri(name);
    shipments::createOnServer(*dao::openPostgres(uri, s.superuser, s.password, {}));
    auto& engine = dao::engine();
    engine.setSystemDB(uri);
    engine.setDefaultUser(s.superuser);
    engine.setDefaultPassword(s.password);
    db.Close();
    db = engine.OpenDatabase(uri);
    SaveSetting("Kelmar", "Options", "DBName", uri);
    if (basGlobals::gOptions) basGlobals::gOptions->DatabaseName(uri);
    return uri;
}

} // namespace boardtest
