#include "frame_control.h"
#include "frame_drawing.h"

#include <new>

#include "resource_ids.h"
#include "server.h"
#include "strings.h"

namespace frame {

using framework::PROPCAT;

namespace {

const DISPID kAlignHorizontalId = 1, kAlignVerticalId = 2, kAutoSizeId = 3, kLightSourceId = 7,
             kOutLineId = 8;

std::string narrow(BSTR text) {
    if (!text) return {};
    int length = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(length, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), result.data(), length, nullptr,
                        nullptr);
    return result;
}

BSTR wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, length);
    if (result) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result, length);
    return result;
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

FrameControl::FrameControl(IUnknown* outer) : ControlBase(outer, frameDescription()) {
    setDefaults();
}

void* FrameControl::queryControlInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IVxFrame3D)) return static_cast<IVxFrame3D*>(this);
    return nullptr;
}

// A new frame takes its colours and caption from the container it is placed in.
void FrameControl::setDefaults() {
    look_ = FrameLook{};
    const OLE_COLOR back = ambientColor(DISPID_AMBIENT_BACKCOLOR, 0x80000000 | COLOR_WINDOW);
    look_.shadowBaseColor = back;
    look_.backColor = back;
    look_.foreColor = ambientColor(DISPID_AMBIENT_FORECOLOR, 0x80000000 | COLOR_WINDOWTEXT);
    std::wstring name = ambientDisplayName();
    BSTR caption = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
    look_.caption = narrow(caption);
    SysFreeString(caption);
    resetStockProperties();
}

// ---------------------------------------------------------------------------------------------
// Properties

HRESULT FrameControl::getShort(short field, short* value) {
    if (!value) return E_POINTER;
    *value = field;
    return S_OK;
}

HRESULT FrameControl::putShort(short& field, long value, long lowest, long highest, DISPID dispid) {
    if (value < lowest || value > highest)
        return raiseError(CTL_E_INVALIDPROPERTYVALUE, framework::kStringInvalidValue);
    field = static_cast<short>(value);
    propertyChanged(dispid);
    return S_OK;
}

HRESULT FrameControl::putColor(OLE_COLOR& field, OLE_COLOR value, DISPID dispid) {
    field = value;
    propertyChanged(dispid);
    return S_OK;
}

STDMETHODIMP FrameControl::get_BackColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    *value = look_.backColor;
    return S_OK;
}
STDMETHODIMP FrameControl::put_BackColor(OLE_COLOR value) {
    return putColor(look_.backColor, value, DISPID_BACKCOLOR);
}

STDMETHODIMP FrameControl::get_ForeColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    *value = look_.foreColor;
    return S_OK;
}
STDMETHODIMP FrameControl::put_ForeColor(OLE_COLOR value) {
    return putColor(look_.foreColor, value, DISPID_FORECOLOR);
}

STDMETHODIMP FrameControl::get_ShadowBaseColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    *value = look_.shadowBaseColor;
    return S_OK;
}
STDMETHODIMP FrameControl::put_ShadowBaseColor(OLE_COLOR value) {
    return putColor(look_.shadowBaseColor, value, kShadowBaseColorId);
}

STDMETHODIMP FrameControl::get_hWnd(OLE_HANDLE* value) {
    return getStockHwnd(value);
}

STDMETHODIMP FrameControl::get_MousePointer(MousePointerConstants* value) {
    return getMousePointerAs(value);
}
STDMETHODIMP FrameControl::put_MousePointer(MousePointerConstants value) {
    return putMousePointerChecked(value, kMousePointerId);
}

STDMETHODIMP FrameControl::get_Enabled(VARIANT_BOOL* value) {
    return getStockEnabled(look_.enabled, value);
}
STDMETHODIMP FrameControl::put_Enabled(VARIANT_BOOL value) {
    return putStockEnabled(look_.enabled, value);
}

STDMETHODIMP FrameControl::get_AlignHorizontal(AlignHorizontalConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<AlignHorizontalConstants>(look_.alignHorizontal);
    return S_OK;
}
STDMETHODIMP FrameControl::put_AlignHorizontal(AlignHorizontalConstants value) {
    return putShort(look_.alignHorizontal, value, 0, 2, kAlignHorizontalId);
}

STDMETHODIMP FrameControl::get_AlignVertical(AlignVerticalConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<AlignVerticalConstants>(look_.alignVertical);
    return S_OK;
}
STDMETHODIMP FrameControl::put_AlignVertical(AlignVerticalConstants value) {
    return putShort(look_.alignVertical, value, 0, 2, kAlignVerticalId);
}

STDMETHODIMP FrameControl::get_AutoSize(AutoSizeConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<AutoSizeConstants>(look_.autoSize);
    return S_OK;
}
STDMETHODIMP FrameControl::put_AutoSize(AutoSizeConstants value) {
    return putShort(look_.autoSize, value, 0, 1, kAutoSizeId);
}

STDMETHODIMP FrameControl::get_LightSource(LightSourceConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<LightSourceConstants>(look_.lightSource);
    return S_OK;
}
STDMETHODIMP FrameControl::put_LightSource(LightSourceConstants value) {
    return putShort(look_.lightSource, value, 0, 3, kLightSourceId);
}

STDMETHODIMP FrameControl::get_OutLine(OutLineConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<OutLineConstants>(look_.outLine);
    return S_OK;
}
STDMETHODIMP FrameControl::put_OutLine(OutLineConstants value) {
    return putShort(look_.outLine, value, 0, 2, kOutLineId);
}

STDMETHODIMP FrameControl::get_Caption(BSTR* value) {
    if (!value) return E_POINTER;
    *value = wide(look_.caption);
    return *value ? S_OK : E_OUTOFMEMORY;
}
STDMETHODIMP FrameControl::put_Caption(BSTR value) {
    look_.caption = narrow(value);
    propertyChanged(DISPID_CAPTION);
    return S_OK;
}

// Loads a picture file (icon or cursor) as the custom mouse icon.
STDMETHODIMP FrameControl::put_MouseIcon_Filename(BSTR value) {
    std::string path = narrow(value);
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return E_ACCESSDENIED;
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
        CloseHandle(file);
        return E_ACCESSDENIED;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (!memory) {
        CloseHandle(file);
        return E_OUTOFMEMORY;
    }
    DWORD read = 0;
    void* bytes = GlobalLock(memory);
    BOOL ok = bytes && ReadFile(file, bytes, size, &read, nullptr) && read == size;
    GlobalUnlock(memory);
    CloseHandle(file);
    if (!ok) {
        GlobalFree(memory);
        return E_FAIL;
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return E_OUTOFMEMORY;
    }
    IPictureDisp* picture = nullptr;
    HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPictureDisp,
                                reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(hr)) return hr;
    hr = putMouseIcon(picture, kMouseIconId);
    picture->Release();
    return hr;
}

STDMETHODIMP FrameControl::AboutBox() {
    WORD dialog = kAboutDialog;
    if (PRIMARYLANGID(GetUserDefaultLangID()) == LANG_GERMAN &&
        FindResourceA(framework::moduleHandle(), MAKEINTRESOURCEA(kAboutDialogGerman), MAKEINTRESOURCEA(5)))
        dialog = kAboutDialogGerman;
    tellContainerModal(true);
    INT_PTR result =
        DialogBoxParamA(framework::moduleHandle(), MAKEINTRESOURCEA(dialog), GetActiveWindow(), aboutProc, 0);
    tellContainerModal(false);
    return result == -1 ? E_FAIL : S_OK;
}

// ---------------------------------------------------------------------------------------------
// Drawing and messages

void FrameControl::draw(HDC dc, const RECT& bounds) {
    HFONT handle = nullptr;
    if (font()) font()->get_hFont(&handle);
    drawFrame(dc, bounds, look_, handle, !look_.enabled && userMode());
}

LRESULT FrameControl::onMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    switch (message) {
    case WM_ERASEBKGND:
        handled = true; // the paint covers every pixel
        return 0;
    case WM_PARENTNOTIFY:
        PostMessageA(controlWindow(), kChildrenChanged, 0, 0);
        handled = false;
        return 0;
    case kChildrenChanged:
        if (look_.autoSize == 1) {
            InvalidateRect(controlWindow(), nullptr, FALSE);
            UpdateWindow(controlWindow());
        }
        handled = true;
        return 0;
    default:
        handled = false;
        return 0;
    }
}

void FrameControl::afterWindowPaint() {
    if (look_.autoSize != 1 || autoSizing_) return;
    autoSizing_ = true;
    sizeFirstChild();
    autoSizing_ = false;
}

// ---------------------------------------------------------------------------------------------
// Persistence

// Bag names are the property names; in the stream the fourteen 16-bit values, Enabled and the
// three colours make the 44-byte block, and the caption follows it.
void FrameControl::persistentFields(framework::PersistentFields& fields) {
    using framework::FieldKind;
    fields = {
        {L"AlignHorizontal", FieldKind::Short, &look_.alignHorizontal, 0, 2},
        {L"AlignVertical", FieldKind::Short, &look_.alignVertical, 0, 2},
        {L"AutoSize", FieldKind::Short, &look_.autoSize, 0, 1},
        {L"Bevel", FieldKind::Short, &look_.bevel, -30, 30},
        {L"BevelLight", FieldKind::Short, &look_.bevelLight, -100, 100},
        {L"BevelShade", FieldKind::Short, &look_.bevelShade, -100, 100},
        {L"LightSource", FieldKind::Short, &look_.lightSource, 0, 3},
        {L"OutLine", FieldKind::Short, &look_.outLine, 0, 2},
        {L"ShadowDarkness", FieldKind::Short, &look_.shadowDarkness, 0, 255},
        {L"ShadowWidth", FieldKind::Short, &look_.shadowWidth, 0, 30},
        {L"MarginLeft", FieldKind::Short, &look_.marginLeft, 0, 30},
        {L"MarginTop", FieldKind::Short, &look_.marginTop, 0, 30},
        {L"MarginRight", FieldKind::Short, &look_.marginRight, 0, 30},
        {L"MarginBottom", FieldKind::Short, &look_.marginBottom, 0, 30},
        {L"Enabled", FieldKind::Bool, &look_.enabled},
        {L"ShadowBaseColor", FieldKind::Color, &look_.shadowBaseColor},
        {L"BackColor", FieldKind::Color, &look_.backColor},
        {L"ForeColor", FieldKind::Color, &look_.foreColor},
        {L"Caption", FieldKind::Text, &look_.caption},
    };
}

// After a load the window follows the loaded Enabled at run time.
void FrameControl::afterLoad() {
    if (userMode() && controlWindow()) EnableWindow(controlWindow(), look_.enabled);
}

// ---------------------------------------------------------------------------------------------
// Property browsing

PROPCAT FrameControl::categoryOf(DISPID dispid) {
    if (dispid == 3 || dispid == DISPID_ENABLED) return framework::PROPCAT_Behavior;
    if ((dispid >= 4 && dispid <= 10) || dispid == kShadowBaseColorId || dispid == DISPID_CAPTION ||
        dispid == DISPID_FORECOLOR || dispid == DISPID_BACKCOLOR)
        return framework::PROPCAT_Appearance;
    if (dispid >= 11 && dispid <= 14) return kCategoryMargin;
    if (dispid == DISPID_FONT) return framework::PROPCAT_Font;
    return framework::PROPCAT_Misc;
}

const framework::PredefinedValues* FrameControl::predefinedValues(DISPID dispid) {
    static const framework::PredefinedValues lists[] = {
        {kAlignHorizontalId, kStringAlignHorizontal, 3, false},
        {kAlignVerticalId, kStringAlignVertical, 3, false},
        {kAutoSizeId, kStringAutoSize, 2, false},
        {kLightSourceId, kStringLightSource, 4, false},
        {kOutLineId, kStringOutLine, 3, false},
        {kMousePointerId, kStringMousePointer, 17, true},
    };
    for (const auto& list : lists)
        if (list.dispid == dispid) return &list;
    return nullptr;
}

} // namespace frame
