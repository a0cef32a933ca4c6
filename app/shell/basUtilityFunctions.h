#pragma once
// File-system routines of the shared utility module.
#include <cstdint>
#include <string>

// Creates every missing directory on the way to `path` (a Windows-style path, resolved through
// the path helper; a POSIX path with '/' works the same way). With `isFile` the last component is
// a file name and is not created. Network paths (a double backslash) are left alone. Never fails:
// directory-creation errors are ignored. Always returns 0.
std::int16_t MakeDirectoryPath(const std::string& path, bool isFile = true);
