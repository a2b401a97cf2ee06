// Rotary knob, driven by real mouse, wheel and key events.
#include "controls/precision_slider.h"
#include "controls/rotatif.h"
#include "controls/time_entry_dialog.h"
#include "gui_test_support.h"

#include <QElapsedTimer>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <tuple>

namespace {

constexpr int kId = 9, kBegin = kId | kCtlGestureBegin, kEnd = kId | kCtlGestureEnd;
constexpr int kSize = 24, kC = 12; // picture size and centre
constexpr uint32_t kPanelStyle = kKnobTextEntry | kKnobContinuous |
                                 ctlStyle(kCtlBlack, kCtlGrey84, 0); // pointer: pen 0, brush 10
constexpr QRgb kDisc = 0xFFC8C8C8;

// A plain grey face: whatever differs from it is the painted pointer.
QImage knobPicture() {
    QImage image(kSize, kSize, QImage::Format_RGB32);
    image.fill(kDisc);
    return image;
}

class ControlsKnob : public ControlsWindowTest {
protected:
    void SetUp() override {
        ControlsWindowTest::SetUp();
        ctlOptions().rotMode = 0; // linear, up increases; the other options are the defaults
    }

    // Reports go to `own`, else to `calls` and then to `then`.
    Rotatif* make(uint32_t style = kPanelStyle, float min = 0, float max = 100, float def = 50,
                  float step = 1, Calls* own = nullptr) {
        Rotatif* k =
            ctlCreateKnob(&window, kId, 130, 130, style, knobPicture(), kC, kC, 240, 300, min, max,
                          def, step, own ? record : report, own ? static_cast<void*>(own) : this);
        EXPECT_NE(k, nullptr);
        return k;
    }
    static int report(void* self, int code, float value) {
        auto* t = static_cast<ControlsKnob*>(self);
        t->calls.emplace_back(code, value);
        if (t->then)
            t->then(code, value);
        return 0;
    }
    // Press at the centre, move through `path` (knob coordinates), release.
    void drag(Rotatif* k, std::initializer_list<QPoint> path, bool release = true) {
        QTest::mousePress(k, Qt::LeftButton, {}, {kC, kC});
        for (QPoint p : path)
            QTest::mouseMove(k, p);
        if (release)
            QTest::mouseRelease(k, Qt::LeftButton, {},
                                path.size() ? *(path.end() - 1) : QPoint(kC, kC));
    }
    void wheel(Rotatif* k, int delta) {
        QWheelEvent e(QPointF(kC, kC), k->mapToGlobal(QPointF(kC, kC)), {}, {0, delta},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(k, &e);
    }
    // The knob's picture is what the screen shows inside its disc.
    static bool shown(Rotatif* k) {
        const QImage screen = k->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return k->picture().copy(4, 4, 16, 16) == screen.copy(4, 4, 16, 16);
    }
    // The pointer covers the pixel at fraction f of its length along angle a.
    static bool pointerAt(const Rotatif* k, float a, float f) {
        const float L = kSize / 3 + 2;
        const int x = kC + int(std::lround(f * L * std::cos(a)));
        const int y = kC + int(std::lround(-f * L * std::sin(a)));
        return k->picture().pixel(x, y) != kDisc;
    }

    std::function<void(int, float)> then; // runs inside the knob's callback
};

} // namespace

TEST_F(ControlsKnob, AnglesAndPaintedPointerAtMinimumMiddleAndMaximum) {
    // 240/300: minimum at 240°, middle straight up, maximum at 300°, lower right.
    Rotatif* k = make(kPanelStyle, -10, 10, 0);
    const std::tuple<float, float> cases[] = {{-10, 240}, {0, 90}, {10, 300}};
    for (const auto& [v, deg] : cases) {
        ctlSendCommand(k, kCtlCmdSetValue, v);
        EXPECT_NEAR(k->shownAngle() / kKnobDegree, deg, 1e-3) << v;
        // Painted at once: the needle's far end is drawn, the other angles' are not.
        for (const auto& [v2, deg2] : cases)
            EXPECT_EQ(pointerAt(k, deg2 * kKnobDegree, 0.8f), v2 == v) << v << " at " << deg2;
    }
}

TEST_F(ControlsKnob, LinearDragStepsAlongTheLargerMovement) {
    // Mode, move from the press point, steps.
    const std::tuple<uint32_t, QPoint, float> cases[] = {
        {0, {3, 1}, 3},  {1, {3, 1}, 3},   {0, {1, 3}, -3},   {1, {1, 3}, 3},
        {0, {0, -4}, 4}, {0, {-2, 2}, -2}, {1, {-60, 0}, -50}};
    for (const auto& [mode, move, steps] : cases) {
        ctlOptions().rotMode = mode;
        Rotatif* k = make();
        drag(k, {QPoint(kC, kC) + move});
        EXPECT_EQ(k->value(), 50 + steps) << mode << " " << move.x() << "," << move.y();
        EXPECT_FLOAT_EQ(k->shownAngle(), k->range().angleOf(k->value()));
        delete k;
    }
}

TEST_F(ControlsKnob, AngularDragPointsAndSwitchesAtTheDeadZoneMiddle) {
    ctlOptions().rotMode = 2;
    Rotatif* k = make(kPanelStyle, 0, 300, 150);
    const auto at = [](float deg) {
        return QPoint(kC + int(std::lround(100 * std::cos(deg * kKnobDegree))),
                      kC - int(std::lround(100 * std::sin(deg * kKnobDegree))));
    };
    // Degrees pointed at, value. The dead zone runs from 300° clockwise to 240°
    // with its middle straight down.
    const std::tuple<float, float> cases[] = {{90, 150}, {240, 0},   {290, 300},
                                              {250, 0},  {271, 300}, {269, 0}};
    QTest::mousePress(k, Qt::LeftButton, {}, {kC, kC});
    for (const auto& [deg, v] : cases) {
        QTest::mouseMove(k, at(deg));
        EXPECT_NEAR(k->value(), v, 0.6f) << deg;
        EXPECT_FLOAT_EQ(k->shownAngle(), k->range().angleOf(k->value())) << deg;
    }
    // On the centre nothing changes and the point is not recorded: a linear
    // move afterwards counts from the last point off the centre.
    QTest::mouseMove(k, {kC + 8, kC});
    const float before = k->value();
    QTest::mouseMove(k, {kC, kC});
    EXPECT_EQ(k->value(), before);
    ctlOptions().rotMode = 0;
    QTest::mouseMove(k, {kC + 11, kC});
    EXPECT_EQ(k->value(), before + 3);
    QTest::mouseRelease(k, Qt::LeftButton, {}, {kC + 11, kC});
}

TEST_F(ControlsKnob, KeysAndWheelStepClampAndMultiply) {
    // Action, start value, result; mode, style, minimum and step when not 0..100 by 1.
    enum Act { Left, Right, Up, Down, WheelUp, WheelDown, WheelParts };
    const struct {
        Act act;
        float from, to;
        uint32_t mode = 0, style = kPanelStyle;
        float min = 0, step = 1;
    } cases[] = {{Up, 91, 100},
                 {Down, 5, 0},
                 {Left, 5, 4},
                 {Right, 5, 6},
                 {Right, 2, 2.2f, 0, kPanelStyle | kKnobLogarithmic, 0.1f, 1.1f},
                 {WheelUp, 50, 55},
                 {WheelUp, 50, 45, 1},
                 {WheelDown, 50, 55, 1},
                 {WheelParts, 50, 51}, // 3 x 8 is one step
                 {Up, 50, 50, 0, kPanelStyle | kKnobSpringBack}};
    for (const auto& c : cases) {
        ctlOptions().rotMode = c.mode;
        Rotatif* k = make(c.style, c.min, 100, c.from, c.step);
        k->setFocus();
        const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
        if (c.act <= Down)
            QTest::keyClick(k, keys[c.act]);
        for (int i = 0; i < (c.act == WheelParts ? 3 : c.act > Down); ++i)
            wheel(k, c.act == WheelParts ? 8 : c.act == WheelUp ? 120 : -120);
        EXPECT_FLOAT_EQ(k->value(), c.to) << c.from << " act " << c.act;
        delete k;
    }
}

TEST_F(ControlsKnob, CommandsSetGetAndOptions) {
    // Refused: an id whose bits would read as gesture marks, ranges without
    // defined angles (no span; a logarithm of 0).
    const auto knob = [this](int id, float min, uint32_t style) {
        return ctlCreateKnob(&window, id, 0, 0, style, knobPicture(), kC, kC, 240, 300, min, 1, 1,
                             1.1f, nullptr, nullptr);
    };
    EXPECT_EQ(knob(0x4000, 0, 0), nullptr);
    EXPECT_EQ(knob(1, 1, 0), nullptr);
    EXPECT_EQ(knob(1, 0, kKnobLogarithmic), nullptr);
    Rotatif* k = make();
    EXPECT_EQ(k->command(kCtlCmdGetValue, 0), ctlValueBits(50.0f));
    for (float v : {150.0f, -1.0f, NAN})
        ctlSendCommand(k, kCtlCmdSetValue, v);
    EXPECT_EQ(k->value(), 50.0f);
    ctlSendCommand(k, kCtlCmdSetValue, 100.0f);
    EXPECT_EQ(k->value(), 100.0f);
    EXPECT_TRUE(calls.empty()); // command 4 never notifies

    // Command, option before, option after.
    CtlOptions& o = ctlOptions();
    const std::tuple<int, uint32_t CtlOptions::*, uint32_t, uint32_t> cases[] = {
        {10, &CtlOptions::rotMode, 0, 1},
        {10, &CtlOptions::rotMode, 1, 0},
        {10, &CtlOptions::rotMode, 3, 3},
        {12, &CtlOptions::rotMode, 3, 1},
        {12, &CtlOptions::rotMode, 1, 3},
        {20, &CtlOptions::rotMove, 0, 1},
        {1250, &CtlOptions::rotLatency, 0, 250},
        {2000, &CtlOptions::infoValue, 0xF0000002, 2},
        {2000, &CtlOptions::infoValue, 2, 0x80000002},
        {77, &CtlOptions::rotMode, 1, 1}};
    for (const auto& [code, field, before, after] : cases) {
        o.*field = before;
        EXPECT_EQ(k->command(code, 0), 0);
        EXPECT_EQ(o.*field, after) << code << " from " << before;
    }
    // Min and max items are announced gestures.
    k->command(kKnobCmdMinimum, 0);
    EXPECT_EQ(calls, (Calls{{kId, 0.0f}}));
}

TEST_F(ControlsKnob, LatencyHoldsMovesBackAfterThePress) {
    ctlOptions().rotLatency = 300;
    Rotatif* k = make();
    QElapsedTimer held;
    held.start();
    QTest::mousePress(k, Qt::LeftButton, {}, {kC, kC});
    QTest::mouseMove(k, {kC + 7, kC});
    EXPECT_EQ(k->value(), 50.0f);
    ASSERT_TRUE(QTest::qWaitFor([k] { return k->movesAllowed(); }, 2000));
    EXPECT_GE(held.elapsed(), 295);
    QTest::mouseMove(k, {kC + 10, kC});
    EXPECT_EQ(k->value(), 60.0f); // held-back moves are not seen: from the press point
    QTest::mouseRelease(k, Qt::LeftButton, {}, {kC + 10, kC});
}

TEST_F(ControlsKnob, NotificationsPerGesture) {
    // Style bits beyond the panel's without continuous notification, calls of
    // a 2-move drag (second move changes nothing), then a key and a wheel notch.
    const uint32_t base = kPanelStyle & ~kKnobContinuous;
    const std::tuple<uint32_t, Calls, Calls> cases[] = {
        {base, {{kId, 52}}, {}},
        {base | kKnobContinuous, {{kId, 52}, {kId, 52}}, {{kId, 53}, {kId, 58}}},
        {base | kKnobGestures, {{kBegin, 0}, {kId, 52}, {kEnd, 0}}, {}},
        {base | kKnobSpringBack, {{kId, 52}, {kId, 50}}, {}},
    };
    for (const auto& [style, dragCalls, keyCalls] : cases) {
        calls.clear();
        Rotatif* k = make(style);
        drag(k, {{kC + 2, kC}, {kC + 2, kC}});
        EXPECT_EQ(calls, dragCalls) << std::hex << style;
        calls.clear();
        k->setFocus();
        QTest::keyClick(k, Qt::Key_Right);
        wheel(k, 120);
        EXPECT_EQ(calls, keyCalls) << std::hex << style;
        EXPECT_EQ(k->value(), style & kKnobSpringBack ? 55.0f : 58.0f); // keys held, wheel not
        delete k;
    }
}

TEST_F(ControlsKnob, DoubleClickRestoresTheDefaultOnEnabledKnobsOnly) {
    // Through the window, as the system delivers it: the second press comes
    // as the double-click.
    const auto doubleClick = [this](Rotatif* k) {
        QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, k->pos() + QPoint(kC, kC));
    };
    Rotatif* k = make(kPanelStyle | kKnobGestures);
    ctlSendCommand(k, kCtlCmdDisable, 0);
    ctlSendCommand(k, kCtlCmdSetValue, 60);
    doubleClick(k);
    drag(k, {{kC + 5, kC}});
    EXPECT_EQ(k->value(), 60.0f);
    EXPECT_TRUE(calls.empty());
    QTest::keyClick(k, Qt::Key_Right); // keys still step a disabled knob
    EXPECT_EQ(k->value(), 61.0f);
    ctlSendCommand(k, kCtlCmdEnable, 0);
    calls.clear();
    doubleClick(k);
    EXPECT_EQ(calls, (Calls{{kBegin, 0}, {kId, 61}, {kEnd, 0}, {kBegin, 0}, {kId, 50}, {kEnd, 0}}));
    EXPECT_FALSE(k->dragging());
    EXPECT_TRUE(ctlValueBox()->boxHidden());
}

TEST_F(ControlsKnob, CallbackSettingASiblingDuringADragLeavesBothConsistent) {
    // The panel keeps a low knob at or below a high one: the low knob's
    // callback pushes the high knob up, and pulls itself back below 80.
    Calls high;
    Rotatif* hi = make(kPanelStyle, 0, 100, 60, 1, &high);
    hi->move(10, 10);
    Rotatif* lo = make(kPanelStyle, 0, 100, 40);
    then = [&](int code, float v) {
        if (code != kId)
            return;
        if (v > hi->value())
            ctlSendCommand(hi, kCtlCmdSetValue, v);
        if (v > 80)
            ctlSendCommand(lo, kCtlCmdSetValue, 80);
    };
    QTest::mousePress(lo, Qt::LeftButton, {}, {kC, kC});
    for (int x = 1; x <= 50; x += 7)
        QTest::mouseMove(lo, {kC + x, kC});
    for (Rotatif* k : {lo, hi}) {
        EXPECT_FLOAT_EQ(k->shownAngle(), k->range().angleOf(k->value()));
        EXPECT_TRUE(shown(k)); // painted where it stands
    }
    EXPECT_EQ(lo->value(), 80.0f);
    EXPECT_EQ(hi->value(), 87.0f);
    QTest::mouseRelease(lo, Qt::LeftButton, {}, {kC + 50, kC});
    EXPECT_TRUE(high.empty());
}

TEST_F(ControlsKnob, ValueBoxAtTheChosenCornerWhileDragging) {
    AutoValueView* box = ctlValueBox();
    ASSERT_NE(box, nullptr);
    // infovalue, where the box's top-left goes relative to the knob (130, 130).
    const std::tuple<uint32_t, QPoint> cases[] = {{0x80000001, {50, 110}},
                                                  {0x80000009, {154, 154}}};
    for (const auto& [info, corner] : cases) {
        ctlOptions().infoValue = info;
        Rotatif* k = make(kPanelStyle | kKnobDecibel, 0.05f, 1, 1, 0.01f);
        drag(k, {{kC - 50, kC}}, false);
        EXPECT_FALSE(box->boxHidden());
        EXPECT_EQ(box->lastPosition(), window.mapToGlobal(corner)) << std::hex << info;
        EXPECT_EQ(box->text().toStdString(), "-6.021 db"); // 20 log10(0.5), in decibels
        QTest::mouseRelease(k, Qt::LeftButton, {}, {kC - 50, kC});
        EXPECT_TRUE(box->boxHidden());
        delete k;
    }
    ctlOptions().infoValue = 3;
    Rotatif* k = make();
    drag(k, {{kC + 3, kC}}, false);
    EXPECT_TRUE(box->boxHidden());
}

namespace {

// Items of a menu and its submenus: text -> (checked, enabled).
using Items = std::map<std::string, std::pair<bool, bool>>;

// Right-clicks the knob, reads the open menu, then picks `pick` (or closes).
Items openMenu(Rotatif* k, const std::string& pick = "") {
    Items items;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            for (QAction* b : a->menu() ? a->menu()->actions() : QList<QAction*>{a}) {
                if (!b->isSeparator() && !b->menu())
                    items[b->text().toStdString()] = {b->isChecked(), b->isEnabled()};
                if (b->text().toStdString() == pick)
                    b->trigger();
            }
        menu->close();
    });
    QTest::mouseClick(k, Qt::RightButton, {}, {kC, kC});
    return items;
}

} // namespace

TEST_F(ControlsKnob, ContextMenuChecksTextsAndCommands) {
    using P = std::pair<bool, bool>; // checked, enabled
    // Latency option, which latency item is checked ("" none).
    const std::tuple<uint32_t, std::string> latencies[] = {{300, "Latency 300 ms"}, {150, ""}};
    Rotatif* k = make();
    for (const auto& [ms, checked] : latencies) {
        ctlOptions().rotLatency = ms;
        for (const auto& [t, state] : openMenu(k)) // only latency items are compared
            EXPECT_EQ(state.first && t.rfind("Latency", 0) == 0, t == checked) << ms << " " << t;
    }
    ctlOptions().rotMode = 3;
    ctlOptions().infoValue = 0x80000002;
    ctlSendCommand(k, kCtlCmdSetValue, 100);
    Items items = openMenu(k, "Display on Left Bottom");
    const std::pair<const char*, P> expected[] = {
        {"Current value : +100.000", {false, false}},
        {"Inverse Mousemove Mode", {true, false}},
        {"Angular Mousemove Mode", {true, true}},
        {"Value Max (+100.000000)", {true, true}},
        {"Default value (+50.000000)\tDBLCLICK", {false, true}},
        {"Enable Info Value Box", {true, true}},
        {"Display on Right Top", {true, true}}};
    for (const auto& [text, state] : expected)
        EXPECT_EQ(items.at(text), state) << text;
    EXPECT_EQ(ctlOptions().infoValue, 0x80000004u); // the picked item's command ran

    // Decibel knob: decibels with " db"; no-editing knob: no value items.
    Rotatif* db = make(kPanelStyle | kKnobDecibel, 0.05f, 1, 0.5f, 0.01f);
    items = openMenu(db, "Value Min (-26.0) db");
    EXPECT_EQ(items.at("Current value : -6.021 db"), P(false, false));
    EXPECT_EQ(items.at("Default value (-6.0 db)\tDBLCLICK"), P(true, true));
    EXPECT_EQ(items.at("Value Max (0.0) db"), P(false, true));
    EXPECT_EQ(db->value(), 0.05f);
    EXPECT_EQ(openMenu(make(kPanelStyle | kKnobNoEdit)).size(), 14u);
}

TEST_F(ControlsKnob, EditActionsOpenTheEntryDialogs) {
    // Style, how the dialog is asked for, typed text ("" cancels; the time
    // entry takes any text as OK), value after.
    enum How { Insert, CtrlClick, MiddleClick };
    const uint32_t time = (kPanelStyle & ~kKnobTextEntry) | kKnobTimeEntry;
    const std::tuple<uint32_t, How, const char*, float> cases[] = {
        {kPanelStyle, Insert, "12,5", 12.5f},
        {kPanelStyle, CtrlClick, "150", 50}, // out of range: ignored, still reported
        {kPanelStyle, MiddleClick, "", 50},  // cancelled: nothing
        {kPanelStyle | kKnobNoEdit, Insert, nullptr, 50},
        {(kPanelStyle & ~kKnobTextEntry) | kKnobDecibel, Insert, "20", 10},
        {time, CtrlClick, "", 50},
        {time, CtrlClick, "OK", 50}, // the value shown, reported
    };
    for (const auto& [style, how, typed, after] : cases) {
        calls.clear();
        const bool db = style & kKnobDecibel;
        Rotatif* k = db ? make(style, 1, 100, 50, 1) : make(style);
        bool opened = false;
        QTimer::singleShot(0, [&, typed = typed] {
            if (auto* t = qobject_cast<TimeEntryWindow*>(ctlPopups().timeEntry.data())) {
                opened = true;
                return *typed ? t->accept() : t->reject();
            }
            auto* w = qobject_cast<TextEntryWindow*>(ctlPopups().textEntry.data());
            opened = w;
            if (!w)
                return;
            if (*typed) {
                w->edit()->setText(typed);
                QTest::keyClick(w->edit(), Qt::Key_Return);
            } else {
                QTest::keyClick(w->edit(), Qt::Key_Escape);
            }
        });
        k->setFocus();
        if (how == Insert)
            QTest::keyClick(k, Qt::Key_Insert);
        else
            QTest::mouseClick(k, how == CtrlClick ? Qt::LeftButton : Qt::MiddleButton,
                              how == CtrlClick ? Qt::ControlModifier : Qt::NoModifier, {kC, kC});
        QApplication::processEvents();
        SCOPED_TRACE(testing::Message() << std::hex << style << " " << how);
        EXPECT_EQ(opened, typed != nullptr);
        EXPECT_NEAR(k->value(), after, 1e-4);
        EXPECT_EQ(calls.size(), typed && *typed ? 1u : 0u);
        EXPECT_FALSE(k->dragging());
        delete k;
    }
}

// "Edit Value" chosen with Down and Return: that Return's release confirms
// neither entry dialog of a decibel knob with text entry.
TEST_F(ControlsKnob, EditValueChosenWithTheKeysWaitsForTheTypedValues) {
    Rotatif* k = make(kPanelStyle | kKnobDecibel, 1, 100, 50, 1);
    KeyedEntries answers({"20", "7"});
    QTimer::singleShot(0, [] { pickWithKeys("Edit Value"); });
    QTest::mouseClick(k, Qt::RightButton, {}, {kC, kC});
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers.texts.isEmpty(); }, 3000));
    EXPECT_EQ(answers.stayedOpen, (std::vector<bool>{true, true}));
    EXPECT_EQ(calls, (Calls{{kId, 10.0f}, {kId, 7.0f}}));
}

TEST_F(ControlsKnob, PrecisionSliderFollowsTheKnobs) {
    Rotatif* a = make(kPanelStyle, 0, 100, 30);
    Rotatif* b = make(kPanelStyle, 0, 100, 60);
    b->move(10, 10);
    Rotatif* fixed = make(kPanelStyle | kKnobNoEdit);
    fixed->move(60, 10);
    // Button, modifiers, knob, slider target afterwards.
    const std::tuple<Qt::MouseButton, Qt::KeyboardModifiers, Rotatif*, Rotatif*> cases[] = {
        {Qt::LeftButton, Qt::ShiftModifier, fixed, nullptr},
        {Qt::LeftButton, Qt::ShiftModifier, a, a},
        {Qt::LeftButton, Qt::NoModifier, b, b}, // a press re-targets the open slider
        {Qt::RightButton, Qt::ShiftModifier, a, a},
        {Qt::MiddleButton, Qt::ShiftModifier, b, b},
        {Qt::LeftButton, Qt::ShiftModifier, fixed, b}};
    for (const auto& [button, mods, knob, target] : cases) {
        QTest::mouseClick(knob, button, mods, {kC, kC});
        EXPECT_EQ(ctlPrecisionSliderTarget(), target) << button << " " << mods;
        if (target) {
            EXPECT_EQ(ctlPrecisionSlider()->value(), target->value());
        }
    }
    // A ruler drag goes to the knob the slider was moved to, not the first one.
    PrecisionSlider* s = ctlPrecisionSlider();
    dragBy(s, {30, s->clientHeight() / 2}, {0, 10});
    EXPECT_EQ(a->value(), 30.0f);
    EXPECT_EQ(calls.back(), std::make_pair(kId, b->value()));
    EXPECT_NEAR(b->value(), 61.0f, 1e-4); // ten steps of 0.1
    ctlSendCommand(b, kCtlCmdSetValue, 70);
    EXPECT_EQ(s->value(), 70.0);
    ctlSendCommand(a, kCtlCmdSetValue, 10); // not the slider's knob: left alone
    EXPECT_EQ(ctlPrecisionSliderTarget(), b);
    delete b;
    EXPECT_EQ(ctlPrecisionSlider(), nullptr);
}
