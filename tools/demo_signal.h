// The bundled demo: 30 seconds of 16-bit stereo at 44.1 kHz that walks a
// level meter through its range, so a user sees every part of the display
// move without having a test file at hand.
//
// Timeline (seconds):
//   0.0 -  9.0  1 kHz tone on both channels in steps of 1.2 s at -40, -30, -20,
//               -12, -6, -3 and -1 dBFS, then 0.6 s at +3 dBFS clipped to full
//               scale (the over that a peak meter must catch)
//   9.0 - 14.0  440 Hz at -6 dBFS, both channels in phase (correlation +1)
//  14.0 - 19.0  the same tone, right = -left (correlation -1)
//  19.0 - 23.5  660 Hz at -6 dBFS on the left channel only (right silent)
//  23.5 - 26.5  a noise burst, uncorrelated channels, decaying exponentially
//  26.5 - 30.0  digital silence
// Every section fades in and out over 5 ms so that its edges do not click.
// The noise comes from a fixed-seed generator: the file is the same, bit for
// bit, on every build.
#pragma once

#include <cstdint>
#include <vector>

struct DemoTimeline {
    static constexpr uint32_t sampleRate = 44100;
    static constexpr double stepSeconds = 1.2;
    static constexpr double stepLevelsDb[] = {-40, -30, -20, -12, -6, -3, -1};
    static constexpr double overLevelDb = 3.0;
    static constexpr double clipStart = 8.4;
    static constexpr double inPhaseStart = 9.0;
    static constexpr double outOfPhaseStart = 14.0;
    static constexpr double leftOnlyStart = 19.0;
    static constexpr double noiseStart = 23.5;
    static constexpr double silenceStart = 26.5;
    static constexpr double end = 30.0;
    static constexpr double toneLevelDb = -6.0;
    static constexpr double fadeSeconds = 0.005;
};

// The demo as interleaved left/right samples.
std::vector<int16_t> makeDemoSignal();
