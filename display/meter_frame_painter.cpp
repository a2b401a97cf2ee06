#include "display/meter_frame_painter.h"

#include "controls/ctl_core.h"
#include "display/glyph_atlas.h"
#include "display/meter_layout.h"
#include "display/scale_marks.h"
#include "meter/meter_display_values.h"
#include "meter/meter_engine.h"
#include "options/meter_color_set.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
    s.fillSolid(sd.xb, y0, sd.xe, std::min(y1, bottom - std::max(d, 0)), pal.color[0]);
}

class FramePainter {
public:
    FramePainter(MeterSurface& s, const RenderPalette& pal, const GlyphAtlas& glyphs,
                 const MeterLayout& L)
        : m_s(s), m_pal(pal), m_glyphs(glyphs), m_L(L) {}

    // Erase within the bar area only: recorded pixels of an older, taller
    // layout must not reach the static parts above and below it.
    void erase(int l, int t, int r, int b) {
        m_s.fillSolid(l, std::max(t, kMeterBarTop), r, std::min(b, m_L.bottom + 1), m_pal.color[0]);
    }

    void text(int x, int y, const char* t, uint32_t rgb) { m_glyphs.draw(m_s, x, y, t, rgb); }

    void label(const Side& sd, int p, uint32_t fill, uint32_t textRgb, float value) {
        const int y = m_L.bottom - p;
        m_s.rectangle(sd.labelL, y - 15, sd.labelR, y + 1, m_pal.color[15],
                      RasterFill::solidColor(fill));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0.2f", static_cast<double>(value));
        text(sd.textX, y - 14, buf, textRgb);
        m_s.vline(sd.pointerX, y - 9, y + 1, m_pal.color[15]);
    }

    MeterSurface& m_s;
    const RenderPalette& m_pal;
    const GlyphAtlas& m_glyphs;
    const MeterLayout& m_L;
};

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
    const MeterLayout L =
        meterComputeLayout(surface.width(), surface.height(), in.channels, in.displayFlags);
    if (!L.fits())
        return false;
    FramePainter fp(surface, pal, glyphs, L);
    const uint32_t black = pal.color[0];
    const uint32_t white = pal.color[15];
    const RasterFill blackFill = RasterFill::solidColor(black);

    const bool linear = in.scaleMode != 0;
    const MeterScaleBounds sb = meterScaleBounds(in.minDb, in.maxDb, in.scaleMode);
    const float k = sb.hi > sb.lo ? static_cast<float>(L.H) / (sb.hi - sb.lo) : 0.0f;
    const auto px = [&](float y) { return scalePixel(y, sb.lo, k); };
    const auto v = [&](float db) { return linear ? std::pow(10.0f, db / 20.0f) : db; };
    const int Pn = px(v(pal.dbHead));
    const int Pc = px(v(pal.dbMax));
    const int Pz = px(v(0.0f));
    const int H = L.H;
    const int bottom = L.bottom;
    const bool peakOn = (in.peakOn & 1) != 0;
    const bool suppressPeak = linear && !peakOn;

    // What the bars on the picture show decides how much must be drawn.
    MeterDrawnState& drawn = surface.drawn;
    const int key[kDrawnKeySize] = {L.bw, L.x0, L.x1, bottom, Pn, Pc, L.stereo ? 2 : 1};
    const bool delta = drawn.known && std::equal(key, key + kDrawnKeySize, drawn.key) &&
                       drawn.black == black && sameFill(drawn.zones[0], pal.moy) &&
                       sameFill(drawn.zones[1], pal.nom) && sameFill(drawn.zones[2], pal.max);
    if (!delta && L.bars) {
        drawn = {};
        drawn.known = true;
        std::copy(key, key + kDrawnKeySize, drawn.key);
        drawn.black = black;
        drawn.zones[0] = pal.moy;
        drawn.zones[1] = pal.nom;
        drawn.zones[2] = pal.max;
    }

    if (L.bars) {
        const int count = L.stereo ? 2 : 1;
        for (int ch = 0; ch < count; ++ch) {
            const MeterReading& r = f.reading[ch];
            MeterHold& hold = f.hold[ch];
            const Side sd = sideOf(L, ch);
            const int Pp = px(r.peak);
            const int Pmp = px(hold.maxPeak);
            const int Pml = px(hold.maxLevel);
            const int d = std::min(peakOn ? Pp : px(r.level), H);

            // Bar: three zones from the zero line up to d, black above.
            // Only the rows that change are drawn when the picture already
            // shows this layout: those between the old and the new top, and
            // those under last frame's indicator and label lines.
            const auto rows = [&](int y0, int y1) {
                barRows(surface, pal, sd, d, Pn, Pc, bottom, y0, y1);
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

            if (L.wide()) {
                for (int p : {hold.levelLabelPixel, hold.peakLabelPixel}) {
                    if (p >= 0)
                        fp.erase(sd.eraseL, bottom - p - 16, sd.eraseR, bottom - p + 1);
                }
                if (hold.rangeHighPixel >= 0) {
                    const int lowPx = std::max(hold.rangeLowPixel, 0);
                    fp.erase(sd.rangeL, bottom - hold.rangeHighPixel, sd.rangeR,
                             bottom - lowPx + 1);
                    if (hold.rangeLowPixel > 15)
                        fp.erase(sd.eraseL, bottom - hold.rangeLowPixel + 1, sd.eraseR,
                                 bottom - hold.rangeLowPixel + 2 + glyphs.cellHeight());
                }

                // Dynamic range: ticks, number and bracket.
                const int Ph = px(r.rangeHigh);
                const int Pl = px(r.rangeLow);
                hold.rangeHighPixel = -1;
                hold.rangeLowPixel = -1;
                if (Ph > 0) {
                    const int top = std::min(Ph, H);
                    const int low = std::clamp(Pl, 0, top);
                    surface.hline(sd.tickFrom, sd.tickTo, bottom - top, pal.color[12]);
                    if (Pl >= 1 && Pl < H)
                        surface.hline(sd.tickFrom, sd.tickTo, bottom - Pl, pal.color[12]);
                    if (Pl > 15 && Pl < H) {
                        char buf[32];
                        std::snprintf(buf, sizeof buf, "%0.2f", static_cast<double>(r.rangeNumber));
                        fp.text(sd.textX, bottom - Pl + 1, buf, white);
                    }
                    surface.fill(sd.bracketL, bottom - top, sd.bracketR, bottom - low, pal.attn);
                    hold.rangeHighPixel = top;
                    hold.rangeLowPixel = Pl >= 1 && Pl < H ? Pl : low;
                }

                // Maximum level label.
                hold.levelLabelPixel = -1;
                if (!peakOn && Pml > 0 && Pml < H - 15) {
                    uint32_t fill = pal.color[14];
                    uint32_t textRgb = black;
                    if (Pml > Pc) {
                        fill = pal.color[11];
                        textRgb = white;
                    } else if (Pml > Pn) {
                        fill = pal.color[13];
                    }
                    fp.label(sd, Pml, fill, textRgb, r.shownMaxLevel);
                    surface.hline(sd.levelFrom, sd.levelTo, bottom - Pml, white);
                    hold.levelLabelPixel = Pml;
                }

                // Maximum peak label.
                hold.peakLabelPixel = -1;
                if (!suppressPeak && Pmp > 0 && Pmp < H - 15) {
                    uint32_t fill = pal.color[14];
                    uint32_t textRgb = black;
                    if (Pmp > Pc) {
                        textRgb = white;
                        fill = Pmp > Pz ? pal.color[2] : pal.color[11];
                    } else if (Pmp > Pn) {
                        fill = pal.color[13];
                    }
                    fp.label(sd, Pmp, fill, textRgb, r.shownMaxPeak);
                    surface.hline(sd.peakFrom, sd.peakTo, bottom - Pmp, white);
                    hold.peakLabelPixel = Pmp;
                }
            } else {
                hold.levelLabelPixel = -1;
                hold.peakLabelPixel = -1;
                hold.rangeHighPixel = -1;
                hold.rangeLowPixel = -1;
            }

            // Peak indicator, when the bar shows another quantity.
            if (!peakOn && !suppressPeak && Pp > 3 && Pp < H) {
                const uint32_t pen = Pp > Pz ? pal.maxBorderPen : pal.maxColorPen;
                surface.rectangle(sd.xb, bottom - Pp, sd.xe, bottom - Pp + 3, pen, blackFill);
                drawn.indicator[ch] = Pp;
            }
        }
    }

    if (L.correlator) {
        const float half = static_cast<float>(H) * 0.5f;
        // The track's right outline stays: the marker stops one pixel short.
        const int mL = L.c0 + 34;
        const int mR = L.c0 + L.bw + 31;
        const int prev = f.correlatorPixel;
        if (prev >= 0 && prev <= H) {
            const int y = bottom - prev;
            surface.fillSolid(mL, y - 5, mR, y + 6, pal.color[9]);
        }
        const int q = static_cast<int>(static_cast<double>(half) *
                                       (static_cast<double>(f.correlation) + 1.0));
        const int y = bottom - q;
        surface.fill(mL, y - 5, mR, y + 6,
                     q >= static_cast<int>(half) ? pal.corelOn : pal.corelOff);
        surface.hline(mL, mR, y, white);
        f.correlatorPixel = q;
    }

    if (meterFrameShowsLossWarning(in)) {
        surface.rectangle(0, 0, 100, 90, pal.color[1], RasterFill::solidColor(pal.color[1]));
        for (int i = 0; i < 7; ++i) {
            char buf[48];
            if (i == 2)
                std::snprintf(buf, sizeof buf, kFrameLossLines[2], static_cast<int>(in.lostFrames));
            else
                std::snprintf(buf, sizeof buf, "%s", kFrameLossLines[i]);
            fp.text(2, i * 12, buf, white);
        }
    }
    return true;
}
