#include "CKelmarOptions.h"

#include "settings_store.h"
#include "test_folder.h"

#include "runtime/error.h"
#include "runtime/locale_text.h"

#include <functional>
#include <set>
#include <tuple>

namespace {

using runtime::Variant;
using Options = PrivateRegistry;

// A grid's columns for the saved-width methods.
class FakeColumns : public GridColumns {
public:
    struct Column {
        std::string caption;
        double width;
        bool visible = true;
    };
    explicit FakeColumns(std::vector<Column> c) : columns(std::move(c)) {}
    int count() const override { return int(columns.size()); }
    bool visible(int i) const override { return columns[i].visible; }
    std::string caption(int i) const override { return columns[i].caption; }
    double width(int i) const override { return columns[i].width; }
    void setWidth(int i, double w) override { columns[i].width = w; }
    std::vector<Column> columns;
};

long errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const runtime::Error& e) {
        return e.number();
    }
    return 0;
}

TEST_F(Options, ReportFilesBySelector) {
    CKelmarOptions options("/opt/dorvane");
    std::set<std::string> titles;
    for (const auto& row : CKelmarOptions::kReports) {
        titles.insert(row.title);
        EXPECT_TRUE(std::string(row.fileName).ends_with(".rpt"));
    }
    EXPECT_EQ(titles.size(), 11u);

    EXPECT_EQ(options.ReportFilename(0),
              std::string("/opt/dorvane\\") + CKelmarOptions::kReports[0].fileName);
    options.ReportFilename(3, "C:\\Reports\\pallet.rpt");
    EXPECT_EQ(options.ReportFilename(3), "C:\\Reports\\pallet.rpt");
    EXPECT_EQ(GetSetting("Kelmar", "ReportFiles", CKelmarOptions::kReports[3].title),
              "C:\\Reports\\pallet.rpt");

    for (std::int32_t selector : {11, -1, 1000}) {
        EXPECT_EQ(options.ReportFilename(selector), "");
        options.ReportFilename(selector, "stray.rpt");
    }
    for (int i = 0; i < CKelmarOptions::kReportCount; ++i)
        EXPECT_NE(options.ReportFilename(i), "stray.rpt");
}

TEST_F(Options, RememberedLoginIsCachedUntilSaved) {
    CKelmarOptions options("/opt/dorvane");
    EXPECT_EQ(options.UserName(), "");
    SaveSetting("Kelmar", "Options", "UserName", "clerk");
    EXPECT_EQ(options.UserName(), "clerk"); // an empty cache reads the store again
    SaveSetting("Kelmar", "Options", "UserName", "someone else");
    EXPECT_EQ(options.UserName(), "clerk"); // once read, the run keeps it

    options.UserName("shipper");
    options.UserPwd("secret");
    EXPECT_EQ(options.UserName(), "shipper");
    EXPECT_EQ(GetSetting("Kelmar", "Options", "UserName"), "someone else"); // setting stores nothing
    options.SaveLoginCredentials();
    EXPECT_EQ(GetSetting("Kelmar", "Options", "UserName"), "shipper");
    EXPECT_EQ(GetSetting("Kelmar", "Options", "UserPW"), "secret");

    CKelmarOptions fresh("/opt/dorvane");
    fresh.SaveLoginCredentials(); // nothing cached: empty values are written
    EXPECT_EQ(GetSetting("Kelmar", "Options", "UserName", "x"), "");
    EXPECT_EQ(GetSetting("Kelmar", "Options", "UserPW", "x"), "");
}

TEST_F(Options, OtherOptionsFollowTheStore) {
    CKelmarOptions options("/opt/dorvane");
    EXPECT_EQ(options.DatabaseName(), "");
    options.DatabaseName("C:\\NETDATA\\PRODUCTN\\SHIPPING.MDB");
    EXPECT_EQ(GetSetting("Kelmar", "Options", "DBName"), "C:\\NETDATA\\PRODUCTN\\SHIPPING.MDB");
    SaveSetting("Kelmar", "Options", "DBName", "/srv/ship.db"); // changed by another program
    EXPECT_EQ(options.DatabaseName(), "/srv/ship.db");

    struct Option {
        std::function<void(const std::string&)> set;
        std::function<std::string()> get;
        const char* key;
    };
    std::vector<Option> all = {
        {[&](const std::string& v) { options.SystemDatabase(v); }, [&] { return options.SystemDatabase(); },
         "SystemDB"},
        {[&](const std::string& v) { options.AdminUserName(v); }, [&] { return options.AdminUserName(); },
         "DefaultUser"},
        {[&](const std::string& v) { options.AdminUserPwd(v); }, [&] { return options.AdminUserPwd(); },
         "DefaultPW"},
        {[&](const std::string& v) { options.SchedulePath(v); }, [&] { return options.SchedulePath(); },
         "SchedulePath"},
    };
    for (const auto& o : all) {
        o.set(std::string("set ") + o.key);
        EXPECT_EQ(GetSetting("Kelmar", "Options", o.key), std::string("set ") + o.key);
        SaveSetting("Kelmar", "Options", o.key, "outside");
        EXPECT_EQ(o.get(), "outside") << o.key;
    }
}

TEST_F(Options, CompanyNameComesFromTheDatabase) {
    int opened = 0;
    std::string openedPath;
    Variant stored = Variant("Kelmar Plastics");
    CKelmarOptions options("/opt/dorvane", [&](const std::string& path) {
        ++opened;
        openedPath = path;
        return stored;
    });
    EXPECT_EQ(options.CompanyName(), ""); // no database configured: nothing is opened
    EXPECT_EQ(opened, 0);

    SaveSetting("Kelmar", "Options", "DBName", "/srv/ship.db");
    EXPECT_EQ(options.CompanyName(), "Kelmar Plastics");
    EXPECT_EQ(openedPath, "/srv/ship.db");
    stored = Variant::null();
    EXPECT_EQ(options.CompanyName(), "");
    EXPECT_EQ(opened, 2); // every call reads the database again

    options.setCompanyNameReader([](const std::string&) -> Variant {
        throw runtime::Error(3078, "DAO.Database", "The table 'CompanyInfo' does not exist.");
    });
    EXPECT_EQ(errorNumber([&] { options.CompanyName(); }), 3078);
}

TEST_F(Options, ColumnWidthsPerGridSection) {
    CKelmarOptions options("/opt/dorvane");
    FakeColumns board({{"Customer", 1154.835}, {"Hidden", 500, false}, {"Part No", 1769.9528}});
    FakeColumns search({{"Customer", 800}});
    options.SaveColumnWidths("Board", board);
    options.SaveColumnWidths("Search", search);
    EXPECT_EQ(GetSetting("Kelmar", "ColWidths", "Board-Customer"), "1154.835");
    EXPECT_EQ(GetSetting("Kelmar", "ColWidths", "Board-Part No"), "1769.953"); // seven significant digits
    EXPECT_EQ(GetSetting("Kelmar", "ColWidths", "Board-Hidden", "none"), "none");
    EXPECT_EQ(GetSetting("Kelmar", "ColWidths", "Search-Customer"), "800");

    FakeColumns restored({{"Customer", 10}, {"Hidden", 20, false}, {"Part No", 30}, {"New", 40}});
    options.GetColumnWidths("Board", restored);
    EXPECT_FLOAT_EQ(float(restored.columns[0].width), 1154.835f);
    EXPECT_EQ(restored.columns[1].width, 20);
    EXPECT_FLOAT_EQ(float(restored.columns[2].width), 1769.953f);
    EXPECT_EQ(restored.columns[3].width, 40); // never saved: keeps its width

    SaveSetting("Kelmar", "ColWidths", "Board-Customer", "wide");
    EXPECT_EQ(errorNumber([&] { options.GetColumnWidths("Board", restored); }), runtime::err::TypeMismatch);
}

// Widths are written as the user's locale writes numbers and read back under any locale: a clerk's
// settings survive a change of the machine's language.
TEST_F(Options, ColumnWidthsWrittenInOneLocaleReadBackInAnother) {
    CKelmarOptions options("/opt/dorvane");
    for (auto [writer, reader, text] : {std::tuple{"de_DE", "en_US", "1154,835"},
                                        {"en_US", "de_DE", "1154.835"},
                                        {"de_DE", "de_DE", "1154,835"}}) {
        runtime::setDateLocale(writer);
        FakeColumns saved({{"Customer", 1154.835}});
        options.SaveColumnWidths("Board", saved);
        EXPECT_EQ(GetSetting("Kelmar", "ColWidths", "Board-Customer"), text);
        runtime::setDateLocale(reader);
        FakeColumns restored({{"Customer", 10}});
        options.GetColumnWidths("Board", restored);
        EXPECT_FLOAT_EQ(float(restored.columns[0].width), 1154.835f) << writer << " -> " << reader;
    }
    runtime::setDateLocale("en_US");
}

} // namespace
