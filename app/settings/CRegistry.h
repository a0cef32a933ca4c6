#pragma once
// One registry key as an object: a root and a path under it. Setting the path loads the key's
// values into `Values()` and the names of its direct subkeys; every write or delete reloads them,
// so they always describe the key as last read.
#include "colRegistry.h"

#include "runtime/variant.h"
#include "winreg/winreg.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The base of errors the program's own objects raise (0x80040000).
inline constexpr long vbObjectError = -2147221504;

class CRegistry {
public:
    CRegistry() = default;
    ~CRegistry() { CloseKey(); }
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    bool DeleteValue(const std::string& sValue);
    std::string GetName(std::int16_t iRequest);
    // Each call gives the next subkey name of the current path; "" after the last, then starts over.
    std::string EnumSubKeyNames();
    // A value's data as text ("" for binary data and for a value that is not there).
    std::string GetValue(const runtime::Variant& vRequest);
    // Deletes the subkey `KeyName` and everything below it.
    bool DeleteKey(const std::string& KeyName);
    // Creates (or opens) the subkey `KeyName`, which becomes the object's path, and optionally sets
    // a value in it. -1 when the key exists afterwards, 0 when it could not be made.
    std::int16_t Create(const std::string& KeyName,
                        const std::optional<runtime::Variant>& sKeyName = std::nullopt,
                        const std::string& sValue = "");
    // Writes a value named by `sKeyName` (a name, or the position of an existing value). Without a
    // type, numbers are written as 32-bit numbers, texts as strings and byte arrays as binary data.
    bool SetValue(const runtime::Variant& sKeyName, const runtime::Variant& sValue,
                  std::optional<std::int16_t> regType = std::nullopt);

    const std::string& Default() const { return default_; }
    void Default(const std::string& strKeyString) { default_ = strKeyString; }
    std::int16_t ValueCount() const { return valueCount_; }
    [[noreturn]] void ValueCount(std::int16_t vl);
    bool AutoCreate() const { return autoCreate_; }
    void AutoCreate(bool vData) { autoCreate_ = vData; }
    const std::string& Key() const { return path_; }
    void Key(const std::string& vData);
    std::int32_t Root() const { return root_; }
    void Root(std::int32_t vData);
    std::int32_t Access() const { return access_; }
    void Access(std::int32_t lNewValue) { access_ = lNewValue; }

    const colRegistry& Values() const { return values_; }
    const std::vector<std::string>& SubKeyNames() const { return subKeys_; }

    // Typed reads of a loaded value, by position or name, used inside the component.
    void GetMultiString(const runtime::Variant& vRequest, std::vector<std::string>& sArray);
    std::int32_t GetLong(const runtime::Variant& vRequest);
    runtime::Variant GetString(const runtime::Variant& vRequest);
    std::string GetExpandedString(const runtime::Variant& vRequest);
    std::int16_t GetValueType(const runtime::Variant& vRequest);

private:
    void GetKeyInfo();
    void readValues();
    void readSubKeys();
    bool OpenKey(std::int32_t access);
    DWORD CreateOpenKey();
    void CloseKey();
    LONG DeleteKeyTree(const std::string& name);
    std::optional<std::vector<BYTE>> valueData(const runtime::Variant& value, std::int16_t type,
                                               DWORD& regType);
    HKEY rootKey() const;
    std::string below(const std::string& name) const;

    std::int32_t root_ = std::int32_t(0x80000002u); // HKEY_LOCAL_MACHINE
    std::string path_;
    bool autoCreate_ = true;
    std::string default_;
    std::int32_t access_ = 0x2001F;
    std::int16_t valueCount_ = 0;
    HKEY key_ = nullptr;
    std::vector<std::string> subKeys_;
    colRegistry values_;
    std::size_t cursor_ = 0;
    std::optional<std::string> cursorPath_;
};
