// The transport: Play, Stop and Zero, the stream sizing, and the stream
// thread that moves the open WAV file to the output device block by block,
// handing every block to the meter engine just before it is queued, or that
// captures a live input and hands each recorded block to the engine.
//
// Ownership: the shell owns the Transport, the WaveDevice, the WavSource, the
// selection state and the engine variable, and points the Transport at them.
//   - main thread: everything here but the stream thread's body; it never
//     touches the device, the source or the block buffer while `running` is 1;
//   - stream thread: reads the source, feeds the engine, drives the device;
//     it never allocates, never touches widgets, and takes no lock of its own.
// Stopping clears `running`, wakes the device (a Transfer waiting for the
// driver returns at once) and joins the thread.
#pragma once

#include "audio/wav_source.h"
#include "audio/wave_device.h"
#include "meter/meter_engine.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

// Where the blocks go: the meter engine, or a test's recorder in front of it.
struct BlockSink {
    int (*isFeeding)(MeterEngine** engine);
    void (*feed)(MeterEngine** engine, const void* samples, uint32_t byteLength);
    void (*resetLevels)(MeterEngine** engine);
    // Told once per stream when the device begins to pace the blocks.
    void (*streamPaced)(MeterEngine** engine);
};

inline constexpr BlockSink kMeterSink = {meterIsFeeding, meterFeed, meterResetLevels,
                                         meterStreamPaced};

// The system's stream format: 44100 Hz, 2 channels, 16-bit PCM.
inline constexpr StreamFormat kStreamFormat = {44100, 2, 2};

struct Transport {
    WaveDevice* device = nullptr;
    WavSource* source = nullptr;
    WavSelection* selection = nullptr;
    MeterEngine** engine = nullptr;
    BlockSink sink = kMeterSink;

    std::atomic<int> running =
        0; // main thread sets (Play) and clears (Stop); the stream thread clears at its end
    std::thread thread; // main thread
    std::unique_ptr<uint8_t[]>
        block; // main thread sizes it; the stream thread fills it while running
    uint32_t blockFrames = 0;
    uint32_t blockBytes = 0;
    // Stream thread: called with one line (waveOpenFailureLine) when the
    // device cannot be opened; the stream then ends quietly as before.
    void (*reportOpenFailure)(const char* line) = nullptr;

    // A live input as the source (transportStartCapture): the stream thread
    // captures from it instead of playing the file. Main thread sets these
    // while no stream thread runs.
    WaveDevice* input = nullptr;
    int pairA = 1, pairB = 2;                // the channels metered of a capture with more than 2
    std::unique_ptr<uint8_t[]> captureBlock; // one input block
    std::unique_ptr<int16_t[]> pickedBlock;  // the metered pair of one input block
};

// Sizes the device and the block buffer for the latency. 0 on failure; the
// device's error text says why (the caller shows it with "Init Error").
// Never while running.
int transportOpenStream(Transport* t, float latencySeconds);
// Frees the block buffer (shut-down, after the stream has stopped).
void transportFreeBlock(Transport* t);

// The commands. Ignored while the file dialog is open or no file is open;
// Play also while running, Stop and Zero while not running.
void transportPlay(Transport* t);
void transportStop(Transport* t);
void transportZero(Transport* t);

// The latency command: refused (-1) while running; otherwise reopens the
// stream at the new latency: 1, or 0 when that failed (the device's error
// text says why).
int transportChangeLatency(Transport* t, float latencySeconds);

// Starts capturing from `input`, which is configured (inputChooseFormat) and
// not open, into the engine (already set to its format), with the levels
// reset. False when not idle or out of memory. The capture ends with
// transportStopThread, or by itself when the device fails (the server gone).
bool transportStartCapture(Transport* t, WaveDevice* input, int pairA, int pairB);
// The capture's device, while a capture is the stream, else null.
WaveDevice* transportCaptureDevice(const Transport* t);

void transportStartThread(Transport* t);
// Returns when no stream thread runs.
void transportStopThread(Transport* t);
bool transportIsRunning(const Transport* t);
