// The frame's drawing, pixel by pixel, on a 32-bit bitmap.
#include "frame_drawing.h"

#include <gtest/gtest.h>

namespace frame {
namespace {

// A memory device context over a top-down 32-bit DIB, cleared to a marker colour.
class Canvas {
public:
    Canvas(int width, int height) : width_(width) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i)
            bits_[i] = 0x00FF00FF; // magenta: never drawn by the frame
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF at(int x, int y) const {
        GdiFlush();
        DWORD pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* bits_ = nullptr;
};

FrameLook plainLook() {
    FrameLook look;
    look.backColor = RGB(100, 100, 100);
    look.shadowBaseColor = RGB(200, 200, 200);
    look.foreColor = RGB(0, 0, 0);
    return look;
}

const COLORREF kBlack = RGB(0, 0, 0);

TEST(FrameDrawing, ColourAdjustmentTruncatesAndClamps) {
    EXPECT_EQ(adjustColor(RGB(200, 100, 0), 100), RGB(255, 200, 0));
    EXPECT_EQ(adjustColor(RGB(200, 100, 7), -100), RGB(0, 0, 0));
    EXPECT_EQ(adjustColor(RGB(100, 203, 204), 25), RGB(125, 253, 255)); // 203+50=253 stays, 204+51 clamps
    EXPECT_EQ(adjustColor(RGB(100, 3, 1), -25), RGB(75, 3, 1));         // 3*-25/100 truncates to 0
    EXPECT_EQ(adjustColor(RGB(10, 20, 30), 0), RGB(10, 20, 30));
}

TEST(FrameDrawing, SunkenBevelDarkensTheLitEdgesAndLightensTheOthers) {
    FrameLook look = plainLook();
    look.bevel = -3;
    Canvas canvas(60, 40);
    drawFrame(canvas.dc(), RECT{0, 0, 60, 40}, look, nullptr, false);

    const COLORREF dark = RGB(75, 75, 75), light = RGB(125, 125, 125), back = RGB(100, 100, 100);
    EXPECT_EQ(canvas.at(0, 20), kBlack);  // outline, left
    EXPECT_EQ(canvas.at(59, 20), kBlack); // outline, right
    EXPECT_EQ(canvas.at(30, 0), kBlack);
    EXPECT_EQ(canvas.at(30, 39), kBlack);
    for (int ring = 1; ring <= 3; ++ring) {
        EXPECT_EQ(canvas.at(ring, 20), dark) << ring;       // left edge lit by upper-left light
        EXPECT_EQ(canvas.at(30, ring), dark) << ring;       // top
        EXPECT_EQ(canvas.at(59 - ring, 20), light) << ring; // right
        EXPECT_EQ(canvas.at(30, 39 - ring), light) << ring; // bottom
    }
    EXPECT_EQ(canvas.at(4, 20), back);
    EXPECT_EQ(canvas.at(30, 4), back);
    EXPECT_EQ(canvas.at(55, 35), back);
}

TEST(FrameDrawing, RaisedSpecialOutlineUsesGreyOnLitEdges) {
    FrameLook look = plainLook();
    look.outLine = 2;
    look.lightSource = 1; // upper-right: top and right edges lit
    Canvas canvas(30, 20);
    drawFrame(canvas.dc(), RECT{0, 0, 30, 20}, look, nullptr, false);
    const COLORREF grey = RGB(0x80, 0x80, 0x80);
    EXPECT_EQ(canvas.at(15, 0), grey);
    EXPECT_EQ(canvas.at(29, 10), grey);
    EXPECT_EQ(canvas.at(0, 10), kBlack);
    EXPECT_EQ(canvas.at(15, 19), kBlack);
    EXPECT_EQ(canvas.at(15, 1), RGB(125, 125, 125)); // bevel 1, lit top: +25 %
    EXPECT_EQ(canvas.at(1, 10), RGB(75, 75, 75));    // unlit left: -25 %
}

TEST(FrameDrawing, ShadowFromLowerRightLightFallsTopLeftAndMovesTheBody) {
    FrameLook look = plainLook();
    look.shadowWidth = 5;
    look.lightSource = 2;
    look.outLine = 1;
    Canvas canvas(50, 40);
    drawFrame(canvas.dc(), RECT{0, 0, 50, 40}, look, nullptr, false);

    const COLORREF shadow = RGB(200 & 160, 200 & 160, 200 & 160);
    const COLORREF base = RGB(200, 200, 200);
    EXPECT_EQ(canvas.at(1, 1), shadow);
    EXPECT_EQ(canvas.at(4, 30), shadow);
    EXPECT_EQ(canvas.at(48, 2), base);  // beside the shadow, above the body
    EXPECT_EQ(canvas.at(2, 38), base);  // below the shadow, left of the body
    EXPECT_EQ(canvas.at(5, 5), kBlack); // the body's outline starts at (5, 5)
    EXPECT_EQ(canvas.at(49, 39), kBlack);
    EXPECT_EQ(canvas.at(4, 4), shadow);

    RECT inner = innerRect(look, RECT{0, 0, 50, 40});
    EXPECT_EQ(inner.left, 1 + 1 + 1 + 5);
    EXPECT_EQ(inner.top, 1 + 1 + 1 + 5);
    EXPECT_EQ(inner.right, 50 - 3);
    EXPECT_EQ(inner.bottom, 40 - 3);
}

TEST(FrameDrawing, ShadowDarknessWrapsAtByteAndUpperLeftShadowFallsBottomRight) {
    FrameLook look = plainLook();
    look.shadowWidth = 4;
    look.shadowDarkness = 0x1F0; // only the low byte counts: 0xF0
    look.outLine = 0;
    look.bevel = 0;
    Canvas canvas(20, 20);
    drawFrame(canvas.dc(), RECT{0, 0, 20, 20}, look, nullptr, false);
    EXPECT_EQ(canvas.at(18, 18), RGB(200 & 0xF0, 200 & 0xF0, 200 & 0xF0));
    EXPECT_EQ(canvas.at(18, 1), RGB(200, 200, 200));
    EXPECT_EQ(canvas.at(1, 1), RGB(100, 100, 100));
}

TEST(FrameDrawing, DrawsOnlyInsideTheTargetRectangle) {
    FrameLook look = plainLook();
    Canvas canvas(40, 40);
    drawFrame(canvas.dc(), RECT{10, 10, 30, 30}, look, nullptr, false);
    EXPECT_EQ(canvas.at(9, 9), RGB(255, 0, 255));
    EXPECT_EQ(canvas.at(30, 30), RGB(255, 0, 255));
    EXPECT_EQ(canvas.at(10, 10), kBlack);
    EXPECT_EQ(canvas.at(29, 29), kBlack);
}

TEST(FrameDrawing, CaptionStaysInTheInnerRectangleAndGreysWhenDisabled) {
    FrameLook look = plainLook();
    look.backColor = RGB(255, 255, 255);
    look.caption = "MMMMMMMM";
    look.alignHorizontal = 0;
    look.alignVertical = 0;
    look.marginLeft = 10;
    look.marginTop = 10;
    Canvas normal(120, 60), greyed(120, 60);
    drawFrame(normal.dc(), RECT{0, 0, 120, 60}, look, nullptr, false);
    drawFrame(greyed.dc(), RECT{0, 0, 120, 60}, look, nullptr, true);
    const RECT inner = innerRect(look, RECT{0, 0, 120, 60});
    int textPixels = 0, outside = 0, differences = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x) {
            POINT p = {x, y};
            bool isText = normal.at(x, y) == kBlack && x > 1 && y > 1 && x < 118 && y < 58;
            if (isText && PtInRect(&inner, p)) ++textPixels;
            if (isText && !PtInRect(&inner, p)) ++outside;
            if (normal.at(x, y) != greyed.at(x, y)) ++differences;
        }
    EXPECT_GT(textPixels, 20);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(differences, 0);
}

} // namespace
} // namespace frame
