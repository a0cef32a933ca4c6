// VxFrame3D hosted in the test container: defaults from the site, property rules and
// announcements, drawing through the view, events from window messages, AutoSize.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ole_extras.h"
#include "test_container.h"
#include "vxframe3d.h"

namespace {

const HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);
using framework::ICategorizeProperties;
const IID kICategorizeProperties = framework::IID_ICategorizeProperties;

class FrameControl : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ASSERT_TRUE(library_.loaded());
        ASSERT_EQ(
            library_.getClassObject(CLSID_VxFrame3D, IID_IClassFactory, reinterpret_cast<void**>(&factory_)),
            S_OK);
    }
    void TearDown() override {
        if (factory_) factory_->Release();
        OleUninitialize();
    }
    std::unique_ptr<vxtest::Container> host(vxtest::Ambients ambients = vxtest::Ambients()) {
        auto container = std::make_unique<vxtest::Container>(DIID_DVxFrame3DEvents, ambients);
        EXPECT_EQ(container->create(factory_), S_OK);
        return container;
    }

    vxtest::ControlLibrary library_{VXFRAME_OCX};
    IClassFactory* factory_ = nullptr;
};

std::wstring getString(vxtest::Container& container, const wchar_t* name) {
    VARIANT value;
    if (FAILED(container.get(name, &value)) || V_VT(&value) != VT_BSTR) return L"<error>";
    std::wstring text(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    VariantClear(&value);
    return text;
}

HRESULT putString(vxtest::Container& container, const wchar_t* name, const wchar_t* text) {
    VARIANT value;
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    HRESULT hr = container.put(name, value);
    VariantClear(&value);
    return hr;
}

// Draws the control through its view into a top-down 32-bit bitmap.
class ViewCapture {
public:
    ViewCapture(IUnknown* control, int width, int height) : width_(width) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        IViewObject* view = nullptr;
        control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
        RECTL bounds = {0, 0, width, height};
        result =
            view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc_, &bounds, nullptr, nullptr, 0);
        view->Release();
        GdiFlush();
    }
    ~ViewCapture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF at(int x, int y) const {
        DWORD pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    HRESULT result;

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* bits_ = nullptr;
};

TEST_F(FrameControl, NewFrameTakesItsDefaultsFromTheSite) {
    auto frame = host();
    EXPECT_EQ(frame->getLong(L"BackColor"), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(frame->getLong(L"ShadowBaseColor"), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(frame->getLong(L"ForeColor"), RGB(0x40, 0x50, 0x60));
    EXPECT_EQ(getString(*frame, L"Caption"), L"Frame1");
    EXPECT_EQ(getString(*frame, L"_Caption"), L"Frame1");
    EXPECT_EQ(frame->getLong(L"AlignHorizontal"), 2);
    EXPECT_EQ(frame->getLong(L"AlignVertical"), 2);
    EXPECT_EQ(frame->getLong(L"AutoSize"), 0);
    EXPECT_EQ(frame->getLong(L"Bevel"), 1);
    EXPECT_EQ(frame->getLong(L"BevelLight"), 25);
    EXPECT_EQ(frame->getLong(L"BevelShade"), -25);
    EXPECT_EQ(frame->getLong(L"LightSource"), 0);
    EXPECT_EQ(frame->getLong(L"OutLine"), 1);
    EXPECT_EQ(frame->getLong(L"ShadowDarkness"), 160);
    EXPECT_EQ(frame->getLong(L"ShadowWidth"), 0);
    EXPECT_EQ(frame->getLong(L"MarginLeft"), 1);
    EXPECT_EQ(frame->getLong(L"Enabled"), -1);
    EXPECT_EQ(frame->getLong(L"MousePointer"), 0);

    vxtest::Ambients none;
    none.present = false;
    auto bare = host(none);
    EXPECT_EQ(static_cast<DWORD>(bare->getLong(L"BackColor")), 0x80000005u);
    EXPECT_EQ(static_cast<DWORD>(bare->getLong(L"ForeColor")), 0x80000008u);
    EXPECT_EQ(getString(*bare, L"Caption"), L"");
}

TEST_F(FrameControl, RefusedValuesKeepTheOldValueAndAnnounceNothing) {
    auto frame = host();
    frame->clearChanges();
    struct Case {
        const wchar_t* name;
        long value;
    };
    const Case refused[] = {{L"Bevel", 31},           {L"Bevel", -31},        {L"ShadowWidth", 31},
                            {L"ShadowDarkness", 256}, {L"MarginLeft", 31},    {L"MarginTop", -1},
                            {L"MarginRight", 31},     {L"MarginBottom", -1},  {L"BevelLight", 101},
                            {L"BevelShade", -101},    {L"LightSource", 4},    {L"OutLine", 3},
                            {L"AutoSize", 2},         {L"AlignVertical", -1}, {L"MousePointer", 16}};
    for (const Case& c : refused) {
        long before = frame->getLong(c.name);
        EXPECT_EQ(frame->putLong(c.name, c.value), kInvalidPropertyValue) << c.name;
        EXPECT_EQ(frame->lastErrorText(), L"Invalid property value") << c.name;
        EXPECT_EQ(frame->getLong(c.name), before) << c.name;
    }
    EXPECT_TRUE(frame->changes().empty());

    EXPECT_EQ(frame->putLong(L"Bevel", -30), S_OK);
    EXPECT_EQ(frame->putLong(L"ShadowWidth", 30), S_OK);
    EXPECT_EQ(frame->putLong(L"ShadowDarkness", 255), S_OK);
    EXPECT_EQ(frame->putLong(L"MarginLeft", 0), S_OK);
    EXPECT_EQ(frame->putLong(L"MousePointer", 99), S_OK);
    EXPECT_EQ(frame->getLong(L"Bevel"), -30);
}

TEST_F(FrameControl, AcceptedChangesAreAnnouncedWithTheirDispids) {
    auto frame = host();
    frame->clearChanges();
    frame->putLong(L"AlignHorizontal", 0);
    frame->putLong(L"AlignVertical", 1);
    frame->putLong(L"AutoSize", 1);
    frame->putLong(L"Bevel", 2);
    frame->putLong(L"BevelLight", 10);
    frame->putLong(L"BevelShade", -10);
    frame->putLong(L"LightSource", 3);
    frame->putLong(L"OutLine", 2);
    frame->putLong(L"ShadowDarkness", 100);
    frame->putLong(L"ShadowWidth", 3);
    frame->putLong(L"MarginLeft", 2);
    frame->putLong(L"MarginTop", 2);
    frame->putLong(L"MarginRight", 2);
    frame->putLong(L"MarginBottom", 2);
    frame->putLong(L"ShadowBaseColor", 0xFF);
    frame->putLong(L"BackColor", 0xFF00);
    frame->putLong(L"ForeColor", 0xFF0000);
    putString(*frame, L"Caption", L"Shipping");
    putString(*frame, L"_Caption", L"Receiving");
    VARIANT off;
    V_VT(&off) = VT_BOOL;
    V_BOOL(&off) = VARIANT_FALSE;
    frame->put(L"Enabled", off);
    const std::vector<DISPID> expected = {1,
                                          2,
                                          3,
                                          4,
                                          5,
                                          6,
                                          7,
                                          8,
                                          9,
                                          10,
                                          11,
                                          12,
                                          13,
                                          14,
                                          17,
                                          DISPID_BACKCOLOR,
                                          DISPID_FORECOLOR,
                                          DISPID_CAPTION,
                                          DISPID_CAPTION,
                                          DISPID_ENABLED};
    EXPECT_EQ(frame->changes(), expected);
    EXPECT_EQ(getString(*frame, L"Caption"), L"Receiving");
}

TEST_F(FrameControl, ViewDrawsTheFrameIntoAContainersDeviceContext) {
    vxtest::Ambients ambients;
    ambients.backColor = RGB(100, 100, 100);
    auto frame = host(ambients);
    putString(*frame, L"Caption", L"");
    frame->putLong(L"Bevel", -3);
    frame->putLong(L"ShadowBaseColor", RGB(200, 200, 200));
    ViewCapture sunken(frame->control(), 60, 40);
    ASSERT_EQ(sunken.result, S_OK);
    EXPECT_EQ(sunken.at(0, 20), RGB(0, 0, 0));
    EXPECT_EQ(sunken.at(2, 20), RGB(75, 75, 75));
    EXPECT_EQ(sunken.at(57, 20), RGB(125, 125, 125));

    frame->putLong(L"Bevel", 1);
    frame->putLong(L"ShadowWidth", 5);
    frame->putLong(L"LightSource", 2);
    ViewCapture shadowed(frame->control(), 60, 40);
    EXPECT_EQ(shadowed.at(1, 1), RGB(128, 128, 128));
    EXPECT_EQ(shadowed.at(5, 5), RGB(0, 0, 0));
    EXPECT_EQ(shadowed.at(58, 1), RGB(200, 200, 200));

    IViewObject* view = frame->as<IViewObject>(IID_IViewObject);
    EXPECT_EQ(
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0),
        E_INVALIDARG);
    view->Release();
}

TEST_F(FrameControl, WindowMessagesRaiseTheStandardEvents) {
    auto frame = host();
    ASSERT_EQ(frame->activate(RECT{20, 20, 220, 120}), S_OK);
    HWND window = frame->controlWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(frame->getLong(L"hWnd"), static_cast<long>(reinterpret_cast<INT_PTR>(window)));
    frame->clearEvents();

    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 25));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(16, 26));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(16, 26));
    SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(16, 26));
    SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, MAKELPARAM(3, 4));
    SendMessageW(window, WM_RBUTTONUP, MK_CONTROL, MAKELPARAM(3, 4));
    SendMessageW(window, WM_KEYDOWN, 'A', 0);
    SendMessageW(window, WM_CHAR, 'a', 0);
    SendMessageW(window, WM_KEYUP, 'A', 0);

    const auto& events = frame->events();
    ASSERT_EQ(events.size(), 10u);
    EXPECT_EQ(events[0].dispid, DISPID_MOUSEDOWN);
    EXPECT_EQ(events[0].arguments, (std::vector<long>{1, 0, 15, 25}));
    EXPECT_EQ(events[1].dispid, DISPID_MOUSEMOVE);
    EXPECT_EQ(events[1].arguments, (std::vector<long>{1, 1, 16, 26}));
    EXPECT_EQ(events[2].dispid, DISPID_MOUSEUP);
    EXPECT_EQ(events[3].dispid, DISPID_CLICK);
    EXPECT_EQ(events[4].dispid, DISPID_DBLCLICK);
    EXPECT_EQ(events[5].dispid, DISPID_MOUSEDOWN);
    EXPECT_EQ(events[5].arguments, (std::vector<long>{2, 2, 3, 4}));
    EXPECT_EQ(events[6].dispid, DISPID_MOUSEUP); // no Click for the right button
    EXPECT_EQ(events[7].dispid, DISPID_KEYDOWN);
    EXPECT_EQ(events[7].arguments, (std::vector<long>{'A', 0}));
    EXPECT_EQ(events[8].dispid, DISPID_KEYPRESS);
    EXPECT_EQ(events[8].arguments, (std::vector<long>{'a'}));
    EXPECT_EQ(events[9].dispid, DISPID_KEYUP);

    // While the container has events frozen nothing reaches it.
    IOleControl* control = frame->as<IOleControl>(IID_IOleControl);
    control->FreezeEvents(TRUE);
    frame->clearEvents();
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    EXPECT_TRUE(frame->events().empty());
    control->FreezeEvents(FALSE);
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(frame->events().size(), 2u);
    control->Release();

    // At run time Enabled also switches the window.
    VARIANT off;
    V_VT(&off) = VT_BOOL;
    V_BOOL(&off) = VARIANT_FALSE;
    frame->put(L"Enabled", off);
    EXPECT_FALSE(IsWindowEnabled(window));
}

TEST_F(FrameControl, ReflectorWindowStandsInForContainersThatDoNotReflect) {
    auto plain = host();
    ASSERT_EQ(plain->activate(RECT{5, 6, 105, 56}), S_OK);
    HWND parent = GetParent(plain->controlWindow());
    char className[64] = {};
    GetClassNameA(parent, className, sizeof className);
    EXPECT_STREQ(className, "CtlFrameWork_ReflectWindow");
    EXPECT_EQ(GetParent(parent), plain->form());
    RECT rect;
    GetWindowRect(parent, &rect);
    MapWindowPoints(nullptr, plain->form(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.bottom, 56);
    GetClassNameA(plain->controlWindow(), className, sizeof className);
    EXPECT_STREQ(className, "VxFrame3DWndClass");
    // The reflector is seen only while the control is: hidden by the verb or by the container.
    EXPECT_TRUE(IsWindowVisible(parent));
    IOleObject* object = plain->as<IOleObject>(IID_IOleObject);
    EXPECT_EQ(object->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, 0, plain->form(), nullptr), S_OK);
    EXPECT_FALSE(IsWindowVisible(parent));
    EXPECT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, plain->form(), nullptr), S_OK);
    EXPECT_TRUE(IsWindowVisible(parent));
    EXPECT_TRUE(IsWindowVisible(plain->controlWindow()));
    ShowWindow(plain->controlWindow(), SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(parent));
    ShowWindow(plain->controlWindow(), SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(parent));
    // Deactivated and activated again, the window comes back with its reflector.
    plain->deactivate();
    EXPECT_FALSE(IsWindow(parent));
    ASSERT_EQ(plain->activate(RECT{5, 6, 105, 56}), S_OK);
    EXPECT_TRUE(IsWindowVisible(GetParent(plain->controlWindow())));
    object->Release();

    vxtest::Ambients reflecting;
    reflecting.answerMessageReflect = true;
    auto direct = host(reflecting);
    ASSERT_EQ(direct->activate(RECT{5, 6, 105, 56}), S_OK);
    EXPECT_EQ(GetParent(direct->controlWindow()), direct->form());
}

TEST_F(FrameControl, AutoSizeFitsTheFirstChildOrFollowsItsFixedHeight) {
    auto frame = host();
    frame->putLong(L"AutoSize", 1);
    ASSERT_EQ(frame->activate(RECT{0, 0, 200, 100}), S_OK);
    vxtest::ChildControl* child = frame->addChild(RECT{50, 50, 60, 60}, false);
    SendMessageW(frame->controlWindow(), WM_PARENTNOTIFY, WM_CREATE, 0);
    vxtest::pumpMessages();
    // Outline 1, bevel 1 and margins 1: the inner area starts 3 pixels in.
    RECT fitted = frame->childRect(child);
    EXPECT_EQ(fitted.left, 3);
    EXPECT_EQ(fitted.top, 3);
    EXPECT_EQ(fitted.right, 197);
    EXPECT_EQ(fitted.bottom, 97);
    EXPECT_TRUE(frame->positionRequests().empty());

    auto second = host();
    second->putLong(L"AutoSize", 1);
    ASSERT_EQ(second->activate(RECT{0, 0, 200, 100}), S_OK);
    second->addChild(RECT{0, 0, 40, 21}, true);
    InvalidateRect(second->controlWindow(), nullptr, FALSE);
    UpdateWindow(second->controlWindow());
    // The child keeps 21 pixels; the inner area was 94 high, so the frame loses 73.
    ASSERT_FALSE(second->positionRequests().empty());
    EXPECT_EQ(second->positionRequests()[0].bottom, 100 - 73);
    RECT client;
    GetClientRect(second->controlWindow(), &client);
    EXPECT_EQ(client.bottom, 27);
}

TEST_F(FrameControl, BrowsingPagesClassInfoAndQuickActivation) {
    auto frame = host();
    ICategorizeProperties* categories = frame->as<ICategorizeProperties>(kICategorizeProperties);
    ASSERT_NE(categories, nullptr);
    framework::PROPCAT category = 0;
    categories->MapPropertyToCategory(13, &category);
    EXPECT_EQ(category, 1000);
    categories->MapPropertyToCategory(DISPID_ENABLED, &category);
    EXPECT_EQ(category, -6);
    categories->MapPropertyToCategory(17, &category);
    EXPECT_EQ(category, -5);
    categories->MapPropertyToCategory(15, &category);
    EXPECT_EQ(category, -2);
    BSTR name = nullptr;
    ASSERT_EQ(categories->GetCategoryName(1000, 1033, &name), S_OK);
    EXPECT_STREQ(name, L"Margin");
    SysFreeString(name);
    EXPECT_EQ(categories->GetCategoryName(-5, 1033, &name), E_NOTIMPL);
    categories->Release();

    IPerPropertyBrowsing* browsing = frame->as<IPerPropertyBrowsing>(IID_IPerPropertyBrowsing);
    CALPOLESTR strings;
    CADWORD cookies;
    ASSERT_EQ(browsing->GetPredefinedStrings(7, &strings, &cookies), S_OK);
    ASSERT_EQ(strings.cElems, 4u);
    EXPECT_STREQ(strings.pElems[2], L"2 - Lower-Right");
    EXPECT_EQ(cookies.pElems[3], 3u);
    for (ULONG i = 0; i < strings.cElems; ++i)
        CoTaskMemFree(strings.pElems[i]);
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    ASSERT_EQ(browsing->GetPredefinedStrings(15, &strings, &cookies), S_OK);
    EXPECT_EQ(strings.cElems, 17u);
    EXPECT_EQ(cookies.pElems[16], 99u);
    for (ULONG i = 0; i < strings.cElems; ++i)
        CoTaskMemFree(strings.pElems[i]);
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    VARIANT value;
    EXPECT_EQ(browsing->GetPredefinedValue(15, 99, &value), S_OK);
    EXPECT_EQ(V_I4(&value), 99);
    EXPECT_NE(browsing->GetPredefinedValue(15, 100, &value), S_OK);
    frame->putLong(L"MousePointer", 99);
    BSTR display = nullptr;
    ASSERT_EQ(browsing->GetDisplayString(15, &display), S_OK);
    EXPECT_STREQ(display, L"99 - Custom");
    SysFreeString(display);
    frame->putLong(L"OutLine", 2);
    ASSERT_EQ(browsing->GetDisplayString(8, &display), S_OK);
    EXPECT_STREQ(display, L"2 - Special");
    SysFreeString(display);
    browsing->Release();

    ISpecifyPropertyPages* pages = frame->as<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    CAUUID list;
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    EXPECT_EQ(list.cElems, 5u);
    EXPECT_EQ(list.pElems[0].Data1, 0x06DD0840u);
    EXPECT_EQ(list.pElems[4].Data1, 0xF5E40DE2u);
    CoTaskMemFree(list.pElems);
    pages->Release();

    IProvideClassInfo* classInfo = frame->as<IProvideClassInfo>(IID_IProvideClassInfo);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(classInfo->GetClassInfo(&info), S_OK);
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_VxFrame3D));
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    info->ReleaseTypeAttr(attributes);
    info->Release();
    classInfo->Release();
}

TEST_F(FrameControl, QuickActivationConnectsTheContainersSinks) {
    IUnknown* object = nullptr;
    ASSERT_EQ(factory_->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    IQuickActivate* quick = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IQuickActivate, reinterpret_cast<void**>(&quick)), S_OK);
    vxtest::Container donor(DIID_DVxFrame3DEvents); // lends its sinks' identities through a real control
    QACONTAINER container = {};
    container.cbSize = sizeof container;
    QACONTROL control = {};
    control.cbSize = sizeof control;
    ASSERT_EQ(quick->QuickActivate(&container, &control), S_OK);
    EXPECT_EQ(control.dwMiscStatus, 0x32191u);
    EXPECT_EQ(control.dwViewStatus & VIEWSTATUS_OPAQUE, static_cast<DWORD>(VIEWSTATUS_OPAQUE));
    quick->Release();

    IConnectionPointContainer* points = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)), S_OK);
    IEnumConnectionPoints* all = nullptr;
    ASSERT_EQ(points->EnumConnectionPoints(&all), S_OK);
    IConnectionPoint* fetched[3] = {};
    ULONG count = 0;
    EXPECT_EQ(all->Next(3, fetched, &count), S_FALSE);
    EXPECT_EQ(count, 2u);
    for (ULONG i = 0; i < count; ++i)
        fetched[i]->Release();
    all->Release();
    points->Release();
    object->Release();
}

} // namespace
