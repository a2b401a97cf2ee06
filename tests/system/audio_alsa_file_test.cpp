// End to end through real ALSA without a sound card: a generated WAV file
// plays through the transport into ALSA's "file" PCM, which records what it
// is given. The recording must be one buffer of silence followed by the
// file's samples, exactly, and the engine must have been fed the same blocks
// in the same order.
#include "../unit/audio_test_support.h"
#include "audio/transport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace audiotest;

namespace {

std::mutex g_fedMutex;
std::vector<std::vector<uint8_t>> g_fed;

void recordFeed(MeterEngine** e, const void* samples, uint32_t bytes) {
    {
        std::lock_guard l(g_fedMutex);
        auto* p = static_cast<const uint8_t*>(samples);
        g_fed.emplace_back(p, p + bytes);
    }
    meterFeed(e, samples, bytes);
}

size_t fedCount() {
    std::lock_guard l(g_fedMutex);
    return g_fed.size();
}

// A 440 Hz tone on the left and 660 Hz on the right, 0.3 s, never all zero.
std::vector<int16_t> tone(size_t frames) {
    std::vector<int16_t> s;
    for (size_t i = 0; i < frames; ++i) {
        s.push_back(static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * i / 44100.0) + 7));
        s.push_back(static_cast<int16_t>(9000 * std::sin(2 * M_PI * 660 * i / 44100.0) - 5));
    }
    return s;
}

TEST(AlsaFileEndToEnd, RecordingIsPreRollSilenceThenTheFileExactly) {
    const auto samples = tone(13230);
    const auto fileBytes = samplesBytes(samples);
    TempFile wav(stereoWav(samples), "music.wav");
    const std::string recording = wav.dir() + "/recorded.wav";
    const std::string pcm = "file:FILE=" + recording + ",FORMAT=wav";

    ASSERT_EQ(waveEnumerateDevices(), 1);
    WaveDevice device;
    ASSERT_EQ(waveInitDevice(&device, kWaveOutput), 1);
    ASSERT_EQ(waveSelectDeviceByName(&device, pcm.c_str()), 1);
    WavSource source;
    WavSelection selection;
    ASSERT_EQ(wavAdoptFile(&source, &selection, wav.path()), WavChoice::Accepted);
    MeterEngine* engine = meterCreate();
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(meterSetFormat(&engine, 44100.0f, 2), 1);

    Transport t;
    t.device = &device;
    t.source = &source;
    t.selection = &selection;
    t.engine = &engine;
    t.sink = {meterIsFeeding, recordFeed, meterResetLevels};
    ASSERT_EQ(transportOpenStream(&t, 0.02f), 1);
    const size_t blockBytes = t.blockBytes;
    const size_t fileBlocks = (fileBytes.size() + blockBytes - 1) / blockBytes;

    transportPlay(&t);
    ASSERT_TRUE(transportIsRunning(&t));
    ASSERT_TRUE(
        eventually([&] { return fedCount() >= fileBlocks + 4 || !transportIsRunning(&t); }));
    ASSERT_TRUE(transportIsRunning(&t)) << "the stream ended by itself: " << waveErrorText(&device);
    transportStop(&t);
    transportFreeBlock(&t);
    waveReleaseDevice(&device);
    wavClose(&source);
    waveReleaseDeviceList();
    meterRelease(&engine);

    // Read the recording back with our own reader.
    WavSource rec;
    ASSERT_EQ(wavOpen(&rec, recording.c_str()), kWavOk);
    EXPECT_TRUE(wavAccepted(&rec));
    const size_t expectBytes = blockBytes + fileBytes.size();
    const uint64_t present = rec.file.fileSize() - rec.dataOffset;
    // The pre-roll, the file's blocks and one more block of silence.
    std::vector<uint8_t> got(blockBytes * (fileBlocks + 2));
    ASSERT_GE(present, got.size());
    wavRead(&rec, got.data(), static_cast<uint32_t>(got.size()));
    wavClose(&rec);
    ::unlink(recording.c_str());

    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + blockBytes),
              std::vector<uint8_t>(blockBytes, 0));
    EXPECT_TRUE(std::equal(fileBytes.begin(), fileBytes.end(), got.begin() + blockBytes))
        << "the file's samples follow the pre-roll exactly";
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + expectBytes, got.end()),
              std::vector<uint8_t>(got.size() - expectBytes, 0))
        << "then silence";

    std::lock_guard l(g_fedMutex);
    ASSERT_GE(g_fed.size(), fileBlocks + 1);
    for (size_t i = 0; i <= fileBlocks; ++i) {
        ASSERT_EQ(g_fed[i].size(), blockBytes);
        EXPECT_TRUE(std::equal(g_fed[i].begin(), g_fed[i].end(),
                               got.begin() + static_cast<ptrdiff_t>(blockBytes * (i + 1))))
            << "block " << i << " fed and played differ";
    }
}

} // namespace
