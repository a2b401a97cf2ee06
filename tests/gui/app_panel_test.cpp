// The control panel on the real main window, with a real engine and the
// silent device: every control reaches the parameter it edits, the range
// knobs keep their pairs apart, the offset button and the level-mode buttons,
// what a refresh does to the hold and the meter window, and a shut-down
// inside a knob's menu or dialog.
#include "../unit/audio_test_support.h"
#include "app/app_shell.h"
#include "app/audio_wiring.h"
#include "app/control_panel.h"
#include "app/engine_owner.h"
#include "app/main_window.h"
#include "app/panel_face.h"
#include "app/wav_select.h"
#include "controls/i2p.h"
#include "controls/rotatif.h"
#include "controls/text_entry_dialog.h"
#include "controls/time_entry_dialog.h"
#include "display/meter_window.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

class PanelTest : public ::testing::Test {
protected:
    // As the program does: an engine going closes its meter window.
    static void SetUpTestSuite() { displayInstallHooks(); }
    static void TearDownTestSuite() { displayRemoveHooks(); }
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        MeterWindowHooks hooks;
        ControlPanelPart::fillWindowHooks(hooks);
        meterWindowSetHooks(std::move(hooks));
        start();
    }
    // A new shell with its main window, the previous one shut down.
    void start() {
        shell.reset();
        AppOptions options;
        options.device = QStringLiteral("silent");
        shell = std::make_unique<AppShell>(options);
        audioPart.join(*shell);
        panelPart.join(*shell);
        shell->parts().engine = &engineOwner;
        window = shell->createMainWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(panel.created());
    }
    void TearDown() override {
        shell.reset();
        meterWindowSetHooks({});
    }
    MeterParams params() const {
        MeterParams p{};
        meterGetParams(engine, &p);
        return p;
    }
    static void click(I2p* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5)); }
    static float value(QWidget* control) { return ctlSendCommand(control, kCtlCmdGetValue, 0); }
    // A choice in the file dialog, as "Select Wav File" makes it.
    void selectFile() { ASSERT_TRUE(selector.adopt(QString::fromLocal8Bit(wav.path()))); }

    QTemporaryDir config;
    EngineOwner engineOwner;
    MeterEngine*& engine = *engineOwner.slot();
    AudioPath audio;
    WavSelector selector{audio};
    AudioShellPart audioPart{audio, selector, engineOwner.slot()};
    ControlPanelPart panelPart{selector, engineOwner};
    ControlPanel& panel = panelPart.panel();
    std::unique_ptr<AppShell> shell;
    MainWindow* window = nullptr;
    TempFile wav{stereoWav(ramp(4410)), "tone.wav"};
};

// Tab goes through the controls in this order and wraps; Shift+Tab on the
// first stays there, where Qt's own focus chain would wrap.
TEST_F(PanelTest, TabStepsThroughTheControlsInTheirOrder) {
    const ControlPanel& p = panel;
    QWidget* const order[] = {p.holdButton(),   p.meterButton(),     p.resetButton(),
                              p.linearButton(), p.delayKnob(),       p.peakButton(),
                              p.rmsButton(),    p.averageButton(),   p.topKnob(),
                              p.bottomKnob(),   p.peakReleaseKnob(), p.levelReleaseKnob(),
                              p.attackKnob(),   p.attackButton(),    p.offsetButton(),
                              p.phaseKnob(),    p.holdButton()};
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    order[0]->setFocus();
    for (int i = 0; i < 17; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        i ? Qt::NoModifier : Qt::ShiftModifier);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << i;
    }
}

// One user action per control and the parameters it must leave behind; the
// meter window's presets and level items reach the controls; what a refresh
// keeps.
TEST_F(PanelTest, EveryControlWritesItsParameterAndARefreshKeepsThem) {
    // Knobs: a key step; the left set, and for some the right set too, must
    // hold the knob's new value.
    struct KnobRow {
        Rotatif* knob;
        float ChannelParams::*field;
        bool bothSets;
    };
    const KnobRow knobs[] = {
        {panel.delayKnob(), &ChannelParams::Delay, true},
        {panel.attackKnob(), &ChannelParams::Attack, true},
        {panel.phaseKnob(), &ChannelParams::PhaseRelease, true},
        {panel.topKnob(), &ChannelParams::L_MaxDB, false},
        {panel.bottomKnob(), &ChannelParams::L_MinDB, false},
        {panel.peakReleaseKnob(), &ChannelParams::Max_DBperS, false},
        {panel.levelReleaseKnob(), &ChannelParams::Moy_DBperS, false},
    };
    for (const KnobRow& r : knobs) {
        SCOPED_TRACE(r.knob->controlId() * 100 + r.knob->x());
        const float before = r.knob->value(), rightBefore = params().right.*r.field;
        QTest::keyClick(r.knob,
                        r.knob->value() < r.knob->range().maximum ? Qt::Key_Up : Qt::Key_Down);
        ASSERT_NE(r.knob->value(), before);
        const MeterParams p = params();
        EXPECT_EQ(p.left.*r.field, r.knob->value());
        EXPECT_EQ(p.right.*r.field, r.bothSets ? r.knob->value() : rightBefore);
    }

    // Buttons: the setting in both sets follows the button a click changed.
    const auto both = [this](int32_t ChannelParams::*field) {
        const MeterParams p = params();
        return std::pair(p.left.*field & 1, p.right.*field & 1);
    };
    // The level modes, one at a time: RMS, average, then peak.
    I2p* const levels[] = {panel.peakButton(), panel.rmsButton(), panel.averageButton()};
    for (int mode : {1, 2, 0}) {
        click(levels[mode]);
        const int peak = mode == 0, rms = mode == 1;
        EXPECT_EQ(both(&ChannelParams::peakOn), std::pair(peak, peak)) << mode;
        EXPECT_EQ(both(&ChannelParams::rmsOn), std::pair(rms, rms)) << mode;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(value(levels[i]), i == mode ? 1.0f : 0.0f) << mode << i;
    }
    const std::pair<I2p*, int32_t ChannelParams::*> switches[] = {
        {panel.linearButton(), &ChannelParams::linearScale},
        {panel.attackButton(), &ChannelParams::attackOn},
        {panel.offsetButton(), &ChannelParams::dbOffsetOn}};
    for (auto [button, field] : switches) {
        const int before = int(value(button));
        click(button);
        EXPECT_EQ(both(field), std::pair(1 - before, 1 - before)) << button->x();
    }
    // The offset, switched on over the PEAK selection, turned it into RMS and
    // locks PEAK: the two parameters, PEAK enabled, PEAK and RMS lit.
    const auto state = [&] {
        const ChannelParams c = params().left;
        return std::tuple(c.peakOn & 1, c.rmsOn & 1, ctlControlOf(levels[0])->controlEnabled(),
                          value(levels[0]), value(levels[1]));
    };
    EXPECT_EQ(state(), std::tuple(0, 1, false, 0.0f, 1.0f));
    click(levels[0]); // disabled: nothing
    EXPECT_EQ(state(), std::tuple(0, 1, false, 0.0f, 1.0f));
    click(panel.offsetButton()); // off: PEAK usable again, not selected
    EXPECT_EQ(state(), std::tuple(0, 1, true, 0.0f, 1.0f));
    click(panel.holdButton());
    EXPECT_EQ(meterIsFrozen(engine), 1);
    click(panel.meterButton());
    EXPECT_TRUE(meterGetWindow(engine) != nullptr && params().placementValid == 1);

    // The meter window's presets and level items reach the controls.
    MeterWindow* w = meterWindowOf(engine);
    ASSERT_NE(w, nullptr);
    for (int preset = 0; preset < 3; ++preset) {
        SCOPED_TRACE(preset);
        w->command(kCmdPresetBase + preset);
        const ChannelParams c = params().left;
        for (const KnobRow& r : knobs)
            EXPECT_EQ(value(r.knob), c.*r.field) << r.knob->x();
        for (auto [button, field] : switches)
            EXPECT_EQ(value(button), c.*field ? 1.0f : 0.0f) << button->x();
        EXPECT_EQ(ctlControlOf(panel.peakButton())->controlEnabled(), c.dbOffsetOn == 0);
        const int mode = (c.peakOn & 1) ? 0 : (c.rmsOn & 1) ? 1 : 2;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(value(levels[i]), i == mode ? 1.0f : 0.0f) << i;
        EXPECT_EQ(meterWindowOf(engine), w) << "a preset keeps the window open";
    }
    for (auto [item, button] : {std::pair<int, I2p*>{kCmdRmsLevel, panel.rmsButton()},
                                {kCmdAverageLevel, panel.averageButton()},
                                {kCmdPeakLevel, panel.peakButton()}}) {
        w->command(item);
        EXPECT_EQ(value(button), 1.0f) << item;
    }

    // A refresh keeps the hold and the meter window as the user left them.
    panel.refresh();
    EXPECT_EQ(meterIsFrozen(engine), 1);
    EXPECT_EQ(value(panel.holdButton()), 1.0f);
    selectFile();
    EXPECT_NE(meterWindowOf(engine), nullptr) << "opened with Display: stays open";
    meterWindowOf(engine)->close(); // its close box
    EXPECT_EQ(params().placementValid, 0);
    selectFile();
    EXPECT_EQ(meterWindowOf(engine), nullptr) << "closed by the user: stays closed";
}

TEST_F(PanelTest, RangeKnobsPushTheirPartnerAlong) {
    struct Row {
        Rotatif* moved;
        int command; // the knob menu's "Value Min" or "Value Max"
        Rotatif* partner;
        float partnerWant;
    };
    const Row rows[] = {
        {panel.topKnob(), kKnobCmdMinimum, panel.bottomKnob(), -171.0f}, // top down
        {panel.bottomKnob(), kKnobCmdMaximum, panel.topKnob(), 41.0f},   // bottom up
        {panel.peakReleaseKnob(), kKnobCmdMaximum, panel.levelReleaseKnob(), 96.0f},
        {panel.levelReleaseKnob(), kKnobCmdMinimum, panel.peakReleaseKnob(), 0.1f},
    };
    for (const Row& r : rows) {
        r.moved->command(r.command, 0);
        EXPECT_FLOAT_EQ(r.partner->value(), r.partnerWant);
        const ChannelParams c = params().left;
        EXPECT_GE(c.L_MaxDB, c.L_MinDB + 1.0f);
        EXPECT_LE(c.Max_DBperS, c.Moy_DBperS);
        EXPECT_EQ(c.L_MaxDB, panel.topKnob()->value());
        EXPECT_EQ(c.L_MinDB, panel.bottomKnob()->value());
        EXPECT_EQ(c.Max_DBperS, panel.peakReleaseKnob()->value());
        EXPECT_EQ(c.Moy_DBperS, panel.levelReleaseKnob()->value());
    }
}

// A visible pop-up of the program: an entry dialog before a menu, as a
// dialog chosen from a knob's menu opens over it.
QWidget* shownPopup() {
    QWidget* menu = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        if (qobject_cast<TextEntryWindow*>(w) || qobject_cast<TimeEntryWindow*>(w))
            return w;
        if (qobject_cast<QMenu*>(w))
            menu = w;
    }
    return menu;
}

// Calls `act` with the pop-up once one shows, from inside the loop it runs;
// the polling ends with `owner`.
void whenPopupShows(QObject* owner, std::function<void(QWidget*)> act) {
    QTimer::singleShot(10, owner, [owner, act] {
        if (QWidget* popup = shownPopup())
            act(popup);
        else
            whenPopupShows(owner, act);
    });
}

// The shut-down (a signal, the close box) runs inside the loop of a knob's
// menu or of a dialog opened from it: the knob is hidden at once but deleted
// only after that handler has returned, as the event that opened the menu
// or dialog still goes on to the knob then.
TEST_F(PanelTest, ShutDownInsideAKnobsMenuOrDialogWaitsForIt) {
    struct Row {
        Rotatif* (ControlPanel::*knob)() const;
        bool menu;   // opened with a right click, else with Insert
        bool choose; // "Edit Value" chosen in the menu
    };
    const Row rows[] = {
        {&ControlPanel::topKnob, true, false},    {&ControlPanel::topKnob, true, true},
        {&ControlPanel::delayKnob, true, true},   {&ControlPanel::topKnob, false, false},
        {&ControlPanel::delayKnob, false, false},
    };
    for (const Row& r : rows) {
        if (!panel.created())
            start();
        // A window closed before (the meter window) leaves its activation
        // change queued, and the application going inactive closes a menu.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        const QPointer<Rotatif> knob = (panel.*r.knob)();
        SCOPED_TRACE(testing::Message() << knob->y() << r.menu << r.choose);
        bool waited = false;
        QObject polling;
        std::function<void(QWidget*)> act = [&](QWidget* popup) {
            if (auto* menu = qobject_cast<QMenu*>(popup); menu && r.choose) {
                whenPopupShows(&polling, act);
                for (QAction* a : menu->actions())
                    if (a->data().toInt() == kKnobCmdEdit)
                        a->trigger(); // opens the dialog in a loop inside this one
                return;
            }
            shell->shutDown(); // the library's shut-down ends the entry dialogs
            waited = knob && !knob->isVisible();
            if (QWidget* menu = shownPopup())
                menu->close();
        };
        whenPopupShows(&polling, act);
        if (r.menu)
            QTest::mouseClick(knob, Qt::RightButton, {}, knob->centre());
        else
            QTest::keyClick(knob, Qt::Key_Insert);
        EXPECT_TRUE(waited);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(knob);
    }
}

TEST_F(PanelTest, ShutDownDestroysThePanelBeforeTheEngine) {
    struct Spy final : ShellEngine {
        std::function<void()> onRelease;
        bool createEngine() override { return false; }
        void releaseEngine() override { onRelease(); }
    } spy;
    const QPointer<QWidget> knob = panel.topKnob();
    MeterWindowContext* ctx = meterWindowContext(engine);
    bool panelGoneFirst = false;
    spy.onRelease = [&] {
        panelGoneFirst = knob.isNull() && ctx->controlPanel == nullptr && !panel.created();
        engineOwner.releaseEngine();
    };
    shell->parts().engine = &spy;
    shell->shutDown();
    EXPECT_TRUE(panelGoneFirst);
    EXPECT_EQ(engine, nullptr);
}

} // namespace
