#include "edit_selection.h"

#include "test_locales.h"

#include <gtest/gtest.h>

namespace vxtime {
namespace {

EditLayout layoutOf(const char* format, const TimeLocale& locale) {
    return makeEditLayout(*parseFormat(format, locale), locale.ampmTable);
}

TEST(EditSelection, CaretSkipsLiteralsAndStopsAtTheEnds) {
    const EditLayout l = layoutOf("hh:mm AM/PM", test::englishLocale()); // "hh:mm AM"
    EXPECT_EQ(nextEditable(l, 0), 1);
    EXPECT_EQ(nextEditable(l, 1), 3); // over ":"
    EXPECT_EQ(nextEditable(l, 4), 6); // over " "
    EXPECT_EQ(nextEditable(l, 7), 8); // the end of the last field
    EXPECT_EQ(nextEditable(l, 8), 8);
    EXPECT_EQ(previousEditable(l, 3), 1);
    EXPECT_EQ(previousEditable(l, 6), 4);
    EXPECT_EQ(previousEditable(l, 8), 7);
    EXPECT_EQ(previousEditable(l, 0), 0); // the start of the first field

    const EditLayout lead = layoutOf("(hh)", test::englishLocale());
    EXPECT_EQ(previousEditable(lead, 1), 1);
    EXPECT_EQ(nextEditable(lead, 0), 1);
    EXPECT_EQ(nextEditable(lead, 2), 3);
}

TEST(EditSelection, SelectionStaysOnWholeCharacters) {
    const TimeLocale jp = test::japaneseLocale();
    const std::string text = std::string(test::kGozen) + " 09:30"; // two double-byte words first
    EXPECT_EQ(clampSelStart(text, 1, jp.leadBytes), 0);
    EXPECT_EQ(clampSelStart(text, 3, jp.leadBytes), 2);
    EXPECT_EQ(clampSelStart(text, 5, jp.leadBytes), 5);
    EXPECT_EQ(clampSelStart(text, -4, jp.leadBytes), 0);
    EXPECT_EQ(clampSelStart(text, 99, jp.leadBytes), 10);
    EXPECT_EQ(clampSelLength(text, 0, 1, jp.leadBytes), 2);
    EXPECT_EQ(clampSelLength(text, 2, 2, jp.leadBytes), 2);
    EXPECT_EQ(clampSelLength(text, 4, 99, jp.leadBytes), 6);
    EXPECT_EQ(clampSelLength(text, 4, -1, jp.leadBytes), 0);
    // The same bytes are single characters under a single-byte code page.
    EXPECT_EQ(clampSelStart(text, 1, test::englishLocale().leadBytes), 1);
}

TEST(EditSelection, CopyWithAndWithoutLiterals) {
    const EditLayout l = layoutOf("hh:mm:ss", test::englishLocale());
    EXPECT_EQ(copyText(l, "12:30:45", 0, 8, true), "123045");
    EXPECT_EQ(copyText(l, "12:30:45", 0, 8, false), "12:30:45");
    EXPECT_EQ(copyText(l, "12:30:45", 2, 1, true), "");
    EXPECT_EQ(copyText(l, "12:30:45", 4, 50, true), "045");
}

} // namespace
} // namespace vxtime
