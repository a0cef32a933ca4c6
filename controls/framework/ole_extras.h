// OLE control interfaces the cross compiler's headers do not declare.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

namespace framework {

typedef int PROPCAT;
const PROPCAT PROPCAT_Nil = -1;
const PROPCAT PROPCAT_Misc = -2;
const PROPCAT PROPCAT_Font = -3;
const PROPCAT PROPCAT_Position = -4;
const PROPCAT PROPCAT_Appearance = -5;
const PROPCAT PROPCAT_Behavior = -6;
const PROPCAT PROPCAT_Data = -7;
const PROPCAT PROPCAT_List = -8;
const PROPCAT PROPCAT_Text = -9;

const IID IID_ICategorizeProperties = {
    0x4D07FC10, 0xF931, 0x11CE, {0xB0, 0x01, 0x00, 0xAA, 0x00, 0x68, 0x84, 0xE5}};

struct ICategorizeProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE MapPropertyToCategory(DISPID dispid, PROPCAT* category) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCategoryName(PROPCAT category, LCID locale, BSTR* name) = 0;
};

// The container's enumeration of the controls on a form (or inside a simple frame).
const IID IID_IVBGetControl = {0x40A050A0, 0x3C31, 0x101B, {0xA8, 0x2E, 0x08, 0x00, 0x2B, 0x2B, 0x23, 0x37}};
const DWORD GC_WCH_SIBLING = 1;
const DWORD GC_WCH_CONTAINER = 2;
const DWORD GC_WCH_CONTAINED = 3;
const DWORD GC_WCH_ALL = 4;

struct IVBGetControl : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumControls(DWORD oleContainerFlags, DWORD which,
                                                   IEnumUnknown** controls) = 0;
};

// Answers the control object's own non-delegating unknown, for the framework and page objects.
const IID IID_IControlSelf = {0x00D97180, 0xFCF7, 0x11CE, {0xA0, 0x9E, 0x00, 0xAA, 0x00, 0x62, 0xBE, 0x57}};

// Messages a container reflects back to the control that sent them, moved up by this amount.
const UINT kReflectedMessageBase = 0x2000;

} // namespace framework
