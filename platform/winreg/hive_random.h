#pragma once
// Random registry names, values and hives for the property and fuzz tests. Every generator draws
// from one seeded engine, so a failing case is found again by its seed and number.
#include "winreg/hive_tree.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace hive_random {

using Engine = std::mt19937;

inline int pick(Engine& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// A character that is likely to upset a text format: quotes, backslashes, "=", "@", brackets,
// line breaks, tabs, comment marks, non-ASCII text, and now and then any byte but NUL.
inline std::string awkwardPiece(Engine& rng) {
    static const std::vector<std::string> pieces = {"=",      "@",
                                                    "-",      "\"",
                                                    "\\",     "\\\\",
                                                    "\n",     "\r",
                                                    "\r\n",   "\t",
                                                    " ",      "[",
                                                    "]",      ";",
                                                    "#",      ",",
                                                    ":",      "hex:",
                                                    "dword:", "=-",
                                                    "\"=\"",  "\\\n",
                                                    "Größe",  "é",
                                                    "日本",   "\xF0\x9F\x9A\x9A",
                                                    "a",      "Z",
                                                    "0"};
    if (pick(rng, 0, 9) == 0) return std::string(1, char(pick(rng, 1, 255)));
    return pieces[std::size_t(pick(rng, 0, int(pieces.size()) - 1))];
}

inline std::string awkwardText(Engine& rng, int maxPieces) {
    std::string s;
    for (int i = pick(rng, 0, maxPieces); i > 0; --i)
        s += awkwardPiece(rng);
    return s;
}

// A value name the registry API accepts: any text without NUL (the empty name is the default value).
inline std::string valueName(Engine& rng) {
    return pick(rng, 0, 12) == 0 ? std::string() : awkwardText(rng, 6);
}

// A key name the registry API accepts: not empty, no backslash, no line break.
inline std::string keyName(Engine& rng) {
    std::string s;
    for (char c : awkwardText(rng, 5))
        if (c != '\\' && c != '\n' && c != '\r') s += c;
    return s.empty() ? "k" + std::to_string(pick(rng, 0, 99)) : s.substr(0, 255);
}

inline std::vector<std::uint8_t> bytesOf(const std::string& s, bool terminate) {
    std::vector<std::uint8_t> v(s.begin(), s.end());
    if (terminate) v.push_back(0);
    return v;
}

// A value of any type, as RegSetValueExA stores it.
inline winreg::HiveValue value(Engine& rng) {
    winreg::HiveValue v;
    v.name = valueName(rng);
    switch (pick(rng, 0, 7)) {
    case 0: // text, sometimes with a terminating character inside or none at all
    case 1:
        v.type = 1;
        v.data = bytesOf(awkwardText(rng, 12), true);
        if (pick(rng, 0, 5) == 0) v.data.insert(v.data.begin() + pick(rng, 0, int(v.data.size()) - 1), 0);
        if (pick(rng, 0, 9) == 0) v.data.clear();
        break;
    case 2:
        v.type = 2;
        v.data = bytesOf("%TEMP%\\" + awkwardText(rng, 4), true);
        break;
    case 3: { // a multi-string: pieces, each terminated, and the final terminator
        v.type = 7;
        for (int i = pick(rng, 0, 4); i > 0; --i) {
            std::string piece = awkwardText(rng, 4);
            std::erase(piece, '\0');
            v.data.insert(v.data.end(), piece.begin(), piece.end());
            v.data.push_back(0);
        }
        v.data.push_back(0);
        break;
    }
    case 4:
        v.type = 4;
        for (int i = 0; i < 4; ++i)
            v.data.push_back(std::uint8_t(pick(rng, 0, 255)));
        break;
    default: { // binary, a number of the wrong length, or a type the registry does not know
        int kind = pick(rng, 0, 3);
        v.type = kind == 0 ? 3u : kind == 1 ? 4u : kind == 2 ? std::uint32_t(pick(rng, 0, 11)) : 0x12345678u;
        for (int i = pick(rng, 0, pick(rng, 0, 1) ? 8 : 200); i > 0; --i)
            v.data.push_back(std::uint8_t(pick(rng, 0, 255)));
        if (v.type == 4 && v.data.size() == 4) v.data.push_back(1);
        break;
    }
    }
    // The ANSI API terminates text handed over without a terminator: generate it that way.
    bool text = v.type == 1 || v.type == 2 || v.type == 7;
    if (text && !v.data.empty() && v.data.back() != 0) v.data.push_back(0);
    return v;
}

// A tree of keys and values below a root, merged the way the registry merges names.
inline void fill(Engine& rng, winreg::HiveKey& key, int depth) {
    for (int i = pick(rng, 0, 5); i > 0; --i) {
        winreg::HiveValue v = value(rng);
        key.setValue(v.name, v.type, v.data);
    }
    if (depth == 0) return;
    for (int i = pick(rng, 0, 3); i > 0; --i)
        fill(rng, key.subkey(keyName(rng)), depth - 1);
}

inline winreg::HiveKey hive(Engine& rng, const std::string& rootName) {
    winreg::HiveKey root;
    root.name = rootName;
    fill(rng, root, 3);
    return root;
}

} // namespace hive_random
