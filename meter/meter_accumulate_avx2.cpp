// The AVX2 build of the accumulation kernel (meter_accumulate_kernel.h): the
// eight lanes are one 256-bit register. Only this file is compiled for AVX2,
// and only when meterHasAvx2() says the processor runs it; the default build
// still runs on any x86-64.
#include "meter/meter_accumulate_avx2.h"

#include "meter/meter_engine_record.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if KC_METER_HAVE_AVX2

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include <immintrin.h>

namespace {

struct Vec {
    __m256 v;
};
inline Vec vzero() {
    return {_mm256_setzero_ps()};
}
inline Vec vadd(Vec a, Vec b) {
    return {_mm256_add_ps(a.v, b.v)};
}
inline Vec vmul(Vec a, Vec b) {
    return {_mm256_mul_ps(a.v, b.v)};
}
using Peak = __m256;
inline Peak peakZero() {
    return _mm256_setzero_ps();
}
inline Peak peakOf(Peak p, Vec a) {
    return _mm256_max_ps(p, a.v);
}
inline float peakMax(Peak p) {
    float f[8];
    _mm256_storeu_ps(f, p);
    float m = f[0];
    for (int k = 1; k < 8; ++k) {
        m = f[k] > m ? f[k] : m;
    }
    return m;
}
inline Vec vabs(Vec a) {
    return {_mm256_and_ps(a.v, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)))};
}
inline Vec vload(const float* p) {
    return {_mm256_loadu_ps(p)};
}
inline void vstore(float* p, Vec a) {
    _mm256_storeu_ps(p, a.v);
}
inline void vloadStereo(const unsigned char* p, Vec& l, Vec& r) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    l = {_mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(x, 16), 16))};
    r = {_mm256_cvtepi32_ps(_mm256_srai_epi32(x, 16))};
}
inline Vec vloadMono(const unsigned char* p) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return {_mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(x))};
}

} // namespace

#include "meter/meter_accumulate_kernel.h"

void meterAccumulateAvx2(MeterEngine* e, const unsigned char* samples, uint32_t frames,
                         uint32_t stride) {
    accumulateBlock(e, samples, frames, stride);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool meterHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#else

void meterAccumulateAvx2(MeterEngine*, const unsigned char*, uint32_t, uint32_t) {}

bool meterHasAvx2() {
    return false;
}

#endif
