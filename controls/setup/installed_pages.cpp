// Opens every property page of both installed controls the way a designer does: the control
// created by its ProgID, its page list asked for, each page created by its class id through the
// registry and shown on a window. Prints one line per page and the file each control was
// registered with; exit code 1 when anything fails.
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <cstdio>

namespace {

int failures = 0;

void fail(const char* what, HRESULT hr) {
    std::printf("FAIL %s (0x%08lX)\n", what, static_cast<unsigned long>(hr));
    ++failures;
}

void printServer(const CLSID& clsid, const char* progId) {
    wchar_t text[64] = {};
    StringFromGUID2(clsid, text, 64);
    char key[128];
    std::snprintf(key, sizeof key, "CLSID\\%ls\\InprocServer32", text);
    char path[MAX_PATH] = {};
    LONG size = sizeof path;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key, path, &size) != ERROR_SUCCESS) {
        fail("no InprocServer32", E_FAIL);
        return;
    }
    std::printf("%s server %s\n", progId, path);
}

void openPages(const wchar_t* progId, HWND window) {
    char name[64];
    std::snprintf(name, sizeof name, "%ls", progId);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return fail(name, hr);
    printServer(clsid, name);
    IUnknown* control = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&control));
    if (FAILED(hr)) return fail(name, hr);
    ISpecifyPropertyPages* specify = nullptr;
    CAUUID pages = {};
    hr = control->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify));
    if (SUCCEEDED(hr)) hr = specify->GetPages(&pages);
    if (FAILED(hr)) fail("page list", hr);
    for (ULONG i = 0; i < pages.cElems; ++i) {
        IPropertyPage* page = nullptr;
        hr = CoCreateInstance(pages.pElems[i], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                              reinterpret_cast<void**>(&page));
        if (FAILED(hr)) {
            fail("page creation", hr);
            continue;
        }
        PROPPAGEINFO info = {sizeof info};
        RECT area = {0, 0, 400, 300};
        hr = page->SetObjects(1, &control);
        if (SUCCEEDED(hr)) hr = page->GetPageInfo(&info);
        if (SUCCEEDED(hr)) hr = page->Activate(window, &area, TRUE);
        if (SUCCEEDED(hr)) {
            std::printf("%s page opened: %ls\n", name, info.pszTitle ? info.pszTitle : L"");
            page->Deactivate();
        } else {
            fail("page", hr);
        }
        CoTaskMemFree(info.pszTitle);
        CoTaskMemFree(info.pszDocString);
        CoTaskMemFree(info.pszHelpFile);
        page->SetObjects(0, nullptr);
        page->Release();
    }
    CoTaskMemFree(pages.pElems);
    if (specify) specify->Release();
    control->Release();
}

} // namespace

int main() {
    OleInitialize(nullptr);
    HWND window = CreateWindowExA(0, "STATIC", "pages", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr, nullptr,
                                  nullptr, nullptr);
    openPages(L"VxTime.VxTimeCtrl", window);
    openPages(L"VxFrame3D.VxFrame3DCtrl", window);
    DestroyWindow(window);
    OleUninitialize();
    return failures ? 1 : 0;
}
