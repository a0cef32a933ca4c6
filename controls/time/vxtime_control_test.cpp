// vxtime.ocx on the framework: registration of its own names, creation, in-place activation and
// drawing, the design-time rules of the edit base, and the time value and formats as an automation
// client sees them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ole_extras.h"
#include "vxtime_test_fixture.h"

namespace {

const HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);
const HRESULT kNotSupportedAtRunTime = static_cast<HRESULT>(0x800A017F);
const char kClassKey[] = "CLSID\\{8B6A7A40-9227-101D-836D-BE0683BCA07A}";

std::string value(const std::string& key) {
    char data[512] = {};
    LONG size = sizeof data;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), data, &size) != ERROR_SUCCESS) return "<missing>";
    return data;
}

using VxTimeControl = vxtimetest::HostedTime;

TEST_F(VxTimeControl, RegistersUnderItsOwnNames) {
    ASSERT_EQ(library_.registerServer(), S_OK);
    const std::string key = kClassKey;
    EXPECT_EQ(value(key), "VxTimeCtrl Object");
    EXPECT_EQ(value(key + "\\ProgID"), "VxTime.VxTimeCtrl.1");
    EXPECT_EQ(value("VxTime.VxTimeCtrl\\CurVer"), "VxTime.VxTimeCtrl.1");
    EXPECT_EQ(value(key + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(value(key + "\\TypeLib"), "{8B6A7A43-9227-101D-836D-BE0683BCA07A}");
    EXPECT_EQ(value("CLSID\\{994FA74B-0657-11D0-AE29-80A02469576C}"), "Picture Propery Page Object");
    EXPECT_EQ(value(key + "\\Required Categories"), "<missing>"); // not a simple frame
    ASSERT_EQ(library_.unregisterServer(), S_OK);
    EXPECT_EQ(value(key), "<missing>");
    EXPECT_EQ(value("VxTime.VxTimeCtrl"), "<missing>");
}

TEST_F(VxTimeControl, ActivatesInPlaceAndDrawsItsField) {
    auto time = host();
    ASSERT_EQ(time->activate(RECT{10, 10, 130, 34}), S_OK);
    HWND window = time->controlWindow();
    ASSERT_NE(window, nullptr);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ(className, "VxTimeWndClass");

    time->putLong(L"BackColor", RGB(1, 2, 3));
    VARIANT blank;
    V_VT(&blank) = VT_BSTR;
    V_BSTR(&blank) = SysAllocString(L" "); // no display text over the background
    ASSERT_EQ(time->put(L"DisplayFormat", blank), S_OK);
    VariantClear(&blank);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    IViewObject* view = time->as<IViewObject>(IID_IViewObject);
    RECTL bounds = {0, 0, 40, 20};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
              S_OK);
    view->Release();
    EXPECT_EQ(GetPixel(dc, 20, 10), RGB(1, 2, 3));
    EXPECT_NE(GetPixel(dc, 0, 0), RGB(1, 2, 3)); // the sunken border
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);

    time->clearEvents();
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 3));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(2, 3));
    ASSERT_EQ(time->events().size(), 3u);
    EXPECT_EQ(time->events()[2].dispid, DISPID_CLICK);
}

TEST_F(VxTimeControl, FrameShapingPropertiesBelongToTheDesigner) {
    auto running = host(true);
    EXPECT_EQ(running->putLong(L"Appearance", 0), kNotSupportedAtRunTime);
    EXPECT_EQ(running->lastErrorText(), L"Property is read-only");
    EXPECT_EQ(running->putLong(L"MarginLeft", 2), kInvalidPropertyValue);
    EXPECT_EQ(running->lastErrorText(), L"Property is read-only");
    EXPECT_EQ(running->getLong(L"MarginLeft"), 1);
    EXPECT_EQ(running->putLong(L"CursorPosition", 5), kInvalidPropertyValue);
    EXPECT_EQ(running->lastErrorText(), L"Invalid property value");
    running->clearChanges();
    EXPECT_EQ(running->putLong(L"CursorPosition", 4), S_OK);
    EXPECT_EQ(running->changes(), std::vector<DISPID>{20});

    auto designing = host(false);
    EXPECT_EQ(designing->putLong(L"MarginLeft", 31), kInvalidPropertyValue);
    EXPECT_EQ(designing->putLong(L"MarginLeft", 30), S_OK);
    EXPECT_EQ(designing->putLong(L"Appearance", 2), kInvalidPropertyValue);
    EXPECT_EQ(designing->putLong(L"BorderStyle", 0), S_OK);

    framework::ICategorizeProperties* categories =
        designing->as<framework::ICategorizeProperties>(framework::IID_ICategorizeProperties);
    framework::PROPCAT category = 0;
    categories->MapPropertyToCategory(13, &category);
    EXPECT_EQ(category, 1000);
    categories->MapPropertyToCategory(36, &category);
    EXPECT_EQ(category, 4002);
    BSTR name = nullptr;
    ASSERT_EQ(categories->GetCategoryName(4002, 1033, &name), S_OK);
    EXPECT_STREQ(name, L"Time");
    SysFreeString(name);
    categories->Release();
}

} // namespace
