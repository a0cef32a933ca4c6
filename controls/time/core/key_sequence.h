// The key texts the control plays to the system to move the focus the way a user would: "+" holds
// Shift, "^" Ctrl and "%" Alt for the key that follows, "~" is Enter, "{TAB}" Tab (names in braces
// as in the key properties, plus TAB), and any other character is looked up in the keyboard layout.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace vxtime {

struct PlayedKey {
    std::uint8_t keyCode;
    bool down;
    bool system; // played as a system key (with Alt held, or F10)
    bool operator==(const PlayedKey&) const = default;
};

// The keyboard layout: the virtual-key code of a character in the low byte and the Shift (1),
// Ctrl (2) and Alt (4) it needs in the high byte, or -1 when no key types it (as VkKeyScan answers).
using KeyboardLayout = std::function<int(char)>;

// The key-downs and key-ups of `text`: each modifier pressed, the key pressed and released, the
// modifiers released. Nothing for a text with an unknown name or an unterminated brace.
std::optional<std::vector<PlayedKey>> keySequence(std::string_view text, const KeyboardLayout& layout);

} // namespace vxtime
