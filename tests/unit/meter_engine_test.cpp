// The meter engine through its public operations.
#include "meter/meter_accumulate_avx2.h"
#include "meter/meter_display_values.h"
#include "meter/meter_engine.h"
#include "meter/meter_engine_record.h"
#include "tests/unit/meter_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>

namespace {

// Every engine test runs on each accumulation kernel the processor offers
// (the parameter: 1 for AVX2, 0 for the baseline SSE2 one).
class MeterEngineTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (GetParam() != 0 && !meterHasAvx2())
            GTEST_SKIP() << "no AVX2 on this processor";
        meterInstallFrameRenderer(&renderer);
        engine = meterCreate();
        ASSERT_NE(engine, nullptr);
        ASSERT_EQ(meterSetFormat(&engine, 44100.0f, 2), 1);
        engine->wideAccumulation = GetParam();
    }
    void TearDown() override {
        if (IsSkipped())
            return;
        renderer.open();
        meterRelease(&engine);
        EXPECT_EQ(engine, nullptr);
        meterInstallFrameRenderer(nullptr);
    }
    template <typename F> void changeLeft(F change) {
        MeterParams p;
        meterGetParams(engine, &p);
        change(p.left);
        meterSetParams(engine, &p);
    }
    void feed(const std::vector<int16_t>& block) {
        meterFeed(&engine, block.data(), static_cast<uint32_t>(block.size() * 2));
    }

    CaptureRenderer renderer;
    MeterEngine* engine = nullptr;
    const std::vector<int16_t> quiet = stereoBlock(4410, silence, silence); // one frame
};

TEST_P(MeterEngineTest, RelaxModeCountsDroppedFramesUntilReset) {
    meterSetLossOptions(engine, 1, 1);
    renderer.hold();
    feed(quiet);
    ASSERT_TRUE(renderer.waitEntered(1)); // the render thread is now busy
    for (int i = 0; i < 5; ++i)
        feed(quiet); // never waits
    EXPECT_EQ(engine->lostFrames.load(), 5);
    renderer.open();
    ASSERT_TRUE(renderer.waitFrames(1));
    // Wait until the render thread is idle again, then publish once more.
    while (engine->renderBusy.load() != 0)
        std::this_thread::yield();
    feed(quiet);
    ASSERT_TRUE(renderer.waitFrames(2));
    EXPECT_EQ(renderer.last().in.lostFrames, 5); // the count travels with the next frame
    meterResetMax(engine);
    EXPECT_EQ(engine->lostFrames.load(), 0);
    engine->lostFrames.store(3);
    meterSetLossOptions(engine, 1, 0);
    EXPECT_EQ(engine->lostFrames.load(), 0);
}

TEST_P(MeterEngineTest, SynchronousModeLosesNoFrameBehindASlowRenderer) {
    renderer.hold();
    std::thread stream([&] {
        for (int i = 0; i < 6; ++i)
            feed(quiet);
    });
    ASSERT_TRUE(renderer.waitEntered(1));
    while (meterIsFeeding(&engine) == 0)
        std::this_thread::yield(); // the stream comes to wait for the renderer
    renderer.open();
    stream.join();
    ASSERT_TRUE(renderer.waitFrames(6));
    EXPECT_EQ(engine->lostFrames.load(), 0);
}

TEST_P(MeterEngineTest, ReleaseWhileFeedingDefersDestructionToTheEndOfTheBlock) {
    renderer.hold();
    feed(quiet);
    ASSERT_TRUE(renderer.waitEntered(1));
    std::thread stream([&] { feed(quiet); }); // waits for the held frame
    while (meterIsFeeding(&engine) == 0)
        std::this_thread::yield();
    meterRelease(&engine);
    EXPECT_NE(std::atomic_ref<MeterEngine*>(engine).load(), nullptr); // nothing freed yet
    renderer.open();
    stream.join();
    EXPECT_EQ(std::atomic_ref<MeterEngine*>(engine).load(), nullptr);
}

// A full-scale frame's readings; then Reset Max and a level reset (as Play
// from the start makes) reach the render state and start the loudness
// (measured as MeterAccumulation checks) again at the next frame, and a
// change of scale mode restarts levels, maxima and range.
TEST_P(MeterEngineTest, ReadingsAndResetsReachTheRenderStateAtTheNextFrame) {
    meterSetLoudness(engine, 1);
    const auto square = [](uint32_t i) { return static_cast<int16_t>(i % 2 ? -32767 : 32767); };
    const auto sine = [](uint32_t i) { // 1 kHz: 100 whole periods in a frame
        return static_cast<int16_t>(std::lround(32767.0 * std::sin(2 * M_PI * 1000.0 * i / 44100)));
    };
    const auto tone = [](uint32_t i) {
        return static_cast<int16_t>(std::lround(2318.0 * std::sin(2 * M_PI * 1000.0 * i / 44100)));
    };
    const auto inverted = [&](uint32_t i) { return static_cast<int16_t>(-tone(i)); };
    const auto loud = stereoBlock(4410, tone, inverted); // 100 whole periods: -23 LUFS
    size_t seen = 0;
    const auto after = [&](const std::vector<int16_t>& block, int times) {
        for (int i = 0; i < times; ++i, ++seen)
            feed(block);
        EXPECT_TRUE(renderer.waitFrames(seen));
        return renderer.last();
    };
    MeterFrame f = after(stereoBlock(4410, square, sine), 1);
    const float fs = 32767.0f / 32768.0f;
    EXPECT_FLOAT_EQ(f.levels[0].peak, fs);
    EXPECT_NEAR(f.levels[0].average, fs, 1e-4);
    EXPECT_NEAR(meterScaleValue(f.levels[0].power, MeterQuantity::Power, 0, 0.0f), -0.0003f, 1e-3);
    EXPECT_NEAR(meterScaleValue(f.levels[1].power, MeterQuantity::Power, 0, 0.0f), -3.01f, 0.01);
    EXPECT_NEAR(meterScaleValue(f.levels[1].average, MeterQuantity::Average, 0, 0.0f), -3.92f,
                0.01);

    const float shownMax = after(loud, 10).hold[0].maxPeak; // the full-scale frame's
    meterResetMax(engine);
    f = after(quiet, 1);
    EXPECT_GT(f.levels[0].peak, 0.0f);             // still releasing
    EXPECT_LT(f.hold[0].maxPeak, shownMax - 0.3f); // started again from -200
    EXPECT_EQ(f.correlation, 0.0f);                // silence pulls a negative reading to 0
    EXPECT_LT(f.in.loudness.momentaryMax, -30.0f);

    EXPECT_NEAR(after(loud, 4).in.loudness.momentaryMax, -23.0f, 0.1);
    meterResetLevels(&engine);
    f = after(quiet, 1);
    EXPECT_EQ(std::tuple(f.levels[0].peak, f.levels[1].power, engine->coeffValid),
              std::tuple(0.0f, 0.0f, 1));
    EXPECT_LT(f.in.loudness.momentaryMax, -30.0f);

    changeLeft([](ChannelParams& c) { c.linearScale = 1; });
    f = after(quiet, 1); // linear scale: silence is amplitude 0, no decibel mark is kept
    EXPECT_EQ(std::tuple(f.hold[0].maxPeak, f.hold[0].rangeLow, f.in.scaleMode),
              std::tuple(0.0f, 0.0f, 1));
    meterSetLoudness(engine, 0);
    EXPECT_EQ(after(quiet, 1).in.loudness.on, 0);
}

// 25 frames per second: the period is rounded to float, giving 1763 sample
// frames rather than 1764.
TEST_P(MeterEngineTest, ParametersActAtTheNextBlockAndBadBlocksAndFormatsAreIgnored) {
    changeLeft([](ChannelParams& c) { c.nbFperS = 25; });
    EXPECT_EQ(engine->coeff.samplesPerFrame, 4410u); // not yet
    feed(stereoBlock(100, silence, silence));
    EXPECT_EQ(engine->coeff.samplesPerFrame, 1763u);

    meterFeed(&engine, nullptr, 400);
    const int16_t pair[2] = {0, 0};
    meterFeed(&engine, pair, 3); // shorter than one sample frame
    EXPECT_EQ(engine->sampleCounter, 100u);

    EXPECT_EQ(meterSetFormat(&engine, 0.0f, 2), 0);
    EXPECT_EQ(meterSetFormat(&engine, 44100.0f, 0), 0);
    MeterEngine* none = nullptr;
    EXPECT_EQ(meterSetFormat(&none, 44100.0f, 2), 0);
}

INSTANTIATE_TEST_SUITE_P(Kernels, MeterEngineTest, ::testing::Values(0, 1),
                         [](const auto& kernel) { return kernel.param ? "Avx2" : "Sse2"; });

// Placement recording is checked with the real meter window.
class FakeHost final : public MeterWindowHost {
public:
    int windowNormalRect(MeterWindow*, int32_t[4]) override { return 0; }
    void repaintWindow(MeterWindow*) override { ++repaints; }
    void destroyWindow(MeterWindow* w) override { destroyed = w; }
    int repaints = 0;
    MeterWindow* destroyed = nullptr;
};

TEST_P(MeterEngineTest, RepaintReachesTheWindowAndReleasingTheEngineClosesIt) {
    FakeHost host;
    meterInstallWindowHost(&host);
    auto* window = reinterpret_cast<MeterWindow*>(&host);
    meterSetWindow(engine, window);
    EXPECT_EQ(meterWindowContext(engine)->engine, engine);
    meterRepaint(engine);
    EXPECT_EQ(host.repaints, 1);
    meterRelease(&engine);
    EXPECT_EQ(host.destroyed, window);
    meterInstallWindowHost(nullptr);
}

class FakeSettings final : public MeterSettingsProvider {
public:
    void loadSettings(const char* subKey) override { key = subKey; }
    void releaseSettings() override {}
    MeterSettingsValues settingsValues() override { return values; }
    MeterSettingsValues values = kMeterSettingsCompiledDefaults;
    std::string key;
};

TEST(MeterEngineCreation, ClampsTheStoredValuesAndCorrectsTheFrameRate) {
    FakeSettings settings;
    MeterSettingsValues& v = settings.values;
    std::tie(v.Delay, v.Attack, v.L_MinDB, v.Max_DBperS, v.nbFperS, v.PhaseRelease) =
        std::tuple(7.0f, std::nanf(""), -500.0f, 0.0f, 0, 31.0f);
    meterInstallSettingsProvider(&settings);
    MeterEngine* e = meterCreate();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(settings.key, "Korvalo Cor");
    MeterParams p;
    meterGetParams(e, &p);
    const ChannelParams& c = p.left;
    EXPECT_EQ(std::tuple(c.Delay, c.Attack, c.L_MinDB, c.Max_DBperS, c.nbFperS, c.PhaseRelease),
              std::tuple(2.0f, 0.1f, -180.0f, 0.1f, 10, 30.0f));
    // An over-long window name never runs past its field.
    std::memset(p.windowName, 'x', sizeof p.windowName);
    meterSetParams(e, &p);
    meterGetParams(e, &p);
    EXPECT_EQ(std::strlen(p.windowName), 31u);
    meterRelease(&e);
    EXPECT_EQ(e, nullptr);
    meterInstallSettingsProvider(nullptr);
}

// The owner may release the engine at any moment while a stream thread keeps
// calling meterIsFeeding and meterFeed through the same variable: whatever
// point the feeder has reached, nothing it touches may be freed under it
// (ThreadSanitizer and AddressSanitizer builds see any use after free).
TEST(MeterEngineRelease, ReleaseFromTheOwnerIsSafeWhateverTheFeederIsDoing) {
    MeterEngine* engine = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<long> feeds{0};
    std::thread feeder([&] {
        const auto block = stereoBlock(
            64, [](uint32_t i) { return int16_t(i * 97); }, silence);
        while (!stop.load()) {
            if (meterIsFeeding(&engine) == 0)
                meterFeed(&engine, block.data(), static_cast<uint32_t>(block.size() * 2));
            feeds.fetch_add(1);
        }
    });
    for (int round = 0; round < 150; ++round) {
        MeterEngine* e = meterCreate();
        if (meterSetFormat(&e, 44100.0f, 2) != 1) {
            ADD_FAILURE() << "no engine";
            break;
        }
        meterSetLossOptions(e, round % 2, 1); // both hand-off modes
        std::atomic_ref<MeterEngine*>(engine).store(e);
        const long seen = feeds.load();
        while (feeds.load() < seen + 1 + round % 7)
            std::this_thread::yield();
        meterRelease(&engine);
        // A release that came during a block is finished by the feeder.
        while (std::atomic_ref<MeterEngine*>(engine).load() != nullptr)
            std::this_thread::yield();
    }
    stop.store(true);
    feeder.join();
}

} // namespace
