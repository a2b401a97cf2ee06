#include "analysis/analysis_loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <limits>

namespace {

constexpr double kMinusInf = -std::numeric_limits<double>::infinity();

int addToState(ebur128_state* st, const int16_t* s, size_t n) {
    return ebur128_add_frames_short(st, s, n);
}
int addToState(ebur128_state* st, const float* s, size_t n) {
    return ebur128_add_frames_float(st, s, n);
}

} // namespace

LoudnessMeter::LoudnessMeter(int channels, uint32_t sampleRate, What what)
    : m_channels(channels), m_hop(std::max(1u, sampleRate / 10)), m_momentaryMax(kMinusInf),
      m_shortTermMax(kMinusInf) {
    m_truePeakOnly = what == What::TruePeak;
    m_state = ebur128_init(static_cast<unsigned>(channels), sampleRate,
                           m_truePeakOnly ? EBUR128_MODE_TRUE_PEAK
                                          : EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I |
                                                EBUR128_MODE_LRA);
}

LoudnessMeter::~LoudnessMeter() {
    if (m_state) {
        ebur128_destroy(&m_state);
    }
}

template <typename T> void LoudnessMeter::addFrames(const T* s, uint32_t frames) {
    if (m_truePeakOnly) {
        addToState(m_state, s, frames);
        return;
    }
    // Fed in pieces that end on the 100 ms grid of the file, where the
    // momentary and short-term values are looked at.
    while (frames > 0) {
        const uint32_t n = std::min(frames, m_hop - m_sinceHop);
        addToState(m_state, s, n);
        s += static_cast<size_t>(n) * static_cast<size_t>(m_channels);
        frames -= n;
        m_sinceHop += n;
        if (m_sinceHop == m_hop) {
            m_sinceHop = 0;
            double v;
            if (ebur128_loudness_momentary(m_state, &v) == EBUR128_SUCCESS) {
                m_momentaryMax = std::max(m_momentaryMax, v);
            }
            if (ebur128_loudness_shortterm(m_state, &v) == EBUR128_SUCCESS) {
                m_shortTermMax = std::max(m_shortTermMax, v);
            }
        }
    }
}

void LoudnessMeter::add(const int16_t* s, uint32_t frames) {
    if (m_state) {
        addFrames(s, frames);
    }
}

void LoudnessMeter::add(const float* s, uint32_t frames) {
    if (m_state) {
        addFrames(s, frames);
    }
}

double LoudnessMeter::integrated() const {
    double v = kMinusInf;
    if (m_state) {
        ebur128_loudness_global(m_state, &v);
    }
    return v;
}

double LoudnessMeter::range() const {
    double v = 0.0;
    if (m_state) {
        ebur128_loudness_range(m_state, &v);
    }
    return v;
}

double LoudnessMeter::truePeak(int channel) const {
    double v = 0.0;
    if (m_state) {
        ebur128_true_peak(m_state, static_cast<unsigned>(channel), &v);
    }
    return v;
}
