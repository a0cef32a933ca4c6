#include "property_page.h"

#include <commdlg.h>

#include <new>

#include "page_resources.h"

namespace pages {

HMODULE pageModule();

namespace {

template <class T> void releaseAndClear(T*& pointer) {
    if (pointer) pointer->Release();
    pointer = nullptr;
}

std::wstring loadText(UINT id) {
    wchar_t text[512];
    int length = LoadStringW(pageModule(), id, text, 512);
    return std::wstring(text, length > 0 ? length : 0);
}

LPOLESTR taskString(const std::wstring& text) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy) lstrcpyW(copy, text.c_str());
    return copy;
}

HRESULT dispidOf(IDispatch* object, const std::wstring& name, DISPID& dispid) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
}

HRESULT getProperty(IDispatch* object, const std::wstring& name, VARIANT* value) {
    DISPID dispid;
    HRESULT hr = dispidOf(object, name, dispid);
    if (FAILED(hr)) return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VariantInit(value);
    return object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr,
                          nullptr);
}

HRESULT putProperty(IDispatch* object, const std::wstring& name, VARIANT value,
                    WORD how = DISPATCH_PROPERTYPUT) {
    DISPID dispid;
    HRESULT hr = dispidOf(object, name, dispid);
    if (FAILED(hr)) return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    EXCEPINFO exception = {};
    hr = object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, how, &params, nullptr, &exception, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        hr = exception.scode ? exception.scode : E_FAIL;
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

// "Font.Bold" is the property Bold of the object the property Font returns.
struct Path {
    std::wstring owner; // empty for a property of the object itself
    std::wstring name;
};

Path splitPath(const wchar_t* property) {
    std::wstring text(property);
    size_t dot = text.find(L'.');
    if (dot == std::wstring::npos) return {L"", text};
    return {text.substr(0, dot), text.substr(dot + 1)};
}

HRESULT subObject(IDispatch* object, const Path& path, IDispatch** result) {
    *result = nullptr;
    if (path.owner.empty()) {
        object->AddRef();
        *result = object;
        return S_OK;
    }
    VARIANT owner;
    HRESULT hr = getProperty(object, path.owner, &owner);
    if (FAILED(hr)) return hr;
    if ((V_VT(&owner) == VT_DISPATCH || V_VT(&owner) == VT_UNKNOWN) && V_UNKNOWN(&owner))
        hr = V_UNKNOWN(&owner)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result));
    else
        hr = E_NOINTERFACE;
    VariantClear(&owner);
    return hr;
}

HRESULT readPath(IDispatch* object, const wchar_t* property, VARIANT* value) {
    Path path = splitPath(property);
    IDispatch* owner = nullptr;
    HRESULT hr = subObject(object, path, &owner);
    if (FAILED(hr)) return hr;
    hr = getProperty(owner, path.name, value);
    owner->Release();
    return hr;
}

// A font is changed on the object's own font and then assigned back, so the control hears of it.
HRESULT writePath(IDispatch* object, const wchar_t* property, VARIANT value) {
    Path path = splitPath(property);
    IDispatch* owner = nullptr;
    HRESULT hr = subObject(object, path, &owner);
    if (FAILED(hr)) return hr;
    hr = putProperty(owner, path.name, value);
    if (SUCCEEDED(hr) && path.owner == L"Font") {
        VARIANT font;
        V_VT(&font) = VT_DISPATCH;
        V_DISPATCH(&font) = owner;
        hr = putProperty(object, path.owner, font, DISPATCH_PROPERTYPUTREF);
    }
    owner->Release();
    return hr;
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(length);
    return text;
}

int CALLBACK addFontName(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM list) {
    HWND combo = reinterpret_cast<HWND>(list);
    if (font->lfFaceName[0] != L'@' && SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>(font->lfFaceName)) == CB_ERR)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(font->lfFaceName));
    return 1;
}

// The colours offered by name on the colour page: the basic ones and the system colours.
struct NamedColor {
    const wchar_t* name;
    OLE_COLOR color;
};
const NamedColor kColors[] = {
    {L"Black", 0x000000},
    {L"White", 0xFFFFFF},
    {L"Red", 0x0000FF},
    {L"Green", 0x00FF00},
    {L"Blue", 0xFF0000},
    {L"Yellow", 0x00FFFF},
    {L"Silver", 0xC0C0C0},
    {L"Gray", 0x808080},
    {L"Window Background", 0x80000005},
    {L"Window Text", 0x80000008},
    {L"Button Face", 0x8000000F},
    {L"Button Text", 0x80000012},
    {L"Highlight", 0x8000000D},
    {L"Highlight Text", 0x8000000E},
};

std::wstring colorText(OLE_COLOR color) {
    wchar_t text[16];
    wsprintfW(text, L"&H%08lX&", static_cast<unsigned long>(color));
    return text;
}

bool parseColor(const std::wstring& text, OLE_COLOR& color) {
    std::wstring digits = text;
    if (digits.size() >= 2 && (digits.compare(0, 2, L"&H") == 0 || digits.compare(0, 2, L"&h") == 0))
        digits = digits.substr(2);
    if (!digits.empty() && digits.back() == L'&') digits.pop_back();
    if (digits.empty() || digits.size() > 8) return false;
    wchar_t* end = nullptr;
    unsigned long value = wcstoul(digits.c_str(), &end, 16);
    if (*end) return false;
    color = static_cast<OLE_COLOR>(value);
    return true;
}

// The properties of `object` whose type is the alias `typeName` (OLE_COLOR) or the interface
// `interfaceId` (a picture), as its type information describes them.
std::vector<std::wstring> propertiesOfType(IDispatch* object, const wchar_t* typeName,
                                           const IID* interfaceId) {
    std::vector<std::wstring> names;
    ITypeInfo* info = nullptr;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info) return names;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) {
        info->Release();
        return names;
    }
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        const TYPEDESC* type = nullptr;
        if (function->invkind == INVOKE_PROPERTYGET) {
            if (function->cParams == 1 &&
                (function->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
                type = &function->lprgelemdescParam[0].tdesc;
            else if (function->cParams == 0)
                type = &function->elemdescFunc.tdesc;
        }
        if (type && type->vt == VT_PTR) type = type->lptdesc;
        if (type && type->vt == VT_PTR) type = type->lptdesc;
        ITypeInfo* referenced = nullptr;
        if (type && type->vt == VT_USERDEFINED &&
            SUCCEEDED(info->GetRefTypeInfo(type->hreftype, &referenced))) {
            BSTR name = nullptr;
            TYPEATTR* refAttributes = nullptr;
            referenced->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            referenced->GetTypeAttr(&refAttributes);
            // The standard library's IPictureDisp is an alias of its Picture dispinterface.
            ITypeInfo* aliased = nullptr;
            if (interfaceId && refAttributes && refAttributes->typekind == TKIND_ALIAS &&
                refAttributes->tdescAlias.vt == VT_USERDEFINED &&
                SUCCEEDED(referenced->GetRefTypeInfo(refAttributes->tdescAlias.hreftype, &aliased))) {
                referenced->ReleaseTypeAttr(refAttributes);
                referenced->Release();
                referenced = aliased;
                referenced->GetTypeAttr(&refAttributes);
            }
            bool wanted = (typeName && name && lstrcmpW(name, typeName) == 0) ||
                          (interfaceId && refAttributes && IsEqualGUID(refAttributes->guid, *interfaceId));
            if (refAttributes) referenced->ReleaseTypeAttr(refAttributes);
            SysFreeString(name);
            referenced->Release();
            BSTR property = nullptr;
            UINT count = 0;
            if (wanted && SUCCEEDED(info->GetNames(function->memid, &property, 1, &count)) && count == 1) {
                names.emplace_back(property);
                SysFreeString(property);
            }
        }
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    info->Release();
    return names;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Identity

IUnknown* PropertyPage::create(IUnknown* outer, const PageSetup& setup) {
    const PageLayout* layout = layoutOf(setup.dialogId);
    if (!layout) return nullptr;
    auto* page = new (std::nothrow) PropertyPage(outer, setup, *layout);
    return page ? &page->inner_ : nullptr;
}

PropertyPage::PropertyPage(IUnknown* outer, const PageSetup& setup, const PageLayout& layout)
    : inner_(this), outer_(outer ? outer : &inner_), setup_(setup), layout_(layout) {}

PropertyPage::~PropertyPage() {
    Deactivate();
    clearObjects();
    releaseAndClear(site_);
}

STDMETHODIMP PropertyPage::Inner::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown))
        *out = static_cast<IUnknown*>(this);
    else if (IsEqualIID(iid, IID_IPropertyPage))
        *out = static_cast<IPropertyPage*>(owner_);
    else
        return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) PropertyPage::Inner::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        refs_ = 1;
        delete owner_;
    }
    return refs;
}

// ---------------------------------------------------------------------------------------------
// The page's life in the property frame

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site) site->AddRef();
    releaseAndClear(site_);
    site_ = site;
    return S_OK;
}

void PropertyPage::clearObjects() {
    for (IDispatch* object : objects_)
        object->Release();
    objects_.clear();
    for (auto& chosen : chosenPictures_)
        if (chosen.second) chosen.second->Release();
    chosenPictures_.clear();
    chosenColors_.clear();
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count && !objects) return E_POINTER;
    clearObjects();
    for (ULONG i = 0; i < count; ++i) {
        IDispatch* dispatch = nullptr;
        if (objects[i] &&
            SUCCEEDED(objects[i]->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
            objects_.push_back(dispatch);
    }
    dirty_ = false;
    changed_.clear();
    if (dialog_) fill();
    return S_OK;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    info->cb = sizeof *info;
    info->pszTitle = taskString(loadText(setup_.titleId));
    info->pszDocString = taskString(loadText(setup_.helpId));
    std::wstring helpFile(setup_.helpFile.begin(), setup_.helpFile.end());
    info->pszHelpFile = taskString(helpFile);
    info->dwHelpContext = setup_.helpContext;
    // The size of the page is its dialog's, measured on a hidden copy.
    info->size = {0, 0};
    HWND probe = CreateDialogParamW(pageModule(), MAKEINTRESOURCEW(setup_.dialogId), GetDesktopWindow(),
                                    dialogProc, 0);
    if (probe) {
        RECT rect;
        GetWindowRect(probe, &rect);
        info->size = {rect.right - rect.left, rect.bottom - rect.top};
        DestroyWindow(probe);
    }
    return S_OK;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (dialog_) return E_UNEXPECTED;
    dialog_ = CreateDialogParamW(pageModule(), MAKEINTRESOURCEW(setup_.dialogId), parent, dialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (!dialog_) return E_OUTOFMEMORY;
    if (rect) Move(rect);
    fill();
    return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate() {
    if (dialog_) DestroyWindow(dialog_);
    dialog_ = nullptr;
    return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT command) {
    if (!dialog_) return E_UNEXPECTED;
    ShowWindow(dialog_, command);
    return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!dialog_) return E_UNEXPECTED;
    MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG* message) {
    if (!message) return E_POINTER;
    return dialog_ && IsDialogMessageW(dialog_, message) ? S_OK : S_FALSE;
}

void PropertyPage::markDirty() {
    if (filling_) return;
    dirty_ = true;
    if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
}

INT_PTR CALLBACK PropertyPage::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return page ? page->onMessage(message, wParam, lParam) : FALSE;
}

INT_PTR PropertyPage::onMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || filling_) return FALSE;
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    if (layout_.kind != PageKind::Fields) {
        if (id == kChooserProperty && code == CBN_SELCHANGE) {
            showChosen();
            return TRUE;
        }
        std::wstring property = windowText(GetDlgItem(dialog_, kChooserProperty));
        if (property.empty()) return FALSE;
        if (layout_.kind == PageKind::Color) {
            OLE_COLOR color = 0;
            if (id == kColorList && code == LBN_SELCHANGE) {
                LRESULT index = SendDlgItemMessageW(dialog_, kColorList, LB_GETCURSEL, 0, 0);
                if (index < 0) return TRUE;
                chosenColors_[property] = static_cast<LONG>(kColors[index].color);
                filling_ = true;
                SetDlgItemTextW(dialog_, kColorValue, colorText(kColors[index].color).c_str());
                filling_ = false;
                markDirty();
            } else if (id == kColorValue && code == EN_CHANGE &&
                       parseColor(windowText(GetDlgItem(dialog_, kColorValue)), color)) {
                chosenColors_[property] = static_cast<LONG>(color);
                markDirty();
            }
            return TRUE;
        }
        if (id == kPictureClear || id == kPictureBrowse) {
            IPictureDisp* picture = nullptr;
            if (id == kPictureBrowse) {
                wchar_t file[MAX_PATH] = {};
                OPENFILENAMEW open = {};
                open.lStructSize = sizeof open;
                open.hwndOwner = dialog_;
                open.lpstrFilter = L"Pictures (*.ico;*.cur;*.bmp)\0*.ico;*.cur;*.bmp\0All files\0*.*\0";
                open.lpstrFile = file;
                open.nMaxFile = MAX_PATH;
                open.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
                if (!GetOpenFileNameW(&open)) return TRUE;
                VARIANT path;
                V_VT(&path) = VT_BSTR;
                V_BSTR(&path) = SysAllocString(file);
                HRESULT hr = OleLoadPictureFile(path, reinterpret_cast<LPDISPATCH*>(&picture));
                VariantClear(&path);
                if (FAILED(hr)) {
                    MessageBeep(MB_ICONEXCLAMATION);
                    return TRUE;
                }
            }
            IPictureDisp*& slot = chosenPictures_[property];
            if (slot) slot->Release();
            slot = picture;
            SetDlgItemTextW(dialog_, kPictureState, picture ? L"(Picture)" : L"(None)");
            markDirty();
            return TRUE;
        }
        return FALSE;
    }
    for (const PageField& field : layout_.fields) {
        if (field.controlId != id) continue;
        bool edited = (field.widget == Widget::Number || field.widget == Widget::Text) ? code == EN_CHANGE
                      : field.widget == Widget::Check                                  ? code == BN_CLICKED
                                                      : code == CBN_SELCHANGE || code == CBN_EDITCHANGE;
        if (!edited) return FALSE;
        bool known = false;
        for (int changed : changed_)
            known = known || changed == id;
        if (!known) changed_.push_back(id);
        markDirty();
        return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------------------------
// Showing values

void PropertyPage::fill() {
    filling_ = true;
    if (layout_.kind == PageKind::Fields) {
        for (const PageField& field : layout_.fields)
            fillField(field);
    } else {
        fillChooser();
    }
    filling_ = false;
}

// The first object's value is shown; a property it does not answer is switched off.
void PropertyPage::fillField(const PageField& field) {
    HWND widget = GetDlgItem(dialog_, field.controlId);
    if (!widget) return;
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = objects_.empty() ? E_FAIL : readPath(objects_[0], field.property, &value);
    EnableWindow(widget, SUCCEEDED(hr));
    if (FAILED(hr)) return;
    switch (field.widget) {
    case Widget::Number:
    case Widget::Text:
        if (SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR)))
            SetWindowTextW(widget, V_BSTR(&value) ? V_BSTR(&value) : L"");
        break;
    case Widget::Check:
        if (SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BOOL)))
            SendMessageW(widget, BM_SETCHECK, V_BOOL(&value) ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case Widget::FontName: {
        SendMessageW(widget, CB_RESETCONTENT, 0, 0);
        HDC dc = GetDC(dialog_);
        LOGFONTW all = {};
        all.lfCharSet = DEFAULT_CHARSET;
        EnumFontFamiliesExW(dc, &all, addFontName, reinterpret_cast<LPARAM>(widget), 0);
        ReleaseDC(dialog_, dc);
        if (SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR)) && V_BSTR(&value))
            SetWindowTextW(widget, V_BSTR(&value));
        break;
    }
    case Widget::Choice: {
        // The values and their texts are the control's own, as it offers them to browsers.
        SendMessageW(widget, CB_RESETCONTENT, 0, 0);
        IPerPropertyBrowsing* browsing = nullptr;
        DISPID dispid;
        CALPOLESTR strings = {};
        CADWORD cookies = {};
        if (FAILED(dispidOf(objects_[0], field.property, dispid)) ||
            FAILED(
                objects_[0]->QueryInterface(IID_IPerPropertyBrowsing, reinterpret_cast<void**>(&browsing))))
            break;
        if (SUCCEEDED(browsing->GetPredefinedStrings(dispid, &strings, &cookies))) {
            VariantChangeType(&value, &value, 0, VT_I4);
            for (ULONG i = 0; i < strings.cElems; ++i) {
                LRESULT index =
                    SendMessageW(widget, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(strings.pElems[i]));
                SendMessageW(widget, CB_SETITEMDATA, index, cookies.pElems[i]);
                if (static_cast<LONG>(cookies.pElems[i]) == V_I4(&value))
                    SendMessageW(widget, CB_SETCURSEL, index, 0);
                CoTaskMemFree(strings.pElems[i]);
            }
            CoTaskMemFree(strings.pElems);
            CoTaskMemFree(cookies.pElems);
        }
        browsing->Release();
        break;
    }
    }
    VariantClear(&value);
}

void PropertyPage::fillChooser() {
    HWND chooser = GetDlgItem(dialog_, kChooserProperty);
    SendMessageW(chooser, CB_RESETCONTENT, 0, 0);
    chooserNames_.clear();
    if (!objects_.empty())
        chooserNames_ = layout_.kind == PageKind::Color
                            ? propertiesOfType(objects_[0], L"OLE_COLOR", nullptr)
                            : propertiesOfType(objects_[0], nullptr, &IID_IPictureDisp);
    for (const std::wstring& name : chooserNames_)
        SendMessageW(chooser, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (layout_.kind == PageKind::Color) {
        HWND list = GetDlgItem(dialog_, kColorList);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (const NamedColor& color : kColors)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(color.name));
    }
    SendMessageW(chooser, CB_SETCURSEL, 0, 0);
    showChosen();
}

// Shows the value of the property picked in the chooser: what was chosen here, else the object's.
void PropertyPage::showChosen() {
    std::wstring property = windowText(GetDlgItem(dialog_, kChooserProperty));
    bool known = !property.empty() && !objects_.empty();
    const bool wasFilling = filling_;
    filling_ = true;
    if (layout_.kind == PageKind::Color) {
        std::wstring text;
        if (known) {
            auto chosen = chosenColors_.find(property);
            VARIANT value;
            if (chosen != chosenColors_.end())
                text = colorText(static_cast<OLE_COLOR>(chosen->second));
            else if (SUCCEEDED(readPath(objects_[0], property.c_str(), &value)) &&
                     SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4)))
                text = colorText(static_cast<OLE_COLOR>(V_I4(&value)));
        }
        SetDlgItemTextW(dialog_, kColorValue, text.c_str());
        EnableWindow(GetDlgItem(dialog_, kColorValue), known);
        EnableWindow(GetDlgItem(dialog_, kColorList), known);
    } else {
        bool present = false;
        if (known) {
            auto chosen = chosenPictures_.find(property);
            VARIANT value;
            if (chosen != chosenPictures_.end()) {
                present = chosen->second != nullptr;
            } else if (SUCCEEDED(readPath(objects_[0], property.c_str(), &value))) {
                present = (V_VT(&value) == VT_DISPATCH || V_VT(&value) == VT_UNKNOWN) && V_UNKNOWN(&value);
                VariantClear(&value);
            }
        }
        SetDlgItemTextW(dialog_, kPictureState, present ? L"(Picture)" : L"(None)");
        EnableWindow(GetDlgItem(dialog_, kPictureBrowse), known);
        EnableWindow(GetDlgItem(dialog_, kPictureClear), known);
    }
    filling_ = wasFilling;
}

// ---------------------------------------------------------------------------------------------
// Applying values

HRESULT PropertyPage::applyField(const PageField& field) {
    HWND widget = GetDlgItem(dialog_, field.controlId);
    VARIANT value;
    VariantInit(&value);
    switch (field.widget) {
    case Widget::Number:
    case Widget::Text:
    case Widget::FontName: {
        std::wstring text = windowText(widget);
        V_VT(&value) = VT_BSTR;
        V_BSTR(&value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (field.widget == Widget::Number && FAILED(VariantChangeType(&value, &value, 0, VT_I4))) {
            VariantClear(&value);
            return CTL_E_INVALIDPROPERTYVALUE;
        }
        break;
    }
    case Widget::Check:
        V_VT(&value) = VT_BOOL;
        V_BOOL(&value) =
            SendMessageW(widget, BM_GETCHECK, 0, 0) == BST_CHECKED ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case Widget::Choice: {
        LRESULT index = SendMessageW(widget, CB_GETCURSEL, 0, 0);
        if (index < 0) return S_OK;
        V_VT(&value) = VT_I4;
        V_I4(&value) = static_cast<LONG>(SendMessageW(widget, CB_GETITEMDATA, index, 0));
        break;
    }
    }
    HRESULT result = S_OK;
    for (IDispatch* object : objects_) {
        HRESULT hr = writePath(object, field.property, value);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    VariantClear(&value);
    return result;
}

HRESULT PropertyPage::applyChosen() {
    HRESULT result = S_OK;
    for (IDispatch* object : objects_) {
        for (const auto& chosen : chosenColors_) {
            VARIANT value;
            V_VT(&value) = VT_I4;
            V_I4(&value) = chosen.second;
            HRESULT hr = putProperty(object, chosen.first, value);
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
        for (const auto& chosen : chosenPictures_) {
            VARIANT value;
            V_VT(&value) = VT_DISPATCH;
            V_DISPATCH(&value) = chosen.second;
            HRESULT hr = putProperty(object, chosen.first, value, DISPATCH_PROPERTYPUTREF);
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    }
    if (SUCCEEDED(result)) {
        chosenColors_.clear();
        for (auto& chosen : chosenPictures_)
            if (chosen.second) chosen.second->Release();
        chosenPictures_.clear();
    }
    return result;
}

// Every edited value goes to every object; a value an object refuses stays edited (and the page
// dirty), so the user sees what did not take.
STDMETHODIMP PropertyPage::Apply() {
    if (!dirty_) return S_OK;
    if (!dialog_) return E_UNEXPECTED;
    HRESULT result = S_OK;
    if (layout_.kind == PageKind::Fields) {
        std::vector<int> refused;
        for (const PageField& field : layout_.fields) {
            bool edited = false;
            for (int id : changed_)
                edited = edited || id == field.controlId;
            if (!edited) continue;
            HRESULT hr = applyField(field);
            if (FAILED(hr)) {
                refused.push_back(field.controlId);
                if (SUCCEEDED(result)) result = hr;
            }
        }
        changed_ = refused;
    } else {
        result = applyChosen();
    }
    dirty_ = FAILED(result);
    if (!dirty_) fill();
    return result;
}

} // namespace pages
