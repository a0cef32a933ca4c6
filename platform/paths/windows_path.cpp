#include "windows_path.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace paths {
namespace fs = std::filesystem;
namespace {

fs::path dataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "dorvane";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/dorvane";
}

bool sameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Appends one component, taking the spelling of an existing entry that differs only in case.
fs::path appendMatching(const fs::path& base, const std::string& component) {
    std::error_code ec;
    if (component.empty() || component == "." || component == ".." || fs::exists(base / component, ec))
        return base / component;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec))
        if (sameNoCase(it->path().filename().string(), component)) return it->path();
    return base / component;
}

fs::path appendComponents(fs::path base, const std::string& rest) {
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        if (end > start) base = appendMatching(base, rest.substr(start, end - start));
        start = end + 1;
    }
    return base;
}

} // namespace

std::string driveRoot(char drive) {
    fs::path root =
        dataHome() / "drives" / std::string(1, char(std::tolower(static_cast<unsigned char>(drive))));
    std::error_code ec;
    fs::create_directories(root, ec);
    return root.string();
}

std::string resolve(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    bool drive = p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
    bool unc = p.rfind("\\\\", 0) == 0;
    if (!drive && !unc) return path; // a POSIX path, or a relative one: used as written
    if (drive) return appendComponents(fs::path(driveRoot(p[0])), p.substr(2)).string();
    fs::path root = dataHome() / "unc";
    std::error_code ec;
    fs::create_directories(root, ec);
    return appendComponents(root, p.substr(2)).string();
}

} // namespace paths
