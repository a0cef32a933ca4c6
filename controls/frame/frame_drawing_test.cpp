// The frame's drawing, pixel by pixel, on a 32-bit bitmap.
#include "frame_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

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

// Every light source: where the shadow falls, where the body sits and which bevel edges are lit.
// The numbers are written out per case (40 x 30 pixels, shadow 4, outline and one bevel ring).
TEST(FrameDrawing, EachLightSourcePlacesShadowAndBodyAndLightsItsOwnEdges) {
    struct Case {
        short lightSource;
        POINT shadow;    // top-left of the 36 x 26 shadow rectangle
        POINT body;      // top-left of the 36 x 26 body
        const char* lit; // edges of the bevel drawn in the light colour: L, T, R, B
    };
    const Case cases[] = {
        {0, {4, 4}, {0, 0}, "LT"},
        {1, {0, 4}, {4, 0}, "TR"},
        {2, {0, 0}, {4, 4}, "RB"},
        {3, {4, 0}, {0, 4}, "LB"},
    };
    const int width = 40, height = 30, sw = 4, bodyWidth = 36, bodyHeight = 26;
    const COLORREF shadow = RGB(128, 128, 128), base = RGB(200, 200, 200);
    const COLORREF light = RGB(125, 125, 125), shade = RGB(75, 75, 75);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lightSource);
        FrameLook look = plainLook();
        look.lightSource = c.lightSource;
        look.shadowWidth = sw;
        Canvas canvas(width, height);
        drawFrame(canvas.dc(), RECT{0, 0, width, height}, look, nullptr, false);
        const RECT body = {c.body.x, c.body.y, c.body.x + bodyWidth, c.body.y + bodyHeight};
        const RECT shadowRect = {c.shadow.x, c.shadow.y, c.shadow.x + bodyWidth, c.shadow.y + bodyHeight};
        // Outside the body: shadow where the shadow rectangle lies, the base colour elsewhere.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                POINT p = {x, y};
                if (PtInRect(&body, p)) continue;
                ASSERT_EQ(canvas.at(x, y), PtInRect(&shadowRect, p) ? shadow : base) << x << "," << y;
            }
        // The outline runs round the body's own rectangle.
        EXPECT_EQ(canvas.at(body.left, body.top + 10), kBlack);
        EXPECT_EQ(canvas.at(body.right - 1, body.top + 10), kBlack);
        EXPECT_EQ(canvas.at(body.left + 10, body.top), kBlack);
        EXPECT_EQ(canvas.at(body.left + 10, body.bottom - 1), kBlack);
        const std::string lit = c.lit;
        auto expected = [&](char edge) { return lit.find(edge) != std::string::npos ? light : shade; };
        EXPECT_EQ(canvas.at(body.left + 1, body.top + 13), expected('L'));
        EXPECT_EQ(canvas.at(body.left + 18, body.top + 1), expected('T'));
        EXPECT_EQ(canvas.at(body.right - 2, body.top + 13), expected('R'));
        EXPECT_EQ(canvas.at(body.left + 18, body.bottom - 2), expected('B'));
        EXPECT_EQ(canvas.at(body.left + 18, body.top + 13), RGB(100, 100, 100));
    }
}

// Every caption alignment: the text's bounding box hugs the side (or centre) it is aligned to,
// inside an inner area of (5, 5) - (115, 75) (no outline, no bevel, margins of 5).
TEST(FrameDrawing, EachCaptionAlignmentPutsTheTextWhereItBelongs) {
    const RECT inner = {5, 5, 115, 75};
    for (short vertical = 0; vertical < 3; ++vertical)
        for (short horizontal = 0; horizontal < 3; ++horizontal) {
            SCOPED_TRACE(testing::Message() << "horizontal " << horizontal << " vertical " << vertical);
            FrameLook look = plainLook();
            look.backColor = RGB(255, 255, 255);
            look.outLine = 0;
            look.bevel = 0;
            look.marginLeft = look.marginTop = look.marginRight = look.marginBottom = 5;
            look.alignHorizontal = horizontal;
            look.alignVertical = vertical;
            look.caption = "MM";
            Canvas canvas(120, 80);
            drawFrame(canvas.dc(), RECT{0, 0, 120, 80}, look, nullptr, false);
            RECT box = {1000, 1000, -1, -1};
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 120; ++x)
                    if (canvas.at(x, y) == kBlack) {
                        box.left = std::min<LONG>(box.left, x);
                        box.top = std::min<LONG>(box.top, y);
                        box.right = std::max<LONG>(box.right, x + 1);
                        box.bottom = std::max<LONG>(box.bottom, y + 1);
                    }
            ASSERT_LT(box.left, box.right);
            EXPECT_GE(box.left, inner.left);
            EXPECT_LE(box.right, inner.right);
            EXPECT_GE(box.top, inner.top);
            EXPECT_LE(box.bottom, inner.bottom);
            const int slack = 4; // the glyphs' own side bearings and the font's leading
            const LONG middleX = (box.left + box.right) / 2, middleY = (box.top + box.bottom) / 2;
            if (horizontal == 0) {
                EXPECT_LE(box.left - inner.left, slack);
            }
            if (horizontal == 1) {
                EXPECT_LE(inner.right - box.right, slack);
            }
            if (horizontal == 2) {
                EXPECT_LE(std::abs(middleX - (inner.left + inner.right) / 2), 2);
            }
            if (vertical == 0) {
                EXPECT_LE(box.top - inner.top, slack);
            }
            if (vertical == 1) {
                EXPECT_LE(inner.bottom - box.bottom, slack);
            }
            if (vertical == 2) {
                EXPECT_LE(std::abs(middleY - (inner.top + inner.bottom) / 2), 2);
            }
            // And away from the other sides.
            if (horizontal != 0) {
                EXPECT_GT(box.left - inner.left, 20);
            }
            if (horizontal != 1) {
                EXPECT_GT(inner.right - box.right, 20);
            }
            if (vertical != 0) {
                EXPECT_GT(box.top - inner.top, 10);
            }
            if (vertical != 1) {
                EXPECT_GT(inner.bottom - box.bottom, 10);
            }
        }
}

} // namespace
} // namespace frame
