// The time control's Format and text parsers fed any bytes: a Format and a Text come from the
// container's property bag or a script. The input is a first byte choosing the locale (US English
// or Japanese, whose double-byte characters must never be split), the Format up to the first line
// feed, and the text after it. What is accepted must hold together: fields inside the edit text
// and apart, a time of day read from the text, and that time written back reading as itself.
#include "display_text.h"
#include "fuzz_check.h"
#include "test_locales.h"
#include "time_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void checkLayout(const vxtime::EditLayout& layout) {
    int end = 0;
    for (const vxtime::EditField& f : layout.fields) {
        fuzzCheck(f.start >= end && f.length >= 1, "edit fields come in order, apart, each at least one wide");
        end = f.start + f.length;
        fuzzCheck(end <= static_cast<int>(layout.pattern.size()), "edit fields lie inside the edit text");
        fuzzCheck(layout.find(f.kind) == &f, "each kind of field once");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const vxtime::TimeLocale locale = data[0] & 1 ? vxtime::test::japaneseLocale() : vxtime::test::englishLocale();
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t lineEnd = rest.find('\n');
    const std::string_view formatText = rest.substr(0, lineEnd);
    const std::string_view text = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);

    // A DisplayFormat is never refused: any pattern shows some text.
    vxtime::buildDisplayText(formatText, {}, locale);
    const auto format = vxtime::parseFormat(formatText, locale);
    if (!format) return 0;
    const vxtime::AmPmTable& table = locale.ampmTable;
    const vxtime::EditLayout layout = vxtime::makeEditLayout(*format, table);
    checkLayout(layout);

    const auto read = vxtime::parseTimeText(text, layout, table, '_');
    if (!read || *read == vxtime::kNoTime) return 0;
    fuzzCheck(vxtime::isTimeOfDay(*read), "a text reads as a time of day");
    const vxtime::EditState state{vxtime::splitTime(*read, layout.hourStyle()), *read, false};
    const std::string again = vxtime::buildEditText(layout, state, table, '_');
    fuzzCheck(vxtime::parseTimeText(again, layout, table, '_') == read, "a time written back reads as itself");
    vxtime::buildDisplayText(formatText, {state.fields, layout.hourStyle(), false, '_'}, locale);
    return 0;
}
