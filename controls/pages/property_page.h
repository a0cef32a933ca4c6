// One property page of VXPPG5: a dialog from this library whose widgets show properties of the
// objects the property frame hands over, read and applied through their dispatch interfaces.
// What a page shows is a table of fields; the colour and picture pages add a chooser of their own.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace pages {

enum class Widget {
    Number, // edit box, a whole number
    Text,   // edit box, text
    Choice, // drop-down list of the control's predefined values for the property
    Check,  // check box, a boolean
    FontName,
};

// `property` may name a property of a sub-object ("Font.Bold", "Caption.Text").
struct PageField {
    int controlId;
    const wchar_t* property;
    Widget widget;
};

enum class PageKind { Fields, Color, Picture };

struct PageLayout {
    WORD dialogId;
    PageKind kind;
    std::vector<PageField> fields;
};

// The layout of the page shown by `dialogId`; null for an unknown dialog.
const PageLayout* layoutOf(WORD dialogId);

// What the control library said about the page being created (the page-data record).
struct PageSetup {
    WORD dialogId = 0;
    WORD titleId = 0;
    WORD helpId = 0;
    std::string helpFile;
    DWORD helpContext = 0;
};

class PropertyPage final : public IPropertyPage {
public:
    // Null when the dialog is unknown.
    static IUnknown* create(IUnknown* outer, const PageSetup& setup);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG* message) override;

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(PropertyPage* owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
        STDMETHODIMP_(ULONG) Release() override;

    private:
        PropertyPage* owner_;
        LONG refs_ = 1;
    };

    PropertyPage(IUnknown* outer, const PageSetup& setup, const PageLayout& layout);
    ~PropertyPage();

    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void clearObjects();
    void fill();
    void fillField(const PageField& field);
    HRESULT applyField(const PageField& field);
    void fillChooser(); // colour and picture pages: the list of the objects' properties of that type
    void showChosen();
    HRESULT applyChosen();
    void markDirty();

    Inner inner_;
    IUnknown* outer_;
    PageSetup setup_;
    const PageLayout& layout_;
    IPropertyPageSite* site_ = nullptr;
    std::vector<IDispatch*> objects_;
    HWND dialog_ = nullptr;
    bool dirty_ = false;
    bool filling_ = false;
    std::vector<int> changed_; // control ids of edited fields
    // Colour and picture pages: the property names offered, and the values chosen so far.
    std::vector<std::wstring> chooserNames_;
    std::map<std::wstring, LONG> chosenColors_;
    std::map<std::wstring, IPictureDisp*> chosenPictures_;
};

} // namespace pages
