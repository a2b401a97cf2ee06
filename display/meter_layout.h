// Geometry of the meter window's face, shared by the static painter (main
// thread) and the frame renderer (render thread). Both recompute it from the
// client size, the channel count and the display flags, so the two never
// have to agree through shared state.
//
// Pure computation: no Qt, no allocation; safe on any thread.
#pragma once

#include <cstdint>

enum class MeterLayoutKind { None, Wide, Narrow };

struct MeterLayout {
    MeterLayoutKind kind = MeterLayoutKind::None;
    bool bars = false;       // level bars shown
    bool correlator = false; // correlator shown (needs stereo)
    bool stereo = false;
    int bw = 0;     // width of one bar
    int H = 0;      // height of the bar area
    int bottom = 0; // y of the bars' zero line (the bar area spans 40..bottom)
    int x0 = 0;     // left edge of the left bar
    int scaleX = 0; // left edge of the level scale column (30 pixels wide)
    int x1 = 0;     // left edge of the right bar (stereo)
    int c0 = 0;     // left edge of the correlator block

    bool fits() const { return kind != MeterLayoutKind::None; }
    bool wide() const { return kind == MeterLayoutKind::Wide; }
};

// The top of the bar area; the title and mode boxes live above it.
constexpr int kMeterBarTop = 40;
// Smallest client height that leaves a 50-pixel bar area.
constexpr int kMeterMinClientHeight = 109;

// The wide layout (room for the side labels) is tried first, then the narrow
// one; `kind` is None when neither leaves bars of 8 pixels and a bar area of
// 50 pixels, or when nothing is shown at all.
MeterLayout meterComputeLayout(int clientWidth, int clientHeight, int channels,
                               int32_t displayFlags);
