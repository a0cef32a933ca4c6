// The object table of vxframe.ocx: the VxFrame3D control and its five property pages.
#include <new>

#include "frame_control.h"
#include "object_table.h"
#include "page_library.h"

namespace frame {

namespace {

const CLSID kGeneralPage = {0x06DD0840, 0xF22E, 0x11CF, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kFramePage = {0x06DD0841, 0xF22F, 0x11DF, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kFontPage = {0xF5E40DE0, 0x0731, 0x11D0, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kColorPage = {0xF5E40DE1, 0x0731, 0x11D0, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};
const CLSID kPicturePage = {0xF5E40DE2, 0x0731, 0x11D0, {0x8B, 0xC6, 0x80, 0xC0, 0x4F, 0xD3, 0x6A, 0x55}};

const CLSID* const kPages[] = {&kGeneralPage, &kFramePage, &kFontPage, &kColorPage, &kPicturePage};

IUnknown* createFrame(IUnknown* outer) {
    auto* control = new (std::nothrow) FrameControl(outer);
    return control ? control->innerUnknown() : nullptr;
}

// Table positions of the pages: the control is entry 0.
IUnknown* createGeneralPage(IUnknown* outer) {
    return framework::createPage(outer, 1, "_CreateVxFrame3DGeneralPage");
}
IUnknown* createFramePage(IUnknown* outer) {
    return framework::createPage(outer, 2, "_CreateVxFrame3DPage");
}
IUnknown* createFontPage(IUnknown* outer) {
    return framework::createPage(outer, 3, "_CreateFontppg");
}
IUnknown* createColorPage(IUnknown* outer) {
    return framework::createPage(outer, 4, "_CreateColorppg");
}
IUnknown* createPicturePage(IUnknown* outer) {
    return framework::createPage(outer, 5, "_CreatePictureppg");
}

const char kHelpFile[] = "VxFrame3D.HLP";

framework::ControlDescription g_frame = {
    &CLSID_VxFrame3D,
    "VxFrame3DCtrl",
    createFrame,
    1,
    &IID_IVxFrame3D,
    kHelpFile,
    nullptr,
    0,
    &DIID_DVxFrame3DEvents,
    0x32191,
    0,
    1,
    0,
    1,
    "VxFrame3DWndClass",
    0,
    5,
    kPages,
    nullptr,
};

framework::PageDescription g_pages[] = {
    {&kGeneralPage, "VxFrame3D General Propery Page", createGeneralPage, 2101, 3100, 3101, kHelpFile, 0},
    {&kFramePage, "VxFrame3D Propery Page", createFramePage, 2100, 3102, 3103, kHelpFile, 0},
    {&kFontPage, "Font Propery Page", createFontPage, 401, 13, 12, kHelpFile, 0},
    {&kColorPage, "Color Propery Page", createColorPage, 400, 11, 10, kHelpFile, 0},
    {&kPicturePage, "Picture Propery Page", createPicturePage, 402, 15, 14, kHelpFile, 0},
};

framework::ObjectTableEntry g_table[] = {
    {framework::kControl, &g_frame},         {framework::kPropertyPage, &g_pages[0]},
    {framework::kPropertyPage, &g_pages[1]}, {framework::kPropertyPage, &g_pages[2]},
    {framework::kPropertyPage, &g_pages[3]}, {framework::kPropertyPage, &g_pages[4]},
    {framework::kEndOfTable, nullptr},
};

} // namespace

framework::ControlDescription& frameDescription() {
    return g_frame;
}

} // namespace frame

namespace framework {
ObjectTableEntry* objectTable() {
    return frame::g_table;
}
const char* libraryName() {
    return "VxFrame3D";
}
const GUID& typeLibraryId() {
    return LIBID_VxFrame3DCtrl;
}
} // namespace framework
