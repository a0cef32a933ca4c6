#include "hive_tree.h"

#include <algorithm>

namespace winreg {

namespace {
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
} // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

bool nameLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y));
    });
}

HiveKey* HiveKey::findSubkey(std::string_view n) {
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), n,
                               [](const HiveKey& k, std::string_view v) { return nameLess(k.name, v); });
    return (it != subkeys.end() && sameName(it->name, n)) ? &*it : nullptr;
}

const HiveKey* HiveKey::findSubkey(std::string_view n) const {
    return const_cast<HiveKey*>(this)->findSubkey(n);
}

HiveKey& HiveKey::subkey(std::string_view n, bool* created) {
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), n,
                               [](const HiveKey& k, std::string_view v) { return nameLess(k.name, v); });
    if (created) *created = false;
    if (it != subkeys.end() && sameName(it->name, n)) return *it;
    if (created) *created = true;
    HiveKey fresh;
    fresh.name = std::string(n);
    return *subkeys.insert(it, std::move(fresh));
}

bool HiveKey::removeSubkey(std::string_view n) {
    HiveKey* k = findSubkey(n);
    if (!k) return false;
    subkeys.erase(subkeys.begin() + (k - subkeys.data()));
    return true;
}

HiveValue* HiveKey::findValue(std::string_view n) {
    for (auto& v : values)
        if (sameName(v.name, n)) return &v;
    return nullptr;
}

const HiveValue* HiveKey::findValue(std::string_view n) const {
    return const_cast<HiveKey*>(this)->findValue(n);
}

bool HiveKey::setValue(std::string_view n, std::uint32_t type, std::vector<std::uint8_t> data) {
    if (HiveValue* v = findValue(n)) {
        if (v->type == type && v->data == data) return false;
        v->type = type;
        v->data = std::move(data);
        return true;
    }
    values.push_back(HiveValue{std::string(n), type, std::move(data)});
    return true;
}

bool HiveKey::removeValue(std::string_view n) {
    HiveValue* v = findValue(n);
    if (!v) return false;
    values.erase(values.begin() + (v - values.data()));
    return true;
}

HiveKey* findPath(HiveKey& root, const std::vector<std::string>& path) {
    HiveKey* k = &root;
    for (const auto& level : path)
        if (!(k = k->findSubkey(level))) return nullptr;
    return k;
}

std::vector<std::string> splitKeyPath(std::string_view path) {
    std::vector<std::string> levels;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) levels.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

} // namespace winreg
