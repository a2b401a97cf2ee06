#include "analysis/analysis_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double kScale16 = 1.0 / 32768.0;

struct Pcm16Block {
    int32_t max[2] = {-32768, -32768};
    int32_t min[2] = {32767, 32767};
    int64_t squares[2] = {0, 0};
    int64_t cross = 0;
};

// Integer sums stay exact (products below 2^30 summed in 64 bits).
Pcm16Block scanStereoScalar(const int16_t* s, uint32_t frames, Pcm16Block b) {
    for (uint32_t i = 0; i < frames; ++i) {
        const int32_t l = s[2 * i];
        const int32_t r = s[2 * i + 1];
        b.max[0] = std::max(b.max[0], l);
        b.min[0] = std::min(b.min[0], l);
        b.max[1] = std::max(b.max[1], r);
        b.min[1] = std::min(b.min[1], r);
        b.squares[0] += l * l;
        b.squares[1] += r * r;
        b.cross += l * r;
    }
    return b;
}

#if defined(__SSE2__)
// Four stereo frames at a time: pmaddwd against the sample vector with one
// channel masked out gives each channel's squares, against the pair-swapped
// vector the cross products; the 32-bit results are widened into 64-bit sums.
Pcm16Block scanStereo(const int16_t* s, uint32_t frames) {
    const __m128i leftMask = _mm_set1_epi32(0x0000FFFF);
    const __m128i low32 = _mm_set1_epi64x(0xFFFFFFFF);
    __m128i mx = _mm_set1_epi16(-32768), mn = _mm_set1_epi16(32767);
    __m128i sqL = _mm_setzero_si128(), sqR = _mm_setzero_si128(), x = _mm_setzero_si128();
    // Two non-negative squares below 2^30 each sum to below 2^32: add lane
    // pairs unsigned, then widen.
    const auto addSquares = [&](__m128i& acc, __m128i sq) {
        const __m128i pairs = _mm_add_epi32(sq, _mm_srli_epi64(sq, 32));
        acc = _mm_add_epi64(acc, _mm_and_si128(pairs, low32));
    };
    uint32_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
        mx = _mm_max_epi16(mx, v);
        mn = _mm_min_epi16(mn, v);
        const __m128i l = _mm_and_si128(v, leftMask);
        const __m128i r = _mm_andnot_si128(leftMask, v);
        const __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
        addSquares(sqL, _mm_madd_epi16(l, v));
        addSquares(sqR, _mm_madd_epi16(r, v));
        const __m128i lr = _mm_madd_epi16(l, swapped);
        const __m128i sign = _mm_srai_epi32(lr, 31);
        x = _mm_add_epi64(x, _mm_unpacklo_epi32(lr, sign));
        x = _mm_add_epi64(x, _mm_unpackhi_epi32(lr, sign));
    }
    alignas(16) int16_t mxs[8], mns[8];
    alignas(16) int64_t a[2], b2[2], c[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(mxs), mx);
    _mm_store_si128(reinterpret_cast<__m128i*>(mns), mn);
    _mm_store_si128(reinterpret_cast<__m128i*>(a), sqL);
    _mm_store_si128(reinterpret_cast<__m128i*>(b2), sqR);
    _mm_store_si128(reinterpret_cast<__m128i*>(c), x);
    Pcm16Block b;
    for (int k = 0; k < 8; ++k) {
        b.max[k & 1] = std::max<int32_t>(b.max[k & 1], mxs[k]);
        b.min[k & 1] = std::min<int32_t>(b.min[k & 1], mns[k]);
    }
    b.squares[0] = a[0] + a[1];
    b.squares[1] = b2[0] + b2[1];
    b.cross = c[0] + c[1];
    return scanStereoScalar(s + 2 * i, frames - i, b);
}
#else
Pcm16Block scanStereo(const int16_t* s, uint32_t frames) {
    return scanStereoScalar(s, frames, Pcm16Block{});
}
#endif

Pcm16Block scanMono(const int16_t* s, uint32_t frames) {
    Pcm16Block b;
    int32_t mx = -32768, mn = 32767;
    int64_t sq = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const int32_t v = s[i];
        mx = std::max(mx, v);
        mn = std::min(mn, v);
        sq += v * v;
    }
    b.max[0] = mx;
    b.min[0] = mn;
    b.squares[0] = sq;
    return b;
}

} // namespace

void LevelStats::countRun(int ch, int polarity) {
    int& run = m_run[ch];
    if (polarity == 0) {
        run = 0;
        return;
    }
    run = (run > 0) == (polarity > 0) && run != 0 ? run + polarity : polarity;
    const int length = std::abs(run);
    if (length == 2) {
        clipped[ch] += 2;
        ++clipRuns[ch];
    } else if (length > 2) {
        ++clipped[ch];
    }
}

void LevelStats::addPcm16(const int16_t* s, uint32_t n) {
    const int c = channels > 1 ? 2 : 1;
    const Pcm16Block b = c == 2 ? scanStereo(s, n) : scanMono(s, n);
    bool touches = false;
    for (int ch = 0; ch < c; ++ch) {
        peak[ch] = std::max(peak[ch], std::max(b.max[ch], -b.min[ch]) * kScale16);
        sumSquares[ch] += static_cast<double>(b.squares[ch]) * kScale16 * kScale16;
        touches = touches || b.max[ch] >= fullScale16 || b.min[ch] == -32768;
    }
    cross += static_cast<double>(b.cross) * kScale16 * kScale16;
    frames += n;
    if (!touches) {
        m_run[0] = m_run[1] = 0;
        return;
    }
    // Rare: only blocks that reach full scale are walked sample by sample.
    for (uint32_t i = 0; i < n; ++i) {
        for (int ch = 0; ch < c; ++ch) {
            const int32_t v = s[i * c + ch];
            countRun(ch, v >= fullScale16 ? 1 : v == -32768 ? -1 : 0);
        }
    }
}

void LevelStats::addFloat(const float* s, uint32_t n) {
    const int c = channels > 1 ? 2 : 1;
    for (uint32_t i = 0; i < n; ++i) {
        for (int ch = 0; ch < c; ++ch) {
            const double v = s[i * c + ch];
            peak[ch] = std::max(peak[ch], std::fabs(v));
            sumSquares[ch] += v * v;
            countRun(ch, s[i * c + ch] >= fullScaleFloat ? 1 : s[i * c + ch] <= -1.0f ? -1 : 0);
        }
        if (c == 2) {
            cross += static_cast<double>(s[i * 2]) * s[i * 2 + 1];
        }
    }
    frames += n;
}
