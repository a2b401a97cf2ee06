#include "tools/demo_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using T = DemoTimeline;

constexpr double fullScale = 32767.0;

double dbToGain(double db) {
    return std::pow(10.0, db / 20.0);
}

int frameAt(double seconds) {
    return static_cast<int>(std::lround(seconds * T::sampleRate));
}

int16_t toSample(double v) {
    return static_cast<int16_t>(std::clamp(std::lround(v * fullScale), -32768L, 32767L));
}

// Raised-cosine fade over the first and last fadeSeconds of a section.
double edgeGain(int frame, int length) {
    const int fade = frameAt(T::fadeSeconds);
    const int distance = std::min(frame, length - 1 - frame);
    if (distance >= fade)
        return 1.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * distance / fade);
}

// A deterministic generator whose output does not depend on the standard
// library's implementation, unlike std::uniform_real_distribution.
struct XorShift32 {
    uint32_t state;
    double nextSigned() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 2147483648.0 - 1.0;
    }
};

struct Writer {
    std::vector<int16_t>& out;
    int first; // first frame of the section
    void put(int frame, double left, double right) {
        out[2 * size_t(first + frame)] = toSample(left);
        out[2 * size_t(first + frame) + 1] = toSample(right);
    }
};

// The level steps and the clipped over, one phase-continuous 1 kHz tone whose
// amplitude glides between steps over the fade time.
void writeSteps(std::vector<int16_t>& out) {
    Writer w{out, 0};
    const int length = frameAt(T::inPhaseStart);
    const int stepFrames = frameAt(T::stepSeconds);
    const int glide = frameAt(T::fadeSeconds);
    std::vector<double> levels;
    for (double db : T::stepLevelsDb)
        levels.push_back(dbToGain(db));
    levels.push_back(dbToGain(T::overLevelDb));

    for (int i = 0; i < length; ++i) {
        const size_t step = std::min<size_t>(i / stepFrames, levels.size() - 1);
        double gain = levels[step];
        const int intoStep = i - int(step) * stepFrames;
        if (step > 0 && intoStep < glide)
            gain = levels[step - 1] + (gain - levels[step - 1]) * intoStep / glide;
        const double v = gain * edgeGain(i, length) *
                         std::sin(2 * std::numbers::pi * 1000.0 * i / T::sampleRate);
        w.put(i, v, v);
    }
}

void writeTone(std::vector<int16_t>& out, double start, double end, double hz, double rightSign) {
    const size_t first = size_t(frameAt(start));
    const int length = frameAt(end) - frameAt(start);
    const double gain = dbToGain(T::toneLevelDb);
    for (int i = 0; i < length; ++i) {
        const double v =
            gain * edgeGain(i, length) * std::sin(2 * std::numbers::pi * hz * i / T::sampleRate);
        // Negating the rounded sample, not the signal, keeps right == -left
        // exact in the integers.
        const int16_t left = toSample(v);
        out[2 * (first + i)] = left;
        out[2 * (first + i) + 1] = static_cast<int16_t>(rightSign * left);
    }
}

void writeNoise(std::vector<int16_t>& out) {
    Writer w{out, frameAt(T::noiseStart)};
    const int length = frameAt(T::silenceStart) - frameAt(T::noiseStart);
    XorShift32 rng{0x2545F491u};
    const double timeConstant = 0.45; // about -58 dB after the 3 s burst
    for (int i = 0; i < length; ++i) {
        const double env =
            0.7 * edgeGain(i, length) * std::exp(-i / (timeConstant * T::sampleRate));
        const double left = rng.nextSigned();
        const double right = rng.nextSigned();
        w.put(i, env * left, env * right);
    }
}

} // namespace

std::vector<int16_t> makeDemoSignal() {
    std::vector<int16_t> out(2 * size_t(frameAt(T::end)), 0);
    writeSteps(out);
    writeTone(out, T::inPhaseStart, T::outOfPhaseStart, 440.0, 1.0);
    writeTone(out, T::outOfPhaseStart, T::leftOnlyStart, 440.0, -1.0);
    writeTone(out, T::leftOnlyStart, T::noiseStart, 660.0, 0.0);
    writeNoise(out);
    return out; // the silence is the zero fill
}
