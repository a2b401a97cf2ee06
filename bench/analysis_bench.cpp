// The offline analysis of one file inside the process (page cache warm): the
// whole pipeline (reading, statistics, meter engine, and loudness with true
// peak when asked), in stereo sample frames per second. The whole-process
// comparison with sox is bench/analysis_vs_sox.sh.
#include "analysis/analysis.h"
#include "tools/wav_writer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& testFile() {
    static const std::string path = [] {
        char name[] = "/tmp/kc-analysis-bench-XXXXXX.wav";
        const int fd = mkstemps(name, 4);
        close(fd);
        const int frames = 44100 * 60;
        std::vector<int16_t> s(2 * static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i) {
            const double t = i / 44100.0;
            s[2 * i] = static_cast<int16_t>(20000 * std::sin(2 * M_PI * 997 * t));
            s[2 * i + 1] = static_cast<int16_t>(16000 * std::sin(2 * M_PI * 1503 * t));
        }
        writeWavFile(name, s, 44100, 2);
        return std::string(name);
    }();
    return path;
}

void BM_AnalyzeFile(benchmark::State& state) {
    AnalysisOptions o;
    o.loudness = state.range(0) != 0;
    analysisInstallHooks(kMeterSettingsCompiledDefaults, o);
    const std::string& path = testFile();
    uint64_t frames = 0;
    for (auto _ : state) {
        const FileAnalysis a = analyzeFile(path, o);
        frames += a.frames;
        benchmark::DoNotOptimize(a.channel[0].rmsDb);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AnalyzeFile)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("loudness")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::remove(testFile().c_str());
    return 0;
}
