#include "display/meter_static_painter.h"

#include "controls/ctl_core.h"
#include "display/loudness_view.h"
#include "display/meter_layout.h"
#include "display/scale_marks.h"
#include "display/scale_painter.h"
#include "platform/dc.h"

#include <algorithm>
#include <cstring>

namespace {

// A box in pen and brush `shade`, its text centred on one line.
void textBox(Dc& dc, int shade, int textColor, int font, int l, int t, int r, int b,
             const QString& text) {
    dc.selectPen(ctlPen(shade));
    dc.selectBrush(ctlBrush(shade));
    dc.rectangle(l, t, r, b);
    dc.setTextColor(ctlColor(textColor));
    dc.selectFont(ctlFont(font));
    dc.drawText(l, t, r, b, text, DcCenter | DcVCenter | DcSingleLine);
}

const char* modeText(const ChannelParams& p) {
    if (p.peakOn & 1)
        return "PEAK";
    return (p.rmsOn & 1) ? "RMS" : "Aver.";
}

// The loudness column: title, the two bars' heads, the LUFS scale with the
// target's tick, and the names of the figures printed by the frames.
void paintLoudness(Dc& dc, const MeterLayout& L, int target) {
    const int x = L.lx;
    const int right = L.lx + L.lw - 1;
    textBox(dc, 11, 14, 7, x + 2, 2, right, 20, QStringLiteral("LUFS"));
    textBox(dc, 11, 13, 5, L.loudX(0), 22, L.loudX(0) + L.loudBar, 39, QStringLiteral("M"));
    textBox(dc, 11, 13, 5, L.loudX(1), 22, L.loudX(1) + L.loudBar, 39, QStringLiteral("S"));
    dc.selectPen(ctlPen(12));
    dc.moveTo(x + 1, 22);
    dc.lineTo(x + 1, L.bottom + 17);
    const int H = L.loudBottom - kMeterBarTop;
    const int sx = L.loudScaleX();
    dc.selectFont(ctlFont(5));
    dc.setTextColor(ctlColor(kCtlWhite));
    for (int lufs = -50; lufs <= 0; lufs += 10) {
        const int y = L.loudBottom - loudnessPixel(static_cast<float>(lufs), H);
        dc.moveTo(sx, y);
        dc.lineTo(sx + 3, y);
        dc.drawText(sx + 6, y - 6, right + 2, y + 6, QString::number(lufs),
                    DcVCenter | DcSingleLine | DcNoClip);
    }
    const int ty = L.loudBottom - loudnessPixel(kLoudnessTargets[target].lufs, H);
    dc.selectPen(ctlPen(14));
    dc.moveTo(sx, ty);
    dc.lineTo(right, ty);
    static const char* const names[kLoudnessFigures] = {"I", "LRA", "S max", "TP L", "TP R"};
    dc.setTextColor(ctlColor(kCtlGrey180));
    for (int i = 0; i < kLoudnessFigures; ++i)
        dc.textOut(x + 4, L.figureY(i), QString::fromLatin1(names[i]));
}

} // namespace

void meterPaintStatic(Dc& dc, int clientWidth, int clientHeight, int channels,
                      const MeterParams& params, int loudnessTarget) {
    const ChannelParams& cp = params.left;
    const MeterLayout L = meterComputeLayout(clientWidth, clientHeight, channels, cp.displayFlags,
                                             loudnessTarget >= 0);
    dc.setBkMode(BkMode::Transparent);
    dc.selectFont(ctlFont(kCtlFont14Bold));
    if (!L.fits()) {
        dc.setTextColor(ctlColor(kCtlWhite));
        dc.textOut(2, 2, QStringLiteral("Not Enough"));
        dc.textOut(2, 12, QStringLiteral("Place"));
        return;
    }
    const int bw = L.bw;
    const int H = L.H;
    const bool wide = L.wide();

    if (L.bars) {
        int R;
        if (wide)
            R = L.stereo ? 2 * bw + 127 : bw + 77;
        else
            R = L.stereo ? 2 * bw + 31 : bw + 27;
        const size_t n = strnlen(params.windowName, sizeof params.windowName);
        textBox(dc, 11, 14, 7, 2, 2, R, 20,
                QString::fromLocal8Bit(params.windowName, static_cast<qsizetype>(n)));

        if (wide) {
            const QString mode = QString::fromLatin1(modeText(cp));
            textBox(dc, 11, 13, 5, 2, 22, bw + 48, 39, mode);
            textBox(dc, 11, 13, 5, 2, H + 41, bw + 48, H + 57, QStringLiteral("Left"));
            if (L.stereo) {
                textBox(dc, 11, 13, 5, bw + 82, 22, 2 * bw + 127, 39, mode);
                textBox(dc, 11, 13, 5, bw + 82, H + 41, 2 * bw + 127, H + 57,
                        QStringLiteral("Right"));
            }
        }

        const ScalePlan plan = cp.linearScale == 0 ? dbScalePlan(H, cp.L_MinDB, cp.L_MaxDB)
                                                   : linearScalePlan(H, cp.L_MinDB, cp.L_MaxDB);
        paintScalePlan(dc, plan, L.scaleX, L.scaleX + 30, L.bottom);
    }

    if (L.correlator) {
        const int c0 = L.c0;
        textBox(dc, 11, 14, 7, c0, 2, c0 + bw + (wide ? 60 : 32), 20, QStringLiteral("Phase"));
        dc.selectPen(ctlPen(kCtlGrey130));
        dc.moveTo(c0 + 1, 22);
        dc.lineTo(c0 + 1, H + 57);
        dc.selectPen(ctlPen(kCtlGrey84));
        dc.selectBrush(ctlBrush(kCtlGrey84));
        dc.rectangle(c0 + 2, 22, c0 + 33, H + 57);
        paintScalePlan(dc, correlatorScalePlan(H), c0 + 4, c0 + 32, L.bottom);
        dc.selectPen(ctlPen(kCtlBlack));
        dc.selectBrush(ctlBrush(kCtlGrey64));
        dc.rectangle(c0 + 33, 22, c0 + bw + 32, H + 57);
        if (wide) {
            dc.selectPen(ctlPen(kCtlGrey130));
            dc.moveTo(c0 + bw + 32, 22);
            dc.lineTo(c0 + bw + 32, H + 57);
            dc.selectPen(ctlPen(kCtlGrey84));
            dc.selectBrush(ctlBrush(kCtlGrey84));
            dc.rectangle(c0 + bw + 33, 22, c0 + bw + 63, H + 57);
            paintScalePlan(dc, phaseAngleScalePlan(H), c0 + bw + 33, c0 + bw + 63, L.bottom);
        }
    }
    if (L.loudness)
        paintLoudness(dc, L, std::min(loudnessTarget, kLoudnessTargetCount - 1));
}
