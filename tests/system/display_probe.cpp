// kc-display-probe: helpers of the meter display's system test. Each takes a
// screenshot of the window's client into OUT.png first.
//
//   kc-display-probe bars WINDOW-ID OUT.png
//       exits 0 when the left bar is lit in the clip colour and the right bar
//       is dark; prints what it found either way.
//   kc-display-probe shot WINDOW-ID OUT.png [scale]
//       saves the whole client, or only its level scale column.
//   kc-display-probe trace WINDOW-ID OUT.png
//       for the X/Y scope: exits 0 when it shows the trace of a left-only
//       signal: coloured (not grey) pixels on the diagonal from the upper
//       left through the centre, and nowhere else.
//   kc-display-probe sharp WINDOW-ID OUT.png WIDTH HEIGHT
//       the window at twice the density: exits 0 when the client is
//       2 WIDTH x 2 HEIGHT pixels and the scale column's labels are drawn at
//       full resolution: many 2 x 2 blocks on even coordinates have pixels
//       that differ, where text drawn at the logical size and stretched would
//       have none.
#include "display/meter_layout.h"
#include "meter/meter_engine.h"
#include "tests/system/x11_probe_util.h"

#include <cmath>
#include <cstring>

namespace {

// The client pixels of the window named by `windowId`; null, having said
// why, when there is no such window.
QImage grabWindow(const char* windowId) {
    Window win = 0;
    Display* dpy = probe::open(windowId, win);
    if (!dpy)
        return {};
    const QImage img = probe::grab(dpy, win);
    XCloseDisplay(dpy);
    if (img.isNull())
        std::printf("no such window\n");
    return img;
}

// Pixels of the left bar's clip zone in the clip colour. The default scale
// runs from -60 to +6 dB; a full-scale sine peaks at 0 dBFS, so the clip
// zone (-3 dB up to 0 dB, rows top + 1 .. clip - 1) is lit.
int clipZonePixels(const QImage& img, const MeterLayout& L, int& top, int& clip, int& area) {
    const float k = static_cast<float>(L.H) / 66.0f;
    top = L.bottom - static_cast<int>(60.0f * k);
    clip = L.bottom - static_cast<int>(57.0f * k);
    const QRgb clipColor = qRgb(249, 51, 51);
    int pixels = 0;
    area = 0;
    for (int y = top + 1; y < clip; ++y)
        for (int x = L.x0; x < L.x0 + L.bw; ++x) {
            ++area;
            pixels += (img.pixel(x, y) & 0xffffff) == (clipColor & 0xffffff);
        }
    return pixels;
}

int checkBars(const QImage& img) {
    const MeterLayout L =
        meterComputeLayout(img.width(), img.height(), 2, kMeterShowBarsAndCorrelator);
    std::printf("client %dx%d, layout %s, bw %d, H %d\n", img.width(), img.height(),
                L.wide()   ? "wide"
                : L.fits() ? "narrow"
                           : "none",
                L.bw, L.H);
    if (!L.fits())
        return 1;
    int top = 0, clip = 0, clipArea = 0;
    const int clipPixels = clipZonePixels(img, L, top, clip, clipArea);
    int rightLit = 0;
    for (int y = kMeterBarTop; y < L.bottom; ++y)
        for (int x = L.x1; x < L.x1 + L.bw; ++x)
            rightLit += (img.pixel(x, y) & 0xffffff) != 0;
    std::printf("left bar clip zone rows %d..%d: %d of %d pixels in the clip colour\n", top + 1,
                clip - 1, clipPixels, clipArea);
    std::printf("right bar: %d lit pixels\n", rightLit);
    // The bar pattern lights half the rows; the peak may have fallen a little
    // from full scale between frames.
    return clipArea > 0 && clipPixels * 4 >= clipArea && rightLit == 0 ? 0 : 1;
}

int checkSharp(const QImage& img, int width, int height) {
    const MeterLayout L = meterComputeLayout(width, height, 2, kMeterShowBarsAndCorrelator);
    std::printf("client %dx%d for a %dx%d window, layout %s\n", img.width(), img.height(), width,
                height, L.fits() ? "fits" : "none");
    if (img.width() != 2 * width || img.height() != 2 * height || !L.fits())
        return 1;
    int mixed = 0, blocks = 0;
    for (int y = 0; y + 1 < img.height(); y += 2)
        for (int x = 2 * L.scaleX; x < 2 * (L.scaleX + 30); x += 2) {
            const QRgb p = img.pixel(x, y);
            ++blocks;
            mixed += img.pixel(x + 1, y) != p || img.pixel(x, y + 1) != p ||
                     img.pixel(x + 1, y + 1) != p;
        }
    std::printf("scale column: %d of %d 2x2 blocks mixed\n", mixed, blocks);
    return mixed >= 40 ? 0 : 1;
}

int checkTrace(const QImage& img) {
    const int cx = img.width() / 2, cy = img.height() / 2;
    int colored = 0, onDiagonal = 0, upperLeft = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qRed(p) == qGreen(p) && qGreen(p) == qBlue(p))
                continue; // the graticule and the texts are grey
            const int dx = x - cx, dy = cy - y;
            ++colored;
            onDiagonal += std::abs(dx + dy) <= 4;
            upperLeft += dx < -20 && dy > 20;
        }
    std::printf("scope %dx%d: %d trace pixels, %d on the L diagonal, %d upper left\n", img.width(),
                img.height(), colored, onDiagonal, upperLeft);
    return colored >= 50 && onDiagonal == colored && upperLeft >= 20 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const char* what = argc >= 4 ? argv[1] : "";
    const bool scaleOnly = argc == 5 && std::strcmp(argv[4], "scale") == 0;
    const bool known =
        (argc == 4 && (std::strcmp(what, "bars") == 0 || std::strcmp(what, "trace") == 0)) ||
        ((argc == 4 || scaleOnly) && std::strcmp(what, "shot") == 0) ||
        (argc == 6 && std::strcmp(what, "sharp") == 0);
    if (!known) {
        std::fprintf(stderr,
                     "usage: %s bars|shot|trace WINDOW-ID OUT.png"
                     " | shot WINDOW-ID OUT.png scale | sharp WINDOW-ID OUT.png WIDTH HEIGHT\n",
                     argv[0]);
        return 2;
    }
    QImage img = grabWindow(argv[2]);
    if (img.isNull())
        return 1;
    if (scaleOnly) {
        const MeterLayout L =
            meterComputeLayout(img.width(), img.height(), 2, kMeterShowBarsAndCorrelator);
        if (!L.fits())
            return 1;
        img = img.copy(L.scaleX, 0, 30, img.height());
    }
    if (!img.save(QString::fromLocal8Bit(argv[3])))
        return 1;
    if (std::strcmp(what, "bars") == 0)
        return checkBars(img);
    if (std::strcmp(what, "trace") == 0)
        return checkTrace(img);
    if (std::strcmp(what, "sharp") == 0)
        return checkSharp(img, std::atoi(argv[4]), std::atoi(argv[5]));
    return 0;
}
