#include "caption.h"

#include <algorithm>
#include <climits>

#include "ansi_text.h"
#include "server.h"

namespace timectl {

namespace {

const HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);

enum CaptionDispid : DISPID {
    kDispidText = 0,
    kDispidAlignment = 1,
    kDispidPosition = 2,
    kDispidSpacing = 3,
    kDispidSize = 4,
};

COLORREF translate(OLE_COLOR color) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(color, nullptr, &rgb))) rgb = 0;
    return rgb;
}

} // namespace

Caption::Caption(CaptionOwner* owner) : owner_(owner) {
    reset();
}

Caption::~Caption() {
    if (font_) font_->Release();
    if (typeInfo_) typeInfo_->Release();
}

void Caption::reset() {
    state_ = CaptionState{};
    setFont(nullptr);
}

void Caption::setFont(IFont* font) {
    if (!font && owner_) font = owner_->controlFont();
    IFont* copy = nullptr;
    if (font) font->Clone(&copy);
    if (font_) font_->Release();
    font_ = copy;
}

void Caption::changed(DISPID dispid) {
    if (owner_) owner_->captionChanged(dispid);
}

// ---------------------------------------------------------------------------------------------
// Layout and drawing

void Caption::split(const RECT& bounds, RECT& captionArea, RECT& editArea) const {
    captionArea = editArea = bounds;
    if (state_.position == 1) {
        captionArea.bottom = std::min<LONG>(bounds.bottom, bounds.top + state_.size);
        editArea.top = captionArea.bottom;
    } else {
        captionArea.right = std::min<LONG>(bounds.right, bounds.left + state_.size);
        editArea.left = captionArea.right;
    }
}

// The spacing is kept free on the side that faces the edit area; a caption no wider than its
// spacing shows nothing.
void Caption::draw(HDC dc, const RECT& captionArea) const {
    if (state_.size <= state_.spacing || state_.text.empty()) return;
    RECT area = captionArea;
    if (state_.position == 1)
        area.bottom -= state_.spacing;
    else
        area.right -= state_.spacing;
    if (area.right <= area.left || area.bottom <= area.top) return;

    HFONT handle = nullptr;
    if (font_) font_->get_hFont(&handle);
    HGDIOBJ oldFont = SelectObject(dc, handle ? handle : GetStockObject(DEFAULT_GUI_FONT));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, translate(state_.color));

    const int column = state_.alignment % 3, row = state_.alignment / 3;
    const UINT horizontal = column == 1 ? DT_CENTER : column == 2 ? DT_RIGHT : DT_LEFT;
    const UINT flags = horizontal | DT_WORDBREAK;
    RECT measured = area;
    const int textHeight = DrawTextA(dc, state_.text.data(), static_cast<int>(state_.text.size()), &measured,
                                     flags | DT_CALCRECT);
    RECT target = area;
    const int free = (area.bottom - area.top) - textHeight;
    if (row == 1 && free > 0) target.top += free / 2;
    if (row == 2 && free > 0) target.top += free;
    DrawTextA(dc, state_.text.data(), static_cast<int>(state_.text.size()), &target, flags);

    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

// ---------------------------------------------------------------------------------------------
// IUnknown, IDispatch

STDMETHODIMP Caption::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_ICaption)) {
        *out = static_cast<ICaption*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) Caption::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) Caption::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

// The interface half of the dual description, so that Invoke calls reach the methods above.
ITypeInfo* Caption::typeInfo() {
    if (typeInfo_) return typeInfo_;
    wchar_t widePath[MAX_PATH];
    if (!GetModuleFileNameW(framework::moduleHandle(), widePath, MAX_PATH)) return nullptr;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(widePath, REGKIND_NONE, &library))) return nullptr;
    ITypeInfo* info = nullptr;
    library->GetTypeInfoOfGuid(IID_ICaption, &info);
    library->Release();
    if (!info) return nullptr;
    HREFTYPE reference;
    ITypeInfo* vtableInfo = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &reference)) &&
        SUCCEEDED(info->GetRefTypeInfo(reference, &vtableInfo))) {
        info->Release();
        info = vtableInfo;
    }
    typeInfo_ = info;
    return info;
}

STDMETHODIMP Caption::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP Caption::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* cached = typeInfo();
    if (!cached) return TYPE_E_CANTLOADLIBRARY;
    cached->AddRef();
    *info = cached;
    return S_OK;
}

STDMETHODIMP Caption::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = typeInfo();
    if (!info) return TYPE_E_CANTLOADLIBRARY;
    return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP Caption::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = typeInfo();
    if (!info) return TYPE_E_CANTLOADLIBRARY;
    SetErrorInfo(0, nullptr);
    return info->Invoke(static_cast<ICaption*>(this), dispid, flags, params, result, exception,
                        argumentError);
}

// ---------------------------------------------------------------------------------------------
// Properties. A refused value answers 380 without an error text of its own.

HRESULT Caption::putShort(short& field, long value, long highest, DISPID dispid) {
    if (value < 0 || value > highest) return kInvalidPropertyValue;
    field = static_cast<short>(value);
    changed(dispid);
    return S_OK;
}

STDMETHODIMP Caption::get_Text(BSTR* value) {
    return toBstr(state_.text, value);
}
STDMETHODIMP Caption::put_Text(BSTR value) {
    state_.text = toAnsi(value);
    changed(kDispidText);
    return S_OK;
}

STDMETHODIMP Caption::get_Alignment(CaptionAlignmentConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<CaptionAlignmentConstants>(state_.alignment);
    return S_OK;
}
STDMETHODIMP Caption::put_Alignment(CaptionAlignmentConstants value) {
    return putShort(state_.alignment, value, 8, kDispidAlignment);
}

STDMETHODIMP Caption::get_Color(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    *value = state_.color;
    return S_OK;
}
STDMETHODIMP Caption::put_Color(OLE_COLOR value) {
    // A colour that cannot be drawn (neither RGB nor a known system colour) is refused.
    COLORREF rgb;
    if (FAILED(OleTranslateColor(value, nullptr, &rgb))) return kInvalidPropertyValue;
    state_.color = value;
    changed(DISPID_FORECOLOR);
    return S_OK;
}

STDMETHODIMP Caption::get_Font(IFontDisp** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!font_) return S_OK;
    return font_->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(value));
}
STDMETHODIMP Caption::putref_Font(IFontDisp* value) {
    IFont* font = nullptr;
    if (!value || FAILED(value->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font))))
        return kInvalidPropertyValue;
    setFont(font);
    font->Release();
    changed(DISPID_FONT);
    return S_OK;
}

STDMETHODIMP Caption::get_Position(CaptionPositionConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<CaptionPositionConstants>(state_.position);
    return S_OK;
}
STDMETHODIMP Caption::put_Position(CaptionPositionConstants value) {
    return putShort(state_.position, value, 1, kDispidPosition);
}

STDMETHODIMP Caption::get_Spacing(short* value) {
    if (!value) return E_POINTER;
    *value = state_.spacing;
    return S_OK;
}
STDMETHODIMP Caption::put_Spacing(short value) {
    return putShort(state_.spacing, value, SHRT_MAX, kDispidSpacing);
}

STDMETHODIMP Caption::get_Size(short* value) {
    if (!value) return E_POINTER;
    *value = state_.size;
    return S_OK;
}
STDMETHODIMP Caption::put_Size(short value) {
    if (value < 0 || (owner_ && !owner_->acceptsCaptionSize(value))) return kInvalidPropertyValue;
    state_.size = value;
    changed(kDispidSize);
    return S_OK;
}

} // namespace timectl
