// The interpolator runs one channel at a time over a chunk of samples laid out
// behind the samples it still needs from before (the history), so that every
// output is a dot product over consecutive floats: eight outputs at a time in
// one vector, the largest magnitude kept per lane. Phase 0 of the polyphase
// filter is the sample itself (its one coefficient is 1 at the centre), so it
// is covered by the sample peak and not computed again.
#include "loudness/true_peak.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kTaps = 49;         // the filter's length at the output rate
constexpr uint32_t kChunk = 1024; // input frames measured at once
constexpr int kMaxHistory = 25;   // (kTaps + 1) / 2 for the 2x filter

// The helpers are always inlined: each build of the kernel below (plain and
// AVX2) passes vectors in its own registers, which a call between the two
// would not.
using Vec = float __attribute__((vector_size(32)));
constexpr int kLanes = 8;

[[gnu::always_inline]] inline Vec load(const float* p) {
    Vec v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline Vec vabs(Vec v) {
    return v < 0 ? -v : v;
}
[[gnu::always_inline]] inline Vec vmax(Vec a, Vec b) {
    return a > b ? a : b;
}

struct Peaks {
    float sample = 0;  // largest |x|
    float between = 0; // largest |interpolated value| of phases 1..F-1
};

// The chunk starts at `x`; x[-1] .. x[1 - H] are the history. `coeff` holds
// H coefficients per phase 1..F-1, by delay.
template <int F, int H>
[[gnu::always_inline]] inline Peaks kernel(const float* x, uint32_t n, const float* coeff,
                                           Peaks p) {
    Vec ms = {}, mb = {};
    uint32_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        ms = vmax(ms, vabs(load(x + i)));
        for (int f = 1; f < F; ++f) {
            Vec acc = {};
            for (int d = 0; d < H; ++d) {
                acc += coeff[(f - 1) * H + d] * load(x + i - d);
            }
            mb = vmax(mb, vabs(acc));
        }
    }
    for (int l = 0; l < kLanes; ++l) {
        p.sample = std::max(p.sample, ms[l]);
        p.between = std::max(p.between, mb[l]);
    }
    for (; i < n; ++i) {
        p.sample = std::max(p.sample, std::fabs(x[i]));
        for (int f = 1; f < F; ++f) {
            float acc = 0;
            for (int d = 0; d < H; ++d) {
                acc += coeff[(f - 1) * H + d] * (x + i)[-d];
            }
            p.between = std::max(p.between, std::fabs(acc));
        }
    }
    return p;
}

// The kernel built for any x86-64 and, where the processor has them, for AVX2
// with fused multiply-adds, chosen when a TruePeak is made. (Not through
// ifunc clones: their resolvers run before a sanitizer's run-time starts.)
using PeaksFn = Peaks (*)(const float*, uint32_t, const float*, Peaks);

template <int F, int H> Peaks plain(const float* x, uint32_t n, const float* c, Peaks p) {
    return kernel<F, H>(x, n, c, p);
}
constexpr PeaksFn kPlain[] = {plain<4, 13>, plain<2, 25>, plain<1, 1>};

#if defined(__x86_64__)
template <int F, int H>
__attribute__((target("avx2,fma"))) Peaks wide(const float* x, uint32_t n, const float* c,
                                               Peaks p) {
    return kernel<F, H>(x, n, c, p);
}
constexpr PeaksFn kWide[] = {wide<4, 13>, wide<2, 25>, wide<1, 1>};
bool haveWide() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#else
constexpr PeaksFn kWide[] = {plain<4, 13>, plain<2, 25>, plain<1, 1>};
bool haveWide() {
    return false;
}
#endif

} // namespace

TruePeak::TruePeak(int channels, uint32_t sampleRate)
    : m_channels(std::clamp(channels, 1, kMaxChannels)), m_factor(sampleRate < 96000    ? 4
                                                                  : sampleRate < 192000 ? 2
                                                                                        : 1),
      m_history(m_factor > 1 ? (kTaps + m_factor - 1) / m_factor : 1), m_wide(haveWide()) {
    // Windowed sinc at the output rate; coefficient j belongs to phase j % F
    // and reaches j / F input samples back. Coefficients of no weight (the
    // sinc's zeros and the window's ends) are left out, as libebur128 does.
    m_coeff.assign(static_cast<size_t>(std::max(m_factor - 1, 1) * m_history), 0.0f);
    for (int j = 0; j < kTaps && m_factor > 1; ++j) {
        const double m = j - (kTaps - 1) / 2.0;
        double c = 1.0;
        if (std::fabs(m) > 1e-6) {
            c = std::sin(m * M_PI / m_factor) / (m * M_PI / m_factor);
        }
        c *= 0.5 * (1.0 - std::cos(2.0 * M_PI * j / (kTaps - 1)));
        if (std::fabs(c) > 1e-6 && j % m_factor != 0) {
            m_coeff[static_cast<size_t>((j % m_factor - 1) * m_history + j / m_factor)] =
                static_cast<float>(c);
        }
    }
    for (int ch = 0; ch < m_channels; ++ch) {
        m_line[ch].assign(kMaxHistory + kChunk, 0.0f);
    }
}

void TruePeak::reset() noexcept {
    for (int ch = 0; ch < m_channels; ++ch) {
        std::fill(m_line[ch].begin(), m_line[ch].end(), 0.0f);
        m_peak[ch] = 0.0;
    }
}

template <typename T> void TruePeak::addChunk(const T* s, uint32_t frames, float scale) noexcept {
    const int h = m_history;
    for (int ch = 0; ch < m_channels; ++ch) {
        float* x = m_line[ch].data() + h;
        for (uint32_t i = 0; i < frames; ++i) {
            x[i] = static_cast<float>(s[static_cast<size_t>(i) * m_channels + ch]) * scale;
        }
        const int k = m_factor == 4 ? 0 : m_factor == 2 ? 1 : 2;
        const Peaks p = (m_wide ? kWide : kPlain)[k](x, frames, m_coeff.data(), Peaks{});
        m_peak[ch] =
            std::max({m_peak[ch], static_cast<double>(p.sample), static_cast<double>(p.between)});
        // The newest samples become the next chunk's history.
        std::memmove(m_line[ch].data(), x + frames - h, static_cast<size_t>(h) * sizeof(float));
    }
}

void TruePeak::add(const int16_t* s, uint32_t frames) noexcept {
    for (uint32_t at = 0; at < frames; at += kChunk) {
        const uint32_t n = std::min(kChunk, frames - at);
        addChunk(s + static_cast<size_t>(at) * m_channels, n, 1.0f / 32768.0f);
    }
}

void TruePeak::add(const float* s, uint32_t frames) noexcept {
    for (uint32_t at = 0; at < frames; at += kChunk) {
        const uint32_t n = std::min(kChunk, frames - at);
        addChunk(s + static_cast<size_t>(at) * m_channels, n, 1.0f);
    }
}
