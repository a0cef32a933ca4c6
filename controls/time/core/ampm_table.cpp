#include "ampm_table.h"

#include "time_number.h"

#include <algorithm>

namespace vxtime {

int matchAmPmToken(std::string_view text) {
    for (std::size_t i = 0; i < kAmPmTokens.size(); ++i)
        if (text.starts_with(kAmPmTokens[i])) return static_cast<int>(i);
    return -1;
}

std::string AmPmTable::text(int token, int state) const {
    if (token < 0 || token >= static_cast<int>(kAmPmTokens.size()) || (state != kAm && state != kPm))
        return {};
    const std::size_t offset = token * 2 * kSlotWidth + (state - 1) * kSlotWidth;
    if (offset >= table_.size()) return {};
    std::string slot = table_.substr(offset, kSlotWidth);
    slot.erase(slot.find_last_not_of(' ') + 1);
    return slot;
}

int AmPmTable::width(int token) const {
    return static_cast<int>(std::max(text(token, kAm).size(), text(token, kPm).size()));
}

int AmPmTable::stateOf(std::string_view text) const {
    if (text.empty()) return kAmPmNone;
    for (std::size_t pos = table_.find(text); pos != std::string::npos; pos = table_.find(text, pos + 1))
        if (pos % kSlotWidth == 0) return (pos / kSlotWidth) % 2 == 0 ? kAm : kPm;
    return kAmPmNone;
}

} // namespace vxtime
