// What the time control needs to know about the user's locale, handed in by the control object
// (which reads it from the system) so that the rules below stay free of system calls.
#pragma once

#include "ampm_table.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

namespace vxtime {

// The lead bytes of a double-byte code page. A lead byte and the byte after it are one character;
// the trail byte may look like a format letter or a backslash and must never be read as one.
class LeadBytes {
public:
    LeadBytes() = default;
    // The lead-byte ranges of the common East Asian ANSI code pages (932, 936, 949, 950); none for
    // any other code page. The control object may instead add the ranges the system reports.
    static LeadBytes forCodePage(unsigned codePage);
    void addRange(unsigned char first, unsigned char last);
    bool isLead(char c) const { return bits_[static_cast<unsigned char>(c)]; }
    bool any() const { return bits_.any(); }

private:
    std::bitset<256> bits_;
};

inline constexpr std::uint16_t kLanguageJapanese = 0x411;

struct TimeLocale {
    std::uint16_t language = 0x409;  // LOCALE_ILANGUAGE
    std::string timeSeparator = ":"; // LOCALE_STIME
    bool leadingZero = false;        // LOCALE_ITLZERO non-zero: "hh" instead of "h"
    bool twentyFourHour = false;     // LOCALE_ITIME 1
    bool ampmBeforeTime = false;     // LOCALE_ITIMEMARKPOSN non-zero
    LeadBytes leadBytes;             // from the ANSI code page
    AmPmTable ampmTable;             // string 4001 in the control's resource language

    bool japanese() const { return language == kLanguageJapanese; }
};

// LOCALE_ILANGUAGE is written in hexadecimal ("0411"); 0 when the text is not a hexadecimal number.
std::uint16_t parseLanguageId(std::string_view text);

// Length of the character starting at `pos`: 2 for a lead byte followed by its trail byte, else 1.
inline std::size_t charLength(std::string_view s, std::size_t pos, const LeadBytes& lead) {
    return (lead.isLead(s[pos]) && pos + 1 < s.size()) ? 2 : 1;
}

} // namespace vxtime
