#include "key_table.h"

#include <cctype>
#include <string>

namespace vxtime {

namespace {

constexpr std::uint32_t kVkReturn = 13, kVkEscape = 27, kVkSpace = 32, kVkUp = 38, kVkDown = 40, kVkF1 = 112;

std::optional<std::uint32_t> keyCodeOf(std::string_view name) {
    std::string up(name);
    for (char& c : up)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (up == "ENTER") return kVkReturn;
    if (up == "ESCAPE") return kVkEscape;
    if (up == "SPACE") return kVkSpace;
    if (up == "UP") return kVkUp;
    if (up == "DOWN") return kVkDown;
    if (up.size() == 1 && up[0] >= 'A' && up[0] <= 'Z') return static_cast<std::uint32_t>(up[0]);
    for (std::uint32_t n = 1; n <= 12; ++n)
        if (up == "F" + std::to_string(n)) return kVkF1 + n - 1;
    return std::nullopt;
}

std::optional<KeyBinding> parseKey(std::string_view item) {
    KeyBinding key;
    std::size_t pos = 0;
    for (; pos < item.size() && (item[pos] == '+' || item[pos] == '^'); ++pos) {
        const std::uint16_t bit = item[pos] == '+' ? kShiftBit : kCtrlBit;
        if (key.modifiers & bit) return std::nullopt; // each prefix once
        key.modifiers |= bit;
    }
    if (pos >= item.size() || item[pos] != '{' || item.back() != '}' || item.size() - pos < 3)
        return std::nullopt;
    const auto code = keyCodeOf(item.substr(pos + 1, item.size() - pos - 2));
    if (!code) return std::nullopt;
    key.keyCode = *code;
    return key;
}

} // namespace

std::optional<std::vector<KeyBinding>> parseKeyList(std::string_view text) {
    std::vector<KeyBinding> keys;
    if (text.empty()) return keys;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const auto key =
            parseKey(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (!key) return std::nullopt;
        keys.push_back(*key);
        if (keys.size() > KeyTable::kPerGroup) return std::nullopt;
        if (comma == std::string_view::npos) return keys;
        start = comma + 1;
    }
}

KeyTable KeyTable::withDefaults() {
    KeyTable table;
    table.assign(KeyGroup::Clear, kDefaultKeyClear);
    table.assign(KeyGroup::Now, kDefaultKeyNow);
    return table;
}

bool KeyTable::assign(KeyGroup group, std::string_view text) {
    const auto keys = parseKeyList(text);
    if (!keys) return false;
    const int g = static_cast<int>(group);
    for (const KeyBinding& key : *keys) {
        const int holder = match(key.keyCode, key.modifiers);
        if (holder >= 0 && holder != g) return false;
    }
    for (int i = 0; i < kPerGroup; ++i)
        entries_[g * kPerGroup + i] = KeyBinding{};
    int next = 0;
    for (const KeyBinding& key : *keys)
        entries_[g * kPerGroup + next++] = key;
    return true;
}

int KeyTable::match(std::uint32_t keyCode, std::uint16_t modifiers) const {
    if (keyCode == 0) return -1;
    for (int i = 0; i < kGroups * kPerGroup; ++i)
        if (entries_[i] == KeyBinding{keyCode, modifiers}) return i / kPerGroup;
    return -1;
}

const KeyBinding& KeyTable::entry(KeyGroup group, int index) const {
    return entries_[static_cast<int>(group) * kPerGroup + index];
}

} // namespace vxtime
