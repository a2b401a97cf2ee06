#include "loudness/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kMinusInf = -std::numeric_limits<double>::infinity();
// Below this a filter state is flushed to zero, so that silence never decays
// into denormal numbers (which cost a hundred times more).
constexpr double kTiny = 1e-30;

// A filter state to keep: tiny ones become zero, and so do NaN and infinity
// (a float file may hold them), which would otherwise stay in the recursion
// and silence every block after them.
double kept(double v) {
    return std::fabs(v) >= kTiny && std::isfinite(v) ? v : 0.0;
}

} // namespace

LoudnessMeter::LoudnessMeter(int channels, uint32_t sampleRate)
    : m_ok(channels >= 1 && channels <= kMaxChannels && sampleRate >= 16),
      m_channels(std::clamp(channels, 1, kMaxChannels)), m_hop(std::max(1u, (sampleRate + 5) / 10)),
      m_left(m_hop), m_momentaryMax(kMinusInf), m_shortTermMax(kMinusInf) {
    // The two stages of the K-weighting by their analogue prototypes (a high
    // shelf of +4 dB at 1.68 kHz, a high pass at 38 Hz), turned into biquads
    // for this sample rate by the bilinear transform.
    const double fs = std::max(16u, sampleRate);
    double k = std::tan(M_PI * 1681.974450955533 / fs);
    double q = 0.7071752369554196;
    const double vh = std::pow(10.0, 3.999843853973347 / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    m_shelf = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
               (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
               (1.0 - k / q + k * k) / a0};
    k = std::tan(M_PI * 38.13547087602444 / fs);
    q = 0.5003270373238773;
    a0 = 1.0 + k / q + k * k;
    m_highPass = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

void LoudnessMeter::reset() noexcept {
    m_left = m_hop;
    m_state = {};
    m_blockSum = 0.0;
    m_recent = {};
    m_blocks = 0;
    m_momentary = m_shortTerm = 0.0;
    m_momentaryMax = m_shortTermMax = kMinusInf;
    m_gating.clear();
    m_ranging.clear();
}

// Both stages for all channels, one frame after another. Each output is
// written so that the step that waits for the previous output is the last
// multiply-add, which keeps the recursion short.
template <int C, typename T>
void LoudnessMeter::filter(const T* s, uint32_t frames, double scale) noexcept {
    const Biquad a = m_shelf, b = m_highPass;
    double st[C][6];
    for (int c = 0; c < C; ++c) {
        std::copy(m_state[c].begin(), m_state[c].end(), st[c]);
    }
    double sum[C] = {};
    for (uint32_t i = 0; i < frames; ++i) {
        for (int c = 0; c < C; ++c) {
            // The last two inputs, shelf outputs (the high pass's inputs) and outputs.
            double* z = st[c];
            const double x = static_cast<double>(s[static_cast<size_t>(i) * C + c]) * scale;
            const double y = (a.b0 * x + a.b1 * z[0] + a.b2 * z[1] - a.a2 * z[3]) - a.a1 * z[2];
            const double w = (b.b0 * y + b.b1 * z[2] + b.b2 * z[3] - b.a2 * z[5]) - b.a1 * z[4];
            z[1] = z[0];
            z[0] = x;
            z[3] = z[2];
            z[2] = y;
            z[5] = z[4];
            z[4] = w;
            sum[c] += w * w;
        }
    }
    for (int c = 0; c < C; ++c) {
        for (int j = 0; j < 6; ++j) {
            m_state[c][j] = kept(st[c][j]);
        }
        m_blockSum += sum[c];
    }
}

template <typename T>
void LoudnessMeter::addFrames(const T* s, uint32_t frames, double scale) noexcept {
    if (!m_ok) {
        return;
    }
    while (frames > 0) {
        const uint32_t n = std::min(frames, m_left);
        if (m_channels == 2) {
            filter<2>(s, n, scale);
        } else {
            filter<1>(s, n, scale);
        }
        s += static_cast<size_t>(n) * static_cast<size_t>(m_channels);
        frames -= n;
        m_left -= n;
        if (m_left == 0) {
            endBlock();
        }
    }
}

void LoudnessMeter::add(const int16_t* s, uint32_t frames) noexcept {
    addFrames(s, frames, 1.0 / 32768.0);
}

void LoudnessMeter::add(const float* s, uint32_t frames) noexcept {
    addFrames(s, frames, 1.0);
}

// A block of 100 ms is whole. The windows are sums of the last 4 and 30
// block sums; adding 30 numbers every 100 ms costs nothing, and unlike a sum
// kept by adding the newest and taking off the oldest it never carries the
// rounding of a loud passage into the silence after it.
void LoudnessMeter::endBlock() noexcept {
    m_recent[m_blocks % kShortTermBlocks] = m_blockSum;
    ++m_blocks;
    m_blockSum = 0.0;
    m_left = m_hop;
    const int newest = static_cast<int>((m_blocks - 1) % kShortTermBlocks);
    double last4 = 0.0, last30 = 0.0;
    for (int j = 0; j < kShortTermBlocks; ++j) {
        const double v = m_recent[(newest + kShortTermBlocks - j) % kShortTermBlocks];
        last30 += v;
        last4 += j < 4 ? v : 0.0;
    }
    m_momentary = last4 / (4.0 * m_hop);
    m_shortTerm = last30 / (static_cast<double>(kShortTermBlocks) * m_hop);
    m_momentaryMax = std::max(m_momentaryMax, momentary());
    m_shortTermMax = std::max(m_shortTermMax, shortTerm());
    if (m_blocks >= 4) {
        m_gating.add(m_momentary);
    }
    if (m_blocks >= kShortTermBlocks) {
        m_ranging.add(m_shortTerm);
    }
}
