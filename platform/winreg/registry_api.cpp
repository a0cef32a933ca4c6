// The Reg*A functions over the file-backed hives. An open key is a handle naming a hive and a path
// in it; the path is looked up again on every call, so a handle always sees the hive as it is now
// (including changes made by other processes), and a key deleted meanwhile gives ERROR_KEY_DELETED.
#include "winreg.h"

#include "hive_file.h"
#include "hive_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>

namespace winreg {
namespace {

// The longest value name Windows accepts, in characters.
constexpr std::size_t kMaxValueNameLength = 16383;

constexpr std::array<const char*, 6> kRootNames = {"HKEY_CLASSES_ROOT",
                                                   "HKEY_CURRENT_USER",
                                                   "HKEY_LOCAL_MACHINE",
                                                   "HKEY_USERS",
                                                   nullptr, // performance data has no hive
                                                   "HKEY_CURRENT_CONFIG"};

struct OpenKey {
    std::size_t root = 0;
    std::vector<std::string> path;
    REGSAM access = 0;
};

std::mutex gMutex;
std::map<ULONG_PTR, OpenKey> gHandles;
ULONG_PTR gNextHandle = 0x1000;

HiveFile& hive(std::size_t root) {
    static std::array<HiveFile*, kRootNames.size()> hives{};
    if (!hives[root]) hives[root] = new HiveFile(kRootNames[root]); // lives for the process
    return *hives[root];
}

// The open key a handle stands for; predefined roots are always open with every right.
bool lookup(HKEY h, OpenKey& out) {
    auto value = reinterpret_cast<ULONG_PTR>(h);
    for (std::size_t i = 0; i < kRootNames.size(); ++i) {
        if (kRootNames[i] && value == ULONG_PTR(LONG(0x80000000u + i))) {
            out = OpenKey{i, {}, KEY_ALL_ACCESS};
            return true;
        }
    }
    auto it = gHandles.find(value);
    if (it == gHandles.end()) return false;
    out = it->second;
    return true;
}

HKEY newHandle(OpenKey key) {
    ULONG_PTR value = gNextHandle;
    gNextHandle += 4;
    gHandles.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

// The key's levels with `sub` appended; ERROR_BAD_PATHNAME for a path that starts with "\", as
// Windows refuses those.
LONG extend(const OpenKey& base, LPCSTR sub, std::vector<std::string>& out) {
    out = base.path;
    if (!sub || !*sub) return ERROR_SUCCESS;
    if (sub[0] == '\\') return ERROR_BAD_PATHNAME;
    for (auto& level : splitKeyPath(sub)) {
        if (level.size() > 255 || !storableKeyName(level)) return ERROR_INVALID_PARAMETER;
        out.push_back(std::move(level));
    }
    return ERROR_SUCCESS;
}

const HiveKey* findKey(const OpenKey& key) {
    return findPath(const_cast<HiveKey&>(hive(key.root).current()), key.path);
}

bool stringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Copies a value's data out the way RegQueryValueEx and RegEnumValue do: the size alone when
// there is no buffer, ERROR_MORE_DATA with the size needed when the buffer is too small.
LONG copyData(const HiveValue& v, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (type) *type = v.type;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    if (!size) return ERROR_SUCCESS;
    DWORD needed = DWORD(v.data.size());
    if (data) {
        if (needed > *size) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        std::copy(v.data.begin(), v.data.end(), data);
        // Text stored without its terminator still reads as a proper string when there is room.
        if (stringType(v.type) && needed < *size && needed > 0 && v.data.back() != 0) data[needed] = 0;
    }
    *size = needed;
    return ERROR_SUCCESS;
}

// Copies a name into a caller's buffer sized in characters including the terminator.
LONG copyName(const std::string& name, LPSTR buffer, LPDWORD chars) {
    if (!buffer || !chars) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *chars) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *chars = DWORD(name.size());
    return ERROR_SUCCESS;
}

} // namespace
} // namespace winreg

using namespace winreg;

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    std::lock_guard guard(gMutex);
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    if (!lookup(hKey, base)) return ERROR_INVALID_HANDLE;
    OpenKey key{base.root, {}, (samDesired & MAXIMUM_ALLOWED) ? KEY_ALL_ACCESS : samDesired};
    if (LONG rc = extend(base, lpSubKey, key.path)) return rc;
    if (!findKey(key)) return findKey(base) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    *phkResult = newHandle(std::move(key));
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                            const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    // Key classes and volatile keys are not kept: nothing the program does depends on them.
    std::lock_guard guard(gMutex);
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    if (!lookup(hKey, base)) return ERROR_INVALID_HANDLE;
    OpenKey key{base.root, {}, (samDesired & MAXIMUM_ALLOWED) ? KEY_ALL_ACCESS : samDesired};
    if (LONG rc = extend(base, lpSubKey, key.path)) return rc;
    if (!findKey(base)) return ERROR_KEY_DELETED;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!findKey(key)) {
        if (!(base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        LONG rc = hive(key.root).modify([&](HiveKey& root, bool& changed) -> long {
            HiveKey* k = &root;
            for (const auto& level : key.path) {
                bool created = false;
                k = &k->subkey(level, &created);
                changed |= created;
            }
            return 0;
        });
        if (rc) return rc;
        disposition = REG_CREATED_NEW_KEY;
    }
    if (lpdwDisposition) *lpdwDisposition = disposition;
    *phkResult = newHandle(std::move(key));
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    std::lock_guard guard(gMutex);
    OpenKey key;
    if (!lookup(hKey, key)) return ERROR_INVALID_HANDLE;
    gHandles.erase(reinterpret_cast<ULONG_PTR>(hKey));
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                             LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    std::lock_guard guard(gMutex);
    OpenKey handle;
    if (!lookup(hKey, handle)) return ERROR_INVALID_HANDLE;
    const HiveKey* key = findKey(handle);
    if (!key) return ERROR_KEY_DELETED;
    if (lpClass && lpcchClass) {
        if (*lpcchClass < 1) return ERROR_MORE_DATA;
        lpClass[0] = 0;
    }
    if (lpcchClass) *lpcchClass = 0;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& s : key->subkeys)
        maxSub = std::max(maxSub, DWORD(s.name.size()));
    for (const auto& v : key->values) {
        maxName = std::max(maxName, DWORD(v.name.size()));
        maxData = std::max(maxData, DWORD(v.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = DWORD(key->subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = DWORD(key->values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    std::lock_guard guard(gMutex);
    OpenKey handle;
    if (!lookup(hKey, handle)) return ERROR_INVALID_HANDLE;
    if (!(handle.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const HiveKey* key = findKey(handle);
    if (!key) return ERROR_KEY_DELETED;
    if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const HiveValue& v = key->values[dwIndex];
    if (LONG rc = copyName(v.name, lpValueName, lpcchValueName)) return rc;
    return copyData(v, lpType, lpData, lpcbData);
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                          LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    std::lock_guard guard(gMutex);
    OpenKey handle;
    if (!lookup(hKey, handle)) return ERROR_INVALID_HANDLE;
    if (!(handle.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    const HiveKey* key = findKey(handle);
    if (!key) return ERROR_KEY_DELETED;
    if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    if (LONG rc = copyName(key->subkeys[dwIndex].name, lpName, lpcchName)) return rc;
    if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
    std::lock_guard guard(gMutex);
    OpenKey handle;
    if (!lookup(hKey, handle)) return ERROR_INVALID_HANDLE;
    if (!(handle.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::string name = lpValueName ? lpValueName : "";
    if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    std::vector<std::uint8_t> data(lpData, lpData + cbData);
    // Text handed over without its terminator gets one, as the ANSI function does on Windows.
    if (stringType(dwType) && !data.empty() && data.back() != 0) data.push_back(0);
    return hive(handle.root).modify([&](HiveKey& root, bool& changed) -> long {
        HiveKey* key = findPath(root, handle.path);
        if (!key) return ERROR_KEY_DELETED;
        changed = key->setValue(name, dwType, std::move(data));
        return 0;
    });
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    std::lock_guard guard(gMutex);
    OpenKey handle;
    if (!lookup(hKey, handle)) return ERROR_INVALID_HANDLE;
    if (!(handle.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const HiveKey* key = findKey(handle);
    if (!key) return ERROR_KEY_DELETED;
    const HiveValue* v = key->findValue(lpValueName ? lpValueName : "");
    if (!v) return ERROR_FILE_NOT_FOUND;
    return copyData(*v, lpType, lpData, lpcbData);
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::lock_guard guard(gMutex);
    OpenKey handle;
    if (!lookup(hKey, handle)) return ERROR_INVALID_HANDLE;
    if (!(handle.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string name = lpValueName ? lpValueName : "";
    return hive(handle.root).modify([&](HiveKey& root, bool& changed) -> long {
        HiveKey* key = findPath(root, handle.path);
        if (!key) return ERROR_KEY_DELETED;
        changed = key->removeValue(name);
        return changed ? 0 : ERROR_FILE_NOT_FOUND;
    });
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    std::lock_guard guard(gMutex);
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    OpenKey handle;
    if (!lookup(hKey, handle)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> path;
    if (LONG rc = extend(handle, lpSubKey, path)) return rc;
    if (path.empty()) return ERROR_ACCESS_DENIED; // a root cannot be deleted
    return hive(handle.root).modify([&](HiveKey& root, bool& changed) -> long {
        if (!findPath(root, handle.path)) return ERROR_KEY_DELETED;
        std::vector<std::string> parentPath(path.begin(), path.end() - 1);
        HiveKey* parent = findPath(root, parentPath);
        HiveKey* target = parent ? parent->findSubkey(path.back()) : nullptr;
        if (!target) return ERROR_FILE_NOT_FOUND;
        // Windows refuses to delete a key that still has subkeys; callers delete depth-first.
        if (!target->subkeys.empty()) return ERROR_ACCESS_DENIED;
        changed = parent->removeSubkey(path.back());
        return 0;
    });
}
