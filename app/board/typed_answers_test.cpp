// Reading the clerk's answers: whole numbers of parts with and without digit grouping, and dates
// that must name a day.
#include "typed_answers.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"

#include <gtest/gtest.h>

using board::PartsAnswer;
using board::readDateAnswer;
using board::readPartsAnswer;
using Kind = PartsAnswer::Kind;
using runtime::Date;

namespace {

class TypedAnswers : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::setDateLocale("en_US");
        runtime::setClock(Date::fromYmdHms(2026, 12, 8, 10, 30, 0));
    }
    void TearDown() override {
        runtime::setDateLocale("");
        runtime::setClock(std::nullopt);
    }
};

TEST_F(TypedAnswers, PartsAreWholeNumbersWithTheUsersGroupingOrNone) {
    struct Case {
        const char* typed;
        Kind kind;
        long long parts;
    };
    const Case cases[] = {
        {"400", Kind::Parts, 400},
        {"  1200 ", Kind::Parts, 1200},
        {"1,200", Kind::Parts, 1200},
        {"12,345,678", Kind::Parts, 12345678},
        {"0400", Kind::Parts, 400},
        {"0", Kind::Parts, 0},
        {"+7", Kind::Parts, 7},
        {"2147483647", Kind::Parts, 2147483647},
        {"", Kind::Empty, 0},
        {"   ", Kind::Empty, 0},
        {"-5", Kind::Negative, -5},
        {"-1,000", Kind::Negative, -1000},
        {"-0", Kind::Parts, 0},
        // Each of these once shipped a number the clerk did not mean, or said something untrue.
        {"2.5", Kind::NotWhole, 0},
        {"0.4", Kind::NotWhole, 0},
        {"1,0", Kind::NotWhole, 0},
        {"10,00", Kind::NotWhole, 0},
        {"1,2345", Kind::NotWhole, 0},
        {",100", Kind::NotWhole, 0},
        {"&H10", Kind::NotWhole, 0},
        {"1e30", Kind::NotWhole, 0},
        {"12 boxes", Kind::NotWhole, 0},
        {"lots", Kind::NotWhole, 0},
        {"2147483648", Kind::TooLarge, 0},
        {"99999999999999999999999", Kind::TooLarge, 0},
    };
    for (const Case& c : cases) {
        PartsAnswer a = readPartsAnswer(c.typed);
        EXPECT_EQ(int(a.kind), int(c.kind)) << '"' << c.typed << '"';
        EXPECT_EQ(a.parts, c.parts) << '"' << c.typed << '"';
    }
}

TEST_F(TypedAnswers, TheGroupingIsTheUsersOwn) {
    runtime::setDateLocale("de_DE");
    EXPECT_EQ(readPartsAnswer("1.200").parts, 1200);
    EXPECT_EQ(int(readPartsAnswer("1,200").kind), int(Kind::NotWhole)); // a decimal comma there
    EXPECT_EQ(int(readPartsAnswer("1.5").kind), int(Kind::NotWhole));
}

TEST_F(TypedAnswers, ADateAnswerMustNameADay) {
    EXPECT_EQ(readDateAnswer("12/15/2026"), Date::fromYmd(2026, 12, 15));
    EXPECT_EQ(readDateAnswer(" 2026-12-15 "), Date::fromYmd(2026, 12, 15));
    EXPECT_EQ(readDateAnswer("Dec 15"), Date::fromYmd(2026, 12, 15));
    // A time typed after the day is not kept: shipments are due on days.
    EXPECT_EQ(readDateAnswer("12/15/2026 10:30"), Date::fromYmd(2026, 12, 15));
    for (const char* noDay : {"10:30", "3:15 PM", "", "someday", "12/30/1899", "2/30/2026"})
        EXPECT_FALSE(readDateAnswer(noDay)) << noDay;
}

} // namespace
