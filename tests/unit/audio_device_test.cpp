// The wave device layer: device list, latency sizing, the operation state
// machine, pacing with at most two buffers queued, stop requests, input
// order, and a device that fails while playing.
#include "audio/wave_device.h"
#include "audio_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace audiotest;

namespace {

class WaveDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(waveEnumerateDevices(), 1);
        g_script = &script;
    }
    void TearDown() override {
        waveReleaseDevice(&dev);
        waveReleaseDeviceList();
        g_script = nullptr;
    }
    Script script;
    WaveDevice dev;
};

std::vector<uint8_t> block(uint32_t bytes, uint8_t value) {
    return std::vector<uint8_t>(bytes, value);
}

TEST_F(WaveDeviceTest, ListIsUseCountedAndEndsWithTheSilentDeviceOfEachKind) {
    const int outputs = waveDeviceCount(kWaveOutput);
    ASSERT_GE(outputs, 1);
    ASSERT_GE(waveDeviceCount(kWaveInput), 1);
    EXPECT_STREQ(waveDeviceAt(kWaveOutput, outputs)->pcmName, "silent");
    EXPECT_STREQ(waveDeviceAt(kWaveInput, waveDeviceCount(kWaveInput))->pcmName, "silent");
    EXPECT_EQ(waveDeviceAt(kWaveOutput, outputs + 1), nullptr);
    EXPECT_EQ(waveDeviceAt(kWaveOutput, 0), nullptr);

    // A second user neither refills nor, on release, empties the list.
    EXPECT_EQ(waveEnumerateDevices(), 1);
    EXPECT_EQ(waveDeviceCount(kWaveOutput), outputs);
    waveReleaseDeviceList();
    EXPECT_EQ(waveDeviceCount(kWaveOutput), outputs);
}

TEST_F(WaveDeviceTest, InitSelectsTheFirstDeviceOfItsKindAndFailsQuietlyWithoutOne) {
    ASSERT_EQ(waveInitDevice(&dev, kWaveOutput), 1);
    EXPECT_EQ(dev.selectedIndex, 1);
    EXPECT_EQ(dev.entry.kind, kWaveOutput);
    EXPECT_STREQ(dev.entry.pcmName, waveDeviceAt(kWaveOutput, 1)->pcmName);
    EXPECT_NE(dev.ops.Transfer, nullptr);
    EXPECT_EQ(dev.bufferFrames, 4408u);
    EXPECT_EQ(dev.bufferBytes, 17632u);

    WaveDevice none;
    EXPECT_EQ(waveInitDevice(&none, 7), 0);
    EXPECT_STREQ(waveErrorText(&none), "");
    EXPECT_EQ(waveOpen(&none), -1);
    waveReleaseDevice(&none);
}

TEST_F(WaveDeviceTest, SelectByNameFindsListedDevicesAndAddsOtherAlsaNames) {
    ASSERT_EQ(waveInitDevice(&dev, kWaveOutput), 1);
    ASSERT_EQ(waveSelectDeviceByName(&dev, "silent"), 1);
    EXPECT_STREQ(dev.entry.name, "Silent");
    const int before = waveDeviceCount(kWaveOutput);
    ASSERT_EQ(waveSelectDeviceByName(&dev, "hw:7,3"), 1);
    EXPECT_EQ(waveDeviceCount(kWaveOutput), before + 1);
    EXPECT_STREQ(dev.entry.pcmName, "hw:7,3");
    EXPECT_EQ(dev.entry.kind, kWaveOutput);
    // Selecting it again finds the entry instead of adding another.
    ASSERT_EQ(waveSelectDeviceByName(&dev, "silent"), 1);
    ASSERT_EQ(waveSelectDeviceByName(&dev, "hw:7,3"), 1);
    EXPECT_EQ(waveDeviceCount(kWaveOutput), before + 1);
    EXPECT_EQ(waveSelectDeviceByName(&dev, ""), 0);
}

TEST_F(WaveDeviceTest, LatencyTableAndFourFrameGranule) {
    ASSERT_EQ(waveInitDevice(&dev, kWaveOutput), 1);
    const StreamFormat f{44100, 2, 2};
    struct Row {
        float latency;
        uint32_t frames;
    } rows[] = {{0.2f, 8820}, {0.1f, 4408}, {0.05f, 2204}, {0.03f, 1320}, {0.02f, 880}};
    for (const Row& r : rows) {
        ASSERT_EQ(waveConfigureLatency(&dev, &f, r.latency), 1);
        EXPECT_EQ(waveBufferFrames(&dev), r.frames) << r.latency;
        EXPECT_EQ(waveBufferBytes(&dev), r.frames * 4) << r.latency;
    }
    // Below one granule the buffer is one granule.
    ASSERT_EQ(waveConfigureLatency(&dev, &f, 0.00001f), 1);
    EXPECT_EQ(waveBufferFrames(&dev), 4u);
    ASSERT_EQ(waveConfigureLatency(&dev, &f, -1.0f), 1);
    EXPECT_EQ(waveBufferFrames(&dev), 4u);
    // Other formats size by their own frame size.
    const StreamFormat mono24{48000, 1, 4};
    ASSERT_EQ(waveConfigureLatency(&dev, &mono24, 0.1f), 1);
    EXPECT_EQ(waveBufferFrames(&dev), 4800u);
    EXPECT_EQ(waveBufferBytes(&dev), 4800u * 3);
    EXPECT_EQ(waveConfigureLatency(nullptr, &f, 0.1f), 0);
}

TEST_F(WaveDeviceTest, StepsWithoutTheirCounterpartDoNothing) {
    ASSERT_TRUE(bindScripted(&dev, kWaveOutput));
    EXPECT_EQ(waveStop(&dev), 0);      // before Start
    EXPECT_EQ(waveUnprepare(&dev), 0); // before Prepare
    EXPECT_EQ(waveClose(&dev), 0);     // before Open
    EXPECT_EQ(script.created.load(), 0);
    EXPECT_EQ(wavePrepare(&dev), -1);           // not open
    EXPECT_EQ(waveStart(&dev), -1);             // not open
    EXPECT_EQ(waveTransfer(&dev, nullptr), -1); // not prepared

    ASSERT_EQ(waveOpen(&dev), 0);
    EXPECT_EQ(waveOpen(&dev), 0); // twice: still one driver
    EXPECT_EQ(script.created.load(), 1);
    EXPECT_EQ(dev.open, 1);
    ASSERT_EQ(wavePrepare(&dev), 0);
    EXPECT_EQ(wavePrepare(&dev), 0);
    EXPECT_EQ(waveStop(&dev), 0); // prepared but not started
    EXPECT_EQ(waveUnprepare(&dev), 0);
    EXPECT_EQ(dev.prepared, 0);
    EXPECT_EQ(dev.ring, nullptr);
    EXPECT_EQ(waveClose(&dev), 0);
    EXPECT_EQ(dev.open, 0);
    EXPECT_EQ(dev.handle, nullptr);
}

TEST_F(WaveDeviceTest, OpenFailureKeepsTheDriverTextAndLeavesTheDeviceClosed) {
    ASSERT_TRUE(bindScripted(&dev, kWaveOutput));
    script.failOpen = -16; // EBUSY
    EXPECT_EQ(waveOpen(&dev), -16);
    EXPECT_EQ(dev.open, 0);
    EXPECT_STRNE(waveErrorText(&dev), "");
    EXPECT_EQ(waveClose(&dev), 0);
    waveClearErrorText(&dev);
    EXPECT_STREQ(waveErrorText(&dev), "");
}

TEST_F(WaveDeviceTest, FirstTransferQueuesSilenceThenBlocksInOrder) {
    ASSERT_TRUE(bindScripted(&dev, kWaveOutput));
    const StreamFormat f{44100, 2, 2};
    ASSERT_EQ(waveConfigureLatency(&dev, &f, 0.02f), 1);
    ASSERT_EQ(waveOpen(&dev), 0);
    ASSERT_EQ(wavePrepare(&dev), 0);
    ASSERT_EQ(waveTransfer(&dev, nullptr), 0);
    // Prepared devices are paused: nothing moves before Start.
    ASSERT_EQ(waveStart(&dev), 0);
    for (uint8_t v = 1; v <= 6; ++v) {
        auto b = block(dev.bufferBytes, v);
        ASSERT_EQ(waveTransfer(&dev, b.data()), 0);
        EXPECT_LE(dev.queued.load(), 2);
    }
    ASSERT_TRUE(eventually([&] { return script.movedCount() == 7; }));
    std::lock_guard l(script.mutex);
    EXPECT_EQ(script.moved[0], block(3520, 0));
    for (uint8_t v = 1; v <= 6; ++v)
        EXPECT_EQ(script.moved[v], block(3520, v));
}

TEST_F(WaveDeviceTest, ThirdTransferWaitsForABufferAndAStopRequestReleasesIt) {
    ASSERT_TRUE(bindScripted(&dev, kWaveOutput));
    script.releasable = 0;
    ASSERT_EQ(waveOpen(&dev), 0);
    ASSERT_EQ(wavePrepare(&dev), 0);
    ASSERT_EQ(waveStart(&dev), 0);
    auto b = block(dev.bufferBytes, 9);
    ASSERT_EQ(waveTransfer(&dev, b.data()), 0);
    ASSERT_EQ(waveTransfer(&dev, b.data()), 0);
    EXPECT_EQ(dev.queued.load(), 2);

    std::atomic<int> returned = 0;
    std::thread third([&] {
        waveTransfer(&dev, b.data());
        returned = 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(returned.load(), 0) << "a third buffer must wait while two are queued";
    script.release(1);
    third.join();
    EXPECT_EQ(returned.load(), 1);
    EXPECT_EQ(dev.queued.load(), 2);

    // Again blocked; this time nothing comes back and a stop request frees it.
    returned = 0;
    std::thread fourth([&] {
        waveTransfer(&dev, b.data());
        returned = 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(returned.load(), 0);
    waveRequestStop(&dev);
    fourth.join();
    EXPECT_EQ(returned.load(), 1);

    // Stop hands back everything the driver still holds.
    EXPECT_EQ(waveStop(&dev), 0);
    EXPECT_EQ(dev.queued.load(), 0);
    EXPECT_EQ(waveUnprepare(&dev), 0);
    EXPECT_EQ(waveClose(&dev), 0);
}

TEST_F(WaveDeviceTest, InputDeliversSilenceUntilTheFirstRecordingThenBuffersInOrder) {
    ASSERT_TRUE(bindScripted(&dev, kWaveInput));
    script.releasable = 0;
    ASSERT_EQ(waveOpen(&dev), 0);
    ASSERT_EQ(wavePrepare(&dev), 0);
    auto dest = block(dev.bufferBytes, 0xEE);
    ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
    EXPECT_EQ(dest, block(dev.bufferBytes, 0));
    ASSERT_EQ(waveStart(&dev), 0);
    dest.assign(dev.bufferBytes, 0xEE);
    ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
    EXPECT_EQ(dest, block(dev.bufferBytes, 0)) << "nothing recorded yet";

    // Two buffers come back before the next transfer: both are delivered, in order.
    script.release(2);
    ASSERT_TRUE(eventually([&] { return dev.queued.load() == 0; }));
    for (uint8_t expect = 1; expect <= 2; ++expect) {
        ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
        EXPECT_EQ(dest, block(dev.bufferBytes, expect));
    }
    script.release(1);
    ASSERT_TRUE(eventually([&] { return dev.queued.load() == 1; }));
    ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
    EXPECT_EQ(dest, block(dev.bufferBytes, 3));
    EXPECT_EQ(waveStop(&dev), 0);
    EXPECT_EQ(waveUnprepare(&dev), 0);
    EXPECT_EQ(waveClose(&dev), 0);
}

TEST_F(WaveDeviceTest, ADeviceThatFailsWhilePlayingEndsTransfersInsteadOfHanging) {
    ASSERT_TRUE(bindScripted(&dev, kWaveOutput));
    script.failAfter = 3;
    ASSERT_EQ(waveOpen(&dev), 0);
    ASSERT_EQ(wavePrepare(&dev), 0);
    ASSERT_EQ(waveStart(&dev), 0);
    auto b = block(dev.bufferBytes, 1);
    int r = 0;
    int transfers = 0;
    while (r == 0 && transfers < 1000) {
        r = waveTransfer(&dev, b.data());
        ++transfers;
    }
    EXPECT_LT(r, 0);
    EXPECT_STRNE(waveErrorText(&dev), "");
    EXPECT_EQ(waveStop(&dev), 0);
    EXPECT_EQ(waveUnprepare(&dev), 0);
    EXPECT_EQ(waveClose(&dev), 0);
}

TEST_F(WaveDeviceTest, SilentDevicePlaysAndRecordsInRealTime) {
    for (int kind : {kWaveOutput, kWaveInput}) {
        WaveDevice d;
        ASSERT_EQ(waveInitDevice(&d, kind), 1);
        ASSERT_EQ(waveSelectDeviceByName(&d, "silent"), 1);
        const StreamFormat f{44100, 2, 2};
        ASSERT_EQ(waveQueryFormat(&d, &f), 1);
        const StreamFormat tooSlow{8000, 2, 2};
        EXPECT_EQ(waveQueryFormat(&d, &tooSlow), 0);
        ASSERT_EQ(waveConfigureLatency(&d, &f, 0.02f), 1);
        ASSERT_EQ(waveOpen(&d), 0);
        ASSERT_EQ(wavePrepare(&d), 0);
        ASSERT_EQ(waveTransfer(&d, nullptr), 0);
        ASSERT_EQ(waveStart(&d), 0);
        auto b = block(d.bufferBytes, 0x55);
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(waveTransfer(&d, b.data()), 0);
        if (kind == kWaveInput) {
            EXPECT_EQ(b, block(d.bufferBytes, 0)) << "capture delivers zeros";
        }
        EXPECT_EQ(waveStop(&d), 0);
        EXPECT_EQ(d.queued.load(), 0);
        EXPECT_EQ(waveUnprepare(&d), 0);
        EXPECT_EQ(waveClose(&d), 0);
        waveReleaseDevice(&d);
    }
}

} // namespace
