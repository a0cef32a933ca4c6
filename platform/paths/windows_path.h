#pragma once
// Windows-style paths the program and its stored settings use (C:\NETDATA\PRODUCTN\REPORTS.MDB)
// resolved to this machine's files: a drive letter is a folder under
// $XDG_DATA_HOME/dorvane/drives/<letter>/ (fallback ~/.local/share), a network share a folder under
// .../dorvane/unc/<server>/<share>/, backslashes become slashes, and each component matches an
// existing entry case-insensitively, as the program expects of its file system. ".." stops at the
// drive root (or the share), as on Windows. A relative path ("rel\dir\file.db") or a POSIX folder
// joined with a Windows tail ("/opt/dorvane\shipping report.rpt") gets its backslashes converted
// and its Windows part matched the same way. POSIX paths without a backslash pass through unchanged.
#include <string>

namespace paths {

std::string resolve(const std::string& path);

// The folder that stands for drive letter `drive` (created on first use: a drive root always exists).
std::string driveRoot(char drive);

} // namespace paths
