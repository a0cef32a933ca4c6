#include "time_format.h"

#include "edit_layout.h"
#include "test_locales.h"

#include "field_typing.h"

#include <gtest/gtest.h>

namespace vxtime {
namespace {

using test::englishLocale;
using test::japaneseLocale;

TEST(TimeFormat, AcceptsAndRefusesFormats) {
    const TimeLocale en = englishLocale();
    for (const char* good : {"hh:mm", "h:mm:ss", "hh:mm A/P", "hh:mm a/p", "AM/PM h:mm", "hh:mm am/pm", "h",
                             "s", "HH hh MM mm", "hh\\h", "hh\\a", "mm:ss"})
        EXPECT_TRUE(parseFormat(good, en)) << good;
    for (const char* bad : {"", "::", "hhh:mm", "h:mm h", "hh:mm a", "hh:mm A", "h:mm AM/PM A/P",
                            "hh:mm:ss s", "hh:mm AMPM", "\\h\\m", "HH:MM"})
        EXPECT_FALSE(parseFormat(bad, en)) << bad;
}

TEST(TimeFormat, RecordsFieldsTokensAndEscapes) {
    const auto f = parseFormat("hh\\h:m AM/PM", englishLocale());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->mask, "hhh:m AM/PM");
    ASSERT_EQ(f->fields.size(), 3u);
    EXPECT_EQ(f->fields[0], (FormatField{FieldKind::Hour, 0, 1}));
    EXPECT_EQ(f->fields[1], (FormatField{FieldKind::Minute, 4, 0}));
    EXPECT_EQ(f->fields[2], (FormatField{FieldKind::AmPm, 6, 4}));
    EXPECT_EQ(f->ampmToken, 4);
    // The tokens are tried in their order, so "A/P" is not read as the start of "AM/PM" and vice versa.
    EXPECT_EQ(parseFormat("h A/P", englishLocale())->ampmToken, 1);
    EXPECT_EQ(parseFormat("h am/pm", englishLocale())->ampmToken, 3);
    EXPECT_EQ(parseFormat("h \\", englishLocale())->mask, "h \\"); // a final escape stays text
}

TEST(TimeFormat, AmpmTokenNeedsAJapaneseLocale) {
    EXPECT_FALSE(parseFormat("AMPM h:mm", englishLocale()));
    EXPECT_FALSE(parseFormat("h:mm \\AMPM", englishLocale())); // refused before parsing, even escaped
    const auto f = parseFormat("AMPM h:mm", japaneseLocale());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->ampmToken, 2);
    EXPECT_EQ(f->fields[1], (FormatField{FieldKind::Hour, 5, 0}));
}

TEST(TimeFormat, DoubleByteCharactersAreLiterals) {
    const TimeLocale jp = japaneseLocale();
    // 表 ends in a backslash byte and 0x81 0x68 ends in "h": neither may act as escape or field.
    const std::string format = "hh\x95\x5cmm\x81hss";
    const auto f = parseFormat(format, jp);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->mask, format);
    ASSERT_EQ(f->fields.size(), 3u);
    EXPECT_EQ(f->fields[1].start, 4);
    EXPECT_EQ(f->fields[2].start, 8);
    // The same bytes under a single-byte code page are an escape and a second hour field.
    EXPECT_FALSE(parseFormat(format, englishLocale()));
    // A lead byte at the very end has no trail byte; it is kept as a literal, not read past.
    EXPECT_EQ(parseFormat("hh\x95", jp)->mask, "hh\x95");
}

TEST(TimeFormat, DefaultFormatFollowsTheLocale) {
    TimeLocale l = englishLocale();
    EXPECT_EQ(defaultFormat(l), "h:mm:ss AM/PM");
    l.leadingZero = true;
    l.ampmBeforeTime = true;
    l.timeSeparator = ".";
    EXPECT_EQ(defaultFormat(l), "AM/PM hh.mm.ss");
    l.twentyFourHour = true;
    EXPECT_EQ(defaultFormat(l), "hh.mm.ss");
    l.timeSeparator = "h"; // a separator that makes the Format unusable
    EXPECT_EQ(defaultFormat(l), "hh : mm : ss");

    TimeLocale jp = japaneseLocale();
    jp.twentyFourHour = false;
    jp.ampmBeforeTime = true;
    EXPECT_EQ(defaultFormat(jp), "AMPM h:mm:ss");
    jp.ampmBeforeTime = false;
    EXPECT_EQ(defaultFormat(jp), "h:mm:ss AMPM");
}

TEST(EditLayout, WidensNumbersAndCutsTokens) {
    const TimeLocale en = englishLocale();
    const EditLayout l = makeEditLayout(*parseFormat("h:m:ss AM/PM", en), en.ampmTable);
    EXPECT_EQ(l.pattern, "hh:mm:ss AM");
    ASSERT_EQ(l.fields.size(), 4u);
    EXPECT_EQ(l.fields[1], (EditField{FieldKind::Minute, 3, 2}));
    EXPECT_EQ(l.fields[3], (EditField{FieldKind::AmPm, 9, 2}));
    EXPECT_EQ(l.fieldAt(2), -1);
    EXPECT_EQ(l.fieldAt(10), 3);
    EXPECT_EQ(l.fieldAt(11), -1);

    EXPECT_EQ(makeEditLayout(*parseFormat("a/p h\\h", en), en.ampmTable).pattern, "a hhh");

    const TimeLocale jp = japaneseLocale();
    const EditLayout j = makeEditLayout(*parseFormat("AMPM h:mm", jp), jp.ampmTable);
    EXPECT_EQ(j.fields[0], (EditField{FieldKind::AmPm, 0, 4})); // two double-byte words
    EXPECT_EQ(j.fields[1], (EditField{FieldKind::Hour, 5, 2}));
    EXPECT_EQ(j.fields[2], (EditField{FieldKind::Minute, 8, 2}));
}

EditLayout layoutOf(const char* format, const TimeLocale& locale) {
    return makeEditLayout(*parseFormat(format, locale), locale.ampmTable);
}

TEST(EditLayout, EditTextOfTimesEmptyAndIncompleteFields) {
    const TimeLocale en = englishLocale();
    const EditLayout l = layoutOf("h:mm AM/PM", en);
    const HourStyle s = l.hourStyle();
    EXPECT_EQ(buildEditText(l, {splitTime(3000, s), 3000, false}, en.ampmTable, '_'), "12:30 AM");
    EXPECT_EQ(buildEditText(l, {splitTime(230500, s), 230500, false}, en.ampmTable, '_'), "11:05 PM");
    EXPECT_EQ(buildEditText(l, {TimeFields{}, kNoTime, true}, en.ampmTable, '*'), "**:** **");
    // Typing into an empty control: the typed hour shows, the untouched fields keep their prompts.
    EXPECT_EQ(buildEditText(l, {TimeFields{7, kEmptyField, kEmptyField, kAmPmNone}, kNoTime, false},
                            en.ampmTable, '_'),
              "07:__ __");
    // An incomplete field shows its typed digit and a prompt for the rest.
    EXPECT_EQ(buildEditText(l, {TimeFields{-10, 30, 0, kAm}, 103000, false}, en.ampmTable, '_'), "1_:30 AM");

    const TimeLocale jp = japaneseLocale();
    const EditLayout j = layoutOf("AMPM h:mm", jp);
    EXPECT_EQ(buildEditText(j, {splitTime(3000, j.hourStyle()), 3000, false}, jp.ampmTable, '_'),
              std::string(test::kGozen) + " 00:30");
    EXPECT_EQ(buildEditText(j, {splitTime(123000, j.hourStyle()), 123000, false}, jp.ampmTable, '_'),
              std::string(test::kGogo) + " 12:30");
    EXPECT_EQ(buildEditText(j, {TimeFields{}, kNoTime, true}, jp.ampmTable, '_'), "____ __:__");
}

} // namespace
} // namespace vxtime
