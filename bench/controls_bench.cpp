// Control library benchmarks.
//
// One knob drag step as the user makes it: a mouse move reaches a 24 x 24
// knob, the value steps, and the knob repaints at once through its cached
// picture. Alternate moves go one pixel right and back, so every step
// changes the value and repaints. The "allocs" counter is the number of heap
// allocations per step (the move event itself included).
//
// Precision slider: one redraw of the three rulers into their off-screen
// image, and one drag step (a mouse move over a ruler: new value, rulers
// redrawn and shown at once).
#include "controls/ctl_core.h"
#include "controls/knob_range.h"
#include "controls/precision_slider.h"
#include "controls/rotatif.h"

#include <QApplication>
#include <QMouseEvent>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocs{0};

int ignore(void*, int, float) {
    return 0;
}

QImage disc() {
    QImage image(24, 24, QImage::Format_RGB32);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            image.setPixel(x, y, std::hypot(x + 0.5 - 12, y + 0.5 - 12) <= 12 ? 0xFF909090 : 0);
    return image;
}

void dragStep(benchmark::State& state, uint32_t rotMode, uint32_t rotMove) {
    const CtlOptions saved = ctlOptions();
    ctlOptions().rotMode = rotMode;
    ctlOptions().rotMove = rotMove;
    ctlOptions().rotLatency = 0;
    QWidget window;
    window.resize(100, 100);
    window.show();
    Rotatif* knob = ctlCreateKnob(&window, 1, 40, 40, 0x011000A0, disc(), 12, 12, 240, 300, 0, 100,
                                  50, 1, ignore, nullptr);
    QApplication::processEvents();
    const QPointF centre(12, 12);
    QMouseEvent press(QEvent::MouseButtonPress, centre, knob->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(knob, &press);
    int x = 12;
    long allocs = 0;
    for (auto _ : state) {
        x = x == 12 ? 13 : 12;
        const QPointF p(x, 5);
        const long before = g_allocs.load(std::memory_order_relaxed);
        QMouseEvent move(QEvent::MouseMove, p, knob->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(knob, &move);
        allocs += g_allocs.load(std::memory_order_relaxed) - before;
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(allocs), benchmark::Counter::kAvgIterations);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, knob->mapToGlobal(centre),
                        Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(knob, &release);
    delete knob;
    ctlOptions() = saved;
}

void BM_KnobDragStepLinear(benchmark::State& state) {
    dragStep(state, 0, 0);
}
void BM_KnobDragStepAngularWithMoves(benchmark::State& state) {
    dragStep(state, 2, 1);
}
BENCHMARK(BM_KnobDragStepLinear)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_KnobDragStepAngularWithMoves)->Repetitions(5)->ReportAggregatesOnly(true);

PrecisionSlider* openSlider() {
    const KnobRange range = KnobRange::make(0.0f, 1.0f, 0.5f, 0.01f, 0, 240, 300);
    OpenPrecisionSlider(nullptr, nullptr, 0, 100, 100, 105, CtlNotifier{}, 1, range);
    QApplication::processEvents();
    return ctlPrecisionSlider();
}

void BM_SliderRulerRedraw(benchmark::State& state) {
    PrecisionSlider* s = openSlider();
    for (auto _ : state) {
        s->drawRulers();
        benchmark::DoNotOptimize(s->rulers().constBits());
    }
    s->close();
}
BENCHMARK(BM_SliderRulerRedraw)->Unit(benchmark::kMicrosecond);

void BM_SliderDragStep(benchmark::State& state) {
    PrecisionSlider* s = openSlider();
    const QPointF at(30, s->clientHeight() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, s->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(s, &press);
    int dy = -1;
    for (auto _ : state) {
        dy = -dy; // up and down one pixel: the value stays inside the range
        const QPointF to(at.x(), at.y() + (dy > 0 ? 1 : 0));
        QMouseEvent move(QEvent::MouseMove, to, s->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(s, &move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, at, s->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(s, &release);
    s->close();
}
BENCHMARK(BM_SliderDragStep)->Unit(benchmark::kMicrosecond);

} // namespace

void* operator new(std::size_t size) {
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ctlInitialize("Korvalo Cor.");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ctlShutdown();
    return 0;
}
