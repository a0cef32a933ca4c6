// Drawing of the 3D frame: shadow, outline, bevel rings and caption, off screen, then copied to the
// target in one piece so nothing flickers.
#pragma once

#include "frame_look.h"

namespace frame {

// Edges lit by each light source: 8 left, 4 top, 2 right, 1 bottom.
int lightMask(short lightSource);

// One colour component k becomes k + k * percent / 100, clamped at 0 and 255.
COLORREF adjustColor(COLORREF color, int percent);

// Where the caption goes (and where AutoSize puts the contained control) within `bounds`.
RECT innerRect(const FrameLook& look, const RECT& bounds);

// Draws the frame into `bounds` of `target`. `font` may be null (the system font is used);
// `greyCaption` draws the caption disabled.
void drawFrame(HDC target, const RECT& bounds, const FrameLook& look, HFONT font, bool greyCaption);

} // namespace frame
