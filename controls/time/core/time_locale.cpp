#include "time_locale.h"

#include <charconv>

namespace vxtime {

LeadBytes LeadBytes::forCodePage(unsigned codePage) {
    LeadBytes lead;
    switch (codePage) {
    case 932: // Shift-JIS
        lead.addRange(0x81, 0x9F);
        lead.addRange(0xE0, 0xFC);
        break;
    case 936: // GBK
    case 949: // Unified Hangul
    case 950: // Big5
        lead.addRange(0x81, 0xFE);
        break;
    default:
        break;
    }
    return lead;
}

void LeadBytes::addRange(unsigned char first, unsigned char last) {
    for (unsigned c = first; c <= last; ++c)
        bits_.set(c);
}

std::uint16_t parseLanguageId(std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return 0;
    return static_cast<std::uint16_t>(value);
}

} // namespace vxtime
