#include "page_library.h"

#include <string>

#include "object_table.h"
#include "server.h"
#include "strings.h"

namespace framework {

namespace {

HMODULE g_pageLibrary = nullptr;
FARPROC g_setPageData = nullptr;

// What the page library receives for each page it creates (40 bytes).
struct PageData {
    PageDescription description;
    HWND parkingWindow;
    DWORD pageNumber;
    HMODULE controlLibrary;
};
static_assert(sizeof(void*) != 4 || sizeof(PageData) == 40);

using SetPageDataFunction = void(WINAPI*)(PageData*);
using PageCreateFunction = IUnknown*(WINAPI*)(IUnknown*);

std::string pageLibraryPath() {
    std::string path = modulePath();
    path.erase(path.find_last_of('\\') + 1);
    return path + loadString(kStringPageLibrary) + ".dll";
}

} // namespace

HMODULE pageLibrary() {
    GlobalGuard guard;
    if (!g_pageLibrary) {
        g_pageLibrary = LoadLibraryA(pageLibraryPath().c_str());
        if (g_pageLibrary) g_setPageData = GetProcAddress(g_pageLibrary, "_SetPageData");
    }
    return g_pageLibrary;
}

void freePageLibrary() {
    if (g_pageLibrary) FreeLibrary(g_pageLibrary);
    g_pageLibrary = nullptr;
    g_setPageData = nullptr;
}

IUnknown* createPage(IUnknown* outer, int tableIndex, const char* entryPoint) {
    HMODULE library = pageLibrary();
    if (!library || !g_setPageData) return nullptr;
    auto create =
        reinterpret_cast<PageCreateFunction>(reinterpret_cast<void*>(GetProcAddress(library, entryPoint)));
    if (!create) return nullptr;

    ObjectTableEntry* table = objectTable();
    int pageNumber = 0;
    for (int i = 0; i <= tableIndex; ++i)
        if (table[i].kind == kPropertyPage) ++pageNumber;
    PageData data = {*static_cast<PageDescription*>(table[tableIndex].description), parkingWindow(),
                     static_cast<DWORD>(pageNumber), moduleHandle()};
    reinterpret_cast<SetPageDataFunction>(reinterpret_cast<void*>(g_setPageData))(&data);
    return create(outer);
}

} // namespace framework
