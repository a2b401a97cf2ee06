// meterAccumulate (declared in meter_ballistics.h): the feeding thread's
// per-sample accumulation, eight sample frames at a time. The kernel itself is
// in meter_accumulate_kernel.h; this file gives it eight lanes in the form
// every processor of the platform runs (two SSE2 registers on x86-64, plain
// floats elsewhere) and hands a block to the AVX2 build of the same kernel
// (meter_accumulate_avx2.cpp) when the processor has AVX2. The two give the
// same sums to the bit, so which one runs never shows.
#include "meter/meter_ballistics.h"

#include "meter/meter_accumulate_avx2.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KC_METER_SSE2 1
#endif

namespace {

#if defined(KC_METER_SSE2)
struct Vec {
    __m128 lo; // lanes 0-3
    __m128 hi; // lanes 4-7
};
template <typename F> inline Vec both(Vec a, Vec b, F f) {
    return {f(a.lo, b.lo), f(a.hi, b.hi)};
}
inline Vec vzero() {
    return {_mm_setzero_ps(), _mm_setzero_ps()};
}
inline Vec vadd(Vec a, Vec b) {
    return both(a, b, [](__m128 x, __m128 y) { return _mm_add_ps(x, y); });
}
inline Vec vmul(Vec a, Vec b) {
    return both(a, b, [](__m128 x, __m128 y) { return _mm_mul_ps(x, y); });
}
inline Vec vabs(Vec a) {
    const __m128 m = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    return {_mm_and_ps(a.lo, m), _mm_and_ps(a.hi, m)};
}
inline Vec vload(const float* p) {
    return {_mm_loadu_ps(p), _mm_loadu_ps(p + 4)};
}
inline void vstore(float* p, Vec a) {
    _mm_storeu_ps(p, a.lo);
    _mm_storeu_ps(p + 4, a.hi);
}
// Eight interleaved stereo frames (32 bytes) into left and right lanes.
inline void vloadStereo(const unsigned char* p, Vec& l, Vec& r) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    l = {_mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(x, 16), 16)),
         _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(y, 16), 16))};
    r = {_mm_cvtepi32_ps(_mm_srai_epi32(x, 16)), _mm_cvtepi32_ps(_mm_srai_epi32(y, 16))};
}
// The running maximum folds the two halves into one register, which leaves
// enough registers for all the sums.
using Peak = __m128;
inline Peak peakZero() {
    return _mm_setzero_ps();
}
inline Peak peakOf(Peak p, Vec a) {
    return _mm_max_ps(p, _mm_max_ps(a.lo, a.hi));
}
inline float peakMax(Peak p) {
    float f[4];
    _mm_storeu_ps(f, p);
    const float x = f[0] > f[1] ? f[0] : f[1];
    const float y = f[2] > f[3] ? f[2] : f[3];
    return x > y ? x : y;
}
// Eight mono samples (16 bytes).
inline Vec vloadMono(const unsigned char* p) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return {_mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16)),
            _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16))};
}
#else
inline float sampleValue(const unsigned char* p) {
    int16_t s;
    std::memcpy(&s, p, sizeof s);
    return static_cast<float>(s);
}
struct Vec {
    float f[8];
};
template <typename F> inline Vec lanewise(F f) {
    Vec r;
    for (int k = 0; k < 8; ++k) {
        r.f[k] = f(k);
    }
    return r;
}
inline Vec vzero() {
    return Vec{};
}
inline Vec vadd(Vec a, Vec b) {
    return lanewise([&](int k) { return a.f[k] + b.f[k]; });
}
inline Vec vmul(Vec a, Vec b) {
    return lanewise([&](int k) { return a.f[k] * b.f[k]; });
}
using Peak = Vec;
inline Peak peakZero() {
    return Vec{};
}
inline Peak peakOf(Peak p, Vec a) {
    return lanewise([&](int k) { return a.f[k] > p.f[k] ? a.f[k] : p.f[k]; });
}
inline float peakMax(Peak p) {
    float m = p.f[0];
    for (int k = 1; k < 8; ++k) {
        m = p.f[k] > m ? p.f[k] : m;
    }
    return m;
}
inline Vec vabs(Vec a) {
    return lanewise([&](int k) { return a.f[k] < 0.0f ? -a.f[k] : a.f[k]; });
}
inline Vec vload(const float* p) {
    return lanewise([&](int k) { return p[k]; });
}
inline void vstore(float* p, Vec a) {
    std::memcpy(p, a.f, sizeof a.f);
}
inline void vloadStereo(const unsigned char* p, Vec& l, Vec& r) {
    l = lanewise([&](int k) { return sampleValue(p + 4 * k); });
    r = lanewise([&](int k) { return sampleValue(p + 4 * k + 2); });
}
inline Vec vloadMono(const unsigned char* p) {
    return lanewise([&](int k) { return sampleValue(p + 2 * k); });
}
#endif

} // namespace

#include "meter/meter_accumulate_kernel.h"

void meterAccumulate(MeterEngine* e, const unsigned char* samples, uint32_t frames,
                     uint32_t stride) {
    if (e->wideAccumulation != 0 && meterHasAvx2()) {
        meterAccumulateAvx2(e, samples, frames, stride);
    } else {
        accumulateBlock(e, samples, frames, stride);
    }
}
