// Stream benchmarks with the silent device (no sound card):
//   - how long Stop takes while playing at 200 ms latency (the budget is one
//     block duration + 50 ms);
//   - the stream thread's own CPU time per block (read, feed, transfer),
//     measured on the thread's CPU clock so the pacing waits do not count.
#include "audio/transport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A 30 s stereo tone written once per process.
std::string demoFile() {
    static std::string path;
    if (!path.empty())
        return path;
    path = "/tmp/kc-audio-bench-" + std::to_string(getpid()) + ".wav";
    const uint32_t frames = 44100 * 30;
    std::vector<uint8_t> b;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(36 + frames * 4, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(176400, 4), put(4, 2), put(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(frames * 4, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(10000 * std::sin(i * 0.0627));
        put(static_cast<uint16_t>(v), 2);
        put(static_cast<uint16_t>(-v), 2);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return path;
}

std::atomic<long> g_blocksFed{0};
void countingFeed(MeterEngine** e, const void* samples, uint32_t bytes) {
    meterFeed(e, samples, bytes);
    g_blocksFed.fetch_add(1, std::memory_order_relaxed);
}

struct Rig {
    WaveDevice device;
    WavSource source;
    WavSelection selection;
    MeterEngine* engine = nullptr;
    Transport t;

    explicit Rig(float latency) {
        waveEnumerateDevices();
        waveInitDevice(&device, kWaveOutput);
        waveSelectDeviceByName(&device, "silent");
        wavAdoptFile(&source, &selection, demoFile().c_str());
        engine = meterCreate();
        meterSetFormat(&engine, 44100.0f, 2);
        t.device = &device;
        t.source = &source;
        t.selection = &selection;
        t.engine = &engine;
        t.sink = {meterIsFeeding, countingFeed, meterResetLevels, meterStreamPaced};
        transportOpenStream(&t, latency);
    }
    ~Rig() {
        transportStopThread(&t);
        transportFreeBlock(&t);
        waveReleaseDevice(&device);
        wavClose(&source);
        waveReleaseDeviceList();
        meterRelease(&engine);
    }
};

void BM_StopWhilePlaying200ms(benchmark::State& state) {
    Rig rig(0.2f);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> phase(0, 200);
    for (auto _ : state) {
        transportPlay(&rig.t);
        // Stop at a random point of the block cycle, past the start.
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + phase(rng)));
        const auto t0 = std::chrono::steady_clock::now();
        transportStop(&rig.t);
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["block_ms"] = rig.t.blockFrames * 1000.0 / 44100.0;
}
BENCHMARK(BM_StopWhilePlaying200ms)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6)
    ->Repetitions(3)
    ->ComputeStatistics("max", [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end());
    });

double threadCpuSeconds(std::thread& th) {
    clockid_t cid;
    if (pthread_getcpuclockid(th.native_handle(), &cid) != 0)
        return 0;
    timespec ts{};
    clock_gettime(cid, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void BM_StreamLoopCpuPerBlock(benchmark::State& state) {
    const float latency = static_cast<float>(state.range(0)) / 1000.0f;
    Rig rig(latency);
    for (auto _ : state) {
        // Start-up (thread, device open, buffers) is left out: the window
        // opens once the stream runs steadily.
        transportPlay(&rig.t);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double cpu0 = threadCpuSeconds(rig.t.thread);
        const long blocks0 = g_blocksFed.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        const double cpu1 = threadCpuSeconds(rig.t.thread);
        const long blocks = g_blocksFed.load() - blocks0;
        transportStop(&rig.t);
        state.SetIterationTime(blocks > 0 ? (cpu1 - cpu0) / static_cast<double>(blocks) : 0);
        state.counters["blocks"] = static_cast<double>(blocks);
    }
    state.counters["frames_per_block"] = rig.t.blockFrames;
}
BENCHMARK(BM_StreamLoopCpuPerBlock)
    ->Arg(20)
    ->Arg(100)
    ->Arg(200)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1)
    ->Repetitions(3);

} // namespace

namespace {

// The loop's work without the device: one read and one feed per block.
void BM_ReadAndFeedPerBlock(benchmark::State& state) {
    Rig rig(static_cast<float>(state.range(0)) / 1000.0f);
    wavSeek(&rig.source, 0);
    for (auto _ : state) {
        if (rig.source.position > 44100 * 25)
            wavSeek(&rig.source, 0);
        wavRead(&rig.source, rig.t.block.get(), rig.t.blockBytes);
        meterFeed(&rig.engine, rig.t.block.get(), rig.t.blockBytes);
    }
    state.SetItemsProcessed(state.iterations() * rig.t.blockFrames);
}
BENCHMARK(BM_ReadAndFeedPerBlock)
    ->Arg(20)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace
