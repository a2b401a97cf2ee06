// kc-display-probe: looks at a running program's X11 windows from outside,
// as a user's screen shows them, for the system tests. The screenshot
// commands save the window's client into OUT.png first.
//
//   kc-display-probe check WINDOW-ID FACE-W FACE-H BITMAP
//       exit 0 when the window's client is FACE-W wide, at least FACE-H tall,
//       cannot be resized, and its bottom FACE-W x FACE-H pixels show the top
//       of BITMAP (a resource path such as :/res/500.png) with at most 9 %
//       of the pixels different (the control panel's knobs and buttons make
//       about 7 %; the face one pixel off would make over 10 %); prints what
//       it found either way.
//   kc-display-probe close WINDOW-ID
//       asks the window to close as a window manager's close box does
//       (WM_DELETE_WINDOW).
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
#include <set>
#include <string>

namespace {

int check(Display* dpy, Window win, int faceW, int faceH, const char* bitmapPath) {
    const QImage shown = probe::grab(dpy, win);
    std::printf("client %dx%d\n", shown.width(), shown.height());
    if (shown.width() < faceW || shown.height() < faceH) {
        std::printf("no such window, not viewable or too small\n");
        return 1;
    }
    XSizeHints hints{};
    long supplied = 0;
    const bool fixed = XGetWMNormalHints(dpy, win, &hints, &supplied) && (hints.flags & PMinSize) &&
                       (hints.flags & PMaxSize) && hints.min_width == shown.width() &&
                       hints.max_width == shown.width() && hints.min_height == shown.height() &&
                       hints.max_height == shown.height();
    std::printf("size hints: min %dx%d max %dx%d -> %s\n", hints.min_width, hints.min_height,
                hints.max_width, hints.max_height, fixed ? "fixed" : "resizable or missing");

    const QImage bitmap = QImage(QString::fromUtf8(bitmapPath));
    if (bitmap.width() < faceW || bitmap.height() < faceH) {
        std::printf("bitmap %s missing or too small\n", bitmapPath);
        return 1;
    }
    std::set<QRgb> colours;
    long different = 0, compared = 0;
    for (int y = 0; y < faceH; ++y)
        for (int x = 0; x < faceW; ++x) {
            ++compared;
            const QRgb got = shown.pixel(x, shown.height() - faceH + y), want = bitmap.pixel(x, y);
            colours.insert(got);
            different += std::abs(qRed(got) - qRed(want)) > 8 ||
                         std::abs(qGreen(got) - qGreen(want)) > 8 ||
                         std::abs(qBlue(got) - qBlue(want)) > 8;
        }
    const double pct = 100.0 * static_cast<double>(different) / static_cast<double>(compared);
    std::printf("face: %zu distinct colours, %.2f %% of pixels differ from %s\n", colours.size(),
                pct, bitmapPath);
    return shown.width() == faceW && fixed && colours.size() > 16 && pct <= 9.0 ? 0 : 1;
}

int requestClose(Display* dpy, Window win) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = win;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    const Status s = XSendEvent(dpy, win, False, NoEventMask, &ev);
    XFlush(dpy);
    return s ? 0 : 1;
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
                L.wide() ? "wide" : (L.fits() ? "narrow" : "none"), L.bw, L.H);
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
    const std::string what = argc >= 3 ? argv[1] : "";
    const bool scaleOnly = argc == 5 && what == "shot" && std::string(argv[4]) == "scale";
    const bool shot = (argc == 4 && (what == "bars" || what == "trace" || what == "shot")) ||
                      scaleOnly || (argc == 6 && what == "sharp");
    Window win = 0;
    const bool known = shot || (argc == 6 && what == "check") || what == "close";
    Display* dpy = known ? probe::open(argv[2], win) : nullptr;
    if (!dpy) {
        std::fprintf(stderr,
                     "usage: %s check WINDOW-ID FACE-W FACE-H BITMAP | close WINDOW-ID"
                     " | bars|shot|trace WINDOW-ID OUT.png | shot WINDOW-ID OUT.png scale"
                     " | sharp WINDOW-ID OUT.png WIDTH HEIGHT\n",
                     argv[0]);
        return 2;
    }
    if (!shot) {
        const int rc = what == "close"
                           ? requestClose(dpy, win)
                           : check(dpy, win, std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
        XCloseDisplay(dpy);
        return rc;
    }
    QImage img = probe::grab(dpy, win);
    XCloseDisplay(dpy);
    if (img.isNull()) {
        std::printf("no such window\n");
        return 1;
    }
    if (scaleOnly) {
        const MeterLayout L =
            meterComputeLayout(img.width(), img.height(), 2, kMeterShowBarsAndCorrelator);
        if (!L.fits())
            return 1;
        img = img.copy(L.scaleX, 0, 30, img.height());
    }
    if (!img.save(QString::fromLocal8Bit(argv[3])))
        return 1;
    if (what == "bars")
        return checkBars(img);
    if (what == "trace")
        return checkTrace(img);
    if (what == "sharp")
        return checkSharp(img, std::atoi(argv[4]), std::atoi(argv[5]));
    return 0;
}
