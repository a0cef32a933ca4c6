// The caption of the time control: a label drawn beside the edit area, reached by scripts and
// property pages as a sub-object of its own (ICaption). The control owns one; the object tells
// its owner of every accepted change so the control can announce it and repaint, and forgets the
// owner when the control goes, so a script holding the caption longer never reaches a dead control.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <string>

#include "vxtime.h"

namespace timectl {

// The caption's settings, as they are persisted.
struct CaptionState {
    std::string text = "&Caption";
    short alignment = 3; // centre left
    OLE_COLOR color = 0;
    short position = 0; // left of the edit area
    short spacing = 3;
    short size = 0; // width (left) or height (top) of the caption area
};

class CaptionOwner {
public:
    virtual void captionChanged(DISPID dispid) = 0;
    // Whether the control takes a caption area of `size` pixels.
    virtual bool acceptsCaptionSize(short size) = 0;
    // The font a caption starts with.
    virtual IFont* controlFont() = 0;

protected:
    ~CaptionOwner() = default;
};

class Caption final : public ICaption {
public:
    explicit Caption(CaptionOwner* owner);
    Caption(const Caption&) = delete;
    Caption& operator=(const Caption&) = delete;

    void detach() { owner_ = nullptr; }
    CaptionState& state() { return state_; }
    IFont* font() const { return font_; }
    // Takes a copy of `font` (null: a copy of the control's font).
    void setFont(IFont* font);
    void reset();

    // The caption area inside `bounds` (empty when Size is 0) and the rest, the edit area.
    void split(const RECT& bounds, RECT& captionArea, RECT& editArea) const;
    // Draws the text into its part of the caption area, transparently.
    void draw(HDC dc, const RECT& captionArea) const;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
    // ICaption
    STDMETHODIMP get_Text(BSTR* value) override;
    STDMETHODIMP put_Text(BSTR value) override;
    STDMETHODIMP get_Alignment(CaptionAlignmentConstants* value) override;
    STDMETHODIMP put_Alignment(CaptionAlignmentConstants value) override;
    STDMETHODIMP get_Color(OLE_COLOR* value) override;
    STDMETHODIMP put_Color(OLE_COLOR value) override;
    STDMETHODIMP get_Font(IFontDisp** value) override;
    STDMETHODIMP putref_Font(IFontDisp* value) override;
    STDMETHODIMP get_Position(CaptionPositionConstants* value) override;
    STDMETHODIMP put_Position(CaptionPositionConstants value) override;
    STDMETHODIMP get_Spacing(short* value) override;
    STDMETHODIMP put_Spacing(short value) override;
    STDMETHODIMP get_Size(short* value) override;
    STDMETHODIMP put_Size(short value) override;

private:
    ~Caption();
    HRESULT putShort(short& field, long value, long highest, DISPID dispid);
    void changed(DISPID dispid);
    ITypeInfo* typeInfo();

    LONG refs_ = 1;
    CaptionOwner* owner_;
    CaptionState state_;
    IFont* font_ = nullptr;
    ITypeInfo* typeInfo_ = nullptr;
};

} // namespace timectl
