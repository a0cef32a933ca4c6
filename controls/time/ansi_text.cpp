#include "ansi_text.h"

namespace timectl {

// No best-fit mapping: a look-alike such as a full-width digit must not turn into a digit of a time.
std::string toAnsi(BSTR text) {
    const int wide = static_cast<int>(SysStringLen(text));
    if (wide == 0) return {};
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    int length = WideCharToMultiByte(CP_ACP, flags, text, wide, nullptr, 0, nullptr, nullptr);
    std::string result(length > 0 ? length : 0, '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, flags, text, wide, result.data(), length, nullptr, nullptr);
    return result;
}

bool survivesAnsi(BSTR text) {
    const int wide = static_cast<int>(SysStringLen(text));
    if (wide == 0) return true;
    BOOL replaced = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, wide, nullptr, 0, nullptr, &replaced);
    return length > 0 && !replaced;
}

HRESULT toBstr(std::string_view text, BSTR* result) {
    if (!result) return E_POINTER;
    const int narrow = static_cast<int>(text.size());
    int length = narrow ? MultiByteToWideChar(CP_ACP, 0, text.data(), narrow, nullptr, 0) : 0;
    *result = SysAllocStringLen(nullptr, length);
    if (!*result) return E_OUTOFMEMORY;
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), narrow, *result, length);
    return S_OK;
}

} // namespace timectl
