// The knob's painting: the picture, the pointer and, when asked for, the
// trace of its moves.
#include "controls/rotatif.h"

#include "controls/ctl_core.h"
#include "controls/ctl_draw.h"
#include "controls/ctl_hires.h"
#include "controls/rotatif_parts.h"
#include "platform/dc.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

using namespace rotatif_parts;

void Rotatif::render() {
    const int w = width(), h = height();
    ctlFitSurface(m_surface, this, size());
    Dc dc(m_surface);
    // What shows outside the knob's circle.
    const QWidget* p = parentWidget();
    dc.fillRect(0, 0, w, h, p ? p->palette().brush(p->backgroundRole()) : QBrush(Qt::black));
    if (!ctlHiResDc(dc))
        ctlBlitRound(dc, m_picture, m_mask, 0, 0, w, h);
    else
        ctlBlitSharp(dc, m_picture, 0, 0, w, h); // paintEvent clips to the disc
    if (!controlEnabled()) {
        ctlDrawCross(dc, 4, 4, w - 4, h - 4);
        return;
    }
    if (focusMarked())
        ctlDrawDot(dc, m_centreX, h * 3 / 4); // a knob is always round
    if (ctlOptions().rotMove && m_shownAngle != m_initialAngle)
        paintMoves(dc);
    paintPointer(dc);
}

void Rotatif::paintMoves(Dc& dc) {
    const float tc = m_range.fromStart(m_shownAngle);
    const float ti = m_range.fromStart(m_initialAngle);
    const bool below = tc < ti; // the value is below its initial value
    const float cs = std::cos(m_shownAngle), ss = std::sin(m_shownAngle);
    const float ci = std::cos(m_initialAngle), si = std::sin(m_initialAngle);
    const bool hiRes = ctlHiResDc(dc);
    // In degrees, counter-clockwise from the first radial to the second.
    const double start = (below ? m_initialAngle : m_shownAngle) * 180.0 / std::numbers::pi;
    double span = std::fmod(
        (below ? m_shownAngle : m_initialAngle) * 180.0 / std::numbers::pi - start + 720.0, 360.0);
    if (span <= 0.0)
        span += 360.0;
    const auto sector = [&](float r, bool outer) {
        const int R = rnd(r);
        const QPoint P(m_centreX + rnd(r * cs), m_centreY + rnd(-r * ss));
        const QPoint Q(m_centreX + rnd(r * ci), m_centreY + rnd(-r * si));
        if (P == Q)
            return false;
        const QPoint from = below ? Q : P, to = below ? P : Q;
        const int l = m_centreX - R, t = m_centreY - R, rr = m_centreX + R - 1,
                  b = m_centreY + R - 1;
        if (hiRes) {
            // The same sector from its exact angles at the device's resolution.
            QPainter& painter = dc.painter();
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, !outer); // XOR touches each pixel once
            painter.setCompositionMode(outer ? QPainter::RasterOp_SourceXorDestination
                                             : QPainter::CompositionMode_SourceOver);
            painter.setPen(QPen(ctlColor(outer ? 15 : 0), 1.0));
            painter.setBrush(outer ? Qt::NoBrush : ctlBrush(below ? 8 : 2));
            painter.drawPie(QRectF(l, t, rr - l, b - t), int(std::lround(start * 16)),
                            int(std::lround(span * 16)));
            painter.restore();
            return true;
        }
        if (outer) {
            dc.selectPen(ctlPen(kCtlWhite));
            dc.selectBrush(Dc::nullBrush());
            const Rop2 old = dc.setRop2(Rop2::XorPen);
            dc.pie(l, t, rr, b, from.x(), from.y(), to.x(), to.y());
            dc.setRop2(old);
        } else {
            dc.selectPen(ctlPen(kCtlBlack));
            dc.selectBrush(ctlBrush(below ? 8 : 2));
            dc.pie(l, t, rr, b, from.x(), from.y(), to.x(), to.y());
        }
        return true;
    };
    if (sector(width() * 0.5f, true))
        sector(width() * 0.3f, false);
}

void Rotatif::paintPointer(Dc& dc) {
    const uint32_t style = m_range.style;
    dc.selectPen(ctlPen(static_cast<int>(style & kKnobPenMask)));
    dc.selectBrush(ctlBrush(static_cast<int>((style & kKnobBrushMask) >> 4)));
    const float c = std::cos(m_shownAngle), s = std::sin(m_shownAngle);
    const float L = static_cast<float>(m_pointerLength), W = static_cast<float>(m_pointerWidth);
    QPoint B(m_centreX, m_centreY), D(rnd(L * c), rnd(-L * s));
    if (style & kKnobShortPointer) {
        B += QPoint(rnd(0.7f * L * c), rnd(-0.7f * L * s));
        D = QPoint(rnd(0.3f * L * c), rnd(-0.3f * L * s));
    }
    if (ctlHiResDc(dc)) {
        // The same needle from its exact angle, not from whole pixels.
        QPointF b(m_centreX, m_centreY), d(L * c, -L * s);
        if (style & kKnobShortPointer) {
            b += 0.7f * d;
            d *= 0.3;
        }
        const QPointF e(-0.5f * W * s, 0.5f * W * c), t = b + d;
        const QPointF poly[4] = {{b.x() + e.x(), b.y() - e.y()},
                                 {b.x() - e.x(), b.y() + e.y()},
                                 {t.x() - e.x(), t.y() + e.y()},
                                 {t.x() + e.x(), t.y() - e.y()}};
        ctlSmoothPolygon(dc, poly, 4);
        return;
    }
    const QPoint p(rnd(-0.5f * W * s), rnd(0.5f * W * c));
    const QPoint T = B + D;
    const QPoint poly[4] = {{B.x() + p.x(), B.y() - p.y()},
                            {B.x() - p.x(), B.y() + p.y()},
                            {T.x() - p.x(), T.y() + p.y()},
                            {T.x() + p.x(), T.y() - p.y()}};
    dc.polygon(poly, 4);
}

void Rotatif::paintEvent(QPaintEvent* /*event*/) {
    render();
    QPainter painter(this);
    if (m_mask && devicePixelRatioF() != 1.0) {
        // The disc's edge at the screen's resolution, where the pictures
        // turn black.
        QPainterPath disc;
        disc.addEllipse(QRectF(0, 0, m_mask->width(), m_mask->height()));
        painter.setClipPath(disc);
    } else {
        painter.setClipRegion(m_shape);
    }
    painter.drawImage(QPointF(0, 0), m_surface);
}

// ---- creation --------------------------------------------------------------

Rotatif* ctlCreateKnob(QWidget* parent, int id, int x, int y, uint32_t style, const QImage& picture,
                       int centreX, int centreY, int16_t startDegrees, int16_t endDegrees,
                       float minimum, float maximum, float defaultValue, float step,
                       CtlCallback callback, void* userData) {
    if (!parent || picture.isNull() || id < 0 || id >= 0x4000 ||
        !KnobRange::usable(minimum, maximum, defaultValue, step, style))
        return nullptr;
    style &= ~kKnobUseCallback;
    if (callback)
        style |= kKnobUseCallback;
    const KnobRange range =
        KnobRange::make(minimum, maximum, defaultValue, step, style, startDegrees, endDegrees);
    const CtlNotifier notifier{parent, callback, style, userData};
    auto* knob = new Rotatif(parent, id, picture, centreX, centreY, range, notifier);
    knob->move(x, y);
    knob->show();
    return knob;
}
