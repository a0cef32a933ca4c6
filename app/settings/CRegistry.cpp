#include "CRegistry.h"

#include "runtime/dialogs.h"
#include "runtime/error.h"
#include "runtime/numbers.h"

#include <algorithm>

namespace {

constexpr std::int32_t kReadWrite = 0x2001F;
constexpr std::int32_t kWriteOnly = 0x20006;
constexpr REGSAM kFullAccess = 0x3F;
constexpr const char* kDefaultName = "<DEFAULT>";

// The name a value has in the registry: the item listed as "<DEFAULT>" is the key's unnamed value,
// so writing or deleting it must reach that value and not make one literally named so.
std::string registryName(const std::string& listedName) {
    return runtime::equalsNoCase(listedName, kDefaultName) ? std::string() : listedName;
}

// Closes the key it holds on every way out, errors included.
struct ScopedKey {
    HKEY key = nullptr;
    ~ScopedKey() {
        if (key) RegCloseKey(key);
    }
};

std::vector<BYTE> textBytes(const std::string& text, bool terminated) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    if (terminated) bytes.push_back(0);
    return bytes;
}

std::vector<BYTE> longBytes(std::int32_t n, bool bigEndian) {
    auto u = std::uint32_t(n);
    std::vector<BYTE> b{BYTE(u), BYTE(u >> 8), BYTE(u >> 16), BYTE(u >> 24)};
    if (bigEndian) std::swap(b[0], b[3]), std::swap(b[1], b[2]);
    return b;
}

// A multi-string's bytes, ending with the empty piece that closes the list.
std::vector<BYTE> multiStringBytes(const runtime::Variant& value) {
    std::vector<BYTE> bytes;
    if (value.type() == runtime::VarType::Bytes)
        bytes = value.bytes();
    else
        bytes = textBytes(value.toString(), false);
    if (bytes.empty()) return {0};
    while (bytes.size() < 2 || bytes[bytes.size() - 1] != 0 || bytes[bytes.size() - 2] != 0)
        bytes.push_back(0);
    return bytes;
}

bool isInteger(const runtime::Variant& v) {
    return v.type() == runtime::VarType::Integer || v.type() == runtime::VarType::Long;
}

} // namespace

HKEY CRegistry::rootKey() const {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root_)));
}

std::string CRegistry::below(const std::string& name) const {
    return path_.empty() ? name : path_ + "\\" + name;
}

// ---- properties ----

void CRegistry::ValueCount(std::int16_t) {
    throw runtime::Error(vbObjectError + 519, "CRegistry.Let ValueCount",
                         "The Let Property is not available");
}

void CRegistry::Key(const std::string& vData) {
    path_ = vData;
    try {
        GetKeyInfo();
    } catch (const runtime::Error&) {
        // A path that can be neither created nor opened keeps the values last read.
    }
}

void CRegistry::Root(std::int32_t vData) {
    root_ = vData;
    OpenKey(kReadWrite);
}

// ---- reading the key ----

void CRegistry::GetKeyInfo() {
    CloseKey();
    if (autoCreate_) {
        if (CreateOpenKey() == 0) throw runtime::Error(1000, "GetKeyInfo", "Unable to create Key");
    } else if (RegOpenKeyExA(rootKey(), path_.c_str(), 0, REGSAM(access_), &key_) != ERROR_SUCCESS) {
        key_ = nullptr;
        throw runtime::Error(vbObjectError + 513, "GetKeyInfo", "Unable to open Key");
    }
    try {
        readValues();
        readSubKeys();
    } catch (...) {
        CloseKey();
        throw;
    }
    CloseKey();
}

void CRegistry::readValues() {
    DWORD maxName = 0, maxData = 0;
    RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                     nullptr, nullptr);
    while (values_.Count() != 0)
        values_.Remove(std::int32_t(1));

    std::vector<char> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    int retries = 0;
    for (DWORD index = 0;; ++index) {
        DWORD nameLen = DWORD(name.size()), dataLen = DWORD(data.size()), type = 0;
        LONG rc = RegEnumValueA(key_, index, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
        if (rc == ERROR_MORE_DATA && ++retries < 8) { // it grew since the key was measured: measure again
            name.resize(name.size() * 2 + 256);
            data.resize(std::max<std::size_t>(dataLen, data.size()) + 1);
            --index;
            continue;
        }
        retries = 0;
        if (rc != ERROR_SUCCESS) break; // ERROR_NO_MORE_ITEMS, or the key went away meanwhile
        std::string valueName(name.data(), nameLen);
        runtime::Variant value;
        if (type == 4) {
            std::uint32_t n = 0;
            for (DWORD i = 0; i < 4 && i < dataLen; ++i)
                n |= std::uint32_t(data[i]) << (8 * i);
            value = std::int32_t(n);
        } else if (type == 7) {
            value = std::string(reinterpret_cast<const char*>(data.data()), dataLen);
        } else if (type == 1 || type == 2) {
            // Only the terminating character is dropped; text stored without one keeps its last letter.
            if (dataLen > 0 && data[dataLen - 1] == 0) --dataLen;
            value = std::string(reinterpret_cast<const char*>(data.data()), dataLen);
        } else {
            value = runtime::Bytes(data.begin(), data.begin() + dataLen);
        }
        // The unnamed default value is listed only when it holds text (or data of another kind);
        // an unnamed binary, number or multi-string value stays out of the collection.
        if (valueName.empty() && type != 3 && type != 4 && type != 7) valueName = kDefaultName;
        // A value really named "<DEFAULT>" beside the default value: the first one listed stays.
        if (!values_.Exists(valueName)) values_.Add(valueName, valueName, std::int32_t(type), value);
    }
    valueCount_ = std::int16_t(values_.Count());
}

void CRegistry::readSubKeys() {
    DWORD maxSub = 0;
    RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, &maxSub, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    subKeys_.clear();
    std::vector<char> name(maxSub + 1);
    for (DWORD index = 0;; ++index) {
        DWORD len = DWORD(name.size());
        LONG rc = RegEnumKeyExA(key_, index, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA && name.size() < 256) { // a subkey added since the key was measured
            name.resize(256);
            --index;
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        subKeys_.emplace_back(name.data(), len);
    }
}

// ---- opening and closing ----

bool CRegistry::OpenKey(std::int32_t access) {
    CloseKey();
    if (path_.empty() || root_ == 0) return false;
    if (!autoCreate_)
        return RegOpenKeyExA(rootKey(), path_.c_str(), 0, REGSAM(access), &key_) == ERROR_SUCCESS;
    DWORD disposition = CreateOpenKey();
    return disposition == REG_CREATED_NEW_KEY || disposition == REG_OPENED_EXISTING_KEY;
}

DWORD CRegistry::CreateOpenKey() {
    CloseKey();
    DWORD disposition = 0;
    char keyClass[] = "1";
    LONG rc = RegCreateKeyExA(rootKey(), path_.c_str(), 0, keyClass, REG_OPTION_NON_VOLATILE, kFullAccess,
                              nullptr, &key_, &disposition);
    if (rc == ERROR_SUCCESS) return disposition;
    key_ = nullptr;
    runtime::MsgBox(rc == ERROR_BADKEY ? "Cannot Open Parent Key" : "Unknown error");
    return 0;
}

void CRegistry::CloseKey() {
    if (key_) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}

// ---- writing ----

std::int16_t CRegistry::Create(const std::string& KeyName, const std::optional<runtime::Variant>& sKeyName,
                               const std::string& sValue) {
    std::int16_t result = 0;
    try {
        if (KeyName != path_) path_ = below(KeyName);
        if (CreateOpenKey() != 0) {
            if (sKeyName && !SetValue(*sKeyName, sValue)) runtime::MsgBox("Could not set value");
            result = -1;
        }
    } catch (const runtime::Error&) {
        result = 0;
    }
    CloseKey();
    return result;
}

// The bytes and registry type to write for `value`; nullopt when there is nothing to write.
std::optional<std::vector<BYTE>> CRegistry::valueData(const runtime::Variant& value, std::int16_t type,
                                                      DWORD& regType) {
    using runtime::VarType;
    regType = DWORD(type);
    switch (type) {
    case 0: // no type given: take it from the value
        if (isInteger(value)) return regType = REG_DWORD, longBytes(value.toLong(), false);
        if (value.type() == VarType::String) return regType = REG_SZ, textBytes(value.toString(), true);
        if (value.type() == VarType::Bytes) return regType = REG_BINARY, value.bytes();
        return std::nullopt;
    case 1:
    case 2:
        return textBytes(value.toString(), true);
    case 3:
        return value.type() == VarType::Bytes ? value.bytes() : textBytes(value.toString(), false);
    case 4:
        return longBytes(value.toLong(), false);
    case 5:
        return longBytes(value.toLong(), true);
    case 7:
        return multiStringBytes(value);
    default:
        return std::nullopt;
    }
}

bool CRegistry::SetValue(const runtime::Variant& sKeyName, const runtime::Variant& sValue,
                         std::optional<std::int16_t> regType) {
    std::string name = registryName(
        sKeyName.type() == runtime::VarType::Integer ? GetName(sKeyName.toInteger()) : sKeyName.toString());
    if (!OpenKey(kWriteOnly)) {
        GetKeyInfo();
        return false;
    }
    bool result = false;
    try {
        DWORD type = 0;
        if (auto data = valueData(sValue, regType.value_or(0), type)) {
            LONG rc = RegSetValueExA(key_, name.c_str(), 0, type, data->data(), DWORD(data->size()));
            if (rc != ERROR_SUCCESS) runtime::MsgBox("Darn!!  Couldn't write new value.");
            result = rc == ERROR_SUCCESS;
        }
    } catch (...) {
        CloseKey();
        throw;
    }
    CloseKey();
    GetKeyInfo();
    return result;
}

bool CRegistry::DeleteValue(const std::string& sValue) {
    bool result = false;
    try {
        if (OpenKey(kReadWrite))
            result = RegDeleteValueA(key_, registryName(sValue).c_str()) == ERROR_SUCCESS;
        CloseKey();
        GetKeyInfo();
    } catch (const runtime::Error&) {
        CloseKey();
    }
    return result;
}

bool CRegistry::DeleteKey(const std::string& KeyName) {
    if (KeyName.empty()) return false; // names no subkey: never the key itself
    bool result = DeleteKeyTree(KeyName) == ERROR_SUCCESS;
    if (result) {
        try {
            GetKeyInfo();
        } catch (const runtime::Error&) {
        }
    }
    return result;
}

// Deletes depth-first: the registry refuses to delete a key that still has subkeys.
LONG CRegistry::DeleteKeyTree(const std::string& name) {
    ScopedKey key;
    if (RegOpenKeyExA(rootKey(), below(name).c_str(), 0, kFullAccess, &key.key) != ERROR_SUCCESS) return -1;
    char sub[256];
    while (true) {
        DWORD len = sizeof sub;
        LONG rc = RegEnumKeyExA(key.key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return rc;
        std::string saved = path_;
        path_ = below(name);
        LONG subResult = DeleteKeyTree(sub);
        path_ = saved;
        if (subResult != ERROR_SUCCESS) return subResult; // a subkey that will not go: give up, do not spin
    }
    RegCloseKey(key.key);
    key.key = nullptr;
    ScopedKey parent;
    if (RegOpenKeyExA(rootKey(), path_.c_str(), 0, kFullAccess, &parent.key) != ERROR_SUCCESS) return -1;
    return RegDeleteKeyA(parent.key, name.c_str());
}

// ---- reading values ----

std::string CRegistry::EnumSubKeyNames() {
    if (cursorPath_ != path_) {
        cursorPath_ = path_;
        cursor_ = 0;
    }
    if (cursor_ < subKeys_.size()) return subKeys_[cursor_++];
    cursor_ = 0;
    return "";
}

std::string CRegistry::GetName(std::int16_t iRequest) {
    return values_.Item(iRequest)->Name;
}

std::string CRegistry::GetValue(const runtime::Variant& vRequest) {
    try {
        auto item = values_.Item(vRequest);
        switch (item->DataType()) {
        case 1:
        case 2:
        case 7:
            return item->StringValue();
        case 4:
            return std::to_string(item->LongValue());
        default:
            return "";
        }
    } catch (const runtime::Error&) {
        return "";
    }
}

std::int32_t CRegistry::GetLong(const runtime::Variant& vRequest) {
    return values_.Item(vRequest)->GetDataLong();
}

runtime::Variant CRegistry::GetString(const runtime::Variant& vRequest) {
    auto item = values_.Item(vRequest);
    std::int16_t t = item->DataType();
    return (t == 1 || t == 2 || t == 7) ? runtime::Variant(item->StringValue()) : runtime::Variant();
}

std::string CRegistry::GetExpandedString(const runtime::Variant& vRequest) {
    std::string text = values_.Item(vRequest)->GetDataStr();
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    std::vector<char> buffer(needed + 1);
    ExpandEnvironmentStringsA(text.c_str(), buffer.data(), DWORD(buffer.size()));
    return std::string(buffer.data());
}

std::int16_t CRegistry::GetValueType(const runtime::Variant& vRequest) {
    return values_.Item(vRequest)->DataType();
}

void CRegistry::GetMultiString(const runtime::Variant& vRequest, std::vector<std::string>& sArray) {
    auto item = values_.Item(vRequest);
    if (item->DataType() != 7)
        throw runtime::Error(vbObjectError + 521, "CRegistry",
                             "The value you tried to retrive was nit a MultiSrting type");
    sArray.assign(std::size_t(item->GetMultiStringCount()), std::string());
    item->GetDataMultiStr(sArray);
}
