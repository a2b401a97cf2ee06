// X11 helpers of the system-test probes: they look at the program's windows
// from outside, as a user's screen shows them.
#pragma once

#include <QImage>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>

namespace probe {

// One colour channel of an X pixel scaled to 0..255, whatever the visual's masks.
inline int channel(unsigned long pixel, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = 0;
    for (; !(mask & 1); mask >>= 1)
        ++shift;
    return static_cast<int>(((pixel >> shift) & mask) * 255 / mask);
}

// The window's client pixels; null when it is gone or not viewable (reading an
// unmapped window would be an X error, which ends the probe).
inline QImage grab(Display* dpy, Window win) {
    XWindowAttributes attr{};
    if (!XGetWindowAttributes(dpy, win, &attr) || attr.map_state != IsViewable)
        return {};
    XImage* xi = XGetImage(dpy, win, 0, 0, static_cast<unsigned>(attr.width),
                           static_cast<unsigned>(attr.height), AllPlanes, ZPixmap);
    if (!xi)
        return {};
    QImage img(attr.width, attr.height, QImage::Format_RGB32);
    for (int y = 0; y < attr.height; ++y)
        for (int x = 0; x < attr.width; ++x) {
            const unsigned long p = XGetPixel(xi, x, y);
            img.setPixel(x, y,
                         qRgb(channel(p, xi->red_mask), channel(p, xi->green_mask),
                              channel(p, xi->blue_mask)));
        }
    XDestroyImage(xi);
    return img;
}

// Opens the display and reads the window id argument; prints why when it cannot.
inline Display* open(const char* windowId, Window& win) {
    win = static_cast<Window>(std::strtoul(windowId, nullptr, 0));
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        std::printf("cannot open the X display\n");
    return dpy;
}

} // namespace probe
