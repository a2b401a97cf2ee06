#include "analysis/analysis_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kScale16 = 1.0 / 32768.0;

struct Pcm16Block {
    int32_t max[2] = {-32768, -32768};
    int32_t min[2] = {32767, 32767};
    int64_t squares[2] = {0, 0};
    int64_t cross = 0;
};

// Integer sums stay exact within a block (products below 2^30, blocks far
// below 2^33 frames) and let the compiler vectorise the loops.
Pcm16Block scanStereo(const int16_t* s, uint32_t frames) {
    Pcm16Block b;
    int32_t maxL = -32768, maxR = -32768, minL = 32767, minR = 32767;
    int64_t sqL = 0, sqR = 0, x = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const int32_t l = s[2 * i];
        const int32_t r = s[2 * i + 1];
        maxL = std::max(maxL, l);
        minL = std::min(minL, l);
        maxR = std::max(maxR, r);
        minR = std::min(minR, r);
        sqL += l * l;
        sqR += r * r;
        x += l * r;
    }
    b.max[0] = maxL;
    b.max[1] = maxR;
    b.min[0] = minL;
    b.min[1] = minR;
    b.squares[0] = sqL;
    b.squares[1] = sqR;
    b.cross = x;
    return b;
}

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
