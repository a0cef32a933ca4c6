#include "time_text.h"

#include "test_locales.h"

#include <gtest/gtest.h>

namespace vxtime {
namespace {

std::optional<std::int32_t> parse(const char* format, const std::string& text, const TimeLocale& locale,
                                  char prompt = '_') {
    const EditLayout layout = makeEditLayout(*parseFormat(format, locale), locale.ampmTable);
    return parseTimeText(text, layout, locale.ampmTable, prompt);
}

TEST(TimeText, ReadsTimesAtTheFieldPositions) {
    const TimeLocale en = test::englishLocale();
    EXPECT_EQ(parse("hh:mm:ss", "12:30:45", en), 123045);
    EXPECT_EQ(parse("hh:mm:ss", "23x59y59", en), 235959); // literals are not compared
    EXPECT_EQ(parse("h:mm AM/PM", "12:30 AM", en), 3000);
    EXPECT_EQ(parse("h:mm AM/PM", "12:30 PM", en), 123000);
    EXPECT_EQ(parse("h:mm AM/PM", "01:05 pm", en), 130500); // any slot of the table gives its state
    EXPECT_EQ(parse("h:mm a/p", "11:05 p", en), 230500);
    EXPECT_EQ(parse("h:mm a/p", "11:05 A", en), 110500);
    EXPECT_EQ(parse("hh:mm", "00:00", en), 0);
    EXPECT_EQ(parse("hh:mm", "**:15", en, '*'), 1500); // an all-prompt field reads as 0
}

TEST(TimeText, EmptyFieldsGiveNoTimeOnlyAtTheEnd) {
    const TimeLocale en = test::englishLocale();
    EXPECT_EQ(parse("hh:mm:ss", "12:__:__", en), kNoTime);
    EXPECT_EQ(parse("hh:mm:ss", "__:__:__", en), kNoTime);
    EXPECT_FALSE(parse("hh:mm:ss", "__:30:00", en));
    EXPECT_FALSE(parse("hh:mm:ss", "12:__:30", en));
    // Underscores mark an empty field whatever the prompt character is.
    EXPECT_EQ(parse("hh:mm", "10:__", en, '#'), kNoTime);
    EXPECT_EQ(parse("h:mm AM/PM", "10:15 __", en), kNoTime);
    EXPECT_EQ(parse("h:mm a/p", "10:15 _", en), kNoTime);
}

TEST(TimeText, RefusesWhatIsNotATime) {
    const TimeLocale en = test::englishLocale();
    EXPECT_FALSE(parse("hh:mm:ss", "24:00:00", en));
    EXPECT_FALSE(parse("hh:mm:ss", "12:60:00", en));
    EXPECT_FALSE(parse("hh:mm:ss", "12:3x:00", en));
    EXPECT_FALSE(parse("hh:mm:ss", "1 :30:00", en));
    EXPECT_FALSE(parse("hh:mm:ss", "12:30", en)); // too short for the second
    EXPECT_FALSE(parse("hh:mm:ss", "", en));
    EXPECT_FALSE(parse("h:mm AM/PM", "13:00 PM", en));
    EXPECT_FALSE(parse("h:mm AM/PM", "10:00 XM", en));
    EXPECT_FALSE(parse("h:mm AM/PM", "10:00 M ", en)); // inside a slot, not at its start
}

TEST(TimeText, JapaneseMorningAndAfternoonWords) {
    const TimeLocale jp = test::japaneseLocale();
    EXPECT_EQ(parse("AMPM h:mm", std::string(test::kGozen) + " 00:30", jp), 3000);
    EXPECT_EQ(parse("AMPM h:mm", std::string(test::kGozen) + " 12:30", jp), 3000);
    EXPECT_EQ(parse("AMPM h:mm", std::string(test::kGogo) + " 12:30", jp), 123000);
    EXPECT_EQ(parse("AMPM h:mm", "____ __:__", jp), kNoTime);
    EXPECT_FALSE(parse("AMPM h:mm", "____ 09:30", jp)); // an empty first field must empty the rest
}

} // namespace
} // namespace vxtime
