// The render thread body: woken by the feeding thread for every published
// frame, it runs the frame's ballistics and drawing and reports completion.
#pragma once

struct MeterEngine;

// Thread entry; returns when the engine's `quit` is set.
void meterRenderThread(MeterEngine* e);

// Takes the newest published input into the render thread's frame. Returns
// false when no new input was published since the last take.
bool meterTakeFrameInput(MeterEngine* e);
