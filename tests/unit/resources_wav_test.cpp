// The WAV writer that tests use to make input files, and the demo WAV the
// build generates: a valid 16-bit stereo 44.1 kHz file whose sections are
// what the meter is shown with (level steps up to a clipped over, in phase,
// out of phase, one channel, decaying noise, silence).
#include "tools/demo_signal.h"
#include "tools/wav_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using T = DemoTimeline;

uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t u16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}
std::string id(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// A small independent reader: walks the chunks, honouring pad bytes.
struct ParsedWav {
    bool ok = false;
    uint16_t tag = 0, channels = 0, blockAlign = 0, bits = 0;
    uint32_t rate = 0, byteRate = 0;
    std::vector<int16_t> samples;
};

ParsedWav parse(const std::vector<uint8_t>& b) {
    ParsedWav w;
    if (b.size() < 12 || id(b, 0) != "RIFF" || id(b, 8) != "WAVE" || u32(b, 4) != b.size() - 8)
        return w;
    bool haveFmt = false, haveData = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = u32(b, at + 4);
        if (at + 8 + size > b.size())
            return w;
        if (id(b, at) == "fmt " && size >= 16) {
            w.tag = u16(b, at + 8);
            w.channels = u16(b, at + 10);
            w.rate = u32(b, at + 12);
            w.byteRate = u32(b, at + 16);
            w.blockAlign = u16(b, at + 20);
            w.bits = u16(b, at + 22);
            haveFmt = true;
        } else if (id(b, at) == "data") {
            for (size_t i = 0; i + 1 < size; i += 2)
                w.samples.push_back(int16_t(u16(b, at + 8 + i)));
            haveData = true;
        }
        at += 8 + size + (size & 1);
    }
    w.ok = haveFmt && haveData;
    return w;
}

class DemoWav : public ::testing::Test {
protected:
    static void SetUpTestSuite() { wav = new ParsedWav(parse(readFile(KC_DEMO_WAV))); }
    static void TearDownTestSuite() { delete wav; }

    static size_t frame(double seconds) { return size_t(std::lround(seconds * T::sampleRate)); }
    static int16_t left(size_t f) { return wav->samples[2 * f]; }
    static int16_t right(size_t f) { return wav->samples[2 * f + 1]; }
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
    static ParsedWav* wav;
};
ParsedWav* DemoWav::wav = nullptr;

} // namespace

TEST(WavWriter, CanonicalHeaderAndLittleEndianSamples) {
    const std::vector<int16_t> samples{1, -2, 0x1234, -32768};
    const std::vector<uint8_t> b = wavFileBytes(samples, 44100, 2);
    ASSERT_EQ(b.size(), 44u + 8u);
    EXPECT_EQ(id(b, 0), "RIFF");
    EXPECT_EQ(u32(b, 4), 36u + 8u);
    EXPECT_EQ(id(b, 8), "WAVE");
    EXPECT_EQ(id(b, 12), "fmt ");
    EXPECT_EQ(u32(b, 16), 16u);
    EXPECT_EQ(u16(b, 20), 1);
    EXPECT_EQ(u16(b, 22), 2);
    EXPECT_EQ(u32(b, 24), 44100u);
    EXPECT_EQ(u32(b, 28), 176400u);
    EXPECT_EQ(u16(b, 32), 4);
    EXPECT_EQ(u16(b, 34), 16);
    EXPECT_EQ(id(b, 36), "data");
    EXPECT_EQ(u32(b, 40), 8u);
    const std::vector<uint8_t> data(b.begin() + 44, b.end());
    EXPECT_EQ(data, (std::vector<uint8_t>{0x01, 0x00, 0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80}));

    const std::vector<uint8_t> mono = wavFileBytes(samples, 22050, 1);
    EXPECT_EQ(u32(mono, 28), 44100u);
    EXPECT_EQ(u16(mono, 32), 2);
}

TEST(WavWriter, RefusesSamplesThatAreNotWholeFrames) {
    const std::vector<int16_t> three{1, 2, 3};
    EXPECT_TRUE(wavFileBytes(three, 44100, 2).empty());
    EXPECT_TRUE(wavFileBytes(three, 44100, 0).empty());
    EXPECT_FALSE(wavFileBytes(std::vector<int16_t>{}, 44100, 2).empty()); // a valid empty file
}

TEST(WavWriter, OddChunksArePaddedAndCustomLayoutsParse) {
    // A file with a 3-byte "LIST" chunk before "fmt " and an 18-byte "fmt ".
    std::vector<uint8_t> body{'W', 'A', 'V', 'E'};
    appendRiffChunk(body, "LIST", std::vector<uint8_t>{1, 2, 3});
    EXPECT_EQ(body.size(), 4u + 8u + 4u); // 3 bytes of payload plus the pad byte
    EXPECT_EQ(body.back(), 0);
    std::vector<uint8_t> fmt = pcmFormatPayload(44100, 2, 16);
    fmt.insert(fmt.end(), {0, 0});
    appendRiffChunk(body, "fmt ", fmt);
    appendRiffChunk(body, "data", std::vector<uint8_t>{0x10, 0x00, 0xF0, 0xFF});
    std::vector<uint8_t> file{'R', 'I', 'F', 'F'};
    const uint32_t size = uint32_t(body.size());
    for (int s = 0; s < 32; s += 8)
        file.push_back(uint8_t(size >> s));
    file.insert(file.end(), body.begin(), body.end());

    const ParsedWav w = parse(file);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_EQ(w.blockAlign, 4);
    EXPECT_EQ(w.samples, (std::vector<int16_t>{16, -16}));
}

TEST(WavWriter, WritesAFileAndReportsFailure) {
    const auto dir = std::filesystem::temp_directory_path() / "kc_wav_writer_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "out.wav").string();
    const std::vector<int16_t> samples{100, -100, 200, -200};
    ASSERT_TRUE(writeWavFile(path, samples, 44100, 2));
    EXPECT_EQ(readFile(path), wavFileBytes(samples, 44100, 2));
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));

    // A folder in the way, or a folder that does not exist: false, nothing left.
    EXPECT_FALSE(writeWavFile(dir.string(), samples, 44100, 2));
    EXPECT_FALSE(writeWavFile((dir / "missing" / "x.wav").string(), samples, 44100, 2));
    EXPECT_FALSE(writeWavFile(path, std::vector<int16_t>{1}, 44100, 2));
    EXPECT_EQ(readFile(path), wavFileBytes(samples, 44100, 2)); // old file kept
    std::filesystem::remove_all(dir);
}

TEST_F(DemoWav, IsThirtySecondsOfCanonicalStereoPcm) {
    ASSERT_TRUE(wav->ok) << KC_DEMO_WAV;
    EXPECT_EQ(wav->tag, 1);
    EXPECT_EQ(wav->channels, 2);
    EXPECT_EQ(wav->rate, 44100u);
    EXPECT_EQ(wav->bits, 16);
    EXPECT_EQ(wav->blockAlign, 4);
    EXPECT_EQ(wav->byteRate, 176400u);
    const double seconds = wav->samples.size() / 2.0 / 44100.0;
    EXPECT_NEAR(seconds, 30.0, 0.5);
    EXPECT_EQ(std::filesystem::file_size(KC_DEMO_WAV), 44 + wav->samples.size() * 2);
}

TEST_F(DemoWav, LevelStepsRiseFromMinusFortyToAClippedOver) {
    ASSERT_TRUE(wav->ok);
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
    ASSERT_TRUE(wav->ok);
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
    ASSERT_TRUE(wav->ok);
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
    EXPECT_GE(wav->samples.size() / 2 - silenceFrom, frame(3.0));
    for (size_t f = silenceFrom; f < wav->samples.size() / 2; ++f)
        ASSERT_TRUE(left(f) == 0 && right(f) == 0) << f;
}

TEST(DemoSignal, IsTheSameOnEveryRun) {
    EXPECT_EQ(makeDemoSignal(), makeDemoSignal());
}
