#include "loudness/live_loudness.h"

#include <algorithm>
#include <cmath>

LiveLoudness::LiveLoudness(int channels, uint32_t sampleRate)
    : m_meter(channels, sampleRate), m_peak(channels, sampleRate),
      m_channels(std::clamp(channels, 1, 2)) {}

void LiveLoudness::add(const float* samples, uint32_t frames) noexcept {
    m_meter.add(samples, frames);
    m_peak.add(samples, frames);
}

void LiveLoudness::reset() noexcept {
    m_meter.reset();
    m_peak.reset();
    m_readBlocks = ~uint64_t{0};
}

void LiveLoudness::read(LoudnessReading& out) const noexcept {
    if (m_readBlocks != m_meter.blocks()) {
        m_readBlocks = m_meter.blocks();
        m_integrated = static_cast<float>(m_meter.integrated());
        m_range = static_cast<float>(m_meter.range());
    }
    out.on = 1;
    out.momentary = static_cast<float>(m_meter.momentary());
    out.shortTerm = static_cast<float>(m_meter.shortTerm());
    out.momentaryMax = static_cast<float>(m_meter.momentaryMax());
    out.shortTermMax = static_cast<float>(m_meter.shortTermMax());
    out.integrated = m_integrated;
    out.range = m_range;
    for (int ch = 0; ch < 2; ++ch) {
        const double p = m_peak.peak(std::min(ch, m_channels - 1));
        out.truePeakMax[ch] = static_cast<float>(20.0 * std::log10(p)); // -inf for 0
    }
}
