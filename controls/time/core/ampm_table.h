// The AM/PM tokens of the Format language and the localisable table of their texts.
//
// The table is string 4001 of the control's string table: ten slots of four characters, one pair
// (morning, afternoon) per token. The Japanese table puts the two double-byte words for morning and
// afternoon in the "AMPM" slots, which is why that token's width comes from the table.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vxtime {

// The tokens in the order the Format parser tries them; the index is what the format table stores.
inline constexpr std::array<std::string_view, 5> kAmPmTokens = {"a/p", "A/P", "AMPM", "am/pm", "AM/PM"};
inline constexpr int kAmPmTokenJapanese = 2; // "AMPM"

// Index of the first token that begins `text` (compared case-sensitively), or -1.
int matchAmPmToken(std::string_view text);

class AmPmTable {
public:
    static constexpr std::string_view kEnglish = "a   p   A   P   AM  PM  am  pm  AM  PM";
    static constexpr std::size_t kSlotWidth = 4;

    explicit AmPmTable(std::string table = std::string(kEnglish)) : table_(std::move(table)) {}

    // Text of `token` for state 1 (AM) or 2 (PM), trailing blanks removed; "" for anything else.
    std::string text(int token, int state) const;
    // Positions the token takes in the edit text: the longer of its two texts.
    int width(int token) const;
    // AM or PM for a text found at a slot boundary of the table, 0 when it is not there.
    int stateOf(std::string_view text) const;

    const std::string& raw() const { return table_; }

private:
    std::string table_;
};

} // namespace vxtime
