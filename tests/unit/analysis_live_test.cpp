// A file played live through the transport and the silent device must give,
// bit for bit, the display frames the offline analysis computes for it.
#include "analysis/analysis.h"
#include "analysis/analysis_input.h"
#include "audio/transport.h"
#include "meter/meter_hooks.h"
#include "meter/meter_presets.h"
#include "tests/unit/audio_test_support.h"
#include "tests/unit/meter_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Two seconds with everything a meter reacts to: a rising and falling tone,
// a loud burst, a silent gap, and the channels drifting in and out of phase.
std::vector<int16_t> testSignal() {
    const int n = 88200;
    std::vector<int16_t> s(2 * n);
    for (int i = 0; i < n; ++i) {
        const double t = i / 44100.0;
        const double env = t < 0.7 ? t / 0.7 : t < 1.0 ? 1.0 : t < 1.2 ? 0.0 : 0.4;
        const double burst = t > 0.5 && t < 0.52 ? 0.5 : 0.0;
        const double l = env * 0.6 * std::sin(2 * M_PI * 440 * t) + burst;
        const double r = env * 0.5 * std::sin(2 * M_PI * 440 * t + 3.0 * t);
        s[2 * i] = static_cast<int16_t>(std::lround(std::clamp(l, -1.0, 0.99) * 32767));
        s[2 * i + 1] = static_cast<int16_t>(std::lround(r * 32767));
    }
    return s;
}

// With `loudness`, the stream measures it too and the last frame's reading
// lands there.
std::vector<AnalysisFrame> playLive(const std::string& path, const AnalysisOptions& o,
                                    size_t frames, LoudnessReading* loudness = nullptr) {
    CaptureRenderer capture;
    meterInstallFrameRenderer(&capture);
    audiotest::StreamRig rig;
    EXPECT_TRUE(rig.open("silent", o.latencySeconds));
    // As the meter window's preset and frame-rate commands do.
    MeterParams p;
    meterGetParams(rig.engine, &p);
    if (o.preset >= 0) {
        p.left = p.right = meterPresetFor(o.preset, p.left);
    }
    if (o.fps > 0)
        p.left.nbFperS = o.fps;
    meterSetParams(rig.engine, &p);
    meterSetLoudness(rig.engine, loudness ? 1 : 0);
    EXPECT_EQ(wavAdoptFile(&rig.source, &rig.selection, path.c_str()), WavChoice::Accepted);
    transportPlay(&rig.t);
    capture.waitFrames(frames);
    rig.close();
    meterInstallFrameRenderer(nullptr);
    std::vector<AnalysisFrame> shown;
    for (const MeterFrame& f : capture.frames())
        shown.push_back(analysisFrameOf(f));
    if (loudness && !capture.frames().empty())
        *loudness = capture.frames().back().in.loudness;
    return shown;
}

TEST(AnalysisLiveTest, EveryFrameIsTheLiveMetersBitForBit) {
    const audiotest::TempFile file(audiotest::stereoWav(testSignal()));
    const std::string path = file.path();

    MeterSettingsValues stored = kMeterSettingsCompiledDefaults;
    stored.Delay = 0.3f; // the delay lines carry the file past its end
    stored.Max_DBperS = 9.0f;
    const struct {
        int preset, fps;
        float latency;
    } rows[] = {
        {-1, 0, 0.1f},  // stored settings: peak bar, one frame per block
        {1, 25, 0.1f},  // RMS bar; blocks longer than a frame
        {2, 30, 0.05f}, // analog VU: linear scale, attack, offset; short blocks
        {0, 7, 0.02f},  // frames spanning several blocks
    };
    for (const auto& row : rows) {
        AnalysisOptions o;
        o.preset = row.preset;
        o.fps = row.fps;
        o.latencySeconds = row.latency;
        o.loudness = false;
        analysisInstallHooks(stored, o);
        std::vector<AnalysisFrame> offline;
        const FileAnalysis a =
            analyzeFile(path, o, [&](const AnalysisFrame& f, double) { offline.push_back(f); });
        ASSERT_TRUE(a.error.empty()) << a.error;
        ASSERT_EQ(offline.size(), a.meterFrames);
        ASSERT_GT(offline.size(), 10u);
        const std::vector<AnalysisFrame> live = playLive(path, o, offline.size());
        ASSERT_GE(live.size(), offline.size()) << "preset " << row.preset;
        for (size_t i = 0; i < offline.size(); ++i)
            ASSERT_EQ(std::memcmp(&live[i], &offline[i], sizeof(AnalysisFrame)), 0)
                << "frame " << i << " of preset " << row.preset << " at " << row.fps
                << " frames/s: live bar " << live[i].reading[0].bar << ", offline "
                << offline[i].reading[0].bar;
    }
}

// The loudness figures the meter window prints at the end of a played file
// are those --analyze gives for it.
TEST(AnalysisLiveTest, TheWindowsLoudnessFiguresAreTheAnalysis) {
    // Six seconds of a 997 Hz tone stepping between three levels, the right
    // channel 4 dB below the left.
    std::vector<int16_t> s(2 * 6 * 44100);
    for (size_t i = 0; i < s.size() / 2; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const double a = t < 2 ? 0.1 : t < 4 ? 0.02 : 0.5;
        const double v = a * std::sin(2 * M_PI * 997 * t);
        s[2 * i] = static_cast<int16_t>(std::lround(v * 32767));
        s[2 * i + 1] = static_cast<int16_t>(std::lround(v * 0.631 * 32767));
    }
    const audiotest::TempFile file(audiotest::stereoWav(s));
    const std::string path = file.path();
    MeterSettingsValues stored = kMeterSettingsCompiledDefaults;
    stored.Delay = 0.3f; // the silence the lines start with is not measured
    AnalysisOptions o;
    o.latencySeconds = 0.05f;
    analysisInstallHooks(stored, o);
    const FileAnalysis a = analyzeFile(path, o, {});
    ASSERT_TRUE(a.error.empty() && a.hasLoudness) << a.error;
    LoudnessReading live{};
    ASSERT_GE(playLive(path, o, a.meterFrames, &live).size(), a.meterFrames);
    ASSERT_EQ(live.on, 1);
    const double shown[] = {live.integrated, live.range, live.shortTermMax, live.truePeakMax[0],
                            live.truePeakMax[1]};
    const double analysed[] = {a.integratedLufs, a.loudnessRangeLu, a.shortTermMaxLufs,
                               a.channel[0].truePeakDb, a.channel[1].truePeakDb};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(shown[i], analysed[i], 0.05) << "figure " << i;
}

// A live input through the silent device (zeros at its own 48000 Hz): the
// seconds asked for, or less when stopped; a missing input is named.
TEST(AnalysisLiveTest, InputsAreMeasuredForTheSecondsAskedOrUntilStopped) {
    AnalysisOptions o;
    o.latencySeconds = 0.02f;
    analysisInstallHooks(kMeterSettingsCompiledDefaults, o);
    InputStop none;
    const FileAnalysis a = analyzeInput({"silent", 0.25}, o, {}, none);
    ASSERT_TRUE(a.error.empty()) << a.error;
    EXPECT_EQ(a.sampleRate, 48000);
    EXPECT_EQ(a.frames, 12000u);
    EXPECT_TRUE(std::isinf(a.channel[0].rmsDb) && a.channel[0].rmsDb < 0);
    EXPECT_GE(a.meterFrames, 2u);

    InputStop stop; // open-ended, stopped from another thread
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.request();
    });
    const FileAnalysis b = analyzeInput({"silent", 0}, o, {}, stop);
    stopper.join();
    EXPECT_TRUE(b.error.empty() && b.warning.empty()) << b.error << b.warning;

    const FileAnalysis c = analyzeInput({"hw:97,3", 1}, o, {}, none);
    EXPECT_NE(c.error.find("hw:97,3"), std::string::npos) << c.error;
}

} // namespace
