// DllRegisterServer / DllUnregisterServer: the class keys, ProgIDs, the type library and the
// component categories of every entry of the library's object table.
#include <comcat.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "object_table.h"
#include "server.h"

namespace framework {

namespace {

const CATID kCatSafeForScripting = {
    0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
const CATID kCatSafeForInitializing = {
    0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
const CATID kCatControl = {0x40FC6ED4, 0x2438, 0x11CF, {0xA3, 0xDB, 0x08, 0x00, 0x36, 0xF1, 0x25, 0x02}};
const CATID kCatSimpleFrame = {0xD40C2700, 0xFFA1, 0x11CF, {0x82, 0x34, 0x00, 0xAA, 0x00, 0xC1, 0xAB, 0x85}};
const CLSID kCategoryManager = {0x0002E005, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kICatRegister = {0x0002E012, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const LCID kCategoryLocale = 1041;

struct CategoryText {
    const CATID* id;
    const char* description;
};
const CategoryText kControlCategories[] = {
    {&kCatSafeForScripting, "Controls that are safely scriptable"},
    {&kCatSafeForInitializing, "Controls safely initializable from persistent data"},
    {&kCatControl, "Control"},
};

std::string braced(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                  guid.Data4[7]);
    return text;
}

// Creates HKCR\<key> and sets one string value (the default one when name is null).
bool setString(const std::string& key, const char* name, const std::string& value) {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool createEmptyKey(const std::string& key) {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

void deleteTree(const std::string& key) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
}

std::string classKey(const CLSID& clsid) {
    return "CLSID\\" + braced(clsid);
}

std::string objectTitle(const char* objectName) {
    return std::string(objectName) + " Object";
}

std::string progId(const char* objectName) {
    return std::string(libraryName()) + "." + objectName;
}

std::string versionedProgId(const char* objectName, DWORD version) {
    return progId(objectName) + "." + std::to_string(version);
}

// Steps 1 and 2: every entry kind gets a fresh class key with its in-process server.
bool registerClassKey(const CLSID& clsid, const char* objectName) {
    const std::string key = classKey(clsid);
    deleteTree(key);
    return setString(key, nullptr, objectTitle(objectName)) &&
           setString(key + "\\InprocServer32", nullptr, modulePath()) &&
           setString(key + "\\InprocServer32", "ThreadingModel", "Apartment");
}

// Steps 3 to 5: ProgIDs and the class key's pointers back to them and to the type library.
bool registerAutomation(const CLSID& clsid, const char* objectName, DWORD version) {
    const std::string key = classKey(clsid);
    const std::string title = objectTitle(objectName);
    const std::string independent = progId(objectName);
    const std::string versioned = versionedProgId(objectName, version);
    return setString(independent, nullptr, title) &&
           setString(independent + "\\CLSID", nullptr, braced(clsid)) &&
           setString(independent + "\\CurVer", nullptr, versioned) && setString(versioned, nullptr, title) &&
           setString(versioned + "\\CLSID", nullptr, braced(clsid)) &&
           setString(key + "\\VersionIndependentProgID", nullptr, independent) &&
           setString(key + "\\ProgID", nullptr, versioned) &&
           setString(key + "\\TypeLib", nullptr, braced(typeLibraryId()));
}

// Step 6: what a container's toolbox needs to know about a control.
bool registerControlKeys(const ControlDescription& control) {
    const std::string key = classKey(*control.clsid);
    char number[64];
    if (!createEmptyKey(key + "\\Control")) return false;
    if (!setString(key + "\\MiscStatus", nullptr, "0")) return false;
    std::snprintf(number, sizeof number, "%d", static_cast<int>(control.miscStatus));
    if (!setString(key + "\\MiscStatus\\1", nullptr, number)) return false;
    std::snprintf(number, sizeof number, ", %d", control.toolboxBitmapId);
    if (!setString(key + "\\ToolboxBitmap32", nullptr, modulePath() + number)) return false;
    std::snprintf(number, sizeof number, "%ld.0", static_cast<long>(control.version));
    return setString(key + "\\Version", nullptr, number);
}

void registerEntry(const ObjectTableEntry& entry) {
    if (entry.kind == kPropertyPage) {
        const auto* page = static_cast<const PageDescription*>(entry.description);
        registerClassKey(*page->clsid, page->objectName);
        return;
    }
    const auto* object = static_cast<const ControlDescription*>(entry.description);
    if (!registerClassKey(*object->clsid, object->objectName)) return;
    if (entry.kind == kPlainObject) return;
    if (!registerAutomation(*object->clsid, object->objectName, object->version)) return;
    if (entry.kind == kControl) registerControlKeys(*object);
}

void unregisterEntry(const ObjectTableEntry& entry) {
    const auto* object = static_cast<const ControlDescription*>(entry.description);
    deleteTree(classKey(*object->clsid));
    if (entry.kind == kPlainObject || entry.kind == kPropertyPage) return;
    deleteTree(progId(object->objectName));
    deleteTree(versionedProgId(object->objectName, object->version));
}

HRESULT registerTypeLibrary() {
    std::string path = modulePath();
    std::wstring widePath(path.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath.data(), static_cast<int>(widePath.size()));
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(library, widePath.data(), nullptr);
    library->Release();
    return hr;
}

void unregisterTypeLibrary() {
    // The system's own unregistration also removes the interface keys the library added.
    UnRegisterTypeLib(typeLibraryId(), 1, 0, 1033, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    deleteTree("TypeLib\\" + braced(typeLibraryId()));
}

ICatRegister* categoryManager() {
    ICatRegister* manager = nullptr;
    if (FAILED(CoCreateInstance(kCategoryManager, nullptr, CLSCTX_INPROC_SERVER, kICatRegister,
                                reinterpret_cast<void**>(&manager))))
        return nullptr;
    return manager;
}

void describeCategories(ICatRegister* manager) {
    for (const CategoryText& category : kControlCategories) {
        CATEGORYINFO info = {};
        info.catid = *category.id;
        info.lcid = kCategoryLocale;
        MultiByteToWideChar(CP_ACP, 0, category.description, -1, info.szDescription, 127);
        info.szDescription[127] = L'\0';
        manager->RegisterCategories(1, &info);
    }
}

void registerCategories() {
    ICatRegister* manager = categoryManager();
    if (!manager) return;
    describeCategories(manager);
    for (ObjectTableEntry* entry = objectTable(); entry->kind != kEndOfTable; ++entry) {
        if (entry->kind != kControl) continue;
        auto* control = static_cast<ControlDescription*>(entry->description);
        CATID implemented[3] = {kCatSafeForScripting, kCatSafeForInitializing, kCatControl};
        manager->RegisterClassImplCategories(*control->clsid, 3, implemented);
        if (control->miscStatus & OLEMISC_SIMPLEFRAME) {
            CATID simpleFrame = kCatSimpleFrame;
            manager->RegisterClassImplCategories(*control->clsid, 1, &simpleFrame);
            manager->RegisterClassReqCategories(*control->clsid, 1, &simpleFrame);
        }
    }
    manager->Release();
}

void unregisterCategories() {
    ICatRegister* manager = categoryManager();
    if (!manager) return;
    for (ObjectTableEntry* entry = objectTable(); entry->kind != kEndOfTable; ++entry) {
        if (entry->kind != kControl) continue;
        auto* control = static_cast<ControlDescription*>(entry->description);
        CATID implemented[4] = {kCatSafeForScripting, kCatSafeForInitializing, kCatControl, kCatSimpleFrame};
        bool simpleFrame = control->miscStatus & OLEMISC_SIMPLEFRAME;
        manager->UnRegisterClassImplCategories(*control->clsid, simpleFrame ? 4 : 3, implemented);
        if (simpleFrame) manager->UnRegisterClassReqCategories(*control->clsid, 1, &implemented[3]);
    }
    manager->Release();
}

} // namespace

} // namespace framework

using namespace framework;

extern "C" HRESULT WINAPI DllRegisterServer() {
    for (ObjectTableEntry* entry = objectTable(); entry->kind != kEndOfTable; ++entry)
        registerEntry(*entry);
    HRESULT hr = registerTypeLibrary();
    if (FAILED(hr)) return hr;
    registerCategories();
    return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    unregisterCategories();
    for (ObjectTableEntry* entry = objectTable(); entry->kind != kEndOfTable; ++entry)
        unregisterEntry(*entry);
    unregisterTypeLibrary();
    return S_OK;
}
