// The library's string table (resource strings shared by both control libraries).
#pragma once

#include <windows.h>

#include <string>

namespace framework {

enum StringId : UINT {
    kStringPropertiesVerb = 10,
    kStringPageLibrary = 11,
    kStringGetNotSupported = 20,
    kStringSetNotSupportedAtRunTime = 21,
    kStringGetNotSupportedAtRunTime = 23,
    kStringReadOnly = 24,
    kStringInvalidValue = 63,
};

std::string loadString(UINT id);
std::wstring loadWideString(UINT id);

} // namespace framework
