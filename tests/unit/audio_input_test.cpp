// What a live input is opened with, and the pair of channels it meters.
#include "audio/input_capture.h"
#include "audio/input_format.h"
#include "audio_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace audiotest;

namespace {

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

class InputFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(waveEnumerateDevices(), 1);
        g_script = &script;
        ASSERT_TRUE(bindScripted(&dev, kWaveInput));
    }
    void TearDown() override {
        waveReleaseDevice(&dev);
        waveReleaseDeviceList();
        g_script = nullptr;
    }
    Script script;
    WaveDevice dev;
};

// 48000 before 44100, stereo before mono, and more channels only for a pair
// beyond the second; a refused --rate is not replaced by another rate, and
// no device is asked for a rate below 11 kHz.
TEST_F(InputFormatTest, ChoosesTheFirstAcceptedRateAndChannelCount) {
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
TEST_F(InputFormatTest, CaptureHandsOnRecordedBlocksOnly) {
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

} // namespace
