// Resource identifiers of VXPPG5.dll (shared by the C++ code and the resource script).
#pragma once

// Dialogs of the pages, by the ids the control libraries ask for.
#define kDialogColor 400
#define kDialogFont 401
#define kDialogPicture 402
#define kDialogCaption 2001
#define kDialogFrame3D 2100
#define kDialogFrameGeneral 2101
#define kDialogTimeGeneral 2200
#define kDialogTimeFormat 2201
#define kDialogTimeKeys 2202
#define kDialogTime3D 2203

// Widgets of the field pages, numbered in the order of each page's fields.
#define kField1 1001
#define kField2 1002
#define kField3 1003
#define kField4 1004
#define kField5 1005
#define kField6 1006
#define kField7 1007
#define kField8 1008
#define kField9 1009
#define kField10 1010
#define kField11 1011

// The colour and picture pages.
#define kChooserProperty 1101
#define kColorList 1102
#define kColorValue 1103
#define kPictureBrowse 1202
#define kPictureClear 1203
#define kPictureState 1204
