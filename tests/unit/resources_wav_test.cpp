// The WAV writer and the demo WAV the build generates with it.
#include "tools/demo_signal.h"
#include "tools/wav_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using T = DemoTimeline;

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class DemoWav : public ::testing::Test {
protected:
    static size_t frame(double seconds) { return size_t(std::lround(seconds * T::sampleRate)); }
    static int16_t left(size_t f) { return wav[2 * f]; }
    static int16_t right(size_t f) { return wav[2 * f + 1]; }
    // Section interior, leaving out the fades at both ends.
    static std::pair<size_t, size_t> inside(double from, double to) {
        return {frame(from + 0.01), frame(to - 0.01)};
    }
    static double rmsDb(size_t from, size_t to, bool rightChannel) {
        double sum = 0;
        for (size_t f = from; f < to; ++f) {
            const double v = (rightChannel ? right(f) : left(f)) / 32767.0;
            sum += v * v;
        }
        return 10 * std::log10(sum / double(to - from) + 1e-30);
    }
    static inline const std::vector<int16_t> wav = makeDemoSignal();
};

} // namespace

TEST(WavWriter, CanonicalFileAndWholeFramesOnly) {
    const std::vector<int16_t> samples{1, -2, 0x1234, -32768};
    const std::vector<uint8_t> expected{
        'R', 'I', 'F', 'F', 44, 0, 0,    0,    'W',  'A',  'V',  'E',  'f',  'm',  't',  ' ', 16, 0,
        0,   0,   1,   0,   2,  0, 0x44, 0xAC, 0,    0,    0x10, 0xB1, 2,    0,    4,    0,   16, 0,
        'd', 'a', 't', 'a', 8,  0, 0,    0,    0x01, 0x00, 0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80};
    EXPECT_EQ(wavFileBytes(samples, 44100, 2), expected);
    const std::vector<uint8_t> mono = wavFileBytes(samples, 22050, 1);
    // Byte rate 44100, block align 2.
    EXPECT_EQ(std::vector(mono.begin() + 28, mono.begin() + 34),
              (std::vector<uint8_t>{0x44, 0xAC, 0, 0, 2, 0}));

    const std::vector<int16_t> three{1, 2, 3};
    EXPECT_TRUE(wavFileBytes(three, 44100, 2).empty());
    EXPECT_TRUE(wavFileBytes(three, 44100, 0).empty());
    EXPECT_FALSE(wavFileBytes(std::vector<int16_t>{}, 44100, 2).empty()); // a valid empty file
}

TEST(WavWriter, WritesAFileAndReportsFailure) {
    const auto dir = std::filesystem::temp_directory_path() / "kc_wav_writer_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "out.wav").string();
    const std::vector<int16_t> samples{100, -100, 200, -200};
    ASSERT_TRUE(writeWavFile(path, samples, 44100, 2));
    EXPECT_EQ(readFile(path), wavFileBytes(samples, 44100, 2));
    // A folder in the way, a folder that does not exist, or no whole frame:
    // false, and the old file is kept.
    EXPECT_FALSE(writeWavFile(dir.string(), samples, 44100, 2));
    EXPECT_FALSE(writeWavFile((dir / "missing" / "x.wav").string(), samples, 44100, 2));
    EXPECT_FALSE(writeWavFile(path, std::vector<int16_t>{1}, 44100, 2));
    EXPECT_EQ(readFile(path), wavFileBytes(samples, 44100, 2));
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    std::filesystem::remove_all(dir);
}

TEST_F(DemoWav, TheBuiltFileIsThirtySecondsOfTheSignalAsCanonicalStereoPcm) {
    // The same bytes as the signal made now: the build's file is complete and
    // the signal is the same on every run.
    EXPECT_EQ(readFile(KC_DEMO_WAV), wavFileBytes(wav, 44100, 2)) << KC_DEMO_WAV;
    EXPECT_NEAR(wav.size() / 2.0 / 44100.0, 30.0, 0.5);
}

TEST_F(DemoWav, LevelStepsRiseFromMinusFortyToAClippedOver) {
    // Each step's RMS is its peak level minus 3 dB (a sine), on both channels.
    for (size_t i = 0; i < std::size(T::stepLevelsDb); ++i) {
        const auto [from, to] = inside(i * T::stepSeconds, (i + 1) * T::stepSeconds);
        EXPECT_NEAR(rmsDb(from, to, false), T::stepLevelsDb[i] - 3.01, 0.2) << i;
        EXPECT_NEAR(rmsDb(from, to, true), T::stepLevelsDb[i] - 3.01, 0.2) << i;
    }
    // The over: runs of consecutive full-scale samples of both signs.
    const auto [from, to] = inside(T::clipStart, T::inPhaseStart);
    int run = 0, longestPositive = 0, negativeClips = 0;
    for (size_t f = from; f < to; ++f) {
        run = left(f) == 32767 ? run + 1 : 0;
        longestPositive = std::max(longestPositive, run);
        negativeClips += left(f) == -32768 && right(f) == -32768;
    }
    EXPECT_GE(longestPositive, 5);
    EXPECT_GT(negativeClips, 1000);
    // Nothing reaches full scale before the over.
    for (size_t f = 0; f < frame(T::clipStart); ++f)
        ASSERT_LT(std::abs(int(left(f))), 32000) << f;
}

TEST_F(DemoWav, InPhaseThenOutOfPhaseThenLeftOnly) {
    for (size_t f = frame(T::inPhaseStart); f < frame(T::outOfPhaseStart); ++f)
        ASSERT_EQ(left(f), right(f)) << f;
    for (size_t f = frame(T::outOfPhaseStart); f < frame(T::leftOnlyStart); ++f)
        ASSERT_EQ(left(f), -right(f)) << f;
    for (size_t f = frame(T::leftOnlyStart); f < frame(T::noiseStart); ++f)
        ASSERT_EQ(right(f), 0) << f;
    // None of them is silent where it should sound.
    for (double start : {T::inPhaseStart, T::outOfPhaseStart, T::leftOnlyStart}) {
        const auto [from, to] = inside(start, start + 2);
        EXPECT_NEAR(rmsDb(from, to, false), T::toneLevelDb - 3.01, 0.2) << start;
    }
}

TEST_F(DemoWav, NoiseBurstDecaysIntoSilenceAtTheEnd) {
    const auto [from, to] = inside(T::noiseStart, T::silenceStart);
    const size_t third = (to - from) / 3;
    const double early = rmsDb(from, from + third, false);
    const double late = rmsDb(to - third, to, false);
    EXPECT_GT(early, -20);
    EXPECT_GT(early - late, 20);
    // Two independent channels, not a copy.
    size_t equal = 0;
    for (size_t f = from; f < from + third; ++f)
        equal += left(f) == right(f);
    EXPECT_LT(equal, third / 50);

    const size_t silenceFrom = frame(T::silenceStart);
    EXPECT_GE(wav.size() / 2 - silenceFrom, frame(3.0));
    for (size_t f = silenceFrom; f < wav.size() / 2; ++f)
        ASSERT_TRUE(left(f) == 0 && right(f) == 0) << f;
}
