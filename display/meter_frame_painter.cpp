#include "display/meter_frame_painter.h"

#include "controls/ctl_core.h"
#include "display/glyph_atlas.h"
#include "display/loudness_view.h"
#include "display/meter_layout.h"
#include "display/scale_marks.h"
#include "meter/meter_display_values.h"
#include "meter/meter_engine.h"
#include "options/meter_color_set.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

const char* const kFrameLossLines[7] = {"! Attention !",   "CPU overload :",   "%i frame(s) lost",
                                        "Max detection",   "May be Corrupted", "Restart Stream",
                                        "or reset detect."};

namespace {

uint32_t rgbOf(const QColor& c) {
    return 0xff000000u | (static_cast<uint32_t>(c.red()) << 16) |
           (static_cast<uint32_t>(c.green()) << 8) | static_cast<uint32_t>(c.blue());
}

void fillFromBrush(RasterFill& f, const QBrush& brush) {
    if (brush.style() == Qt::TexturePattern) {
        const QImage tex = brush.textureImage();
        if (tex.width() > 0 && tex.height() > 0) {
            f.solid = false;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    f.px[y * 8 + x] = 0xff000000u | tex.pixel(x % tex.width(), y % tex.height());
            return;
        }
    }
    f = RasterFill::solidColor(rgbOf(brush.color()));
}

// What one channel's side of the face needs.
struct Side {
    int xb, xe;           // bar edges
    int labelL, labelR;   // label boxes drawn
    int eraseL, eraseR;   // label boxes and range number erased
    int textX;            // label text and range number
    int rangeL, rangeR;   // ticks and bracket together (erase)
    int tickFrom, tickTo; // range tick, end excluded
    int bracketL, bracketR;
    int pointerX;           // the 10-pixel vertical pointer
    int levelFrom, levelTo; // level pointer into the bar
    int peakFrom, peakTo;   // maximum-peak line
};

Side sideOf(const MeterLayout& L, int ch) {
    Side s{};
    const int bw = L.bw;
    if (ch == 0) {
        s.xb = L.x0;
        s.xe = s.xb + bw;
        s.labelL = 0, s.labelR = 48;
        s.eraseL = 0, s.eraseR = 49;
        s.textX = 2;
        s.tickFrom = s.xb - 3, s.tickTo = s.xb - 15;
        s.bracketL = s.xb - 25, s.bracketR = s.xb - 14;
        s.rangeL = s.xb - 25, s.rangeR = s.xb - 2;
        s.pointerX = s.xb;
        s.levelFrom = s.xb, s.levelTo = bw < 32 ? s.xb + bw / 2 : s.xb + 15;
        s.peakFrom = s.xb, s.peakTo = s.xe - 1;
    } else {
        s.xb = L.x1;
        s.xe = s.xb + bw;
        s.labelL = s.xe + 1, s.labelR = s.xe + 49;
        s.eraseL = s.xe + 1, s.eraseR = s.xe + 50;
        s.textX = s.xe + 3;
        s.tickFrom = s.xe + 3, s.tickTo = s.xe + 15;
        s.bracketL = s.xe + 14, s.bracketR = s.xe + 25;
        s.rangeL = s.xe + 3, s.rangeR = s.xe + 25;
        s.pointerX = s.xe - 2;
        s.levelFrom = s.xe - 2, s.levelTo = bw < 32 ? s.xe - bw / 2 - 2 : s.xe - 15;
        s.peakFrom = s.xb, s.peakTo = s.xe - 2;
    }
    return s;
}

bool sameFill(const RasterFill& a, const RasterFill& b) {
    return a.solid == b.solid && std::equal(a.px, a.px + (a.solid ? 1 : 64), b.px);
}

// Rows [y0, y1) of a bar lit up to d: the three zones from the zero line,
// black above. Zone limits below the scale start at the zero line.
void barRows(MeterSurface& s, const RenderPalette& pal, const Side& sd, int d, int Pn, int Pc,
             int bottom, int y0, int y1) {
    y0 = std::max(y0, kMeterBarTop);
    y1 = std::min(y1, bottom);
    if (y0 >= y1)
        return;
    const auto band = [&](int t, int b, const RasterFill& f) {
        s.fill(sd.xb, std::max(t, y0), sd.xe, std::min(b, y1), f);
    };
    const int zn = std::max(Pn, 0);
    const int zc = std::max(Pc, 0);
    if (d > 0) {
        if (d < Pn) {
            band(bottom - d, bottom, pal.moy);
        } else {
            if (Pn >= 1)
                band(bottom - Pn, bottom, pal.moy);
            if (d < Pc) {
                band(bottom - d, bottom - zn, pal.nom);
            } else {
                if (Pc >= 1)
                    band(bottom - Pc, bottom - zn, pal.nom);
                band(bottom - d, bottom - zc, pal.max);
            }
        }
    }
    s.fillSolid(sd.xb, y0, sd.xe, std::min(y1, bottom - std::max(d, 0)), pal.color[kCtlBlack]);
}

// Drawing one frame: the named steps of meterDrawFrame share the surface,
// the palette, the layout and the scale's pixel mapping.
class FramePainter {
public:
    FramePainter(MeterSurface& s, const RenderPalette& pal, const GlyphAtlas& glyphs,
                 const MeterLayout& L, const MeterFrameInput& in)
        : m_s(s), m_pal(pal), m_glyphs(glyphs), m_L(L), m_linear(in.scaleMode != 0),
          m_peakOn((in.peakOn & 1) != 0), m_sb(meterScaleBounds(in.minDb, in.maxDb, in.scaleMode)) {
        m_k = m_sb.hi > m_sb.lo ? static_cast<float>(L.H) / (m_sb.hi - m_sb.lo) : 0.0f;
        m_Pn = px(v(pal.dbHead));
        m_Pc = px(v(pal.dbMax));
        m_Pz = px(v(0.0f));
        m_suppressPeak = m_linear && !m_peakOn;
    }

    void bars(MeterFrame& f);
    void correlator(MeterFrame& f);
    void lossBox(const MeterFrameInput& in);
    void loudness(const LoudnessReading& r, int target);

private:
    int px(float y) const { return scalePixel(y, m_sb.lo, m_k); }
    float v(float db) const { return m_linear ? std::pow(10.0f, db / 20.0f) : db; }

    // Erase within the bar area only: recorded pixels of an older, taller
    // layout must not reach the static parts above and below it.
    void erase(int l, int t, int r, int b) {
        m_s.fillSolid(l, std::max(t, kMeterBarTop), r, std::min(b, m_L.bottom + 1),
                      m_pal.color[kCtlBlack]);
    }
    void text(int x, int y, const char* t, uint32_t rgb) { m_glyphs.draw(m_s, x, y, t, rgb); }
    void label(const Side& sd, int p, uint32_t fill, uint32_t textRgb, float value) {
        const int y = m_L.bottom - p;
        m_s.rectangle(sd.labelL, y - 15, sd.labelR, y + 1, m_pal.color[kCtlWhite],
                      RasterFill::solidColor(fill));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0.2f", static_cast<double>(value));
        text(sd.textX, y - 14, buf, textRgb);
        m_s.vline(sd.pointerX, y - 9, y + 1, m_pal.color[kCtlWhite]);
    }

    bool startBars();
    void bar(MeterFrame& f, int ch, bool delta);
    void eraseLabels(const Side& sd, const MeterHold& hold);
    void range(const Side& sd, const MeterReading& r, MeterHold& hold);
    void labels(const Side& sd, const MeterReading& r, MeterHold& hold);
    void loudnessBar(int i, int lit, int target, bool whole);
    void figure(int i, float value, bool red);

    MeterSurface& m_s;
    const RenderPalette& m_pal;
    const GlyphAtlas& m_glyphs;
    const MeterLayout& m_L;
    bool m_linear, m_peakOn, m_suppressPeak = false;
    MeterScaleBounds m_sb;
    float m_k = 0;
    int m_Pn = 0, m_Pc = 0, m_Pz = 0;
};

// Whether the picture already shows the bars of this layout and these
// zones; if not, the record starts afresh and the bars are drawn whole.
bool FramePainter::startBars() {
    MeterDrawnState& drawn = m_s.drawn;
    const uint32_t black = m_pal.color[kCtlBlack];
    const int key[kDrawnKeySize] = {
        m_L.bw, m_L.x0, m_L.x1, m_L.bottom, m_Pn, m_Pc, m_L.stereo ? 2 : 1};
    const bool delta = drawn.known && std::equal(key, key + kDrawnKeySize, drawn.key) &&
                       drawn.black == black && sameFill(drawn.zones[0], m_pal.moy) &&
                       sameFill(drawn.zones[1], m_pal.nom) && sameFill(drawn.zones[2], m_pal.max);
    if (!delta) {
        drawn = {};
        drawn.known = true;
        std::copy(key, key + kDrawnKeySize, drawn.key);
        drawn.black = black;
        drawn.zones[0] = m_pal.moy;
        drawn.zones[1] = m_pal.nom;
        drawn.zones[2] = m_pal.max;
    }
    return delta;
}

void FramePainter::bars(MeterFrame& f) {
    const bool delta = startBars();
    for (int ch = 0; ch < (m_L.stereo ? 2 : 1); ++ch)
        bar(f, ch, delta);
}

// One channel: the bar, its labels and range, and the peak indicator.
void FramePainter::bar(MeterFrame& f, int ch, bool delta) {
    MeterDrawnState& drawn = m_s.drawn;
    const MeterReading& r = f.reading[ch];
    MeterHold& hold = f.hold[ch];
    const Side sd = sideOf(m_L, ch);
    const int bottom = m_L.bottom;
    const int Pp = px(r.peak);
    const int d = std::min(m_peakOn ? Pp : px(r.level), m_L.H);

    // Three zones from the zero line up to d, black above. Only the rows
    // that change are drawn when the picture already shows this layout:
    // those between the old and the new top, and those under last frame's
    // indicator and label lines.
    const auto rows = [&](int y0, int y1) {
        barRows(m_s, m_pal, sd, d, m_Pn, m_Pc, bottom, y0, y1);
    };
    if (!delta) {
        rows(kMeterBarTop, bottom);
    } else {
        const int oldTop = bottom - std::max(drawn.bar[ch], 0);
        const int newTop = bottom - std::max(d, 0);
        rows(std::min(oldTop, newTop), std::max(oldTop, newTop));
        if (drawn.indicator[ch] >= 0)
            rows(bottom - drawn.indicator[ch], bottom - drawn.indicator[ch] + 3);
        for (int p : {hold.levelLabelPixel, hold.peakLabelPixel}) {
            if (p >= 0)
                rows(bottom - p - 9, bottom - p + 1);
        }
    }
    drawn.bar[ch] = d;
    drawn.indicator[ch] = -1;

    if (m_L.wide()) {
        eraseLabels(sd, hold);
        range(sd, r, hold);
        labels(sd, r, hold);
    } else {
        hold.levelLabelPixel = -1;
        hold.peakLabelPixel = -1;
        hold.rangeHighPixel = -1;
        hold.rangeLowPixel = -1;
    }

    // Peak indicator, when the bar shows another quantity.
    if (!m_peakOn && !m_suppressPeak && Pp > 3 && Pp < m_L.H) {
        const uint32_t pen = Pp > m_Pz ? m_pal.maxBorderPen : m_pal.maxColorPen;
        m_s.rectangle(sd.xb, bottom - Pp, sd.xe, bottom - Pp + 3, pen,
                      RasterFill::solidColor(m_pal.color[kCtlBlack]));
        drawn.indicator[ch] = Pp;
    }
}

// Last frame's labels and range bracket go.
void FramePainter::eraseLabels(const Side& sd, const MeterHold& hold) {
    const int bottom = m_L.bottom;
    for (int p : {hold.levelLabelPixel, hold.peakLabelPixel}) {
        if (p >= 0)
            erase(sd.eraseL, bottom - p - 16, sd.eraseR, bottom - p + 1);
    }
    if (hold.rangeHighPixel >= 0) {
        const int lowPx = std::max(hold.rangeLowPixel, 0);
        erase(sd.rangeL, bottom - hold.rangeHighPixel, sd.rangeR, bottom - lowPx + 1);
        if (hold.rangeLowPixel > 15)
            erase(sd.eraseL, bottom - hold.rangeLowPixel + 1, sd.eraseR,
                  bottom - hold.rangeLowPixel + 2 + m_glyphs.cellHeight());
    }
}

// Dynamic range: ticks, number and bracket.
void FramePainter::range(const Side& sd, const MeterReading& r, MeterHold& hold) {
    const int bottom = m_L.bottom;
    const int H = m_L.H;
    const int Ph = px(r.rangeHigh);
    const int Pl = px(r.rangeLow);
    hold.rangeHighPixel = -1;
    hold.rangeLowPixel = -1;
    if (Ph <= 0)
        return;
    const int top = std::min(Ph, H);
    const int low = std::clamp(Pl, 0, top);
    m_s.hline(sd.tickFrom, sd.tickTo, bottom - top, m_pal.color[kCtlGrey130]);
    if (Pl >= 1 && Pl < H)
        m_s.hline(sd.tickFrom, sd.tickTo, bottom - Pl, m_pal.color[kCtlGrey130]);
    if (Pl > 15 && Pl < H) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0.2f", static_cast<double>(r.rangeNumber));
        text(sd.textX, bottom - Pl + 1, buf, m_pal.color[kCtlWhite]);
    }
    m_s.fill(sd.bracketL, bottom - top, sd.bracketR, bottom - low, m_pal.attn);
    hold.rangeHighPixel = top;
    hold.rangeLowPixel = Pl >= 1 && Pl < H ? Pl : low;
}

// The maximum level and maximum peak labels.
void FramePainter::labels(const Side& sd, const MeterReading& r, MeterHold& hold) {
    const int bottom = m_L.bottom;
    const int H = m_L.H;
    const uint32_t black = m_pal.color[kCtlBlack];
    const uint32_t white = m_pal.color[kCtlWhite];
    const int Pml = px(hold.maxLevel);
    const int Pmp = px(hold.maxPeak);
    hold.levelLabelPixel = -1;
    if (!m_peakOn && Pml > 0 && Pml < H - 15) {
        uint32_t fill = m_pal.color[kCtlGrey230];
        uint32_t textRgb = black;
        if (Pml > m_Pc) {
            fill = m_pal.color[kCtlGrey110];
            textRgb = white;
        } else if (Pml > m_Pn) {
            fill = m_pal.color[kCtlGrey180];
        }
        label(sd, Pml, fill, textRgb, r.shownMaxLevel);
        m_s.hline(sd.levelFrom, sd.levelTo, bottom - Pml, white);
        hold.levelLabelPixel = Pml;
    }
    hold.peakLabelPixel = -1;
    if (!m_suppressPeak && Pmp > 0 && Pmp < H - 15) {
        uint32_t fill = m_pal.color[kCtlGrey230];
        uint32_t textRgb = black;
        if (Pmp > m_Pc) {
            textRgb = white;
            fill = Pmp > m_Pz ? m_pal.color[kCtlBrightRed] : m_pal.color[kCtlGrey110];
        } else if (Pmp > m_Pn) {
            fill = m_pal.color[kCtlGrey180];
        }
        label(sd, Pmp, fill, textRgb, r.shownMaxPeak);
        m_s.hline(sd.peakFrom, sd.peakTo, bottom - Pmp, white);
        hold.peakLabelPixel = Pmp;
    }
}

void FramePainter::correlator(MeterFrame& f) {
    const int bottom = m_L.bottom;
    const float half = static_cast<float>(m_L.H) * 0.5f;
    // The track's right outline stays: the marker stops one pixel short.
    const int mL = m_L.c0 + 34;
    const int mR = m_L.c0 + m_L.bw + 31;
    const int prev = f.correlatorPixel;
    if (prev >= 0 && prev <= m_L.H) {
        const int y = bottom - prev;
        m_s.fillSolid(mL, y - 5, mR, y + 6, m_pal.color[kCtlGrey64]);
    }
    const int q =
        static_cast<int>(static_cast<double>(half) * (static_cast<double>(f.correlation) + 1.0));
    const int y = bottom - q;
    m_s.fill(mL, y - 5, mR, y + 6, q >= static_cast<int>(half) ? m_pal.corelOn : m_pal.corelOff);
    m_s.hline(mL, mR, y, m_pal.color[kCtlWhite]);
    f.correlatorPixel = q;
}

void FramePainter::lossBox(const MeterFrameInput& in) {
    m_s.rectangle(0, 0, 100, 90, m_pal.color[kCtlRed],
                  RasterFill::solidColor(m_pal.color[kCtlRed]));
    for (int i = 0; i < 7; ++i) {
        char buf[48];
        if (i == 2)
            std::snprintf(buf, sizeof buf, kFrameLossLines[2], static_cast<int>(in.lostFrames));
        else
            std::snprintf(buf, sizeof buf, "%s", kFrameLossLines[i]);
        text(2, i * 12, buf, m_pal.color[kCtlWhite]);
    }
}

// Rows of loudness bar i: lit in the low zone up to the target, in the clip
// zone above it, black above the top, and the target's mark across; only
// the rows between the old and the new top unless `whole`.
void FramePainter::loudnessBar(int i, int lit, int target, bool whole) {
    LoudnessDrawnState& drawn = m_s.loudDrawn;
    const int l = m_L.loudX(i);
    const int r = l + m_L.loudBar;
    const int bottom = m_L.loudBottom;
    const int oldTop = bottom - drawn.bar[i];
    const int top = bottom - lit;
    const int y0 = whole ? kMeterBarTop : std::min(oldTop, top);
    const int y1 = whole ? bottom : std::max(oldTop, top);
    drawn.bar[i] = lit;
    if (y0 >= y1)
        return;
    const int mark = bottom - target;
    m_s.fillSolid(l, y0, r, std::min(y1, top), m_pal.color[kCtlBlack]);
    m_s.fill(l, std::max(y0, top), r, std::min(y1, mark), m_pal.max);
    m_s.fill(l, std::max({y0, top, mark}), r, y1, m_pal.moy);
    if (mark >= y0 && mark < y1)
        m_s.hline(l, r, mark, m_pal.color[kCtlWhite]);
}

// Figure line i, right-aligned in the column; printed only when it changed.
void FramePainter::figure(int i, float value, bool red) {
    LoudnessDrawnState& drawn = m_s.loudDrawn;
    char buf[12];
    if (std::isfinite(value) && value > -100.0f && value < 1000.0f)
        std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(value));
    else
        std::snprintf(buf, sizeof buf, "--");
    const uint32_t rgb = red ? m_pal.color[kCtlBrightRed] : m_pal.color[kCtlWhite];
    if (std::strcmp(buf, drawn.text[i]) == 0 && drawn.textRgb[i] == rgb)
        return;
    std::memcpy(drawn.text[i], buf, sizeof buf);
    drawn.textRgb[i] = rgb;
    const int right = m_L.lx + m_L.lw - 2;
    const int y = m_L.valueY(i);
    m_s.fillSolid(right - m_glyphs.textWidth("-00.0") - 1, y, right + 1, y + kLoudnessLine,
                  m_pal.color[kCtlBlack]);
    text(right - m_glyphs.textWidth(buf), y, buf, rgb);
}

void FramePainter::loudness(const LoudnessReading& r, int target) {
    const LoudnessTarget& t = kLoudnessTargets[target];
    const int H = m_L.loudBottom - kMeterBarTop;
    LoudnessDrawnState& drawn = m_s.loudDrawn;
    const int key[5] = {m_L.lx, m_L.loudBar, m_L.loudBottom, target,
                        static_cast<int>(m_pal.color[kCtlBlack])};
    const bool whole = !drawn.known || !std::equal(key, key + 5, drawn.key);
    if (whole) {
        drawn = {};
        drawn.known = true;
        std::copy(key, key + 5, drawn.key);
    }
    const bool on = r.on != 0;
    const int mark = loudnessPixel(t.lufs, H);
    loudnessBar(0, on ? loudnessPixel(r.momentary, H) : 0, mark, whole);
    loudnessBar(1, on ? loudnessPixel(r.shortTerm, H) : 0, mark, whole);
    const float none = -std::numeric_limits<float>::infinity();
    figure(0, on ? r.integrated : none, false);
    figure(1, on ? r.range : none, false);
    figure(2, on ? r.shortTermMax : none, false);
    for (int ch = 0; ch < 2; ++ch) {
        const float tp = on ? r.truePeakMax[ch] : none;
        figure(3 + ch, tp, tp > t.truePeak);
    }
}

} // namespace

void meterBuildRenderPalette(RenderPalette& out, const MeterColorSet& set) {
    for (int i = 0; i < 16; ++i) {
        out.color[i] = rgbOf(ctlColor(i));
    }
    fillFromBrush(out.moy, set.MoyBrushH);
    fillFromBrush(out.nom, set.nomBrushH);
    fillFromBrush(out.max, set.MaxBrushH);
    fillFromBrush(out.attn, set.AttnBrushH);
    fillFromBrush(out.corelOn, set.CorelOnBrush);
    fillFromBrush(out.corelOff, set.CorelOffBrush);
    out.maxBorderPen = rgbOf(set.MaxBorderPen.color());
    out.maxColorPen = rgbOf(set.MaxColorPen.color());
    out.dbHead = set.values.dbHead;
    out.dbMax = set.values.dbMax;
}

bool meterDrawFrame(MeterSurface& surface, MeterFrame& f, const RenderPalette& pal,
                    const GlyphAtlas& glyphs) {
    const MeterFrameInput& in = f.in;
    const int target = std::min(surface.loudnessTarget, kLoudnessTargetCount - 1);
    const MeterLayout L = meterComputeLayout(surface.width(), surface.height(), in.channels,
                                             in.displayFlags, target >= 0);
    if (!L.fits())
        return false;
    FramePainter fp(surface, pal, glyphs, L, in);
    if (L.bars)
        fp.bars(f);
    if (L.correlator)
        fp.correlator(f);
    if (L.loudness)
        fp.loudness(in.loudness, target);
    if (meterFrameShowsLossWarning(in))
        fp.lossBox(in);
    return true;
}
