#include "hive_text.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace winreg {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE bytes to UTF-8; an odd last byte or an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::string_view bytes) {
    std::string out;
    std::size_t i = 0;
    auto unit = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(bytes[at])) | (std::uint8_t(bytes[at + 1]) << 8);
    };
    for (; i + 1 < bytes.size(); i += 2) {
        std::uint32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            std::uint32_t lo = unit(i + 2);
            if (lo >= 0xDC00 && lo < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
    }
    if (i < bytes.size()) appendUtf8(out, 0xFFFD);
    return out;
}

// A quoted text at the start of `s`, with the escapes the registry editor writes: \\ \" \n \r.
// Any other backslash is kept as it stands, as hand-written files hold paths like "C:\Temp".
// The rest of `s` follows the closing quote.
std::optional<std::string> readQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            char e = s[i + 1];
            if (e == '\\' || e == '"' || e == 'n' || e == 'r') {
                out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
                ++i;
                continue;
            }
        }
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        out += c;
    }
    return std::nullopt; // no closing quote: the line was cut off
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<std::uint8_t>> readHexBytes(std::string_view s) {
    std::vector<std::uint8_t> bytes;
    s = trim(s);
    if (s.empty()) return bytes;
    while (true) {
        s = trim(s);
        if (s.size() < 2 || hexDigit(s[0]) < 0 || hexDigit(s[1]) < 0) return std::nullopt;
        bytes.push_back(std::uint8_t(hexDigit(s[0]) * 16 + hexDigit(s[1])));
        s = trim(s.substr(2));
        if (s.empty()) return bytes;
        if (s.front() != ',') return std::nullopt;
        s.remove_prefix(1);
    }
}

std::optional<HiveValue> readValueData(std::string_view s, bool unicodeFile) {
    HiveValue v;
    s = trim(s);
    if (!s.empty() && s.front() == '"') {
        auto text = readQuoted(s);
        if (!text || !trim(s).empty()) return std::nullopt;
        v.type = kSz;
        v.data.assign(text->begin(), text->end());
        v.data.push_back(0);
        return v;
    }
    if (s.starts_with("dword:")) {
        std::string_view digits = s.substr(6);
        if (digits.size() != 8) return std::nullopt;
        std::uint32_t n = 0;
        for (char c : digits) {
            if (hexDigit(c) < 0) return std::nullopt;
            n = n * 16 + std::uint32_t(hexDigit(c));
        }
        v.type = kDword;
        v.data = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)};
        return v;
    }
    if (s.starts_with("hex:")) {
        v.type = kBinary;
        s.remove_prefix(4);
    } else if (s.starts_with("hex(")) {
        std::size_t close = s.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return std::nullopt;
        std::uint32_t t = 0;
        for (char c : s.substr(4, close - 4)) {
            if (hexDigit(c) < 0) return std::nullopt;
            t = t * 16 + std::uint32_t(hexDigit(c));
        }
        v.type = t;
        s.remove_prefix(close + 2);
    } else {
        return std::nullopt;
    }
    auto bytes = readHexBytes(s);
    if (!bytes) return std::nullopt;
    v.data = std::move(*bytes);
    if (unicodeFile && (v.type == kSz || v.type == kExpandSz || v.type == kMultiSz)) {
        std::string text =
            utf16ToUtf8(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size()));
        v.data.assign(text.begin(), text.end());
    }
    return v;
}

// The file's text as UTF-8: a UTF-16 file (as the registry editor saves the version 5 form) is
// converted, a UTF-8 byte-order mark dropped.
std::string decodeFileText(std::string_view text) {
    if (text.starts_with("\xFF\xFE")) return utf16ToUtf8(text.substr(2));
    if (text.starts_with("\xEF\xBB\xBF")) return std::string(text.substr(3));
    return std::string(text);
}

// The physical lines of the text, without their line breaks. The flag says whether the last line
// was complete (ended with a line break).
std::vector<std::string_view> physicalLines(std::string_view text, bool& lastLineComplete) {
    std::vector<std::string_view> lines;
    lastLineComplete = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The levels of a section's key below the hive's root, or nullopt when it names another root.
std::optional<std::vector<std::string>> sectionPath(std::string_view section, std::string_view rootName) {
    if (section.size() < rootName.size() || !sameName(section.substr(0, rootName.size()), rootName))
        return std::nullopt;
    std::string_view rest = section.substr(rootName.size());
    if (!rest.empty() && rest.front() != '\\') return std::nullopt;
    return splitKeyPath(rest);
}

} // namespace

namespace {

// Reads a hive text line by line. The name of a value is read before its data, so an "=" or a
// quote inside a name never decides where the data begins or whether it continues on the next line.
class HiveReader {
public:
    HiveReader(std::string_view text, std::string_view rootName) : rootName_(rootName) {
        result_.root.name = std::string(rootName);
        bool lastComplete = true;
        lines_ = physicalLines(text, lastComplete);
        if (!lastComplete) {
            lines_.pop_back(); // the file ends in the middle of a line: that line may be cut short
            result_.damaged = true;
        }
    }

    ParsedHive read() {
        while (next_ < lines_.size()) {
            std::string_view s = trim(lines_[next_++]);
            if (s.empty() || s.front() == ';' || s.front() == '#') continue;
            if (!sawHeader_ && header(s)) continue;
            if (s.front() == '[')
                section(s);
            else if (!value(s))
                result_.damaged = true;
        }
        return std::move(result_);
    }

private:
    bool header(std::string_view s) {
        sawHeader_ = true;
        if (s == kHeader5) unicodeFile_ = true;
        if (s == kHeader5 || s == kHeader4) return true;
        result_.damaged = true; // no header: read on, it may still be a hive
        return false;
    }

    // "[path]" opens a key, creating it; "[-path]" deletes the key and everything below it.
    void section(std::string_view s) {
        current_ = nullptr;
        std::size_t close = s.rfind(']');
        if (close == std::string_view::npos || !trim(s.substr(close + 1)).empty()) {
            result_.damaged = true;
            return;
        }
        std::string_view name = s.substr(1, close - 1);
        bool remove = !name.empty() && name.front() == '-';
        if (remove) name.remove_prefix(1);
        auto path = sectionPath(name, rootName_);
        if (!path) {
            result_.damaged = true;
        } else if (remove) {
            removePath(*path);
        } else {
            current_ = &result_.root;
            for (const auto& level : *path)
                current_ = &current_->subkey(level);
        }
    }

    void removePath(const std::vector<std::string>& path) {
        if (path.empty()) {
            result_.root.subkeys.clear(); // the root itself stays, as a root cannot be deleted
            result_.root.values.clear();
            return;
        }
        std::vector<std::string> parentPath(path.begin(), path.end() - 1);
        if (HiveKey* parent = findPath(result_.root, parentPath)) parent->removeSubkey(path.back());
    }

    // One value line ("name"=data, @=data, or "name"=- to delete); hex data may go on over
    // following lines, each but the last ending in a backslash.
    bool value(std::string_view s) {
        std::optional<std::string> name;
        if (s.front() == '@') {
            name = std::string();
            s.remove_prefix(1);
        } else {
            name = readQuoted(s);
        }
        s = trim(s);
        if (!name || s.empty() || s.front() != '=') return false;
        s = trim(s.substr(1));
        std::string data(s);
        if (s.starts_with("hex")) {
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (next_ >= lines_.size()) return false; // cut off inside hex data
                data += trim(lines_[next_++]);
            }
        }
        if (!current_) return false;
        if (data == "-") {
            current_->removeValue(*name);
            return true;
        }
        std::optional<HiveValue> v = readValueData(data, unicodeFile_);
        if (!v) return false;
        current_->setValue(*name, v->type, std::move(v->data));
        return true;
    }

    std::string_view rootName_;
    std::vector<std::string_view> lines_;
    std::size_t next_ = 0;
    ParsedHive result_;
    HiveKey* current_ = nullptr;
    bool sawHeader_ = false, unicodeFile_ = false;
};

} // namespace

ParsedHive parseHive(std::string_view raw, std::string_view rootName) {
    std::string text = decodeFileText(raw);
    return HiveReader(text, rootName).read();
}

namespace {

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            if (c == '\\' || c == '"') out += '\\';
            out += c;
        }
    }
    return out + '"';
}

// A string value is written as text when it reads back to the same bytes: one terminating
// character at the end and none inside (line breaks are escaped); anything else is written as hex.
bool writableAsText(const HiveValue& v) {
    if (v.type != kSz || v.data.empty() || v.data.back() != 0) return false;
    return std::find(v.data.begin(), v.data.end() - 1, 0) == v.data.end() - 1;
}

void writeHex(std::string& out, std::size_t column, const std::vector<std::uint8_t>& data) {
    char buf[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        out += buf;
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column > 76) { // wrap as the registry editor does
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

void writeValue(std::string& out, const HiveValue& v) {
    std::size_t lineStart = out.size();
    out += v.name.empty() ? std::string("@") : quote(v.name);
    out += '=';
    if (writableAsText(v)) {
        out += quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
    } else if (v.type == kDword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x",
                      unsigned(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | unsigned(v.data[3]) << 24));
        out += buf;
    } else {
        if (v.type == kBinary) {
            out += "hex:";
        } else {
            char buf[24];
            std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
            out += buf;
        }
        writeHex(out, out.size() - lineStart, v.data);
    }
    out += '\n';
}

void writeKey(std::string& out, const HiveKey& key, const std::string& path) {
    out += '[' + path + "]\n";
    for (const auto& v : key.values)
        writeValue(out, v);
    out += '\n';
    for (const auto& sub : key.subkeys)
        writeKey(out, sub, path + '\\' + sub.name);
}

} // namespace

std::string formatHive(const HiveKey& root, std::string_view rootName) {
    std::string out = std::string(kHeader4) + "\n\n";
    writeKey(out, root, std::string(rootName));
    return out;
}

bool storableKeyName(std::string_view name) {
    return name.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

} // namespace winreg
