#include "display/meter_layout.h"

namespace {

constexpr int32_t kBarsBit = 0x00000001;
constexpr int32_t kCorrelatorBit = 0x10000000;

bool tryLayout(MeterLayout& out, MeterLayoutKind kind, int W, int h) {
    int n = 0;
    int g = 0;
    const bool wide = kind == MeterLayoutKind::Wide;
    if (out.bars) {
        n = out.stereo ? 2 : 1;
        g = wide ? (out.stereo ? 130 : 80) : 34;
    }
    if (out.correlator) {
        n += 1;
        g += wide ? 64 : 34;
    }
    if (n == 0)
        return false;
    const int bw = (W - g) / n;
    const int H = h - 60;
    if (bw < 8 || H < 50)
        return false;
    out.kind = kind;
    out.bw = bw;
    out.H = H;
    out.bottom = H + kMeterBarTop;
    out.x0 = wide ? 50 : 2;
    out.scaleX = out.x0 + bw;
    out.x1 = out.x0 + bw + 31;
    out.c0 = out.bars ? (wide ? 2 * bw + 130 : 2 * bw + 34) : 0;
    return true;
}

} // namespace

MeterLayout meterComputeLayout(int clientWidth, int clientHeight, int channels,
                               int32_t displayFlags, bool loudness) {
    MeterLayout out;
    out.stereo = channels > 1;
    out.bars = (displayFlags & kBarsBit) != 0;
    out.correlator = (displayFlags & kCorrelatorBit) != 0 && out.stereo;
    int W = clientWidth + 1;
    const int h = clientHeight + 1;
    if (loudness) {
        const int lw = W / 3;
        const int loudBar = (lw - 34) / 2;
        const bool stacked = lw < kLoudnessWide;
        const int loudBottom =
            h - 60 + kMeterBarTop - kLoudnessFigures * kLoudnessLine * (stacked ? 2 : 1) - 4;
        if (loudBar >= 4 && loudBottom - kMeterBarTop >= 30) {
            out.loudness = true;
            out.lw = lw;
            out.loudBar = loudBar;
            out.loudBottom = loudBottom;
            out.stacked = stacked;
            W -= lw;
            out.lx = W;
        }
    }
    if (tryLayout(out, MeterLayoutKind::Wide, W, h) ||
        tryLayout(out, MeterLayoutKind::Narrow, W, h))
        return out;
    // Too narrow for both: the rest keeps the whole width.
    if (out.loudness)
        return meterComputeLayout(clientWidth, clientHeight, channels, displayFlags, false);
    out.kind = MeterLayoutKind::None;
    return out;
}
