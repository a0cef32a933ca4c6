#pragma once
// Window sizes and positions are kept in twips (1440 to the inch); the screen works in pixels.
// One conversion, with the screen's logical resolution.
class QWidget;

namespace widgets {

// Pixels per inch of the primary screen (96 when there is no screen, as on the offscreen platform).
double logicalDpi();
int twipsToPixels(double twips);
double pixelsToTwips(int pixels);

} // namespace widgets
