#include "strings.h"

#include "server.h"

namespace framework {

std::string loadString(UINT id) {
    char text[512];
    int length = LoadStringA(moduleHandle(), id, text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

std::wstring loadWideString(UINT id) {
    std::string narrow = loadString(id);
    std::wstring wide(narrow.size(), L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(),
                                     static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

} // namespace framework
