// The display frame: what the feeding thread hands to the render thread at a
// frame boundary, plus the ballistic state that the render thread carries from
// frame to frame.
//
// Ownership: `MeterFrameInput` is written by the feeding thread into a slot of
// its own and handed over by an atomic exchange (see meter_engine.cpp); the
// render thread copies the newest slot into `MeterFrame::in` when it wakes.
// Everything else in `MeterFrame` belongs to the render thread alone. Requests
// from other threads to reset that state travel as sequence numbers in the
// input and are applied by the render thread before it processes the frame.
#pragma once

#include "loudness/live_loudness.h"

#include <cstdint>

struct MeterEngine;
struct MeterWindow;

inline constexpr float kMeterSilenceDb = -200.0f; // scale value standing for silence
inline constexpr float kMeterFloor = 1e-10f;      // levels at or below count as 0

// One channel's accumulators of a frame. The render thread replaces the two
// sums by their means (mean absolute value, mean square).
struct MeterChannelSums {
    float peak;       // largest absolute sample
    float sumAbs;     // sum of absolute values, then their mean
    float sumSquares; // sum of squares, then their mean
};

struct MeterFrameInput {
    int32_t lostFrames;   // copy of the engine's lost-frame count
    int32_t notify;       // copy of notifyLoss
    uint32_t sampleCount; // sample frames accumulated in this frame
    MeterWindow* window;  // the meter window when published, or null
    int32_t channels;     // 1 mono; above 1 stereo
    // Copies of the derived coefficients at the time of publishing.
    float rangeStep;
    int32_t displayFlags;
    int32_t rmsOn;
    int32_t peakOn;
    int32_t scaleMode; // 0 dB, 1 linear
    float minDb;
    float maxDb;
    float dbOffset;
    float peakRelease;
    float powerRelease;
    float averageRelease;
    float powerAttack;
    float averageAttack;
    MeterChannelSums sums[2]; // left, right
    float crossSum;           // sum of left x right
    float phaseStep;          // correlator release per frame
    LoudnessReading loudness; // while the loudness is measured (meterSetLoudness)
    // Reset requests (see the top of this file).
    uint32_t levelResetSeq; // levels and correlation to 0
    uint32_t holdResetSeq;  // hold state to its start values
    uint32_t maxResetSeq;   // both maxima to -200
};

// Displayed levels: the ballistic state, amplitudes (power is a mean square).
struct MeterLevels {
    float peak;
    float average;
    float power;
};

// Hold state of one channel; values in scale units (dB on the dB scale,
// amplitude on the linear scale). The pixels belong to the renderer: it
// records what it drew so that the next frame can erase exactly that.
struct MeterHold {
    float maxPeak;          // -200 at start
    float maxLevel;         // -200 at start
    int32_t peakLabelPixel; // -1 = none
    int32_t levelLabelPixel;
    float rangeHigh; // -200 at start
    float rangeLow;  // 0 at start
    int32_t rangeHighPixel;
    int32_t rangeLowPixel;
};

// What the drawing of one channel uses in this frame, computed before the
// renderer is called.
struct MeterReading {
    float peak;         // scale value of the displayed peak (P)
    float level;        // scale value of the displayed RMS or average (L); -200 when not used
    float bar;          // the bar's value: P when the bar shows the peak, else L
    float shownMaxPeak; // maximum peak as a number to print (dB)
    float shownMaxLevel;
    float rangeHigh; // range marks as drawn (before this frame's convergence step)
    float rangeLow;
    float rangeNumber; // the dynamic range to print, dB
};

struct MeterFrame {
    MeterEngine* engine; // back pointer
    MeterFrameInput in;  // this frame's published values
    MeterLevels levels[2];
    MeterHold hold[2];
    float correlation;       // displayed correlation, -1..+1
    int32_t correlatorPixel; // last drawn correlator position, -1 = none
    MeterReading reading[2]; // valid while the level bars are shown
    // Reset sequence numbers already applied (render thread).
    uint32_t levelResetSeen;
    uint32_t holdResetSeen;
    uint32_t maxResetSeen;
};

// The start values of the hold state.
inline constexpr MeterHold kMeterHoldStart = {
    kMeterSilenceDb, kMeterSilenceDb, -1, -1, kMeterSilenceDb, 0.0f, -1, -1};
