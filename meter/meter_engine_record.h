// The engine record. Only the meter's own sources, its tests and benchmarks
// look inside; everyone else goes through meter_engine.h.
//
// Who owns what:
//   lock-guarded (any thread, under `lock`): coeffValid, feeding,
//     destroyPending, destroying, frozen, params on replacement, dbOffsetSetting, the
//     coefficient preparation.
//   feeding thread (the stream thread; the main thread only while no stream
//     runs): coeff after preparation, sampleCounter, samplesInFrame, the delay
//     lines, the accumulators, phaseStep, the back input slot.
//   render thread: `frame`, the front input slot.
//   atomics: the hand-off flags and counters, the reset sequence numbers, the
//     window handle (read at publication), the loudness switch.
//   loudness: allocated with the format (main thread, no stream running),
//     then fed, reset and read by the feeding thread alone.
#pragma once

#include "loudness/live_loudness.h"
#include "meter/meter_engine.h"
#include "meter/meter_frame.h"
#include "meter/meter_scope_ring.h"
#include "platform/manual_reset_event.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

// A ring of float samples long enough for the longest delay. The samples are
// kept in 16-bit units (full scale 32768); the accumulation scales its sums.
struct DelayLine {
    std::unique_ptr<float[]> data;
    uint32_t size = 0;  // entries
    uint32_t write = 0; // next write index
    uint32_t read = 0;  // next read index
};

// The line's delay in sample frames: the distance from the read to the write
// position (0 when the line hands on what it has just been given).
inline uint32_t delayLineDelay(const DelayLine& line) {
    return line.write >= line.read ? line.write - line.read : line.write + line.size - line.read;
}

// Sample i of a block as a line of delay d hands it on, before the
// accumulation moves the line on: the line's entry at read + i while i < d
// (written by earlier blocks), else the block's own sample i - d. `offset` is
// the channel's byte offset in a frame of `frameBytes`. The line holds whole
// 16-bit values, so the conversion back is exact.
inline int16_t delayLineOutput(const DelayLine& line, uint32_t d, uint32_t i,
                               const unsigned char* block, uint32_t frameBytes, uint32_t offset) {
    if (i >= d) {
        int16_t s;
        std::memcpy(&s, block + static_cast<size_t>(i - d) * frameBytes + offset, sizeof s);
        return s;
    }
    const uint32_t at = line.read + i;
    return static_cast<int16_t>(line.data[at < line.size ? at : at - line.size]);
}

// Coefficients derived from the parameters by meterPrepare.
struct MeterCoefficients {
    float rangeStep;
    float peakRelease;
    float powerRelease;
    float averageRelease;
    float minDb;
    float maxDb;
    float dbOffset;
    float powerAttack;
    float averageAttack;
    uint32_t samplesPerFrame;
    int32_t displayFlags;
    int32_t rmsOn;
    int32_t peakOn;
    int32_t scaleMode; // scale of the last preparation: 0 dB, 1 linear
};

struct MeterEngine {
    std::mutex lock;
    int coeffValid = 0;                        // lock
    int feeding = 0;                           // lock
    int destroyPending = 0;                    // lock: a release came while a block was fed
    int destroying = 0;                        // lock: destruction has begun
    int frozen = 0;                            // lock
    std::atomic<MeterWindow*> window{nullptr}; // stored under lock by the main thread
    MeterWindowContext context{};              // main thread
    float sampleRate = 44100.0f;               // main thread (format); read by the feeder
    int channels = 0;                          // idem; 0 until a format is set
    MeterParams params{};                      // replaced under lock by the main thread
    float dbOffsetSetting = 0.0f;              // display zero-point offset of the settings; lock
    MeterCoefficients coeff{};
    uint32_t sampleCounter = 0;  // feeder: sample frames since the last boundary
    uint32_t samplesInFrame = 0; // feeder: sample frames of the next frame
    DelayLine delay[2];          // feeder
    MeterChannelSums acc[2]{};   // feeder
    float crossSum = 0.0f;       // feeder
    float phaseStep = 0.0f;      // feeder (set by meterPrepare)
    int wideAccumulation = 1;    // feeder: 1 uses AVX2 where the processor has it (same sums)

    // Frame hand-off: three input slots. The feeder fills inputSlots[backSlot] and
    // exchanges it with `middleSlot` (index | kFreshBit); the render thread
    // exchanges its front slot with `middleSlot` when the fresh bit is set.
    MeterFrameInput inputSlots[3]{};
    int backSlot = 0;               // feeder
    int frontSlot = 1;              // render thread
    std::atomic<int> middleSlot{2}; // shared
    MeterFrame frame{};             // render thread

    std::thread renderThread; // started by meterCreate
    bool hasRenderThread = false;
    ManualResetEvent frameReady;    // a frame is published
    ManualResetEvent frameDone;     // the render thread finished a frame
    std::atomic<int> renderBusy{0}; // render thread: 1 while processing a frame
    std::atomic<int> quit{0};       // main: 1 tells the render thread to end
    std::atomic<int> published{0};  // feeder: 1 after a hand-over, cleared at the next boundary
    std::atomic<int> lostFrames{0}; // frames dropped in relax mode
    std::atomic<int> notifyLoss{1}; // the meter shows the frame-loss warning
    std::atomic<int> relaxMode{0};  // 1: the feeder never waits and drops frames instead
    std::atomic<int> paced{1};      // feeder: 0 from meterResetLevels until meterStreamPaced

    // The X/Y scope's ring: made by the main thread on the first meterSetScope
    // and kept until the engine goes, so that a feed that still found it
    // writes into live memory; `scopeRing` names it while the scope is on.
    std::unique_ptr<MeterScopeRing> scopeRingStore; // main thread
    std::atomic<MeterScopeRing*> scopeRing{nullptr};

    std::atomic<uint32_t> levelResetSeq{0};
    std::atomic<uint32_t> holdResetSeq{0};
    std::atomic<uint32_t> maxResetSeq{0};

    // Loudness of the delayed samples (the ones the bars measure).
    std::unique_ptr<LiveLoudness> loudness;    // with the format
    std::unique_ptr<float[]> loudnessSamples;  // feeder: a piece of delayed samples, interleaved
    std::atomic<int> loudnessOn{0};            // main: 1 while measured
    std::atomic<uint32_t> loudnessResetSeq{0}; // main: requests to start again
    uint32_t loudnessResetSeen = 0;            // feeder: the request last applied
    // Requests to start again with the samples that enter from now on: the
    // silence the delay lines were cleared to is not part of what is played.
    std::atomic<uint32_t> loudnessStartSeq{0};
    uint32_t loudnessStartSeen = 0; // feeder
    uint32_t loudnessSkip = 0;      // feeder: delayed frames still to leave out
};

// Sample frames of delayed samples handed to the loudness unit at once.
inline constexpr uint32_t kMeterLoudnessPiece = 1024;

// Feeds the block's delayed samples to the loudness unit while it is on:
// call before meterAccumulate moves the delay lines on. Feeding thread.
void meterFeedLoudness(MeterEngine* e, const unsigned char* samples, uint32_t frames,
                       uint32_t stride) noexcept;

inline constexpr int kMeterFreshBit = 4;

struct MeterSettingsValues;

// The channel parameters an engine starts with, from the display settings
// with the engine's clamps (a frame rate below 1 becomes 10).
ChannelParams meterCreationParams(const MeterSettingsValues& settings);

// Copies what a published frame carries (counts, coefficients, accumulators,
// reset requests) from the engine. Feeding thread.
void meterFillFrameInput(const MeterEngine& engine, MeterFrameInput& input);
