#pragma once
// A value as a backend stores it: Null, a 64-bit integer, a double, text or bytes. The layer turns
// these into the program's Variants by the column's data type; nothing of a particular database
// library's types appears above the backend interface.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace dao {

using StoredValue =
    std::variant<std::monostate, std::int64_t, double, std::string, std::vector<std::uint8_t>>;

inline bool isNull(const StoredValue& v) {
    return std::holds_alternative<std::monostate>(v);
}

} // namespace dao
