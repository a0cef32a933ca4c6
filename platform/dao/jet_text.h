#pragma once
// Small text helpers the dialect's tokenizer, parser and emitters share.
#include <cctype>
#include <string>
#include <string_view>

namespace dao::jet::text {

inline std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

inline std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// `text` between `quote` characters, each quote inside doubled.
inline std::string quoted(const std::string& text, char quote) {
    std::string out(1, quote);
    for (char c : text) {
        out += c;
        if (c == quote) out += quote;
    }
    return out + quote;
}

} // namespace dao::jet::text
