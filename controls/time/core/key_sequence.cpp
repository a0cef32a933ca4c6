#include "key_sequence.h"

#include <cctype>
#include <string>

namespace vxtime {

namespace {

constexpr std::uint8_t kShift = 0x10, kControl = 0x11, kMenu = 0x12, kReturn = 0x0D, kTab = 0x09,
                       kEscape = 0x1B, kF1 = 0x70, kF10 = 0x79;

std::optional<std::uint8_t> namedKey(std::string_view name) {
    std::string up(name);
    for (char& c : up)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (up == "TAB") return kTab;
    if (up == "ENTER") return kReturn;
    if (up == "ESCAPE") return kEscape;
    if (up == "SPACE") return 0x20;
    if (up == "UP") return 0x26;
    if (up == "DOWN") return 0x28;
    for (int n = 1; n <= 12; ++n)
        if (up == "F" + std::to_string(n)) return static_cast<std::uint8_t>(kF1 + n - 1);
    return std::nullopt;
}

void press(std::vector<PlayedKey>& out, std::uint8_t key, unsigned modifiers) {
    const bool system = (modifiers & 4) || key == kF10;
    const std::uint8_t order[] = {kShift, kControl, kMenu};
    for (int i = 0; i < 3; ++i)
        if (modifiers & (1u << i)) out.push_back({order[i], true, (modifiers & 4) != 0});
    out.push_back({key, true, system});
    out.push_back({key, false, system});
    for (int i = 2; i >= 0; --i)
        if (modifiers & (1u << i)) out.push_back({order[i], false, (modifiers & 4) != 0 && i != 2});
}

} // namespace

std::optional<std::vector<PlayedKey>> keySequence(std::string_view text, const KeyboardLayout& layout) {
    std::vector<PlayedKey> out;
    unsigned modifiers = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' || c == '^' || c == '%') {
            modifiers |= c == '+' ? 1u : c == '^' ? 2u : 4u;
            continue;
        }
        std::uint8_t key = 0;
        if (c == '~') {
            key = kReturn;
        } else if (c == '{') {
            const std::size_t close = text.find('}', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            const auto named = namedKey(text.substr(i + 1, close - i - 1));
            if (!named) return std::nullopt;
            key = *named;
            i = close;
        } else {
            const int scan = layout ? layout(c) : -1;
            if (scan < 0 || (scan & 0xFF) == 0xFF) return std::nullopt;
            key = static_cast<std::uint8_t>(scan & 0xFF);
            modifiers |= (scan >> 8) & 7;
        }
        press(out, key, modifiers);
        modifiers = 0;
    }
    return out;
}

} // namespace vxtime
