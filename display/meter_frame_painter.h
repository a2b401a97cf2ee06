// The moving parts of the meter window, drawn for every display frame on the
// render thread: bars in three colour zones, the black erase above them, the
// peak indicator, the maximum labels, the dynamic-range bracket, the
// correlator marker and the frame-loss warning.
//
// Everything here runs on the render thread with the surface lock held; it
// neither allocates nor touches fonts, pens or brushes of the toolkit: the
// colours come pre-digested in a RenderPalette.
#pragma once

#include "display/meter_surface.h"
#include "meter/meter_frame.h"

#include <cstdint>

class GlyphAtlas;
struct MeterColorSet;

// The colours of a frame, taken from the control library's palette and the
// meter colour set.
struct RenderPalette {
    uint32_t color[16];  // palette colours 0..15, 0xffRRGGBB
    RasterFill moy;      // MoyBrushH: low zone
    RasterFill nom;      // nomBrushH: nominal zone
    RasterFill max;      // MaxBrushH: clip zone
    RasterFill attn;     // AttnBrushH: range bracket
    RasterFill corelOn;  // correlator marker, positive side
    RasterFill corelOff; // correlator marker, negative side
    uint32_t maxBorderPen = 0;
    uint32_t maxColorPen = 0;
    float dbHead = -12.0f; // nominal level, dB
    float dbMax = -3.0f;   // clip level, dB
};

// Digests a colour set. Reads only shared, immutable objects; no allocation.
void meterBuildRenderPalette(RenderPalette& out, const MeterColorSet& set);

// Draws the moving parts of `frame` into `surface` (lock held) and updates
// the frame's recorded pixels. Returns false when no layout fits (nothing
// drawn).
bool meterDrawFrame(MeterSurface& surface, MeterFrame& frame, const RenderPalette& palette,
                    const GlyphAtlas& glyphs);

// Whether a frame draws the frame-loss warning box.
inline bool meterFrameShowsLossWarning(const MeterFrameInput& in) {
    return in.notify == 1 && in.lostFrames > 0;
}

// The seven lines of the frame-loss warning, the third formatted with the count.
extern const char* const kFrameLossLines[7];
