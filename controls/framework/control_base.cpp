#include "control_base.h"

#include <windowsx.h>

#include <vector>

#include "page_library.h"
#include "server.h"
#include "strings.h"
#include "verb_list.h"

namespace framework {

namespace {

template <class T> void releaseAndClear(T*& pointer) {
    if (pointer) pointer->Release();
    pointer = nullptr;
}

std::wstring widen(const char* text) {
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
    if (!wide.empty()) wide.pop_back();
    return wide;
}

short shiftState() {
    short shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

short buttonsFromKeys(WPARAM keys) {
    short buttons = 0;
    if (keys & MK_LBUTTON) buttons |= 1;
    if (keys & MK_RBUTTON) buttons |= 2;
    if (keys & MK_MBUTTON) buttons |= 4;
    return buttons;
}

LPCSTR cursorForPointer(short pointer) {
    switch (pointer) {
    case 1:
        return IDC_ARROW;
    case 2:
        return IDC_CROSS;
    case 3:
        return IDC_IBEAM;
    case 4:
        return IDC_ICON;
    case 5:
        return IDC_SIZEALL;
    case 6:
        return IDC_SIZENESW;
    case 7:
        return IDC_SIZENS;
    case 8:
        return IDC_SIZENWSE;
    case 9:
        return IDC_SIZEWE;
    case 10:
        return IDC_UPARROW;
    case 11:
        return IDC_WAIT;
    case 12:
        return IDC_NO;
    case 13:
        return IDC_APPSTARTING;
    case 14:
        return IDC_HELP;
    case 15:
        return IDC_SIZEALL;
    default:
        return nullptr;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Identity

STDMETHODIMP ControlBase::Inner::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IControlSelf)) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    void* found = owner_->queryControlInterface(iid);
    if (!found) found = owner_->queryFrameworkInterface(iid);
    if (!found) return E_NOINTERFACE;
    *out = found;
    static_cast<IUnknown*>(found)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ControlBase::Inner::AddRef() {
    return InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) ControlBase::Inner::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        refs_ = 1; // guards against re-entry while the object tears itself down
        delete owner_;
    }
    return refs;
}

ControlBase::ControlBase(IUnknown* outer, ControlDescription& description)
    : inner_(this), outer_(outer ? outer : &inner_), description_(description),
      eventPoint_(this, *description.eventInterface), notifyPoint_(this, IID_IPropertyNotifySink) {
    lockServer();
    GlobalGuard guard;
    ++description_.typeInfoRefs;
}

ControlBase::~ControlBase() {
    destroyWindows();
    eventPoint_.clear();
    notifyPoint_.clear();
    releaseSiteInterfaces();
    releaseAndClear(clientSite_);
    releaseAndClear(adviseHolder_);
    releaseAndClear(viewSink_);
    releaseAndClear(font_);
    releaseAndClear(mouseIcon_);
    {
        GlobalGuard guard;
        if (--description_.typeInfoRefs == 0) releaseAndClear(description_.typeInfo);
    }
    unlockServer();
}

STDMETHODIMP ControlBase::QueryInterface(REFIID iid, void** out) {
    return outer_->QueryInterface(iid, out);
}
STDMETHODIMP_(ULONG) ControlBase::AddRef() {
    return outer_->AddRef();
}
STDMETHODIMP_(ULONG) ControlBase::Release() {
    return outer_->Release();
}

void* ControlBase::queryFrameworkInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_ICategorizeProperties)) return static_cast<ICategorizeProperties*>(this);
    if (IsEqualIID(iid, IID_IPerPropertyBrowsing)) return static_cast<IPerPropertyBrowsing*>(this);
    // The OLE control layer: the first 32 bits pick the candidate, the full IID decides.
    struct Entry {
        const IID* iid;
        void* pointer;
    };
    const Entry entries[] = {
        {&IID_IPersistStorage, static_cast<IPersistStorage*>(this)},
        {&IID_IPersist, static_cast<IPersistStreamInit*>(this)},
        {&IID_IViewObject, static_cast<IViewObjectEx*>(this)},
        {&IID_IOleObject, static_cast<IOleObject*>(this)},
        {&IID_IOleInPlaceObject, static_cast<IOleInPlaceObjectWindowless*>(this)},
        {&IID_IOleWindow, static_cast<IOleInPlaceObjectWindowless*>(this)},
        {&IID_IOleInPlaceActiveObject, static_cast<IOleInPlaceActiveObject*>(this)},
        {&IID_IViewObject2, static_cast<IViewObjectEx*>(this)},
        {&IID_IOleInPlaceObjectWindowless, static_cast<IOleInPlaceObjectWindowless*>(this)},
        {&IID_IPersistPropertyBag, static_cast<IPersistPropertyBag*>(this)},
        {&IID_IViewObjectEx, static_cast<IViewObjectEx*>(this)},
        {&IID_IPointerInactive, static_cast<IPointerInactive*>(this)},
        {&IID_IPersistStreamInit, static_cast<IPersistStreamInit*>(this)},
        {&IID_IProvideClassInfo, static_cast<IProvideClassInfo*>(this)},
        {&IID_IConnectionPointContainer, static_cast<IConnectionPointContainer*>(this)},
        {&IID_IOleControl, static_cast<IOleControl*>(this)},
        {&IID_ISpecifyPropertyPages, static_cast<ISpecifyPropertyPages*>(this)},
        {&IID_IQuickActivate, static_cast<IQuickActivate*>(this)},
    };
    for (const Entry& entry : entries)
        if (entry.iid->Data1 == iid.Data1 && IsEqualIID(*entry.iid, iid)) return entry.pointer;
    if (IsEqualIID(iid, IID_IDispatch)) return dualInterface();
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Site and ambient properties

void ControlBase::releaseSiteInterfaces() {
    releaseAndClear(controlSite_);
    releaseAndClear(simpleFrameSite_);
    releaseAndClear(ambientDispatch_);
    releaseAndClear(frame_);
    releaseAndClear(uiWindow_);
    releaseAndClear(inPlaceSite_);
}

STDMETHODIMP ControlBase::SetClientSite(IOleClientSite* site) {
    releaseSiteInterfaces();
    releaseAndClear(clientSite_);
    userMode_ = -1;
    clientSite_ = site;
    if (!site) return S_OK;
    site->AddRef();
    site->QueryInterface(IID_IOleControlSite, reinterpret_cast<void**>(&controlSite_));
    site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambientDispatch_));
    if (description_.miscStatus & OLEMISC_SIMPLEFRAME)
        site->QueryInterface(IID_ISimpleFrameSite, reinterpret_cast<void**>(&simpleFrameSite_));
    return S_OK;
}

STDMETHODIMP ControlBase::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = clientSite_;
    if (clientSite_) clientSite_->AddRef();
    return S_OK;
}

HRESULT ControlBase::ambient(DISPID dispid, VARIANT* value) {
    VariantInit(value);
    if (!ambientDispatch_) return E_FAIL;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return ambientDispatch_->Invoke(dispid, IID_NULL, locale_, DISPATCH_PROPERTYGET, &none, value, nullptr,
                                    nullptr);
}

bool ControlBase::userMode() {
    if (userMode_ >= 0) return userMode_ != 0;
    VARIANT value;
    if (FAILED(ambient(DISPID_AMBIENT_USERMODE, &value)) ||
        FAILED(VariantChangeType(&value, &value, 0, VT_BOOL)))
        return true; // no site to ask: behave as at run time, and ask again once there is one
    userMode_ = V_BOOL(&value) != VARIANT_FALSE ? 1 : 0;
    return userMode_ != 0;
}

OLE_COLOR ControlBase::ambientColor(DISPID dispid, OLE_COLOR fallback) {
    VARIANT value;
    if (FAILED(ambient(dispid, &value)) || FAILED(VariantChangeType(&value, &value, 0, VT_I4)))
        return fallback;
    return static_cast<OLE_COLOR>(V_I4(&value));
}

std::wstring ControlBase::ambientDisplayName() {
    VARIANT value;
    if (FAILED(ambient(DISPID_AMBIENT_DISPLAYNAME, &value)) ||
        FAILED(VariantChangeType(&value, &value, 0, VT_BSTR)))
        return L"";
    std::wstring name(V_BSTR(&value) ? V_BSTR(&value) : L"");
    VariantClear(&value);
    return name;
}

STDMETHODIMP ControlBase::OnAmbientPropertyChange(DISPID dispid) {
    onAmbientChanged(dispid);
    invalidate();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Verbs and in-place activation

STDMETHODIMP ControlBase::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                 LPCRECT position) {
    if (site && !clientSite_) SetClientSite(site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case kVerbProperties:
    case OLEIVERB_PROPERTIES:
        return showPropertyFrame();
    case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
        return activateInPlace(parent, position);
    case OLEIVERB_UIACTIVATE: {
        HRESULT hr = activateInPlace(parent, position);
        if (FAILED(hr)) return hr;
        if (!userMode()) return OLEOBJ_S_CANNOT_DOVERB_NOW;
        return activateUserInterface();
    }
    default:
        if (verb < 0) return E_NOTIMPL;
        return doControlVerb(verb);
    }
}

// The system property frame over the control's own pages, centred on the screen. The page
// library must be there first: without it no page could show.
HRESULT ControlBase::showPropertyFrame() {
    if (!pageLibrary()) return E_UNEXPECTED;
    HRESULT hr = showOwnPropertyFrame();
    if (hr != E_NOTIMPL) return hr;
    std::wstring caption = widen(description_.objectName);
    std::vector<CLSID> pages;
    for (WORD i = 0; i < description_.pageCount; ++i)
        pages.push_back(*description_.pages[i]);
    IUnknown* self = outer_;
    tellContainerModal(true);
    hr = OleCreatePropertyFrame(GetActiveWindow(), GetSystemMetrics(SM_CXSCREEN) / 2,
                                GetSystemMetrics(SM_CYSCREEN) / 2, caption.c_str(), 1, &self,
                                static_cast<ULONG>(pages.size()), pages.data(), locale_, 0, nullptr);
    tellContainerModal(false);
    return hr;
}

void ControlBase::tellContainerModal(bool up) {
    IOleInPlaceFrame* frame = frame_;
    IOleInPlaceUIWindow* document = nullptr;
    if (frame) {
        frame->AddRef();
    } else if (inPlaceSite_ || clientSite_) {
        // Not in place: the site still knows its frame window.
        IOleInPlaceSite* site = inPlaceSite_;
        if (site)
            site->AddRef();
        else
            clientSite_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site));
        RECT position, clip;
        OLEINPLACEFRAMEINFO info = {};
        info.cb = sizeof info;
        if (site && FAILED(site->GetWindowContext(&frame, &document, &position, &clip, &info)))
            frame = nullptr;
        if (site) site->Release();
    }
    if (frame) {
        frame->EnableModeless(up ? FALSE : TRUE);
        frame->Release();
    }
    if (document) document->Release();
}

HRESULT ControlBase::activateInPlace(HWND parentHint, LPCRECT positionHint) {
    if (!clientSite_) return E_UNEXPECTED;
    if (inPlaceActive_) {
        if (window_) ShowWindow(window_, SW_SHOW);
        return S_OK;
    }
    if (!inPlaceSite_ &&
        FAILED(clientSite_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite_))))
        return E_NOINTERFACE;
    if (inPlaceSite_->CanInPlaceActivate() != S_OK) return E_FAIL;
    inPlaceSite_->OnInPlaceActivate();
    inPlaceActive_ = true;

    HWND parent = nullptr;
    if (FAILED(inPlaceSite_->GetWindow(&parent))) parent = parentHint;
    RECT position = {0, 0, 0, 0}, clip = {0, 0, 0, 0};
    OLEINPLACEFRAMEINFO frameInfo = {};
    frameInfo.cb = sizeof frameInfo;
    releaseAndClear(frame_);
    releaseAndClear(uiWindow_);
    if (FAILED(inPlaceSite_->GetWindowContext(&frame_, &uiWindow_, &position, &clip, &frameInfo)) &&
        positionHint)
        position = *positionHint;
    position_ = position;
    if (!createWindow(parent)) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ControlBase::activateUserInterface() {
    if (uiActive_) return S_OK;
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    if (window_ && GetFocus() != window_) SetFocus(window_);
    std::wstring name = widen(description_.objectName);
    if (frame_) frame_->SetActiveObject(this, name.c_str());
    if (uiWindow_) uiWindow_->SetActiveObject(this, name.c_str());
    if (frame_) frame_->SetBorderSpace(nullptr);
    return S_OK;
}

STDMETHODIMP ControlBase::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP ControlBase::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    if (window_) {
        // Out of place the window waits, hidden, under the library's parking window.
        ShowWindow(window_, SW_HIDE);
        SetParent(window_, parkingWindow());
    }
    if (reflector_) DestroyWindow(reflector_);
    reflector_ = nullptr;
    if (inPlaceSite_) inPlaceSite_->OnInPlaceDeactivate();
    releaseAndClear(frame_);
    releaseAndClear(uiWindow_);
    return S_OK;
}

bool ControlBase::registerWindowClass() {
    GlobalGuard guard;
    if (description_.windowClassRegistered) return true;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = moduleHandle();
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = description_.windowClassName;
    describeWindowClass(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = moduleHandle();
    windowClass.lpszClassName = description_.windowClassName;
    description_.windowClassRegistered = RegisterClassA(&windowClass) != 0;
    return description_.windowClassRegistered != 0;
}

bool ControlBase::createWindow(HWND parent) {
    const int width = position_.right - position_.left;
    const int height = position_.bottom - position_.top;
    HWND owner = parent;
    int x = position_.left, y = position_.top;

    // A container that does not reflect notifications gets a reflector window in between.
    VARIANT reflect;
    bool reflects = SUCCEEDED(ambient(DISPID_AMBIENT_MESSAGEREFLECT, &reflect)) &&
                    SUCCEEDED(VariantChangeType(&reflect, &reflect, 0, VT_BOOL)) &&
                    V_BOOL(&reflect) != VARIANT_FALSE;
    if (!reflects && registerReflectorClass()) {
        // Visible only once the control window is: an empty reflector must not cover the form.
        reflector_ = CreateWindowExA(0, kReflectorClassName, "", WS_CHILD | WS_CLIPSIBLINGS, x, y, width,
                                     height, parent, nullptr, moduleHandle(), nullptr);
        if (reflector_) {
            SetWindowLongPtrA(reflector_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            owner = reflector_;
            x = y = 0;
        }
    }
    if (window_) {
        SetParent(window_, owner);
        MoveWindow(window_, x, y, width, height, TRUE);
        ShowWindow(window_, SW_SHOW);
    } else {
        if (!registerWindowClass()) return false;
        window_ =
            CreateWindowExA(0, description_.windowClassName, "", WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE, x,
                            y, width, height, owner, nullptr, moduleHandle(), this);
        if (!window_) return false;
    }
    mirrorVisibilityToReflector();
    return true;
}

// The reflector is shown and hidden with the control window it carries.
void ControlBase::mirrorVisibilityToReflector() {
    if (!reflector_ || !window_) return;
    const bool visible = (GetWindowLongPtrA(window_, GWL_STYLE) & WS_VISIBLE) != 0;
    ShowWindow(reflector_, visible ? SW_SHOWNA : SW_HIDE);
}

void ControlBase::destroyWindows() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    if (reflector_) DestroyWindow(reflector_);
    reflector_ = nullptr;
}

STDMETHODIMP ControlBase::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    position_ = *position;
    const int width = position->right - position->left, height = position->bottom - position->top;
    if (reflector_) {
        MoveWindow(reflector_, position->left, position->top, width, height, TRUE);
        if (window_) MoveWindow(window_, 0, 0, width, height, TRUE);
    } else if (window_) {
        MoveWindow(window_, position->left, position->top, width, height, TRUE);
    }
    return S_OK;
}

STDMETHODIMP ControlBase::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP ControlBase::Close(DWORD) {
    InPlaceDeactivate();
    destroyWindows();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The control window

LRESULT CALLBACK ControlBase::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<ControlBase*>(create->lpCreateParams)->window_ = window;
    }
    auto* control = reinterpret_cast<ControlBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!control) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (control->window_ == window) control->window_ = nullptr;
        return control->defaultProcedure(window, message, wParam, lParam);
    }
    return control->windowMessage(message, wParam, lParam);
}

LRESULT ControlBase::windowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    LRESULT result = 0;
    DWORD cookie = 0;
    // A simple frame lets its site see the messages of the controls it holds first.
    if (simpleFrameSite_ &&
        simpleFrameSite_->PreMessageFilter(window, message, wParam, lParam, &result, &cookie) == S_FALSE)
        return result;

    bool handled = false;
    if (message == WM_PAINT && paintsWindow()) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        draw(dc, client);
        EndPaint(window, &paint);
        afterWindowPaint();
        handled = true;
    } else if (message == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT && setCursor()) {
        result = TRUE;
        handled = true;
    } else {
        if (message == WM_SETFOCUS && controlSite_) controlSite_->OnFocus(TRUE);
        if (message == WM_KILLFOCUS && controlSite_) controlSite_->OnFocus(FALSE);
        if (fireStockEvents(message, wParam, lParam)) return 0;
        result = onMessage(message, wParam, lParam, handled);
    }
    if (!handled) result = defaultProcedure(window, message, wParam, lParam);
    if (message == WM_SHOWWINDOW && reflector_) ShowWindow(reflector_, wParam ? SW_SHOWNA : SW_HIDE);

    if (simpleFrameSite_)
        simpleFrameSite_->PostMessageFilter(window, message, wParam, lParam, &result, cookie);
    return result;
}

bool ControlBase::setCursor() {
    if (mousePointer_ == 99 && mouseIcon_) {
        IPicture* picture = nullptr;
        if (FAILED(mouseIcon_->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&picture))))
            return false;
        OLE_HANDLE handle = 0;
        picture->get_Handle(&handle);
        picture->Release();
        if (!handle) return false;
        SetCursor(reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(handle)));
        return true;
    }
    LPCSTR cursor = cursorForPointer(mousePointer_);
    if (!cursor) return false;
    SetCursor(LoadCursorA(nullptr, cursor));
    return true;
}

void ControlBase::fireMouseEvent(DISPID dispid, short button, WPARAM keys, LPARAM position) {
    short shift = 0;
    if (keys & MK_SHIFT) shift |= 1;
    if (keys & MK_CONTROL) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    VARIANTARG arguments[4];
    V_VT(&arguments[0]) = VT_I4;
    V_I4(&arguments[0]) = GET_Y_LPARAM(position);
    V_VT(&arguments[1]) = VT_I4;
    V_I4(&arguments[1]) = GET_X_LPARAM(position);
    V_VT(&arguments[2]) = VT_I2;
    V_I2(&arguments[2]) = shift;
    V_VT(&arguments[3]) = VT_I2;
    V_I2(&arguments[3]) = button;
    fireEvent(dispid, arguments, 4);
}

// Returns true when a handler swallowed the key (set KeyCode or KeyAscii to 0).
bool ControlBase::fireStockEvents(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        short button = message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : 4;
        SetCapture(window_);
        fireMouseEvent(DISPID_MOUSEDOWN, button, wParam, lParam);
        return false;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        short button = message == WM_LBUTTONUP ? 1 : message == WM_RBUTTONUP ? 2 : 4;
        if (!(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == window_) ReleaseCapture();
        fireMouseEvent(DISPID_MOUSEUP, button, wParam, lParam);
        RECT client;
        GetClientRect(window_, &client);
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (button == 1 && PtInRect(&client, point)) fireEvent(DISPID_CLICK, nullptr, 0);
        return false;
    }
    case WM_LBUTTONDBLCLK:
        SetCapture(window_);
        fireEvent(DISPID_DBLCLICK, nullptr, 0);
        return false;
    case WM_MOUSEMOVE:
        fireMouseEvent(DISPID_MOUSEMOVE, buttonsFromKeys(wParam), wParam, lParam);
        return false;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        short keyCode = static_cast<short>(wParam);
        VARIANTARG arguments[2];
        V_VT(&arguments[0]) = VT_I2;
        V_I2(&arguments[0]) = shiftState();
        V_VT(&arguments[1]) = VT_I2 | VT_BYREF;
        V_I2REF(&arguments[1]) = &keyCode;
        fireEvent(down ? DISPID_KEYDOWN : DISPID_KEYUP, arguments, 2);
        return keyCode == 0;
    }
    case WM_CHAR: {
        short keyAscii = static_cast<short>(wParam);
        VARIANTARG argument;
        V_VT(&argument) = VT_I2 | VT_BYREF;
        V_I2REF(&argument) = &keyAscii;
        fireEvent(DISPID_KEYPRESS, &argument, 1);
        return keyAscii == 0;
    }
    default:
        return false;
    }
}

void ControlBase::fireEvent(DISPID dispid, VARIANTARG* reversedArguments, UINT count) {
    if (freezeCount_ > 0) return;
    DISPPARAMS params = {reversedArguments, nullptr, count, 0};
    for (IUnknown* sink : eventPoint_.sinks()) {
        static_cast<IDispatch*>(sink)->Invoke(dispid, IID_NULL, locale_, DISPATCH_METHOD, &params, nullptr,
                                              nullptr, nullptr);
        sink->Release();
    }
}

STDMETHODIMP ControlBase::FreezeEvents(BOOL freeze) {
    if (freeze)
        ++freezeCount_;
    else if (freezeCount_ > 0)
        --freezeCount_;
    return S_OK;
}

void ControlBase::propertyChanged(DISPID dispid) {
    dirty_ = true;
    for (IUnknown* sink : notifyPoint_.sinks()) {
        static_cast<IPropertyNotifySink*>(sink)->OnChanged(dispid);
        sink->Release();
    }
    invalidate();
}

void ControlBase::invalidate() {
    if (window_) InvalidateRect(window_, nullptr, FALSE);
    if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

// ---------------------------------------------------------------------------------------------
// Object properties: class, extent, advise, misc status

STDMETHODIMP ControlBase::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlBase::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlBase::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    *verbs = enumerateVerbs(controlVerbs());
    return S_OK;
}

STDMETHODIMP ControlBase::GetUserClassID(CLSID* clsid) {
    return GetClassID(clsid);
}

STDMETHODIMP ControlBase::GetUserType(DWORD form, LPOLESTR* type) {
    return OleRegGetUserType(*description_.clsid, form, type);
}

STDMETHODIMP ControlBase::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = *description_.clsid;
    return S_OK;
}

STDMETHODIMP ControlBase::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP ControlBase::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP ControlBase::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(&adviseHolder_))) return E_OUTOFMEMORY;
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP ControlBase::Unadvise(DWORD cookie) {
    return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP ControlBase::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : E_FAIL;
}

STDMETHODIMP ControlBase::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? description_.miscStatus : 0;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Views

STDMETHODIMP ControlBase::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                               LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_OPAQUE && aspect != DVASPECT_TRANSPARENT)
        return DV_E_DVASPECT;
    if (!dc) return E_INVALIDARG;
    RECT target;
    if (bounds) {
        target = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (window_) {
        GetClientRect(window_, &target);
    } else {
        return E_INVALIDARG;
    }
    draw(dc, target);
    return S_OK;
}

STDMETHODIMP ControlBase::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    releaseAndClear(viewSink_);
    viewSink_ = sink;
    if (sink) sink->AddRef();
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

STDMETHODIMP ControlBase::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_;
        if (viewSink_) viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP ControlBase::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

STDMETHODIMP ControlBase::GetRect(DWORD aspect, LPRECTL rect) {
    if (!rect) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *rect = {0, 0, extent_.cx, extent_.cy};
    return S_OK;
}

STDMETHODIMP ControlBase::GetViewStatus(DWORD* status) {
    if (!status) return E_POINTER;
    *status = description_.opaque ? VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND : 0;
    return S_OK;
}

STDMETHODIMP ControlBase::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG, DWORD* hit) {
    if (!bounds || !hit) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *hit = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP ControlBase::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG, DWORD* hit) {
    if (!bounds || !location || !hit) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    RECT overlap;
    *hit = IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Stock properties

HRESULT ControlBase::getFont(IFontDisp** font) {
    if (!font) return E_POINTER;
    *font = nullptr;
    if (!font_) return S_OK;
    return font_->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(font));
}

HRESULT ControlBase::putFont(IFontDisp* font, DISPID dispid) {
    if (!font) return raiseError(CTL_E_INVALIDPROPERTYVALUE, kStringInvalidValue);
    IFont* given = nullptr;
    if (FAILED(font->QueryInterface(IID_IFont, reinterpret_cast<void**>(&given))))
        return raiseError(CTL_E_INVALIDPROPERTYVALUE, kStringInvalidValue);
    IFont* copy = nullptr;
    HRESULT hr = given->Clone(&copy);
    given->Release();
    if (FAILED(hr)) return hr;
    releaseAndClear(font_);
    font_ = copy;
    propertyChanged(dispid);
    return S_OK;
}

HRESULT ControlBase::getMousePointer(short* pointer) {
    if (!pointer) return E_POINTER;
    *pointer = mousePointer_;
    return S_OK;
}

HRESULT ControlBase::putMousePointer(short pointer, DISPID dispid) {
    if ((pointer < 0 || pointer > 15) && pointer != 99)
        return raiseError(CTL_E_INVALIDPROPERTYVALUE, kStringInvalidValue);
    mousePointer_ = pointer;
    propertyChanged(dispid);
    return S_OK;
}

HRESULT ControlBase::putMousePointerChecked(long value, DISPID dispid) {
    if (value < -32768 || value > 32767) return raiseError(CTL_E_INVALIDPROPERTYVALUE, kStringInvalidValue);
    return putMousePointer(static_cast<short>(value), dispid);
}

HRESULT ControlBase::getStockEnabled(BOOL enabled, VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ControlBase::putStockEnabled(BOOL& enabled, VARIANT_BOOL value) {
    enabled = value != VARIANT_FALSE;
    if (userMode() && controlWindow()) EnableWindow(controlWindow(), enabled);
    propertyChanged(DISPID_ENABLED);
    return S_OK;
}

HRESULT ControlBase::getStockHwnd(OLE_HANDLE* value) {
    if (!value) return E_POINTER;
    *value = static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(controlWindow()));
    return S_OK;
}

HRESULT ControlBase::getMouseIcon(IPictureDisp** icon) {
    if (!icon) return E_POINTER;
    *icon = mouseIcon_;
    if (mouseIcon_) mouseIcon_->AddRef();
    return S_OK;
}

HRESULT ControlBase::putMouseIcon(IPictureDisp* icon, DISPID dispid) {
    if (icon) icon->AddRef();
    releaseAndClear(mouseIcon_);
    mouseIcon_ = icon;
    propertyChanged(dispid);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Automation

ITypeLib* ControlBase::loadTypeLibrary() {
    std::string path = modulePath();
    std::wstring widePath = widen(path.c_str());
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, &library))) return nullptr;
    return library;
}

ITypeInfo* ControlBase::typeInfo() {
    GlobalGuard guard;
    if (description_.typeInfo) return description_.typeInfo;
    ITypeLib* library = loadTypeLibrary();
    if (!library) return nullptr;
    ITypeInfo* info = nullptr;
    library->GetTypeInfoOfGuid(*description_.dualInterface, &info);
    library->Release();
    if (!info) return nullptr;
    // A dual interface is invoked through its vtable description, so calls reach our methods.
    HREFTYPE reference;
    ITypeInfo* vtableInfo = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &reference)) &&
        SUCCEEDED(info->GetRefTypeInfo(reference, &vtableInfo))) {
        info->Release();
        info = vtableInfo;
    }
    description_.typeInfo = info;
    return info;
}

HRESULT ControlBase::dispatchGetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT ControlBase::dispatchGetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* cached = typeInfo();
    if (!cached) return TYPE_E_CANTLOADLIBRARY;
    cached->AddRef();
    *info = cached;
    return S_OK;
}

HRESULT ControlBase::dispatchGetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = typeInfo();
    if (!info) return TYPE_E_CANTLOADLIBRARY;
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT ControlBase::dispatchInvoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = typeInfo();
    if (!info) return TYPE_E_CANTLOADLIBRARY;
    SetErrorInfo(0, nullptr);
    return info->Invoke(dualInterface(), dispid, flags, params, result, exception, argumentError);
}

HRESULT ControlBase::raiseError(HRESULT hr, UINT stringId, DWORD helpContext) {
    ICreateErrorInfo* creator = nullptr;
    if (FAILED(CreateErrorInfo(&creator))) return hr;
    std::wstring text = loadWideString(stringId);
    std::wstring source = widen(libraryName()) + L"." + widen(description_.objectName);
    std::wstring helpFile = widen(description_.helpFile);
    creator->SetGUID(*description_.dualInterface);
    creator->SetSource(const_cast<LPOLESTR>(source.c_str()));
    creator->SetDescription(const_cast<LPOLESTR>(text.c_str()));
    creator->SetHelpFile(const_cast<LPOLESTR>(helpFile.c_str()));
    creator->SetHelpContext(helpContext);
    IErrorInfo* error = nullptr;
    if (SUCCEEDED(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error)))) {
        SetErrorInfo(0, error);
        error->Release();
    }
    creator->Release();
    return hr;
}

STDMETHODIMP ControlBase::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    ITypeLib* library = loadTypeLibrary();
    if (!library) return TYPE_E_CANTLOADLIBRARY;
    HRESULT hr = library->GetTypeInfoOfGuid(*description_.clsid, info);
    library->Release();
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Connection points

STDMETHODIMP ControlBase::EnumConnectionPoints(IEnumConnectionPoints** points) {
    IConnectionPoint* both[2] = {&eventPoint_, &notifyPoint_};
    return createConnectionPointEnumerator(both, 2, points);
}

STDMETHODIMP ControlBase::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (IsEqualIID(iid, eventPoint_.iid()))
        *point = &eventPoint_;
    else if (IsEqualIID(iid, notifyPoint_.iid()))
        *point = &notifyPoint_;
    else
        return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Control information, quick activation, pointer policy, pages

STDMETHODIMP ControlBase::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->cb = sizeof *info;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP ControlBase::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control) return E_POINTER;
    if (container->lcid) locale_ = container->lcid;
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->cbSize = sizeof *control;
    control->dwMiscStatus = description_.miscStatus;
    GetViewStatus(&control->dwViewStatus);
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = description_.activationPolicy;
    if (container->pUnkEventSink) eventPoint_.Advise(container->pUnkEventSink, &control->dwEventCookie);
    if (container->pPropertyNotifySink)
        notifyPoint_.Advise(container->pPropertyNotifySink, &control->dwPropNotifyCookie);
    return S_OK;
}

STDMETHODIMP ControlBase::SetContentExtent(LPSIZEL size) {
    return SetExtent(DVASPECT_CONTENT, size);
}
STDMETHODIMP ControlBase::GetContentExtent(LPSIZEL size) {
    return GetExtent(DVASPECT_CONTENT, size);
}

STDMETHODIMP ControlBase::GetActivationPolicy(DWORD* policy) {
    if (!policy) return E_POINTER;
    *policy = description_.activationPolicy;
    return S_OK;
}

STDMETHODIMP ControlBase::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(
        CoTaskMemAlloc(sizeof(GUID) * (description_.pageCount ? description_.pageCount : 1)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    for (WORD i = 0; i < description_.pageCount; ++i)
        pages->pElems[i] = *description_.pages[i];
    pages->cElems = description_.pageCount;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Property browsing

STDMETHODIMP ControlBase::MapPropertyToCategory(DISPID dispid, PROPCAT* category) {
    if (!category) return E_POINTER;
    *category = categoryOf(dispid);
    return S_OK;
}

STDMETHODIMP ControlBase::GetCategoryName(PROPCAT category, LCID, BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    if (category <= 0) return E_NOTIMPL;
    std::wstring text = loadWideString(static_cast<UINT>(category));
    if (text.empty()) return E_NOTIMPL;
    *name = SysAllocString(text.c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ControlBase::GetDisplayString(DISPID dispid, BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    const PredefinedValues* values = predefinedValues(dispid);
    if (!values) return E_NOTIMPL;
    VARIANT current;
    VariantInit(&current);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    HRESULT hr = dualInterface()->Invoke(dispid, IID_NULL, locale_, DISPATCH_PROPERTYGET, &none, &current,
                                         nullptr, nullptr);
    if (FAILED(hr)) return hr;
    if (FAILED(VariantChangeType(&current, &current, 0, VT_I4))) return E_FAIL;
    LONG value = V_I4(&current);
    if (values->lastIsCustom && value == 99) value = static_cast<LONG>(values->count) - 1;
    if (value < 0 || value >= static_cast<LONG>(values->count)) return E_FAIL;
    std::wstring display = loadWideString(values->firstString + static_cast<UINT>(value));
    *text = SysAllocString(display.c_str());
    return *text ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ControlBase::MapPropertyToPage(DISPID, CLSID* page) {
    if (!page) return E_POINTER;
    *page = CLSID_NULL;
    return PERPROP_E_NOPAGEAVAILABLE;
}

STDMETHODIMP ControlBase::GetPredefinedStrings(DISPID dispid, CALPOLESTR* strings, CADWORD* cookies) {
    if (!strings || !cookies) return E_POINTER;
    strings->cElems = cookies->cElems = 0;
    strings->pElems = nullptr;
    cookies->pElems = nullptr;
    const PredefinedValues* values = predefinedValues(dispid);
    if (!values) return E_NOTIMPL;
    auto** texts = static_cast<LPOLESTR*>(CoTaskMemAlloc(sizeof(LPOLESTR) * values->count));
    auto* numbers = static_cast<DWORD*>(CoTaskMemAlloc(sizeof(DWORD) * values->count));
    if (!texts || !numbers) {
        CoTaskMemFree(texts);
        CoTaskMemFree(numbers);
        return E_OUTOFMEMORY;
    }
    for (UINT i = 0; i < values->count; ++i) {
        std::wstring text = loadWideString(values->firstString + i);
        texts[i] = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
        if (texts[i]) lstrcpyW(texts[i], text.c_str());
        numbers[i] = (values->lastIsCustom && i + 1 == values->count) ? 99 : i;
    }
    strings->cElems = cookies->cElems = values->count;
    strings->pElems = texts;
    cookies->pElems = numbers;
    return S_OK;
}

STDMETHODIMP ControlBase::GetPredefinedValue(DISPID dispid, DWORD cookie, VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    const PredefinedValues* values = predefinedValues(dispid);
    if (!values) return E_NOTIMPL;
    bool known = cookie < values->count || (values->lastIsCustom && cookie == 99);
    if (!known) return E_INVALIDARG;
    V_VT(value) = VT_I4;
    V_I4(value) = static_cast<LONG>(cookie);
    return S_OK;
}

} // namespace framework
