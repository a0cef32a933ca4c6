// VXPPG5.dll, the property-page library of the control libraries: they hand it the page-data
// record of a page through _SetPageData and then call the page's creation entry point.
#include "property_page.h"

namespace pages {

namespace {

HMODULE g_module = nullptr;
CRITICAL_SECTION g_section;
PageSetup g_setup; // the record last handed over, for the creation that follows it

// The page-data record as the control libraries lay it out: the page's description from their
// object table (seven words), the parking window, the page's number, the control library.
struct PageData {
    const CLSID* clsid;
    const char* objectName;
    void* create;
    WORD dialogId;
    WORD titleStringId;
    WORD helpStringId;
    const char* helpFile;
    DWORD helpContext;
    HWND parkingWindow;
    DWORD pageNumber;
    HMODULE controlLibrary;
};
static_assert(sizeof(void*) != 4 || sizeof(PageData) == 40);

// Pages outlive nothing they were given: the record's strings are copied, and this library stays
// loaded once it has made a page, since a page may be released after the control library that
// loaded us has let go of it.
IUnknown* createPage(IUnknown* outer, WORD expectedDialog) {
    PageSetup setup;
    EnterCriticalSection(&g_section);
    setup = g_setup;
    LeaveCriticalSection(&g_section);
    // An entry point called without its record (or with another page's) makes no page.
    if (setup.dialogId != expectedDialog) return nullptr;
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&createPage), &pinned);
    return PropertyPage::create(outer, setup);
}

} // namespace

HMODULE pageModule() {
    return g_module;
}

} // namespace pages

using pages::createPage;

extern "C" {

void WINAPI SetPageData(pages::PageData* data) {
    if (!data) return;
    pages::PageSetup setup;
    setup.dialogId = data->dialogId;
    setup.titleId = data->titleStringId;
    setup.helpId = data->helpStringId;
    setup.helpFile = data->helpFile ? data->helpFile : "";
    setup.helpContext = data->helpContext;
    EnterCriticalSection(&pages::g_section);
    pages::g_setup = setup;
    LeaveCriticalSection(&pages::g_section);
}

IUnknown* WINAPI CreateVxTimeGeneralPage(IUnknown* outer) {
    return createPage(outer, 2200);
}
IUnknown* WINAPI CreateVxTimeFormatPage(IUnknown* outer) {
    return createPage(outer, 2201);
}
IUnknown* WINAPI CreateVxTimeKeysPage(IUnknown* outer) {
    return createPage(outer, 2202);
}
IUnknown* WINAPI CreateVxTime3DPage(IUnknown* outer) {
    return createPage(outer, 2203);
}
IUnknown* WINAPI CreateCaptionPage(IUnknown* outer) {
    return createPage(outer, 2001);
}
IUnknown* WINAPI CreateFontppg(IUnknown* outer) {
    return createPage(outer, 401);
}
IUnknown* WINAPI CreateColorppg(IUnknown* outer) {
    return createPage(outer, 400);
}
IUnknown* WINAPI CreatePictureppg(IUnknown* outer) {
    return createPage(outer, 402);
}
IUnknown* WINAPI CreateVxFrame3DGeneralPage(IUnknown* outer) {
    return createPage(outer, 2101);
}
IUnknown* WINAPI CreateVxFrame3DPage(IUnknown* outer) {
    return createPage(outer, 2100);
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        pages::g_module = module;
        InitializeCriticalSection(&pages::g_section);
        DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH) {
        DeleteCriticalSection(&pages::g_section);
    }
    return TRUE;
}

} // extern "C"
