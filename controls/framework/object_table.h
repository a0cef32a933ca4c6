// The object table that drives a control library's server: which classes it serves, how each is
// registered and created. Each library defines its own table; the framework only reads it (and
// fills the run-time cache fields).
#pragma once

#include <ole2.h>
#include <windows.h>

namespace framework {

using CreateFunction = IUnknown* (*)(IUnknown* outer);

enum EntryKind : WORD {
    kPlainObject = 0,
    kAutomationObject = 1,
    kControl = 2,
    kPropertyPage = 3,
    kEndOfTable = 0xFFFF,
};

// Laid out as seven 32-bit words: the page library receives it verbatim in the page-data record.
struct PageDescription {
    const CLSID* clsid;
    const char* objectName;
    CreateFunction create;
    WORD dialogId;
    WORD titleStringId;
    WORD helpStringId;
    const char* helpFile;
    DWORD helpContext;
};
static_assert(sizeof(void*) != 4 || sizeof(PageDescription) == 28);

struct ControlDescription {
    const CLSID* clsid;
    const char* objectName;
    CreateFunction create;
    DWORD version;
    const IID* dualInterface;
    const char* helpFile;
    ITypeInfo* typeInfo; // cached on first use, shared by the objects of the class
    LONG typeInfoRefs;
    const IID* eventInterface;
    DWORD miscStatus;
    DWORD activationPolicy;
    WORD opaque;
    WORD windowless;
    WORD toolboxBitmapId;
    const char* windowClassName;
    WORD windowClassRegistered;
    WORD pageCount;
    const CLSID* const* pages;
    WNDPROC subclassedProc;
};

struct ObjectTableEntry {
    WORD kind;
    void* description;
};

// Supplied by each control library.
ObjectTableEntry* objectTable();
const char* libraryName();   // the ProgID prefix, "VxFrame3D"
const GUID& typeLibraryId(); // LIBID of the library's own type library

} // namespace framework
