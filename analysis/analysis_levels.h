// Whole-file sample statistics: peak, sum of squares, cross sum and clipping
// per channel, gathered block by block on the reading thread.
#pragma once

#include <cstdint>

struct LevelStats {
    int channels = 2;
    // What counts as full scale: 16-bit samples at or above `fullScale16` or
    // at -32768; float samples at or above `fullScaleFloat` or at or below -1.
    int32_t fullScale16 = 32767;
    float fullScaleFloat = 1.0f;

    double peak[2] = {0, 0};       // largest absolute sample, full scale 1.0
    double sumSquares[2] = {0, 0}; // in full-scale units
    double cross = 0;              // sum of left x right
    uint64_t clipped[2] = {0, 0};  // samples in full-scale runs of two or more
    uint64_t clipRuns[2] = {0, 0};
    uint64_t frames = 0;

    // Interleaved blocks of `channels` samples per frame.
    void addPcm16(const int16_t* samples, uint32_t frames);
    void addFloat(const float* samples, uint32_t frames);

private:
    int m_run[2] = {0, 0}; // current full-scale run: length, signed by its polarity
    void countRun(int ch, int polarity);
};
