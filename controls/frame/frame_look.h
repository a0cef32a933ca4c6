// Everything that decides how a VxFrame3D looks, in the order the properties are kept.
#pragma once

#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <string>

namespace frame {

struct FrameLook {
    short alignHorizontal = 2; // 0 left, 1 right, 2 center
    short alignVertical = 2;   // 0 top, 1 bottom, 2 center
    short autoSize = 0;        // 0 none, 1 size the first contained control
    short bevel = 1;           // rings; negative: sunken
    short bevelLight = 25;     // percent applied to BackColor for lit edges
    short bevelShade = -25;    // percent applied to BackColor for shaded edges
    short lightSource = 0;     // 0 upper-left, 1 upper-right, 2 lower-right, 3 lower-left
    short outLine = 1;         // 0 none, 1 single, 2 special
    short shadowDarkness = 160;
    short shadowWidth = 0;
    short marginLeft = 1;
    short marginTop = 1;
    short marginRight = 1;
    short marginBottom = 1;
    BOOL enabled = TRUE;
    OLE_COLOR shadowBaseColor = 0x80000005;
    OLE_COLOR backColor = 0x80000005;
    OLE_COLOR foreColor = 0x80000008;
    std::string caption; // ANSI
};

} // namespace frame
