// Settings store benchmarks: the program's start-up reads and its shut-down
// save, on a normal store and on one that also holds 10,000 other sections.
//
// The reads and writes are those of the program's callers: the latency, the
// control library's 8 options, the 33 display settings plus the outline
// colour, and the meter window's 4 edges (47 reads). The save writes the
// latency alone and the window edges, the display settings and the library
// options each as one batch, as the callers do. "changed" saves new
// values (every rewrite happens); "unchanged" saves what is stored (no
// rewrite); "single writes" is the former one-rewrite-per-value save, for
// comparison. Every start-up iteration begins with a file the process has
// not parsed yet, as a new process does.
//
// Budgets: the normal shut-down save under 50 ms; the start-up reads with
// 10,000 sections under 0.5 s.
#include "platform/registry_store.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kLatencyKey = "Zandel_Audio\\demo";
constexpr const char* kWindowKey = "Zandel_Audio\\TRLX\\Korvalo Cor.";
constexpr const char* kMeterKey = "Zandel_Audio\\TRLX\\Meter\\Korvalo Cor";
constexpr const char* kCtlKey = "Zandel_Audio\\QK2CTL\\Korvalo Cor.";

const char* const kWindowNames[] = {"Window x0", "Window y0", "Window x1", "Window y1"};
// In save order; "AttnBorder" twice, as the display settings save writes it.
const char* const kMeterNames[] = {
    "MoyBorder",     "MoyBrush",         "nomBorder",    "nomBrush",    "MaxBorder",
    "MaxBrush",      "AttnBorder",       "AttnBorder",   "AttnOutline", "MaxColor",
    "MoyColor",      "Electron",         "Corel_on",     "Corel_off",   "Persistence",
    "BrushType",     "dbHead",           "dbMax",        "L_MinDB",     "L_MaxDB",
    "C_MinDB",       "C_MaxDB",          "Max_DBperS",   "Moy_DBperS",  "nbFperS",
    "ReduceMinDb",   "DisplayDbOffset",  "Delay",        "Attack",      "PhaseRelease",
    "DelayElectron", "DelayPersistence", "RangeRelease", "diapason"};
const char* const kCtlNames[] = {"Rot_Mode",  "infovalue",  "Rot_Latency", "Rot_Move",
                                 "S_capture", "S_settopos", "A_imode",     "Dial_tCtx"};

// A private settings folder for the whole run.
class BenchFolder {
public:
    BenchFolder() {
        std::string tmpl = "/tmp/kc-registry-bench-XXXXXX";
        if (!mkdtemp(tmpl.data()))
            std::abort();
        m_dir = tmpl;
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

private:
    std::string m_dir;
};
BenchFolder g_folder;

// The program's shut-down save; `seed` makes the values.
void saveAll(uint32_t seed, bool batches) {
    const float latency = 0.02f + static_cast<float>(seed % 10) * 0.01f;
    regWriteValue(kLatencyKey, "LatencyTime", &latency, 4);
    int32_t edges[4] = {static_cast<int32_t>(seed % 100), 0, 179, 1079};
    uint32_t meter[34];
    for (uint32_t i = 0; i < 34; ++i)
        meter[i] = seed * 131 + i;
    uint32_t ctl[7];
    for (uint32_t i = 0; i < 7; ++i)
        ctl[i] = seed + i;
    unsigned char ctx[44];
    for (int i = 0; i < 44; ++i)
        ctx[i] = static_cast<unsigned char>(seed + i);
    if (!batches) {
        for (int i = 0; i < 4; ++i)
            regWriteValue(kWindowKey, kWindowNames[i], &edges[i], 4);
        for (int i = 0; i < 34; ++i)
            regWriteValue(kMeterKey, kMeterNames[i], &meter[i], 4);
        for (int i = 0; i < 7; ++i)
            regWriteValue(kCtlKey, kCtlNames[i], &ctl[i], 4);
        regWriteValue(kCtlKey, "Dial_tCtx", ctx, 44);
        return;
    }
    RegValue values[34];
    for (int i = 0; i < 4; ++i)
        values[i] = {kWindowNames[i], &edges[i], 4};
    regWriteValues(kWindowKey, values, 4);
    for (int i = 0; i < 34; ++i)
        values[i] = {kMeterNames[i], &meter[i], 4};
    regWriteValues(kMeterKey, values, 34);
    for (int i = 0; i < 7; ++i)
        values[i] = {kCtlNames[i], &ctl[i], 4};
    values[7] = {"Dial_tCtx", ctx, 44};
    regWriteValues(kCtlKey, values, 8);
}

// The program's start-up reads; returns how many found a value.
int readAll() {
    int found = 0;
    float latency = 0.1f;
    found += regReadValue(kLatencyKey, "LatencyTime", &latency, 4);
    uint32_t word = 0;
    for (int i = 0; i < 7; ++i)
        found += regReadValue(kCtlKey, kCtlNames[i], &word, 4);
    unsigned char ctx[44];
    found += regReadValue(kCtlKey, "Dial_tCtx", ctx, 44);
    for (const char* name : kMeterNames) // "AttnBorder" twice, as the load reads it
        found += regReadValue(kMeterKey, name, &word, 4);
    for (const char* name : kWindowNames)
        found += regReadValue(kWindowKey, name, &word, 4);
    benchmark::DoNotOptimize(latency);
    benchmark::DoNotOptimize(ctx);
    return found;
}

// A fresh store: the program's values, then `extra` other sections.
void makeStore(int extra) {
    std::remove(regStorePath().c_str());
    saveAll(1, true);
    std::vector<std::string> names;
    for (int s = 0; s < extra; ++s) {
        const std::string key = "Zandel_Audio\\Other\\Section " + std::to_string(s);
        const uint32_t v = static_cast<uint32_t>(s);
        // One write per section would take long; build the text instead.
        names.push_back("[" + key + "]\nValue=binary:4:" + [&] {
            char hex[9];
            std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", v & 255, (v >> 8) & 255,
                          (v >> 16) & 255, v >> 24);
            return std::string(hex);
        }() + "\n");
    }
    if (extra > 0) {
        FILE* f = std::fopen(regStorePath().c_str(), "ab");
        for (const std::string& n : names)
            std::fwrite(n.data(), 1, n.size(), f);
        std::fclose(f);
    }
}

void BM_StartupReads(benchmark::State& state) {
    makeStore(static_cast<int>(state.range(0)));
    uint32_t seed = 0;
    for (auto _ : state) {
        // A file this process has not seen: the first read parses it.
        state.PauseTiming();
        const float latency = 0.02f + static_cast<float>(++seed % 2) * 0.01f;
        regWriteValue(kLatencyKey, "LatencyTime", &latency, 4);
        state.ResumeTiming();
        if (readAll() != 47)
            state.SkipWithError("a value was missing");
    }
}
BENCHMARK(BM_StartupReads)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShutdownSave(benchmark::State& state) {
    makeStore(static_cast<int>(state.range(0)));
    const int mode = static_cast<int>(state.range(1)); // 0 changed, 1 unchanged, 2 single writes
    state.SetLabel(mode == 0 ? "changed" : mode == 1 ? "unchanged" : "single writes");
    uint32_t seed = 1;
    for (auto _ : state)
        saveAll(mode == 1 ? seed : ++seed, mode != 2);
}
BENCHMARK(BM_ShutdownSave)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
