// AutoSize: the first control inside the frame is moved and sized to the frame's inner area;
// a control that keeps its own height makes the frame follow it instead.
#include <cmath>

#include "frame_control.h"
#include "frame_drawing.h"

namespace frame {

namespace {

HRESULT getProperty(IDispatch* object, const wchar_t* name, double* value) {
    DISPID dispid;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) return hr;
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    hr = object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                        nullptr);
    if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_R8);
    if (SUCCEEDED(hr)) *value = V_R8(&result);
    VariantClear(&result);
    return hr;
}

struct TwipsRect {
    double left, top, width, height;
};

bool readRect(IDispatch* control, TwipsRect* rect) {
    return SUCCEEDED(getProperty(control, L"Left", &rect->left)) &&
           SUCCEEDED(getProperty(control, L"Top", &rect->top)) &&
           SUCCEEDED(getProperty(control, L"Width", &rect->width)) &&
           SUCCEEDED(getProperty(control, L"Height", &rect->height));
}

RECT toPixels(const TwipsRect& twips, int twipsPerPixel) {
    const LONG left = static_cast<LONG>(twips.left / twipsPerPixel);
    const LONG top = static_cast<LONG>(twips.top / twipsPerPixel);
    return RECT{left, top, left + static_cast<LONG>(twips.width / twipsPerPixel),
                top + static_cast<LONG>(twips.height / twipsPerPixel)};
}

// Move(Left, Top, Width, Height) in twips; a control whose Move takes no height gets three.
void moveControl(IDispatch* control, const RECT& inner, int twipsPerPixel) {
    DISPID move;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Move")};
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &move))) return;
    const float values[4] = {static_cast<float>(inner.left * twipsPerPixel),
                             static_cast<float>(inner.top * twipsPerPixel),
                             static_cast<float>((inner.right - inner.left) * twipsPerPixel),
                             static_cast<float>((inner.bottom - inner.top) * twipsPerPixel)};
    VARIANTARG arguments[4];
    for (int i = 0; i < 4; ++i) {
        V_VT(&arguments[3 - i]) = VT_R4;
        V_R4(&arguments[3 - i]) = values[i];
    }
    DISPPARAMS params = {arguments, nullptr, 4, 0};
    EXCEPINFO exception = {};
    HRESULT hr = control->Invoke(move, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                 &exception, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (hr != DISP_E_EXCEPTION) return;
    params = {arguments + 1, nullptr, 3, 0};
    control->Invoke(move, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

// The dispatch object a container shows for a contained control: its extended control when the
// container offers one, else the control's own.
IDispatch* extendedControl(IUnknown* object) {
    IDispatch* result = nullptr;
    IOleObject* oleObject = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&oleObject)))) {
        IOleClientSite* site = nullptr;
        if (SUCCEEDED(oleObject->GetClientSite(&site)) && site) {
            IOleControlSite* controlSite = nullptr;
            if (SUCCEEDED(
                    site->QueryInterface(IID_IOleControlSite, reinterpret_cast<void**>(&controlSite)))) {
                if (FAILED(controlSite->GetExtendedControl(&result))) result = nullptr;
                controlSite->Release();
            }
            site->Release();
        }
        oleObject->Release();
    }
    if (!result) object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&result));
    return result;
}

IEnumUnknown* containedControls(IOleClientSite* site) {
    framework::IVBGetControl* getControl = nullptr;
    IOleContainer* container = nullptr;
    if (SUCCEEDED(site->GetContainer(&container)) && container) {
        container->QueryInterface(framework::IID_IVBGetControl, reinterpret_cast<void**>(&getControl));
        container->Release();
    }
    if (!getControl)
        site->QueryInterface(framework::IID_IVBGetControl, reinterpret_cast<void**>(&getControl));
    if (!getControl) return nullptr;
    IEnumUnknown* controls = nullptr;
    if (FAILED(getControl->EnumControls(OLECONTF_EMBEDDINGS | OLECONTF_OTHERS | OLECONTF_ONLYIFRUNNING,
                                        framework::GC_WCH_CONTAINED, &controls)))
        controls = nullptr;
    getControl->Release();
    return controls;
}

// The first contained control that has a Height.
IDispatch* firstSizableControl(IEnumUnknown* controls) {
    IUnknown* object = nullptr;
    while (controls->Next(1, &object, nullptr) == S_OK) {
        IDispatch* control = extendedControl(object);
        object->Release();
        if (!control) continue;
        DISPID height;
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"Height")};
        if (SUCCEEDED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &height)))
            return control;
        control->Release();
    }
    return nullptr;
}

int twipsPerPixel() {
    HDC screen = GetDC(nullptr);
    int perInch = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return perInch > 0 ? 1440 / perInch : 15;
}

} // namespace

void FrameControl::sizeFirstChild() {
    HWND window = controlWindow();
    if (!clientSite() || !window) return;
    IEnumUnknown* controls = containedControls(clientSite());
    if (!controls) return;
    IDispatch* child = firstSizableControl(controls);
    controls->Release();
    if (!child) return;

    RECT client;
    GetClientRect(window, &client);
    const RECT inner = innerRect(look_, client);
    const int perPixel = twipsPerPixel();
    TwipsRect twips;
    RECT before = {0, 0, 0, 0};
    if (readRect(child, &twips)) before = toPixels(twips, perPixel);
    if (readRect(child, &twips) && !EqualRect(&inner, &before)) {
        moveControl(child, inner, perPixel);
        if (readRect(child, &twips)) {
            const RECT now = toPixels(twips, perPixel);
            const LONG difference = (now.bottom - now.top) - (inner.bottom - inner.top);
            if (difference != 0) {
                // The child keeps its own height: the frame grows or shrinks around it.
                RECT position = positionRect();
                position.bottom += difference;
                if (inPlaceSite())
                    inPlaceSite()->OnPosRectChange(&position);
                else
                    SetWindowPos(window, nullptr, 0, 0, client.right, client.bottom + difference,
                                 SWP_NOMOVE | SWP_NOZORDER);
            }
        }
    }
    child->Release();
    ValidateRect(window, &inner);
}

} // namespace frame
