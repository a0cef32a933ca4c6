#include "runtime/error.h"
#include "runtime/locale_text.h"
#include "runtime/variant.h"

#include <gtest/gtest.h>

using namespace runtime;

namespace {
long errorNumber(auto&& fn) {
    try {
        fn();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}
} // namespace

TEST(Variant, IntegerConversionsRoundHalvesToEvenAndCheckRange) {
    EXPECT_EQ(Variant(2.5).toInteger(), 2);
    EXPECT_EQ(Variant(3.5).toInteger(), 4);
    EXPECT_EQ(Variant(-2.5).toLong(), -2);
    EXPECT_EQ(Variant("  1,234.5 ").toLong(), 1234);
    EXPECT_EQ(Variant(true).toInteger(), -1);
    EXPECT_EQ(Variant().toLong(), 0);
    EXPECT_EQ(errorNumber([] { Variant(32767.5).toInteger(); }), err::Overflow);
    EXPECT_EQ(errorNumber([] { Variant(3e9).toLong(); }), err::Overflow);
    EXPECT_EQ(errorNumber([] { Variant("12 boxes").toLong(); }), err::TypeMismatch);
    EXPECT_EQ(errorNumber([] { Variant::null().toLong(); }), err::InvalidUseOfNull);
    EXPECT_EQ(errorNumber([] { Variant(5000000000LL); }), err::Overflow);
}

TEST(Variant, TextOfValues) {
    setDateLocale("en_US");
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant(0.1).toString(), "0.1");
    EXPECT_EQ(Variant(-3.0).toString(), "-3");
    EXPECT_EQ(Variant(1e20).toString(), "1E+20");
    EXPECT_EQ(Variant(Currency::fromDouble(12.34567)).toString(), "12.3457");
    EXPECT_EQ(Variant(Date::fromYmd(2026, 12, 8)).toString(), "12/8/2026");
    EXPECT_EQ(Variant(Date::fromYmdHms(2026, 12, 8, 14, 30, 0)).toString(), "12/8/2026 2:30:00 PM");
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(errorNumber([] { Variant::null().toString(); }), err::InvalidUseOfNull);
}

TEST(Variant, BooleansNumericAndDateChecks) {
    setDateLocale("en_US");
    EXPECT_TRUE(Variant("true").toBool());
    EXPECT_FALSE(Variant(" False ").toBool());
    EXPECT_TRUE(Variant("-1").toBool());
    EXPECT_EQ(errorNumber([] { Variant("yes").toBool(); }), err::TypeMismatch);

    EXPECT_TRUE(Variant("1e3").isNumeric());
    EXPECT_TRUE(Variant("&H1F").isNumeric());
    EXPECT_FALSE(Variant("1e").isNumeric());
    EXPECT_FALSE(Variant("").isNumeric());
    EXPECT_FALSE(Variant::null().isNumeric());
    EXPECT_FALSE(Variant(Date::fromYmd(2026, 1, 1)).isNumeric());

    EXPECT_TRUE(Variant("12/8/2026").isDate());
    EXPECT_FALSE(Variant("13/45/2026").isDate());
    EXPECT_FALSE(Variant("soon").isDate());
    EXPECT_EQ(Variant("12/8/2026").toDate(), Date::fromYmd(2026, 12, 8));
    EXPECT_EQ(Variant(46364.0).toDate(), Date::fromYmd(2026, 12, 8));
    EXPECT_EQ(errorNumber([] { Variant("soon").toDate(); }), err::TypeMismatch);
}

TEST(Variant, EqualityKeepsTypes) {
    EXPECT_EQ(Variant::null(), Variant::null());
    EXPECT_NE(Variant::null(), Variant());
    EXPECT_NE(Variant(std::int16_t(1)), Variant(1)); // Integer vs Long
    EXPECT_EQ(Variant("a"), Variant(std::string("a")));
    EXPECT_EQ(Variant(Bytes{1, 2}).bytes().size(), 2u);
}
