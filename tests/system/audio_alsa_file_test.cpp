// End to end through real ALSA without a sound card: a generated WAV file
// plays through the transport into ALSA's "file" PCM, which records what it
// is given. The recording must be one buffer of silence followed by the
// file's samples, exactly. (That the engine is fed the very blocks played is
// the transport's own test, with a device that records every buffer.)
#include "../unit/audio_test_support.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace audiotest;

namespace {

std::atomic<size_t> g_fed{0};

void countFeed(MeterEngine** e, const void* samples, uint32_t bytes) {
    ++g_fed;
    meterFeed(e, samples, bytes);
}

TEST(AlsaFileEndToEnd, RecordingIsPreRollSilenceThenTheFileExactly) {
    const auto samples = ramp(13230);
    const auto fileBytes = samplesBytes(samples);
    TempFile wav(stereoWav(samples), "music.wav");
    const std::string recording = wav.dir() + "/recorded.wav";
    const std::string pcm = "file:FILE=" + recording + ",FORMAT=wav";

    size_t blockBytes, fileBlocks;
    {
        StreamRig rig;
        ASSERT_TRUE(rig.open(pcm.c_str(), 0.02f,
                             {meterIsFeeding, countFeed, meterResetLevels, meterStreamPaced}));
        ASSERT_EQ(wavAdoptFile(&rig.source, &rig.selection, wav.path()), WavChoice::Accepted);
        blockBytes = rig.t.blockBytes;
        fileBlocks = (fileBytes.size() + blockBytes - 1) / blockBytes;
        transportPlay(&rig.t);
        ASSERT_TRUE(transportIsRunning(&rig.t));
        ASSERT_TRUE(eventually(
            [&] { return g_fed.load() >= fileBlocks + 4 || !transportIsRunning(&rig.t); }));
        ASSERT_TRUE(transportIsRunning(&rig.t))
            << "the stream ended by itself: " << waveErrorText(&rig.device);
    }

    // Read the recording back with our own reader.
    WavSource rec;
    ASSERT_EQ(wavOpen(&rec, recording.c_str()), kWavOk);
    EXPECT_TRUE(wavAccepted(&rec));
    const uint64_t present = rec.file.fileSize() - rec.dataOffset;
    // The pre-roll, the file's blocks and one more block of silence.
    std::vector<uint8_t> got(blockBytes * (fileBlocks + 2));
    ASSERT_GE(present, got.size());
    wavRead(&rec, got.data(), static_cast<uint32_t>(got.size()));
    wavClose(&rec);
    ::unlink(recording.c_str());

    std::vector<uint8_t> expect(blockBytes, 0);
    expect.insert(expect.end(), fileBytes.begin(), fileBytes.end());
    expect.resize(got.size(), 0);
    EXPECT_TRUE(got == expect) << "pre-roll silence, the file's samples exactly, then silence";
}

// A name ALSA cannot open gives one line naming it and ALSA's own reason.
TEST(AlsaOpenFailure, TheLineNamesTheDeviceAndAlsasReason) {
    ASSERT_EQ(waveEnumerateDevices(), 1);
    for (const std::string name : {"hw:99,0", "korvalo-no-such-pcm"}) {
        WaveDevice device;
        ASSERT_EQ(waveInitDevice(&device, kWaveOutput), 1);
        ASSERT_EQ(waveSelectDeviceByName(&device, name.c_str()), 1);
        const int r = waveOpen(&device);
        ASSERT_LT(r, 0) << name;
        char line[512];
        waveOpenFailureLine(&device, line, sizeof line);
        EXPECT_EQ(line, "cannot open audio device \"" + name + "\": " + snd_strerror(r));
        waveReleaseDevice(&device);
    }
    waveReleaseDeviceList();
}

} // namespace
