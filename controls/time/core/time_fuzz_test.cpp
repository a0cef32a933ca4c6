// Random Formats, display patterns and texts against the parsers: nothing may crash, whatever is
// accepted must hold together, and a time written by the edit text must read back as itself.
#include "display_text.h"
#include "test_locales.h"
#include "time_text.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string_view>

namespace vxtime {
namespace {

constexpr int kFormats = 3000;
constexpr int kTimesPerFormat = 8;
constexpr int kTextsPerFormat = 8;

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    // Plain modulo of the engine's output: the engine's sequence is fixed by the standard, the
    // distributions are not, and the cases must be the same on every build.
    unsigned below(unsigned n) { return engine_() % n; }
    template <class T, std::size_t N> const T& pick(const std::array<T, N>& a) { return a[below(N)]; }

private:
    std::mt19937 engine_;
};

constexpr std::array<std::string_view, 24> kFormatPieces = {
    "h", "m",  "s", "hh", "mm", "ss", "a/p", "A/P",      "AMPM",     "am/pm", "AM/PM", ":",
    " ", "\\", "a", "A",  "H",  "M",  "x",   "\x8c\xdf", "\x95\x5c", "\x81h", "\x8c",  "0"};

constexpr std::array<std::string_view, 16> kTextPieces = {"0",
                                                          "1",
                                                          "2",
                                                          "5",
                                                          "9",
                                                          "_",
                                                          "__",
                                                          " ",
                                                          ":",
                                                          "a",
                                                          "P",
                                                          "AM",
                                                          "pm",
                                                          "\x8c\xdf\x91\x4f",
                                                          "\x8c\xdf\x8c\xe3",
                                                          "x"};

std::string randomString(Random& rnd, const auto& pieces, unsigned maxPieces) {
    std::string s;
    for (unsigned n = rnd.below(maxPieces + 1); n > 0; --n)
        s += rnd.pick(pieces);
    return s;
}

std::int32_t randomTime(Random& rnd) {
    return rnd.below(24) * 10000 + rnd.below(60) * 100 + rnd.below(60);
}

// What the edit text of `number` reads back as: the fields the Format lacks are zero.
std::int32_t shownPart(std::int32_t number, const EditLayout& layout) {
    TimeFields f = splitTime(number, layout.hourStyle());
    if (!layout.find(FieldKind::Hour)) f.hour = 0;
    if (!layout.find(FieldKind::Minute)) f.minute = 0;
    if (!layout.find(FieldKind::Second)) f.second = 0;
    return joinTime(f, layout.hourStyle());
}

void checkLayout(const TimeFormat& format, const EditLayout& layout) {
    ASSERT_FALSE(format.fields.empty());
    ASSERT_LE(format.fields.size(), 4u);
    ASSERT_EQ(layout.fields.size(), format.fields.size());
    int end = 0;
    for (const EditField& f : layout.fields) {
        ASSERT_GE(f.start, end); // in order, no overlap
        ASSERT_GE(f.length, 1);
        end = f.start + f.length;
        ASSERT_LE(end, static_cast<int>(layout.pattern.size()));
        ASSERT_EQ(layout.find(f.kind), &f); // each kind once
    }
}

int textsRead = 0; // random texts read as a time, so the round trip below is really exercised

void checkFormat(const std::string& formatText, const TimeLocale& locale, Random& rnd) {
    const auto format = parseFormat(formatText, locale);
    if (!format) return;
    const EditLayout layout = makeEditLayout(*format, locale.ampmTable);
    checkLayout(*format, layout);
    const AmPmTable& table = locale.ampmTable;

    for (int i = 0; i < kTimesPerFormat; ++i) {
        const std::int32_t number = randomTime(rnd);
        const std::string text =
            buildEditText(layout, {splitTime(number, layout.hourStyle()), number, false}, table, '_');
        ASSERT_EQ(text.size(), layout.pattern.size());
        ASSERT_EQ(parseTimeText(text, layout, table, '_'), shownPart(number, layout))
            << "Format \"" << formatText << "\" text \"" << text << "\"";
        buildDisplayText(formatText, {splitTime(number, layout.hourStyle()), layout.hourStyle(), false, '_'},
                         locale);
    }
    const std::string blank = buildEditText(layout, {TimeFields{}, kNoTime, true}, table, '_');
    ASSERT_EQ(parseTimeText(blank, layout, table, '_'), kNoTime) << formatText;

    for (int i = 0; i < kTextsPerFormat; ++i) {
        std::string text = layout.pattern;
        for (const EditField& f : layout.fields)
            text.replace(f.start, f.length, (randomString(rnd, kTextPieces, 3) + "____").substr(0, f.length));
        if (rnd.below(4) == 0) text.resize(rnd.below(static_cast<unsigned>(text.size()) + 1));
        const auto read = parseTimeText(text, layout, table, '_');
        if (!read || *read == kNoTime) continue;
        ++textsRead;
        ASSERT_TRUE(isTimeOfDay(*read)) << formatText << " / " << text << " -> " << *read;
        const std::string again =
            buildEditText(layout, {splitTime(*read, layout.hourStyle()), *read, false}, table, '_');
        ASSERT_EQ(parseTimeText(again, layout, table, '_'), read) << formatText << " / " << text;
    }
}

TEST(TimeFuzz, RandomFormatsAndTextsHoldTogether) {
    const std::array<TimeLocale, 2> locales = {test::englishLocale(), test::japaneseLocale()};
    Random rnd(20261208);
    int accepted = 0;
    for (int i = 0; i < kFormats; ++i) {
        const std::string format = randomString(rnd, kFormatPieces, 7);
        for (const TimeLocale& locale : locales) {
            ASSERT_NO_FATAL_FAILURE(checkFormat(format, locale, rnd));
            accepted += parseFormat(format, locale).has_value();
        }
    }
    // The generator must reach the interesting part: a fair share of the Formats is accepted.
    EXPECT_GT(accepted, kFormats / 4);
    EXPECT_GT(textsRead, kFormats / 10);
}

TEST(TimeFuzz, RandomDisplayPatternsNeverBreak) {
    const TimeLocale jp = test::japaneseLocale();
    Random rnd(7);
    for (int i = 0; i < kFormats; ++i) {
        const std::string pattern = randomString(rnd, kFormatPieces, 9);
        const std::int32_t number = randomTime(rnd);
        const bool noTime = rnd.below(3) == 0;
        const std::string shown =
            buildDisplayText(pattern, {splitTime(number, HourStyle{}), HourStyle{}, noTime, '_'}, jp);
        // Only fields and tokens change length, and by a few bytes at most each.
        ASSERT_LE(shown.size(), pattern.size() * 4 + 4) << pattern;
    }
}

} // namespace
} // namespace vxtime
