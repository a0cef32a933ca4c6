// The rest of VxTime's interface as a container sees it: the caption sub-object and where it is
// drawn, data binding, limits on an empty control and the property browser's value lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ole_extras.h"
#include "vxtime_test_fixture.h"

namespace {

using vxtimetest::getText;

const HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);
const DISPID kInvalidRangeEvent = 2;
const COLORREF kInk = RGB(255, 0, 0);
const COLORREF kPaper = RGB(255, 255, 255);

using Interface = vxtimetest::HostedTime;

HRESULT putVariant(vxtest::Container& time, const wchar_t* name, VARTYPE type, double number) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_R8;
    V_R8(&value) = number;
    VariantChangeType(&value, &value, 0, type);
    return time.put(name, value);
}

ICaption* captionOf(vxtest::Container& time) {
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(time.get(L"Caption", &value), S_OK);
    ICaption* caption = nullptr;
    if (V_VT(&value) == VT_DISPATCH && V_DISPATCH(&value))
        V_DISPATCH(&value)->QueryInterface(IID_ICaption, reinterpret_cast<void**>(&caption));
    VariantClear(&value);
    return caption;
}

TEST_F(Interface, CaptionIsASubObjectWithItsOwnRules) {
    auto time = host();
    ICaption* caption = captionOf(*time);
    ASSERT_NE(caption, nullptr);
    // The control answers the caption's interface itself, with the same object.
    ICaption* asked = time->as<ICaption>(IID_ICaption);
    ASSERT_NE(asked, nullptr);
    EXPECT_EQ(static_cast<void*>(asked), static_cast<void*>(caption));
    asked->Release();

    BSTR text = nullptr;
    ASSERT_EQ(caption->get_Text(&text), S_OK);
    EXPECT_STREQ(text, L"&Caption");
    SysFreeString(text);
    CaptionAlignmentConstants alignment;
    caption->get_Alignment(&alignment);
    EXPECT_EQ(alignment, vxCaptCenterLeft);
    short spacing = 0, size = -1;
    caption->get_Spacing(&spacing);
    caption->get_Size(&size);
    EXPECT_EQ(spacing, 3);
    EXPECT_EQ(size, 0);

    // Out of range: 380 and no error text; the value stays.
    time->clearChanges();
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(caption->put_Alignment(static_cast<CaptionAlignmentConstants>(9)), kInvalidPropertyValue);
    IErrorInfo* error = nullptr;
    EXPECT_NE(GetErrorInfo(0, &error), S_OK);
    if (error) error->Release();
    EXPECT_EQ(caption->put_Position(static_cast<CaptionPositionConstants>(2)), kInvalidPropertyValue);
    EXPECT_EQ(caption->put_Spacing(-1), kInvalidPropertyValue);
    EXPECT_EQ(caption->put_Size(-1), kInvalidPropertyValue);
    caption->get_Alignment(&alignment);
    EXPECT_EQ(alignment, vxCaptCenterLeft);
    EXPECT_TRUE(time->changes().empty());

    // Accepted changes are changes of the control's Caption property.
    EXPECT_EQ(caption->put_Alignment(vxCaptBottomRight), S_OK);
    EXPECT_EQ(caption->put_Size(40), S_OK);
    EXPECT_EQ(time->changes(), (std::vector<DISPID>{100, 100}));

    // The caption starts with the control's font; a font of its own is a copy.
    IFontDisp* fontDisp = nullptr;
    ASSERT_EQ(caption->get_Font(&fontDisp), S_OK);
    ASSERT_NE(fontDisp, nullptr);
    IFont* font = nullptr;
    fontDisp->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font));
    BSTR name = nullptr, controlName = nullptr;
    font->get_Name(&name);
    VARIANT controlFont;
    VariantInit(&controlFont);
    ASSERT_EQ(time->get(L"Font", &controlFont), S_OK);
    IFont* stock = nullptr;
    V_DISPATCH(&controlFont)->QueryInterface(IID_IFont, reinterpret_cast<void**>(&stock));
    stock->get_Name(&controlName);
    EXPECT_STREQ(name, controlName);
    EXPECT_NE(static_cast<void*>(stock), static_cast<void*>(font));
    stock->Release();
    VariantClear(&controlFont);
    SysFreeString(name);
    SysFreeString(controlName);
    font->put_Bold(TRUE);
    ASSERT_EQ(caption->putref_Font(fontDisp), S_OK);
    font->put_Bold(FALSE);
    IFontDisp* kept = nullptr;
    caption->get_Font(&kept);
    IFont* keptFont = nullptr;
    kept->QueryInterface(IID_IFont, reinterpret_cast<void**>(&keptFont));
    BOOL bold = FALSE;
    keptFont->get_Bold(&bold);
    EXPECT_TRUE(bold);
    keptFont->Release();
    kept->Release();
    font->Release();
    fontDisp->Release();

    // A script keeps the caption after the control is gone: it still answers, nothing breaks.
    time->destroy();
    EXPECT_EQ(caption->put_Text(SysAllocString(L"after")), S_OK);
    caption->Release();
}

// Renders the control unfocused with a caption of one block character and answers where the
// caption's ink lies.
class CaptionPicture {
public:
    explicit CaptionPicture(vxtest::Container& time) : time_(time) {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, kWidth, kHeight);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~CaptionPicture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    RECT ink() {
        IViewObject* view = time_.as<IViewObject>(IID_IViewObject);
        RECTL bounds = {0, 0, kWidth, kHeight};
        EXPECT_EQ(
            view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc_, &bounds, nullptr, nullptr, 0),
            S_OK);
        view->Release();
        RECT found = {kWidth, kHeight, -1, -1};
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (GetPixel(dc_, x, y) == kInk) {
                    found.left = std::min<LONG>(found.left, x);
                    found.top = std::min<LONG>(found.top, y);
                    found.right = std::max<LONG>(found.right, x + 1);
                    found.bottom = std::max<LONG>(found.bottom, y + 1);
                }
        return found;
    }
    // The last picture as a bitmap file, for a look by eye.
    void save(const char* path) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        std::vector<BYTE> bits(kWidth * kHeight * 4);
        SelectObject(dc_, old_);
        GetDIBits(dc_, bitmap_, 0, kHeight, bits.data(), &info, DIB_RGB_COLORS);
        SelectObject(dc_, bitmap_);
        BITMAPFILEHEADER file = {
            0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + bits.size()), 0,
            0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
        HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(out, &file, sizeof file, &written, nullptr);
        WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
        WriteFile(out, bits.data(), static_cast<DWORD>(bits.size()), &written, nullptr);
        CloseHandle(out);
    }
    static const int kWidth = 160, kHeight = 60;

private:
    vxtest::Container& time_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

TEST_F(Interface, CaptionIsDrawnWhereItsAlignmentAndPositionSay) {
    auto time = host();
    ASSERT_EQ(time->putLong(L"BackColor", kPaper), S_OK);
    ASSERT_EQ(time->putLong(L"ForeColor", RGB(0, 0, 0)), S_OK);
    ICaption* caption = captionOf(*time);
    ASSERT_NE(caption, nullptr);
    BSTR mark = SysAllocString(L"II");
    caption->put_Text(mark);
    SysFreeString(mark);
    caption->put_Color(kInk);
    CaptionPicture picture(*time);

    // Size 0: no caption at all, and Size not above Spacing draws none either.
    EXPECT_EQ(picture.ink().right, -1);
    caption->put_Size(3);
    EXPECT_EQ(picture.ink().right, -1);

    // Left: a 60 pixel area whose right 10 pixels are the spacing; the text sits in 0..50.
    caption->put_Size(60);
    caption->put_Spacing(10);
    const int textArea = 50;
    RECT at[9];
    for (int alignment = 0; alignment < 9; ++alignment) {
        ASSERT_EQ(caption->put_Alignment(static_cast<CaptionAlignmentConstants>(alignment)), S_OK);
        at[alignment] = picture.ink();
        ASSERT_GE(at[alignment].right, 0) << "alignment " << alignment;
        EXPECT_LE(at[alignment].right, textArea) << "alignment " << alignment;
        if (const char* shots = getenv("VX_CAPTION_SHOTS")) {
            char path[MAX_PATH];
            snprintf(path, sizeof path, "%s\\caption-%d.bmp", shots, alignment);
            picture.save(path);
        }
    }
    for (int row = 0; row < 3; ++row) {
        EXPECT_LT(at[row * 3].left, 4);                                         // left
        EXPECT_NEAR(at[row * 3 + 1].left + at[row * 3 + 1].right, textArea, 3); // centred
        EXPECT_GT(at[row * 3 + 2].right, textArea - 4);                         // right
    }
    for (int column = 0; column < 3; ++column) {
        EXPECT_LT(at[column].top, 4);                                                        // top
        EXPECT_NEAR(at[3 + column].top + at[3 + column].bottom, CaptionPicture::kHeight, 6); // centre
        EXPECT_GT(at[6 + column].bottom, CaptionPicture::kHeight - 8);                       // bottom
    }

    // Top: the caption area is the top 30 pixels less 10 at its bottom; the edit area below it.
    caption->put_Position(vxCaptPosTop);
    caption->put_Size(30);
    caption->put_Alignment(vxCaptBottomRight);
    RECT top = picture.ink();
    EXPECT_LE(top.bottom, 20);
    EXPECT_GT(top.right, CaptionPicture::kWidth - 4);
    caption->put_Alignment(vxCaptTopCenter);
    top = picture.ink();
    EXPECT_LT(top.top, 4);
    EXPECT_NEAR(top.left + top.right, CaptionPicture::kWidth, 3);
    caption->Release();
}

TEST_F(Interface, BindFieldFollowsDataPropertyAndCommittedTimes) {
    auto time = host();
    VARIANT format;
    V_VT(&format) = VT_BSTR;
    V_BSTR(&format) = SysAllocString(L"hh:mm:ss");
    ASSERT_EQ(time->put(L"Format", format), S_OK);
    VariantClear(&format);
    time->putLong(L"DataProperty", 1);
    time->clearChanges();
    ASSERT_EQ(putVariant(*time, L"BindField", VT_I4, 143000), S_OK);
    EXPECT_EQ(getText(*time, L"Text"), L"14:30:00");
    EXPECT_EQ(time->getLong(L"Number"), 143000);
    EXPECT_EQ(time->changes().back(), 18);

    time->putLong(L"DataProperty", 0);
    ASSERT_EQ(putVariant(*time, L"BindField", VT_R8, 0.5), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 120000);
    VARIANT bound;
    VariantInit(&bound);
    time->get(L"BindField", &bound);
    EXPECT_EQ(V_VT(&bound), VT_R8);
    EXPECT_DOUBLE_EQ(V_R8(&bound), 0.5);

    // Null from the data source: an empty control.
    VARIANT null;
    V_VT(&null) = VT_NULL;
    ASSERT_EQ(time->put(L"BindField", null), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);
}

TEST_F(Interface, LimitsCanBeSetOnAnEmptyControlAndHoldForTheTimeEntered) {
    auto time = host();
    ASSERT_EQ(time->put(L"Format",
                        [] {
                            VARIANT v;
                            V_VT(&v) = VT_BSTR;
                            V_BSTR(&v) = SysAllocString(L"hh:mm:ss");
                            return v;
                        }()),
              S_OK);
    IVxTime* dual = time->as<IVxTime>(IID_IVxTime);
    ASSERT_EQ(dual->ClearControl(), S_OK);
    EXPECT_EQ(time->putLong(L"MaxTime", 170000), S_OK);
    EXPECT_EQ(time->putLong(L"MinTime", 80000), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 999999);
    EXPECT_EQ(getText(*time, L"Text"), L"__:__:__");
    time->clearEvents();
    EXPECT_EQ(time->putLong(L"Number", 180000), S_OK); // past the limit set while empty
    ASSERT_EQ(time->events().size(), 1u);
    EXPECT_EQ(time->events()[0].dispid, kInvalidRangeEvent);
    EXPECT_EQ(time->getLong(L"Number"), 999999);
    EXPECT_EQ(time->putLong(L"Number", 90000), S_OK);
    EXPECT_EQ(time->getLong(L"Number"), 90000);
    dual->Release();
}

// Runs inside the about box's modal loop: notes what it shows and closes it.
struct AboutWatch {
    vxtest::Container* host = nullptr;
    std::wstring caption, name;
    bool sawModalState = false;
};
AboutWatch* g_about = nullptr;

BOOL CALLBACK findName(HWND child, LPARAM) {
    wchar_t text[64] = {};
    GetWindowTextW(child, text, 64);
    if (wcscmp(text, L"VxTimeCtrl") == 0) g_about->name = text;
    return TRUE;
}

void CALLBACK onAboutUp(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = GetActiveWindow();
    if (!dialog || !g_about) return;
    KillTimer(nullptr, timer);
    wchar_t text[64] = {};
    GetWindowTextW(dialog, text, 64);
    g_about->caption = text;
    EnumChildWindows(dialog, findName, 0);
    const auto& calls = g_about->host->modelessCalls();
    g_about->sawModalState = !calls.empty() && calls.back() == false;
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(Interface, AboutBoxIsModalAndNamesTheControl) {
    auto time = host();
    ASSERT_EQ(time->activate(RECT{10, 10, 130, 34}), S_OK);
    AboutWatch watch;
    watch.host = time.get();
    g_about = &watch;
    SetTimer(nullptr, 0, 200, onAboutUp);
    IVxTime* dual = time->as<IVxTime>(IID_IVxTime);
    EXPECT_EQ(dual->AboutBox(), S_OK);
    dual->Release();
    g_about = nullptr;
    EXPECT_EQ(watch.caption, L"About VxTimeCtrl");
    EXPECT_EQ(watch.name, L"VxTimeCtrl");
    EXPECT_TRUE(watch.sawModalState);
    ASSERT_FALSE(time->modelessCalls().empty());
    EXPECT_TRUE(time->modelessCalls().back());
}

TEST_F(Interface, BrowsersSeeValueListsAndCategories) {
    auto time = host(false);
    IPerPropertyBrowsing* browsing = time->as<IPerPropertyBrowsing>(IID_IPerPropertyBrowsing);
    ASSERT_NE(browsing, nullptr);
    CALPOLESTR strings = {};
    CADWORD cookies = {};
    ASSERT_EQ(browsing->GetPredefinedStrings(20, &strings, &cookies), S_OK);
    ASSERT_EQ(strings.cElems, 5u);
    EXPECT_STREQ(strings.pElems[1], L"1 - AM/PM");
    for (ULONG i = 0; i < strings.cElems; ++i)
        CoTaskMemFree(strings.pElems[i]);
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    time->putLong(L"HighlightText", 2);
    BSTR shown = nullptr;
    ASSERT_EQ(browsing->GetDisplayString(24, &shown), S_OK);
    EXPECT_STREQ(shown, L"2 - All");
    SysFreeString(shown);
    browsing->Release();

    framework::ICategorizeProperties* categories =
        time->as<framework::ICategorizeProperties>(framework::IID_ICategorizeProperties);
    ASSERT_NE(categories, nullptr);
    framework::PROPCAT category = 0;
    categories->MapPropertyToCategory(100, &category);
    EXPECT_EQ(category, 1003);
    BSTR name = nullptr;
    ASSERT_EQ(categories->GetCategoryName(1000, 1033, &name), S_OK);
    EXPECT_STREQ(name, L"Margin");
    SysFreeString(name);
    categories->MapPropertyToCategory(9999, &category);
    EXPECT_EQ(category, framework::PROPCAT_Misc);
    categories->Release();
}

} // namespace
