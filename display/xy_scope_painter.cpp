#include "display/xy_scope_painter.h"

#include "controls/ctl_core.h"
#include "display/glyph_atlas.h"
#include "display/meter_surface.h"
#include "meter/meter_scope_ring.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kFullScale = 32768.0f; // the ring's samples are 16-bit
constexpr int kFadeSteps = 64;
// The graticule and every text in greys, never in the trace's colours.
constexpr uint32_t kTextGrey = 0xffa0a0a0u;
const QColor kCircleGrey(88, 88, 88);
const QColor kLineGrey(52, 52, 52);
const QColor kLabelGrey(150, 150, 150);

uint32_t fromColorRef(uint32_t ref) {
    return 0xff000000u | ((ref & 0xffu) << 16) | (ref & 0xff00u) | ((ref >> 16) & 0xffu);
}

uint32_t mix(uint32_t a, uint32_t b, int step, int steps) {
    auto channel = [&](int shift) {
        const int x = static_cast<int>((a >> shift) & 0xffu),
                  y = static_cast<int>((b >> shift) & 0xffu);
        return static_cast<uint32_t>(x + (y - x) * step / steps) << shift;
    };
    return 0xff000000u | channel(16) | channel(8) | channel(0);
}

// The oldest pair a trace of `look` shows, with `end` the newest + 1.
uint64_t traceStart(const MeterScopeRing& ring, uint64_t end, const XyScopeLook& look) {
    const double seconds = std::max(0.0f, look.beamSeconds) + std::max(0.0f, look.glowSeconds);
    const uint64_t length = static_cast<uint64_t>(std::ceil(seconds * ring.sampleRate()));
    const uint64_t start = end > length ? end - length : 0;
    return std::max(start, ring.oldestValid());
}

// The face back over the device area a = (l, t, r, b).
void restore(MeterSurface& s, const QImage& face, const int a[4]) {
    if (a[0] >= a[2] || a[1] >= a[3])
        return;
    const size_t bytes = static_cast<size_t>(a[2] - a[0]) * sizeof(uint32_t);
    for (int y = a[1]; y < a[3]; ++y)
        std::memcpy(s.deviceRow(y) + a[0],
                    reinterpret_cast<const uint32_t*>(face.constScanLine(y)) + a[0], bytes);
    s.deviceChanged(a[0], a[1], a[2], a[3]);
}

// How pairs map to device pixels: centre, scale, dot size, picture size.
struct Plot {
    float cx, cy, k;
    int dot, dw, dh;
};

// Rounds through a positive bias: a plain conversion, where floor() may be
// a library call; the bias keeps float steps far below a pixel.
constexpr float kBias = 65536.5f;
constexpr int kBiasInt = 65536;

// Plots the pairs [from, to) in one colour and widens `a` over them.
void plotRun(MeterSurface& s, const MeterScopeRing& ring, uint64_t from, uint64_t to, const Plot& p,
             uint32_t color, int a[4]) {
    for (uint64_t i = from; i < to; ++i) {
        int16_t l, r;
        ring.get(i, l, r);
        const int x = static_cast<int>(p.cx + static_cast<float>(r - l) * p.k + kBias) - kBiasInt;
        const int y = static_cast<int>(p.cy - static_cast<float>(l + r) * p.k + kBias) - kBiasInt;
        if (x < 0 || y < 0 || x + p.dot > p.dw || y + p.dot > p.dh)
            continue;
        for (int j = 0; j < p.dot; ++j)
            std::fill_n(s.deviceRow(y + j) + x, p.dot, color);
        a[0] = std::min(a[0], x), a[1] = std::min(a[1], y);
        a[2] = std::max(a[2], x + p.dot), a[3] = std::max(a[3], y + p.dot);
    }
}

void grow(int a[4], int l, int t, int r, int b) {
    if (a[0] >= a[2] || a[1] >= a[3]) {
        a[0] = l, a[1] = t, a[2] = r, a[3] = b;
        return;
    }
    a[0] = std::min(a[0], l), a[1] = std::min(a[1], t);
    a[2] = std::max(a[2], r), a[3] = std::max(a[3], b);
}

} // namespace

XyScopeLook xyScopeLook(const MeterSettingsValues& v) {
    XyScopeLook look;
    look.beam = fromColorRef(v.Electron);
    look.afterglow = fromColorRef(v.Persistence);
    look.beamSeconds = std::clamp(v.DelayElectron, 0.0f, 1.0f);
    look.glowSeconds = std::clamp(v.DelayPersistence, 0.0f, 1.0f);
    look.rangeRelease = std::max(v.RangeRelease, 0.0f);
    return look;
}

void xyScopeUpdateRange(XyTraceState& state, const MeterScopeRing& ring, uint64_t end,
                        float release) {
    const uint64_t from = std::max(state.seen, ring.oldestValid());
    if (end <= from)
        return;
    float peak = 0.0f; // largest (L^2 + R^2) / 2
    for (uint64_t i = from; i < end; ++i) {
        int16_t l, r;
        ring.get(i, l, r);
        const float d = (static_cast<float>(l) * l + static_cast<float>(r) * r) * 0.5f;
        peak = std::max(peak, d);
    }
    const float peakDb =
        peak > 0.0f ? 10.0f * std::log10(peak / (kFullScale * kFullScale)) : kXyRangeFloorDb;
    const float seconds = static_cast<float>(end - from) / std::max(ring.sampleRate(), 1.0f);
    const float fallen = state.started ? state.rangeDb - release * seconds : kXyRangeFloorDb;
    state.rangeDb = std::max({peakDb, fallen, kXyRangeFloorDb});
    state.started = true;
    state.seen = end;
}

void xyScopeResetRange(XyTraceState& state, const MeterScopeRing& ring, uint64_t end,
                       const XyScopeLook& look) {
    state.started = false;
    state.rangeDb = kXyRangeFloorDb;
    state.seen = traceStart(ring, end, look);
    xyScopeUpdateRange(state, ring, end, look.rangeRelease);
}

void xyScopePaintFace(QImage& face, int width, int height) {
    face.fill(Qt::black);
    QPainter p(&face);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(width / 2.0, height / 2.0);
    const double r = std::max(1.0, std::min(width, height) / 2.0 - kXyMargin);
    const double d = r / std::sqrt(2.0);
    p.setPen(QPen(kLineGrey, 1));
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));         // M
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));         // S
    p.drawLine(QPointF(c.x() - d, c.y() - d), QPointF(c.x() + d, c.y() + d)); // L
    p.drawLine(QPointF(c.x() + d, c.y() - d), QPointF(c.x() - d, c.y() + d)); // R
    p.setPen(QPen(kCircleGrey, 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    p.setFont(ctlMakeFont(13, 700));
    p.setPen(kLabelGrey);
    const double out = r + kXyMargin / 2.0, diag = out / std::sqrt(2.0);
    auto label = [&](double x, double y, const char* text) {
        p.drawText(QRectF(x - 10, y - 8, 20, 16), Qt::AlignCenter, QString::fromLatin1(text));
    };
    label(c.x(), c.y() - out, "M");
    label(c.x() + out, c.y(), "S");
    label(c.x() - diag, c.y() - diag, "L");
    label(c.x() + diag, c.y() - diag, "R");
}

void xyScopeDrawTrace(MeterSurface& s, const QImage& face, XyTraceState& state,
                      const MeterScopeRing& ring, uint64_t end, const XyScopeLook& look,
                      const GlyphAtlas* glyphs) {
    const int dw = s.deviceWidth(), dh = s.deviceHeight();
    if (dw <= 0 || dh <= 0 || face.width() != dw || face.height() != dh)
        return;
    restore(s, face, state.drawn);
    const double ratio = s.ratio();
    const float radius = static_cast<float>(
        std::max(1.0, (std::min(s.width(), s.height()) / 2.0 - kXyMargin) * ratio));
    Plot plot;
    plot.k = radius / (kFullScale * std::pow(10.0f, state.rangeDb / 20.0f)) * 0.5f;
    plot.dot = std::max(1, static_cast<int>(std::lround(ratio)));
    plot.cx = dw * 0.5f - plot.dot * 0.5f, plot.cy = dh * 0.5f - plot.dot * 0.5f;
    plot.dw = dw, plot.dh = dh;
    uint32_t fade[kFadeSteps];
    for (int i = 0; i < kFadeSteps; ++i)
        fade[i] = mix(look.beam, look.afterglow, i, kFadeSteps - 1);
    const double rate = ring.sampleRate();
    const double beamPairs = look.beamSeconds * rate, glowPairs = look.glowSeconds * rate;
    // From the oldest point on, runs of one colour: the fade steps from the
    // afterglow back towards the beam (step s holds the ages from beam +
    // s / kFadeSteps of the persistence on), then the beam itself.
    int area[4] = {dw, dh, 0, 0};
    uint64_t i = traceStart(ring, end, look);
    for (int step = kFadeSteps - 1; step >= -1 && i < end; --step) {
        const double minAge = step < 0 ? 0.0 : beamPairs + step * glowPairs / kFadeSteps;
        const uint64_t older = static_cast<uint64_t>(std::ceil(minAge));
        const uint64_t stop = step < 0 ? end : older < end ? end - older : 0;
        if (stop > i)
            plotRun(s, ring, i, stop, plot, step < 0 ? look.beam : fade[step], area);
        i = std::max(i, stop);
    }
    if (area[0] < area[2])
        s.deviceChanged(area[0], area[1], area[2], area[3]);
    if (glyphs) {
        char text[32];
        std::snprintf(text, sizeof text, "%d dBFS", static_cast<int>(std::lround(state.rangeDb)));
        glyphs->draw(s, 4, 2, text, kTextGrey);
        grow(area, 0, 0, std::min(dw, s.toDevice(8 + glyphs->textWidth(text))),
             std::min(dh, s.toDevice(4 + glyphs->cellHeight())));
    }
    std::memcpy(state.drawn, area, sizeof area);
}
