#include "hive_tree.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <QChar>
#endif

namespace winreg {

namespace {

// One character upper-cased by the character tables of the system at hand.
char32_t upperCase(char32_t c) {
#ifdef _WIN32
    if (c > 0xFFFF) return c;
    WCHAR w = WCHAR(c);
    CharUpperBuffW(&w, 1);
    return w;
#else
    return QChar::toUpper(c);
#endif
}

// The next character of a UTF-8 name, upper-cased one for one as the registry compares names
// ("Größe" matches "GRÖßE"; ß has no one-character capital and stays). A byte that does not start
// a valid sequence stands for itself, kept apart from real characters above the surrogates.
char32_t nextUpper(std::string_view s, std::size_t& i) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(s[at]); };
    unsigned char b = byte(i);
    if (b < 0x80) {
        ++i;
        return (b >= 'a' && b <= 'z') ? char32_t(b - 'a' + 'A') : char32_t(b);
    }
    int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    char32_t cp = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool valid = extra > 0;
    for (int k = 1; valid && k <= extra; ++k) {
        valid = i + k < s.size() && (byte(i + k) & 0xC0) == 0x80;
        if (valid) cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        ++i;
        return 0x110000 + b; // an invalid byte: equal only to the same byte
    }
    i += std::size_t(extra) + 1;
    return upperCase(cp);
}

// Compares two names character by character after upper-casing: <0, 0 or >0.
int compareNames(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t x = nextUpper(a, i), y = nextUpper(b, j);
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    return j < b.size() ? -1 : 0;
}

} // namespace

bool sameName(std::string_view a, std::string_view b) {
    return compareNames(a, b) == 0;
}

bool nameLess(std::string_view a, std::string_view b) {
    return compareNames(a, b) < 0;
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
