// The loudness unit fed one second of stereo 16-bit noise at a time: the
// loudness figures (K-weighting and block sums) and the true peak (4x
// interpolation), each alone, in sample frames per second.
#include "loudness/loudness_meter.h"
#include "loudness/true_peak.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

std::vector<int16_t> noise(uint32_t frames) {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> d(-20000, 20000);
    std::vector<int16_t> s(2 * static_cast<size_t>(frames));
    for (int16_t& v : s) {
        v = static_cast<int16_t>(d(rng));
    }
    return s;
}

template <typename M> void run(benchmark::State& state, M& m) {
    const std::vector<int16_t> s = noise(44100);
    for (auto _ : state) {
        m.add(s.data(), 44100);
    }
    state.SetItemsProcessed(state.iterations() * 44100);
}

void BM_loudness(benchmark::State& state) {
    LoudnessMeter m(2, 44100);
    run(state, m);
    benchmark::DoNotOptimize(m.integrated());
}
BENCHMARK(BM_loudness);

void BM_truePeak(benchmark::State& state) {
    TruePeak p(2, 44100);
    run(state, p);
    benchmark::DoNotOptimize(p.peak(0));
}
BENCHMARK(BM_truePeak);

} // namespace

BENCHMARK_MAIN();
