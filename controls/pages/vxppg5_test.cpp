// The property pages of VXPPG5 as containers meet them: created through the control libraries'
// class objects, shown in the property frame a verb opens, reading and applying values through
// the controls' dispatch interfaces; and the frame refused when the page library is missing.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h> // after windows.h, which it needs

#include <string>
#include <vector>

#include "page_resources.h"
#include "test_container.h"
#include "vxframe3d.h"

namespace {

const CLSID kFrameGeneralPage = {
    0x06DD0840, 0xF22E, 0x11CF, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kFrame3DPage = {0x06DD0841, 0xF22F, 0x11DF, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kFontPage = {0xF5E40DE0, 0x0731, 0x11D0, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kColorPage = {0xF5E40DE1, 0x0731, 0x11D0, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kPicturePage = {0xF5E40DE2, 0x0731, 0x11D0, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kTimeControl = {0x8B6A7A40, 0x9227, 0x101D, {0x83, 0x6D, 0xBE, 0x06, 0x83, 0xBC, 0xA0, 0x7A}};
const IID kTimeEvents = {0x8B6A7A42, 0x9227, 0x101D, {0x83, 0x6D, 0xBE, 0x06, 0x83, 0xBC, 0xA0, 0x7A}};
const CLSID kTimeGeneralPage = {0x994FA744, 0x0657, 0x11D0, {0xAE, 0x29, 0x80, 0xA0, 0x24, 0x69, 0x57, 0x6C}};
const CLSID kTimeFormatPage = {0x994FA745, 0x0657, 0x11D0, {0xAE, 0x29, 0x80, 0xA0, 0x24, 0x69, 0x57, 0x6C}};

std::wstring text(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

// Edits a widget the way a user does, so the page hears of it.
void typeInto(HWND dialog, int id, const wchar_t* value) {
    SetWindowTextW(GetDlgItem(dialog, id), value); // an edit box tells its parent itself
}
void pick(HWND dialog, int id, int index) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
void click(HWND dialog, int id) {
    SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}
std::wstring selected(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index < 0) return L"<none>";
    wchar_t buffer[128] = {};
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        InitCommonControls();
        ASSERT_TRUE(frameLibrary_.loaded());
        ASSERT_TRUE(timeLibrary_.loaded());
        ASSERT_EQ(frameLibrary_.getClassObject(CLSID_VxFrame3D, IID_IClassFactory,
                                               reinterpret_cast<void**>(&frameFactory_)),
                  S_OK);
        ASSERT_EQ(timeLibrary_.getClassObject(kTimeControl, IID_IClassFactory,
                                              reinterpret_cast<void**>(&timeFactory_)),
                  S_OK);
    }
    void TearDown() override {
        if (frameFactory_) frameFactory_->Release();
        if (timeFactory_) timeFactory_->Release();
        OleUninitialize();
    }
    IPropertyPage* page(vxtest::ControlLibrary& library, const CLSID& clsid) {
        IClassFactory* factory = nullptr;
        if (FAILED(library.getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
            return nullptr;
        IPropertyPage* result = nullptr;
        factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&result));
        factory->Release();
        return result;
    }
    // The page shown on the form for the hosted control; its dialog is the form's last child.
    HWND show(IPropertyPage* page, vxtest::Container& host) {
        IUnknown* object = host.control();
        EXPECT_EQ(page->SetObjects(1, &object), S_OK);
        RECT area = {0, 0, 400, 300};
        EXPECT_EQ(page->Activate(host.form(), &area, TRUE), S_OK);
        HWND dialog = nullptr;
        for (HWND child = GetWindow(host.form(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (GetDlgItem(child, kField1) || GetDlgItem(child, kChooserProperty)) dialog = child;
        return dialog;
    }
    std::unique_ptr<vxtest::Container> frame() {
        auto host = std::make_unique<vxtest::Container>(DIID_DVxFrame3DEvents);
        EXPECT_EQ(host->create(frameFactory_), S_OK);
        return host;
    }

    vxtest::ControlLibrary frameLibrary_{VXFRAME_OCX};
    vxtest::ControlLibrary timeLibrary_{VXTIME_OCX};
    IClassFactory* frameFactory_ = nullptr;
    IClassFactory* timeFactory_ = nullptr;
};

TEST_F(Pages, EveryPageComesFromTheControlLibraryWithItsTitle) {
    struct Case {
        vxtest::ControlLibrary* library;
        CLSID clsid;
        const wchar_t* title;
    };
    const Case cases[] = {{&frameLibrary_, kFrameGeneralPage, L"General"},
                          {&frameLibrary_, kFrame3DPage, L"3D Frame"},
                          {&frameLibrary_, kFontPage, L"Font"},
                          {&frameLibrary_, kColorPage, L"Color"},
                          {&frameLibrary_, kPicturePage, L"Picture"},
                          {&timeLibrary_, kTimeGeneralPage, L"General"},
                          {&timeLibrary_, kTimeFormatPage, L"Format"}};
    for (const Case& c : cases) {
        IPropertyPage* created = page(*c.library, c.clsid);
        ASSERT_NE(created, nullptr) << std::string(c.title, c.title + lstrlenW(c.title));
        PROPPAGEINFO info = {};
        ASSERT_EQ(created->GetPageInfo(&info), S_OK);
        EXPECT_STREQ(info.pszTitle, c.title);
        EXPECT_GT(info.size.cx, 100);
        EXPECT_GT(info.size.cy, 50);
        CoTaskMemFree(info.pszTitle);
        CoTaskMemFree(info.pszDocString);
        CoTaskMemFree(info.pszHelpFile);
        created->Release();
    }
}

TEST_F(Pages, FramePageShowsAndAppliesValuesAndKeepsRefusedOnes) {
    auto host = frame();
    IPropertyPage* threeD = page(frameLibrary_, kFrame3DPage);
    ASSERT_NE(threeD, nullptr);
    HWND dialog = show(threeD, *host);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text(GetDlgItem(dialog, kField1)), L"1");      // Bevel
    EXPECT_EQ(text(GetDlgItem(dialog, kField3)), L"-25");    // BevelShade
    EXPECT_EQ(selected(dialog, kField4), L"0 - Upper-Left"); // LightSource
    EXPECT_EQ(selected(dialog, kField5), L"1 - Single");     // OutLine
    EXPECT_EQ(threeD->IsPageDirty(), S_FALSE);

    host->clearChanges();
    typeInto(dialog, kField1, L"-3");
    pick(dialog, kField4, 2);
    EXPECT_EQ(threeD->IsPageDirty(), S_OK);
    EXPECT_EQ(host->getLong(L"Bevel"), 1); // nothing reaches the control before Apply
    ASSERT_EQ(threeD->Apply(), S_OK);
    EXPECT_EQ(host->getLong(L"Bevel"), -3);
    EXPECT_EQ(host->getLong(L"LightSource"), 2);
    EXPECT_EQ(host->changes(), (std::vector<DISPID>{4, 7}));
    EXPECT_EQ(threeD->IsPageDirty(), S_FALSE);

    typeInto(dialog, kField7, L"31"); // ShadowWidth out of range
    EXPECT_EQ(threeD->Apply(), static_cast<HRESULT>(0x800A017C));
    EXPECT_EQ(threeD->IsPageDirty(), S_OK);
    EXPECT_EQ(host->getLong(L"ShadowWidth"), 0);
    typeInto(dialog, kField7, L"4");
    EXPECT_EQ(threeD->Apply(), S_OK);
    EXPECT_EQ(host->getLong(L"ShadowWidth"), 4);
    threeD->Deactivate();
    threeD->Release();
}

TEST_F(Pages, GeneralFontColourAndPicturePagesReachTheirProperties) {
    auto host = frame();
    IPropertyPage* general = page(frameLibrary_, kFrameGeneralPage);
    HWND dialog = show(general, *host);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text(GetDlgItem(dialog, kField1)), L"Frame1");
    EXPECT_EQ(selected(dialog, kField5), L"0 - Default");
    EXPECT_EQ(SendDlgItemMessageW(dialog, kField5, CB_GETCOUNT, 0, 0), 17);
    typeInto(dialog, kField1, L"Loading dock");
    pick(dialog, kField5, 16); // 99 - Custom
    click(dialog, kField6);    // Enabled off
    ASSERT_EQ(general->Apply(), S_OK);
    EXPECT_EQ(host->getLong(L"MousePointer"), 99);
    EXPECT_EQ(host->getLong(L"Enabled"), 0);
    VARIANT caption;
    host->get(L"Caption", &caption);
    EXPECT_STREQ(V_BSTR(&caption), L"Loading dock");
    VariantClear(&caption);
    general->Deactivate();
    general->Release();

    IPropertyPage* font = page(frameLibrary_, kFontPage);
    dialog = show(font, *host);
    ASSERT_NE(dialog, nullptr);
    // The font as the system realised it (it may stand another face in for the one asked for).
    VARIANT shown;
    host->get(L"Font", &shown);
    IFont* current = nullptr;
    V_DISPATCH(&shown)->QueryInterface(IID_IFont, reinterpret_cast<void**>(&current));
    BSTR face = nullptr;
    current->get_Name(&face);
    EXPECT_EQ(text(GetDlgItem(dialog, kField1)), std::wstring(face));
    SysFreeString(face);
    current->Release();
    VariantClear(&shown);
    host->clearChanges();
    click(dialog, kField3); // Bold
    typeInto(dialog, kField2, L"14");
    ASSERT_EQ(font->Apply(), S_OK);
    VARIANT bold;
    IDispatch* dispatch = host->as<IDispatch>(IID_IDispatch);
    VARIANT fontValue;
    host->get(L"Font", &fontValue);
    IFont* applied = nullptr;
    V_DISPATCH(&fontValue)->QueryInterface(IID_IFont, reinterpret_cast<void**>(&applied));
    BOOL isBold = FALSE;
    CY size = {};
    applied->get_Bold(&isBold);
    applied->get_Size(&size);
    EXPECT_TRUE(isBold);
    EXPECT_NEAR(static_cast<double>(size.int64), 140000.0, 7500.0); // rounded to the device's pixels
    applied->Release();
    VariantClear(&fontValue);
    dispatch->Release();
    (void)bold;
    EXPECT_FALSE(host->changes().empty());
    EXPECT_EQ(host->changes().back(), DISPID_FONT);
    font->Deactivate();
    font->Release();

    // The colour page offers the properties typed OLE_COLOR in the type library.
    IPropertyPage* color = page(frameLibrary_, kColorPage);
    dialog = show(color, *host);
    ASSERT_NE(dialog, nullptr);
    std::vector<std::wstring> offered;
    HWND chooser = GetDlgItem(dialog, kChooserProperty);
    for (LRESULT i = 0; i < SendMessageW(chooser, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t name[64] = {};
        SendMessageW(chooser, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        offered.push_back(name);
    }
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"BackColor", L"ForeColor", L"ShadowBaseColor"}));
    EXPECT_EQ(text(GetDlgItem(dialog, kColorValue)), L"&H00302010&");
    pick(dialog, kChooserProperty, 2);
    typeInto(dialog, kColorValue, L"&H000000FF&");
    pick(dialog, kChooserProperty, 0);
    SendDlgItemMessageW(dialog, kColorList, LB_SETCURSEL, 9, 0); // Window Text
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kColorList, LBN_SELCHANGE), 0);
    ASSERT_EQ(color->Apply(), S_OK);
    EXPECT_EQ(host->getLong(L"ShadowBaseColor"), 0xFF);
    EXPECT_EQ(static_cast<DWORD>(host->getLong(L"BackColor")), 0x80000008u);
    color->Deactivate();
    color->Release();

    IPropertyPage* picture = page(frameLibrary_, kPicturePage);
    dialog = show(picture, *host);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(selected(dialog, kChooserProperty), L"MouseIcon");
    EXPECT_EQ(text(GetDlgItem(dialog, kPictureState)), L"(None)");
    click(dialog, kPictureClear);
    EXPECT_EQ(picture->Apply(), S_OK);
    picture->Deactivate();
    picture->Release();
}

TEST_F(Pages, TimeControlPagesUseItsOwnValueLists) {
    vxtest::Container host(kTimeEvents);
    ASSERT_EQ(host.create(timeFactory_), S_OK);
    IPropertyPage* general = page(timeLibrary_, kTimeGeneralPage);
    HWND dialog = show(general, host);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(selected(dialog, kField1), L"0 - Left");
    EXPECT_EQ(selected(dialog, kField3), L"0 - Default");
    pick(dialog, kField1, 2);
    ASSERT_EQ(general->Apply(), S_OK);
    EXPECT_EQ(host.getLong(L"AlignHorizontal"), 2);
    general->Deactivate();
    general->Release();

    IPropertyPage* format = page(timeLibrary_, kTimeFormatPage);
    dialog = show(format, host);
    ASSERT_NE(dialog, nullptr);
    typeInto(dialog, kField1, L"hh:mm");
    ASSERT_EQ(format->Apply(), S_OK);
    VARIANT value;
    host.get(L"Format", &value);
    EXPECT_STREQ(V_BSTR(&value), L"hh:mm");
    VariantClear(&value);
    format->Deactivate();
    format->Release();
}

// ---------------------------------------------------------------------------------------------
// The property frame, opened by the verbs

struct FrameWatch {
    std::wstring caption;
    std::vector<std::wstring> tabs;
    bool sawModalState = false;
    std::wstring captionShown;
    const char* shotPath = nullptr;
};
FrameWatch* g_watch = nullptr;
vxtest::Container* g_host = nullptr;

BOOL CALLBACK findField(HWND child, LPARAM found) {
    if (GetDlgCtrlID(child) == kField1 && IsWindowVisible(child)) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findTabs(HWND child, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (lstrcmpiW(name, WC_TABCONTROLW) == 0) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

// Writes the window's pixels from the screen as a BMP file.
void saveShot(HWND window, const char* path) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((width * 3 + 3) / 4) * 4, size = stride * height;
    BITMAPFILEHEADER file = {0x4D42,
                             static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size),
                             0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, &file, sizeof file, &written, nullptr);
    WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
    WriteFile(out, bits, size, &written, nullptr);
    CloseHandle(out);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Runs inside the frame's modal loop: reads what it shows and presses OK. (The frame of the
// system used in the tests never applies its pages; Apply is exercised on the pages directly.)
void CALLBACK onFrameUp(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND frameWindow = GetActiveWindow();
    if (!frameWindow || !g_watch) return;
    KillTimer(nullptr, timer);
    g_watch->caption = text(frameWindow);
    g_watch->sawModalState = !g_host->modelessCalls().empty() && g_host->modelessCalls().back() == false;
    HWND tabs = nullptr;
    EnumChildWindows(frameWindow, findTabs, reinterpret_cast<LPARAM>(&tabs));
    for (int i = 0; tabs && i < TabCtrl_GetItemCount(tabs); ++i) {
        wchar_t name[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = name;
        item.cchTextMax = 64;
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        g_watch->tabs.push_back(name);
    }
    HWND captionField = nullptr;
    EnumChildWindows(frameWindow, findField, reinterpret_cast<LPARAM>(&captionField));
    if (captionField) g_watch->captionShown = text(captionField);
    if (g_watch->shotPath) {
        UpdateWindow(frameWindow);
        RedrawWindow(frameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        saveShot(frameWindow, g_watch->shotPath);
    }
    PostMessageW(GetDlgItem(frameWindow, IDOK), BM_CLICK, 0, 0);
}

TEST_F(Pages, PropertiesVerbOpensTheFrameOverTheControlsPages) {
    // The frame creates its pages by class id, through the registry.
    ASSERT_EQ(frameLibrary_.registerServer(), S_OK);
    auto host = frame();
    ASSERT_EQ(host->activate(RECT{10, 10, 210, 110}), S_OK);
    FrameWatch watch;
    watch.shotPath = getenv("VX_PROPERTY_FRAME_SHOT");
    g_watch = &watch;
    g_host = host.get();
    SetTimer(nullptr, 0, 300, onFrameUp);
    IOleObject* object = host->as<IOleObject>(IID_IOleObject);
    RECT position = {10, 10, 210, 110};
    EXPECT_EQ(object->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, host->form(), &position), S_OK);
    g_watch = nullptr;
    EXPECT_NE(watch.caption.find(L"VxFrame3DCtrl"), std::wstring::npos)
        << std::string(watch.caption.begin(), watch.caption.end());
    EXPECT_EQ(watch.tabs,
              (std::vector<std::wstring>{L"General", L"3D Frame", L"Font", L"Color", L"Picture"}));
    EXPECT_TRUE(watch.sawModalState);
    EXPECT_EQ(host->modelessCalls().back(), true);
    EXPECT_EQ(watch.captionShown, L"Frame1"); // the General page, first, shows the control's caption
    object->Release();
    frameLibrary_.unregisterServer();
}

struct ListedVerb {
    LONG number;
    std::wstring name;
    DWORD flags;
    DWORD attributes;
    bool operator==(const ListedVerb& other) const {
        return number == other.number && name == other.name && flags == other.flags &&
               attributes == other.attributes;
    }
};

// Everything the enumerator gives, read two at a time as designers do, names freed as they must be.
std::vector<ListedVerb> listedVerbs(IEnumOLEVERB* verbs) {
    std::vector<ListedVerb> listed;
    OLEVERB pair[2];
    ULONG fetched = 0;
    HRESULT hr = S_OK;
    do {
        hr = verbs->Next(2, pair, &fetched);
        for (ULONG i = 0; i < fetched; ++i) {
            listed.push_back({pair[i].lVerb, pair[i].lpszVerbName ? pair[i].lpszVerbName : L"<null>",
                              pair[i].fuFlags, pair[i].grfAttribs});
            CoTaskMemFree(pair[i].lpszVerbName);
        }
    } while (hr == S_OK);
    EXPECT_EQ(hr, S_FALSE);
    return listed;
}

// The registry holds no verb list for the controls; each lists its own, from its resources.
TEST_F(Pages, BothControlsListTheirVerbs) {
    const std::vector<ListedVerb> expected = {
        {1, L"&Properties", MF_ENABLED, OLEVERBATTRIB_ONCONTAINERMENU},
        {OLEIVERB_PRIMARY, L"&Properties", MF_ENABLED, 0},
        {OLEIVERB_SHOW, L"", MF_ENABLED, 0},
        {OLEIVERB_HIDE, L"", MF_ENABLED, 0},
        {OLEIVERB_UIACTIVATE, L"", MF_ENABLED, 0},
        {OLEIVERB_INPLACEACTIVATE, L"", MF_ENABLED, 0},
        {OLEIVERB_PROPERTIES, L"", MF_ENABLED, 0},
    };
    vxtest::Container time(kTimeEvents);
    ASSERT_EQ(time.create(timeFactory_), S_OK);
    auto frameHost = frame();
    for (vxtest::Container* host : {&time, frameHost.get()}) {
        IOleObject* object = host->as<IOleObject>(IID_IOleObject);
        IEnumOLEVERB* verbs = nullptr;
        ASSERT_EQ(object->EnumVerbs(&verbs), S_OK);
        EXPECT_EQ(listedVerbs(verbs), expected);

        // A copy goes on from where the original stood; Skip past the end says so.
        ASSERT_EQ(verbs->Reset(), S_OK);
        ASSERT_EQ(verbs->Skip(5), S_OK);
        IEnumOLEVERB* copy = nullptr;
        ASSERT_EQ(verbs->Clone(&copy), S_OK);
        EXPECT_EQ(listedVerbs(copy), std::vector<ListedVerb>(expected.begin() + 5, expected.end()));
        EXPECT_EQ(copy->Skip(1), S_FALSE);
        copy->Release();
        verbs->Release();
        object->Release();
    }
}

// A copy of the control library in a folder of its own has no page library beside it.
TEST_F(Pages, WithoutThePageLibraryTheFrameAndThePagesAreRefused) {
    char folder[MAX_PATH], copy[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    lstrcatA(folder, "vxframe-alone");
    CreateDirectoryA(folder, nullptr);
    lstrcpyA(copy, folder);
    lstrcatA(copy, "\\vxframe.ocx");
    ASSERT_TRUE(CopyFileA(VXFRAME_OCX, copy, FALSE));
    {
        vxtest::ControlLibrary alone(copy);
        ASSERT_TRUE(alone.loaded());
        IClassFactory* factory = nullptr;
        ASSERT_EQ(
            alone.getClassObject(CLSID_VxFrame3D, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
        vxtest::Container host(DIID_DVxFrame3DEvents);
        ASSERT_EQ(host.create(factory), S_OK);
        host.putLong(L"Bevel", 4);
        IOleObject* object = host.as<IOleObject>(IID_IOleObject);
        EXPECT_EQ(object->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, host.form(), nullptr),
                  E_UNEXPECTED);
        EXPECT_EQ(object->DoVerb(OLEIVERB_PRIMARY, nullptr, nullptr, 0, host.form(), nullptr), E_UNEXPECTED);
        EXPECT_EQ(object->DoVerb(1, nullptr, nullptr, 0, host.form(), nullptr), E_UNEXPECTED);
        EXPECT_EQ(object->DoVerb(OLEIVERB_OPEN, nullptr, nullptr, 0, host.form(), nullptr), E_NOTIMPL);
        EXPECT_EQ(host.getLong(L"Bevel"), 4);
        EXPECT_TRUE(host.modelessCalls().empty());
        object->Release();
        factory->Release();
        IClassFactory* pages = nullptr;
        ASSERT_EQ(alone.getClassObject(kFrame3DPage, IID_IClassFactory, reinterpret_cast<void**>(&pages)),
                  S_OK);
        IUnknown* created = nullptr;
        EXPECT_EQ(pages->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&created)),
                  E_OUTOFMEMORY);
        pages->Release();
        host.destroy();
    }
    DeleteFileA(copy);
    RemoveDirectoryA(folder);
}

} // namespace
