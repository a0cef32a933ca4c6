// The time core works on ANSI text (field positions are byte offsets); automation speaks BSTR.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>

namespace timectl {

std::string toAnsi(BSTR text);
// True when every character of `text` has its own character in the user's code page, so that the
// ANSI text reads back as it was given.
bool survivesAnsi(BSTR text);
// A new BSTR holding `text`; E_POINTER without a place to put it.
HRESULT toBstr(std::string_view text, BSTR* result);

} // namespace timectl
