// The object table of vxtime.ocx: the VxTime control and its eight property pages.
#include <new>

#include "object_table.h"
#include "page_library.h"
#include "time_control.h"

namespace timectl {

namespace {

#define PAGE_CLSID(last)                                                                                     \
    {                                                                                                        \
        0x994FA744 + (last), 0x0657, 0x11D0, {                                                               \
            0xAE, 0x29, 0x80, 0xA0, 0x24, 0x69, 0x57, 0x6C                                                   \
        }                                                                                                    \
    }
const CLSID kGeneralPage = PAGE_CLSID(0);
const CLSID kFormatPage = PAGE_CLSID(1);
const CLSID kKeysPage = PAGE_CLSID(2);
const CLSID k3DPage = PAGE_CLSID(3);
const CLSID kCaptionPage = PAGE_CLSID(4);
const CLSID kFontPage = PAGE_CLSID(5);
const CLSID kColorPage = PAGE_CLSID(6);
const CLSID kPicturePage = PAGE_CLSID(7);

const CLSID* const kPages[] = {&kGeneralPage, &kFormatPage, &kKeysPage,  &k3DPage,
                               &kCaptionPage, &kFontPage,   &kColorPage, &kPicturePage};

IUnknown* createTime(IUnknown* outer) {
    auto* control = new (std::nothrow) TimeControl(outer);
    return control ? control->innerUnknown() : nullptr;
}

// Table positions of the pages: the control is entry 0.
IUnknown* createGeneralPage(IUnknown* outer) {
    return framework::createPage(outer, 1, "_CreateVxTimeGeneralPage");
}
IUnknown* createFormatPage(IUnknown* outer) {
    return framework::createPage(outer, 2, "_CreateVxTimeFormatPage");
}
IUnknown* createKeysPage(IUnknown* outer) {
    return framework::createPage(outer, 3, "_CreateVxTimeKeysPage");
}
IUnknown* create3DPage(IUnknown* outer) {
    return framework::createPage(outer, 4, "_CreateVxTime3DPage");
}
IUnknown* createCaptionPage(IUnknown* outer) {
    return framework::createPage(outer, 5, "_CreateCaptionPage");
}
IUnknown* createFontPage(IUnknown* outer) {
    return framework::createPage(outer, 6, "_CreateFontppg");
}
IUnknown* createColorPage(IUnknown* outer) {
    return framework::createPage(outer, 7, "_CreateColorppg");
}
IUnknown* createPicturePage(IUnknown* outer) {
    return framework::createPage(outer, 8, "_CreatePictureppg");
}

const char kHelpFile[] = "VxTime.HLP";

framework::ControlDescription g_time = {
    &CLSID_VxTime,
    "VxTimeCtrl",
    createTime,
    1,
    &IID_IVxTime,
    kHelpFile,
    nullptr,
    0,
    &DIID_DVxTimeEvents,
    0x20191,
    0,
    1,
    0,
    1,
    "VxTimeWndClass",
    0,
    8,
    kPages,
    nullptr,
};

framework::PageDescription g_pages[] = {
    {&kGeneralPage, "VxTime General Propery Page", createGeneralPage, 2200, 3200, 3201, kHelpFile, 0},
    {&kFormatPage, "VxTime Format Propery Page", createFormatPage, 2201, 3202, 3203, kHelpFile, 0},
    {&kKeysPage, "VxTime Keys Propery Page", createKeysPage, 2202, 3204, 3205, kHelpFile, 0},
    {&k3DPage, "VxTime 3D Propery Page", create3DPage, 2203, 3206, 3207, kHelpFile, 0},
    {&kCaptionPage, "Quillet Caption Propery Page", createCaptionPage, 2001, 3004, 3005, kHelpFile, 0},
    {&kFontPage, "Font Propery Page", createFontPage, 401, 13, 12, kHelpFile, 0},
    {&kColorPage, "Color Propery Page", createColorPage, 400, 11, 10, kHelpFile, 0},
    {&kPicturePage, "Picture Propery Page", createPicturePage, 402, 15, 14, kHelpFile, 0},
};

framework::ObjectTableEntry g_table[] = {
    {framework::kControl, &g_time},          {framework::kPropertyPage, &g_pages[0]},
    {framework::kPropertyPage, &g_pages[1]}, {framework::kPropertyPage, &g_pages[2]},
    {framework::kPropertyPage, &g_pages[3]}, {framework::kPropertyPage, &g_pages[4]},
    {framework::kPropertyPage, &g_pages[5]}, {framework::kPropertyPage, &g_pages[6]},
    {framework::kPropertyPage, &g_pages[7]}, {framework::kEndOfTable, nullptr},
};

} // namespace

framework::ControlDescription& timeDescription() {
    return g_time;
}

} // namespace timectl

namespace framework {
ObjectTableEntry* objectTable() {
    return timectl::g_table;
}
const char* libraryName() {
    return "VxTime";
}
const GUID& typeLibraryId() {
    return LIBID_VxTimeCtrl;
}
} // namespace framework
