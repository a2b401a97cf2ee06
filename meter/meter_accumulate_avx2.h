// The AVX2 build of the feeding thread's accumulation, for x86-64 processors
// that have it. Everything else runs the baseline build in
// meter_accumulate.cpp; both give the same sums.
#pragma once

#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KC_METER_HAVE_AVX2 1
#else
#define KC_METER_HAVE_AVX2 0
#endif

struct MeterEngine;

// True when the processor (and the system) runs AVX2 code. Any thread.
bool meterHasAvx2();

// meterAccumulate with AVX2; call only when meterHasAvx2() is true.
void meterAccumulateAvx2(MeterEngine* e, const unsigned char* samples, uint32_t frames,
                         uint32_t stride);
