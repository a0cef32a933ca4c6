#include "basUtilityFunctions.h"

#include "paths/windows_path.h"

#include <filesystem>

std::int16_t MakeDirectoryPath(const std::string& path, bool isFile) {
    // Windows paths separate with backslashes; a POSIX path of this machine with slashes.
    char separator = path.find('\\') != std::string::npos ? '\\' : '/';
    if (path.find(separator) == std::string::npos || path.find("\\\\") != std::string::npos) return 0;
    std::string parent = path.substr(0, path.rfind(separator));
    // A drive root ("C:") or the file system root ("") exists already.
    if (!parent.empty() && parent.back() != ':') MakeDirectoryPath(parent, false);
    if (!isFile) {
        std::error_code ignored;
        std::filesystem::create_directory(paths::resolve(path), ignored);
    }
    return 0;
}
