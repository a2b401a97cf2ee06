// One display frame as the render thread runs it: the ballistics of the frame
// and the moving parts drawn into the meter window's surface, on a tall
// narrow client (the default window) and on a full-HD one.
#include "controls/ctl_core.h"
#include "display/meter_renderer.h"
#include "display/meter_surface.h"
#include "meter/meter_ballistics.h"
#include "meter/meter_engine.h"
#include "meter/meter_frame.h"
#include "meter/meter_hooks.h"
#include "options/meter_settings.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

void displayFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    auto surface = std::make_shared<MeterSurface>();
    surface->resize(width, height);
    // Any unique address identifies a window to the renderer.
    static int windowTag = 0;
    auto* window = reinterpret_cast<const MeterWindow*>(&windowTag);
    DisplayFrameRenderer& renderer = DisplayFrameRenderer::instance();
    renderer.attach(window, surface);
    meterInstallFrameRenderer(&renderer);

    MeterFrame f{};
    f.in.channels = 2;
    f.in.window = const_cast<MeterWindow*>(window);
    f.in.displayFlags = kMeterShowBars | kMeterShowCorrelator;
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
    for (auto _ : state) {
        // A level that moves every frame, as music does.
        const float a = 0.05f + 0.9f * static_cast<float>((i++ * 37) % 100) / 100.0f;
        for (MeterChannelSums& s : f.in.sums)
            s = {a, 1470 * a * 0.63f, 1470 * a * a * 0.5f};
        f.in.crossSum = 1470 * a * a * 0.3f;
        meterProcessFrame(f);
        benchmark::DoNotOptimize(f.levels[0].peak);
    }
    meterInstallFrameRenderer(nullptr);
    renderer.detach(window);
    surface->drainWake();
}
BENCHMARK(displayFrame)->Args({180, 1080})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

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
