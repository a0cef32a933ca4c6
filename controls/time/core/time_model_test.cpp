#include "time_model.h"

#include "field_typing.h"

#include "test_locales.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vxtime {
namespace {

TimeModel model(const char* format, std::int32_t number, TimeLocale locale = test::englishLocale()) {
    TimeModel m(std::move(locale), number);
    EXPECT_EQ(m.setFormat(format), Assign::Accepted) << format;
    return m;
}

TEST(TimeModel, NewControlTakesTheClockAndTheLocaleFormat) {
    const TimeModel m(test::englishLocale(), 143005);
    EXPECT_EQ(m.format(), "h:mm:ss AM/PM");
    EXPECT_EQ(m.displayFormat(), m.format());
    EXPECT_EQ(m.number(), 143005);
    EXPECT_EQ(m.editText(), "02:30:05 PM");
    EXPECT_EQ(m.dispText(), "2:30:05 PM");
    EXPECT_EQ(m.hour(), 2);
    EXPECT_EQ(m.ampmText(), "PM");
}

TEST(TimeModel, FormatChangesResplitTheTimeAndRefusalsKeepTheOldOne) {
    TimeModel m = model("h:mm AM/PM", 3000);
    EXPECT_EQ(m.editText(), "12:30 AM");
    EXPECT_EQ(m.hour(), 12);
    EXPECT_EQ(m.setFormat("hhh:mm"), Assign::Invalid);
    EXPECT_EQ(m.setFormat("AMPM h:mm"), Assign::Invalid); // not a Japanese locale
    EXPECT_EQ(m.setFormat(""), Assign::Invalid);
    EXPECT_EQ(m.format(), "h:mm AM/PM");
    EXPECT_EQ(m.setFormat("hh:mm:ss"), Assign::Accepted);
    EXPECT_EQ(m.editText(), "00:30:00");
    EXPECT_EQ(m.hour(), 0);
    EXPECT_EQ(m.ampmText(), "");

    TimeModel jp = model("AMPM h:mm", 3000, test::japaneseLocale());
    EXPECT_EQ(jp.hour(), 0);
    EXPECT_EQ(jp.editText(), std::string(test::kGozen) + " 00:30");
    EXPECT_EQ(jp.ampmText(), test::kGozen);
    EXPECT_EQ(jp.number(), 3000);
}

TEST(TimeModel, DisplayFormatIsFreeAndFallsBackToTheFormat) {
    TimeModel m = model("hh:mm:ss", 130500);
    m.setDisplayFormat("H:MM a/p");
    EXPECT_EQ(m.dispText(), "1:05 p");
    m.setDisplayFormat("HH:MM");
    EXPECT_EQ(m.dispText(), "13:05");
    m.setDisplayFormat("");
    EXPECT_EQ(m.dispText(), "13:05:00");
    m.clear();
    EXPECT_EQ(m.dispText(), "__:__:__");
}

TEST(TimeModel, NumberAndValueAssignments) {
    TimeModel m = model("hh:mm:ss", 120000);
    EXPECT_EQ(m.setValue(1.75), Assign::Accepted);
    EXPECT_EQ(m.number(), 180000);
    EXPECT_EQ(m.setValue(-0.25), Assign::Accepted);
    EXPECT_EQ(m.number(), 60000);
    EXPECT_EQ(m.setValue(0.99999999), Assign::Accepted);
    EXPECT_EQ(m.number(), 0);
    EXPECT_EQ(m.value(), 0.0);
    EXPECT_EQ(m.setValue(std::nan("")), Assign::OutOfRange);
    EXPECT_EQ(m.number(), 0);

    EXPECT_EQ(m.setNumber(143000), Assign::Accepted);
    EXPECT_DOUBLE_EQ(*m.value(), 143000 / 10000 * 3600 / 86400.0 + 30 * 60 / 86400.0);
    // Numbers that are no time of day, even in a field the Format does not show.
    for (std::int32_t bad : {240000, 126000, 120099, -1, 1000000})
        EXPECT_EQ(m.setNumber(bad), Assign::OutOfRange) << bad;
    EXPECT_EQ(m.setFormat("hh:mm"), Assign::Accepted);
    EXPECT_EQ(m.setNumber(120099), Assign::OutOfRange);
    EXPECT_EQ(m.number(), 143000);
}

TEST(TimeModel, NoTimeMarkerAndClearing) {
    TimeModel m = model("h:mm AM/PM", 93000);
    EXPECT_EQ(m.setNumber(kNoTime), Assign::Accepted);
    EXPECT_TRUE(m.isEmpty());
    EXPECT_EQ(m.number(), kNoTime);
    EXPECT_FALSE(m.value());
    EXPECT_EQ(m.hour(), -1);
    EXPECT_EQ(m.minute(), -1);
    EXPECT_EQ(m.second(), -1);
    EXPECT_EQ(m.ampmText(), "");
    EXPECT_EQ(m.editText(), "__:__ __");
    EXPECT_EQ(m.setPromptChar("*"), Assign::Accepted);
    EXPECT_EQ(m.editText(), "**:** **");
    m.setCurrentTime(101500); // the KeyNow key leaves the empty state
    EXPECT_EQ(m.editText(), "10:15 AM");
    EXPECT_EQ(m.minute(), 15);
}

TEST(TimeModel, LimitsMoveTheTime) {
    TimeModel m = model("hh:mm:ss", 120000);
    EXPECT_EQ(m.setMaxTime(110000), Assign::Accepted);
    EXPECT_EQ(m.number(), 110000);
    EXPECT_EQ(m.setMinTime(113000), Assign::Invalid); // above MaxTime
    EXPECT_EQ(m.setMinTime(100000), Assign::Accepted);
    EXPECT_EQ(m.number(), 110000);
    EXPECT_EQ(m.setNumber(90000), Assign::OutOfRange);
    EXPECT_EQ(m.setMaxTime(235959), Assign::Accepted);
    EXPECT_EQ(m.setMinTime(120000), Assign::Accepted);
    EXPECT_EQ(m.number(), 120000);
    EXPECT_EQ(m.setMaxTime(115959), Assign::Invalid); // below MinTime
    EXPECT_EQ(m.setMaxTime(126000), Assign::Invalid); // no time of day
    EXPECT_EQ(m.setMaxTime(240000), Assign::Invalid);
    EXPECT_EQ(m.setMinTime(-1), Assign::Invalid);
    EXPECT_EQ(m.maxTime(), 235959);
    EXPECT_EQ(m.minTime(), 120000);
    // A limit must be a time of day: raising the time to 00:12:99 would show an impossible time.
    EXPECT_EQ(m.setMinTime(1299), Assign::Invalid);
    EXPECT_EQ(m.setMinTime(7000), Assign::Invalid);
    EXPECT_EQ(m.minTime(), 120000);
    EXPECT_EQ(m.setMinTime(1259), Assign::Accepted);

    // An empty control takes both limits (a form sets them before a time is entered) and is not
    // given a time by them; the limits hold for the time typed later.
    m.clear();
    EXPECT_EQ(m.setMaxTime(200000), Assign::Accepted);
    EXPECT_EQ(m.setMinTime(130000), Assign::Accepted);
    EXPECT_EQ(m.number(), kNoTime);
    EXPECT_EQ(m.maxTime(), 200000);
    EXPECT_EQ(m.setNumber(210000), Assign::OutOfRange);

    // A held time with a field deleted down to prompts keeps refusing MaxTime: lowering the time
    // would overwrite what is being typed.
    ASSERT_EQ(m.setNumber(190000), Assign::Accepted);
    TimeFields partial = m.fields();
    partial.minute = kEmptyField;
    m.setEditFields(partial);
    EXPECT_EQ(m.setMaxTime(180000), Assign::Invalid);
}

TEST(TimeModel, TextAndSelText) {
    TimeModel m = model("hh:mm:ss", 123045);
    EXPECT_EQ(m.setSelText(3, 2, "15"), Assign::Accepted);
    EXPECT_EQ(m.number(), 121545);
    EXPECT_EQ(m.setText("__:30:00"), Assign::OutOfRange);
    EXPECT_EQ(m.setText("25:00:00"), Assign::OutOfRange);
    EXPECT_EQ(m.setSelText(0, 3, "9"), Assign::OutOfRange); // "915:45": the fields move with the text
    EXPECT_EQ(m.setSelText(100, 5, ""), Assign::Accepted);  // a selection past the end is clamped
    EXPECT_EQ(m.number(), 121545);
    EXPECT_EQ(m.setMinTime(100000), Assign::Accepted);
    EXPECT_EQ(m.setText("09:00:00"), Assign::OutOfRange); // below MinTime
    EXPECT_EQ(m.setText("12:__:__"), Assign::Accepted);
    EXPECT_EQ(m.number(), kNoTime);
    EXPECT_EQ(m.editText(), "__:__:__");
}

TEST(TimeModel, PromptCharIsOneSingleByteCharacter) {
    TimeModel m(test::japaneseLocale(), 0);
    for (const char* bad : {"", "ab", "\x8c", "\x8c\xdf"})
        EXPECT_EQ(m.setPromptChar(bad), Assign::Invalid);
    EXPECT_EQ(m.setPromptChar(std::string_view("\0", 1)), Assign::Invalid);
    EXPECT_EQ(m.promptChar(), '_');
    EXPECT_EQ(m.setPromptChar("#"), Assign::Accepted);
}

TEST(TimeModel, EditingCommitsCompleteTimesAndRestoresOnFailure) {
    TimeModel m = model("hh:mm", 101500);
    ASSERT_EQ(m.setMaxTime(200000), Assign::Accepted);
    m.beginEdit();
    m.setEditFields({-10, 15, 0, kAm}); // "1_:15"
    EXPECT_EQ(m.editText(), "1_:15");
    EXPECT_FALSE(m.commitEdit());
    EXPECT_EQ(m.number(), 101500);
    EXPECT_FALSE(m.finishEdit()); // InvalidRange: the caller puts the entry time back
    m.restoreEntryTime();
    EXPECT_EQ(m.editText(), "10:15");
    EXPECT_FALSE(m.noteCommit()); // put back: nothing changed

    m.setEditFields({kEmptyField, 15, 0, kAm}); // the hour deleted
    EXPECT_EQ(m.editText(), "__:15");
    m.setDisplayFormat("HH:MM");
    EXPECT_EQ(m.dispText(), "00:15");
    EXPECT_EQ(m.hour(), -1);
    EXPECT_EQ(*m.value(), numberToValue(101500)); // the committed time while the fields are incomplete
    EXPECT_FALSE(m.commitEdit());
    m.setEditFields({21, 15, 0, kAm}); // above MaxTime
    EXPECT_FALSE(m.commitEdit());
    m.setEditFields({11, 45, 0, kAm});
    EXPECT_TRUE(m.commitEdit());
    EXPECT_EQ(m.number(), 114500);
    EXPECT_TRUE(m.noteCommit());
    EXPECT_FALSE(m.noteCommit()); // announced once
    // Away and back to the committed time before the next commit: no change either.
    m.setEditFields({-10, 45, 0, kAm});
    m.setEditFields({11, 45, 0, kAm});
    EXPECT_TRUE(m.commitEdit());
    EXPECT_FALSE(m.noteCommit());

    // Typing into an empty control commits nothing until the time is complete.
    m.clear();
    m.beginEdit();
    m.setEditFields({-10, kEmptyField, kEmptyField, kAm});
    EXPECT_EQ(m.editText(), "1_:__");
    EXPECT_FALSE(m.commitEdit());
    EXPECT_EQ(m.number(), kNoTime);
    m.setEditFields({12, 30, 0, kAm});
    EXPECT_TRUE(m.commitEdit());
    EXPECT_EQ(m.number(), 123000);

    // Leaving with nothing but prompts empties the control.
    m.clear();
    EXPECT_TRUE(m.finishEdit());
    EXPECT_EQ(m.number(), kNoTime);
}

TEST(TimeModel, RestoreFallsBackForWhatDoesNotFit) {
    TimeModel m(test::englishLocale(), 80000);
    m.restore({"hhh", std::nullopt, "", -5, 300000, 93000});
    EXPECT_EQ(m.format(), "h:mm:ss AM/PM");
    EXPECT_EQ(m.displayFormat(), m.format()); // DisplayFormat follows the Format as applied
    EXPECT_EQ(m.promptChar(), '_');
    EXPECT_EQ(m.minTime(), 0);
    EXPECT_EQ(m.maxTime(), 235959);
    EXPECT_EQ(m.number(), 93000);

    m.restore({"hh:mm", "H.MM", "*", 10000, 200000, kNoTime});
    EXPECT_EQ(m.format(), "hh:mm");
    EXPECT_EQ(m.dispText(), "*.**");
    EXPECT_EQ(m.minTime(), 10000);
    EXPECT_TRUE(m.isEmpty());
}

} // namespace
} // namespace vxtime
