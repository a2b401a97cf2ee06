// The X/Y scope's drawing: the graticule (its face, painted on the main thread
// with QPainter) and the trace (drawn by the render thread into the scope's
// surface with plain pixel writes, without allocation).
//
// Each sample pair is a point with mid (L + R) / 2 up and side (R - L) / 2
// across: a mono signal is a vertical line, the left channel alone the
// upper-left diagonal, the right alone the upper-right one, L = -R a
// horizontal line. The circle's radius stands for the range, the largest
// distance sqrt((L^2 + R^2) / 2) lately seen, so full-scale mono reaches
// it at 0 dBFS.
#pragma once

#include "meter/meter_settings_values.h"

#include <QImage>
#include <cstdint>

class GlyphAtlas;
class MeterScopeRing;
class MeterSurface;

// The range never falls below this, so that silence does not blow up the
// noise floor.
inline constexpr float kXyRangeFloorDb = -80.0f;
// Labels outside the circle: the room kept on each side, logical pixels.
inline constexpr int kXyMargin = 16;

// The settings the trace is drawn with, taken from a colour set's snapshot.
struct XyScopeLook {
    uint32_t beam = 0;      // 0xffRRGGBB of "Electron"
    uint32_t afterglow = 0; // 0xffRRGGBB of "Persistence"
    float beamSeconds = 0;  // DelayElectron: points younger than this are in the beam colour
    float glowSeconds = 0;  // DelayPersistence: then they fade to the afterglow and vanish
    float rangeRelease = 0; // RangeRelease, dB per second; 0 holds the range
};
XyScopeLook xyScopeLook(const MeterSettingsValues& values);

// What the render thread carries from frame to frame (the surface's lock).
struct XyTraceState {
    float rangeDb = kXyRangeFloorDb; // the circle's level, dBFS
    uint64_t seen = 0;               // pairs below this index have gone into the range
    bool started = false;            // the range has seen pairs
    int drawn[4] = {0, 0, 0, 0};     // device area the last trace covered (l, t, r, b)
};

// Takes the pairs from `seen` up to `end` into the range: a higher peak
// raises it at once; otherwise it falls by the release over their duration,
// never below the peak nor the floor.
void xyScopeUpdateRange(XyTraceState& state, const MeterScopeRing& ring, uint64_t end,
                        float release);
// "Reset Max detection": the range starts again from the trace now shown.
void xyScopeResetRange(XyTraceState& state, const MeterScopeRing& ring, uint64_t end,
                       const XyScopeLook& look);

// Main thread: the graticule on `face` (logical size width x height at the
// image's device pixel ratio): black, a grey circle, the axes and the L and R
// diagonals, and the labels "M", "S", "L", "R" outside the circle.
void xyScopePaintFace(QImage& face, int width, int height);

// `surface->lock` held: puts the face back where the last trace was, draws the
// pairs up to `end` that are younger than the beam and persistence delays,
// oldest first, and prints the range in the top-left corner. `face` has the
// surface's device size. Records what it covered in `state`.
void xyScopeDrawTrace(MeterSurface& surface, const QImage& face, XyTraceState& state,
                      const MeterScopeRing& ring, uint64_t end, const XyScopeLook& look,
                      const GlyphAtlas* glyphs);
