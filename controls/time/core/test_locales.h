// Locale descriptions the core's tests run under: US English and Japanese (code page 932).
#pragma once

#include "time_locale.h"

namespace vxtime::test {

// "午前" and "午後" (morning, afternoon) in code page 932.
inline constexpr char kGozen[] = "\x8c\xdf\x91\x4f";
inline constexpr char kGogo[] = "\x8c\xdf\x8c\xe3";

inline TimeLocale englishLocale() {
    TimeLocale l;
    l.leadBytes = LeadBytes::forCodePage(1252);
    return l;
}

inline TimeLocale japaneseLocale() {
    TimeLocale l;
    l.language = kLanguageJapanese;
    l.twentyFourHour = true;
    l.leadBytes = LeadBytes::forCodePage(932);
    l.ampmTable = AmPmTable(std::string("a   p   A   P   ") + kGozen + kGogo + "am  pm  AM  PM");
    return l;
}

} // namespace vxtime::test
