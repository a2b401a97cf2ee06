// The meter window's direct way to the screen on X11.
//
// Showing a frame through the window system's backing store costs the main
// thread a wake-up, a paint and a round trip to the X server for every frame
// (the backing store waits for the server to finish reading its shared image
// before it is painted again). A presenter lets the render thread send the
// rectangles a frame changed to the window itself instead, the way a frame
// was always drawn straight into the window: the surface's picture lives in
// a shared-memory segment the server reads, and one put request per
// rectangle goes out on the application's X connection, without waiting for
// a reply.
//
// The main thread still paints through Qt whatever is not a frame: a new
// face, a resize, a part of the window uncovered.
#pragma once

#include <cstdint>
#include <memory>

class X11Presenter {
public:
    // Main thread. A presenter for the native window `window` (a QWindow's
    // winId()) with a shared picture of width x height device pixels, or
    // null when the application is not on an X11 display, the server cannot
    // share memory with this process (a remote display) or the window's
    // pixels are not 32-bit 0xRRGGBB.
    static std::unique_ptr<X11Presenter> create(uintptr_t window, int width, int height);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    // The shared picture, width x height pixels without padding.
    uint32_t* pixels() const { return m_pixels; }
    // The native window it shows in.
    uintptr_t window() const { return m_window; }

    // One rectangle [l, r) x [t, b) in device pixels.
    struct Rect {
        int l, t, r, b;
    };
    // Sends the rectangles of the shared picture (pixels()) to the window.
    // Called by one thread at a time (the render thread under the surface
    // lock); never waits for the server.
    void send(const Rect* rects, int n);

private:
    struct Native;
    X11Presenter(std::unique_ptr<Native> native, uint32_t* pixels, uintptr_t window, int width,
                 int height);

    std::unique_ptr<Native> m_native;
    uint32_t* m_pixels = nullptr;
    uintptr_t m_window = 0;
    int m_width = 0;
    int m_height = 0;
};
