// The keys the KeyClear, KeyNext, KeyPrevious and KeyNow properties assign.
//
// A key property is a comma-separated list of up to five keys, each written as optional "+"
// (Shift) and "^" (Ctrl) prefixes and a name in braces: "{F2}", "^{N}", "+^{ENTER}". The table keeps
// five entries per property in six groups (groups 3 and 5 hold no keys in the time control); a key
// with the same modifiers may belong to one property only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vxtime {

// Modifier bits, as in the Shift argument of the key events.
inline constexpr std::uint16_t kShiftBit = 1;
inline constexpr std::uint16_t kCtrlBit = 2;
inline constexpr std::uint16_t kAltBit = 4;

enum class KeyGroup { Clear = 0, Next = 1, Previous = 2, Now = 4 };

struct KeyBinding {
    std::uint32_t keyCode = 0; // virtual-key code; 0 is a free entry
    std::uint16_t modifiers = 0;
    bool operator==(const KeyBinding&) const = default;
};

inline constexpr std::string_view kDefaultKeyClear = "{F2}";
inline constexpr std::string_view kDefaultKeyNow = "{F3}";

// The keys of one property string, or nothing when the string is refused (an item of another
// shape, an unknown name, more than five keys). "" is no key.
std::optional<std::vector<KeyBinding>> parseKeyList(std::string_view text);

class KeyTable {
public:
    static constexpr int kGroups = 6;
    static constexpr int kPerGroup = 5;

    // A new control's table: KeyClear "{F2}" and KeyNow "{F3}".
    static KeyTable withDefaults();

    // Replaces the keys of `group`. On refusal (see parseKeyList, or a key another group holds)
    // the table is left as it was.
    bool assign(KeyGroup group, std::string_view text);
    // The group holding exactly this key and these modifier bits, or -1.
    int match(std::uint32_t keyCode, std::uint16_t modifiers) const;
    const KeyBinding& entry(KeyGroup group, int index) const;

private:
    std::array<KeyBinding, kGroups * kPerGroup> entries_{};
};

} // namespace vxtime
