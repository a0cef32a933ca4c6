// Persistence of a control object: property bags, streams and storages. The control names its
// properties in a table (and may lay out its own stream blocks); the framework adds the header,
// the extent, the version and the stock properties, and makes a failed load leave the control
// as it was.
#include "control_base.h"
#include "server.h"

namespace framework {

namespace {

const wchar_t kStorageStreamName[] = L"CONTROLSAVESTREAM";
const LONG kFontFollows = 4;

template <class T> void releaseAndClear(T*& pointer) {
    if (pointer) pointer->Release();
    pointer = nullptr;
}

bool validMousePointer(LONG pointer) {
    return (pointer >= 0 && pointer <= 15) || pointer == 99;
}

HRESULT readBagLong(IPropertyBag* bag, IErrorLog* log, const wchar_t* name, LONG& value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    HRESULT hr = bag->Read(name, &v, log);
    if (SUCCEEDED(hr) && V_VT(&v) != VT_I4) hr = VariantChangeType(&v, &v, 0, VT_I4);
    if (SUCCEEDED(hr)) value = V_I4(&v);
    VariantClear(&v);
    return hr;
}

HRESULT writeBagLong(IPropertyBag* bag, const wchar_t* name, LONG value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return bag->Write(name, &v);
}

// An object from a bag: asked for as a dispatch object, accepted only with the interface wanted.
template <class T> T* readBagObject(IPropertyBag* bag, IErrorLog* log, const wchar_t* name, REFIID iid) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    T* result = nullptr;
    if (SUCCEEDED(bag->Read(name, &v, log)) && (V_VT(&v) == VT_DISPATCH || V_VT(&v) == VT_UNKNOWN) &&
        V_UNKNOWN(&v))
        V_UNKNOWN(&v)->QueryInterface(iid, reinterpret_cast<void**>(&result));
    VariantClear(&v);
    return result;
}

} // namespace

bool ControlBase::persistent() {
    PersistentFields fields;
    persistentFields(fields);
    return !fields.empty();
}

HRESULT ControlBase::saveBlocks(StreamWriter& out) {
    PersistentFields fields;
    persistentFields(fields);
    for (const PersistentField& field : fields) {
        HRESULT hr = writeField(out, field);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT ControlBase::loadBlocks(StreamReader& in) {
    PersistentFields fields;
    persistentFields(fields);
    for (const PersistentField& field : fields) {
        HRESULT hr = readField(in, field);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

IFont* ControlBase::createDefaultFont() {
    IFont* font = nullptr;
    VARIANT value;
    if (SUCCEEDED(ambient(DISPID_AMBIENT_FONT, &value)) && V_VT(&value) == VT_DISPATCH &&
        V_DISPATCH(&value)) {
        IFont* ambientFont = nullptr;
        if (SUCCEEDED(
                V_DISPATCH(&value)->QueryInterface(IID_IFont, reinterpret_cast<void**>(&ambientFont)))) {
            ambientFont->Clone(&font);
            ambientFont->Release();
        }
    }
    VariantClear(&value);
    if (font) return font;
    FONTDESC description = {};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(L"MS Sans Serif");
    description.cySize.int64 = 90000;
    description.sWeight = FW_NORMAL;
    description.sCharset = ANSI_CHARSET;
    GlobalGuard guard;
    OleCreateFontIndirect(&description, IID_IFont, reinterpret_cast<void**>(&font));
    return font;
}

// ---------------------------------------------------------------------------------------------
// Streams

HRESULT ControlBase::saveStock(StreamWriter& out) {
    HRESULT hr = out.object(font_);
    if (SUCCEEDED(hr)) hr = out.object(mouseIcon_);
    if (SUCCEEDED(hr)) hr = out.i16(mousePointer_);
    return hr;
}

// Reads the stock properties aside and takes them only when all of them read.
HRESULT ControlBase::loadStock(StreamReader& in) {
    IFont* font = nullptr;
    IPictureDisp* icon = nullptr;
    short pointer = 0;
    HRESULT hr = in.object(CLSID_StdFont, IID_IFont, reinterpret_cast<void**>(&font));
    if (SUCCEEDED(hr)) hr = in.object(CLSID_StdPicture, IID_IPictureDisp, reinterpret_cast<void**>(&icon));
    if (SUCCEEDED(hr)) hr = in.i16(pointer);
    if (SUCCEEDED(hr) && !validMousePointer(pointer)) hr = E_UNEXPECTED;
    if (FAILED(hr)) {
        releaseAndClear(font);
        releaseAndClear(icon);
        return hr;
    }
    if (!font) font = createDefaultFont();
    releaseAndClear(font_);
    releaseAndClear(mouseIcon_);
    font_ = font;
    mouseIcon_ = icon;
    mousePointer_ = pointer;
    return S_OK;
}

HRESULT ControlBase::saveStream(IStream* stream) {
    StreamWriter out(stream);
    HRESULT hr = out.i32(static_cast<LONG>(kStreamMagic));
    if (SUCCEEDED(hr)) hr = out.i32(static_cast<LONG>(kStreamVersion));
    if (SUCCEEDED(hr)) hr = out.i32(static_cast<LONG>(kStreamHeaderSize));
    if (SUCCEEDED(hr)) hr = saveBlocks(out);
    if (SUCCEEDED(hr)) hr = saveStock(out);
    return hr;
}

HRESULT ControlBase::loadStream(IStream* stream) {
    StreamReader in(stream);
    LONG magic = 0, version = 0, size = 0;
    HRESULT hr = in.i32(magic);
    if (SUCCEEDED(hr)) hr = in.i32(version);
    if (SUCCEEDED(hr)) hr = in.i32(size);
    if (FAILED(hr)) return hr;
    if (static_cast<DWORD>(magic) != kStreamMagic || static_cast<DWORD>(size) != kStreamHeaderSize)
        return E_UNEXPECTED;

    // The control's fields are read in place; a copy of them taken first puts them back when
    // anything later fails, so a damaged stream never leaves a half-loaded control.
    IStream* before = nullptr;
    hr = CreateStreamOnHGlobal(nullptr, TRUE, &before);
    if (FAILED(hr)) return hr;
    StreamWriter keep(before);
    hr = saveBlocks(keep);
    if (SUCCEEDED(hr)) {
        hr = loadBlocks(in);
        if (SUCCEEDED(hr)) hr = loadStock(in);
        if (FAILED(hr)) {
            LARGE_INTEGER start = {};
            before->Seek(start, STREAM_SEEK_SET, nullptr);
            StreamReader restore(before);
            loadBlocks(restore);
        }
    }
    before->Release();
    return hr;
}

STDMETHODIMP ControlBase::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    if (!persistent()) return E_NOTIMPL;
    HRESULT hr = loadStream(stream);
    if (FAILED(hr)) return hr;
    afterLoad();
    dirty_ = false;
    invalidate();
    return S_OK;
}

STDMETHODIMP ControlBase::Save(LPSTREAM stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    if (!persistent()) return E_NOTIMPL;
    HRESULT hr = saveStream(stream);
    if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
    return hr;
}

STDMETHODIMP ControlBase::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    if (!persistent()) return E_NOTIMPL;
    IStream* scratch = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &scratch);
    if (FAILED(hr)) return hr;
    hr = saveStream(scratch);
    if (SUCCEEDED(hr)) {
        LARGE_INTEGER none = {};
        hr = scratch->Seek(none, STREAM_SEEK_CUR, size);
    }
    scratch->Release();
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Storages: the same stream, under one name

STDMETHODIMP ControlBase::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr =
        storage->OpenStream(kStorageStreamName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    if (FAILED(hr)) return hr;
    hr = Load(stream);
    stream->Release();
    return hr;
}

STDMETHODIMP ControlBase::Save(IStorage* storage, BOOL) {
    if (!storage) return E_POINTER;
    if (!persistent()) return E_NOTIMPL;
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(kStorageStreamName,
                                       STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
    if (FAILED(hr)) return hr;
    hr = Save(stream, TRUE);
    stream->Release();
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Property bags

void ControlBase::readStockFromBag(IPropertyBag* bag, IErrorLog* log) {
    LONG stock = 0;
    readBagLong(bag, log, L"_StockProps", stock);
    if (stock & kFontFollows) {
        IFont* stored = readBagObject<IFont>(bag, log, L"Font", IID_IFont);
        IFont* copy = nullptr;
        if (stored && SUCCEEDED(stored->Clone(&copy))) {
            releaseAndClear(font_);
            font_ = copy;
        }
        releaseAndClear(stored);
    }
    IPictureDisp* icon = readBagObject<IPictureDisp>(bag, log, L"MouseIcon", IID_IPictureDisp);
    releaseAndClear(mouseIcon_);
    mouseIcon_ = icon;
    LONG pointer = 0;
    if (SUCCEEDED(readBagLong(bag, log, L"MousePointer", pointer)) && validMousePointer(pointer))
        mousePointer_ = static_cast<short>(pointer);
}

HRESULT ControlBase::writeStockToBag(IPropertyBag* bag) {
    HRESULT hr = writeBagLong(bag, L"_StockProps", kFontFollows);
    VARIANT v;
    VariantInit(&v);
    if (SUCCEEDED(hr)) {
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = nullptr;
        if (font_) font_->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(&V_DISPATCH(&v)));
        hr = bag->Write(L"Font", &v);
        VariantClear(&v);
    }
    if (SUCCEEDED(hr)) {
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = mouseIcon_;
        hr = bag->Write(L"MouseIcon", &v);
    }
    if (SUCCEEDED(hr)) {
        V_VT(&v) = VT_I2;
        V_I2(&v) = mousePointer_;
        hr = bag->Write(L"MousePointer", &v);
    }
    return hr;
}

// A bag load starts from the defaults: whatever the bag lacks or holds in a form that does not
// convert keeps its default, and nothing the bag holds can leave the control half-loaded.
STDMETHODIMP ControlBase::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    if (!persistent()) return E_NOTIMPL;
    setDefaults();
    LONG width = 0, height = 0;
    if (SUCCEEDED(readBagLong(bag, log, L"_ExtentX", width)) &&
        SUCCEEDED(readBagLong(bag, log, L"_ExtentY", height)) && width >= 0 && height >= 0)
        extent_ = {width, height};
    PersistentFields fields;
    persistentFields(fields);
    for (const PersistentField& field : fields)
        readBagField(bag, log, field);
    readStockFromBag(bag, log);
    afterLoad();
    dirty_ = false;
    invalidate();
    return S_OK;
}

STDMETHODIMP ControlBase::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    if (!persistent()) return E_NOTIMPL;
    HRESULT hr = writeBagLong(bag, L"_Version", persistedVersion());
    if (SUCCEEDED(hr)) hr = writeBagLong(bag, L"_ExtentX", extent_.cx);
    if (SUCCEEDED(hr)) hr = writeBagLong(bag, L"_ExtentY", extent_.cy);
    PersistentFields fields;
    persistentFields(fields);
    for (const PersistentField& field : fields) {
        if (FAILED(hr)) break;
        hr = writeBagField(bag, field);
    }
    if (SUCCEEDED(hr)) hr = writeStockToBag(bag);
    if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Fresh objects

STDMETHODIMP ControlBase::InitNew() {
    setDefaults();
    dirty_ = false;
    invalidate();
    return S_OK;
}

STDMETHODIMP ControlBase::InitNew(IStorage* storage) {
    if (!storage) return E_POINTER;
    return InitNew();
}

void ControlBase::resetStockProperties() {
    releaseAndClear(font_);
    releaseAndClear(mouseIcon_);
    mousePointer_ = 0;
    font_ = createDefaultFont();
}

} // namespace framework
