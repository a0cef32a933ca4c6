// The outside property-page library (VXPPG5.dll beside the control library): loaded once, on the
// first page creation or property frame, and kept until the control library unloads.
#pragma once

#include <ole2.h>
#include <windows.h>

namespace framework {

// The library's handle, or null when it cannot be loaded from the control library's folder.
HMODULE pageLibrary();
void freePageLibrary();

// Creates the page at `tableIndex` of the object table through the page library's entry point
// `entryPoint`; null when the library or the entry point is missing.
IUnknown* createPage(IUnknown* outer, int tableIndex, const char* entryPoint);

} // namespace framework
