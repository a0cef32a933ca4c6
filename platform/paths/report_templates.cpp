#include "report_templates.h"

#include "windows_path.h"

#include <filesystem>
#include <system_error>

namespace paths {
namespace fs = std::filesystem;

std::string templatesFolderFor(const std::string& programFolder, const std::string& sourceFolder) {
    std::error_code ec;
    const fs::path program(programFolder);
    // The share folder is found beside the bin folder, wherever the package was unpacked to.
    const fs::path installed = program.parent_path() / "share" / "dorvane";
    if (program.filename() == "bin" && fs::is_directory(installed, ec)) return installed.string();
    if (!sourceFolder.empty() && fs::is_directory(sourceFolder, ec)) return sourceFolder;
    return programFolder;
}

std::string templatesFolder() {
    std::error_code ec;
    // The program's own file, not argv[0]: it is right however the program was started.
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    return templatesFolderFor(ec ? fs::current_path(ec).string() : program.parent_path().string(),
                              DORVANE_SOURCE_TEMPLATES);
}

std::string templateFile(const std::string& fileName) {
    return resolve(templatesFolder() + "\\" + fileName);
}

} // namespace paths
