// Precision slider: one redraw of the three rulers into their off-screen
// image, and one drag step (a mouse move over a ruler: new value, rulers
// redrawn and shown at once).
#include "controls/ctl_core.h"
#include "controls/knob_range.h"
#include "controls/precision_slider.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>

namespace {

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
