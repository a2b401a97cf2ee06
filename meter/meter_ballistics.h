// The measuring mathematics: coefficients from the parameters, the per-sample
// accumulation of the feeding thread and the per-frame ballistics of the
// render thread.
#pragma once

#include "meter/meter_frame.h"

#include <cstdint>

struct MeterEngine;

// Derives every coefficient from the left channel parameters (and the delay
// read positions from both), resetting the levels and hold state when the
// scale mode changed. Call with the engine lock held, or on the main thread
// while no stream runs. Sets coeffValid.
void meterPrepare(MeterEngine* e);

// The frame rate actually used for a stored value: values below 1 would
// leave the coefficients undefined and become the default of 10.
int32_t meterUsableFrameRate(int32_t nbFperS);
// The fastest display frame rate the menu and the options dialog offer; a
// stored value above it is loaded as this.
inline constexpr int32_t kMeterMaxFrameRate = 30;

// Accumulates `frames` sample frames of 16-bit little-endian samples; `stride`
// is the number of samples per frame in the block. Feeding thread; takes no
// lock, calls nothing, allocates nothing.
void meterAccumulate(MeterEngine* e, const unsigned char* samples, uint32_t frames,
                     uint32_t stride);

// One display frame on the render thread: reset requests, attack, correlation,
// maxima and range (while the bars are shown), the renderer, then the release.
void meterProcessFrame(MeterFrame& frame);
