// The capture loop of a live input, shared by the program's stream thread and
// the headless analysis: open, prepare, one pre-roll transfer, start, then one
// recorded block per transfer until asked to stop or the device fails, and
// the device closed again. Only recorded blocks reach the sink (the silence a
// transfer gives before the first recording is not audio of the input);
// overruns are counted by the device (waveOverruns).
//
// Thread: the calling thread drives the device; the sink runs on it. Stopping
// from another thread: clear `running`, then waveRequestStop (a transfer
// waiting for the driver returns at once).
#pragma once

#include "audio/wave_device.h"

#include <atomic>
#include <cstdint>

struct CaptureLoop {
    WaveDevice* device = nullptr;        // opened here, closed again before return
    int pairA = 1, pairB = 2;            // 1-based channels metered when the device has more than 2
    uint8_t* raw = nullptr;              // one device block (waveBufferBytes)
    int16_t* picked = nullptr;           // one stereo block of the same frames, for a picked pair
    std::atomic<int>* running = nullptr; // loops while nonzero; the sink may clear it
    // Every recorded block, as interleaved 16-bit samples of 1 or 2 channels.
    void (*block)(void* ctx, const int16_t* samples, uint32_t frames) = nullptr;
    // Once, when the device begins to pace the blocks (may be null).
    void (*paced)(void* ctx) = nullptr;
    void* ctx = nullptr;
};

// 0 when the capture ran (and ended by `running` or a device failure), else
// the result of the step that failed to open (the device's error text says why).
int captureRun(const CaptureLoop& loop);
