// What each page of VXPPG5 shows: its fields in the order of the dialog's widgets.
#include "page_resources.h"
#include "property_page.h"

namespace pages {

namespace {

using W = Widget;

const PageLayout kLayouts[] = {
    {kDialogTimeGeneral,
     PageKind::Fields,
     {{kField1, L"AlignHorizontal", W::Choice},
      {kField2, L"ClipMode", W::Choice},
      {kField3, L"CursorPosition", W::Choice},
      {kField4, L"DataProperty", W::Choice},
      {kField5, L"HighlightText", W::Choice},
      {kField6, L"MousePointer", W::Choice},
      {kField7, L"ErrorBeep", W::Check},
      {kField8, L"ReadOnly", W::Check},
      {kField9, L"Enabled", W::Check}}},
    {kDialogTimeFormat,
     PageKind::Fields,
     {{kField1, L"Format", W::Text},
      {kField2, L"DisplayFormat", W::Text},
      {kField3, L"PromptChar", W::Text},
      {kField4, L"MinTime", W::Number},
      {kField5, L"MaxTime", W::Number}}},
    {kDialogTimeKeys,
     PageKind::Fields,
     {{kField1, L"KeyClear", W::Text},
      {kField2, L"KeyNext", W::Text},
      {kField3, L"KeyNow", W::Text},
      {kField4, L"KeyPrevious", W::Text}}},
    {kDialogTime3D,
     PageKind::Fields,
     {{kField1, L"Appearance", W::Choice},
      {kField2, L"BorderStyle", W::Choice},
      {kField3, L"MarginLeft", W::Number},
      {kField4, L"MarginTop", W::Number},
      {kField5, L"MarginRight", W::Number},
      {kField6, L"MarginBottom", W::Number}}},
    {kDialogCaption,
     PageKind::Fields,
     {{kField1, L"Caption.Text", W::Text},
      {kField2, L"Caption.Alignment", W::Number},
      {kField3, L"Caption.Position", W::Number},
      {kField4, L"Caption.Spacing", W::Number},
      {kField5, L"Caption.Size", W::Number}}},
    {kDialogFrameGeneral,
     PageKind::Fields,
     {{kField1, L"Caption", W::Text},
      {kField2, L"AlignHorizontal", W::Choice},
      {kField3, L"AlignVertical", W::Choice},
      {kField4, L"AutoSize", W::Choice},
      {kField5, L"MousePointer", W::Choice},
      {kField6, L"Enabled", W::Check}}},
    {kDialogFrame3D,
     PageKind::Fields,
     {{kField1, L"Bevel", W::Number},
      {kField2, L"BevelLight", W::Number},
      {kField3, L"BevelShade", W::Number},
      {kField4, L"LightSource", W::Choice},
      {kField5, L"OutLine", W::Choice},
      {kField6, L"ShadowDarkness", W::Number},
      {kField7, L"ShadowWidth", W::Number},
      {kField8, L"MarginLeft", W::Number},
      {kField9, L"MarginTop", W::Number},
      {kField10, L"MarginRight", W::Number},
      {kField11, L"MarginBottom", W::Number}}},
    {kDialogFont,
     PageKind::Fields,
     {{kField1, L"Font.Name", W::FontName},
      {kField2, L"Font.Size", W::Number},
      {kField3, L"Font.Bold", W::Check},
      {kField4, L"Font.Italic", W::Check},
      {kField5, L"Font.Underline", W::Check},
      {kField6, L"Font.Strikethrough", W::Check}}},
    {kDialogColor, PageKind::Color, {}},
    {kDialogPicture, PageKind::Picture, {}},
};

} // namespace

const PageLayout* layoutOf(WORD dialogId) {
    for (const PageLayout& layout : kLayouts)
        if (layout.dialogId == dialogId) return &layout;
    return nullptr;
}

} // namespace pages
