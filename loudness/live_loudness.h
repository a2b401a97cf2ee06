// The loudness unit as a live stream uses it: the loudness figures and the
// true peak fed together, and read as one plain record that travels with the
// display frame.
#pragma once

#include "loudness/loudness_meter.h"
#include "loudness/true_peak.h"

#include <cstdint>

// What a frame carries to the display. LUFS, LU and dBTP; -inf for silence.
struct LoudnessReading {
    int32_t on;         // 0: loudness is not measured and the rest means nothing
    float momentary;    // the last 400 ms
    float shortTerm;    // the last 3 s
    float momentaryMax; // since the start or the last reset
    float shortTermMax;
    float integrated;
    float range;
    float truePeakMax[2]; // per channel; the right one repeats the left for mono
};

class LiveLoudness {
public:
    // Allocates everything the feeding needs.
    LiveLoudness(int channels, uint32_t sampleRate);

    // Interleaved frames, full scale 1.0. Never allocates; feeding thread.
    void add(const float* samples, uint32_t frames) noexcept;
    void reset() noexcept;
    // The figures as of now; the gated ones are worked out again only after
    // a new 100 ms block. Feeding thread.
    void read(LoudnessReading& out) const noexcept;

private:
    LoudnessMeter m_meter;
    TruePeak m_peak;
    int m_channels;
    mutable uint64_t m_readBlocks = ~uint64_t{0}; // blocks when the gated figures were read
    mutable float m_integrated = 0, m_range = 0;
};
