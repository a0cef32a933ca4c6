// vxframe.ocx as an in-process server: registration in this test's Wine prefix, the class object,
// aggregation and the server lock count.
#include <gtest/gtest.h>

#include <string>

#include "test_container.h"
#include "vxframe3d.h"

namespace {

const char kClassKey[] = "CLSID\\{D488DC40-897F-101D-836D-BE0683BCA07A}";
const char kGeneralPageKey[] = "CLSID\\{06DD0840-F22E-11CF-8BC6-80C04FD36A55}";
const char kTypeLibKey[] = "TypeLib\\{D488DC43-897F-101D-836D-BE0683BCA07A}";
const CLSID kFramePage = {0x06DD0841, 0xF22F, 0x11DF, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};

bool keyExists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string value(const std::string& key, const char* name = nullptr) {
    char data[1024] = {};
    LONG size = sizeof data;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<missing key>";
    DWORD type = 0, bytes = sizeof data;
    LONG result = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    RegCloseKey(handle);
    (void)size;
    if (result != ERROR_SUCCESS) return "<missing value>";
    return type == REG_SZ ? std::string(data) : "<not a string>";
}

int subkeyCount(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return -1;
    DWORD count = 0;
    RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(handle);
    return static_cast<int>(count);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class VxFrameServer : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ASSERT_TRUE(library_.loaded());
    }
    void TearDown() override { OleUninitialize(); }
    vxtest::ControlLibrary library_{VXFRAME_OCX};
};

// An outer object that only counts what reaches it through delegation.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        ++queries;
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    int queries = 0;
};

TEST_F(VxFrameServer, RegistersOneCleanTreeAndUnregistersIt) {
    ASSERT_EQ(library_.registerServer(), S_OK);
    // Leftovers from an older registration vanish with the next one.
    HKEY stray;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, (std::string(kClassKey) + "\\Stray\\Deep").c_str(), &stray),
              ERROR_SUCCESS);
    RegCloseKey(stray);
    ASSERT_EQ(library_.registerServer(), S_OK);
    EXPECT_FALSE(keyExists(std::string(kClassKey) + "\\Stray"));

    const std::string key = kClassKey;
    EXPECT_EQ(value(key), "VxFrame3DCtrl Object");
    EXPECT_TRUE(endsWith(value(key + "\\InprocServer32"), "\\vxframe.ocx"))
        << value(key + "\\InprocServer32");
    EXPECT_EQ(value(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(value(key + "\\VersionIndependentProgID"), "VxFrame3D.VxFrame3DCtrl");
    EXPECT_EQ(value(key + "\\ProgID"), "VxFrame3D.VxFrame3DCtrl.1");
    EXPECT_EQ(value(key + "\\TypeLib"), "{D488DC43-897F-101D-836D-BE0683BCA07A}");
    EXPECT_TRUE(keyExists(key + "\\Control"));
    EXPECT_EQ(value(key + "\\MiscStatus"), "0");
    EXPECT_EQ(value(key + "\\MiscStatus\\1"), "205201");
    EXPECT_EQ(value(key + "\\ToolboxBitmap32"), value(key + "\\InprocServer32") + ", 1");
    EXPECT_EQ(value(key + "\\Version"), "1.0");
    EXPECT_EQ(value("VxFrame3D.VxFrame3DCtrl"), "VxFrame3DCtrl Object");
    EXPECT_EQ(value("VxFrame3D.VxFrame3DCtrl\\CLSID"), "{D488DC40-897F-101D-836D-BE0683BCA07A}");
    EXPECT_EQ(value("VxFrame3D.VxFrame3DCtrl\\CurVer"), "VxFrame3D.VxFrame3DCtrl.1");
    EXPECT_EQ(value("VxFrame3D.VxFrame3DCtrl.1"), "VxFrame3DCtrl Object");
    EXPECT_EQ(value("VxFrame3D.VxFrame3DCtrl.1\\CLSID"), "{D488DC40-897F-101D-836D-BE0683BCA07A}");
    EXPECT_TRUE(keyExists(kTypeLibKey));

    // Safe for scripting, safe for initializing, control, simple frame; the frame also requires it.
    EXPECT_EQ(subkeyCount(key + "\\Implemented Categories"), 4);
    EXPECT_TRUE(keyExists(key + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_TRUE(keyExists(key + "\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_TRUE(keyExists(key + "\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"));
    EXPECT_TRUE(keyExists(key + "\\Required Categories\\{D40C2700-FFA1-11CF-8234-00AA00C1AB85}"));
    EXPECT_FALSE(value("Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "411").empty());

    // Each page is an apartment-threaded class of the same library, with nothing else.
    EXPECT_EQ(value(kGeneralPageKey), "VxFrame3D General Propery Page Object");
    EXPECT_EQ(value(std::string(kGeneralPageKey) + "\\InprocServer32"), value(key + "\\InprocServer32"));
    EXPECT_EQ(value(std::string(kGeneralPageKey) + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_FALSE(keyExists(std::string(kGeneralPageKey) + "\\ProgID"));

    // The registered class is what a script host reaches by name.
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"VxFrame3D.VxFrame3DCtrl", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_VxFrame3D));
    IDispatch* created = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&created)),
              S_OK);
    created->Release();

    ASSERT_EQ(library_.unregisterServer(), S_OK);
    EXPECT_FALSE(keyExists(kClassKey));
    EXPECT_FALSE(keyExists(kGeneralPageKey));
    EXPECT_FALSE(keyExists("VxFrame3D.VxFrame3DCtrl"));
    EXPECT_FALSE(keyExists("VxFrame3D.VxFrame3DCtrl.1"));
    EXPECT_FALSE(keyExists(kTypeLibKey));
}

TEST_F(VxFrameServer, ClassObjectServesTheControlAndItsPages) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(library_.getClassObject(CLSID_VxFrame3D, IID_IClassFactory, nullptr), E_INVALIDARG);
    EXPECT_EQ(library_.getClassObject(IID_IVxFrame3D, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    IDispatch* wrong = nullptr;
    EXPECT_EQ(library_.getClassObject(CLSID_VxFrame3D, IID_IDispatch, reinterpret_cast<void**>(&wrong)),
              E_NOINTERFACE);
    EXPECT_EQ(wrong, nullptr);

    ASSERT_EQ(library_.getClassObject(CLSID_VxFrame3D, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_INVALIDARG);
    IVxFrame3D* frame = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVxFrame3D, reinterpret_cast<void**>(&frame)), S_OK);
    EXPECT_EQ(library_.canUnloadNow(), S_FALSE);
    frame->Release();
    EXPECT_EQ(library_.canUnloadNow(), S_OK);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(library_.canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(library_.canUnloadNow(), S_OK);
    factory->Release();

    // A page's class object makes pages through the page library beside the control library.
    // (The page-data record names the parking window, which from then on holds the server.)
    ASSERT_EQ(library_.getClassObject(kFramePage, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    PROPPAGEINFO info = {};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"3D Frame");
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    page->Release();
    factory->Release();
}

TEST_F(VxFrameServer, AggregationHandsOutOnlyTheInnerUnknown) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(library_.getClassObject(CLSID_VxFrame3D, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    Outer outer;
    IUnknown* inner = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, reinterpret_cast<void**>(&inner)), E_INVALIDARG);
    EXPECT_EQ(inner, nullptr);
    EXPECT_EQ(library_.canUnloadNow(), S_OK); // the refused object is gone again

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    IOleObject* object = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
    // Queries on any interface but the inner unknown go to the outer object.
    IUnknown* through = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&through)), E_NOINTERFACE);
    EXPECT_EQ(outer.queries, 1);
    object->Release();
    inner->Release();
    EXPECT_EQ(library_.canUnloadNow(), S_OK);
    factory->Release();
}

// Must stay last: once made, the parking window lives as long as the library.
TEST_F(VxFrameServer, ParkingWindowKeepsTheServerLoaded) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(library_.getClassObject(CLSID_VxFrame3D, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    {
        vxtest::Container container(DIID_DVxFrame3DEvents);
        ASSERT_EQ(container.create(factory), S_OK);
        ASSERT_EQ(container.activate(RECT{10, 10, 110, 60}), S_OK);
        HWND window = container.controlWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(container.deactivate(), S_OK);
        char className[64] = {};
        GetClassNameA(GetParent(window), className, sizeof className);
        EXPECT_STREQ(className, "CtlFrameWork_Parking");
        EXPECT_FALSE(IsWindowVisible(window));
        container.destroy();
    }
    factory->Release();
    EXPECT_EQ(library_.canUnloadNow(), S_FALSE);
}

} // namespace
