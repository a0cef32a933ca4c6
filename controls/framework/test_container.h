// A small form that hosts one control the way a form designer or dialog host does: client site,
// in-place site and frame, control site, ambient properties through IDispatch, an event sink and a
// property-notify sink, and the enumeration of controls placed inside the hosted control.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <string>
#include <vector>

namespace vxtest {

// A control library loaded by path, used without the registry.
class ControlLibrary {
public:
    explicit ControlLibrary(const char* path);
    ~ControlLibrary();
    bool loaded() const { return module_ != nullptr; }
    HRESULT getClassObject(const CLSID& clsid, const IID& iid, void** out);
    HRESULT canUnloadNow();
    HRESULT registerServer();
    HRESULT unregisterServer();

private:
    HMODULE module_;
};

struct RecordedEvent {
    DISPID dispid;
    std::vector<long> arguments; // in declaration order; by-reference values dereferenced
};

struct Ambients {
    bool present = true; // false: the site offers no ambient dispatch at all
    OLE_COLOR backColor = RGB(0x10, 0x20, 0x30);
    OLE_COLOR foreColor = RGB(0x40, 0x50, 0x60);
    std::wstring displayName = L"Frame1";
    bool userMode = true;
    bool answerMessageReflect = false;
    bool messageReflect = true;
};

// Something placed inside the hosted control, seen by it through IDispatch: Left, Top, Width,
// Height in twips and Move; it may refuse to change its height.
class ChildControl;

class Container {
public:
    explicit Container(const IID& eventInterface, Ambients ambients = Ambients());
    ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    // Creates the control through `factory`, gives it the site, InitNew, and connects the sinks.
    HRESULT create(IClassFactory* factory);
    // In-place activation at `position` (pixels in the form).
    HRESULT activate(const RECT& position);
    HRESULT deactivate();
    // Releases the control (after SetClientSite(null) and Close).
    void destroy();

    HWND form() const { return form_; }
    HWND controlWindow();
    IUnknown* control() const { return control_; }
    template <class T> T* as(const IID& iid) {
        T* result = nullptr;
        if (control_) control_->QueryInterface(iid, reinterpret_cast<void**>(&result));
        return result;
    }

    // Property access through the control's IDispatch by name.
    HRESULT get(const wchar_t* name, VARIANT* value);
    HRESULT put(const wchar_t* name, VARIANT value);
    HRESULT putLong(const wchar_t* name, long value);
    long getLong(const wchar_t* name);
    std::wstring lastErrorText() const { return lastErrorText_; }

    const std::vector<RecordedEvent>& events() const;
    void clearEvents();
    const std::vector<DISPID>& changes() const;
    void clearChanges();
    const std::vector<RECT>& positionRequests() const;

    // EnableModeless calls of the control on the frame: false while a modal dialog is up.
    const std::vector<bool>& modelessCalls() const;

    ChildControl* addChild(const RECT& pixels, bool fixedHeight);
    RECT childRect(ChildControl* child) const; // in pixels

    Ambients& ambients();

private:
    class Site;
    Site* site_;
    HWND form_ = nullptr;
    IUnknown* control_ = nullptr;
    DWORD eventCookie_ = 0;
    DWORD notifyCookie_ = 0;
    IID eventInterface_;
    std::wstring lastErrorText_;
};

void pumpMessages();

// A property bag as a form designer keeps one: names and values, objects held by reference.
class PropertyBag final : public IPropertyBag {
public:
    PropertyBag() = default;
    ~PropertyBag();
    PropertyBag(const PropertyBag&) = delete;
    PropertyBag& operator=(const PropertyBag&) = delete;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

    // Stores `value` under `name` as given (a copy), replacing what was there.
    void set(const std::wstring& name, const VARIANT& value);
    void remove(const std::wstring& name);
    const VARIANT* find(const std::wstring& name) const;
    std::vector<std::wstring> names() const; // in the order first written

private:
    std::vector<std::pair<std::wstring, VARIANT>> entries_;
};

} // namespace vxtest
