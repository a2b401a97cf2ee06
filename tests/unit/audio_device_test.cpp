// The wave device layer; the output order and the pre-roll silence are
// checked through the transport.
#include "audio/wave_device.h"
#include "audio_test_support.h"

#include <gtest/gtest.h>

#include "platform/thread_priority.h"

#include <atomic>
#include <cerrno>
#include <sched.h>
#include <thread>

using namespace audiotest;

namespace {

std::vector<uint8_t> block(uint32_t bytes, uint8_t value) {
    return std::vector<uint8_t>(bytes, value);
}

// Stop hands back everything the driver still holds; the rest of the
// sequence then succeeds.
void finish(WaveDevice& d) {
    EXPECT_EQ(waveStop(&d), 0);
    EXPECT_EQ(d.queued.load(), 0);
    EXPECT_EQ(waveUnprepare(&d), 0);
    EXPECT_EQ(waveClose(&d), 0);
}

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
    // Binds the scripted device of `kind`, opens and prepares it.
    bool prepared(int kind) {
        return bindScripted(&dev, kind) && waveOpen(&dev) == 0 && wavePrepare(&dev) == 0;
    }
    Script script;
    WaveDevice dev;
};

TEST_F(WaveDeviceTest, ListIsUseCountedEndsWithSilentAndBindsByIndexOrName) {
    const int outputs = waveDeviceCount(kWaveOutput);
    for (int kind : {kWaveOutput, kWaveInput})
        EXPECT_STREQ(waveDeviceAt(kind, waveDeviceCount(kind))->pcmName, "silent");
    EXPECT_EQ(waveDeviceAt(kWaveOutput, outputs + 1), nullptr);
    EXPECT_EQ(waveDeviceAt(kWaveOutput, 0), nullptr);
    // A second user neither refills nor, on release, empties the list.
    EXPECT_EQ(waveEnumerateDevices(), 1);
    waveReleaseDeviceList();
    EXPECT_EQ(waveDeviceCount(kWaveOutput), outputs);

    ASSERT_EQ(waveInitDevice(&dev, kWaveOutput), 1);
    EXPECT_EQ(dev.selectedIndex, 1);
    EXPECT_STREQ(dev.entry.pcmName, waveDeviceAt(kWaveOutput, 1)->pcmName);
    ASSERT_EQ(waveSelectDeviceByName(&dev, "silent"), 1);
    // An unlisted ALSA name is added once, then found again.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(waveSelectDeviceByName(&dev, "hw:7,3"), 1);
        EXPECT_STREQ(dev.entry.pcmName, "hw:7,3");
        EXPECT_EQ(waveDeviceCount(kWaveOutput), outputs + 1);
        ASSERT_EQ(waveSelectDeviceByName(&dev, "silent"), 1);
    }
    EXPECT_EQ(waveSelectDeviceByName(&dev, ""), 0);

    WaveDevice none; // no device of that kind: fails quietly
    EXPECT_EQ(waveInitDevice(&none, 7), 0);
    EXPECT_STREQ(waveErrorText(&none), "");
    EXPECT_EQ(waveOpen(&none), -1);
    waveReleaseDevice(&none);
}

TEST_F(WaveDeviceTest, LatencyTableAndFourFrameGranule) {
    ASSERT_EQ(waveInitDevice(&dev, kWaveOutput), 1);
    const StreamFormat f{44100, 2, 2}, mono24{48000, 1, 4};
    struct Row {
        const StreamFormat* format;
        float latency;
        uint32_t frames, bytes;
    } rows[] = {// below one granule: one granule; other formats: their own frame size
                {&f, 0.1f, 4408, 17632}, {&f, 0.03f, 1320, 5280}, {&f, 0.02f, 880, 3520},
                {&f, 0.00001f, 4, 16},   {&f, -1.0f, 4, 16},      {&mono24, 0.1f, 4800, 14400}};
    for (const Row& r : rows) {
        ASSERT_EQ(waveConfigureLatency(&dev, r.format, r.latency), 1);
        EXPECT_EQ(waveBufferFrames(&dev), r.frames) << r.latency;
        EXPECT_EQ(waveBufferBytes(&dev), r.bytes) << r.latency;
    }
    EXPECT_EQ(waveConfigureLatency(nullptr, &f, 0.1f), 0);
}

TEST_F(WaveDeviceTest, StepsWithoutTheirCounterpartDoNothingAndOpenFailureKeepsTheText) {
    ASSERT_TRUE(bindScripted(&dev, kWaveOutput));
    EXPECT_EQ(waveStop(&dev), 0);               // before Start
    EXPECT_EQ(waveUnprepare(&dev), 0);          // before Prepare
    EXPECT_EQ(waveClose(&dev), 0);              // before Open
    EXPECT_EQ(wavePrepare(&dev), -1);           // not open
    EXPECT_EQ(waveStart(&dev), -1);             // not open
    EXPECT_EQ(waveTransfer(&dev, nullptr), -1); // not prepared

    script.failOpen = -16; // EBUSY
    EXPECT_EQ(waveOpen(&dev), -16);
    EXPECT_EQ(script.created.load(), 1);
    EXPECT_EQ(dev.open, 0);
    EXPECT_STRNE(waveErrorText(&dev), "");
    EXPECT_EQ(waveClose(&dev), 0);
    waveClearErrorText(&dev);
    EXPECT_STREQ(waveErrorText(&dev), "");

    script.failOpen = 0;
    ASSERT_EQ(waveOpen(&dev), 0);
    EXPECT_EQ(waveOpen(&dev), 0); // twice: still one driver
    EXPECT_EQ(script.created.load(), 2);
    ASSERT_EQ(wavePrepare(&dev), 0);
    EXPECT_EQ(wavePrepare(&dev), 0);
    EXPECT_EQ(waveStop(&dev), 0); // prepared but not started
    EXPECT_EQ(waveUnprepare(&dev), 0);
    EXPECT_EQ(dev.ring, nullptr);
    EXPECT_EQ(waveClose(&dev), 0);
    EXPECT_EQ(dev.handle, nullptr);
}

TEST_F(WaveDeviceTest, ThirdTransferWaitsForABufferAndAStopRequestReleasesIt) {
    for (int kind : {kWaveOutput, kWaveInput}) {
        SCOPED_TRACE(kind);
        script.releasable = 0;
        ASSERT_TRUE(prepared(kind));
        ASSERT_EQ(waveStart(&dev), 0);
        auto b = block(dev.bufferBytes, 9);
        ASSERT_EQ(waveTransfer(&dev, b.data()), 0);
        ASSERT_EQ(waveTransfer(&dev, b.data()), 0);
        EXPECT_EQ(dev.queued.load(), 2);

        std::atomic<int> returned = 0;
        const auto blockedTransfer = [&] {
            returned = 0;
            std::thread th([&] {
                waveTransfer(&dev, b.data());
                returned = 1;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(returned.load(), 0) << "a third buffer must wait while two are queued";
            return th;
        };
        std::thread third = blockedTransfer();
        script.release(1);
        third.join();
        EXPECT_EQ(dev.queued.load(), 2);
        // Again blocked; this time nothing comes back and a stop request frees it.
        std::thread fourth = blockedTransfer();
        waveRequestStop(&dev);
        fourth.join();
        finish(dev);
    }
}

TEST_F(WaveDeviceTest, InputDeliversSilenceUntilTheFirstRecordingThenBuffersInOrder) {
    script.releasable = 0;
    ASSERT_TRUE(prepared(kWaveInput));
    auto dest = block(dev.bufferBytes, 0xEE);
    ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
    EXPECT_EQ(dest, block(dev.bufferBytes, 0));
    ASSERT_EQ(waveStart(&dev), 0);
    dest.assign(dev.bufferBytes, 0xEE);
    ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
    EXPECT_EQ(dest, block(dev.bufferBytes, 0)) << "nothing recorded yet";
    EXPECT_EQ(dev.delivered, 0) << "silence, not a recording";

    // Two buffers come back before the next transfer: both are delivered, in order.
    script.release(2);
    ASSERT_TRUE(eventually([&] { return dev.queued.load() == 0; }));
    for (uint8_t expect = 1; expect <= 2; ++expect) {
        ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
        EXPECT_EQ(dest, block(dev.bufferBytes, expect));
    }
    // An overrun the driver recovered from is counted; recording goes on.
    script.overruns = 2;
    script.release(1);
    ASSERT_TRUE(eventually([&] { return dev.queued.load() == 1; }));
    ASSERT_EQ(waveTransfer(&dev, dest.data()), 0);
    EXPECT_EQ(dest, block(dev.bufferBytes, 3));
    EXPECT_EQ(dev.delivered, 1);
    EXPECT_EQ(waveOverruns(&dev), 2u);
    finish(dev);
}

TEST_F(WaveDeviceTest, ABusyDeviceDropsTheBlockAndKeepsTheSlotOnlyAFailedOneEndsTransfers) {
    const struct {
        int code;
        bool busy;
    } rows[] = {{-EAGAIN, true}, {-EBUSY, true}, {-ENODEV, false}, {-EIO, false}};
    for (const auto& row : rows) {
        ASSERT_TRUE(prepared(kWaveOutput));
        ASSERT_EQ(waveStart(&dev), 0);
        auto refusedBlock = block(dev.bufferBytes, 1), next = block(dev.bufferBytes, 2);
        {
            std::lock_guard l(script.mutex);
            script.refuse = 1;
            script.refuseCode = row.code;
            script.moved.clear();
        }
        const int r = waveTransfer(&dev, refusedBlock.data());
        if (row.busy) {
            EXPECT_EQ(r, 0) << row.code;
            EXPECT_EQ(dev.writePosition, 0) << "the same slot takes the next block";
            EXPECT_EQ(dev.queued.load(), 0);
            EXPECT_EQ(dev.refused.load(), 1u);
            ASSERT_EQ(waveTransfer(&dev, next.data()), 0);
            ASSERT_TRUE(eventually([&] { return script.movedCount() == 1; }));
            EXPECT_EQ(script.moved[0], next) << "the refused block is dropped";
        } else {
            EXPECT_LT(r, 0) << row.code;
            EXPECT_STRNE(waveErrorText(&dev), "");
        }
        finish(dev);
    }
}

// The driver thread feeds the device's short buffer: where the system grants
// real-time scheduling it must have it, or a loaded machine makes gaps.
TEST(WaveDriverThread, RunsRealTimeWhereTheSystemAllowsIt) {
    bool allowed = false;
    std::thread([&] { allowed = setCurrentThreadPriority(ThreadPriority::TimeCritical); }).join();
    if (!allowed)
        GTEST_SKIP() << "real-time scheduling is refused to this process";
    static std::atomic<int> policy{-1};
    struct PolicyDriver final : WaveDriver {
        using WaveDriver::WaveDriver;
        ~PolicyDriver() override { close(); }
        int openBackend() override { return 0; }
        void closeBackend() override {}
        int moveBuffer(WaveHeader&) override {
            policy = sched_getscheduler(0);
            return 0;
        }
    };
    PolicyDriver driver(
        kWaveOutput, {44100, 2, 2}, 4, [](void*, WaveMsg, WaveHeader*) {}, nullptr);
    uint8_t data[16] = {};
    WaveHeader h;
    h.data = data;
    h.bufferLength = sizeof data;
    ASSERT_EQ(driver.open(), 0);
    ASSERT_EQ(driver.restart(), 0);
    ASSERT_EQ(driver.submit(&h), 0);
    ASSERT_TRUE(eventually([] { return policy.load() != -1; }));
    EXPECT_TRUE(policy == SCHED_FIFO || policy == SCHED_RR) << "policy " << policy;
}

} // namespace
