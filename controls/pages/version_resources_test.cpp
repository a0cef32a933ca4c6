// The version resources Windows shows in a file's properties and setups compare: both controls
// carry the product's version; the page library keeps its own major version (its name's 5) and
// otherwise follows the product.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dorvane_version.h"

namespace {

struct Versions {
    DWORD fileMS = 0, fileLS = 0, productMS = 0, productLS = 0;
    std::string fileText, productText;
};

std::string stringValue(const std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return "(none)";
    return std::string(value);
}

Versions read(const char* file) {
    Versions v;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    if (size == 0) {
        ADD_FAILURE() << file << " has no version resource";
        return v;
    }
    std::vector<char> block(size);
    EXPECT_TRUE(GetFileVersionInfoA(file, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    if (fixed) {
        v.fileMS = fixed->dwFileVersionMS, v.fileLS = fixed->dwFileVersionLS;
        v.productMS = fixed->dwProductVersionMS, v.productLS = fixed->dwProductVersionLS;
    }
    v.fileText = stringValue(block, "FileVersion");
    v.productText = stringValue(block, "ProductVersion");
    return v;
}

constexpr DWORD kProductMS = MAKELONG(DORVANE_VERSION_MINOR, DORVANE_VERSION_MAJOR);
constexpr DWORD kProductLS = MAKELONG(0, DORVANE_VERSION_PATCH);

} // namespace

TEST(VersionResources, ControlsCarryTheProductVersion) {
    for (const char* control : {VXTIME_OCX, VXFRAME_OCX}) {
        SCOPED_TRACE(control);
        Versions v = read(control);
        EXPECT_EQ(v.fileMS, kProductMS);
        EXPECT_EQ(v.fileLS, kProductLS);
        EXPECT_EQ(v.productMS, kProductMS);
        EXPECT_EQ(v.productLS, kProductLS);
        EXPECT_EQ(v.fileText, DORVANE_VERSION);
        EXPECT_EQ(v.productText, DORVANE_VERSION);
    }
}

TEST(VersionResources, PageLibraryKeepsItsMajorVersion) {
    Versions v = read(VXPPG5_DLL);
    EXPECT_EQ(HIWORD(v.fileMS), 5);
    EXPECT_EQ(LOWORD(v.fileMS), DORVANE_VERSION_MINOR);
    EXPECT_EQ(v.fileLS, kProductLS);
    EXPECT_EQ(v.fileText, VXPPG5_FILE_VERSION);
    EXPECT_EQ(v.productMS, kProductMS);
    EXPECT_EQ(v.productText, DORVANE_VERSION);
}
