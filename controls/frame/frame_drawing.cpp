#include "frame_drawing.h"

#include <cstdlib>

namespace frame {

namespace {

const DWORD kPatternAndDestination = 0xA000C9;
const int kLeftEdge = 8, kTopEdge = 4, kRightEdge = 2, kBottomEdge = 1;

COLORREF translate(OLE_COLOR color) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(color, nullptr, &rgb))) rgb = 0;
    return rgb;
}

int adjustComponent(int k, int percent) {
    int adjusted = k + k * percent / 100;
    if (percent < 0 && adjusted <= 0) return 0;
    if (percent > 0 && adjusted > 254) return 255;
    return adjusted;
}

void drawLine(HDC dc, COLORREF color, int x0, int y0, int x1, int y1) {
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// One ring on the edge of `r`: left edge bottom to top, then top, right and bottom edges. Each
// edge's colour is chosen by whether the light mask lights it.
void drawRing(HDC dc, const RECT& r, int mask, COLORREF lit, COLORREF unlit) {
    const int right = r.right - 1, bottom = r.bottom - 1;
    drawLine(dc, (mask & kLeftEdge) ? lit : unlit, r.left, bottom, r.left, r.top);
    drawLine(dc, (mask & kTopEdge) ? lit : unlit, r.left, r.top, right, r.top);
    drawLine(dc, (mask & kRightEdge) ? lit : unlit, right, r.top, right, bottom);
    drawLine(dc, (mask & kBottomEdge) ? lit : unlit, right, bottom, r.left, bottom);
}

void fill(HDC dc, const RECT& r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// The shadow darkens what lies under it: a checkerboard brush whose both colours are the shadow
// grey, combined with the destination by AND.
void drawShadow(HDC dc, int width, int height, const FrameLook& look) {
    const int sw = look.shadowWidth;
    static const WORD kCheckerboard[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, kCheckerboard);
    HBRUSH brush = CreatePatternBrush(pattern);
    const int grey = look.shadowDarkness % 256;
    const COLORREF shade = RGB(grey, grey, grey);
    SetTextColor(dc, shade);
    SetBkColor(dc, shade);
    HGDIOBJ old = SelectObject(dc, brush);
    const int dx = (look.lightSource == 0 || look.lightSource == 3) ? sw : 0;
    const int dy = (look.lightSource == 0 || look.lightSource == 1) ? sw : 0;
    PatBlt(dc, dx, dy, width - sw, height - sw, kPatternAndDestination);
    SelectObject(dc, old);
    DeleteObject(brush);
    DeleteObject(pattern);
}

// The panel itself, drawn in its own bitmap and copied onto the main one beside its shadow.
bool drawBody(HDC target, HDC main, int width, int height, const FrameLook& look) {
    const int sw = look.shadowWidth;
    const int bodyWidth = width - sw, bodyHeight = height - sw;
    if (bodyWidth <= 0 || bodyHeight <= 0) return true;
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = dc ? CreateCompatibleBitmap(target, bodyWidth, bodyHeight) : nullptr;
    if (!bitmap) {
        if (dc) DeleteDC(dc);
        return false;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const COLORREF back = translate(look.backColor);
    RECT r = {0, 0, bodyWidth, bodyHeight};
    fill(dc, r, back);

    const int mask = lightMask(look.lightSource);
    if (look.outLine != 0) {
        const COLORREF lit = look.outLine == 2 ? RGB(0x80, 0x80, 0x80) : RGB(0, 0, 0);
        drawRing(dc, r, mask, lit, RGB(0, 0, 0));
        InflateRect(&r, -1, -1);
    }
    const bool raised = look.bevel > 0;
    const COLORREF light = adjustColor(back, raised ? look.bevelLight : look.bevelShade);
    const COLORREF shade = adjustColor(back, raised ? look.bevelShade : look.bevelLight);
    for (int ring = 0; ring < std::abs(look.bevel) && r.left < r.right && r.top < r.bottom; ++ring) {
        drawRing(dc, r, mask, light, shade);
        InflateRect(&r, -1, -1);
    }

    const int bx = (look.lightSource == 0 || look.lightSource == 3) ? 0 : sw;
    const int by = (look.lightSource == 0 || look.lightSource == 1) ? 0 : sw;
    BitBlt(main, bx, by, bodyWidth, bodyHeight, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return true;
}

UINT captionFormat(const FrameLook& look) {
    static const UINT horizontal[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    static const UINT vertical[] = {DT_TOP, DT_BOTTOM, DT_VCENTER};
    return DT_SINGLELINE | horizontal[look.alignHorizontal % 3] | vertical[look.alignVertical % 3];
}

// The grey-string service draws through a callback that only receives one pointer-sized value;
// the rectangle and format travel beside it. The callers are all on the control's thread.
struct GreyCaption {
    const std::string* text;
    RECT rect;
    UINT format;
};

BOOL CALLBACK drawGreyCaption(HDC dc, LPARAM data, int) {
    auto* caption = reinterpret_cast<GreyCaption*>(data);
    RECT r = caption->rect;
    DrawTextA(dc, caption->text->c_str(), static_cast<int>(caption->text->size()), &r, caption->format);
    return TRUE;
}

void drawCaption(HDC dc, int width, int height, const FrameLook& look, HFONT font, bool grey) {
    if (look.caption.empty()) return;
    RECT inner = innerRect(look, RECT{0, 0, width, height});
    if (inner.right <= inner.left || inner.bottom <= inner.top) return;
    HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
    const UINT format = captionFormat(look);
    if (!grey) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, translate(look.foreColor));
        DrawTextA(dc, look.caption.c_str(), static_cast<int>(look.caption.size()), &inner, format);
    } else {
        const int w = inner.right - inner.left, h = inner.bottom - inner.top;
        GreyCaption caption = {&look.caption, RECT{0, 0, w, h}, format};
        GrayStringA(dc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), drawGreyCaption,
                    reinterpret_cast<LPARAM>(&caption), static_cast<int>(look.caption.size()), inner.left,
                    inner.top, w, h);
    }
    SelectObject(dc, oldFont);
}

} // namespace

int lightMask(short lightSource) {
    static const int masks[] = {kLeftEdge | kTopEdge, kTopEdge | kRightEdge, kRightEdge | kBottomEdge,
                                kLeftEdge | kBottomEdge};
    return masks[lightSource & 3];
}

COLORREF adjustColor(COLORREF color, int percent) {
    return RGB(adjustComponent(GetRValue(color), percent), adjustComponent(GetGValue(color), percent),
               adjustComponent(GetBValue(color), percent));
}

RECT innerRect(const FrameLook& look, const RECT& bounds) {
    RECT r = bounds;
    if (look.outLine != 0) InflateRect(&r, -1, -1);
    const int bevel = std::abs(look.bevel);
    InflateRect(&r, -bevel, -bevel);
    r.left += look.marginLeft;
    r.top += look.marginTop;
    r.right -= look.marginRight;
    r.bottom -= look.marginBottom;
    if (look.lightSource == 0 || look.lightSource == 3)
        r.right -= look.shadowWidth;
    else
        r.left += look.shadowWidth;
    if (look.lightSource == 0 || look.lightSource == 1)
        r.bottom -= look.shadowWidth;
    else
        r.top += look.shadowWidth;
    return r;
}

void drawFrame(HDC target, const RECT& bounds, const FrameLook& look, HFONT font, bool greyCaption) {
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0) return;
    HDC main = CreateCompatibleDC(target);
    HBITMAP bitmap = main ? CreateCompatibleBitmap(target, width, height) : nullptr;
    if (!bitmap) {
        if (main) DeleteDC(main);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(main, bitmap);
    fill(main, RECT{0, 0, width, height}, translate(look.shadowBaseColor));
    if (look.shadowWidth > 0) drawShadow(main, width, height, look);
    if (drawBody(target, main, width, height, look)) {
        drawCaption(main, width, height, look, font, greyCaption);
        const int saved = SaveDC(target);
        SetMapMode(target, MM_TEXT);
        SetWindowOrgEx(target, 0, 0, nullptr);
        SetViewportOrgEx(target, 0, 0, nullptr);
        BitBlt(target, bounds.left, bounds.top, width, height, main, 0, 0, SRCCOPY);
        RestoreDC(target, saved);
    }
    SelectObject(main, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(main);
}

} // namespace frame
