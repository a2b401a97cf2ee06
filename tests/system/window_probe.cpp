// kc-window-probe: looks at a running program's top-level X11 window from
// outside, for the system test.
//
//   kc-window-probe check WINDOW-ID FACE-W FACE-H BITMAP
//       exit 0 when the window's client is FACE-W wide, at least FACE-H tall,
//       cannot be resized, and its bottom FACE-W x FACE-H pixels show the top
//       of BITMAP (a resource path such as :/res/500.png) with at most 1 %
//       of the pixels different; prints what it found either way.
//   kc-window-probe close WINDOW-ID
//       asks the window to close as a window manager's close box does
//       (WM_DELETE_WINDOW).
#include <QImage>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

int channel(unsigned long pixel, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    const unsigned long v = (pixel >> shift) & mask;
    return static_cast<int>(v * 255 / mask);
}

int check(Display* dpy, Window win, int faceW, int faceH, const char* bitmapPath) {
    XWindowAttributes attr{};
    if (!XGetWindowAttributes(dpy, win, &attr)) {
        std::printf("no such window\n");
        return 1;
    }
    std::printf("client %dx%d, depth %d\n", attr.width, attr.height, attr.depth);
    bool ok = attr.width == faceW && attr.height >= faceH;

    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(dpy, win, &hints, &supplied)) {
        const bool fixed = (hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
                           hints.min_width == hints.max_width &&
                           hints.min_height == hints.max_height;
        std::printf("size hints: min %dx%d max %dx%d -> %s\n", hints.min_width, hints.min_height,
                    hints.max_width, hints.max_height, fixed ? "fixed" : "resizable");
        ok = ok && fixed && hints.min_width == attr.width && hints.min_height == attr.height;
    } else {
        std::printf("no size hints\n");
        ok = false;
    }
    if (attr.map_state != IsViewable || attr.width < faceW || attr.height < faceH) {
        std::printf("not viewable or too small\n");
        return 1;
    }

    XImage* img = XGetImage(dpy, win, 0, attr.height - faceH, static_cast<unsigned>(faceW),
                            static_cast<unsigned>(faceH), AllPlanes, ZPixmap);
    if (!img) {
        std::printf("cannot read the window's pixels\n");
        return 1;
    }
    const QImage bitmap =
        QImage(QString::fromUtf8(bitmapPath)).convertToFormat(QImage::Format_RGB32);
    if (bitmap.width() < faceW || bitmap.height() < faceH) {
        std::printf("bitmap %s missing or too small\n", bitmapPath);
        XDestroyImage(img);
        return 1;
    }
    std::set<unsigned long> colours;
    long different = 0;
    for (int y = 0; y < faceH; ++y) {
        for (int x = 0; x < faceW; ++x) {
            const unsigned long p = XGetPixel(img, x, y);
            if (colours.size() < 100000)
                colours.insert(p);
            const QRgb want = bitmap.pixel(x, y);
            const int dr = std::abs(channel(p, img->red_mask) - qRed(want));
            const int dg = std::abs(channel(p, img->green_mask) - qGreen(want));
            const int db = std::abs(channel(p, img->blue_mask) - qBlue(want));
            if (dr > 8 || dg > 8 || db > 8)
                ++different;
        }
    }
    XDestroyImage(img);
    const double pct = 100.0 * static_cast<double>(different) / (faceW * faceH);
    std::printf("face: %zu distinct colours, %.2f %% of pixels differ from %s\n", colours.size(),
                pct, bitmapPath);
    ok = ok && colours.size() > 16 && pct <= 1.0;
    return ok ? 0 : 1;
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s check|close WINDOW-ID ...\n", argv[0]);
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 2;
    }
    const Window win = static_cast<Window>(std::strtoul(argv[2], nullptr, 0));
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
