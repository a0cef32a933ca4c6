#pragma once
// The in-memory form of one registry hive: a tree of keys, each with its values. Names compare
// without regard to letter case but keep the case they were created with, as the registry does.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace winreg {

struct HiveValue {
    std::string name; // "" is the key's default (unnamed) value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    friend bool operator==(const HiveValue&, const HiveValue&) = default;
};

struct HiveKey {
    std::string name;
    std::vector<HiveValue> values; // in the order they were first written
    std::vector<HiveKey> subkeys;  // sorted by name, ignoring case, as the registry enumerates them
    friend bool operator==(const HiveKey&, const HiveKey&) = default;

    HiveKey* findSubkey(std::string_view name);
    const HiveKey* findSubkey(std::string_view name) const;
    // The existing subkey of that name, or a new one inserted in sorted place.
    HiveKey& subkey(std::string_view name, bool* created = nullptr);
    bool removeSubkey(std::string_view name);

    HiveValue* findValue(std::string_view name);
    const HiveValue* findValue(std::string_view name) const;
    // Sets a value; an existing value of that name keeps its position and the case of its name.
    // Returns whether anything changed.
    bool setValue(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data);
    bool removeValue(std::string_view name);
};

// Follows a path of key names down from `root`; nullptr when any level is missing.
HiveKey* findPath(HiveKey& root, const std::vector<std::string>& path);

bool sameName(std::string_view a, std::string_view b);
// Orders names as the registry enumerates subkeys: by their upper-cased form.
bool nameLess(std::string_view a, std::string_view b);

// Splits "a\b\c" into its levels; empty levels (doubled or trailing backslashes) are dropped.
std::vector<std::string> splitKeyPath(std::string_view path);

} // namespace winreg
