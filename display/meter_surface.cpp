#include "display/meter_surface.h"

#include "display/x11_presenter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

void MeterSurface::Changes::add(const Area& r) {
    if (r.empty())
        return;
    auto grown = [&r](const Area& x) {
        return Area{std::min(x.l, r.l), std::min(x.t, r.t), std::max(x.r, r.r), std::max(x.b, r.b)};
    };
    auto size = [](const Area& x) {
        return static_cast<int64_t>(x.r - x.l) * static_cast<int64_t>(x.b - x.t);
    };
    // Touching or overlapping: one rectangle, without growing much in practice
    // (a bar's zones, a label and its box).
    for (int i = 0; i < n; ++i) {
        const Area& x = a[i];
        if (r.l <= x.r && x.l <= r.r && r.t <= x.b && x.t <= r.b) {
            a[i] = grown(x);
            return;
        }
    }
    if (n < kMaxChanges) {
        a[n++] = r;
        return;
    }
    int best = 0;
    int64_t bestCost = INT64_MAX;
    for (int i = 0; i < n; ++i) {
        const int64_t cost = size(grown(a[i])) - size(a[i]);
        if (cost < bestCost) {
            bestCost = cost;
            best = i;
        }
    }
    a[best] = grown(a[best]);
}

void MeterSurface::bind() {
    // bits() detaches here, on the main thread and only if ever shared, so
    // that the render thread's writes never trigger a copy.
    m_pixels = image.isNull() ? nullptr : reinterpret_cast<uint32_t*>(image.bits());
    m_stride = image.isNull() ? 0 : static_cast<int>(image.bytesPerLine() / 4);
    m_deviceWidth = image.width();
    m_deviceHeight = image.height();
    m_ratio = image.isNull() ? 1.0 : image.devicePixelRatio();
    // The device size was rounded up from the logical one.
    m_width = static_cast<int>(std::floor(m_deviceWidth / m_ratio + 1e-6));
    m_height = static_cast<int>(std::floor(m_deviceHeight / m_ratio + 1e-6));
    drawn = {};
    loudDrawn = {};
}

void MeterSurface::changed(const Area& a) {
    m_toCopy.add(a);
    m_toShow.add(a);
}

void MeterSurface::resize(int width, int height, double ratio) {
    ratio = ratio > 0 ? ratio : 1.0;
    QImage next = newFace(std::max(width, 0), std::max(height, 0), ratio);
    next.fill(Qt::black);
    m_shown = next.copy();
    std::lock_guard<std::mutex> guard(lock);
    image.swap(next);
    if (m_inPresenter)
        next = QImage(); // never read again: the old picture was shared memory
    m_inPresenter = false;
    placePicture();
    m_toCopy.clear();
    m_toShow.clear();
    bind();
}

void MeterSurface::placePicture() {
    const bool fits = m_presenter && !image.isNull() && image.width() == m_presenter->width() &&
                      image.height() == m_presenter->height();
    const uchar* shared =
        m_presenter ? reinterpret_cast<const uchar*>(m_presenter->pixels()) : nullptr;
    if (m_inPresenter && !(fits && image.constBits() == shared)) {
        image = image.copy(); // a presenter that goes takes its memory along
        m_inPresenter = false;
    }
    if (fits && !m_inPresenter) {
        QImage wrapped(reinterpret_cast<uchar*>(m_presenter->pixels()), image.width(),
                       image.height(), image.width() * 4, QImage::Format_RGB32);
        const uint32_t* from = reinterpret_cast<const uint32_t*>(image.constBits());
        const int stride = static_cast<int>(image.bytesPerLine() / 4);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(wrapped.scanLine(y), from + static_cast<ptrdiff_t>(y) * stride,
                        static_cast<size_t>(image.width()) * 4);
        wrapped.setDevicePixelRatio(image.devicePixelRatio());
        image = std::move(wrapped);
        m_inPresenter = true;
    }
}

void MeterSurface::setPresenter(std::unique_ptr<X11Presenter>& next) {
    m_presenter.swap(next);
    const uchar* before = image.constBits();
    placePicture();
    if (image.constBits() != before) {
        bind();
        m_toCopy.clear();
        changed({0, 0, m_deviceWidth, m_deviceHeight});
    }
}

std::unique_ptr<X11Presenter> MeterSurface::presenterFor(const QImage& face, uintptr_t window,
                                                         bool& direct) const {
    const X11Presenter* current = m_presenter.get();
    if (!direct || (current && current->width() == face.width() &&
                    current->height() == face.height() && current->window() == window))
        return nullptr;
    std::unique_ptr<X11Presenter> presenter =
        X11Presenter::create(window, face.width(), face.height());
    direct = presenter != nullptr;
    return presenter;
}

bool MeterSurface::outdated(double ratio, uintptr_t window) const {
    return m_ratio != ratio || (m_presenter && m_presenter->window() != window);
}

void MeterSurface::dropPresenter() {
    std::unique_ptr<X11Presenter> presenter; // let go of after the lock
    std::lock_guard<std::mutex> guard(lock);
    setPresenter(presenter);
}

QImage MeterSurface::newFace(int width, int height, double ratio) {
    QImage face(static_cast<int>(std::ceil(width * ratio - 1e-9)),
                static_cast<int>(std::ceil(height * ratio - 1e-9)), QImage::Format_RGB32);
    face.setDevicePixelRatio(ratio);
    return face;
}

void MeterSurface::adopt(QImage& face, std::unique_ptr<X11Presenter>* presenter) {
    image.swap(face);
    if (m_inPresenter) {
        face = QImage(); // the old picture was the presenter's memory
        m_inPresenter = false;
    }
    // Swapped only now, so that the old picture is not copied out first.
    if (presenter)
        m_presenter.swap(*presenter);
    placePicture();
    bind();
    m_toCopy.clear();
    changed({0, 0, m_deviceWidth, m_deviceHeight});
}

QImage MeterSurface::snapshot() {
    std::lock_guard<std::mutex> guard(lock);
    return image.copy();
}

int MeterSurface::takeChanged(QRect* out) {
    std::lock_guard<std::mutex> guard(lock);
    const int n = m_toShow.n;
    for (int i = 0; i < n; ++i) {
        const Area& a = m_toShow.a[i];
        // Logical pixels covering every device pixel of the area.
        const int l = static_cast<int>(std::floor(a.l / m_ratio));
        const int t = static_cast<int>(std::floor(a.t / m_ratio));
        const int r = static_cast<int>(std::ceil(a.r / m_ratio));
        const int b = static_cast<int>(std::ceil(a.b / m_ratio));
        out[i] = QRect(l, t, r - l, b - t);
    }
    m_toShow.clear();
    return n;
}

void MeterSurface::present(QPainter& painter, const QRegion& region) {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (m_shown.size() != image.size() ||
            m_shown.devicePixelRatio() != image.devicePixelRatio()) {
            // A picture of another size came in: the copy is made whole once.
            m_shown = QImage(image.size(), image.format());
            m_shown.setDevicePixelRatio(image.devicePixelRatio());
            m_toCopy.clear();
            m_toCopy.add({0, 0, m_deviceWidth, m_deviceHeight});
        }
        auto* to = reinterpret_cast<uint32_t*>(m_shown.bits());
        for (int i = 0; i < m_toCopy.n; ++i) {
            const Area& a = m_toCopy.a[i];
            const size_t bytes = static_cast<size_t>(a.r - a.l) * sizeof(uint32_t);
            for (int y = a.t; y < a.b; ++y) {
                const ptrdiff_t at = static_cast<ptrdiff_t>(y) * m_stride + a.l;
                std::memcpy(to + at, m_pixels + at, bytes);
            }
        }
        m_toCopy.clear();
    }
    // Only the main thread touches the shown copy: it is drawn off the lock.
    // Rectangle by rectangle, so that two bars far apart do not bring the
    // width between them along.
    // Each rectangle is also the clip while it is drawn: against the whole
    // paint region as clip, the raster engine blends span by span and hands
    // tall rectangles to its thread pool, waking two threads per frame.
    const double ratio = m_shown.devicePixelRatio();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : region) {
        painter.setClipRect(r);
        if (ratio == 1.0) {
            painter.drawImage(r.topLeft(), m_shown, r); // a plain copy of lines
            continue;
        }
        const QRectF source(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio);
        painter.drawImage(QRectF(r), m_shown, source);
    }
}

bool MeterSurface::sendChanged() {
    // The picture is in the presenter's memory exactly when their sizes match.
    if (!m_inPresenter)
        return false;
    X11Presenter::Rect rects[kMaxChanges];
    for (int i = 0; i < m_toShow.n; ++i) {
        const Area& a = m_toShow.a[i];
        rects[i] = {a.l, a.t, a.r, a.b};
    }
    m_presenter->send(rects, m_toShow.n);
    m_toShow.clear();
    return true;
}

MeterSurface::Area MeterSurface::deviceArea(int l, int t, int r, int b) const {
    l = std::max(l, 0);
    t = std::max(t, 0);
    r = std::min(r, m_width);
    b = std::min(b, m_height);
    if (l >= r || t >= b || !m_pixels)
        return {};
    return {toDevice(l), toDevice(t), std::min(toDevice(r), m_deviceWidth),
            std::min(toDevice(b), m_deviceHeight)};
}

void MeterSurface::fill(int l, int t, int r, int b, const RasterFill& f) {
    fillDevice(deviceArea(l, t, r, b), f);
}

void MeterSurface::fillDevice(const Area& a, const RasterFill& f) {
    if (a.empty())
        return;
    changed(a);
    // Patterns repeat every 8 logical pixels from the origin, as the static
    // painter's brushes do; at a ratio of 1 a device pixel is a logical one.
    const bool scaled = m_ratio != 1.0;
    for (int y = a.t; y < a.b; ++y) {
        uint32_t* p = row(y);
        if (f.solid) {
            std::fill(p + a.l, p + a.r, f.px[0]);
            continue;
        }
        const int py = scaled ? static_cast<int>(y / m_ratio) : y;
        const uint32_t* pat = f.px + (py & 7) * 8;
        // The line patterns light or darken whole rows: those fill like solids.
        if (std::all_of(pat + 1, pat + 8, [pat](uint32_t c) { return c == pat[0]; })) {
            std::fill(p + a.l, p + a.r, pat[0]);
            continue;
        }
        for (int x = a.l; x < a.r; ++x)
            p[x] = pat[(scaled ? static_cast<int>(x / m_ratio) : x) & 7];
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
    const Area area{std::max(x, 0), std::max(y, 0), std::min(x + w, m_deviceWidth),
                    std::min(y + h, m_deviceHeight)};
    if (area.empty())
        return;
    changed(area);
    const uint32_t cr = (color >> 16) & 0xff, cg = (color >> 8) & 0xff, cb = color & 0xff;
    for (int j = 0; j < h; ++j) {
        const int yy = y + j;
        if (yy < 0 || yy >= m_deviceHeight)
            continue;
        uint32_t* p = row(yy);
        const uint8_t* m = mask + static_cast<ptrdiff_t>(j) * stride;
        for (int i = 0; i < w; ++i) {
            const uint32_t a = m[i];
            const int xx = x + i;
            if (a == 0 || xx < 0 || xx >= m_deviceWidth)
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
