// The server's functions of the dialect against the file engine's: the same call with the same values
// gives the same answer on both, over grids of values that reach the corners (Nulls, month ends,
// leap years, negative numbers, halves, odd Like patterns, dates before the serials' day 0).
#include "backend.h"
#include "dao.h"
#include "errors.h"
#include "pg_test_server.h"
#include "server_objects.h"

#include "runtime/locale_text.h"
#include "runtime/ole_date.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using dao::StoredValue;

namespace {

// How an answer is compared: dates as the day and time they name, numbers as doubles.
enum class Kind { Text, Number, Date, Boolean };

using Args = std::vector<StoredValue>;
const StoredValue Null = std::monostate{};

class ServerFunctions : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        file_ = fs::temp_directory_path() / ("server_functions_" + std::to_string(::getpid()) + ".db");
        fs::remove(file_);
        sqlite_ = dao::openSqlite(file_.string(), {.create = true});
        const auto& s = dao::testing::pgServer();
        dao::testing::freshDatabase("functions");
        server_ = dao::openPostgres(s.uri("functions"), s.superuser, s.password, {});
        dao::prepareServerDatabase(*server_);
    }
    static void TearDownTestSuite() {
        sqlite_.reset();
        server_.reset();
        fs::remove(file_);
    }
    void TearDown() override { runtime::setDateLocale("en_US"); }

    static std::string answer(dao::Connection& c, const std::string& sql, const Args& args, Kind kind) {
        try {
            auto s = c.prepare(sql);
            for (size_t i = 0; i < args.size(); ++i)
                s->bind(int(i + 1), args[i]);
            if (!s->step()) return "<no row>";
            auto v = s->value(0);
            if (dao::isNull(v)) return "Null";
            auto* text = std::get_if<std::string>(&v);
            switch (kind) {
            case Kind::Number: {
                double d = text                                ? std::strtod(text->c_str(), nullptr)
                           : std::holds_alternative<double>(v) ? std::get<double>(v)
                                                               : double(std::get<std::int64_t>(v));
                char buf[40];
                std::snprintf(buf, sizeof buf, "%.17g", d + 0.0); // -0 is 0
                return buf;
            }
            case Kind::Date: {
                if (auto d = text ? runtime::Date::tryIso(*text) : std::nullopt) return d->iso();
                // Past the year 9999 both write the date, though the runtime reads no such text.
                std::string shown = text ? *text : "?";
                if (shown.ends_with(" 00:00:00")) shown.resize(shown.size() - 9);
                return "beyond 9999: " + shown;
            }
            case Kind::Boolean:
                return std::get<std::int64_t>(v) != 0 ? "True" : "False";
            case Kind::Text:
                return text ? *text : "not a text";
            }
        } catch (const dao::Error& e) {
            if (std::getenv("SHOW_ERRORS")) std::fprintf(stderr, "%s\n", e.description().c_str());
            return "error";
        }
        return "";
    }

    static std::string shown(const Args& args) {
        std::string out = "(";
        for (size_t i = 0; i < args.size(); ++i) {
            auto& a = args[i];
            out += i ? ", " : "";
            if (dao::isNull(a))
                out += "Null";
            else if (auto* s = std::get_if<std::string>(&a))
                out += "\"" + *s + "\"";
            else if (auto* d = std::get_if<double>(&a))
                out += std::to_string(*d);
            else if (auto* n = std::get_if<std::int64_t>(&a))
                out += std::to_string(*n);
        }
        return out + ")";
    }

    // Calls `fn` on both engines with each row of arguments; the server's arguments are cast to
    // `types` (it types a parameter from its context). Returns the rows where neither failed.
    static int expectSame(const std::string& fn, const std::vector<std::string>& types,
                          const std::vector<Args>& rows, Kind kind) {
        std::string onFile = "SELECT " + fn + "(", onServer = onFile;
        for (size_t i = 0; i < types.size(); ++i) {
            onFile += (i ? ", ?" : "?") + std::to_string(i + 1);
            onServer += (i ? ", ?" : "?") + std::to_string(i + 1) + "::" + types[i];
        }
        int answered = 0;
        for (auto& args : rows) {
            auto a = answer(*sqlite_, onFile + ")", args, kind);
            auto b = answer(*server_, onServer + ")", args, kind);
            EXPECT_EQ(a, b) << fn << shown(args) << " on the file engine and on the server";
            answered += a != "error" && b != "error";
        }
        return answered;
    }

    static std::string onServer(const std::string& sql, const Args& args, Kind kind) {
        return answer(*server_, sql, args, kind);
    }

    static fs::path file_;
    static std::unique_ptr<dao::Connection> sqlite_, server_;
};

fs::path ServerFunctions::file_;
std::unique_ptr<dao::Connection> ServerFunctions::sqlite_, ServerFunctions::server_;

// Every combination of the values given for each argument.
std::vector<Args> grid(const std::vector<std::vector<StoredValue>>& choices) {
    std::vector<Args> rows{{}};
    for (auto& options : choices) {
        std::vector<Args> next;
        for (auto& row : rows)
            for (auto& o : options) {
                next.push_back(row);
                next.back().push_back(o);
            }
        rows = std::move(next);
    }
    return rows;
}

StoredValue t(const char* s) {
    return std::string(s);
}

const std::vector<StoredValue> kDates = {
    t("2024-01-31"),          t("2024-02-29"),          t("2023-03-31 23:59:59"), t("2026-12-08 14:30:05"),
    t("2026-12-31 00:00:01"), t("2027-01-03"),          t("1900-03-01 12:00:00"), t("1899-12-30"),
    t("1899-12-30 10:00:00"), t("1899-12-29 06:00:00"), t("1800-06-15 18:45:00"), Null};

const std::vector<StoredValue> kUnits = {t("yyyy"), t("q"),    t("m"), t("y"),  t("d"),
                                         t("w"),    t("ww"),   t("h"), t("n"),  t("s"),
                                         t("M"),    t("YYYY"), t("x"), t("mm"), Null};

} // namespace

TEST_F(ServerFunctions, DateArithmetic) {
    std::vector<StoredValue> numbers = {1.0, -1.0, 0.0, 13.0, -14.0, 2.5, -2.5, 1.5, 400.0, 100000.0, Null};
    EXPECT_GT(expectSame("dao_dateadd", {"text", "float8", "timestamp"}, grid({kUnits, numbers, kDates}),
                         Kind::Date),
              800);

    std::vector<StoredValue> days = {1.0, -1.0, 0.5, 0.25, -0.75, 1.0 / 3, 45000.0, -3.125, Null};
    EXPECT_EQ(expectSame("dao_datesub", {"timestamp", "timestamp"}, grid({kDates, kDates}), Kind::Number),
              12 * 12);
    EXPECT_EQ(expectSame("dao_datesub", {"timestamp", "float8"}, grid({kDates, days}), Kind::Date), 12 * 9);

    // The corners the grid must not merely agree on.
    EXPECT_EQ(onServer("SELECT dao_dateadd('m', 1, '2024-01-31'::timestamp)", {}, Kind::Date), "2024-02-29");
    EXPECT_EQ(onServer("SELECT dao_dateadd('yyyy', 1, '2024-02-29 10:00:00'::timestamp)", {}, Kind::Date),
              "2025-02-28 10:00:00");
    EXPECT_EQ(onServer("SELECT dao_dateadd('d', 2.5, '2026-12-08'::timestamp)", {}, Kind::Date), "2026-12-11")
        << "a half rounds away from zero";
    EXPECT_EQ(onServer("SELECT dao_datesub('2026-12-08 18:00:00'::timestamp, '2026-12-01'::timestamp)", {},
                       Kind::Number),
              "7.75");
    EXPECT_EQ(onServer("SELECT dao_dateadd('fortnight', 1, now()::timestamp)", {}, Kind::Date), "error");
}

TEST_F(ServerFunctions, DateDifferencesAndParts) {
    EXPECT_GT(expectSame("dao_datediff", {"text", "timestamp", "timestamp"}, grid({kUnits, kDates, kDates}),
                         Kind::Number),
              1000);
    EXPECT_GT(expectSame("dao_datepart", {"text", "timestamp"}, grid({kUnits, kDates}), Kind::Number), 100);

    std::vector<StoredValue> years = {std::int64_t(2024), std::int64_t(2023), std::int64_t(1900),
                                      std::int64_t(100),  std::int64_t(2100), Null};
    std::vector<StoredValue> months = {std::int64_t(1),  std::int64_t(2),  std::int64_t(12),
                                       std::int64_t(13), std::int64_t(0),  std::int64_t(-1),
                                       std::int64_t(25), std::int64_t(-24)};
    std::vector<StoredValue> days = {std::int64_t(1),  std::int64_t(0),  std::int64_t(31), std::int64_t(29),
                                     std::int64_t(-1), std::int64_t(60), std::int64_t(400)};
    EXPECT_GT(expectSame("dao_dateserial", {"integer", "integer", "integer"}, grid({years, months, days}),
                         Kind::Date),
              300);

    // Sundays crossed, not weeks elapsed; the week of the year counts from the Sunday before 1 January.
    EXPECT_EQ(onServer("SELECT dao_datediff('ww', '2026-12-05'::timestamp, '2026-12-06'::timestamp)", {},
                       Kind::Number),
              "1");
    EXPECT_EQ(onServer("SELECT dao_datediff('m', '2026-01-31'::timestamp, '2026-02-01'::timestamp)", {},
                       Kind::Number),
              "1");
    EXPECT_EQ(onServer("SELECT dao_datepart('ww', '2027-01-03'::timestamp)", {}, Kind::Number), "2");
    EXPECT_EQ(onServer("SELECT dao_dateserial(2026, 14, 0)", {}, Kind::Date), "2027-01-31");
}

TEST_F(ServerFunctions, LikeValAndRound) {
    std::vector<StoredValue> values = {t("abc"), t("ABC"),    t("a*c"),  t(""),       t("a1c"),  t("a[c"),
                                       t("x]y"), t("Résumé"), t("a.c"),  t("a\\c"),   t("a\nb"), t("(a)"),
                                       t("a+c"), t("^a$"),    t("199x"), t("abcabc"), t("-"),    Null};
    std::vector<StoredValue> patterns = {
        t("a*"),   t("A?C"),       t("a#c"),        t("[a-c]*"), t("[!a]*"),   t("*["),  t("[]]*"),
        t("[!]"),  t("*.*"),       t("a\\c"),       t("a[*]c"),  t("[z-a]bc"), t(""),    t("*"),
        t("#"),    t("R?sum?"),    t("x]y"),        t("a.c"),    t("(a)"),     t("a+c"), t("^a$"),
        t("a*b"),  t("1##[!0-9]"), t("*abc"),       t("[a-]*"),  t("[-a]*"),   t("a[b"), t("[!a-b]bc"),
        t("*c*c"), t("a?"),        t("[A-C][!B]?"), t("?"),      t("[+]c"),    t("-"),   Null};
    EXPECT_GT(expectSame("dao_like", {"text", "text"}, grid({values, patterns}), Kind::Boolean), 500);

    std::vector<StoredValue> texts = {
        t("  12 34abc"), t("&HFF"),       t("&hff"),  t("&O17"),   t("&O19"),   t("&H"),
        t("1.5e3"),      t("1.5d2"),      t("-.5"),   t("+3"),     t("--5"),    t("."),
        t("abc"),        t(""),           t("1e999"), t("-1e999"), t("1e-999"), t("12.34.56"),
        t("1 000,5"),    t("&HFFFFFFFF"), t("e5"),    t("5e"),     t("\t-7\n"), Null};
    EXPECT_GT(expectSame("dao_val", {"text"}, grid({texts}), Kind::Number), 20);

    std::vector<StoredValue> numbers = {2.5,  3.5,  -2.5, 0.125, 0.135, 1.005, 1234.5678,
                                        -0.5, -1.5, 15.0, 25.0,  1e20,  Null};
    std::vector<StoredValue> places = {std::int64_t(0), std::int64_t(1), std::int64_t(2), std::int64_t(-1),
                                       Null};
    EXPECT_GT(expectSame("dao_round", {"float8", "integer"}, grid({numbers, places}), Kind::Number), 40);

    EXPECT_EQ(onServer("SELECT dao_like('Résumé', 'r?SUM?')", {}, Kind::Boolean), "True");
    EXPECT_EQ(onServer("SELECT dao_val('&H1F')", {}, Kind::Number), "31");
    EXPECT_EQ(onServer("SELECT dao_round(2.5, 0)", {}, Kind::Number), "2");
}

TEST_F(ServerFunctions, Formats) {
    std::vector<StoredValue> numbers = {0.0,   1234567.891, -1234.5, 2.5,  3.5,     -0.004,
                                        0.125, 1e15,        0.5,     -0.5, 999.999, Null};
    std::vector<StoredValue> numberPatterns = {t("0"),    t("0.00"), t("#,##0.00"), t("#,##0"), t("0%"),
                                               t("0.0%"), t(""),     t("#.##"),     t("0.000"), t("x0")};
    EXPECT_GT(expectSame("dao_format", {"float8", "text"}, grid({numbers, numberPatterns}), Kind::Text), 80);

    std::vector<StoredValue> datePatterns = {
        t("yyyy-mm-dd"),    t("dd/mm/yy"), t("mmmm d, yyyy"),  t("ddd dd mmm"),  t("dddd"),
        t("h:nn:ss AM/PM"), t("hh:mm"),    t("hh:mm:ss"),      t("mm:ss"),       t("h am/pm"),
        t("\"Week\" ww"),   t("yyyy\\Q"),  t("m/d/yyyy h:nn"), t("Medium Date"), t("short time"),
        t("\"at\" h\\h"),   t("yy.mm.dd"), t("0.00"),          t("\"open"),      t("y"),
        t("mmm-yyyy")};
    auto withNull = datePatterns;
    withNull.push_back(Null);
    EXPECT_GT(expectSame("dao_format", {"timestamp", "text"}, grid({kDates, withNull}), Kind::Text), 150);

    // A number given a date pattern is the date it is the serial of.
    std::vector<StoredValue> serials = {45000.75, 0.5, -1.25, 2.0, 36526.999999};
    EXPECT_GT(expectSame("dao_format", {"float8", "text"}, grid({serials, datePatterns}), Kind::Text), 60);

    std::vector<StoredValue> texts = {
        t("12.5"),       t("  7 "), t("&HFF"), t("abc"),   t("2026-12-08"), t("2026-12-08 14:30:00"),
        t("2026-02-30"), t(""),     t("1e3"),  t("1,000"), t("-.5"),        Null};
    std::vector<StoredValue> textPatterns = {t("0.00"), t("yyyy"), t("#,##0"), t("dd-mmm"), Null};
    EXPECT_GT(expectSame("dao_format", {"text", "text"}, grid({texts, textPatterns}), Kind::Text), 40);

    EXPECT_EQ(onServer("SELECT dao_format(1234567.891::float8, '#,##0.00')", {}, Kind::Text), "1,234,567.89");
    EXPECT_EQ(onServer("SELECT dao_format('2026-12-08 14:05:00'::timestamp, 'hh:mm')", {}, Kind::Text),
              "14:05");
    EXPECT_EQ(onServer("SELECT dao_format('abc'::text, '0.00')", {}, Kind::Text), "abc");
    EXPECT_EQ(onServer("SELECT dao_format(now()::timestamp, 'Short Date')", {}, Kind::Text), "error")
        << "a workstation's own format reaches the server as its pattern";
}

// The named formats on the file engine, by name, and on the server (and on the file engine too), by
// the pattern the layer gives for them, write the same, in each of several languages.
TEST_F(ServerFunctions, NamedFormatsThroughTheirPatterns) {
    const char* names[] = {"Short Date",  "Long Date",  "General Date", "Long Time",
                           "Medium Date", "Short Time", "general date"};
    for (const char* locale : {"en_US", "en_GB", "de_DE"}) {
        runtime::setDateLocale(locale);
        for (const char* name : names) {
            auto pattern = dao::namedFormatPattern(name);
            ASSERT_NE(pattern, "") << name;
            // Day and month names are the engine's English ones on both sides, so a language that
            // writes its own is compared by its numeric formats only.
            if (std::string(locale) == "de_DE" && pattern.find("mmm") != std::string::npos) continue;
            for (auto& date : kDates) {
                auto a = answer(*sqlite_, "SELECT dao_format(?1, ?2)", {date, t(name)}, Kind::Text);
                auto b = answer(*server_, "SELECT dao_format(?1::timestamp, ?2::text)", {date, pattern},
                                Kind::Text);
                EXPECT_EQ(a, b) << locale << " " << name << " as " << pattern << " of " << shown({date});
                EXPECT_EQ(a, answer(*sqlite_, "SELECT dao_format(?1, ?2)", {date, pattern}, Kind::Text))
                    << "the file engine reads the pattern as it reads the name: " << locale << " " << name;
            }
        }
    }
    runtime::setDateLocale("en_US");
    EXPECT_EQ(dao::namedFormatPattern("SHORT DATE"), "m/d/yyyy");
    EXPECT_EQ(dao::namedFormatPattern("Long Time"), "h:nn:ss AM/PM");
    EXPECT_EQ(dao::namedFormatPattern("Fixed"), "");
}

// The preparation runs again on a prepared database, and what it installs is what the layer's
// tables stand on: text that compares without regard to case, and the layer's types.
TEST_F(ServerFunctions, PreparingIsRepeatable) {
    EXPECT_NO_THROW(dao::prepareServerDatabase(*server_));
    server_->execute("CREATE TABLE names (n citext, m memo, y yesno, c currency, b byte, s single)");
    server_->execute("INSERT INTO names VALUES ('Smith', 'Note', -1, 1.5, 2, 0.5)");
    EXPECT_EQ(onServer("SELECT count(*) FROM names WHERE n = 'SMITH' AND m = 'note'", {}, Kind::Number), "1");
    EXPECT_EQ(onServer("SELECT count(*) FROM names WHERE dao_like(n, 's*H')", {}, Kind::Number), "1");
    EXPECT_NO_THROW(dao::prepareServerDatabase(*server_)) << "with a table in place";
    server_->execute("DROP TABLE names");
}

// A database the layer makes on a server is prepared before its first table.
TEST(ServerDatabase, CreatedPrepared) {
    const auto& s = dao::testing::pgServer();
    dao::testing::freshDatabase("made");
    auto& engine = dao::engine();
    engine.reset();
    engine.setSystemDB(s.uri("made"));
    auto ws = engine.CreateWorkspace("W", s.superuser, s.password);
    ws.CreateDatabase(s.uri("made")).Close();
    ws.Close();
    engine.reset();
    auto c = dao::openPostgres(s.uri("made"), s.superuser, s.password, {});
    auto q = c->prepare("SELECT dao_like('Abc', 'a*'), to_regtype('memo') IS NOT NULL");
    ASSERT_TRUE(q->step());
    EXPECT_EQ(std::get<std::int64_t>(q->value(0)), -1);
    EXPECT_EQ(std::get<std::int64_t>(q->value(1)), -1);
}
