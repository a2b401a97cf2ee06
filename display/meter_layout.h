// Geometry of the meter window's face, shared by the static painter (main
// thread) and the frame renderer (render thread). Both recompute it from the
// client size, the channel count and the display flags, so the two never
// have to agree through shared state.
//
// Pure computation: no Qt, no allocation; safe on any thread.
#pragma once

#include <cstdint>

// The loudness figures: five lines of this height under the loudness bars,
// or ten in a column narrower than kLoudnessWide.
constexpr int kLoudnessLine = 12;
constexpr int kLoudnessFigures = 5;
constexpr int kLoudnessWide = 90;

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
    // The loudness column, right of the rest (its own third of the width):
    // two bars over [kMeterBarTop, loudBottom), the figures below them down
    // to `bottom`.
    bool loudness = false;
    int lx = 0;           // left edge of the column
    int lw = 0;           // its width
    int loudBar = 0;      // width of one loudness bar
    int loudBottom = 0;   // y of the loudness bars' zero line
    bool stacked = false; // a narrow column: each figure under its name

    bool fits() const { return kind != MeterLayoutKind::None; }
    // Left edge of loudness bar 0 (momentary) or 1 (short-term), and of the
    // LUFS scale right of them.
    int loudX(int i) const { return lx + 4 + i * (loudBar + 2); }
    int loudScaleX() const { return loudX(2) + 2; }
    // Tops of the name and of the value of figure i under the loudness bars.
    int figureY(int i) const { return loudBottom + 4 + i * kLoudnessLine * (stacked ? 2 : 1); }
    int valueY(int i) const { return figureY(i) + (stacked ? kLoudnessLine : 0); }
    bool wide() const { return kind == MeterLayoutKind::Wide; }
};

// The top of the bar area; the title and mode boxes live above it.
constexpr int kMeterBarTop = 40;
// Smallest client height that leaves a 50-pixel bar area.
constexpr int kMeterMinClientHeight = 109;

// The wide layout (room for the side labels) is tried first, then the narrow
// one; `kind` is None when neither leaves bars of 8 pixels and a bar area of
// 50 pixels, or when nothing is shown at all. With `loudness`, the others
// share two thirds of the width and the loudness column takes the rest; it
// is left out where it would not leave bars of 4 pixels and 30 pixels high.
MeterLayout meterComputeLayout(int clientWidth, int clientHeight, int channels,
                               int32_t displayFlags, bool loudness = false);
