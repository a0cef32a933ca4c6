// The named formats as patterns of the engine's format characters. On the file engine "Short Date",
// "Long Date" and "Long Time" are written by the workstation's locale (QLocale patterns such as
// "M/d/yyyy" and "h:mm:ss AP"); a server cannot know that locale, so the layer hands it the pattern.
#include "server_objects.h"

#include "runtime/locale_text.h"

#include <cctype>

namespace dao {
namespace {

// Characters the engine's date patterns copy as they are; anything else is quoted.
bool plainSeparator(char c) {
    return std::string(" /:-.,").find(c) != std::string::npos;
}

std::string literal(const std::string& text) {
    std::string out, quoted;
    auto flush = [&] {
        if (!quoted.empty()) out += "\"" + quoted + "\"";
        quoted.clear();
    };
    for (char c : text) {
        if (plainSeparator(c)) {
            flush();
            out += c;
        } else if (c == '"') {
            flush();
            out += "\\\"";
        } else
            quoted += c;
    }
    flush();
    return out;
}

// A QLocale date/time pattern in the engine's format characters: months M -> m, minutes m -> n,
// hours h/H -> h, AP/ap -> AM/PM / am/pm, 'quoted' text -> "quoted".
std::string fromQtPattern(const std::string& p) {
    std::string out, text;
    for (size_t i = 0; i < p.size();) {
        char c = p[i];
        size_t run = 1;
        while (i + run < p.size() && p[i + run] == c)
            ++run;
        std::string field;
        switch (c) {
        case 'd':
            field = std::string(std::min<size_t>(run, 4), 'd');
            break;
        case 'M':
            field = std::string(std::min<size_t>(run, 4), 'm');
            break;
        case 'y':
            field = run >= 3 ? "yyyy" : "yy";
            break;
        case 'h':
        case 'H':
            field = std::string(std::min<size_t>(run, 2), 'h');
            break;
        case 'm':
            field = std::string(std::min<size_t>(run, 2), 'n');
            break;
        case 's':
            field = std::string(std::min<size_t>(run, 2), 's');
            break;
        case 'A':
        case 'a':
            run = i + 1 < p.size() && std::tolower(static_cast<unsigned char>(p[i + 1])) == 'p' ? 2 : 1;
            field = c == 'A' ? "AM/PM" : "am/pm";
            break;
        case 'z': // milliseconds: the layer's times have none
            text += std::string(run >= 3 ? 3 : 1, '0');
            i += run;
            continue;
        case 't': // a time zone: a time of day has none
            i += run;
            continue;
        case '\'': {
            // 'text' is literal, '' a quote
            if (i + 1 < p.size() && p[i + 1] == '\'') {
                text += '\'';
                i += 2;
                continue;
            }
            size_t j = i + 1;
            for (; j < p.size(); ++j) {
                if (p[j] != '\'') {
                    text += p[j];
                } else if (j + 1 < p.size() && p[j + 1] == '\'') {
                    text += '\'';
                    ++j;
                } else
                    break;
            }
            i = j + 1;
            continue;
        }
        default:
            text += p.substr(i, run);
            i += run;
            continue;
        }
        out += literal(text) + field;
        text.clear();
        i += run;
    }
    return out + literal(text);
}

std::string folded(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::string namedFormatPattern(const std::string& name) {
    std::string n = folded(name);
    if (n == "short date") return fromQtPattern(runtime::shortDatePattern());
    if (n == "long date") return fromQtPattern(runtime::longDatePattern());
    if (n == "long time") return fromQtPattern(runtime::longTimePattern());
    if (n == "medium date") return "dd-mmm-yy";
    if (n == "short time") return "hh:nn";
    if (n == "general date") {
        std::string day = fromQtPattern(runtime::shortDatePattern());
        std::string time = fromQtPattern(runtime::longTimePattern());
        return day + " " + time + ";" + day + ";" + time;
    }
    return "";
}

} // namespace dao
