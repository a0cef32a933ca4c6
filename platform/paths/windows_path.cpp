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
    if (fs::exists(base / component, ec)) return base / component;
    fs::path dir = base.empty() ? fs::path(".") : base;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (sameNoCase(it->path().filename().string(), component)) return base / it->path().filename();
    return base / component;
}

// Walks the components of `rest` (separated by either slash) below `base`. With `floor` set,
// ".." never climbs above it, as Windows keeps ".." inside a drive or a share; without it ".."
// is left for the file system to follow, as in any relative path.
fs::path appendComponents(fs::path base, const std::string& rest, const fs::path* floor) {
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        std::string component = rest.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == ".." && floor) {
            if (base != *floor) base = base.parent_path();
        } else if (component == "..") {
            base /= component;
        } else {
            base = appendMatching(base, component);
        }
    }
    return base;
}

fs::path existingFolder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder;
}

fs::path resolveShare(const std::string& rest) {
    // The server and share names are the root a "..\" cannot leave.
    fs::path root = existingFolder(dataHome() / "unc");
    size_t server = rest.find_first_of("\\/");
    size_t share = server == std::string::npos ? server : rest.find_first_of("\\/", server + 1);
    fs::path shareRoot = appendComponents(root, rest.substr(0, share), nullptr);
    if (share == std::string::npos) return shareRoot;
    return appendComponents(shareRoot, rest.substr(share + 1), &shareRoot);
}

// A path with a backslash that names neither a drive nor a share: a relative Windows path
// ("rel\dir\file.db") or the program folder joined with a file name the Windows way
// ("/opt/dorvane\shipping report.rpt"). What comes before the first backslash is this machine's
// own spelling and stays as written; the Windows part is matched like any other.
fs::path resolveMixed(const std::string& path) {
    size_t firstBackslash = path.find('\\');
    size_t split = path.rfind('/', firstBackslash);
    if (split == std::string::npos) return appendComponents(fs::path(), path, nullptr);
    fs::path prefix = split == 0 ? fs::path("/") : fs::path(path.substr(0, split));
    return appendComponents(prefix, path.substr(split + 1), nullptr);
}

bool isDrivePath(const std::string& p) {
    return p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
}

bool isSharePath(const std::string& p) {
    return p.size() >= 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/');
}

} // namespace

std::string driveRoot(char drive) {
    return existingFolder(dataHome() / "drives" /
                          std::string(1, char(std::tolower(static_cast<unsigned char>(drive)))))
        .string();
}

std::string resolve(const std::string& path) {
    if (isDrivePath(path)) {
        fs::path root(driveRoot(path[0]));
        return appendComponents(root, path.substr(2), &root).string();
    }
    if (isSharePath(path)) return resolveShare(path.substr(2)).string();
    if (path.find('\\') == std::string::npos) return path; // this machine's own path, used as written
    return resolveMixed(path).string();
}

} // namespace paths
