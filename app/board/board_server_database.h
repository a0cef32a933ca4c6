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
#include "runtime/locale_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
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
        c = std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(static_cast<unsigned char>(c)))
                                                        : '_';
    // The server's longest name is 63 characters; a longer one keeps a mark of all of it.
    if (name.size() > 63)
        name = name.substr(0, 54) + "_" + std::to_string(std::hash<std::string>{}(name) % 100000000);
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

// Where a board test runs: the user's locale, month-first or day-first, and the database, a file
// or the test server.
struct BoardSetting {
    const char* locale;
    bool server;
};

inline auto boardSettings() {
    return ::testing::Values(BoardSetting{"en_US", false}, BoardSetting{"de_DE", false},
                             BoardSetting{"en_GB", true});
}

inline std::string boardSettingName(const ::testing::TestParamInfo<BoardSetting>& info) {
    return std::string(info.param.locale) + (info.param.server ? "_server" : "_file");
}

inline std::ostream& operator<<(std::ostream& os, const BoardSetting& s) {
    return os << s.locale << (s.server ? " on the server" : " on a file");
}

// Puts the test in its setting; returns the database's name when it moved to the server.
inline std::string useBoardSetting(const BoardSetting& setting, dao::Database& db) {
    runtime::setDateLocale(setting.locale);
    return setting.server ? useServerDatabase(db) : std::string();
}

} // namespace boardtest
