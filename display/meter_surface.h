// The meter window's surface: the picture both painters draw into.
//
// Who owns what:
//   - The main thread creates the surface with the window, resizes it on a
//     window resize and paints the static parts into it (through a Dc); its
//     paint event copies the picture to the screen.
//   - The render thread draws the moving parts of every frame straight into
//     the pixels, with the plain raster operations below (no QPainter, no
//     font, no allocation), then rings `wake` so that the window asks for a
//     repaint.
//   - `lock` guards the image for exactly those drawings and copies; nobody
//     waits for anything else while holding it, so the render thread never
//     waits on the main thread beyond one such drawing.
//   - The surface is shared through std::shared_ptr: a frame that found it
//     keeps it alive, so a window that closes meanwhile leaves the frame
//     drawing into a picture nobody shows instead of into freed memory.
#pragma once

#include <QImage>
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

    // Main thread, without `lock` held: a black picture of this size.
    void resize(int width, int height);
    // A deep copy of the picture (tests, screenshots). Takes `lock`.
    QImage snapshot();

    std::mutex lock;
    // Guarded by `lock`. Never copied shallowly: the render thread writes
    // through `pixels`, so the picture must stay unshared.
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

private:
    uint32_t* row(int y) { return m_pixels + static_cast<ptrdiff_t>(y) * m_stride; }

    uint32_t* m_pixels = nullptr; // image bits, taken on the main thread
    int m_stride = 0;             // pixels per line
    int m_width = 0;
    int m_height = 0;
    int m_wakeFd = -1;
};
