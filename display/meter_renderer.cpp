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
    if (!m_glyphs)
        m_glyphs = std::make_unique<GlyphAtlas>(ctlMakeFont(14, 400)); // palette font 4
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
    {
        std::lock_guard<std::mutex> guard(surface->lock);
        surface->channels.store(frame.in.channels, std::memory_order_relaxed);
        drew = meterDrawFrame(*surface, frame, m_palette, *m_glyphs);
    }
    if (drew)
        surface->ringWake();
}
