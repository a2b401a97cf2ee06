#include "display/meter_surface.h"

#include <algorithm>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

RasterFill RasterFill::solidColor(uint32_t rgb) {
    RasterFill f;
    std::fill(std::begin(f.px), std::end(f.px), rgb | 0xff000000u);
    f.solid = true;
    return f;
}

MeterSurface::MeterSurface() {
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

MeterSurface::~MeterSurface() {
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void MeterSurface::Area::add(int al, int at, int ar, int ab) {
    if (al >= ar || at >= ab)
        return;
    if (empty()) {
        *this = {al, at, ar, ab};
        return;
    }
    l = std::min(l, al);
    t = std::min(t, at);
    r = std::max(r, ar);
    b = std::max(b, ab);
}

void MeterSurface::bind() {
    // bits() detaches here, on the main thread and only if ever shared, so
    // that the render thread's writes never trigger a copy.
    m_pixels = image.isNull() ? nullptr : reinterpret_cast<uint32_t*>(image.bits());
    m_frontPixels = m_front.isNull() ? nullptr : reinterpret_cast<uint32_t*>(m_front.bits());
    m_stride = image.isNull() ? 0 : static_cast<int>(image.bytesPerLine() / 4);
    m_width = image.width();
    m_height = image.height();
}

void MeterSurface::resize(int width, int height) {
    QImage next(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    next.fill(Qt::black);
    QImage front = next.copy();
    std::lock_guard<std::mutex> guard(lock);
    image.swap(next);
    m_front.swap(front);
    m_dirty = {};
    m_missing = {};
    bind();
}

void MeterSurface::adopt(QImage& face, QImage& spare) {
    image.swap(face);
    if (m_front.size() != image.size() || m_front.format() != image.format())
        m_front.swap(spare);
    if (m_front.size() != image.size() || m_front.format() != image.format())
        m_front = image.copy(); // a spare of the wrong size: slower, still safe
    // The back picture is whole again: nothing to catch up, all to show.
    m_missing = {};
    m_dirty = {0, 0, image.width(), image.height()};
    bind();
}

void MeterSurface::catchUp() {
    if (m_missing.empty() || !m_pixels || !m_frontPixels)
        return;
    const Area a = m_missing;
    m_missing = {};
    const size_t bytes = static_cast<size_t>(a.r - a.l) * sizeof(uint32_t);
    for (int y = a.t; y < a.b; ++y) {
        const ptrdiff_t at = static_cast<ptrdiff_t>(y) * m_stride + a.l;
        std::memcpy(m_pixels + at, m_frontPixels + at, bytes);
    }
}

QImage MeterSurface::snapshot() {
    std::lock_guard<std::mutex> guard(lock);
    catchUp();
    return image.copy();
}

void MeterSurface::present(QPainter& painter, const QRect& rect) {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!m_dirty.empty()) {
            // The back picture has all that is new: show it, and let the
            // render thread bring the old front up to date before drawing.
            catchUp();
            image.swap(m_front);
            m_missing = m_dirty;
            m_dirty = {};
            std::swap(m_pixels, m_frontPixels);
        }
    }
    // Only the main thread swaps, so the front picture stays put while it is
    // drawn; the render thread merely reads it in catchUp().
    painter.drawImage(rect, m_front, rect);
}

void MeterSurface::fill(int l, int t, int r, int b, const RasterFill& f) {
    l = std::max(l, 0);
    t = std::max(t, 0);
    r = std::min(r, m_width);
    b = std::min(b, m_height);
    if (l >= r || t >= b || !m_pixels)
        return;
    catchUp();
    m_dirty.add(l, t, r, b);
    for (int y = t; y < b; ++y) {
        uint32_t* p = row(y);
        if (f.solid) {
            std::fill(p + l, p + r, f.px[0]);
            continue;
        }
        const uint32_t* pat = f.px + (y & 7) * 8;
        // The line patterns light or darken whole rows: those fill like solids.
        if (std::all_of(pat + 1, pat + 8, [pat](uint32_t c) { return c == pat[0]; })) {
            std::fill(p + l, p + r, pat[0]);
            continue;
        }
        for (int x = l; x < r; ++x)
            p[x] = pat[x & 7];
    }
}

void MeterSurface::fillSolid(int l, int t, int r, int b, uint32_t rgb) {
    RasterFill f;
    f.px[0] = rgb | 0xff000000u;
    f.solid = true;
    fill(l, t, r, b, f);
}

void MeterSurface::rectangle(int l, int t, int r, int b, uint32_t pen, const RasterFill& f) {
    if (r - l < 1 || b - t < 1)
        return;
    hline(l, r, t, pen);
    hline(l, r, b - 1, pen);
    vline(l, t, b, pen);
    vline(r - 1, t, b, pen);
    fill(l + 1, t + 1, r - 1, b - 1, f);
}

void MeterSurface::hline(int x0, int x1, int y, uint32_t rgb) {
    // Drawn from x0 towards x1, x1 excluded, in either direction.
    const int l = x0 <= x1 ? x0 : x1 + 1;
    const int r = x0 <= x1 ? x1 : x0 + 1;
    fillSolid(l, y, r, y + 1, rgb);
}

void MeterSurface::vline(int x, int y0, int y1, uint32_t rgb) {
    const int t = y0 <= y1 ? y0 : y1 + 1;
    const int b = y0 <= y1 ? y1 : y0 + 1;
    fillSolid(x, t, x + 1, b, rgb);
}

void MeterSurface::blendMask(int x, int y, const uint8_t* mask, int w, int h, int stride,
                             uint32_t color) {
    if (!m_pixels)
        return;
    catchUp();
    m_dirty.add(std::max(x, 0), std::max(y, 0), std::min(x + w, m_width),
                std::min(y + h, m_height));
    const uint32_t cr = (color >> 16) & 0xff, cg = (color >> 8) & 0xff, cb = color & 0xff;
    for (int j = 0; j < h; ++j) {
        const int yy = y + j;
        if (yy < 0 || yy >= m_height)
            continue;
        uint32_t* p = row(yy);
        const uint8_t* m = mask + static_cast<ptrdiff_t>(j) * stride;
        for (int i = 0; i < w; ++i) {
            const uint32_t a = m[i];
            const int xx = x + i;
            if (a == 0 || xx < 0 || xx >= m_width)
                continue;
            const uint32_t d = p[xx];
            const uint32_t dr = (d >> 16) & 0xff, dg = (d >> 8) & 0xff, db = d & 0xff;
            const uint32_t nr = (cr * a + dr * (255 - a) + 127) / 255;
            const uint32_t ng = (cg * a + dg * (255 - a) + 127) / 255;
            const uint32_t nb = (cb * a + db * (255 - a) + 127) / 255;
            p[xx] = 0xff000000u | (nr << 16) | (ng << 8) | nb;
        }
    }
}

void MeterSurface::ringWake() {
    if (m_wakeFd < 0 || closed.load(std::memory_order_relaxed))
        return;
    const uint64_t one = 1;
    // A full counter (EAGAIN) means a repaint is already pending.
    [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void MeterSurface::drainWake() {
    if (m_wakeFd < 0)
        return;
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &count, sizeof count);
}
