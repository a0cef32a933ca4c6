// ExpandEnvironmentStringsA: %NAME% references replaced by the environment's values. Names match
// without regard to case, as on Windows; a reference to a variable that is not set stays as written.
#include "winreg.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

extern char** environ;

namespace {

std::optional<std::string> variable(std::string_view name) {
    if (name.empty()) return std::nullopt;
    if (const char* exact = std::getenv(std::string(name).c_str())) return exact;
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        std::size_t eq = entry.find('=');
        if (eq != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < eq && same; ++i)
            same = std::toupper(static_cast<unsigned char>(entry[i])) ==
                   std::toupper(static_cast<unsigned char>(name[i]));
        if (same) return std::string(entry.substr(eq + 1));
    }
    return std::nullopt;
}

std::string expand(std::string_view src) {
    std::string out;
    std::size_t i = 0;
    while (i < src.size()) {
        std::size_t open = src.find('%', i);
        if (open == std::string_view::npos) break;
        out.append(src.substr(i, open - i));
        std::size_t close = src.find('%', open + 1);
        if (close == std::string_view::npos) {
            i = open;
            break;
        }
        if (auto value = variable(src.substr(open + 1, close - open - 1))) {
            out += *value;
            i = close + 1;
        } else {
            // Not a variable: keep "%NAME" and let the closing "%" start the next reference.
            out.append(src.substr(open, close - open));
            i = close;
        }
    }
    if (i < src.size()) out.append(src.substr(i));
    return out;
}

} // namespace

DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
    if (!lpSrc) return 0;
    std::string result = expand(lpSrc);
    DWORD needed = DWORD(result.size() + 1);
    if (lpDst && nSize >= needed) std::memcpy(lpDst, result.c_str(), needed);
    return needed;
}
