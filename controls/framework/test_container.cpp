#include "test_container.h"

namespace vxtest {

namespace {

const IID kIVBGetControl = {0x40A050A0, 0x3C31, 0x101B, {0xA8, 0x2E, 0x08, 0x00, 0x2B, 0x2B, 0x23, 0x37}};
const int kTwipsPerPixel = 15;

struct IVBGetControl : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumControls(DWORD, DWORD, IEnumUnknown**) = 0;
};

LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createForm() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = formProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = L"VxTestForm";
        registered = RegisterClassW(&windowClass) != 0;
    }
    return CreateWindowExW(0, L"VxTestForm", L"Test form", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                           0, 0, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Reference counting for objects whose lifetime the container owns; they are never freed by
// their count, only by the container.
#define OWNED_UNKNOWN                                                                                        \
    STDMETHODIMP_(ULONG) AddRef() override {                                                                 \
        return 2;                                                                                            \
    }                                                                                                        \
    STDMETHODIMP_(ULONG) Release() override {                                                                \
        return 1;                                                                                            \
    }

} // namespace

// ---------------------------------------------------------------------------------------------

class ChildControl final : public IDispatch {
public:
    ChildControl(const RECT& pixels, bool fixedHeight)
        : left_(pixels.left * kTwipsPerPixel), top_(pixels.top * kTwipsPerPixel),
          width_((pixels.right - pixels.left) * kTwipsPerPixel),
          height_((pixels.bottom - pixels.top) * kTwipsPerPixel), fixedHeight_(fixedHeight) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    OWNED_UNKNOWN
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        static const wchar_t* known[] = {L"Left", L"Top", L"Width", L"Height", L"Move"};
        for (int i = 0; i < 5; ++i)
            if (lstrcmpiW(names[0], known[i]) == 0) {
                ids[0] = i + 1;
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        double* fields[] = {&left_, &top_, &width_, &height_};
        if (dispid >= 1 && dispid <= 4 && (flags & DISPATCH_PROPERTYGET)) {
            V_VT(result) = VT_R4;
            V_R4(result) = static_cast<float>(*fields[dispid - 1]);
            return S_OK;
        }
        if (dispid == 5 && params->cArgs >= 3) {
            ++moves;
            for (UINT i = 0; i < params->cArgs; ++i) {
                VARIANT value;
                VariantInit(&value);
                if (FAILED(VariantChangeType(&value, &params->rgvarg[params->cArgs - 1 - i], 0, VT_R8)))
                    return DISP_E_TYPEMISMATCH;
                if (i == 3 && fixedHeight_) continue;
                *fields[i] = V_R8(&value);
            }
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    RECT pixels() const {
        return RECT{static_cast<LONG>(left_ / kTwipsPerPixel), static_cast<LONG>(top_ / kTwipsPerPixel),
                    static_cast<LONG>((left_ + width_) / kTwipsPerPixel),
                    static_cast<LONG>((top_ + height_) / kTwipsPerPixel)};
    }
    int moves = 0;

private:
    double left_, top_, width_, height_;
    bool fixedHeight_;
};

class ChildEnumerator final : public IEnumUnknown {
public:
    explicit ChildEnumerator(std::vector<IUnknown*> items) : items_(std::move(items)) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG refs = --refs_;
        if (refs == 0) delete this;
        return refs;
    }
    STDMETHODIMP Next(ULONG count, IUnknown** out, ULONG* fetched) override {
        ULONG done = 0;
        while (done < count && position_ < items_.size())
            out[done++] = items_[position_++];
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        position_ += count;
        return position_ <= items_.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumUnknown**) override { return E_NOTIMPL; }

private:
    ULONG refs_ = 1;
    std::vector<IUnknown*> items_;
    size_t position_ = 0;
};

// ---------------------------------------------------------------------------------------------

class Container::Site final : public IOleClientSite,
                              public IOleInPlaceSite,
                              public IOleControlSite,
                              public IOleInPlaceFrame,
                              public IOleContainer,
                              public IVBGetControl {
public:
    Site(const IID& eventInterface, const Ambients& ambients) : ambients(ambients), events(eventInterface) {}
    ~Site() {
        for (ChildControl* child : children)
            delete child;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow))
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(iid, IID_IOleControlSite))
            *out = static_cast<IOleControlSite*>(this);
        else if (IsEqualIID(iid, IID_IDispatch) && ambients.present)
            *out = &ambientDispatch;
        else if (IsEqualIID(iid, IID_IOleContainer))
            *out = static_cast<IOleContainer*>(this);
        else if (IsEqualIID(iid, kIVBGetControl))
            *out = static_cast<IVBGetControl*>(this);
        return *out ? S_OK : E_NOINTERFACE;
    }
    OWNED_UNKNOWN

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        *container = static_cast<IOleContainer*>(this);
        return S_OK;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceSite (and the frame's IOleWindow)
    STDMETHODIMP GetWindow(HWND* window) override {
        *window = form;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++inPlaceActivations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** uiWindow, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        *uiWindow = nullptr;
        *position = this->position;
        *clip = this->position;
        info->fMDIApp = FALSE;
        info->hwndFrame = form;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++inPlaceDeactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT requested) override {
        positionRequests.push_back(*requested);
        position = *requested;
        IOleInPlaceObject* object = nullptr;
        if (control &&
            SUCCEEDED(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&object)))) {
            object->SetObjectRects(&position, &position);
            object->Release();
        }
        return S_OK;
    }

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** extended) override {
        *extended = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL enable) override {
        modelessCalls.push_back(enable != FALSE);
        return S_OK;
    }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IParseDisplayName, IOleContainer
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumObjects(DWORD, IEnumUnknown** objects) override {
        *objects = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP LockContainer(BOOL) override { return S_OK; }

    // IVBGetControl: the controls placed inside the hosted control.
    STDMETHODIMP EnumControls(DWORD, DWORD, IEnumUnknown** controls) override {
        std::vector<IUnknown*> items(children.begin(), children.end());
        *controls = new ChildEnumerator(items);
        return S_OK;
    }

    // The ambient properties, answered by a separate IDispatch of the site.
    class AmbientDispatch final : public IDispatch {
    public:
        explicit AmbientDispatch(Site* site) : site_(site) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
            if (IsEqualIID(iid, IID_IDispatch)) {
                *out = this;
                return S_OK;
            }
            return site_->QueryInterface(iid, out);
        }
        OWNED_UNKNOWN
        STDMETHODIMP GetTypeInfoCount(UINT* count) override {
            *count = 0;
            return S_OK;
        }
        STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
        STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
        STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                            UINT*) override {
            const Ambients& a = site_->ambients;
            VariantInit(result);
            switch (dispid) {
            case DISPID_AMBIENT_BACKCOLOR:
                V_VT(result) = VT_I4;
                V_I4(result) = static_cast<LONG>(a.backColor);
                return S_OK;
            case DISPID_AMBIENT_FORECOLOR:
                V_VT(result) = VT_I4;
                V_I4(result) = static_cast<LONG>(a.foreColor);
                return S_OK;
            case DISPID_AMBIENT_DISPLAYNAME:
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = SysAllocString(a.displayName.c_str());
                return S_OK;
            case DISPID_AMBIENT_USERMODE:
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = a.userMode ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            case DISPID_AMBIENT_MESSAGEREFLECT:
                if (!a.answerMessageReflect) return DISP_E_MEMBERNOTFOUND;
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = a.messageReflect ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
            }
        }

    private:
        Site* site_;
    };

    // The control's events and property-change announcements land here.
    class EventSink final : public IDispatch {
    public:
        explicit EventSink(const IID& iid) : iid_(iid) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
            if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, iid_)) {
                *out = this;
                return S_OK;
            }
            *out = nullptr;
            return E_NOINTERFACE;
        }
        OWNED_UNKNOWN
        STDMETHODIMP GetTypeInfoCount(UINT* count) override {
            *count = 0;
            return S_OK;
        }
        STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
        STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
        STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                            UINT*) override {
            RecordedEvent event{dispid, {}};
            for (UINT i = params->cArgs; i-- > 0;) {
                VARIANT value;
                VariantInit(&value);
                VariantCopyInd(&value, &params->rgvarg[i]);
                VariantChangeType(&value, &value, 0, VT_I4);
                event.arguments.push_back(V_I4(&value));
            }
            recorded.push_back(event);
            return S_OK;
        }
        std::vector<RecordedEvent> recorded;

    private:
        IID iid_;
    };

    class NotifySink final : public IPropertyNotifySink {
    public:
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
            if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink)) {
                *out = this;
                return S_OK;
            }
            *out = nullptr;
            return E_NOINTERFACE;
        }
        OWNED_UNKNOWN
        STDMETHODIMP OnChanged(DISPID dispid) override {
            changes.push_back(dispid);
            return S_OK;
        }
        STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
        std::vector<DISPID> changes;
    };

    Ambients ambients;
    AmbientDispatch ambientDispatch{this};
    EventSink events;
    NotifySink notifications;
    HWND form = nullptr;
    RECT position = {0, 0, 0, 0};
    IUnknown* control = nullptr;
    std::vector<ChildControl*> children;
    std::vector<RECT> positionRequests;
    std::vector<bool> modelessCalls;
    int inPlaceActivations = 0;
    int inPlaceDeactivations = 0;
};

// ---------------------------------------------------------------------------------------------

ControlLibrary::ControlLibrary(const char* path) : module_(LoadLibraryA(path)) {}
ControlLibrary::~ControlLibrary() {
    if (module_) FreeLibrary(module_);
}

HRESULT ControlLibrary::getClassObject(const CLSID& clsid, const IID& iid, void** out) {
    using Function = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto function =
        reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    return function ? function(clsid, iid, out) : E_FAIL;
}

namespace {
HRESULT callExport(HMODULE module, const char* name) {
    using Function = HRESULT(WINAPI*)();
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function ? function() : E_FAIL;
}
} // namespace

HRESULT ControlLibrary::canUnloadNow() {
    return callExport(module_, "DllCanUnloadNow");
}
HRESULT ControlLibrary::registerServer() {
    return callExport(module_, "DllRegisterServer");
}
HRESULT ControlLibrary::unregisterServer() {
    return callExport(module_, "DllUnregisterServer");
}

Container::Container(const IID& eventInterface, Ambients ambients)
    : site_(new Site(eventInterface, ambients)), eventInterface_(eventInterface) {
    form_ = createForm();
    site_->form = form_;
}

Container::~Container() {
    destroy();
    if (form_) DestroyWindow(form_);
    delete site_;
}

HRESULT Container::create(IClassFactory* factory) {
    HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control_));
    if (FAILED(hr)) return hr;
    site_->control = control_;
    IOleObject* object = as<IOleObject>(IID_IOleObject);
    if (!object) return E_NOINTERFACE;
    object->SetClientSite(static_cast<IOleClientSite*>(site_));
    object->Release();
    IPersistStreamInit* persist = as<IPersistStreamInit>(IID_IPersistStreamInit);
    if (persist) {
        hr = persist->InitNew();
        persist->Release();
        if (FAILED(hr)) return hr;
    }
    IConnectionPointContainer* points = as<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (!points) return E_NOINTERFACE;
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(points->FindConnectionPoint(eventInterface_, &point))) {
        point->Advise(static_cast<IDispatch*>(&site_->events), &eventCookie_);
        point->Release();
    }
    if (SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, &point))) {
        point->Advise(static_cast<IPropertyNotifySink*>(&site_->notifications), &notifyCookie_);
        point->Release();
    }
    points->Release();
    return S_OK;
}

HRESULT Container::activate(const RECT& position) {
    site_->position = position;
    IOleObject* object = as<IOleObject>(IID_IOleObject);
    if (!object) return E_NOINTERFACE;
    HRESULT hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0,
                                form_, &position);
    object->Release();
    pumpMessages();
    return hr;
}

HRESULT Container::deactivate() {
    IOleInPlaceObject* object = as<IOleInPlaceObject>(IID_IOleInPlaceObject);
    if (!object) return E_NOINTERFACE;
    HRESULT hr = object->InPlaceDeactivate();
    object->Release();
    return hr;
}

void Container::destroy() {
    if (!control_) return;
    IOleObject* object = as<IOleObject>(IID_IOleObject);
    if (object) {
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
        object->Release();
    }
    IConnectionPointContainer* points = as<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (points) {
        IConnectionPoint* point = nullptr;
        if (eventCookie_ && SUCCEEDED(points->FindConnectionPoint(eventInterface_, &point))) {
            point->Unadvise(eventCookie_);
            point->Release();
        }
        if (notifyCookie_ && SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, &point))) {
            point->Unadvise(notifyCookie_);
            point->Release();
        }
        points->Release();
    }
    control_->Release();
    control_ = nullptr;
    site_->control = nullptr;
}

HWND Container::controlWindow() {
    IOleWindow* window = as<IOleWindow>(IID_IOleWindow);
    if (!window) return nullptr;
    HWND handle = nullptr;
    window->GetWindow(&handle);
    window->Release();
    return handle;
}

HRESULT Container::get(const wchar_t* name, VARIANT* value) {
    IDispatch* dispatch = as<IDispatch>(IID_IDispatch);
    if (!dispatch) return E_NOINTERFACE;
    DISPID dispid;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (SUCCEEDED(hr)) {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VariantInit(value);
        EXCEPINFO exception = {};
        hr = dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value,
                              &exception, nullptr);
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
            hr = exception.scode ? exception.scode : static_cast<HRESULT>(0x80040000 | exception.wCode);
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    dispatch->Release();
    return hr;
}

HRESULT Container::put(const wchar_t* name, VARIANT value) {
    IDispatch* dispatch = as<IDispatch>(IID_IDispatch);
    if (!dispatch) return E_NOINTERFACE;
    DISPID dispid;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    lastErrorText_.clear();
    if (SUCCEEDED(hr)) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params = {&value, &named, 1, 1};
        EXCEPINFO exception = {};
        hr = dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                              &exception, nullptr);
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
            if (exception.bstrDescription) lastErrorText_ = exception.bstrDescription;
            hr = exception.scode ? exception.scode : static_cast<HRESULT>(0x80040000 | exception.wCode);
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    dispatch->Release();
    return hr;
}

HRESULT Container::putLong(const wchar_t* name, long value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return put(name, v);
}

long Container::getLong(const wchar_t* name) {
    VARIANT value;
    if (FAILED(get(name, &value)) || FAILED(VariantChangeType(&value, &value, 0, VT_I4))) return -99999;
    return V_I4(&value);
}

const std::vector<RecordedEvent>& Container::events() const {
    return site_->events.recorded;
}
void Container::clearEvents() {
    site_->events.recorded.clear();
}
const std::vector<DISPID>& Container::changes() const {
    return site_->notifications.changes;
}
void Container::clearChanges() {
    site_->notifications.changes.clear();
}
const std::vector<RECT>& Container::positionRequests() const {
    return site_->positionRequests;
}
const std::vector<bool>& Container::modelessCalls() const {
    return site_->modelessCalls;
}
Ambients& Container::ambients() {
    return site_->ambients;
}

ChildControl* Container::addChild(const RECT& pixels, bool fixedHeight) {
    auto* child = new ChildControl(pixels, fixedHeight);
    site_->children.push_back(child);
    return child;
}

RECT Container::childRect(ChildControl* child) const {
    return child->pixels();
}

PropertyBag::~PropertyBag() {
    for (auto& entry : entries_)
        VariantClear(&entry.second);
}

STDMETHODIMP PropertyBag::QueryInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
        *out = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// Like a designer's bag: the value converts to the type asked for, or the read fails.
STDMETHODIMP PropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    const VARIANT* stored = find(name);
    if (!stored) return E_INVALIDARG;
    VARTYPE wanted = V_VT(value);
    VariantInit(value);
    if (wanted == VT_EMPTY || wanted == V_VT(stored)) return VariantCopy(value, const_cast<VARIANT*>(stored));
    HRESULT hr = VariantChangeType(value, const_cast<VARIANT*>(stored), 0, wanted);
    return FAILED(hr) ? hr : S_OK;
}

STDMETHODIMP PropertyBag::Write(LPCOLESTR name, VARIANT* value) {
    set(name, *value);
    return S_OK;
}

void PropertyBag::set(const std::wstring& name, const VARIANT& value) {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, const_cast<VARIANT*>(&value));
    for (auto& entry : entries_)
        if (entry.first == name) {
            VariantClear(&entry.second);
            entry.second = copy;
            return;
        }
    entries_.emplace_back(name, copy);
}

void PropertyBag::remove(const std::wstring& name) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->first == name) {
            VariantClear(&it->second);
            entries_.erase(it);
            return;
        }
}

const VARIANT* PropertyBag::find(const std::wstring& name) const {
    for (const auto& entry : entries_)
        if (entry.first == name) return &entry.second;
    return nullptr;
}

std::vector<std::wstring> PropertyBag::names() const {
    std::vector<std::wstring> result;
    for (const auto& entry : entries_)
        result.push_back(entry.first);
    return result;
}

void pumpMessages() {
    MSG message;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace vxtest
