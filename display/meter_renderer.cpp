#include "display/meter_renderer.h"

#include "controls/ctl_core.h"
#include "display/meter_surface.h"
#include "options/meter_settings.h"

DisplayFrameRenderer& DisplayFrameRenderer::instance() {
    static DisplayFrameRenderer renderer;
    return renderer;
}

void DisplayFrameRenderer::attach(const MeterWindow* window,
                                  std::shared_ptr<MeterSurface> surface) {
    if (surface) {
        std::shared_ptr<const GlyphAtlas> atlas = glyphs(surface->ratio());
        std::lock_guard<std::mutex> guard(surface->lock);
        if (!surface->glyphs)
            surface->glyphs = std::move(atlas);
    }
    std::lock_guard<std::mutex> guard(m_registryLock);
    Slot* freeSlot = nullptr;
    for (Slot& s : m_slots) {
        if (s.window == window) {
            s.surface = std::move(surface);
            return;
        }
        if (!s.window && !freeSlot)
            freeSlot = &s;
    }
    if (freeSlot) {
        freeSlot->window = window;
        freeSlot->surface = std::move(surface);
    }
}

std::shared_ptr<const GlyphAtlas> DisplayFrameRenderer::glyphs(double ratio) {
    for (const auto& g : m_glyphs) {
        if (g->ratio() == ratio)
            return g;
    }
    m_glyphs.push_back(std::make_shared<GlyphAtlas>(ctlMakeFont(14, 400), ratio)); // palette font 4
    return m_glyphs.back();
}

void DisplayFrameRenderer::detach(const MeterWindow* window) {
    std::shared_ptr<MeterSurface> last;
    {
        std::lock_guard<std::mutex> guard(m_registryLock);
        for (Slot& s : m_slots) {
            if (s.window == window) {
                s.window = nullptr;
                last = std::move(s.surface);
            }
        }
    }
    // `last` may free the surface here, outside the registry lock.
}

std::shared_ptr<MeterSurface> DisplayFrameRenderer::find(const MeterWindow* window) {
    if (!window)
        return nullptr;
    std::lock_guard<std::mutex> guard(m_registryLock);
    for (const Slot& s : m_slots) {
        if (s.window == window)
            return s.surface;
    }
    return nullptr;
}

void DisplayFrameRenderer::renderFrame(MeterFrame& frame) {
    std::shared_ptr<MeterSurface> surface = find(frame.in.window);
    if (!surface)
        return;
    {
        MeterColorSetPtr set = GetMeterSettings()->colorSet.load();
        if (!set)
            return;
        if (set != m_colorSet) {
            meterBuildRenderPalette(m_palette, *set);
            m_colorSet = std::move(set);
        }
    }
    bool drew = false;
    bool sent = false;
    {
        std::lock_guard<std::mutex> guard(surface->lock);
        surface->channels.store(frame.in.channels, std::memory_order_relaxed);
        drew = surface->glyphs && meterDrawFrame(*surface, frame, m_palette, *surface->glyphs);
        surface->lastFrame = frame;
        surface->hasLastFrame = true;
        // The warning box covers static parts too (title, mode box, scale):
        // once the count is cleared only a new face removes all of it.
        const bool warning = drew && meterFrameShowsLossWarning(frame.in);
        if (surface->warningShown && !warning)
            surface->faceStale.store(true);
        surface->warningShown = warning;
        sent = drew && !surface->faceStale.load() && surface->sendChanged();
    }
    // The window is woken for a new face, or to show the frame itself when
    // the frame could not go to the screen directly.
    if (surface->faceStale.load() || (drew && !sent))
        surface->ringWake();
}

void DisplayFrameRenderer::redrawLastFrame(MeterSurface& surface) {
    if (!surface.hasLastFrame || !surface.glyphs)
        return;
    const MeterColorSetPtr set = GetMeterSettings()->colorSet.load();
    if (!set)
        return;
    RenderPalette palette{};
    meterBuildRenderPalette(palette, *set);
    // The face is new: nothing of an earlier frame is left to erase.
    MeterFrame f = surface.lastFrame;
    for (MeterHold& h : f.hold) {
        h.peakLabelPixel = h.levelLabelPixel = -1;
        h.rangeHighPixel = h.rangeLowPixel = -1;
    }
    f.correlatorPixel = -1;
    surface.warningShown =
        meterDrawFrame(surface, f, palette, *surface.glyphs) && meterFrameShowsLossWarning(f.in);
}
