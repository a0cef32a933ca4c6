// The VxTime control object on the shared control framework. This object carries the control's
// identity, its window, drawing and the properties it shares with other edit controls; the time
// value and its formats are the portable time core's TimeModel, which the time members forward to.
// Its window is an edit field (a superclass of the system EDIT class) that shows the edit text while
// the control has the focus; the keyboard and mouse edit the time through the core's keystrokes.
// The caption is a sub-object of its own (caption.h) drawn beside the edit area.
#pragma once

#include <string>

#include "caption.h"
#include "control_base.h"
#include "key_table.h"
#include "keystrokes.h"
#include "stored_control.h"
#include "time_model.h"
#include "vxtime.h"
#include <imm.h>

namespace timectl {

// The properties of the edit base, in the order they are kept.
struct EditLook {
    short appearance = 1;
    short borderStyle = 1;
    short marginLeft = 1, marginTop = 1, marginRight = 1, marginBottom = 1;
    short alignHorizontal = 0;
    short clipMode = 0;
    short cursorPosition = 0;
    short dataProperty = 0;
    short highlightText = 0;
    BOOL enabled = TRUE;
    BOOL errorBeep = FALSE;
    BOOL readOnly = FALSE;
    OLE_COLOR backColor = 0x80000005;
    OLE_COLOR foreColor = 0x80000008;
    BOOL spinButton = FALSE;
    BOOL spinAutowrap = FALSE;
};

class TimeControl final : public IVxTime, public framework::ControlBase, private CaptionOwner {
public:
    explicit TimeControl(IUnknown* outer);
    ~TimeControl() override;

    FRAMEWORK_DUAL_FORWARDERS

    STDMETHODIMP get_Appearance(AppearanceConstants* value) override;
    STDMETHODIMP put_Appearance(AppearanceConstants value) override;
    STDMETHODIMP get_BackColor(OLE_COLOR* value) override;
    STDMETHODIMP put_BackColor(OLE_COLOR value) override;
    STDMETHODIMP get_BorderStyle(BorderStyleConstants* value) override;
    STDMETHODIMP put_BorderStyle(BorderStyleConstants value) override;
    STDMETHODIMP get_Enabled(VARIANT_BOOL* value) override;
    STDMETHODIMP put_Enabled(VARIANT_BOOL value) override;
    STDMETHODIMP get_ForeColor(OLE_COLOR* value) override;
    STDMETHODIMP put_ForeColor(OLE_COLOR value) override;
    STDMETHODIMP get_Font(IFontDisp** value) override { return getFont(value); }
    STDMETHODIMP putref_Font(IFontDisp* value) override { return putFont(value, DISPID_FONT); }
    STDMETHODIMP get_hWnd(OLE_HANDLE* value) override;
    STDMETHODIMP get_MouseIcon(IPictureDisp** value) override { return getMouseIcon(value); }
    STDMETHODIMP putref_MouseIcon(IPictureDisp* value) override { return putMouseIcon(value, 14); }
    STDMETHODIMP put_MouseIcon(IPictureDisp* value) override { return putMouseIcon(value, 14); }
    STDMETHODIMP get_MousePointer(MousePointerConstants* value) override;
    STDMETHODIMP put_MousePointer(MousePointerConstants value) override;
    STDMETHODIMP get_AlignHorizontal(AlignHorizontalConstants* value) override;
    STDMETHODIMP put_AlignHorizontal(AlignHorizontalConstants value) override;
    STDMETHODIMP get_ClipMode(ClipModeConstants* value) override;
    STDMETHODIMP put_ClipMode(ClipModeConstants value) override;
    STDMETHODIMP get_ErrorBeep(VARIANT_BOOL* value) override;
    STDMETHODIMP put_ErrorBeep(VARIANT_BOOL value) override;
    STDMETHODIMP get_MarginBottom(short* value) override { return getShort(look_.marginBottom, value); }
    STDMETHODIMP put_MarginBottom(short value) override { return putMargin(look_.marginBottom, value, 10); }
    STDMETHODIMP get_MarginLeft(short* value) override { return getShort(look_.marginLeft, value); }
    STDMETHODIMP put_MarginLeft(short value) override { return putMargin(look_.marginLeft, value, 11); }
    STDMETHODIMP get_MarginRight(short* value) override { return getShort(look_.marginRight, value); }
    STDMETHODIMP put_MarginRight(short value) override { return putMargin(look_.marginRight, value, 12); }
    STDMETHODIMP get_MarginTop(short* value) override { return getShort(look_.marginTop, value); }
    STDMETHODIMP put_MarginTop(short value) override { return putMargin(look_.marginTop, value, 13); }
    STDMETHODIMP get_ReadOnly(VARIANT_BOOL* value) override;
    STDMETHODIMP put_ReadOnly(VARIANT_BOOL value) override;
    STDMETHODIMP get_CursorPosition(CursorPositionConstants* value) override;
    STDMETHODIMP put_CursorPosition(CursorPositionConstants value) override;
    STDMETHODIMP get_DataProperty(DataPropertyConstants* value) override;
    STDMETHODIMP put_DataProperty(DataPropertyConstants value) override;
    STDMETHODIMP get_HighlightText(HighlightTextConstants* value) override;
    STDMETHODIMP put_HighlightText(HighlightTextConstants value) override;
    STDMETHODIMP AboutBox() override;

    // Members of the time value, its formats, selection, keys, caption and binding.
    // The time value and its formats.
    STDMETHODIMP get_Format(BSTR* value) override;
    STDMETHODIMP put_Format(BSTR value) override;
    STDMETHODIMP get_DisplayFormat(BSTR* value) override;
    STDMETHODIMP put_DisplayFormat(BSTR value) override;
    STDMETHODIMP get_PromptChar(BSTR* value) override;
    STDMETHODIMP put_PromptChar(BSTR value) override;
    STDMETHODIMP get_MinTime(VARIANT* value) override;
    STDMETHODIMP put_MinTime(VARIANT value) override;
    STDMETHODIMP get_MaxTime(VARIANT* value) override;
    STDMETHODIMP put_MaxTime(VARIANT value) override;
    STDMETHODIMP get_Number(VARIANT* value) override;
    STDMETHODIMP put_Number(VARIANT value) override;
    STDMETHODIMP get_Default(VARIANT* value) override { return get_Number(value); }
    STDMETHODIMP put_Default(VARIANT value) override { return put_Number(value); }
    STDMETHODIMP get_Value(VARIANT* value) override;
    STDMETHODIMP put_Value(VARIANT value) override;
    STDMETHODIMP get_Text(BSTR* value) override;
    STDMETHODIMP put_Text(BSTR value) override;
    STDMETHODIMP get_DispText(BSTR* value) override;
    STDMETHODIMP get_Hour(short* value) override;
    STDMETHODIMP get_Minute(short* value) override;
    STDMETHODIMP get_Second(short* value) override;
    STDMETHODIMP get_AMPM(BSTR* value) override;
    STDMETHODIMP ClearControl() override;

    // Selection, keys and binding.
    STDMETHODIMP get_SelLength(short* value) override;
    STDMETHODIMP put_SelLength(short value) override;
    STDMETHODIMP get_SelStart(short* value) override;
    STDMETHODIMP put_SelStart(short value) override;
    STDMETHODIMP get_SelText(BSTR* value) override;
    STDMETHODIMP put_SelText(BSTR value) override;
    STDMETHODIMP get_KeyClear(BSTR* value) override { return getKeys(vxtime::KeyGroup::Clear, value); }
    STDMETHODIMP put_KeyClear(BSTR value) override { return putKeys(vxtime::KeyGroup::Clear, value, 6); }
    STDMETHODIMP get_KeyNext(BSTR* value) override { return getKeys(vxtime::KeyGroup::Next, value); }
    STDMETHODIMP put_KeyNext(BSTR value) override { return putKeys(vxtime::KeyGroup::Next, value, 7); }
    STDMETHODIMP get_KeyNow(BSTR* value) override { return getKeys(vxtime::KeyGroup::Now, value); }
    STDMETHODIMP put_KeyNow(BSTR value) override { return putKeys(vxtime::KeyGroup::Now, value, 8); }
    STDMETHODIMP get_KeyPrevious(BSTR* value) override { return getKeys(vxtime::KeyGroup::Previous, value); }
    STDMETHODIMP put_KeyPrevious(BSTR value) override {
        return putKeys(vxtime::KeyGroup::Previous, value, 9);
    }
    STDMETHODIMP get_Caption(ICaption** value) override;
    STDMETHODIMP get_BindField(VARIANT* value) override;
    STDMETHODIMP put_BindField(VARIANT value) override;

    // Persistence: a bag without DisplayFormat or CaptionFont takes them from what it loaded.
    using ControlBase::Load;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;

    // The accelerator stage: KeyNext, KeyPrevious and the arrow keys before the container sees them.
    STDMETHODIMP TranslateAccelerator(LPMSG message) override;

protected:
    IDispatch* dualInterface() override { return static_cast<IVxTime*>(this); }
    void* queryControlInterface(REFIID iid) override;
    void setDefaults() override;
    void draw(HDC dc, const RECT& bounds) override;
    framework::PROPCAT categoryOf(DISPID dispid) override;
    const framework::PredefinedValues* predefinedValues(DISPID dispid) override;
    void describeWindowClass(WNDCLASSA& windowClass) override;
    LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool paintsWindow() override;
    void persistentFields(framework::PersistentFields& fields) override;
    HRESULT saveBlocks(framework::StreamWriter& out) override;
    HRESULT loadBlocks(framework::StreamReader& in) override;
    void afterLoad() override;
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    HRESULT getShort(short field, short* value);
    HRESULT putRanged(short& field, long value, long highest, DISPID dispid);
    HRESULT putDesignTimeOnly(short& field, long value, long highest, DISPID dispid);
    HRESULT putMargin(short& field, long value, DISPID dispid);
    HRESULT putBool(BOOL& field, VARIANT_BOOL value, DISPID dispid);

    // The answer to an automation caller for the model's verdict on an assignment to `dispid`.
    HRESULT settle(vxtime::Assign verdict, DISPID dispid);
    HRESULT refuse(UINT stringId);
    HRESULT putTimeNumber(VARIANT value, DISPID dispid);
    HRESULT getField(int field, short* value);
    void drawDisplayText(HDC dc, const RECT& inside);
    RECT drawFrame(HDC dc, const RECT& bounds);
    void drawBorder(HDC dc, const RECT& editArea);
    // The part of the window the edit area takes, beside the caption.
    RECT editArea(const RECT& bounds) const;
    void drawCaption(HDC dc, const RECT& bounds) const;

    // The caption's owner.
    void captionChanged(DISPID dispid) override;
    bool acceptsCaptionSize(short size) override;
    IFont* controlFont() override { return font(); }

    // Persistence (time_persistence.cpp).
    void capture();
    void resetHeldValues();
    void restoreKeys();

    // Keys and selection.
    HRESULT getKeys(vxtime::KeyGroup group, BSTR* value);
    HRESULT putKeys(vxtime::KeyGroup group, BSTR value, DISPID dispid);
    vxtime::Selection selection();
    void select(vxtime::Selection selection);
    void reshapeCaret();

    // Editing in the window (time_editing.cpp).
    bool editing();
    LRESULT callEdit(UINT message, WPARAM wParam, LPARAM lParam);
    void showEditText();
    void onFocusEntry();
    void onFocusExit();
    void validateAfterFocusLoss();
    bool onKeyDown(WPARAM key);
    void onCharacter(WPARAM character);
    void finishKeystroke(vxtime::Keystroke result);
    void commitDeletion();
    void copySelection();
    void cutSelection();
    void clearSelection();
    void restoreAtEscape();
    void spinStep(int direction);
    void refuseKeystroke();
    void pushBinding();
    LRESULT editColors(HDC dc);

    EditLook look_;
    vxtime::TimeModel model_;
    vxtime::KeyTable keys_ = vxtime::KeyTable::withDefaults();
    std::string keyTexts_[vxtime::KeyTable::kGroups];
    vxtime::Selection selection_;
    int lastKeyGroup_ = -1;
    bool escapeTaken_ = false; // the last key-down was an Escape that restored the time
    bool hasFocus_ = false;
    HIMC detachedContext_ = nullptr;
    HBRUSH backBrush_ = nullptr;
    VARIANT bindField_;
    Caption* caption_ = nullptr;
    StoredControl stored_;
};

framework::ControlDescription& timeDescription();

} // namespace timectl
