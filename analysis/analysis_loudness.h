// Loudness (EBU R128 / ITU-R BS.1770) and true peak through libebur128: the
// integrated loudness, the loudness range, and the highest momentary (400 ms)
// and short-term (3 s) loudness, looked at every 100 ms of audio.
#pragma once

#include <ebur128.h>

#include <cstdint>

class LoudnessMeter {
public:
    // The loudness figures, or (`truePeak`) the true peak alone: the 4x
    // oversampling costs several times the rest, so the two can run on two
    // threads.
    enum class What { Loudness, TruePeak };
    LoudnessMeter(int channels, uint32_t sampleRate, What what);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool ok() const { return m_state != nullptr; }
    void add(const int16_t* samples, uint32_t frames);
    void add(const float* samples, uint32_t frames);

    double integrated() const;
    double range() const;
    double momentaryMax() const { return m_momentaryMax; }
    double shortTermMax() const { return m_shortTermMax; }
    double truePeak(int channel) const; // linear, full scale 1.0

private:
    template <typename T> void addFrames(const T* samples, uint32_t frames);
    ebur128_state* m_state = nullptr;
    int m_channels;
    uint32_t m_hop;          // 100 ms of frames
    uint32_t m_sinceHop = 0; // frames since the last look
    bool m_truePeakOnly = false;
    double m_momentaryMax;
    double m_shortTermMax;
};
