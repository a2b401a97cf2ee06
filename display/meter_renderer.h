// The frame renderer that the engine's render thread calls, and the registry
// through which it finds the surface of the meter window a frame was
// published for.
//
// A frame carries the window handle that was current when it was published;
// by the time the render thread draws it, that window may have closed. The
// registry maps open windows to their surfaces under a small lock held only
// for the lookup, so a frame for a closed window finds nothing and draws
// nothing, and a frame that found a surface keeps it alive while it draws.
#pragma once

#include "display/glyph_atlas.h"
#include "display/meter_frame_painter.h"
#include "meter/meter_hooks.h"
#include "options/meter_color_set.h"

#include <memory>
#include <mutex>
#include <vector>

class MeterSurface;
struct MeterWindow;

class DisplayFrameRenderer : public MeterFrameRenderer {
public:
    static DisplayFrameRenderer& instance();

    // Render thread: ballistics are done; draws the moving parts into the
    // surface of the frame's window, if it is still open.
    void renderFrame(MeterFrame& frame) override;

    // Main thread, the surface's lock held: draws the surface's last frame
    // again onto a new face, whose moving parts would otherwise stay empty
    // until the next frame (none comes while the stream is stopped).
    void redrawLastFrame(MeterSurface& surface);

    // Main thread: a window opened or closed. Attaching gives a surface
    // without glyphs those of its ratio.
    void attach(const MeterWindow* window, std::shared_ptr<MeterSurface> surface);
    // Main thread: the labels' glyphs at `ratio` device pixels per logical
    // pixel, made on first use (they need the main thread's fonts) and kept.
    std::shared_ptr<const GlyphAtlas> glyphs(double ratio);
    void detach(const MeterWindow* window);
    std::shared_ptr<MeterSurface> find(const MeterWindow* window);

private:
    static constexpr int kSlots = 8;
    struct Slot {
        const MeterWindow* window = nullptr;
        std::shared_ptr<MeterSurface> surface;
    };

    std::mutex m_registryLock; // guards m_slots; held for a lookup or an update only
    Slot m_slots[kSlots];
    // Main thread only: the glyphs made so far, one set per ratio.
    std::vector<std::shared_ptr<const GlyphAtlas>> m_glyphs;

    // Render thread only: the colour set last digested and its palette.
    MeterColorSetPtr m_colorSet;
    RenderPalette m_palette{};
};
