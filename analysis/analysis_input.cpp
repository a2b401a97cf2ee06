#include "analysis/analysis_input.h"

#include "analysis/analysis_levels.h"
#include "analysis/analysis_meter.h"
#include "analysis/analysis_report.h"
#include "audio/input_capture.h"
#include "audio/input_format.h"
#include "loudness/loudness_meter.h"
#include "loudness/true_peak.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <pthread.h>
#include <string>
#include <system_error>
#include <thread>

void InputStop::request() {
    std::lock_guard lock(m_mutex);
    m_requested = true;
    if (m_running)
        m_running->store(0);
    if (m_device)
        waveRequestStop(m_device);
}

void InputStop::attach(WaveDevice* device, std::atomic<int>* running) {
    std::lock_guard lock(m_mutex);
    m_device = device;
    m_running = running;
    // A request that came before the capture began ends it at once.
    if (running && m_requested)
        running->store(0);
}

namespace {

// What one recorded block goes to, on the capturing thread.
struct Measures {
    AnalysisMeter* meter;
    LevelStats stats;
    LoudnessMeter* loudness = nullptr;
    TruePeak* peaks = nullptr;
    uint64_t limit = 0; // sample frames to measure; 0: no limit
    std::atomic<int>* running = nullptr;
};

void measureBlock(void* ctx, const int16_t* samples, uint32_t frames) {
    auto* m = static_cast<Measures*>(ctx);
    if (m->limit)
        frames = static_cast<uint32_t>(std::min<uint64_t>(frames, m->limit - m->stats.frames));
    m->stats.addPcm16(samples, frames);
    m->meter->feed(samples, frames);
    if (m->loudness) {
        m->loudness->add(samples, frames);
        m->peaks->add(samples, frames);
    }
    if (m->limit && m->stats.frames >= m->limit)
        m->running->store(0);
}

// The device record and the device list, released however the analysis ends.
struct OpenInput {
    WaveDevice device;
    bool listed = waveEnumerateDevices() == 1;
    ~OpenInput() {
        waveReleaseDevice(&device);
        if (listed)
            waveReleaseDeviceList();
    }
};

std::string failureLine(const WaveDevice& d, const std::string& reason) {
    return "cannot open audio device \"" + std::string(d.entry.pcmName) + "\": " + reason;
}

} // namespace

FileAnalysis analyzeInput(const InputAnalysisRequest& request, const AnalysisOptions& options,
                          const AnalysisFrameSink& frameSink, InputStop& stop) {
    FileAnalysis out;
    out.path = request.name;
    out.container = "live input";
    out.sampleFormat = "PCM 16-bit";
    OpenInput in;
    const std::string pcm = inputPcmName(request.name);
    if (waveInitDevice(&in.device, kWaveInput) != 1 ||
        waveSelectDeviceByName(&in.device, pcm.c_str()) != 1) {
        out.error = "cannot open audio device \"" + pcm + "\": no such input";
        return out;
    }
    StreamFormat format{};
    std::string reason;
    if (!inputChooseFormat(&in.device, {request.rate, request.pairA, request.pairB},
                           options.latencySeconds, format, reason)) {
        out.error = failureLine(in.device, reason);
        return out;
    }
    const int channels = inputMeteredChannels(format);
    const auto rate = static_cast<uint32_t>(format.rate);
    out.sampleRate = format.rate;
    out.channels = channels;
    AnalysisMeter meter(rate, channels, options, frameSink);
    Measures m{&meter, {}, nullptr, nullptr, 0, nullptr};
    m.stats.channels = channels;
    m.limit = static_cast<uint64_t>(std::max(0.0, request.seconds) * format.rate);
    std::unique_ptr<LoudnessMeter> loudness;
    std::unique_ptr<TruePeak> peaks;
    if (options.loudness) {
        loudness = std::make_unique<LoudnessMeter>(channels, rate);
        peaks = std::make_unique<TruePeak>(channels, rate);
        m.loudness = loudness.get();
        m.peaks = peaks.get();
    }
    const uint32_t frames = waveBufferFrames(&in.device);
    std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[waveBufferBytes(&in.device)]);
    std::unique_ptr<int16_t[]> picked(new (std::nothrow) int16_t[2 * size_t{frames}]);
    if (!meter.ok() || frames != meter.blockFrames() || !raw || !picked ||
        (loudness && !loudness->ok())) {
        out.error = "the meter cannot measure " + std::to_string(rate) + " Hz";
        return out;
    }
    std::atomic<int> running = 1;
    m.running = &running;
    CaptureLoop loop;
    loop.device = &in.device;
    loop.pairA = request.pairA;
    loop.pairB = request.pairB;
    loop.raw = raw.get();
    loop.picked = picked.get();
    loop.running = &running;
    loop.block = measureBlock;
    loop.ctx = &m;
    stop.attach(&in.device, &running);
    const int opened = captureRun(loop);
    stop.attach(nullptr, nullptr);
    if (opened != 0) {
        out.error = failureLine(in.device, waveErrorText(&in.device));
        return out;
    }
    if (running.load() && !stop.requested())
        out.warning = "the input stopped after " + std::to_string(m.stats.frames) +
                      " sample frames: " + waveErrorText(&in.device);
    out.overruns = waveOverruns(&in.device);
    analysisFillFigures(m.stats, rate, meter, peaks.get(), loudness.get(), out);
    return out;
}

namespace {

// Waits for SIGINT and SIGTERM (blocked in every thread of the process) and
// turns them into a stop request, until `done`.
void awaitSignals(InputStop& stop, const std::atomic<bool>& done, const sigset_t& set) {
    const timespec tick{0, 100000000};
    while (!done.load()) {
        if (sigtimedwait(&set, nullptr, &tick) > 0)
            stop.request();
    }
}

} // namespace

int analysisRunInput(const InputAnalysisRequest& request, const AnalysisOptions& options,
                     ReportFormat format, const std::string& framesPath) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    InputStop stop;
    std::atomic<bool> done = false;
    std::thread signals;
    try {
        signals = std::thread(awaitSignals, std::ref(stop), std::cref(done), std::cref(set));
    } catch (const std::system_error&) {
        // Without the thread a signal is only taken once the capture ends.
    }
    FILE* framesOut = framesPath == "-" ? stdout : nullptr;
    if (!framesPath.empty() && !framesOut && !(framesOut = std::fopen(framesPath.c_str(), "w"))) {
        std::fprintf(stderr, "korvalo-cor: %s: %s\n", framesPath.c_str(), std::strerror(errno));
        done = true;
        if (signals.joinable())
            signals.join();
        return 2;
    }
    AnalysisFrameSink sink;
    if (framesOut) {
        std::fputs(frameCsvHeader().c_str(), framesOut);
        sink = [&](const AnalysisFrame& f, double t) {
            std::fputs(frameCsvRow(request.name, f, t).c_str(), framesOut);
        };
    }
    const FileAnalysis r = analyzeInput(request, options, sink, stop);
    done = true;
    if (signals.joinable())
        signals.join();
    if (framesOut && framesOut != stdout)
        std::fclose(framesOut);
    if (!r.error.empty()) {
        std::fprintf(stderr, "korvalo-cor: %s: %s\n", r.path.c_str(), r.error.c_str());
        return 3;
    }
    if (!r.warning.empty())
        std::fprintf(stderr, "korvalo-cor: %s: %s\n", r.path.c_str(), r.warning.c_str());
    if (r.overruns > 0)
        std::fprintf(stderr, "korvalo-cor: %s: %u overrun(s): some recorded audio was lost\n",
                     r.path.c_str(), r.overruns);
    if (framesOut != stdout) {
        if (format == ReportFormat::Csv)
            std::fputs(reportCsvHeader().c_str(), stdout);
        ReportContext ctx;
        ctx.preset = options.preset;
        std::fputs(reportSummary(format, r, ctx).c_str(), stdout);
    }
    std::fflush(stdout);
    return r.warning.empty() ? 0 : 3;
}
