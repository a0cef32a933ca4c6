// Resource identifiers of vxframe.ocx (shared by the C++ code and the resource script).
#pragma once

#define kToolboxBitmap 1
#define kAboutDialog 2400
#define kAboutDialogGerman 3400
#define kCategoryMargin 1000
#define kStringAlignHorizontal 1100
#define kStringMousePointer 1140
#define kStringAlignVertical 1170
#define kStringAutoSize 2000
#define kStringLightSource 2010
#define kStringOutLine 2020
