// Running an engine over a file instead of a playing stream: the few things a
// feeder that is not the stream thread needs to know to end cleanly. The
// blocks still go through meterFeed and the frames through the render thread,
// exactly as while playing.
#pragma once

#include <cstdint>

struct MeterEngine;

// Sample frames fed since the last frame boundary, not yet published in any
// frame. Feeding thread, between two meterFeed calls.
uint32_t meterUnpublishedFrames(const MeterEngine* engine);

// Returns once the render thread has taken and processed every published
// frame (at once for an engine without a render thread). Feeding thread,
// between two meterFeed calls; releasing the engine right after a feed could
// otherwise end the render thread before it has seen the last frame.
void meterWaitRendered(const MeterEngine* engine);
