// One display frame as the render thread runs it: the ballistics of the frame
// and the moving parts drawn into the meter window's surface, on a tall
// narrow client (the default window), on a full-HD one and at twice the
// density; and the same frame shown by the main thread.
#include "controls/ctl_core.h"
#include "display/meter_renderer.h"
#include "display/meter_surface.h"
#include "meter/meter_ballistics.h"
#include "meter/meter_engine.h"
#include "meter/meter_frame.h"
#include "meter/meter_hooks.h"
#include "options/meter_settings.h"

#include <QApplication>
#include <QPainter>
#include <QRegion>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

namespace {

// Runs the benchmark's frames against `surface`.
// `shown` runs after each frame (the main thread's part), when given.
void runFrames(benchmark::State& state, const std::shared_ptr<MeterSurface>& surface,
               const std::function<void()>& shown = {}) {
    // Any unique address identifies a window to the renderer.
    static int windowTag = 0;
    auto* window = reinterpret_cast<const MeterWindow*>(&windowTag);
    DisplayFrameRenderer& renderer = DisplayFrameRenderer::instance();
    renderer.attach(window, surface);
    meterInstallFrameRenderer(&renderer);

    MeterFrame f{};
    f.in.channels = 2;
    f.in.window = const_cast<MeterWindow*>(window);
    f.in.displayFlags = kMeterShowBarsAndCorrelator;
    f.in.rmsOn = 1;
    f.in.peakOn = 0; // RMS bars with peak indicator and both labels: the most drawing
    f.in.minDb = -60;
    f.in.maxDb = 6;
    f.in.rangeStep = 0.2f / 30.0f;
    f.in.peakRelease = std::pow(10.0f, -6.0f / (20 * 30));
    f.in.averageRelease = std::pow(10.0f, -24.0f / (20 * 30));
    f.in.powerRelease = std::pow(10.0f, -24.0f / (10 * 30));
    f.in.phaseStep = 0.5f / 30;
    f.in.sampleCount = 1470;
    f.in.notify = 1;
    f.hold[0] = f.hold[1] = kMeterHoldStart;
    f.correlatorPixel = -1;

    int i = 0;
    int64_t lockBusy = 0;
    for (auto _ : state) {
        // How often a frame finds the window holding the surface's lock.
        if (surface->lock.try_lock())
            surface->lock.unlock();
        else
            ++lockBusy;
        // A level that moves every frame, as music does.
        const float a = 0.05f + 0.9f * static_cast<float>((i++ * 37) % 100) / 100.0f;
        for (MeterChannelSums& s : f.in.sums)
            s = {a, 1470 * a * 0.63f, 1470 * a * a * 0.5f};
        f.in.crossSum = 1470 * a * a * 0.3f;
        // For the loudness view: the momentary and short-term loudness are
        // averages over 400 ms and 3 s, new every 100 ms (every third frame),
        // so they move smoothly; the gated figures change seldom.
        const float lufs = -30.0f + 12.0f * std::sin(static_cast<float>(i / 3) * 0.3f);
        f.in.loudness = {1, lufs, lufs + 2, -12, -14, -23, 7, {-1.5f, -2}};
        meterProcessFrame(f);
        benchmark::DoNotOptimize(f.levels[0].peak);
        if (shown)
            shown();
    }
    state.counters["lockBusy"] =
        benchmark::Counter(static_cast<double>(lockBusy), benchmark::Counter::kAvgIterations);
    meterInstallFrameRenderer(nullptr);
    renderer.detach(window);
    surface->drainWake();
}

void displayFrame(benchmark::State& state) {
    auto surface = std::make_shared<MeterSurface>();
    surface->resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                    static_cast<double>(state.range(2)) / 4);
    surface->loudnessTarget = state.range(3) != 0 ? 0 : -1;
    runFrames(state, surface);
}
// Width, height, device pixels per logical pixel x 4, the loudness view.
BENCHMARK(displayFrame)
    ->Args({180, 1080, 4, 0})
    ->Args({180, 1080, 4, 1})
    ->Args({1920, 1080, 4, 0})
    ->Args({180, 1080, 8, 0})
    ->Unit(benchmark::kMicrosecond);

// A frame as the whole program handles it: drawn by the render thread, then
// on the main thread the changed rectangles taken and the picture shown in
// just those (a QImage stands in for the window's backing store).
// `shownPixels` is what a frame repaints: the bars and labels that changed,
// far less than the whole client.
void displayFrameShown(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    auto surface = std::make_shared<MeterSurface>();
    surface->resize(width, height);
    QImage screen(width, height, QImage::Format_RGB32);
    QPainter painter(&screen);
    int64_t shownPixels = 0;
    runFrames(state, surface, [&] {
        QRect changed[MeterSurface::kMaxChanges];
        const int n = surface->takeChanged(changed);
        QRegion region;
        for (int i = 0; i < n; ++i) {
            region += changed[i];
            shownPixels += static_cast<int64_t>(changed[i].width()) * changed[i].height();
        }
        surface->present(painter, region);
    });
    state.counters["shownPixels"] =
        benchmark::Counter(static_cast<double>(shownPixels), benchmark::Counter::kAvgIterations);
}
BENCHMARK(displayFrameShown)->Args({180, 1080})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The same frames while the main thread shows the window as fast as it can:
// the render thread must not wait behind the window's painting. `lockBusy` is
// the share of frames that found the surface's lock held.
void displayFrameWhileShown(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    auto surface = std::make_shared<MeterSurface>();
    surface->resize(width, height);
    std::atomic<bool> stop{false};
    std::thread shower([&] {
        QImage screen(width, height, QImage::Format_RGB32); // stands in for the backing store
        while (!stop.load(std::memory_order_relaxed)) {
            QPainter painter(&screen);
            surface->present(painter, QRect(0, 0, width, height));
        }
    });
    runFrames(state, surface);
    stop = true;
    shower.join();
}
BENCHMARK(displayFrameWhileShown)
    ->Args({180, 1080})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ctlInitialize("Korvalo Cor.");
    LoadMeterSettings("Korvalo Cor");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReleaseMeterSettings();
    ctlShutdown();
    return 0;
}
