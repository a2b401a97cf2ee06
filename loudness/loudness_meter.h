// Loudness after ITU-R BS.1770 and EBU R128 / Tech 3341 / Tech 3342: the
// samples are K-weighted at the stream's own rate and their mean squares
// summed per 100 ms block. Every 100 ms the last 4 blocks give the momentary
// (400 ms) loudness and the last 30 the short-term (3 s) loudness, with
// silence before the start. Every momentary block of the programme goes into
// a gating histogram for the integrated loudness, every full short-term block
// into one for the loudness range. The true peak is TruePeak's (the costly
// part, which may run on a thread of its own).
#pragma once

#include "loudness/loudness_histogram.h"

#include <array>
#include <cstdint>

class LoudnessMeter {
public:
    static constexpr int kMaxChannels = 2;

    // Allocates everything the feeding needs.
    LoudnessMeter(int channels, uint32_t sampleRate);
    bool ok() const { return m_ok; }

    // Interleaved frames, full scale 32768 or 1.0. Never allocates; safe on
    // the stream thread.
    void add(const int16_t* samples, uint32_t frames) noexcept;
    void add(const float* samples, uint32_t frames) noexcept;
    // Starts the measurement again, as if nothing had been fed.
    void reset() noexcept;

    // LUFS (-inf for silence), as of the last whole 100 ms block.
    double momentary() const { return loudnessOfEnergy(m_momentary); }
    double shortTerm() const { return loudnessOfEnergy(m_shortTerm); }
    double momentaryMax() const { return m_momentaryMax; }
    double shortTermMax() const { return m_shortTermMax; }
    double integrated() const { return m_gating.gatedLoudness(10.0); }
    double range() const { return m_ranging.range(); } // LU
    uint64_t blocks() const { return m_blocks; }       // 100 ms blocks so far

private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };
    template <int C, typename T> void filter(const T* s, uint32_t frames, double scale) noexcept;
    template <typename T> void addFrames(const T* s, uint32_t frames, double scale) noexcept;
    void endBlock() noexcept;

    static constexpr int kShortTermBlocks = 30;
    bool m_ok;
    int m_channels;
    uint32_t m_hop;  // frames in 100 ms
    uint32_t m_left; // frames still missing from the current block
    Biquad m_shelf, m_highPass;
    // Per channel, direct form I: the last two inputs, shelf outputs and outputs.
    std::array<std::array<double, 6>, kMaxChannels> m_state{};
    double m_blockSum = 0; // squares of the current block, channels summed
    std::array<double, kShortTermBlocks> m_recent{}; // the last 30 block sums, a ring
    uint64_t m_blocks = 0;
    double m_momentary = 0, m_shortTerm = 0; // energies of the last windows
    double m_momentaryMax, m_shortTermMax;   // LUFS
    LoudnessHistogram m_gating;              // momentary blocks, for the integrated loudness
    LoudnessHistogram m_ranging;             // short-term blocks, for the loudness range
};
