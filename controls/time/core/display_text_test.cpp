#include "display_text.h"

#include "test_locales.h"

#include <gtest/gtest.h>

namespace vxtime {
namespace {

std::string show(const char* pattern, std::int32_t number, HourStyle editStyle = HourStyle{},
                 const TimeLocale& locale = test::englishLocale()) {
    return buildDisplayText(pattern, {splitTime(number, editStyle), editStyle, false, '_'}, locale);
}

TEST(DisplayText, NumbersInTwentyFourAndTwelveHourForm) {
    EXPECT_EQ(show("H:MM a/p", 130500), "1:05 p");
    EXPECT_EQ(show("HH:MM", 130500), "13:05");
    EXPECT_EQ(show("h:m:s", 10203), "1:2:3");
    EXPECT_EQ(show("hh:mm:ss", 10203), "01:02:03");
    EXPECT_EQ(show("h:mm AM/PM", 3000), "12:30 AM");
    EXPECT_EQ(show("h:mm am/pm", 120000), "12:00 pm");
    EXPECT_EQ(show("hh:mm A/P", 235959), "11:59 P");
    EXPECT_EQ(show("hhh", 90000), "099"); // a third letter starts another hour
}

TEST(DisplayText, ReadsTheHourBackFromTwelveHourEditFormats) {
    const HourStyle upper{4}, japanese{2};
    EXPECT_EQ(show("HH:MM", 3000, upper), "00:30");
    EXPECT_EQ(show("HH:MM", 123000, upper), "12:30");
    EXPECT_EQ(show("HH:MM", 233000, upper), "23:30");
    EXPECT_EQ(show("HH:MM", 3000, japanese), "00:30");
    EXPECT_EQ(show("HH:MM", 123000, japanese), "12:30");
}

TEST(DisplayText, LiteralsEscapesAndUnknownLetters) {
    EXPECT_EQ(show("\\H\\M H", 90000), "HM 9");
    EXPECT_EQ(show("H\\", 90000), "9\\");
    EXPECT_EQ(show("H 'as' Ax", 90005), "9 'a5' Ax"); // "a" begins no token and stays; "s" is a field
    EXPECT_EQ(show("", 90000), "");
}

TEST(DisplayText, NoTimeShowsPromptsInPlaceOfNumbersAndTokens) {
    const TimeLocale en = test::englishLocale();
    EXPECT_EQ(buildDisplayText("H:MM:SS AM/PM", {TimeFields{}, HourStyle{}, true, '_'}, en), "_:__:__ __");
    EXPECT_EQ(buildDisplayText("HH a/p", {TimeFields{}, HourStyle{}, true, '#'}, en), "## #");
}

TEST(DisplayText, JapaneseWordsAndDoubleByteLiterals) {
    const TimeLocale jp = test::japaneseLocale();
    // 時 (0x8E 0x9E) and 0x81 0x68 (trail byte "h") are copied whole, never read as a letter.
    EXPECT_EQ(show("AMPM H\x8e\x9eMM\x81h", 143000, HourStyle{}, jp),
              std::string(test::kGogo) + " 2\x8e\x9e" + "30\x81h");
    EXPECT_EQ(buildDisplayText("AMPM", {TimeFields{}, HourStyle{}, true, '_'}, jp), "____");
}

} // namespace
} // namespace vxtime
