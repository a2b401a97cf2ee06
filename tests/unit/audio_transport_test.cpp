// The transport over a scripted output device and the real meter engine.
#include "audio/transport.h"
#include "audio_test_support.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_hooks.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace audiotest;

namespace {

// A display that takes `ms` per frame. It outlives every engine, as the
// render thread may still be drawing when a test ends.
struct TimedRenderer final : MeterFrameRenderer {
    void renderFrame(MeterFrame&) override {
        ++entered;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms.load()));
    }
    std::atomic<int> ms = 0;
    std::atomic<int> entered = 0;
};
TimedRenderer g_renderer;

// Records every block on its way to the engine, then feeds the engine.
struct Recorder {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> fed;
    int resets = 0;
    // The second block of a stream comes only once the display is drawing
    // the first one, as on a machine whose render thread wakes at once.
    bool secondBlockWhileDrawing = false;
    size_t fedBefore = 0; // blocks and frames drawn before this stream
    int drawnBefore = 0;
    std::vector<std::string> reports; // lines about a device that cannot be opened
};
Recorder* g_recorder = nullptr;

void recordFeed(MeterEngine** e, const void* samples, uint32_t bytes) {
    size_t index;
    {
        std::lock_guard l(g_recorder->mutex);
        auto* p = static_cast<const uint8_t*>(samples);
        g_recorder->fed.emplace_back(p, p + bytes);
        index = g_recorder->fed.size() - g_recorder->fedBefore;
    }
    if (g_recorder->secondBlockWhileDrawing && index == 2)
        eventually([] { return g_renderer.entered.load() > g_recorder->drawnBefore; });
    meterFeed(e, samples, bytes);
}
void recordReset(MeterEngine** e) {
    std::lock_guard l(g_recorder->mutex);
    ++g_recorder->resets;
    g_recorder->fedBefore = g_recorder->fed.size();
    g_recorder->drawnBefore = g_renderer.entered.load();
    meterResetLevels(e);
}
void recordReport(const char* line) {
    std::lock_guard l(g_recorder->mutex);
    g_recorder->reports.emplace_back(line);
}
const BlockSink kRecordingSink = {meterIsFeeding, recordFeed, recordReset, meterStreamPaced};

class TransportTest : public ::testing::Test, public StreamRig {
protected:
    void SetUp() override {
        g_script = &script;
        g_recorder = &recorder;
        ASSERT_TRUE(open("scripted", 0.02f, kRecordingSink));
    }
    void TearDown() override {
        close();
        g_script = nullptr;
        g_recorder = nullptr;
    }
    void openFile(const std::vector<int16_t>& samples) {
        file = std::make_unique<TempFile>(stereoWav(samples));
        ASSERT_EQ(wavAdoptFile(&source, &selection, file->path()), WavChoice::Accepted);
    }
    size_t fedCount() {
        std::lock_guard l(recorder.mutex);
        return recorder.fed.size();
    }
    // The file's bytes cut into blocks, silence after its end.
    std::vector<uint8_t> fileBlock(const std::vector<int16_t>& samples, size_t index) {
        auto bytes = samplesBytes(samples);
        bytes.resize(std::max(bytes.size(), (index + 1) * t.blockBytes), 0);
        return {bytes.begin() + index * t.blockBytes, bytes.begin() + (index + 1) * t.blockBytes};
    }

    Script script;
    Recorder recorder;
    std::unique_ptr<TempFile> file;
};

TEST_F(TransportTest, CommandsAreIgnoredWithoutAFileOrInTheWrongState) {
    transportPlay(&t); // no file
    EXPECT_FALSE(t.thread.joinable());
    openFile(ramp(5000));
    source.position = 123;
    transportStop(&t);
    transportZero(&t);
    EXPECT_EQ(source.position, 123) << "Stop and Zero while idle do not rewind";
    transportPlay(&t);
    const auto id = t.thread.get_id();
    transportPlay(&t);
    EXPECT_EQ(t.thread.get_id(), id) << "Play while playing";
    EXPECT_EQ(recorder.resets, 1);
    transportZero(&t);
    EXPECT_FALSE(transportIsRunning(&t));
    EXPECT_EQ(source.position, 0);
}

TEST_F(TransportTest, PlaysSilenceThenTheFileAndFeedsTheEngineTheSameBlocksInOrder) {
    const auto samples = ramp(3000); // 3.4 blocks of 880 frames: the fourth ends in silence
    openFile(samples);
    transportPlay(&t);
    EXPECT_TRUE(transportIsRunning(&t));
    ASSERT_TRUE(eventually([&] { return script.movedCount() >= 7; }));
    transportStop(&t);
    EXPECT_FALSE(transportIsRunning(&t));
    EXPECT_EQ(source.position, 0) << "Stop rewinds";

    std::lock_guard l1(script.mutex);
    std::lock_guard l2(recorder.mutex);
    ASSERT_GE(script.moved.size(), 7u);
    EXPECT_EQ(script.moved[0], std::vector<uint8_t>(t.blockBytes, 0)) << "pre-roll silence";
    // Every block played after the pre-roll was fed first, in the same order;
    // the last block fed may not have reached the device before the stop.
    ASSERT_GE(recorder.fed.size(), script.moved.size() - 1);
    for (size_t i = 1; i < script.moved.size(); ++i) {
        EXPECT_EQ(script.moved[i], fileBlock(samples, i - 1)) << i;
        EXPECT_EQ(recorder.fed[i - 1], script.moved[i]) << i;
    }
    EXPECT_EQ(recorder.resets, 1);
}

TEST_F(TransportTest, PlayAfterStopStartsOverWithClearedMeters) {
    const auto samples = ramp(5000);
    openFile(samples);
    transportPlay(&t);
    ASSERT_TRUE(eventually([&] { return fedCount() >= 3; }));
    transportStop(&t);
    engine->lostFrames = 5;
    const size_t before = fedCount();

    transportPlay(&t);
    EXPECT_EQ(engine->lostFrames.load(), 0);
    EXPECT_EQ(recorder.resets, 2);
    ASSERT_TRUE(eventually([&] { return fedCount() >= before + 2; }));
    transportStop(&t);
    std::lock_guard l(recorder.mutex);
    EXPECT_EQ(recorder.fed[before], fileBlock(samples, 0)) << "from the start of the file";
    EXPECT_EQ(recorder.fed[before + 1], fileBlock(samples, 1));
}

TEST_F(TransportTest, AFailingDeviceEndsTheStreamQuietlyAndPlayWorksAgain) {
    openFile(ramp(5000));
    t.reportOpenFailure = recordReport;
    script.failOpen = -16;
    transportPlay(&t);
    ASSERT_TRUE(eventually([&] { return !transportIsRunning(&t); }));
    EXPECT_STRNE(waveErrorText(&device), "");
    EXPECT_EQ(script.movedCount(), 0u);
    const std::vector<std::string> openFailure = {
        "cannot open audio device \"scripted\": Device or resource busy"};
    EXPECT_EQ(recorder.reports, openFailure);

    script.failOpen = 0;
    transportPlay(&t);
    ASSERT_TRUE(eventually([&] { return script.movedCount() >= 2; }));
    EXPECT_TRUE(transportIsRunning(&t));

    // The device goes away while playing: the stream ends by itself.
    {
        std::lock_guard l(script.mutex);
        script.failAfter = static_cast<int>(script.moved.size()) + 1;
    }
    ASSERT_TRUE(eventually([&] { return !transportIsRunning(&t); }));
    transportStop(&t); // not running: nothing to do, and no rewind
    transportPlay(&t);
    EXPECT_TRUE(t.thread.joinable());
    transportStop(&t);
    std::lock_guard l(recorder.mutex);
    EXPECT_EQ(recorder.reports, openFailure) << "only a failed open is reported";
}

TEST_F(TransportTest, ABusyDeviceDropsBlocksWithoutEndingOrSpinningTheStream) {
    openFile(ramp(44100));
    script.refuse = 1 << 30;
    transportPlay(&t);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(transportIsRunning(&t));
    // Each refused block waits about its own duration (20 ms) first; a loop
    // spinning on the busy device would feed thousands in this time.
    EXPECT_LT(fedCount(), 40u);
    {
        std::lock_guard l(script.mutex);
        script.refuse = 0;
    }
    ASSERT_TRUE(eventually([&] { return script.movedCount() >= 2; }));
    EXPECT_GT(device.refused.load(), 0u);
    EXPECT_TRUE(transportIsRunning(&t));
}

// The first blocks of a stream go out back to back until the device holds
// two; a display still drawing the first frame then is no overload. Once the
// device paces the stream, a display slower than the blocks loses frames.
TEST_F(TransportTest, RelaxModeCountsOnlyFramesDroppedOnceTheDevicePacesTheStream) {
    meterInstallFrameRenderer(&g_renderer);
    ASSERT_EQ(waveSelectDeviceByName(&device, "silent"), 1);
    // 4410 frames, 100 ms, per block: a loaded machine that wakes the render
    // thread late by a few tens of milliseconds does not lose a frame.
    ASSERT_EQ(transportOpenStream(&t, 0.1f), 1);
    MeterParams p;
    meterGetParams(engine, &p);
    p.left.nbFperS = 30; // 1470 frames per display frame: every block ends at least one
    meterSetParams(engine, &p);
    meterSetLossOptions(engine, 1, 1);
    openFile(ramp(44100));
    recorder.secondBlockWhileDrawing = true;
    const struct {
        int renderMs;
        bool lost;
    } rows[] = {{10, false}, {250, true}};
    for (const auto& row : rows) {
        // The display is idle when Play starts.
        ASSERT_TRUE(eventually([&] {
            return engine->renderBusy.load() == 0 &&
                   (engine->middleSlot.load() & kMeterFreshBit) == 0;
        }));
        g_renderer.ms = row.renderMs;
        const size_t before = fedCount();
        transportPlay(&t);
        ASSERT_TRUE(eventually([&] { return fedCount() >= before + 8; }));
        transportStop(&t);
        EXPECT_EQ(engine->lostFrames.load() > 0, row.lost) << row.renderMs << " ms per frame";
    }
    meterInstallFrameRenderer(nullptr);
}

TEST_F(TransportTest, LatencyChangeIsRefusedWhilePlayingAndTakesEffectAfterStop) {
    openFile(ramp(5000));
    transportPlay(&t);
    EXPECT_EQ(transportChangeLatency(&t, 0.2f), -1);
    EXPECT_EQ(waveBufferFrames(&device), 880u);
    transportStop(&t);
    EXPECT_EQ(transportChangeLatency(&t, 0.2f), 1);
    EXPECT_EQ(t.blockBytes, 35280u);

    const size_t before = script.movedCount();
    transportPlay(&t);
    ASSERT_TRUE(eventually([&] { return script.movedCount() >= before + 2; }));
    transportStop(&t);
    std::lock_guard l(script.mutex);
    EXPECT_EQ(script.moved[before + 1].size(), 35280u);
}

} // namespace
