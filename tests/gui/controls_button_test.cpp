// Two-state image button and value box, driven by real mouse and key events.
#include "controls/held_keys.h"
#include "controls/i2p.h"
#include "gui_test_support.h"

#include <memory>
#include <string>
#include <tuple>

namespace {

constexpr int kId = 7;

class ControlsButton : public ControlsWindowTest {
protected:
    I2p* make(uint32_t mode) {
        I2p* b = ctlCreateButton(&window, kId, 10, 10, mode, ctlBitmap(0), ctlBitmap(1), QImage(),
                                 record, &calls);
        EXPECT_NE(b, nullptr);
        return b;
    }
    void click(I2p* b, QPoint at = {5, 5}) { QTest::mouseClick(b, Qt::LeftButton, {}, at); }
    float state(I2p* b) { return ctlSendCommand(b, kCtlCmdGetValue, 0.0f); }
};

} // namespace

TEST_F(ControlsButton, PushReportsOnReleaseInsideOnlyAndGivesTheMouseBack) {
    const uint32_t gestures = kCtlNotifyGestures;
    const std::tuple<uint32_t, QPoint, Calls> cases[] = {
        {kI2pPush, {5, 5}, {{kId, 1.0f}}},
        {kI2pPush, {60, 5}, {}},
        {kI2pPush | gestures, {60, 5}, {{kId | 0x8000, 0.0f}, {kId | 0x4000, 0.0f}}},
        {kI2pPush | gestures, {5, 5}, {{kId | 0x8000, 0.0f}, {kId, 1.0f}, {kId | 0x4000, 0.0f}}},
    };
    for (const auto& [mode, releaseAt, expected] : cases) {
        calls.clear();
        I2p* b = make(mode);
        QTest::mousePress(b, Qt::LeftButton, {}, {5, 5});
        EXPECT_EQ(state(b), 1.0f);
        EXPECT_EQ(QWidget::mouseGrabber(), b);
        QTest::mouseRelease(b, Qt::LeftButton, {}, releaseAt);
        EXPECT_EQ(calls, expected) << std::hex << mode << " at " << releaseAt.x();
        EXPECT_EQ(state(b), 0.0f);
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
        delete b;
    }

    // Enter and Space press on key down and report on key up; the mouse goes
    // back to the widget that held it before.
    QWidget holder;
    holder.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&holder));
    I2p* b = make(kI2pPush);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        calls.clear();
        holder.grabMouse();
        QTest::keyPress(b, key);
        EXPECT_TRUE(calls.empty()) << key;
        EXPECT_EQ(QWidget::mouseGrabber(), b);
        QTest::keyRelease(b, key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !calls.empty(); }, 1000)) << key;
        EXPECT_EQ(calls, (Calls{{kId, 1.0f}})) << key;
        EXPECT_EQ(QWidget::mouseGrabber(), &holder);
        holder.releaseMouse();
    }
}

TEST_F(ControlsButton, ToggleRadioCommandsAndTheDisabledState) {
    I2p* toggle = make(kI2pToggle);
    click(toggle);
    click(toggle);
    EXPECT_EQ(calls, (Calls{{kId, 1.0f}, {kId, 0.0f}}));

    calls.clear();
    I2p* radio = make(kI2pRadio);
    click(radio);
    click(radio); // already on: ignored
    EXPECT_EQ(calls, (Calls{{kId, 1.0f}}));
    ctlSendCommand(radio, kCtlCmdSetValue, 0.0f); // the owner turns it off, silently
    click(radio);
    EXPECT_EQ(calls, (Calls{{kId, 1.0f}, {kId, 1.0f}}));

    // Command 4: any nonzero value is on and shows the "on" picture; never a report.
    calls.clear();
    const QPoint mid(12, 8);
    for (const auto& [set, got] : {std::pair{0.5f, 1.0f}, {0.0f, 0.0f}, {-2.0f, 1.0f}}) {
        ctlSendCommand(toggle, kCtlCmdSetValue, set);
        EXPECT_EQ(state(toggle), got) << set;
        EXPECT_EQ(toggle->grab().toImage().pixelColor(mid),
                  ctlBitmap(static_cast<int>(got)).pixelColor(mid))
            << set;
    }
    EXPECT_TRUE(calls.empty());

    // Disabled: clicks and keys do nothing, command 3 still answers.
    ctlSendCommand(toggle, kCtlCmdDisable, 0.0f);
    click(toggle);
    QTest::keyClick(toggle, Qt::Key_Space);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(state(toggle), 1.0f);
    ctlSendCommand(toggle, kCtlCmdEnable, 0.0f);
    click(toggle);
    EXPECT_EQ(calls, (Calls{{kId, 0.0f}}));

    // Default buttons: the library's small pictures; radio wins over push.
    const std::tuple<uint32_t, uint32_t> defaults[] = {
        {0, kI2pToggle},
        {kI2pPush, kI2pPush},
        {kI2pPush | kI2pRadio | kCtlNotifyGestures, kI2pRadio | kCtlNotifyGestures}};
    for (const auto& [options, mode] : defaults) {
        I2p* d = ctlCreateDefaultButton(&window, 3, 0, 50, options);
        EXPECT_EQ(d->mode(), mode);
        EXPECT_EQ(d->notifier().flags, mode & kCtlNotifyGestures); // posted, no callback
    }
    EXPECT_EQ(ctlCreateDefaultButton(nullptr, 3, 0, 0, 0), nullptr);
    QPointer<I2p> closed = make(kI2pToggle); // closing destroys a control
    closed->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());

    // The inert word 0x4000 and unknown modes draw but never react.
    calls.clear();
    for (uint32_t mode : {kI2pInert, 0x3000u})
        click(make(mode));
    EXPECT_TRUE(calls.empty());

    // Tab and Escape go to the parent.
    struct KeyLog : QObject {
        std::vector<int> keys;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress)
                keys.push_back(static_cast<QKeyEvent*>(e)->key());
            return false;
        }
    } log;
    window.installEventFilter(&log);
    QTest::keyClick(toggle, Qt::Key_Tab);
    QTest::keyClick(toggle, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(log.keys, (std::vector<int>{Qt::Key_Tab, Qt::Key_Escape}));
    window.removeEventFilter(&log);
}

TEST_F(ControlsButton, AutoRepeatFollowsTheTicks) {
    // Ticks driven after the press -> reports including the one at the press.
    // The tick with count c comes (c + 1) x 50 ms after the press.
    const std::pair<int, size_t> schedule[] = {
        {0, 1},   {8, 1},   {9, 2},   // 450 ms
        {21, 5},                      // 650, 850, 1050 ms
        {22, 5},  {23, 6},  {41, 15}, // every 100 ms up to 2050 ms
        {42, 16}, {45, 19},           // then every tick
    };
    I2p* b = make(kI2pPush | kI2pAutoRepeat);
    const auto tick = [b](int n) {
        while (n-- > 0)
            b->repeatTick();
    };
    for (const auto& [ticks, reports] : schedule) {
        calls.clear();
        QTest::mousePress(b, Qt::LeftButton, {}, {5, 5});
        EXPECT_TRUE(b->repeating());
        tick(ticks);
        QTest::mouseRelease(b, Qt::LeftButton, {}, {5, 5}); // adds no report
        tick(1);                                            // stopped
        EXPECT_EQ(calls.size(), reports) << ticks << " ticks";
        EXPECT_FALSE(b->repeating());
    }

    // Outside the button the ticks neither report nor count.
    calls.clear();
    QTest::mousePress(b, Qt::LeftButton, {}, {5, 5});
    tick(5);
    QTest::mouseMove(b, {60, 60});
    tick(30);
    EXPECT_EQ(calls.size(), 1u);
    QTest::mouseMove(b, {5, 5});
    tick(3);
    EXPECT_EQ(calls.size(), 1u);
    tick(1); // count 8
    EXPECT_EQ(calls.size(), 2u);

    // Disabling while held ends the press: no capture or repeats remain.
    ctlSendCommand(b, kCtlCmdDisable, 0.0f);
    EXPECT_FALSE(b->repeating());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(state(b), 0.0f);
}

// X repeats a held key as release and press pairs not always marked as
// repeats: a push button still reports once; a toggle button without begin
// and end reports takes each repeat as a press.
TEST_F(ControlsButton, AHeldKeyActsAsOneLongPress) {
    const uint32_t g = kCtlNotifyGestures;
    const Calls once{{kId, 1.0f}}, gesture{{kId | 0x8000, 0.0f}, {kId, 1.0f}, {kId | 0x4000, 0.0f}};
    const std::tuple<uint32_t, Qt::Key, Calls> rows[] = {
        {kI2pPush, Qt::Key_Space, once},
        {kI2pPush | g, Qt::Key_Return, gesture},
        {kI2pPush | kI2pAutoRepeat, Qt::Key_Enter, once},
        {kI2pToggle | g, Qt::Key_Space, gesture},
        {kI2pToggle, Qt::Key_Space, {{kId, 1.0f}, {kId, 0.0f}, {kId, 1.0f}, {kId, 0.0f}}},
        {0, Qt::Key_Return, once}};
    const auto push = [this] { // a dialog's push button
        auto* b = new CtlPushButton("OK", &window);
        QObject::connect(b, &QPushButton::clicked, [this] { calls.emplace_back(kId, 1.0f); });
        return static_cast<QWidget*>(b);
    };
    for (const auto& [mode, key, expected] : rows) {
        calls.clear();
        std::unique_ptr<QWidget> w(mode ? make(mode) : push());
        for (int i = 0; i < 8; ++i) // press, then three pairs, then the release
            i % 2 ? QTest::keyRelease(w.get(), key) : QTest::keyPress(w.get(), key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls.size() >= expected.size(); }, 1000));
        EXPECT_EQ(calls, expected) << std::hex << mode << " key " << key;
    }
}

TEST_F(ControlsButton, ValueBoxFollowsThePositionRule) {
    AutoValueView* box = ctlValueBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isVisible());

    const QPoint at = window.mapToGlobal(QPoint(5, 6));
    EXPECT_EQ(ctlShowValueBox(&window, 5, 6, "-12.5 dB"), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->isVisible(); }, 2000));
    EXPECT_EQ(box->pos(), at);

    // A text change repaints the box's picture at once.
    const QImage before = box->image();
    EXPECT_EQ(ctlSetValueBoxText("+3.0 dB"), 1);
    EXPECT_NE(box->image(), before);

    // Hidden: a text change does nothing; the same point shows it again.
    ctlHideValueBox();
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(ctlSetValueBoxText("lost"), 0);
    EXPECT_EQ(ctlShowValueBox(&window, 5, 6, "B"), 1);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->pos(), at);
    EXPECT_EQ(box->text(), "B");

    // At most 255 characters.
    EXPECT_EQ(ctlShowValueBox(&window, 5, 6, std::string(256, 'x')), 0);
    EXPECT_EQ(ctlSetValueBoxText(std::string(256, 'x')), 0);
    EXPECT_EQ(box->text(), "B");
    EXPECT_EQ(ctlSetValueBoxText(std::string(255, 'x')), 1);

    // Closed, it is gone, and every operation does nothing.
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ctlValueBox(), nullptr);
    EXPECT_EQ(ctlShowValueBox(&window, 5, 6, "D"), 0);
    ctlHideValueBox();
}
