// Precision slider, driven by real mouse and key events: parameters, drag
// directions, clamping, inverse mode, re-targeting, the focus
// and the ways it closes.
#include "controls/i2p.h"
#include "controls/knob_range.h"
#include "controls/precision_slider.h"
#include "gui_test_support.h"

#include <cmath>
#include <tuple>

namespace {

constexpr int kId = 9, kClose = 105;

// Stands in for a knob: takes command 4 into its range and refreshes the
// slider, as a knob does.
class Target : public CtlControl {
public:
    Target(QWidget* parent, float lo, float hi, float value, uint32_t style)
        : CtlControl(parent, "target"),
          range(KnobRange::make(lo, hi, value, 0.01f, style, 240, 300)) {
        initControl(kId, CtlNotifier{parent, record, style | kCtlUseCallback, &notes}, true);
    }
    int32_t command(int code, int32_t argument) override {
        commands.emplace_back(code, ctlBitsValue(argument));
        if (code == kCtlCmdSetValue && range.setValue(ctlBitsValue(argument)))
            RefreshPrecisionSlider(this, range.style, kClose, notifier(), kId, range);
        return CtlControl::command(code, argument);
    }
    PrecisionSlider* open() {
        OpenPrecisionSlider(parentWidget(), this, range.style, 300, 200, kClose, notifier(), kId,
                            range);
        return ctlPrecisionSlider();
    }
    KnobRange range;
    Calls commands, notes;
};

class ControlsSlider : public ControlsWindowTest {
protected:
    // Presses in ruler `column` (1..3) at mid height, moves by each offset in
    // turn, releases.
    static void drag(PrecisionSlider* s, int column, std::vector<QPoint> moves) {
        QPoint p(s->clientWidth() / 3 * (column - 1) + 30, s->clientHeight() / 2);
        QTest::mousePress(s, Qt::LeftButton, {}, p);
        for (QPoint d : moves)
            QTest::mouseMove(s, p += d);
        QTest::mouseRelease(s, Qt::LeftButton, {}, p);
    }
};

} // namespace

TEST_F(ControlsSlider, ParametersAndTenPixelsDownInEachRuler) {
    // Range and style; minimum, maximum, decimals and log10 of the coarse step.
    const std::tuple<float, float, float, uint32_t, double, double, int, int> cases[] = {
        {0.0f, 1.0f, 0.5f, 0, 0, 1, 5, -3},
        {0.0f, 50.0f, 20.0f, 0, 0, 50, 4, -1},
        {1.0f, 0.0f, 0.5f, 0, 0, 1, 5, -3},                 // exchanged bounds
        {0.0f, 0.5f, 0.2f, 0, 0, 0.5, 5, -4},               // c = -1, decimals 7 limited to 5
        {0.0f, 2e6f, 1e6f, 0, 0, 2e6, 1, 4},                // c = 7, decimals -1 limited to 1
        {0.05f, 1.0f, 0.5f, kSliderDecibel, -26, 0, 4, -1}, // decibels, -26.02 truncated
    };
    for (const auto& [lo, hi, value, style, min, max, decimals, coarseExp] : cases) {
        Target t(&window, lo, hi, value, style);
        PrecisionSlider* s = t.open();
        EXPECT_EQ(std::make_tuple(s->params().minimum, s->params().maximum, s->params().decimals),
                  std::make_tuple(min, max, decimals));
        for (int k = 1; k <= 3; ++k) {
            const double step = std::pow(10.0, coarseExp - 2 * (k - 1));
            EXPECT_NEAR(s->params().steps[k - 1], step, step * 1e-9) << hi << " ruler " << k;
            const double before = s->value();
            t.commands.clear();
            drag(s, k, {{0, 4}, {0, 6}}); // moving down raises the value
            EXPECT_NEAR(s->value(), before + 10 * step, step * 1e-3 + std::abs(before) * 2e-7)
                << hi << " ruler " << k;
            const double sent = style ? std::pow(10.0, s->value() / 20) : s->value();
            ASSERT_EQ(t.commands.size(), 2u);
            EXPECT_FLOAT_EQ(t.commands.back().second, static_cast<float>(sent)) << hi;
            EXPECT_EQ(t.notes.back(), std::make_pair(kId, t.commands.back().second));
        }
        s->close();
    }
}

TEST_F(ControlsSlider, DiagonalMovesTakeTheLargerAxisAndInverseModeTurnsThem) {
    Target t(&window, 0.0f, 1.0f, 0.5f, kCtlNotifyGestures);
    PrecisionSlider* s = t.open();
    // (move, steps without inverse mode); equal movements take the horizontal one.
    const std::pair<QPoint, int> cases[] = {{{3, 1}, 3},  {{1, 3}, 3},   {{1, -3}, -3},
                                            {{2, -2}, 2}, {{-2, 2}, -2}, {{0, -5}, -5}};
    for (int inverse : {0, 1}) {
        if (inverse) { // a click just above the switch is the switch's; its report is posted
            QTest::mouseClick(s, Qt::LeftButton, {},
                              {s->clientWidth() - 20, s->clientHeight() - 25});
            QCoreApplication::processEvents();
            ASSERT_EQ(ctlOptions().aIMode, 1u);
            EXPECT_EQ(t.notes.size(), 18u); // no end notice without its begin
        }
        for (const auto& [move, steps] : cases) {
            const double before = s->value();
            drag(s, 1, {move});
            EXPECT_NEAR(s->value() - before, (inverse ? -steps : steps) * 0.001, 1e-7)
                << inverse << ": " << move.x() << "," << move.y();
        }
    }
    // Dragged past the maximum (inverse: upwards), the value holds there.
    drag(s, 1, {{0, -300}, {0, -300}});
    EXPECT_EQ(std::pair(s->value(), t.range.value), std::pair(1.0, 1.0f));
    // Closed in the middle of a drag, the gesture still ends.
    QTest::mousePress(s, Qt::LeftButton, {}, {30, 100});
    QTest::keyClick(s, Qt::Key_Escape);
    EXPECT_EQ(t.notes.back(), std::make_pair(kId | 0x4000, 0.0f));
    // The mode is a library option: the next slider takes it.
    EXPECT_EQ(ctlSendCommand(t.open()->inverseSwitch(), kCtlCmdGetValue, 0.0f), 1.0f);
}

TEST_F(ControlsSlider, RetargetsRefreshesAndSendsTheCloseCodeToItsLastControl) {
    Target a(&window, 0.0f, 1.0f, 0.5f, 0), b(&window, 0.0f, 50.0f, 10.0f, kCtlNotifyGestures);
    PrecisionSlider* s = a.open();
    const QPoint at = s->pos();
    EXPECT_EQ(b.open(), s); // the same window, re-targeted, in place
    EXPECT_EQ(s->pos(), at);
    drag(s, 1, {{0, 10}});
    EXPECT_TRUE(a.commands.empty());
    EXPECT_EQ(b.range.value, 11.0f);
    EXPECT_EQ(b.notes, (Calls{{kId | 0x8000, 0.0f}, {kId, 11.0f}, {kId | 0x4000, 0.0f}}));

    // Refreshed by the same control, it takes the range but keeps its steps;
    // by another control, it moves there in full.
    b.range = KnobRange::make(0.0f, 1000.0f, 500.0f, 1.0f, kCtlNotifyGestures, 240, 300);
    RefreshPrecisionSlider(&b, b.range.style, kClose, b.notifier(), kId, b.range);
    EXPECT_EQ(std::pair(s->params().maximum, s->params().steps[0]), std::pair(1000.0, 0.1));
    window.activateWindow(); // the user went back to the main window
    ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &window; }));
    RefreshPrecisionSlider(&a, 0, kClose, a.notifier(), kId, a.range);
    EXPECT_EQ(ctlPrecisionSliderTarget(), &a);
    EXPECT_EQ(s->params().steps[0], 0.001);

    // Re-targeted, it takes the keyboard focus back: Escape closes it at once, and only the
    // control it last worked for hears the close code.
    ASSERT_TRUE(QTest::qWaitFor([s] { return QApplication::focusWidget() == s; }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(ctlPrecisionSlider(), nullptr);
    EXPECT_EQ(a.commands, (Calls{{kClose, 0.0f}}));
    EXPECT_EQ(b.commands.back().first, kCtlCmdSetValue);

    // The library's shut-down closes it without a close code.
    a.open();
    ctlShutdown();
    EXPECT_EQ(ctlPrecisionSlider(), nullptr);
    EXPECT_EQ(a.commands.size(), 1u);
    ASSERT_EQ(ctlInitialize("Korvalo Cor."), 1);
}

TEST_F(ControlsSlider, RangesWithoutStepsKeepTheWindowUsableAndTheValue) {
    const std::tuple<float, float, float, uint32_t> cases[] = {
        {0.5f, 0.5f, 0.5f, 0},               // span 0
        {0.0f, 1.0f, 0.5f, kSliderDecibel},  // log of 0
        {-1.0f, 1.0f, 0.5f, kSliderDecibel}, // log of a negative bound
    };
    for (const auto& [lo, hi, value, style] : cases) {
        Target t(&window, lo, hi, value, style);
        PrecisionSlider* s = t.open();
        for (int k = 1; k <= 3; ++k)
            drag(s, k, {{0, 20}, {5, -40}});
        EXPECT_TRUE(t.commands.empty() && t.range.value == value && s->isVisible()) << lo;
        QTest::keyClick(s, Qt::Key_Escape);
    }
    // A control that went away is left alone: no value, no notification.
    auto* gone = new Target(&window, 0.0f, 1.0f, 0.5f, 0);
    PrecisionSlider* s = gone->open();
    delete gone;
    drag(s, 1, {{0, 10}});
    EXPECT_EQ(s->value(), 0.5);
    // The bands above and below the rulers move the window.
    const QPoint at = s->pos();
    dragBy(s, {100, 5}, {30, 20});
    EXPECT_EQ(s->pos(), at + QPoint(30, 20));
}
