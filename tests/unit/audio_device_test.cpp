// The wave device layer, and a live input: its names, channel pair, format and
// capture; the output order and the pre-roll silence are checked through the
// transport.
#include "audio/input_capture.h"
#include "audio/input_format.h"
#include "audio/wave_device.h"
#include "audio_test_support.h"

#include <gtest/gtest.h>

#include "platform/thread_priority.h"

#include <atomic>
#include <cerrno>
#include <sched.h>
#include <thread>
#include <tuple>

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

TEST(InputNames, MonitorAndTheSoundServersSources) {
    EXPECT_EQ(inputPcmName("monitor"), "pulse:DEVICE=@DEFAULT_MONITOR@");
    EXPECT_EQ(inputPcmName("hw:1,0"), "hw:1,0");
    const std::pair<const char*, const char*> sources[] = {
        {"pulse:DEVICE=@DEFAULT_MONITOR@", "@DEFAULT_MONITOR@"},
        {"pulse", "@DEFAULT_SOURCE@"},
        {"pulse:DEVICE=alsa_input.usb-1,FALLBACK=x", "alsa_input.usb-1"},
        {"pulse:mic", "mic"},
        {"hw:1,0", ""},
        {"jack", ""}};
    for (const auto& [pcm, source] : sources)
        EXPECT_EQ(inputServerSource(pcm), source) << pcm;
}

TEST(InputNames, ChannelPairs) {
    // The pair read, or {0, 0} where the text is refused.
    const std::tuple<const char*, int, int> rows[] = {{"1,2", 1, 2}, {"3,4", 3, 4}, {"2,1", 2, 1},
                                                      {"0,1", 0, 0}, {"1", 0, 0},   {"1,", 0, 0},
                                                      {"a,b", 0, 0}, {"1,65", 0, 0}};
    for (const auto& [text, a, b] : rows) {
        int x = 0, y = 0;
        EXPECT_EQ(inputParsePair(text, x, y), a != 0) << text;
        if (a) {
            EXPECT_EQ(std::pair(x, y), std::pair(a, b)) << text;
        }
    }
    const int16_t four[] = {1, 2, 3, 4, 11, 12, 13, 14};
    int16_t out[4] = {};
    inputPickPair(four, 4, 3, 4, 2, out);
    EXPECT_EQ(std::vector<int16_t>(out, out + 4), (std::vector<int16_t>{3, 4, 13, 14}));
}

// 48000 before 44100, stereo before mono, and more channels only for a pair
// beyond the second; a refused --rate is not replaced by another rate, and
// no device is asked for a rate below 11 kHz.
TEST_F(WaveDeviceTest, InputChoosesTheFirstAcceptedRateAndChannelCount) {
    ASSERT_TRUE(bindScripted(&dev, kWaveInput));
    const struct {
        int acceptRate, acceptChannels;
        InputRequest request;
        bool ok;
        StreamFormat chosen;
    } rows[] = {
        {0, 0, {}, true, {48000, 2, 2}},        {44100, 0, {}, true, {44100, 2, 2}},
        {0, 1, {}, true, {48000, 1, 2}},        {96000, 0, {96000, 1, 2}, true, {96000, 2, 2}},
        {44100, 0, {96000, 1, 2}, false, {}},   {0, 8, {0, 3, 4}, false, {}},
        {0, 4, {0, 3, 4}, true, {48000, 4, 2}}, {0, 0, {8000, 1, 2}, false, {}}};
    for (const auto& r : rows) {
        script.acceptRate = r.acceptRate;
        script.acceptChannels = r.acceptChannels;
        StreamFormat f{};
        std::string error;
        ASSERT_EQ(inputChooseFormat(&dev, r.request, 0.02f, f, error), r.ok) << r.acceptRate;
        if (!r.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(std::tie(f.rate, f.channels, f.sampleType),
                  std::tie(r.chosen.rate, r.chosen.channels, r.chosen.sampleType));
        EXPECT_EQ(waveBufferFrames(&dev), static_cast<uint32_t>(f.rate) / 50 / 4 * 4);
        EXPECT_EQ(inputMeteredChannels(f), f.channels == 1 ? 1 : 2);
    }
}

// Only recorded blocks reach the sink, the pair picked out of four channels;
// clearing `running` from the sink ends the capture and closes the device.
TEST_F(WaveDeviceTest, CaptureHandsOnRecordedBlocksOnly) {
    ASSERT_TRUE(bindScripted(&dev, kWaveInput));
    const StreamFormat four{48000, 4, 2};
    ASSERT_EQ(waveConfigureLatency(&dev, &four, 0.001f), 1);
    std::vector<uint8_t> raw(waveBufferBytes(&dev));
    std::vector<int16_t> picked(2 * waveBufferFrames(&dev));
    struct Seen {
        std::vector<int16_t> firsts;
        std::atomic<int> running = 1;
    } seen;
    const auto block = [](void* ctx, const int16_t* s, uint32_t) {
        auto* v = static_cast<Seen*>(ctx);
        v->firsts.push_back(s[0]);
        if (v->firsts.size() == 3)
            v->running = 0;
    };
    ASSERT_EQ(
        captureRun({&dev, 2, 4, raw.data(), picked.data(), &seen.running, block, nullptr, &seen}),
        0);
    // The scripted driver fills recording n with bytes of value n.
    EXPECT_EQ(seen.firsts, (std::vector<int16_t>{0x0101, 0x0202, 0x0303}));
    EXPECT_EQ(dev.open, 0);
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
