// The WAV writer and the demo WAV the build generates with it (what the
// demo plays is for the eye and the ear).
#include "tools/demo_signal.h"
#include "tools/wav_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

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

TEST(DemoWav, TheBuiltFileIsThirtySecondsOfTheSignalAsCanonicalStereoPcm) {
    const std::vector<int16_t> wav = makeDemoSignal();
    // The same bytes as the signal made now: the build's file is complete and
    // the signal is the same on every run.
    EXPECT_EQ(readFile(KC_DEMO_WAV), wavFileBytes(wav, 44100, 2)) << KC_DEMO_WAV;
    EXPECT_NEAR(wav.size() / 2.0 / 44100.0, 30.0, 0.5);
}
