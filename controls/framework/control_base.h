// The OLE control base shared by the controls of both libraries: identity and aggregation, in-place
// activation of the control's window, the view interfaces, connection points, ambient properties of
// the site, stock properties (Font, MousePointer, MouseIcon), property browsing and automation
// errors. A control class derives from its dual interface and from this base and plugs in its
// drawing, its messages, its defaults and its browsing tables.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <string>

#include "connection_points.h"
#include "object_table.h"
#include "ole_extras.h"
#include "persistence.h"

namespace framework {

// A property whose browser offers a fixed list of values, strings from the string table.
struct PredefinedValues {
    DISPID dispid;
    UINT firstString;
    UINT count;
    bool lastIsCustom; // the last value is 99 (custom mouse pointer) instead of count - 1
};

class ControlBase : public IOleObject,
                    public IOleInPlaceObjectWindowless,
                    public IOleInPlaceActiveObject,
                    public IViewObjectEx,
                    public IPersistStreamInit,
                    public IPersistStorage,
                    public IPersistPropertyBag,
                    public IOleControl,
                    public IProvideClassInfo,
                    public IConnectionPointContainer,
                    public ISpecifyPropertyPages,
                    public IQuickActivate,
                    public IPointerInactive,
                    public ICategorizeProperties,
                    public IPerPropertyBrowsing {
public:
    ControlBase(IUnknown* outer, ControlDescription& description);
    virtual ~ControlBase();
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    // The object's identity for the class object: the non-delegating unknown.
    IUnknown* innerUnknown() { return &inner_; }
    HWND controlWindow() const { return window_; }
    bool userMode();
    bool isInPlaceActive() const { return inPlaceActive_; }

    // IUnknown, delegating to the outer unknown when aggregated.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceObjectWindowless
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }
    STDMETHODIMP GetDropTarget(IDropTarget**) override { return E_NOTIMPL; }

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IViewObject, IViewObject2, IViewObjectEx
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice,
                      HDC dc, LPCRECTL bounds, LPCRECTL windowBounds,
                      BOOL(STDMETHODCALLTYPE* carryOn)(ULONG_PTR), ULONG_PTR carryOnArgument) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;
    STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override;
    STDMETHODIMP GetViewStatus(DWORD* status) override;
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG, DWORD* hit) override;
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG, DWORD* hit) override;
    STDMETHODIMP GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override {
        return E_NOTIMPL;
    }

    // IPersist, IPersistStreamInit, IPersistStorage, IPersistPropertyBag. A control that hands
    // the framework no persistent properties refuses loading and saving (E_NOTIMPL).
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
    STDMETHODIMP HandsOffStorage() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID dispid) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) override;

    // IPointerInactive
    STDMETHODIMP GetActivationPolicy(DWORD* policy) override;
    STDMETHODIMP OnInactiveMouseMove(LPCRECT, LONG, LONG, DWORD) override { return S_OK; }
    STDMETHODIMP OnInactiveSetCursor(LPCRECT, LONG, LONG, DWORD, BOOL) override { return S_FALSE; }

    // ICategorizeProperties
    STDMETHODIMP MapPropertyToCategory(DISPID dispid, PROPCAT* category) override;
    STDMETHODIMP GetCategoryName(PROPCAT category, LCID locale, BSTR* name) override;

    // IPerPropertyBrowsing
    STDMETHODIMP GetDisplayString(DISPID dispid, BSTR* text) override;
    STDMETHODIMP MapPropertyToPage(DISPID, CLSID* page) override;
    STDMETHODIMP GetPredefinedStrings(DISPID dispid, CALPOLESTR* strings, CADWORD* cookies) override;
    STDMETHODIMP GetPredefinedValue(DISPID dispid, DWORD cookie, VARIANT* value) override;

protected:
    // --- What a control class supplies ---
    virtual IDispatch* dualInterface() = 0;
    // Interfaces of the control's own layer, asked before the framework's (null: not answered).
    virtual void* queryControlInterface(REFIID) { return nullptr; }
    // Sets every property to its default, reading the site's ambient properties where they apply.
    virtual void setDefaults() = 0;
    // Draws the control into `dc` inside `bounds` (the window or a container's device context).
    virtual void draw(HDC dc, const RECT& bounds) = 0;
    // Messages of the control window; set `handled` to keep the default handling away.
    virtual LRESULT onMessage(UINT, WPARAM, LPARAM, bool& handled) {
        handled = false;
        return 0;
    }
    virtual void afterWindowPaint() {}
    // A control built on a system window class fills `windowClass` from that class (keeping the
    // class's own procedure for defaultProcedure); the framework then registers it under the
    // control's class name with its own procedure.
    virtual void describeWindowClass(WNDCLASSA&) {}
    // Where the messages the control leaves unhandled go.
    virtual LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    // False while the window class's own procedure paints the window (an edit field with the focus).
    virtual bool paintsWindow() { return true; }
    virtual void onAmbientChanged(DISPID) {}
    virtual PROPCAT categoryOf(DISPID) { return PROPCAT_Misc; }
    virtual const PredefinedValues* predefinedValues(DISPID) { return nullptr; }
    // The control's own verbs above 1.
    virtual HRESULT doControlVerb(LONG) { return OLEOBJ_S_INVALIDVERB; }
    // A property frame of the control's own; E_NOTIMPL lets the framework open the system's.
    virtual HRESULT showOwnPropertyFrame() { return E_NOTIMPL; }

    // Persistence. The table names every persisted property in bag order; by default the stream
    // carries the same fields in the same order (after the header), and a control with another
    // stream layout writes and reads its own blocks. The stock properties follow in both.
    virtual void persistentFields(PersistentFields&) {}
    virtual HRESULT saveBlocks(StreamWriter& out);
    virtual HRESULT loadBlocks(StreamReader& in);
    // After a successful load (bag or stream): derived state is rebuilt here.
    virtual void afterLoad() {}
    virtual LONG persistedVersion() { return 0x00010001; }

    // --- Services for the control class ---
    HRESULT dispatchGetTypeInfoCount(UINT* count);
    HRESULT dispatchGetTypeInfo(UINT index, LCID locale, ITypeInfo** info);
    HRESULT dispatchGetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids);
    HRESULT dispatchInvoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

    // Sets the thread's rich error (text from the string table) and returns `hr`.
    HRESULT raiseError(HRESULT hr, UINT stringId, DWORD helpContext = 0);
    // Announces an accepted property change and redraws.
    void propertyChanged(DISPID dispid);
    void invalidate();
    // Tells the container a modal dialog of ours is up (or down again).
    void tellContainerModal(bool up);
    void fireEvent(DISPID dispid, VARIANTARG* reversedArguments, UINT count);

    HRESULT ambient(DISPID dispid, VARIANT* value);
    OLE_COLOR ambientColor(DISPID dispid, OLE_COLOR fallback);
    std::wstring ambientDisplayName();

    // Stock properties.
    HRESULT getFont(IFontDisp** font);
    HRESULT putFont(IFontDisp* font, DISPID dispid);
    HRESULT getMousePointer(short* pointer);
    HRESULT putMousePointer(short pointer, DISPID dispid);
    // MousePointer as the type libraries declare it: an enumeration of 32 bits, range-checked before
    // it is narrowed (a value that wraps to 99 must not pass).
    template <class Enum> HRESULT getMousePointerAs(Enum* value) {
        if (!value) return E_POINTER;
        *value = static_cast<Enum>(mousePointer_);
        return S_OK;
    }
    HRESULT putMousePointerChecked(long value, DISPID dispid);
    // The stock Enabled and hWnd properties, the same in every control.
    HRESULT getStockEnabled(BOOL enabled, VARIANT_BOOL* value);
    HRESULT putStockEnabled(BOOL& enabled, VARIANT_BOOL value);
    HRESULT getStockHwnd(OLE_HANDLE* value);
    HRESULT getMouseIcon(IPictureDisp** icon);
    HRESULT putMouseIcon(IPictureDisp* icon, DISPID dispid);
    IFont* font() const { return font_; }
    void resetStockProperties();

    IOleClientSite* clientSite() const { return clientSite_; }
    IOleInPlaceSite* inPlaceSite() const { return inPlaceSite_; }
    IOleInPlaceFrame* inPlaceFrame() const { return frame_; }
    ControlDescription& description() { return description_; }
    const RECT& positionRect() const { return position_; }
    bool eventsFrozen() const { return freezeCount_ > 0; }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(ControlBase* owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        ControlBase* owner_;
        LONG refs_ = 1;
    };

    void* queryFrameworkInterface(REFIID iid);
    bool persistent();
    HRESULT saveStream(IStream* stream);
    HRESULT loadStream(IStream* stream);
    HRESULT saveStock(StreamWriter& out);
    HRESULT loadStock(StreamReader& in);
    void readStockFromBag(IPropertyBag* bag, IErrorLog* log);
    HRESULT writeStockToBag(IPropertyBag* bag);
    IFont* createDefaultFont();
    HRESULT showPropertyFrame();
    void mirrorVisibilityToReflector();
    HRESULT activateInPlace(HWND parentHint, LPCRECT positionHint);
    HRESULT activateUserInterface();
    bool createWindow(HWND parent);
    void destroyWindows();
    void releaseSiteInterfaces();
    ITypeInfo* typeInfo();
    ITypeLib* loadTypeLibrary();
    void fireMouseEvent(DISPID dispid, short button, WPARAM keys, LPARAM position);
    void fireKeyEvent(DISPID dispid, WPARAM key);
    bool fireStockEvents(UINT message, WPARAM wParam, LPARAM lParam);
    bool setCursor();
    LRESULT windowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool registerWindowClass();

    Inner inner_;
    IUnknown* outer_;
    ControlDescription& description_;

    IOleClientSite* clientSite_ = nullptr;
    IOleControlSite* controlSite_ = nullptr;
    ISimpleFrameSite* simpleFrameSite_ = nullptr;
    IDispatch* ambientDispatch_ = nullptr;
    IOleInPlaceSite* inPlaceSite_ = nullptr;
    IOleInPlaceFrame* frame_ = nullptr;
    IOleInPlaceUIWindow* uiWindow_ = nullptr;
    IOleAdviseHolder* adviseHolder_ = nullptr;
    IAdviseSink* viewSink_ = nullptr;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;

    HWND window_ = nullptr;
    HWND reflector_ = nullptr;
    RECT position_ = {0, 0, 0, 0};
    SIZEL extent_ = {2540, 1270};
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool dirty_ = false;
    int userMode_ = -1; // unknown until read from a site
    LONG freezeCount_ = 0;
    LCID locale_ = LOCALE_USER_DEFAULT;

    ConnectionPoint eventPoint_;
    ConnectionPoint notifyPoint_;

    IFont* font_ = nullptr;
    IPictureDisp* mouseIcon_ = nullptr;
    short mousePointer_ = 0;
};

// Forwards the IUnknown and IDispatch members of a control class's dual interface to the base.
#define FRAMEWORK_DUAL_FORWARDERS                                                                            \
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {                                           \
        return ControlBase::QueryInterface(iid, out);                                                        \
    }                                                                                                        \
    STDMETHODIMP_(ULONG) AddRef() override {                                                                 \
        return ControlBase::AddRef();                                                                        \
    }                                                                                                        \
    STDMETHODIMP_(ULONG) Release() override {                                                                \
        return ControlBase::Release();                                                                       \
    }                                                                                                        \
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {                                                    \
        return dispatchGetTypeInfoCount(count);                                                              \
    }                                                                                                        \
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {                           \
        return dispatchGetTypeInfo(index, locale, info);                                                     \
    }                                                                                                        \
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override { \
        return dispatchGetIDsOfNames(iid, names, count, locale, ids);                                        \
    }                                                                                                        \
    STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,              \
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {               \
        return dispatchInvoke(dispid, iid, locale, flags, params, result, exception, argumentError);         \
    }

} // namespace framework
