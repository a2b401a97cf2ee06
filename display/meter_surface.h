// The meter window's surface: the picture both painters draw into.
//
// Who owns what:
//   - The render thread draws the moving parts of every frame into the back
//     picture (`image`), with the plain raster operations below (no QPainter,
//     no font, no allocation), records the area it changed, and rings `wake`
//     so that the window asks for a repaint.
//   - The main thread paints the static parts of a whole new face off the
//     lock and puts it in as the back picture (adopt), and shows the front
//     picture in its paint event (present).
//   - Double buffering keeps the main thread's hold of `lock` to a swap of two
//     pictures: present() swaps front and back when the back has changed and
//     draws the front to the screen after letting go of the lock; the render
//     thread brings the old front, now its back, up to date with the area it
//     missed (catchUp) before its next drawing. So the render thread never
//     waits on the main thread's drawing, only on a few pointer moves.
//   - The last frame drawn is kept (under `lock`) so that a new face gets its
//     moving parts at once, not at the next frame, which never comes while
//     the stream is stopped.
//   - The surface is shared through std::shared_ptr: a frame that found it
//     keeps it alive, so a window that closes meanwhile leaves the frame
//     drawing into a picture nobody shows instead of into freed memory.
#pragma once

#include "meter/meter_frame.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <mutex>

// One 8 x 8 fill, solid or a pattern repeating from the surface origin.
struct RasterFill {
    uint32_t px[64]; // 0xffRRGGBB, row-major
    bool solid = true;
    static RasterFill solidColor(uint32_t rgb);
};

class MeterSurface {
public:
    MeterSurface();
    ~MeterSurface();
    MeterSurface(const MeterSurface&) = delete;
    MeterSurface& operator=(const MeterSurface&) = delete;

    // Main thread, without `lock` held: black pictures of this size.
    void resize(int width, int height);
    // Main thread, `lock` held: `face` (a whole new picture, painted off the
    // lock) becomes the back picture, and `spare`, of the same size, the
    // front one when the size changes; both come back with the old pictures.
    void adopt(QImage& face, QImage& spare);
    // A deep copy of the current picture (tests, screenshots). Takes `lock`.
    QImage snapshot();
    // Main thread: draws `rect` of the picture with `painter` (the window's
    // paint event). Holds `lock` only to swap the pictures.
    void present(QPainter& painter, const QRect& rect);

    std::mutex lock;
    // The back picture, guarded by `lock`. Never copied shallowly: the render
    // thread writes through `pixels`, so the picture must stay unshared.
    QImage image;

    // Raster operations for the render thread; `lock` held. GDI rules: the
    // rectangle covers [l, r) x [t, b), lines exclude their end point.
    int width() const { return m_width; }
    int height() const { return m_height; }
    void fill(int l, int t, int r, int b, const RasterFill& f);
    void fillSolid(int l, int t, int r, int b, uint32_t rgb);
    // Outline one pixel inside the area in `pen`, the inside with `f`.
    void rectangle(int l, int t, int r, int b, uint32_t pen, const RasterFill& f);
    void hline(int x0, int x1, int y, uint32_t rgb); // x0 to x1, either direction
    void vline(int x, int y0, int y1, uint32_t rgb);
    // Blends `color` by an 8-bit coverage mask of w x h at (x, y).
    void blendMask(int x, int y, const uint8_t* mask, int w, int h, int stride, uint32_t color);

    // The render thread tells the window that new pixels wait to be shown
    // (non-blocking; an eventfd read by the window's socket notifier).
    void ringWake();
    int wakeFd() const { return m_wakeFd; }
    // Main thread: consumes pending rings.
    void drainWake();

    // Set by the window when it goes away; a late frame then skips the ring.
    std::atomic<bool> closed{false};
    // Channel count of the last frame drawn (render thread), so that the
    // static painter lays the face out for the same channels. The program
    // meters stereo, which is also the value before the first frame.
    std::atomic<int> channels{2};
    // Set by the render thread when the moving parts alone cannot bring the
    // face back (the frame-loss warning went away over static parts); the
    // window then paints a new face.
    std::atomic<bool> faceStale{false};

    // The last frame drawn and whether it showed the frame-loss warning;
    // guarded by `lock`, written by the renderer.
    MeterFrame lastFrame{};
    bool hasLastFrame = false;
    bool warningShown = false;

private:
    // A rectangle [l, r) x [t, b); empty when l >= r.
    struct Area {
        int l = 0, t = 0, r = 0, b = 0;
        bool empty() const { return l >= r || t >= b; }
        void add(int al, int at, int ar, int ab);
    };

    uint32_t* row(int y) { return m_pixels + static_cast<ptrdiff_t>(y) * m_stride; }
    void bind(); // `lock` held: the raw pointers follow the two pictures
    // `lock` held: copies into the back picture what the front one has and it
    // lacks since the last swap; every drawing does so first. No allocation.
    void catchUp();

    QImage m_front;                    // shown by present(); swapped under `lock`
    uint32_t* m_pixels = nullptr;      // bits of `image`
    uint32_t* m_frontPixels = nullptr; // bits of the front picture (read only)
    int m_stride = 0;                  // pixels per line, both pictures
    int m_width = 0;
    int m_height = 0;
    Area m_dirty;   // changed in `image` since the last swap (`lock`)
    Area m_missing; // in the front picture but not yet in `image` (`lock`)
    int m_wakeFd = -1;
};
