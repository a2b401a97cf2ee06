// kc-window-probe: looks at a running program's top-level X11 window from
// outside, for the system test.
//
//   kc-window-probe check WINDOW-ID FACE-W FACE-H BITMAP
//       exit 0 when the window's client is FACE-W wide, at least FACE-H tall,
//       cannot be resized, and its bottom FACE-W x FACE-H pixels show the top
//       of BITMAP (a resource path such as :/res/500.png) with at most 9 %
//       of the pixels different (the control panel's knobs and buttons make
//       about 7 %; the face one pixel off would make over 10 %); prints what
//       it found either way.
//   kc-window-probe close WINDOW-ID
//       asks the window to close as a window manager's close box does
//       (WM_DELETE_WINDOW).
#include "tests/system/x11_probe_util.h"

#include <cstring>
#include <set>

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

} // namespace

int main(int argc, char** argv) {
    Window win = 0;
    Display* dpy = argc >= 3 ? probe::open(argv[2], win) : nullptr;
    if (!dpy) {
        std::fprintf(stderr, "usage: %s check|close WINDOW-ID ...\n", argv[0]);
        return 2;
    }
    int rc = 2;
    if (std::strcmp(argv[1], "check") == 0 && argc == 6)
        rc = check(dpy, win, std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    else if (std::strcmp(argv[1], "close") == 0)
        rc = requestClose(dpy, win);
    else
        std::fprintf(stderr, "bad arguments\n");
    XCloseDisplay(dpy);
    return rc;
}
