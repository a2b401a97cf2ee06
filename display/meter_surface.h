// The meter window's surface: the picture both painters draw into.
//
// Who owns what:
//   - The render thread draws the moving parts of every frame into the
//     picture (`image`), with the plain raster operations below (no QPainter,
//     no font, no allocation), records the rectangles it changed, and rings
//     `wake` so that the window asks for a repaint of just those.
//   - The main thread paints the static parts of a whole new face off the
//     lock and puts it in as the picture (adopt). It keeps its own copy of
//     the picture to show: takeChanged() hands it the changed rectangles for
//     update(rect), and present() copies only the changed rectangles from the
//     picture under `lock` and draws the shown copy after letting go of it.
//     So the render thread waits at most for a copy of what it changed
//     itself, never for the window's drawing.
//   - Coordinates are logical pixels (the layout's); the pictures hold
//     ratio() device pixels per logical pixel, so a high-density screen gets
//     sharp pixels instead of stretched ones.
//   - The last frame drawn is kept (under `lock`) so that a new face gets its
//     moving parts at once, not at the next frame, which never comes while
//     the stream is stopped.
//   - On X11 the window may give the surface a presenter: the render thread
//     then sends what a frame changed to the screen itself (sendChanged)
//     and rings `wake` only when it cannot, so the main thread no longer
//     wakes for every frame.
//   - The surface is shared through std::shared_ptr: a frame that found it
//     keeps it alive, so a window that closes meanwhile leaves the frame
//     drawing into a picture nobody shows instead of into freed memory.
#pragma once

#include "meter/meter_frame.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>

class GlyphAtlas;
class X11Presenter;

// One 8 x 8 fill, solid or a pattern repeating from the surface origin.
struct RasterFill {
    uint32_t px[64]; // 0xffRRGGBB, row-major
    bool solid = true;
    static RasterFill solidColor(uint32_t rgb);
};

// What the bars on the picture show, so that the next frame draws only the
// rows that change. Render thread, `lock` held; cleared by a new face or
// size, which makes the next frame draw the bars whole.
constexpr int kDrawnKeySize = 7;
struct MeterDrawnState {
    bool known = false;
    int key[kDrawnKeySize] = {}; // layout and zone limits the bars were drawn for
    RasterFill zones[3] = {};    // their fills: low, nominal, clip
    uint32_t black = 0;
    int bar[2] = {0, 0};         // lit height above the zero line (<= 0: none)
    int indicator[2] = {-1, -1}; // peak indicator position, -1 = none
};

// What the loudness column shows, likewise: the lit heights of its two
// bars and the figures printed last, so that a frame redraws only what moved.
struct LoudnessDrawnState {
    bool known = false;
    int key[5] = {}; // column geometry and target mark the bars were drawn for
    int bar[2] = {0, 0};
    char text[5][12] = {};
    uint32_t textRgb[5] = {};
};

class MeterSurface {
public:
    // Changed rectangles kept apart before they merge into one.
    static constexpr int kMaxChanges = 8;

    MeterSurface();
    ~MeterSurface();
    MeterSurface(const MeterSurface&) = delete;
    MeterSurface& operator=(const MeterSurface&) = delete;

    // Main thread, without `lock` held: a black picture of this logical size
    // at `ratio` device pixels per logical pixel.
    void resize(int width, int height, double ratio = 1.0);
    // Main thread, `lock` held: `face` (a whole new picture of the same
    // logical size and ratio, painted off the lock) becomes the picture; it
    // comes back with the old one, or null when that was the presenter's
    // shared memory. All of it counts as changed. With `presenter`, it
    // becomes the window's presenter at the same time (see setPresenter).
    void adopt(QImage& face, std::unique_ptr<X11Presenter>* presenter = nullptr);
    // A deep copy of the current picture (tests, screenshots). Takes `lock`.
    QImage snapshot();
    // Main thread: the rectangles changed since the last call, in logical
    // pixels, for the window's update(rect). Takes `lock` briefly. Returns
    // how many were written to `out` (at most kMaxChanges).
    int takeChanged(QRect* out);
    // Main thread: draws `region` (logical pixels) of the picture with
    // `painter` (the window's paint event). Holds `lock` only to copy the
    // changed rectangles into the shown copy.
    void present(QPainter& painter, const QRegion& region);
    // Main thread, `lock` held: `next` becomes the window's direct way to the
    // screen (null: none) and comes back with the old one, to be let go of
    // after the lock. While their sizes match, the picture lives in the
    // presenter's shared memory, so that a frame goes out without a copy.
    void setPresenter(std::unique_ptr<X11Presenter>& next);
    // Main thread: the presenter set last (only the main thread sets it).
    const X11Presenter* presenter() const { return m_presenter.get(); }
    // Main thread, without `lock` held: a new presenter for `face` (a face
    // for adopt) on `window` when `direct` and the current one does not fit
    // it; `direct` turns false when none can be made. Null otherwise.
    std::unique_ptr<X11Presenter> presenterFor(const QImage& face, uintptr_t window,
                                               bool& direct) const;
    // Main thread, without `lock` held: the window goes without a presenter
    // (the old one is let go of after the lock).
    void dropPresenter();
    // Main thread: true when the picture was made for another density than `ratio`, or
    // the presenter for another native window than `window` (the window was
    // moved to another screen or shown in a new native window).
    bool outdated(double ratio, uintptr_t window) const;
    // A face of this logical size at `ratio` device pixels per logical pixel
    // (the device size rounded up), not yet painted.
    static QImage newFace(int width, int height, double ratio);
    // Render thread, `lock` held: sends the rectangles changed since the last
    // call straight to the screen through the presenter. False, leaving them
    // for takeChanged(), when there is no presenter of the picture's size.
    bool sendChanged();

    std::mutex lock;
    // The picture, guarded by `lock`. Never copied shallowly: the render
    // thread writes through raw pointers, so the picture must stay unshared.
    QImage image;

    // Logical size and device pixels per logical pixel.
    int width() const { return m_width; }
    int height() const { return m_height; }
    double ratio() const { return m_ratio; }
    // A logical coordinate's device pixel edge; device rectangles follow the
    // same rounding as QPainter's fills, so both painters meet exactly.
    int toDevice(int v) const {
        return m_ratio == 1.0 ? v : static_cast<int>(std::floor(v * m_ratio + 0.5));
    }

    // Raster operations for the render thread; `lock` held. Logical pixels,
    // GDI rules: the rectangle covers [l, r) x [t, b), lines exclude their
    // end point.
    void fill(int l, int t, int r, int b, const RasterFill& f);
    void fillSolid(int l, int t, int r, int b, uint32_t rgb);
    // Outline one pixel inside the area in `pen`, the inside with `f`.
    void rectangle(int l, int t, int r, int b, uint32_t pen, const RasterFill& f);
    void hline(int x0, int x1, int y, uint32_t rgb); // x0 to x1, either direction
    void vline(int x, int y0, int y1, uint32_t rgb);
    // Blends `color` by an 8-bit coverage mask of w x h at (x, y), all in
    // device pixels (the glyphs are rendered at the ratio).
    void blendMask(int x, int y, const uint8_t* mask, int w, int h, int stride, uint32_t color);

    // For drawers of their own (the X/Y trace), `lock` held: the picture's
    // device pixel rows and size, and the device area [l, r) x [t, b) they
    // changed.
    uint32_t* deviceRow(int y) { return row(y); }
    int deviceWidth() const { return m_deviceWidth; }
    int deviceHeight() const { return m_deviceHeight; }
    void deviceChanged(int l, int t, int r, int b) { changed({l, t, r, b}); }

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
    // What the bars on the picture show (`lock`).
    MeterDrawnState drawn;
    LoudnessDrawnState loudDrawn;
    // The loudness target row the face was painted for, -1 for no loudness
    // column; set by the main thread with the face (`lock`).
    int loudnessTarget = -1;
    // The glyphs at the picture's ratio; set by the main thread (`lock`).
    std::shared_ptr<const GlyphAtlas> glyphs;

private:
    // A rectangle [l, r) x [t, b) in device pixels; empty when l >= r.
    struct Area {
        int l = 0, t = 0, r = 0, b = 0;
        bool empty() const { return l >= r || t >= b; }
    };
    // Up to kMaxChanges rectangles; a new one merges with one it touches,
    // or, when all are taken, with the one that grows least.
    struct Changes {
        Area a[kMaxChanges];
        int n = 0;
        void add(const Area& r);
        void clear() { n = 0; }
    };

    uint32_t* row(int y) { return m_pixels + static_cast<ptrdiff_t>(y) * m_stride; }
    void bind(); // `lock` held: the raw pointer follows the picture
    // `lock` held: the picture moves into the presenter's memory when the
    // sizes match, and out of it when they no longer do.
    void placePicture();
    void changed(const Area& a); // `lock` held
    // Device area of a logical rectangle clipped to the picture; empty if none.
    Area deviceArea(int l, int t, int r, int b) const;
    void fillDevice(const Area& a, const RasterFill& f);

    QImage m_shown;               // main thread only: what present() draws
    uint32_t* m_pixels = nullptr; // bits of `image`
    int m_stride = 0;             // pixels per line
    int m_width = 0;              // logical size
    int m_height = 0;
    int m_deviceWidth = 0;
    int m_deviceHeight = 0;
    double m_ratio = 1.0;
    std::unique_ptr<X11Presenter> m_presenter; // set by the main thread (`lock`)
    bool m_inPresenter = false;                // `image` wraps the presenter's memory
    Changes m_toCopy;                          // changed in `image`, not yet in m_shown (`lock`)
    Changes m_toShow;                          // changed, not yet handed to the window (`lock`)
    int m_wakeFd = -1;
};
