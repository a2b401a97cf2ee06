#include "display/x11_presenter.h"

#include <QGuiApplication>
#include <algorithm>
#include <bit>
#include <cstdlib>

#if defined(KC_HAVE_XCB_SHM)
#include <QtGui/qguiapplication_platform.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#endif

#if defined(KC_HAVE_XCB_SHM) && QT_CONFIG(xcb)

struct X11Presenter::Native {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    xcb_shm_seg_t segment = 0;
    uint8_t depth = 0;
    uint32_t* pixels = nullptr; // the shared picture, width x height

    ~Native() {
        // The connection goes with the application; a window that outlives
        // it only lets go of its own mapping.
        if (connection && qGuiApp) {
            xcb_shm_detach(connection, segment);
            xcb_free_gc(connection, gc);
            xcb_flush(connection);
        }
        if (pixels)
            shmdt(pixels);
    }
};

namespace {

xcb_connection_t* applicationConnection() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// True when pixels of `depth` on `visual` are 32-bit words 0x??RRGGBB in this
// machine's byte order, which is how the surface holds them.
bool matchesSurfacePixels(const xcb_setup_t* setup, uint8_t depth, xcb_visualid_t visual) {
    if (setup->image_byte_order != (std::endian::native == std::endian::little
                                        ? XCB_IMAGE_ORDER_LSB_FIRST
                                        : XCB_IMAGE_ORDER_MSB_FIRST))
        return false;
    bool wordPixels = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == depth)
            wordPixels = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
    }
    if (!wordPixels)
        return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s)) {
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            if (d.data->depth != depth)
                continue;
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == visual)
                    return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                           v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 &&
                           v.data->blue_mask == 0xff;
            }
        }
    }
    return false;
}

} // namespace

std::unique_ptr<X11Presenter> X11Presenter::create(uintptr_t window, int width, int height) {
    if (!window || width <= 0 || height <= 0)
        return nullptr;
    xcb_connection_t* c = applicationConnection();
    if (!c || xcb_connection_has_error(c))
        return nullptr;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
    if (!shm || !shm->present)
        return nullptr;

    auto native = std::make_unique<Native>();
    native->window = static_cast<xcb_window_t>(window);
    // Set-up costs two round trips, once per window size.
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, native->window), nullptr);
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, native->window), nullptr);
    const bool usable = geometry && attributes &&
                        matchesSurfacePixels(xcb_get_setup(c), geometry->depth, attributes->visual);
    if (geometry)
        native->depth = geometry->depth;
    std::free(geometry);
    std::free(attributes);
    if (!usable)
        return nullptr;

    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return nullptr;
    void* at = shmat(id, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    native->pixels = static_cast<uint32_t*>(at);
    native->segment = xcb_generate_id(c);
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_shm_attach_checked(c, native->segment, id, 0));
    // Marked for removal now: the segment lives while this process or the
    // server has it attached, and goes with both, even after a crash.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        std::free(error);
        return nullptr; // a server on another machine
    }
    native->connection = c;
    native->gc = xcb_generate_id(c);
    const uint32_t noExposures = 0;
    xcb_create_gc(c, native->gc, native->window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    uint32_t* pixels = native->pixels;
    return std::unique_ptr<X11Presenter>(
        new X11Presenter(std::move(native), pixels, window, width, height));
}

void X11Presenter::send(const Rect* rects, int n) {
    Native& x = *m_native;
    for (int i = 0; i < n; ++i) {
        const int l = std::max(rects[i].l, 0), t = std::max(rects[i].t, 0);
        const int r = std::min(rects[i].r, m_width), b = std::min(rects[i].b, m_height);
        if (l >= r || t >= b)
            continue;
        // Unchecked, so that nothing waits for an answer: the window lets go
        // of the presenter before its native window goes, and the connection
        // keeps the order, so no put reaches a window that is gone.
        xcb_shm_put_image(
            x.connection, x.window, x.gc, static_cast<uint16_t>(m_width),
            static_cast<uint16_t>(m_height), static_cast<uint16_t>(l), static_cast<uint16_t>(t),
            static_cast<uint16_t>(r - l), static_cast<uint16_t>(b - t), static_cast<int16_t>(l),
            static_cast<int16_t>(t), x.depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, x.segment, 0);
    }
    xcb_flush(x.connection);
}

#else // no X11 shared memory in this build: frames go through the backing store

struct X11Presenter::Native {};

std::unique_ptr<X11Presenter> X11Presenter::create(uintptr_t, int, int) {
    return nullptr;
}

void X11Presenter::send(const Rect*, int) {}

#endif

X11Presenter::X11Presenter(std::unique_ptr<Native> native, uint32_t* pixels, uintptr_t window,
                           int width, int height)
    : m_native(std::move(native)), m_pixels(pixels), m_window(window), m_width(width),
      m_height(height) {}

X11Presenter::~X11Presenter() = default;
