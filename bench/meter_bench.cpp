// Meter engine throughput: the stream thread's accumulation per block, and one
// display frame's ballistics without drawing.
#include "meter/meter_ballistics.h"
#include "meter/meter_engine.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_hooks.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kBlockFrames = 4408; // 100 ms of stereo at 44.1 kHz, rounded

std::vector<int16_t> noiseBlock() {
    std::vector<int16_t> b(kBlockFrames * 2);
    uint32_t x = 12345;
    for (int16_t& s : b) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<int16_t>(x >> 16);
    }
    return b;
}

// A stereo 44.1 kHz engine with both delay lines at `delaySeconds`.
MeterEngine* delayedEngine(int64_t delaySeconds) {
    MeterEngine* engine = meterCreate();
    meterSetFormat(&engine, 44100.0f, 2);
    MeterParams p;
    meterGetParams(engine, &p);
    p.left.Delay = static_cast<float>(delaySeconds);
    p.right.Delay = p.left.Delay;
    meterSetParams(engine, &p);
    return engine;
}

// meterFeed on stereo blocks; the frames it publishes go to a render thread
// in relax mode so that the feeder never waits for the display. `wide` 0 keeps
// the accumulation to the baseline kernel (what processors without AVX2 run).
void feedBlocks(benchmark::State& state, int wide) {
    MeterEngine* engine = delayedEngine(state.range(0));
    meterSetLossOptions(engine, 1, 1);
    engine->wideAccumulation = wide;
    const std::vector<int16_t> block = noiseBlock();
    for (auto _ : state) {
        meterFeed(&engine, block.data(), kBlockFrames * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBlockFrames);
    state.counters["frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlockFrames, benchmark::Counter::kIsRate);
    meterRelease(&engine);
}

void BM_meterFeed(benchmark::State& state) {
    feedBlocks(state, 1);
}
BENCHMARK(BM_meterFeed)->Arg(0)->Arg(2)->ArgName("delay_s");

void BM_meterFeedBaseline(benchmark::State& state) {
    feedBlocks(state, 0);
}
BENCHMARK(BM_meterFeedBaseline)->Arg(0)->Arg(2)->ArgName("delay_s");

// The accumulation alone (delay lines and sums, no locks and no frame
// hand-off), as meterFeed runs it for each block; range(1) 1 lets it use AVX2.
void BM_meterAccumulate(benchmark::State& state) {
    MeterEngine* engine = delayedEngine(state.range(0));
    const std::vector<int16_t> block = noiseBlock();
    meterFeed(&engine, block.data(), 4); // prepares the coefficients and delays
    engine->wideAccumulation = static_cast<int>(state.range(1));
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
    for (auto _ : state) {
        meterAccumulate(engine, bytes, kBlockFrames, 2);
        benchmark::ClobberMemory();
    }
    state.counters["frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlockFrames, benchmark::Counter::kIsRate);
    meterRelease(&engine);
}
BENCHMARK(BM_meterAccumulate)->ArgsProduct({{0, 2}, {1, 0}})->ArgNames({"delay_s", "avx2"});

// One meterProcessFrame (attack, correlation, maxima, range, release) with no
// renderer installed.
void BM_meterProcessFrame(benchmark::State& state) {
    meterInstallFrameRenderer(nullptr);
    MeterFrame frame{};
    frame.hold[0] = kMeterHoldStart;
    frame.hold[1] = kMeterHoldStart;
    MeterFrameInput& in = frame.in;
    in.sampleCount = 4410;
    in.channels = 2;
    in.displayFlags = kMeterShowBarsAndCorrelator;
    in.rmsOn = 1;
    in.peakOn = static_cast<int32_t>(state.range(0));
    in.rangeStep = 0.02f;
    in.peakRelease = std::pow(10.0f, -0.03f);
    in.averageRelease = std::pow(10.0f, -0.12f);
    in.powerRelease = std::pow(10.0f, -0.24f);
    in.averageAttack = std::pow(10.0f, 0.24f) / in.averageRelease;
    in.powerAttack = std::pow(10.0f, 0.48f) / in.powerRelease;
    in.phaseStep = 0.05f;
    const MeterFrameInput pristine = in;
    float level = 0.5f;
    for (auto _ : state) {
        frame.in = pristine;
        frame.in.sums[0] = {level, level * 2000.0f, level * level * 1500.0f};
        frame.in.sums[1] = {level, level * 1800.0f, level * level * 1400.0f};
        frame.in.crossSum = level * level * 1000.0f;
        meterProcessFrame(frame);
        benchmark::DoNotOptimize(frame.levels);
        level = level > 0.9f ? 0.1f : level + 0.01f;
    }
}
BENCHMARK(BM_meterProcessFrame)->Arg(0)->Arg(1)->ArgName("peakOn");

} // namespace
