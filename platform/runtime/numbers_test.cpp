#include "runtime/locale_text.h"
#include "runtime/numbers.h"
#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <unistd.h>

using namespace runtime;

TEST(Val, ReadsTheLeadingNumberIgnoringBlanks) {
    EXPECT_EQ(Val("  1 2 3 boxes"), 123);
    EXPECT_EQ(Val("-4.5e2x"), -450);
    EXPECT_EQ(Val("1.2.3"), 1.2);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("&H10"), 16);
    EXPECT_EQ(Val("&HFFFF"), -1);
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("1e"), 1);
    EXPECT_EQ(Val(".5"), 0.5);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
    EXPECT_EQ(roundHalfEven(1.125, 2), 1.12);
    EXPECT_EQ(roundHalfEven(1.135, 2), 1.14);
}

TEST(Text, TrimTouchesOnlySpaces) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\tx\t"), "\tx\t");
    EXPECT_EQ(LTrim("  x "), "x ");
    EXPECT_EQ(RTrim("  x "), "  x");
    EXPECT_TRUE(equalsNoCase("False", "FALSE"));
    EXPECT_FALSE(equalsNoCase("False", "FALS"));
    EXPECT_EQ(UCase("sales"), "SALES");
}

// Numbers under a comma-decimal and a point-decimal locale. The C library's global locale is set
// to German for the whole suite, as it is in a Qt program started with LANG=de_DE.UTF-8; none of
// the conversions may follow it: Val is always invariant, CStr/CDbl follow the runtime's locale.
class CommaDecimalCLibrary : public ::testing::Environment {
public:
    void SetUp() override {
        char tmpl[] = "/tmp/numbers_test_locale.XXXXXX";
        folder_ = mkdtemp(tmpl);
        std::string build = "localedef -i de_DE -f UTF-8 '" + folder_ + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(build.c_str()) == 0) {
            ::setenv("LOCPATH", folder_.c_str(), 1);
            active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        }
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }
    static inline bool active = false;

private:
    std::string folder_;
};
const auto* commaDecimalCLibrary = ::testing::AddGlobalTestEnvironment(new CommaDecimalCLibrary);

class LocaleNumbers : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        // The machine may lack the locale sources; then the C library stays in "C" and the test
        // still checks the runtime's own locale, but says so.
        if (!CommaDecimalCLibrary::active)
            std::fprintf(stderr, "note: no de_DE C library locale\n");
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%.1f", 1.5);
            ASSERT_STREQ(buf, "1,5"); // the trap is really set
        }
        setDateLocale(GetParam());
        german = std::string(GetParam()) == "de_DE";
    }
    void TearDown() override { setDateLocale("en_US"); }
    bool german = false;
};

TEST_P(LocaleNumbers, ValIsInvariant) {
    EXPECT_EQ(Val("1154.835"), 1154.835);
    EXPECT_EQ(Val("1154,835"), 1154);
    EXPECT_EQ(Val("-4.5e2x"), -450);
    EXPECT_EQ(Val("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(invariantNumberText(1154.835, 15), "1154.835");
    EXPECT_EQ(numberText(-0.5), "-0.5");
}

TEST_P(LocaleNumbers, CStrAndCDblFollowTheRuntimesLocale) {
    EXPECT_EQ(Variant(1154.835).toString(), german ? "1154,835" : "1154.835");
    EXPECT_EQ(Variant(1154.835f).toString(), german ? "1154,835" : "1154.835"); // seven digits
    EXPECT_EQ(Variant(1e20).toString(), "1E+20");
    EXPECT_EQ(Variant(Currency::fromDouble(-12.5)).toString(), german ? "-12,5" : "-12.5");
    EXPECT_EQ(Variant("1.5").toDouble(), german ? 15 : 1.5); // the locale's group separator
    EXPECT_EQ(Variant("1,5").toDouble(), german ? 1.5 : 15);
    EXPECT_EQ(Variant(german ? " 1.234,5 " : " 1,234.5 ").toDouble(), 1234.5);
    EXPECT_TRUE(Variant(german ? "2,5" : "2.5").isNumeric());
    EXPECT_FALSE(Variant(german ? "2,5,1" : "2.5.1").isNumeric());
    for (double v : {0.1, -3.25, 1154.835, 1e-7, 123456789.125, 2.5e300})
        EXPECT_EQ(Variant(Variant(v).toString()).toDouble(), v) << v;
}

TEST_P(LocaleNumbers, NumbersWrittenInEitherLocaleReadBack) {
    EXPECT_EQ(parseWrittenNumber("1154,835"), 1154.835);
    EXPECT_EQ(parseWrittenNumber("1154.835"), 1154.835);
    EXPECT_EQ(parseWrittenNumber("-7"), -7);
    EXPECT_EQ(parseWrittenNumber(german ? "1.234,5" : "1,234.5"), 1234.5);
    EXPECT_EQ(parseWrittenNumber("wide"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleNumbers, ::testing::Values("en_US", "de_DE"));
