// Drawing helpers of the control library. They paint on a Dc with the shared
// resources of ctl_core.h and leave their own pen, brush, font and text colour
// selected in it. The background mode stays as the caller set it.
//
// Style words: bits 0-3 pick a colour or pen, bits 4-7 a brush, bits 8-11 a
// font, bit 31 asks for the engraved look (shadow or sunken frame).
//
// Thread: main thread, except that the pure drawing helpers (not the round
// masks) only read shared resources and may run on the render thread.
#pragma once

#include <QImage>
#include <QPointF>
#include <QString>
#include <cstdint>

class Dc;
class QWidget;

constexpr uint32_t kCtlEngraved = 0x80000000;

// A style word of palette colour (or pen), brush and font indexes; or it
// with kCtlEngraved for the engraved look.
constexpr uint32_t ctlStyle(int color, int brush, int font) {
    return (static_cast<uint32_t>(font) & 0xF) << 8 | (static_cast<uint32_t>(brush) & 0xF) << 4 |
           (static_cast<uint32_t>(color) & 0xF);
}
constexpr int ctlStyleColor(uint32_t style) {
    return static_cast<int>(style & 0xF);
}
constexpr int ctlStyleBrush(uint32_t style) {
    return static_cast<int>((style >> 4) & 0xF);
}
constexpr int ctlStyleFont(uint32_t style) {
    return static_cast<int>((style >> 8) & 0xF);
}

// Copies the bitmap's top-left w x h to (x, y).
void ctlBlit(Dc& dc, const QImage& bitmap, int x, int y, int w, int h);
// Copies w x h from (sx, sy) of the bitmap to (x, y).
void ctlBlitFrom(Dc& dc, const QImage& bitmap, int x, int y, int sx, int sy, int w, int h);
// Copies the whole bitmap at its own size to (x, y).
void ctlBlitWhole(Dc& dc, int x, int y, const QImage& bitmap);
// Tiles the bitmap over `window`'s client area starting at (x, y); the last
// row and column may reach past the area. On a surface of a device pixel
// ratio above 1 the tiles come from the bitmap's 2x drawing (main thread only
// then).
void ctlTileBitmap(const QWidget* window, Dc& dc, int x, int y, const QImage& bitmap);

// Draws `image` through a round `mask` (from ctlRoundMask) so that the
// background stays visible outside the circle. The image must be black
// outside its circle. Without a mask, or for areas larger than the 128 x 128
// scratch image, the image is copied plainly.
void ctlBlitRound(Dc& dc, const QImage& image, const QImage* mask, int x, int y, int w, int h);

// The cached round mask of this diameter (white square, black disc), created
// on first use; nullptr once 31 different diameters are cached or for a
// diameter below 1. The pointer stays valid until ctlShutdown.
const QImage* ctlRoundMask(int diameter);
// Number of cached masks and whether the scratch image exists (diagnosis, tests).
int ctlRoundMaskCount();
bool ctlHasScratch();

// Text in font bits 8-11 and colour bits 0-3; with bit 31 a white shadow at
// (x + 1, y + 1) first.
void ctlText(Dc& dc, uint32_t style, int x, int y, const QString& text);
// Line in pen bits 0-3 (end point excluded); with bit 31 a white shadow line
// shifted by (+1, +1) first.
void ctlLine(Dc& dc, uint32_t style, int x0, int y0, int x1, int y1);
// Without bit 31: rectangle (l, t, r, b) outlined in pen bits 0-3 and filled
// with brush bits 4-7. With bit 31: a sunken panel covering l..r and t..b
// inclusive, filled with brush bits 4-7, top and left edges in pen 9, right
// and bottom edges in pen 15.
void ctlBox(Dc& dc, uint32_t style, int l, int t, int r, int b);
// ctlBox without the fill.
void ctlFrame(Dc& dc, uint32_t style, int l, int t, int r, int b);
// The marks below, like the knob's pointer, are pixel-exact on a surface of
// one device pixel per pixel. On a surface of a higher device pixel ratio (a
// high-density screen) they are the same shapes drawn smoothly at the device's
// resolution: a one-pixel outline runs through the centres of its corner
// pixels, so the shape is the polygon through those centres, filled and
// stroked one (logical) pixel wide.
//
// The disabled mark: a white cross with a black outline over (l, t, r, b).
void ctlDrawCross(Dc& dc, int l, int t, int r, int b);
// Focus mark of rectangular controls: a small bright red triangle.
void ctlDrawCorner(Dc& dc, int x, int y);
// Focus mark of round controls: a small bright red dot.
void ctlDrawDot(Dc& dc, int x, int y);

// True when `dc` paints a surface of more than one device pixel per pixel.
bool ctlHiResDc(Dc& dc);
// Dc::polygon on such a surface, from exact coordinates (whole numbers are
// pixel centres): filled with the selected brush, outlined with the selected
// pen, antialiased at the device's resolution.
void ctlSmoothPolygon(Dc& dc, const QPointF* points, int count);

// Library lifetime (called by ctlInitialize / ctlShutdown only).
void ctlReleaseRoundMasks();
