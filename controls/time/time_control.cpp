#include "time_control.h"

#include "server.h"
#include "strings.h"
#include "system_locale.h"

namespace timectl {

using framework::kStringInvalidValue;
using framework::kStringReadOnly;

namespace {

const UINT kAboutDialog = 4400;
const UINT kAboutDialogGerman = 7400;
const HRESULT kNotSupportedAtRunTime = static_cast<HRESULT>(0x800A017F);

COLORREF translate(OLE_COLOR color) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(color, nullptr, &rgb))) rgb = 0;
    return rgb;
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

TimeControl::TimeControl(IUnknown* outer)
    : ControlBase(outer, timeDescription()), model_(readUserTimeLocale(), currentClockNumber()) {
    VariantInit(&bindField_);
    caption_ = new Caption(this);
    setDefaults();
}

TimeControl::~TimeControl() {
    // The edit field frees its own state only while its procedure still receives the messages.
    if (HWND window = controlWindow()) DestroyWindow(window);
    if (backBrush_) DeleteObject(backBrush_);
    VariantClear(&bindField_);
    caption_->detach();
    caption_->Release();
}

void* TimeControl::queryControlInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IVxTime)) return static_cast<IVxTime*>(this);
    if (IsEqualIID(iid, IID_ICaption)) return static_cast<ICaption*>(caption_);
    return nullptr;
}

void TimeControl::setDefaults() {
    look_ = EditLook{};
    // A new control shows the time it was made at, in the user's clock style.
    model_ = vxtime::TimeModel(readUserTimeLocale(), currentClockNumber());
    keys_ = vxtime::KeyTable::withDefaults();
    for (std::string& text : keyTexts_)
        text.clear();
    keyTexts_[static_cast<int>(vxtime::KeyGroup::Clear)] = vxtime::kDefaultKeyClear;
    keyTexts_[static_cast<int>(vxtime::KeyGroup::Now)] = vxtime::kDefaultKeyNow;
    selection_ = {};
    VariantClear(&bindField_);
    resetStockProperties();
    caption_->reset(); // after the stock font, which the caption's font starts from
    resetHeldValues();
}

// Without the focus the control paints off screen first, so a repaint never flickers through the
// background.
void TimeControl::draw(HDC dc, const RECT& bounds) {
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (!bitmap) {
        if (memory) DeleteDC(memory);
        drawDisplayText(dc, drawFrame(dc, bounds));
        drawCaption(dc, bounds);
        return;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT local = {0, 0, width, height};
    drawDisplayText(memory, drawFrame(memory, local));
    drawCaption(memory, local);
    BitBlt(dc, bounds.left, bounds.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

RECT TimeControl::editArea(const RECT& bounds) const {
    RECT captionArea, edit;
    caption_->split(bounds, captionArea, edit);
    return edit;
}

void TimeControl::drawCaption(HDC dc, const RECT& bounds) const {
    RECT captionArea, edit;
    caption_->split(bounds, captionArea, edit);
    caption_->draw(dc, captionArea);
}

// The border around the edit area, drawn over whatever painted the inside.
void TimeControl::drawBorder(HDC dc, const RECT& area) {
    if (look_.borderStyle != 1) return;
    RECT edge = area;
    if (look_.appearance == 1) {
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    } else {
        HBRUSH frame = CreateSolidBrush(translate(look_.foreColor));
        FrameRect(dc, &edge, frame);
        DeleteObject(frame);
    }
}

// The background of the whole control and the border of its edit area; answers the area inside
// the border.
RECT TimeControl::drawFrame(HDC dc, const RECT& bounds) {
    HBRUSH back = CreateSolidBrush(translate(look_.backColor));
    FillRect(dc, &bounds, back);
    DeleteObject(back);
    RECT inside = editArea(bounds);
    if (inside.right <= inside.left || inside.bottom <= inside.top) return inside;
    if (look_.borderStyle == 1) {
        if (look_.appearance == 1) {
            DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        } else {
            HBRUSH frame = CreateSolidBrush(translate(look_.foreColor));
            FrameRect(dc, &inside, frame);
            DeleteObject(frame);
            InflateRect(&inside, -1, -1);
        }
    }
    return inside;
}

// Without the focus the control shows its time through DisplayFormat, inside the margins,
// aligned as AlignHorizontal says and centred vertically.
void TimeControl::drawDisplayText(HDC dc, const RECT& inside) {
    RECT area = {inside.left + look_.marginLeft, inside.top + look_.marginTop,
                 inside.right - look_.marginRight, inside.bottom - look_.marginBottom};
    if (area.right <= area.left || area.bottom <= area.top) return;
    HFONT handle = nullptr;
    if (font()) font()->get_hFont(&handle);
    HGDIOBJ oldFont = SelectObject(dc, handle ? handle : GetStockObject(DEFAULT_GUI_FONT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    const bool grey = !look_.enabled && userMode();
    COLORREF oldColor = SetTextColor(dc, grey ? GetSysColor(COLOR_GRAYTEXT) : translate(look_.foreColor));
    UINT align = look_.alignHorizontal == 1 ? DT_RIGHT : look_.alignHorizontal == 2 ? DT_CENTER : DT_LEFT;
    const std::string shown = model_.dispText();
    DrawTextA(dc, shown.data(), static_cast<int>(shown.size()), &area,
              align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

// ---------------------------------------------------------------------------------------------
// The caption

STDMETHODIMP TimeControl::get_Caption(ICaption** value) {
    if (!value) return E_POINTER;
    caption_->AddRef();
    *value = caption_;
    return S_OK;
}

// A change of the caption is a change of the control's Caption property.
void TimeControl::captionChanged(DISPID) {
    propertyChanged(100);
}

// Any caption area is taken; one wider than the control leaves the edit area empty, and the
// control then draws only its caption.
bool TimeControl::acceptsCaptionSize(short) {
    return true;
}

// ---------------------------------------------------------------------------------------------
// Property rules

HRESULT TimeControl::getShort(short field, short* value) {
    if (!value) return E_POINTER;
    *value = field;
    return S_OK;
}

HRESULT TimeControl::putRanged(short& field, long value, long highest, DISPID dispid) {
    if (value < 0 || value > highest) return raiseError(CTL_E_INVALIDPROPERTYVALUE, kStringInvalidValue);
    field = static_cast<short>(value);
    propertyChanged(dispid);
    return S_OK;
}

// Appearance and BorderStyle shape the window frame, which only a designer may change.
HRESULT TimeControl::putDesignTimeOnly(short& field, long value, long highest, DISPID dispid) {
    if (userMode()) return raiseError(kNotSupportedAtRunTime, kStringReadOnly);
    return putRanged(field, value, highest, dispid);
}

HRESULT TimeControl::putMargin(short& field, long value, DISPID dispid) {
    if (userMode()) return raiseError(CTL_E_INVALIDPROPERTYVALUE, kStringReadOnly);
    return putRanged(field, value, 30, dispid);
}

HRESULT TimeControl::putBool(BOOL& field, VARIANT_BOOL value, DISPID dispid) {
    field = value != VARIANT_FALSE;
    propertyChanged(dispid);
    return S_OK;
}

STDMETHODIMP TimeControl::get_Appearance(AppearanceConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<AppearanceConstants>(look_.appearance);
    return S_OK;
}
STDMETHODIMP TimeControl::put_Appearance(AppearanceConstants value) {
    return putDesignTimeOnly(look_.appearance, value, 1, 3);
}

STDMETHODIMP TimeControl::get_BorderStyle(BorderStyleConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<BorderStyleConstants>(look_.borderStyle);
    return S_OK;
}
STDMETHODIMP TimeControl::put_BorderStyle(BorderStyleConstants value) {
    return putDesignTimeOnly(look_.borderStyle, value, 1, 4);
}

STDMETHODIMP TimeControl::get_BackColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    *value = look_.backColor;
    return S_OK;
}
STDMETHODIMP TimeControl::put_BackColor(OLE_COLOR value) {
    look_.backColor = value;
    propertyChanged(DISPID_BACKCOLOR);
    return S_OK;
}

STDMETHODIMP TimeControl::get_ForeColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    *value = look_.foreColor;
    return S_OK;
}
STDMETHODIMP TimeControl::put_ForeColor(OLE_COLOR value) {
    look_.foreColor = value;
    propertyChanged(DISPID_FORECOLOR);
    return S_OK;
}

STDMETHODIMP TimeControl::get_Enabled(VARIANT_BOOL* value) {
    return getStockEnabled(look_.enabled, value);
}
STDMETHODIMP TimeControl::put_Enabled(VARIANT_BOOL value) {
    return putStockEnabled(look_.enabled, value);
}

STDMETHODIMP TimeControl::get_hWnd(OLE_HANDLE* value) {
    return getStockHwnd(value);
}

STDMETHODIMP TimeControl::get_MousePointer(MousePointerConstants* value) {
    return getMousePointerAs(value);
}
STDMETHODIMP TimeControl::put_MousePointer(MousePointerConstants value) {
    return putMousePointerChecked(value, 15);
}

STDMETHODIMP TimeControl::get_AlignHorizontal(AlignHorizontalConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<AlignHorizontalConstants>(look_.alignHorizontal);
    return S_OK;
}
STDMETHODIMP TimeControl::put_AlignHorizontal(AlignHorizontalConstants value) {
    return putRanged(look_.alignHorizontal, value, 2, 1);
}

STDMETHODIMP TimeControl::get_ClipMode(ClipModeConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<ClipModeConstants>(look_.clipMode);
    return S_OK;
}
STDMETHODIMP TimeControl::put_ClipMode(ClipModeConstants value) {
    return putRanged(look_.clipMode, value, 1, 19);
}

STDMETHODIMP TimeControl::get_CursorPosition(CursorPositionConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<CursorPositionConstants>(look_.cursorPosition);
    return S_OK;
}
STDMETHODIMP TimeControl::put_CursorPosition(CursorPositionConstants value) {
    return putRanged(look_.cursorPosition, value, 4, 20);
}

STDMETHODIMP TimeControl::get_DataProperty(DataPropertyConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<DataPropertyConstants>(look_.dataProperty);
    return S_OK;
}
STDMETHODIMP TimeControl::put_DataProperty(DataPropertyConstants value) {
    return putRanged(look_.dataProperty, value, 1, 21);
}

STDMETHODIMP TimeControl::get_HighlightText(HighlightTextConstants* value) {
    if (!value) return E_POINTER;
    *value = static_cast<HighlightTextConstants>(look_.highlightText);
    return S_OK;
}
STDMETHODIMP TimeControl::put_HighlightText(HighlightTextConstants value) {
    return putRanged(look_.highlightText, value, 2, 24);
}

STDMETHODIMP TimeControl::get_ErrorBeep(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = look_.errorBeep ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP TimeControl::put_ErrorBeep(VARIANT_BOOL value) {
    return putBool(look_.errorBeep, value, 5);
}

STDMETHODIMP TimeControl::get_ReadOnly(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = look_.readOnly ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP TimeControl::put_ReadOnly(VARIANT_BOOL value) {
    return putBool(look_.readOnly, value, 16);
}

STDMETHODIMP TimeControl::AboutBox() {
    UINT dialog = kAboutDialog;
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
// Property browsing

framework::PROPCAT TimeControl::categoryOf(DISPID dispid) {
    switch (dispid) {
    case 3:
    case 4:
    case DISPID_BACKCOLOR:
    case DISPID_FORECOLOR:
        return framework::PROPCAT_Appearance;
    case 6:
    case 7:
    case 8:
    case 9:
        return 1001;
    case 10:
    case 11:
    case 12:
    case 13:
        return 1000;
    case 16:
    case DISPID_ENABLED:
        return framework::PROPCAT_Behavior;
    case 21:
        return framework::PROPCAT_Data;
    case 23:
    case 24:
    case 30:
    case 35:
    case 50:
        return framework::PROPCAT_Text;
    case 26:
    case 27:
    case 29:
    case 36:
        return 4002;
    case 100:
        return 1003;
    case 102:
    case 103:
        return 1002;
    case DISPID_FONT:
        return framework::PROPCAT_Font;
    default:
        return framework::PROPCAT_Misc;
    }
}

const framework::PredefinedValues* TimeControl::predefinedValues(DISPID dispid) {
    static const framework::PredefinedValues lists[] = {
        {1, 1100, 3, false},  {3, 1110, 2, false},  {4, 1120, 2, false},  {15, 1140, 17, true},
        {19, 1130, 2, false}, {20, 4010, 5, false}, {21, 1190, 2, false}, {24, 1201, 3, false},
    };
    for (const auto& list : lists)
        if (list.dispid == dispid) return &list;
    return nullptr;
}

} // namespace timectl
