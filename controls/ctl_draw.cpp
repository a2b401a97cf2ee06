#include "controls/ctl_draw.h"

#include "controls/ctl_core.h"
#include "controls/ctl_hires.h"
#include "platform/dc.h"

#include <QWidget>
#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

namespace {

constexpr int kMaxMasks = 31;
constexpr int kScratchSize = 128;

// Round masks shared by every round control of one size, plus the one
// scratch image masked drawing works in. Main thread only.
struct MaskCache {
    std::array<QImage, kMaxMasks> masks;
    std::array<int, kMaxMasks> diameters{};
    int count = 0;
    QImage scratch; // null until the first mask is made
};

MaskCache& cache() {
    static MaskCache c;
    return c;
}

void line(Dc& dc, int x0, int y0, int x1, int y1) {
    dc.moveTo(x0, y0);
    dc.lineTo(x1, y1);
}

// Top and left edges dark, right and bottom light, around l..r x t..b.
void sunkenFrame(Dc& dc, int l, int t, int r, int b) {
    dc.selectPen(ctlPen(kCtlGrey64));
    line(dc, l, t, r + 1, t);
    line(dc, l, t + 1, l, b + 1);
    dc.selectPen(ctlPen(kCtlWhite));
    line(dc, r, t + 1, r, b + 1);
    line(dc, l + 1, b, r, b);
}

} // namespace

void ctlBlit(Dc& dc, const QImage& bitmap, int x, int y, int w, int h) {
    dc.blit(x, y, w, h, bitmap, 0, 0, BlitOp::SrcCopy);
}

void ctlBlitFrom(Dc& dc, const QImage& bitmap, int x, int y, int sx, int sy, int w, int h) {
    dc.blit(x, y, w, h, bitmap, sx, sy, BlitOp::SrcCopy);
}

void ctlBlitWhole(Dc& dc, int x, int y, const QImage& bitmap) {
    dc.blit(x, y, bitmap.width(), bitmap.height(), bitmap, 0, 0, BlitOp::SrcCopy);
}

void ctlTileBitmap(const QWidget* window, Dc& dc, int x, int y, const QImage& bitmap) {
    if (!window || bitmap.isNull()) {
        return;
    }
    const int bw = bitmap.width(), bh = bitmap.height();
    const int columns = (window->width() + 1) / bw + 1;
    const int rows = (window->height() + 1) / bh + 1;
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i)
            ctlBlitSharp(dc, bitmap, x + i * bw, y + j * bh, bw, bh);
    }
}

const QImage* ctlRoundMask(int diameter) {
    if (diameter < 1) {
        return nullptr;
    }
    MaskCache& c = cache();
    for (int i = 0; i < c.count; ++i) {
        if (c.diameters[i] == diameter) {
            return &c.masks[i];
        }
    }
    if (c.count >= kMaxMasks) {
        return nullptr;
    }
    if (c.scratch.isNull()) {
        c.scratch = QImage(kScratchSize, kScratchSize, QImage::Format_RGB32);
        c.scratch.fill(Qt::black);
    }
    QImage mask(diameter, diameter, QImage::Format_RGB32);
    mask.fill(Qt::white);
    {
        Dc dc(mask);
        dc.selectPen(Dc::solidPen(Qt::black));
        dc.selectBrush(Dc::solidBrush(Qt::black));
        dc.ellipse(0, 0, diameter, diameter);
    }
    c.masks[c.count] = std::move(mask);
    c.diameters[c.count] = diameter;
    return &c.masks[c.count++];
}

int ctlRoundMaskCount() {
    return cache().count;
}

bool ctlHasScratch() {
    return !cache().scratch.isNull();
}

void ctlReleaseRoundMasks() {
    MaskCache& c = cache();
    for (int i = 0; i < kMaxMasks; ++i) {
        c.masks[i] = QImage();
        c.diameters[i] = 0;
    }
    c.count = 0;
    c.scratch = QImage();
}

void ctlBlitRound(Dc& dc, const QImage& image, const QImage* mask, int x, int y, int w, int h) {
    MaskCache& c = cache();
    if (!mask || c.scratch.isNull() || !dc.surface() || w > kScratchSize || h > kScratchSize) {
        ctlBlit(dc, image, x, y, w, h);
        return;
    }
    {
        // Background AND mask leaves the background outside the circle and
        // black inside; OR-ing the picture (black outside) then adds it.
        Dc scratch(c.scratch);
        scratch.blit(0, 0, w, h, *dc.surface(), x, y, BlitOp::SrcCopy);
        scratch.blit(0, 0, w, h, *mask, 0, 0, BlitOp::SrcAnd);
        scratch.blit(0, 0, w, h, image, 0, 0, BlitOp::SrcPaint);
    }
    dc.blit(x, y, w, h, c.scratch, 0, 0, BlitOp::SrcCopy);
}

void ctlText(Dc& dc, uint32_t style, int x, int y, const QString& text) {
    dc.selectFont(ctlFont(ctlStyleFont(style)));
    if (style & kCtlEngraved) {
        dc.setTextColor(ctlColor(kCtlWhite));
        dc.textOut(x + 1, y + 1, text);
    }
    dc.setTextColor(ctlColor(ctlStyleColor(style)));
    dc.textOut(x, y, text);
}

void ctlLine(Dc& dc, uint32_t style, int x0, int y0, int x1, int y1) {
    if (style & kCtlEngraved) {
        dc.selectPen(ctlPen(kCtlWhite));
        line(dc, x0 + 1, y0 + 1, x1 + 1, y1 + 1);
    }
    dc.selectPen(ctlPen(ctlStyleColor(style)));
    line(dc, x0, y0, x1, y1);
}

void ctlBox(Dc& dc, uint32_t style, int l, int t, int r, int b) {
    dc.selectBrush(ctlBrush(ctlStyleBrush(style)));
    if (style & kCtlEngraved) {
        dc.selectPen(Dc::nullPen());
        dc.rectangle(l, t, r + 1, b + 1);
        sunkenFrame(dc, l, t, r, b);
        return;
    }
    dc.selectPen(ctlPen(ctlStyleColor(style)));
    dc.rectangle(l, t, r, b);
}

void ctlFrame(Dc& dc, uint32_t style, int l, int t, int r, int b) {
    if (style & kCtlEngraved) {
        sunkenFrame(dc, l, t, r, b);
        return;
    }
    dc.selectBrush(Dc::nullBrush());
    dc.selectPen(ctlPen(ctlStyleColor(style)));
    dc.rectangle(l, t, r, b);
}

bool ctlHiResDc(Dc& dc) {
    return dc.isActive() && dc.painter().deviceTransform().type() > QTransform::TxTranslate;
}

namespace {

// The painter of `dc`, saved, set to draw antialiased with the selected brush
// and pen (at least one logical pixel wide); the caller restores it.
QPainter& beginSmooth(Dc& dc) {
    QPainter& p = dc.painter();
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen = dc.pen();
    if (pen.style() != Qt::NoPen) {
        pen.setCosmetic(false);
        pen.setWidthF(std::max(1, pen.width()));
        pen.setJoinStyle(Qt::MiterJoin);
    }
    p.setPen(pen);
    p.setBrush(dc.brush());
    return p;
}

} // namespace

void ctlSmoothPolygon(Dc& dc, const QPointF* points, int count) {
    if (count < 2 || !dc.isActive())
        return;
    QPainter& p = beginSmooth(dc);
    // Pixel centres sit half a pixel into each pixel.
    p.translate(0.5, 0.5);
    p.drawPolygon(points, count, Qt::OddEvenFill);
    p.restore();
}

namespace {

void polygon(Dc& dc, std::initializer_list<QPoint> points) {
    if (ctlHiResDc(dc)) {
        std::vector<QPointF> exact(points.begin(), points.end());
        ctlSmoothPolygon(dc, exact.data(), int(exact.size()));
    } else {
        dc.polygon(points.begin(), int(points.size()));
    }
}

} // namespace

void ctlDrawCross(Dc& dc, int l, int t, int r, int b) {
    const int R = r - 1, B = b - 1;
    const int g = std::max(3, std::min(R - l, B - t) / 5);
    dc.selectPen(ctlPen(kCtlBlack));
    dc.selectBrush(ctlBrush(kCtlWhite));
    polygon(dc, {{l + g, t}, {R, B - g}, {R - g, B}, {l, t + g}});
    polygon(dc, {{l, B - g}, {R - g, t}, {R, t + g}, {l + g, B}});
}

void ctlDrawCorner(Dc& dc, int x, int y) {
    dc.selectPen(ctlPen(kCtlBlack));
    dc.selectBrush(ctlBrush(kCtlBrightRed));
    polygon(dc, {{x, y}, {x + 5, y}, {x, y + 5}});
}

void ctlDrawDot(Dc& dc, int x, int y) {
    dc.selectPen(ctlPen(kCtlBlack));
    dc.selectBrush(ctlBrush(kCtlBrightRed));
    if (!ctlHiResDc(dc)) {
        dc.ellipse(x - 2, y - 2, x + 2, y + 2);
        return;
    }
    // The ellipse covers the pixels whose centres lie in (x - 2, y - 2) to
    // (x + 2, y + 2); its outline is the ring of pixels just inside that edge.
    QPainter& p = beginSmooth(dc);
    p.drawEllipse(QRectF(x - 1.5, y - 1.5, 3.0, 3.0));
    p.restore();
}
