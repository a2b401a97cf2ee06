// The loudness view of the meter window: the delivery targets it offers,
// its two stored values and the pixel rows of its LUFS scale.
//
// The targets and the scale are plain data, safe on any thread; the stored
// values are read and written on the main thread.
#pragma once

#include <cstdint>

struct LoudnessTarget {
    const char* text; // the menu row
    float lufs;       // programme loudness, marked on the bars
    float truePeak;   // true-peak ceiling, dBTP: higher maxima are drawn red
};
inline constexpr int kLoudnessTargetCount = 4;
extern const LoudnessTarget kLoudnessTargets[kLoudnessTargetCount];

// The bars' scale, LUFS.
inline constexpr float kLoudnessScaleLow = -59.0f;
inline constexpr float kLoudnessScaleHigh = 0.0f;

// Height in pixels above the zero line of a loudness in a bar area of
// `height` pixels: 0 at or below the scale's low end (and for silence),
// `height` at or above its top.
int loudnessPixel(float lufs, int height);

// "Loudness (EBU R128)" (0 or 1) and "Loudness Target" (a row of the table),
// beside the meter window's other values. What a damaged store holds reads
// as off and as the first row.
int32_t meterReadStoredLoudness();
int meterReadStoredLoudnessTarget();
bool meterWriteStoredLoudness(int32_t on, int target);
