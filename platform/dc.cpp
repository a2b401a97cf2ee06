// One-pixel lines, rectangle outlines and ellipses are rasterised here rather
// than by QPainter: Qt's own aliased rules (end points included, outlines
// centred on the edge) differ from the ones every caller was written for, and
// the drag outline and the knob's move display draw in XOR, where a pixel
// touched twice disappears. Each shape therefore plots every pixel exactly
// once and lets QPainter do only the spans, points and images.
#include "platform/dc.h"

#include <QFontMetrics>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace {

QPainter::CompositionMode ropMode(Rop2 rop) {
    return rop == Rop2::XorPen ? QPainter::RasterOp_SourceXorDestination
                               : QPainter::CompositionMode_Source;
}

QPainter::CompositionMode blitMode(BlitOp op) {
    switch (op) {
    case BlitOp::SrcAnd:
        return QPainter::RasterOp_SourceAndDestination;
    case BlitOp::SrcPaint:
        return QPainter::RasterOp_SourceOrDestination;
    case BlitOp::SrcInvert:
        return QPainter::RasterOp_SourceXorDestination;
    case BlitOp::SrcCopy:
        break;
    }
    return QPainter::CompositionMode_Source;
}

// On/off run lengths of the one-pixel styled pens, in pixels.
std::vector<int> stylePattern(Qt::PenStyle style) {
    switch (style) {
    case Qt::DashLine:
        return {18, 6};
    case Qt::DotLine:
        return {3, 3};
    case Qt::DashDotLine:
        return {9, 6, 3, 6};
    case Qt::DashDotDotLine:
        return {9, 3, 3, 3, 3, 3};
    default:
        return {};
    }
}

bool styleOn(const std::vector<int>& pattern, int step) {
    int period = 0;
    for (int run : pattern) {
        period += run;
    }
    int pos = step % period;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pos < pattern[i]) {
            return i % 2 == 0;
        }
        pos -= pattern[i];
    }
    return true;
}

int penPixels(const QPen& pen) {
    return std::max(1, pen.width());
}

// Pixel spans of an ellipse inscribed in [l, r) x [t, b): row y covers
// [x0, x1) with x0 >= x1 meaning empty. A pixel belongs to the ellipse when
// its centre does.
struct EllipseSpans {
    int top = 0;
    std::vector<int> x0, x1;

    EllipseSpans(int l, int t, int r, int b) : top(t) {
        const double cx = (l + r) / 2.0;
        const double cy = (t + b) / 2.0;
        const double rx = (r - l) / 2.0;
        const double ry = (b - t) / 2.0;
        for (int y = t; y < b; ++y) {
            const double dy = (y + 0.5 - cy) / ry;
            const double q = 1.0 - dy * dy;
            int a = 0, c = 0;
            if (q >= 0.0) {
                const double half = rx * std::sqrt(q);
                a = static_cast<int>(std::ceil(cx - half - 0.5));
                c = static_cast<int>(std::floor(cx + half - 0.5)) + 1;
                a = std::max(a, l);
                c = std::min(c, r);
            }
            x0.push_back(a);
            x1.push_back(std::max(a, c));
        }
    }
    int rows() const { return static_cast<int>(x0.size()); }
    bool inside(int x, int y) const {
        const int i = y - top;
        return i >= 0 && i < rows() && x >= x0[i] && x < x1[i];
    }
    bool boundary(int x, int y) const {
        return inside(x, y) &&
               !(inside(x - 1, y) && inside(x + 1, y) && inside(x, y - 1) && inside(x, y + 1));
    }
};

void bresenham(int x0, int y0, int x1, int y1, bool includeEnd, std::vector<QPoint>& out) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    for (;;) {
        if (x == x1 && y == y1) {
            if (includeEnd) {
                out.emplace_back(x, y);
            }
            return;
        }
        out.emplace_back(x, y);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// Shapes take their corners in either order, as GDI does; an area with no
// width or height draws nothing.
bool orderCorners(int& l, int& t, int& r, int& b) {
    if (l > r) {
        std::swap(l, r);
    }
    if (t > b) {
        std::swap(t, b);
    }
    return r > l && b > t;
}

} // namespace

Dc::Dc(QImage& surface) : m_surface(&surface) {
    m_painter.begin(&surface);
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_pen = solidPen(Qt::black);
    m_brush = solidBrush(Qt::white);
}

Dc::~Dc() {
    end();
}

void Dc::end() {
    if (m_painter.isActive()) {
        m_painter.end();
    }
}

bool Dc::isActive() const {
    return m_painter.isActive();
}

QSize Dc::size() const {
    return m_surface ? m_surface->size() : QSize();
}

QPen Dc::selectPen(const QPen& pen) {
    QPen old = m_pen;
    m_pen = pen;
    return old;
}

QBrush Dc::selectBrush(const QBrush& brush) {
    QBrush old = m_brush;
    m_brush = brush;
    return old;
}

QFont Dc::selectFont(const QFont& font) {
    QFont old = m_font;
    m_font = font;
    return old;
}

QColor Dc::setTextColor(const QColor& color) {
    return std::exchange(m_textColor, color);
}
QColor Dc::setBkColor(const QColor& color) {
    return std::exchange(m_bkColor, color);
}
BkMode Dc::setBkMode(BkMode mode) {
    return std::exchange(m_bkMode, mode);
}
Rop2 Dc::setRop2(Rop2 rop) {
    return std::exchange(m_rop2, rop);
}

QPen Dc::nullPen() {
    return QPen(Qt::NoPen);
}
QBrush Dc::nullBrush() {
    return QBrush(Qt::NoBrush);
}

QPen Dc::solidPen(const QColor& color, int width, Qt::PenStyle style) {
    QPen pen(color);
    pen.setWidth(std::max(0, width));
    pen.setStyle(style);
    pen.setCosmetic(width <= 1);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QBrush Dc::solidBrush(const QColor& color) {
    return QBrush(color, Qt::SolidPattern);
}

void Dc::plotPixels(const QPoint* points, int count, const QColor& color) {
    if (count <= 0 || !isActive()) {
        return;
    }
    m_painter.setCompositionMode(ropMode(m_rop2));
    if (m_painter.deviceTransform().type() > QTransform::TxTranslate) {
        // A surface of several device pixels per pixel (a high-density
        // screen): each pixel is a square of them, not one device dot.
        std::vector<QRect> squares;
        squares.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            squares.emplace_back(points[i], QSize(1, 1));
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(color);
        m_painter.drawRects(squares.data(), count);
        return;
    }
    m_painter.setBrush(Qt::NoBrush);
    QPen pixelPen(color);
    pixelPen.setWidth(0);
    pixelPen.setCosmetic(true);
    m_painter.setPen(pixelPen);
    m_painter.drawPoints(points, count);
}

void Dc::strokeLine(int x0, int y0, int x1, int y1, bool includeEnd) {
    if (m_pen.style() == Qt::NoPen || !isActive()) {
        return;
    }
    if (m_pen.width() > 1) {
        // Wide pens are geometric: round ends centred on both points.
        m_painter.setCompositionMode(ropMode(m_rop2));
        m_painter.setPen(m_pen);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawLine(x0, y0, x1, y1);
        return;
    }
    std::vector<QPoint> points;
    bresenham(x0, y0, x1, y1, includeEnd, points);
    const std::vector<int> pattern = stylePattern(m_pen.style());
    if (!pattern.empty()) {
        std::vector<QPoint> on;
        for (const QPoint& p : points) {
            if (styleOn(pattern, m_styleStep++)) {
                on.push_back(p);
            }
        }
        points.swap(on);
    }
    plotPixels(points.data(), static_cast<int>(points.size()), m_pen.color());
}

QPoint Dc::moveTo(int x, int y) {
    m_styleStep = 0;
    return std::exchange(m_pos, QPoint(x, y));
}

void Dc::lineTo(int x, int y) {
    strokeLine(m_pos.x(), m_pos.y(), x, y, false);
    m_pos = QPoint(x, y);
}

void Dc::polyline(const QPoint* points, int count) {
    if (count < 2) {
        return;
    }
    const QPoint saved = m_pos;
    moveTo(points[0].x(), points[0].y());
    for (int i = 1; i < count; ++i) {
        lineTo(points[i].x(), points[i].y());
    }
    m_pos = saved;
}

void Dc::rectangle(int l, int t, int r, int b) {
    if (!orderCorners(l, t, r, b) || !isActive()) {
        return;
    }
    const bool outline = m_pen.style() != Qt::NoPen;
    const int w = outline ? penPixels(m_pen) : 0;
    m_painter.setCompositionMode(ropMode(m_rop2));
    m_painter.setPen(Qt::NoPen);
    if (m_brush.style() != Qt::NoBrush && r - l > 2 * w && b - t > 2 * w) {
        m_painter.fillRect(QRect(l + w, t + w, r - l - 2 * w, b - t - 2 * w), m_brush);
    }
    if (!outline) {
        return;
    }
    if (m_pen.style() != Qt::SolidLine && w == 1) {
        // Styled outline: one continuous pass around the edge, each pixel once.
        m_styleStep = 0;
        if (r - l == 1 || b - t == 1) {
            strokeLine(l, t, r - 1, b - 1, true);
            return;
        }
        strokeLine(l, t, r - 1, t, false);
        strokeLine(r - 1, t, r - 1, b - 1, false);
        strokeLine(r - 1, b - 1, l, b - 1, false);
        strokeLine(l, b - 1, l, t, false);
        return;
    }
    // Solid outline as four non-overlapping bands inside the area.
    const QColor c = m_pen.color();
    if (r - l <= 2 * w || b - t <= 2 * w) {
        m_painter.fillRect(QRect(l, t, r - l, b - t), c);
        return;
    }
    m_painter.fillRect(QRect(l, t, r - l, w), c);
    m_painter.fillRect(QRect(l, b - w, r - l, w), c);
    m_painter.fillRect(QRect(l, t + w, w, b - t - 2 * w), c);
    m_painter.fillRect(QRect(r - w, t + w, w, b - t - 2 * w), c);
}

void Dc::fillRect(int l, int t, int r, int b, const QBrush& brush) {
    if (r <= l || b <= t || brush.style() == Qt::NoBrush || !isActive()) {
        return;
    }
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.fillRect(QRect(l, t, r - l, b - t), brush);
}

void Dc::ellipse(int l, int t, int r, int b) {
    if (!orderCorners(l, t, r, b) || !isActive()) {
        return;
    }
    const EllipseSpans spans(l, t, r, b);
    const bool outline = m_pen.style() != Qt::NoPen;
    const bool fill = m_brush.style() != Qt::NoBrush;
    std::vector<QPoint> edge;
    m_painter.setCompositionMode(ropMode(m_rop2));
    for (int i = 0; i < spans.rows(); ++i) {
        const int y = t + i;
        int a = spans.x0[i], c = spans.x1[i];
        if (a >= c) {
            continue;
        }
        if (outline) {
            // The boundary pixels of a convex row sit at its two ends.
            while (a < c && spans.boundary(a, y)) {
                edge.emplace_back(a++, y);
            }
            while (c > a && spans.boundary(c - 1, y)) {
                edge.emplace_back(--c, y);
            }
        }
        if (fill && c > a) {
            m_painter.fillRect(QRect(a, y, c - a, 1), m_brush);
        }
    }
    if (outline) {
        plotPixels(edge.data(), static_cast<int>(edge.size()), m_pen.color());
    }
}

void Dc::pie(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    if (!orderCorners(l, t, r, b) || !isActive()) {
        return;
    }
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0;
    const double rx = (r - l) / 2.0, ry = (b - t) / 2.0;
    const double twoPi = 2.0 * std::numbers::pi;
    auto angleOf = [&](double x, double y) {
        double a = std::atan2(-(y - cy) / ry, (x - cx) / rx);
        return a < 0 ? a + twoPi : a;
    };
    const double start = angleOf(x1 + 0.5, y1 + 0.5);
    double sweep = angleOf(x2 + 0.5, y2 + 0.5) - start;
    if (sweep <= 0.0) {
        sweep += twoPi;
    }
    auto inSector = [&](int x, int y) {
        double d = angleOf(x + 0.5, y + 0.5) - start;
        if (d < 0) {
            d += twoPi;
        }
        return d <= sweep;
    };

    const EllipseSpans spans(l, t, r, b);
    // The centre pixel and the radial end pixels on the ellipse.
    const QPoint centre(static_cast<int>(std::floor(cx)), static_cast<int>(std::floor(cy)));
    auto radialEnd = [&](double a) {
        const double ex = cx + (rx - 0.5) * std::cos(a);
        const double ey = cy - (ry - 0.5) * std::sin(a);
        return QPoint(static_cast<int>(std::floor(ex)), static_cast<int>(std::floor(ey)));
    };
    auto less = [](const QPoint& a, const QPoint& c) {
        return a.y() != c.y() ? a.y() < c.y() : a.x() < c.x();
    };
    std::vector<QPoint> edge;
    if (m_pen.style() != Qt::NoPen) {
        for (int i = 0; i < spans.rows(); ++i) {
            const int y = t + i;
            for (int x = spans.x0[i]; x < spans.x1[i]; ++x) {
                if (spans.boundary(x, y) && inSector(x, y)) {
                    edge.emplace_back(x, y);
                }
            }
        }
        if (sweep < twoPi - 1e-9) {
            bresenham(centre.x(), centre.y(), radialEnd(start).x(), radialEnd(start).y(), true,
                      edge);
            const QPoint e2 = radialEnd(start + sweep);
            bresenham(centre.x(), centre.y(), e2.x(), e2.y(), true, edge);
        }
        std::sort(edge.begin(), edge.end(), less);
        edge.erase(std::unique(edge.begin(), edge.end()), edge.end());
    }
    if (m_brush.style() != Qt::NoBrush) {
        m_painter.setCompositionMode(ropMode(m_rop2));
        for (int i = 0; i < spans.rows(); ++i) {
            const int y = t + i;
            for (int x = spans.x0[i]; x < spans.x1[i]; ++x) {
                if (inSector(x, y) &&
                    !std::binary_search(edge.begin(), edge.end(), QPoint(x, y), less)) {
                    m_painter.fillRect(QRect(x, y, 1, 1), m_brush);
                }
            }
        }
    }
    plotPixels(edge.data(), static_cast<int>(edge.size()), m_pen.color());
}

void Dc::polygon(const QPoint* points, int count) {
    if (count < 2 || !isActive()) {
        return;
    }
    if (m_brush.style() != Qt::NoBrush && count >= 3) {
        m_painter.setCompositionMode(ropMode(m_rop2));
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(m_brush);
        m_painter.drawPolygon(points, count, Qt::OddEvenFill);
    }
    if (m_pen.style() != Qt::NoPen) {
        m_styleStep = 0;
        for (int i = 0; i < count; ++i) {
            const QPoint& a = points[i];
            const QPoint& c = points[(i + 1) % count];
            strokeLine(a.x(), a.y(), c.x(), c.y(), false);
        }
    }
}

void Dc::setPixel(int x, int y, const QColor& color) {
    if (!isActive()) {
        return;
    }
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.fillRect(QRect(x, y, 1, 1), color);
}

QColor Dc::pixel(int x, int y) const {
    if (!m_surface || !m_surface->valid(x, y)) {
        return QColor();
    }
    return m_surface->pixelColor(x, y);
}

QSize Dc::textExtent(const QString& text) const {
    const QFontMetrics fm(m_font);
    return QSize(fm.horizontalAdvance(text), fm.height());
}

void Dc::textOut(int x, int y, const QString& text) {
    if (text.isEmpty() || !isActive()) {
        return;
    }
    const QFontMetrics fm(m_font);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_bkMode == BkMode::Opaque) {
        m_painter.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), m_bkColor);
    }
    m_painter.setFont(m_font);
    m_painter.setPen(m_textColor);
    m_painter.drawText(QPoint(x, y + fm.ascent()), text);
}

void Dc::drawText(int l, int t, int r, int b, const QString& text, unsigned format) {
    if (text.isEmpty() || !isActive()) {
        return;
    }
    int flags = 0;
    flags |= (format & DcCenter)  ? Qt::AlignHCenter
             : (format & DcRight) ? Qt::AlignRight
                                  : Qt::AlignLeft;
    if (format & DcSingleLine) {
        flags |= Qt::TextSingleLine;
        flags |= (format & DcVCenter)  ? Qt::AlignVCenter
                 : (format & DcBottom) ? Qt::AlignBottom
                                       : Qt::AlignTop;
    } else {
        flags |= Qt::AlignTop;
    }
    if (format & DcNoClip) {
        flags |= Qt::TextDontClip;
    }
    const QRect box(l, t, r - l, b - t);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setFont(m_font);
    if (m_bkMode == BkMode::Opaque) {
        QRect used = m_painter.boundingRect(box, flags, text);
        if (!(format & DcNoClip)) {
            used = used.intersected(box);
        }
        m_painter.fillRect(used, m_bkColor);
    }
    m_painter.setPen(m_textColor);
    m_painter.drawText(box, flags, text);
}

void Dc::blit(int x, int y, int w, int h, const QImage& source, int sx, int sy, BlitOp op) {
    if (!isActive() || source.isNull()) {
        return;
    }
    // Clip the source rectangle to the image, moving the target with it.
    if (sx < 0) {
        x -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        y -= sy;
        h += sy;
        sy = 0;
    }
    w = std::min(w, source.width() - sx);
    h = std::min(h, source.height() - sy);
    if (w <= 0 || h <= 0) {
        return;
    }
    m_painter.setCompositionMode(blitMode(op));
    if (&source == m_surface) {
        // Overlapping copy within the surface: take the source out first.
        const QImage part = source.copy(sx, sy, w, h);
        m_painter.drawImage(QPoint(x, y), part);
    } else {
        m_painter.drawImage(QPoint(x, y), source, QRect(sx, sy, w, h));
    }
}
