#include "persistence.h"

#include <olectl.h>

#include <algorithm>

namespace framework {

HRESULT StreamWriter::bytes(const void* data, ULONG size) {
    ULONG written = 0;
    HRESULT hr = stream_->Write(data, size, &written);
    if (FAILED(hr)) return hr;
    return written == size ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT StreamWriter::text(const std::string& value) {
    HRESULT hr = i32(static_cast<LONG>(value.size()));
    if (FAILED(hr) || value.empty()) return hr;
    return bytes(value.data(), static_cast<ULONG>(value.size()));
}

HRESULT StreamWriter::object(IUnknown* value) {
    if (!value) return WriteClassStm(stream_, CLSID_NULL);
    IPersistStream* persist = nullptr;
    HRESULT hr = value->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    if (FAILED(hr)) return hr;
    hr = OleSaveToStream(persist, stream_);
    persist->Release();
    return hr;
}

HRESULT StreamReader::bytes(void* data, ULONG size) {
    ULONG read = 0;
    HRESULT hr = stream_->Read(data, size, &read);
    if (FAILED(hr)) return hr;
    return read == size ? S_OK : E_UNEXPECTED;
}

HRESULT StreamReader::text(std::string& value) {
    LONG count = 0;
    HRESULT hr = i32(count);
    if (FAILED(hr)) return hr;
    if (count < 0 || static_cast<DWORD>(count) > kLongestStreamText) return E_UNEXPECTED;
    // Read in pieces, so a damaged count costs no more memory than the stream really holds.
    std::string result;
    char piece[4096];
    for (LONG left = count; left > 0;) {
        ULONG size = static_cast<ULONG>(std::min<LONG>(left, sizeof piece));
        hr = bytes(piece, size);
        if (FAILED(hr)) return hr;
        result.append(piece, size);
        left -= static_cast<LONG>(size);
    }
    value.swap(result);
    return S_OK;
}

HRESULT StreamReader::object(const CLSID& expected, REFIID iid, void** value) {
    *value = nullptr;
    CLSID stored;
    HRESULT hr = ReadClassStm(stream_, &stored);
    if (FAILED(hr)) return hr == STG_E_READFAULT ? E_UNEXPECTED : hr;
    if (IsEqualCLSID(stored, CLSID_NULL)) return S_OK;
    if (!IsEqualCLSID(stored, expected)) return E_UNEXPECTED;
    IPersistStream* persist = nullptr;
    hr = CoCreateInstance(stored, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStream,
                          reinterpret_cast<void**>(&persist));
    if (FAILED(hr)) return hr;
    hr = persist->Load(stream_);
    if (SUCCEEDED(hr)) hr = persist->QueryInterface(iid, value);
    persist->Release();
    // Whatever the object's own loader says, its data did not read back: the rest of the stream
    // cannot be trusted to start where it should.
    return FAILED(hr) ? E_UNEXPECTED : S_OK;
}

std::string narrowText(const wchar_t* text, int length) {
    if (!text) return {};
    if (length < 0) length = lstrlenW(text);
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring wideText(const std::string& text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(size, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

namespace {

bool inRange(const PersistentField& field, LONG value) {
    return field.lowest > field.highest || (value >= field.lowest && value <= field.highest);
}

VARTYPE bagType(FieldKind kind) {
    switch (kind) {
    case FieldKind::Short:
        return VT_I2;
    case FieldKind::Bool:
        return VT_BOOL;
    case FieldKind::Double:
        return VT_R8;
    case FieldKind::Text:
        return VT_BSTR;
    case FieldKind::Font:
        return VT_DISPATCH;
    default:
        return VT_I4;
    }
}

} // namespace

HRESULT writeField(StreamWriter& out, const PersistentField& field) {
    switch (field.kind) {
    case FieldKind::Short:
        return out.i16(*static_cast<short*>(field.field));
    case FieldKind::Long:
    case FieldKind::Color:
        return out.i32(*static_cast<LONG*>(field.field));
    case FieldKind::Bool:
        return out.i32(*static_cast<BOOL*>(field.field) ? 1 : 0);
    case FieldKind::Double:
        return out.f64(*static_cast<double*>(field.field));
    case FieldKind::Text:
        return out.text(*static_cast<std::string*>(field.field));
    case FieldKind::Font:
        return out.object(*static_cast<IFont**>(field.field));
    }
    return E_UNEXPECTED;
}

namespace {

void replaceFont(const PersistentField& field, IFont* font) {
    IFont*& held = *static_cast<IFont**>(field.field);
    if (held) held->Release();
    held = font;
}

} // namespace

HRESULT readField(StreamReader& in, const PersistentField& field) {
    HRESULT hr = S_OK;
    switch (field.kind) {
    case FieldKind::Short: {
        short value = 0;
        if (FAILED(hr = in.i16(value))) return hr;
        if (!inRange(field, value)) return E_UNEXPECTED;
        *static_cast<short*>(field.field) = value;
        return S_OK;
    }
    case FieldKind::Long:
    case FieldKind::Color: {
        LONG value = 0;
        if (FAILED(hr = in.i32(value))) return hr;
        if (!inRange(field, value)) return E_UNEXPECTED;
        *static_cast<LONG*>(field.field) = value;
        return S_OK;
    }
    case FieldKind::Bool: {
        LONG value = 0;
        if (FAILED(hr = in.i32(value))) return hr;
        *static_cast<BOOL*>(field.field) = value != 0;
        return S_OK;
    }
    case FieldKind::Double:
        return in.f64(*static_cast<double*>(field.field));
    case FieldKind::Text:
        return in.text(*static_cast<std::string*>(field.field));
    case FieldKind::Font: {
        IFont* font = nullptr;
        if (FAILED(hr = in.object(CLSID_StdFont, IID_IFont, reinterpret_cast<void**>(&font)))) return hr;
        if (font) replaceFont(field, font);
        return S_OK;
    }
    }
    return E_UNEXPECTED;
}

HRESULT writeBagField(IPropertyBag* bag, const PersistentField& field) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = bagType(field.kind);
    switch (field.kind) {
    case FieldKind::Short:
        V_I2(&value) = *static_cast<short*>(field.field);
        break;
    case FieldKind::Long:
    case FieldKind::Color:
        V_I4(&value) = *static_cast<LONG*>(field.field);
        break;
    case FieldKind::Bool:
        V_BOOL(&value) = *static_cast<BOOL*>(field.field) ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case FieldKind::Double:
        V_R8(&value) = *static_cast<double*>(field.field);
        break;
    case FieldKind::Text: {
        std::wstring text = wideText(*static_cast<std::string*>(field.field));
        V_BSTR(&value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!V_BSTR(&value)) return E_OUTOFMEMORY;
        break;
    }
    case FieldKind::Font:
        V_DISPATCH(&value) = nullptr;
        if (IFont* font = *static_cast<IFont**>(field.field))
            font->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(&V_DISPATCH(&value)));
        break;
    }
    HRESULT hr = bag->Write(field.name, &value);
    VariantClear(&value);
    return hr;
}

void readBagField(IPropertyBag* bag, IErrorLog* log, const PersistentField& field) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = bagType(field.kind);
    HRESULT hr = bag->Read(field.name, &value, log);
    // A bag may answer with another type than asked for; it must convert to ours.
    if (SUCCEEDED(hr) && V_VT(&value) != bagType(field.kind))
        hr = VariantChangeType(&value, &value, 0, bagType(field.kind));
    if (FAILED(hr)) {
        VariantClear(&value);
        return;
    }
    switch (field.kind) {
    case FieldKind::Short:
        if (inRange(field, V_I2(&value))) *static_cast<short*>(field.field) = V_I2(&value);
        break;
    case FieldKind::Long:
    case FieldKind::Color:
        if (inRange(field, V_I4(&value))) *static_cast<LONG*>(field.field) = V_I4(&value);
        break;
    case FieldKind::Bool:
        *static_cast<BOOL*>(field.field) = V_BOOL(&value) != VARIANT_FALSE;
        break;
    case FieldKind::Double:
        *static_cast<double*>(field.field) = V_R8(&value);
        break;
    case FieldKind::Text:
        *static_cast<std::string*>(field.field) =
            narrowText(V_BSTR(&value), static_cast<int>(SysStringLen(V_BSTR(&value))));
        break;
    case FieldKind::Font: {
        // A copy: the bag's object stays the bag's.
        IFont* stored = nullptr;
        IFont* copy = nullptr;
        if (V_DISPATCH(&value) &&
            SUCCEEDED(V_DISPATCH(&value)->QueryInterface(IID_IFont, reinterpret_cast<void**>(&stored)))) {
            if (SUCCEEDED(stored->Clone(&copy))) replaceFont(field, copy);
            stored->Release();
        }
        break;
    }
    }
    VariantClear(&value);
}

} // namespace framework
