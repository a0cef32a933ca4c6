// The VxFrame3D control object: a bevelled panel with shadow, outline and caption that can hold
// other controls and size the first of them to its inner area.
#pragma once

#include "control_base.h"
#include "frame_look.h"
#include "vxframe3d.h"

namespace frame {

// Posted to itself when a contained control appears, goes or is clicked.
const UINT kChildrenChanged = WM_USER + 0x100;

class FrameControl final : public IVxFrame3D, public framework::ControlBase {
public:
    explicit FrameControl(IUnknown* outer);

    FRAMEWORK_DUAL_FORWARDERS

    STDMETHODIMP get_BackColor(OLE_COLOR* value) override;
    STDMETHODIMP put_BackColor(OLE_COLOR value) override;
    STDMETHODIMP get_ForeColor(OLE_COLOR* value) override;
    STDMETHODIMP put_ForeColor(OLE_COLOR value) override;
    STDMETHODIMP get_Font(IFontDisp** value) override { return getFont(value); }
    STDMETHODIMP putref_Font(IFontDisp* value) override { return putFont(value, DISPID_FONT); }
    STDMETHODIMP get_hWnd(OLE_HANDLE* value) override;
    STDMETHODIMP get_MousePointer(MousePointerConstants* value) override;
    STDMETHODIMP put_MousePointer(MousePointerConstants value) override;
    STDMETHODIMP get_MouseIcon(IPictureDisp** value) override { return getMouseIcon(value); }
    STDMETHODIMP putref_MouseIcon(IPictureDisp* value) override { return putMouseIcon(value, kMouseIconId); }
    STDMETHODIMP put_MouseIcon(IPictureDisp* value) override { return putMouseIcon(value, kMouseIconId); }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* value) override;
    STDMETHODIMP put_Enabled(VARIANT_BOOL value) override;
    STDMETHODIMP get_AlignHorizontal(AlignHorizontalConstants* value) override;
    STDMETHODIMP put_AlignHorizontal(AlignHorizontalConstants value) override;
    STDMETHODIMP get_Caption(BSTR* value) override;
    STDMETHODIMP put_Caption(BSTR value) override;
    STDMETHODIMP get_AlignVertical(AlignVerticalConstants* value) override;
    STDMETHODIMP put_AlignVertical(AlignVerticalConstants value) override;
    STDMETHODIMP get_AutoSize(AutoSizeConstants* value) override;
    STDMETHODIMP put_AutoSize(AutoSizeConstants value) override;
    STDMETHODIMP get_Bevel(short* value) override { return getShort(look_.bevel, value); }
    STDMETHODIMP put_Bevel(short value) override { return putShort(look_.bevel, value, -30, 30, 4); }
    STDMETHODIMP get_BevelLight(short* value) override { return getShort(look_.bevelLight, value); }
    STDMETHODIMP put_BevelLight(short value) override {
        return putShort(look_.bevelLight, value, -100, 100, 5);
    }
    STDMETHODIMP get_BevelShade(short* value) override { return getShort(look_.bevelShade, value); }
    STDMETHODIMP put_BevelShade(short value) override {
        return putShort(look_.bevelShade, value, -100, 100, 6);
    }
    STDMETHODIMP get_LightSource(LightSourceConstants* value) override;
    STDMETHODIMP put_LightSource(LightSourceConstants value) override;
    STDMETHODIMP get_OutLine(OutLineConstants* value) override;
    STDMETHODIMP put_OutLine(OutLineConstants value) override;
    STDMETHODIMP get_ShadowDarkness(short* value) override { return getShort(look_.shadowDarkness, value); }
    STDMETHODIMP put_ShadowDarkness(short value) override {
        return putShort(look_.shadowDarkness, value, 0, 255, 9);
    }
    STDMETHODIMP get_ShadowWidth(short* value) override { return getShort(look_.shadowWidth, value); }
    STDMETHODIMP put_ShadowWidth(short value) override {
        return putShort(look_.shadowWidth, value, 0, 30, 10);
    }
    STDMETHODIMP get_MarginLeft(short* value) override { return getShort(look_.marginLeft, value); }
    STDMETHODIMP put_MarginLeft(short value) override { return putShort(look_.marginLeft, value, 0, 30, 11); }
    STDMETHODIMP get_MarginTop(short* value) override { return getShort(look_.marginTop, value); }
    STDMETHODIMP put_MarginTop(short value) override { return putShort(look_.marginTop, value, 0, 30, 12); }
    STDMETHODIMP get_MarginRight(short* value) override { return getShort(look_.marginRight, value); }
    STDMETHODIMP put_MarginRight(short value) override {
        return putShort(look_.marginRight, value, 0, 30, 13);
    }
    STDMETHODIMP get_MarginBottom(short* value) override { return getShort(look_.marginBottom, value); }
    STDMETHODIMP put_MarginBottom(short value) override {
        return putShort(look_.marginBottom, value, 0, 30, 14);
    }
    STDMETHODIMP get_ShadowBaseColor(OLE_COLOR* value) override;
    STDMETHODIMP put_ShadowBaseColor(OLE_COLOR value) override;
    STDMETHODIMP get__Caption(BSTR* value) override { return get_Caption(value); }
    STDMETHODIMP put__Caption(BSTR value) override { return put_Caption(value); }
    STDMETHODIMP put_MouseIcon_Filename(BSTR value) override;
    STDMETHODIMP AboutBox() override;

protected:
    IDispatch* dualInterface() override { return static_cast<IVxFrame3D*>(this); }
    void* queryControlInterface(REFIID iid) override;
    void setDefaults() override;
    void draw(HDC dc, const RECT& bounds) override;
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void afterWindowPaint() override;
    framework::PROPCAT categoryOf(DISPID dispid) override;
    const framework::PredefinedValues* predefinedValues(DISPID dispid) override;
    void persistentFields(framework::PersistentFields& fields) override;
    void afterLoad() override;

private:
    static const DISPID kMousePointerId = 15;
    static const DISPID kMouseIconId = 16;
    static const DISPID kShadowBaseColorId = 17;

    HRESULT getShort(short field, short* value);
    HRESULT putShort(short& field, long value, long lowest, long highest, DISPID dispid);
    HRESULT putColor(OLE_COLOR& field, OLE_COLOR value, DISPID dispid);
    void sizeFirstChild();

    FrameLook look_;
    bool autoSizing_ = false;
};

framework::ControlDescription& frameDescription();

} // namespace frame
