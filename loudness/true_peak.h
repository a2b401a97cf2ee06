// True peak per channel: the samples oversampled by a polyphase windowed-sinc
// interpolator (49 taps, Hann window; 4x below 96 kHz, 2x up to 192 kHz,
// none above), the largest magnitude of the result or of the samples
// themselves. The filter is libebur128's, so the figures match it.
#pragma once

#include <cstdint>
#include <vector>

class TruePeak {
public:
    static constexpr int kMaxChannels = 2;

    // Allocates everything the feeding needs.
    TruePeak(int channels, uint32_t sampleRate);

    // Interleaved frames, full scale 32768 or 1.0. Never allocates; safe on
    // the stream thread.
    void add(const int16_t* samples, uint32_t frames) noexcept;
    void add(const float* samples, uint32_t frames) noexcept;
    // Forgets the peaks and the interpolator's history.
    void reset() noexcept;

    double peak(int channel) const { return m_peak[channel]; } // linear, full scale 1.0
    // Runs the kernel built for any x86-64 even where AVX2 is there (tests).
    void usePlainKernel() { m_wide = false; }

private:
    template <typename T> void addChunk(const T* samples, uint32_t frames, float scale) noexcept;

    int m_channels;
    int m_factor;                            // output samples per input sample
    int m_history;                           // input samples the filter reaches back
    bool m_wide;                             // the AVX2 build of the kernel runs
    std::vector<float> m_coeff;              // phases 1..F-1, m_history coefficients each, by delay
    std::vector<float> m_line[kMaxChannels]; // per channel: history, then the chunk being measured
    double m_peak[kMaxChannels] = {};
};
