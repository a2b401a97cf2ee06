// Running an engine over a file instead of a playing stream. The blocks still
// go through meterFeed, and every frame through the render thread's own steps
// (meterTakeFrameInput, meterProcessFrame), but on the feeding thread right
// after the feed that published it: no thread hand-off per frame, so a file
// is measured as fast as it can be read, with the same numbers.
#pragma once

#include <cstdint>

struct MeterEngine;

// An engine as meterCreate makes it, without a running render thread, in
// relax mode so that a frame boundary never waits. Main or any one thread.
MeterEngine* meterCreateOffline();

// After each meterFeed: runs the render thread's frame step (reset requests,
// ballistics, the installed frame renderer, release) on the frame that feed
// published. Returns 1 when there was one, else 0. Feeding thread.
int meterProcessPublished(MeterEngine* engine);

// Sample frames fed since the last frame boundary, not yet in any frame.
// Feeding thread, between two feeds.
uint32_t meterUnpublishedFrames(const MeterEngine* engine);

// Releases an engine of meterCreateOffline (never meterRelease: that would
// wait for a render thread which is gone).
void meterReleaseOffline(MeterEngine** engine);
