// The meter window with a real engine: identity, placement, the context menu
// and its commands, and a window that closes while the meter runs.
#include "display/loudness_view.h"
#include "display/meter_layout.h"
#include "display/meter_renderer.h"
#include "display/meter_surface.h"
#include "display/window_placement.h"
#include "display/xy_scope_window.h"
#include "display_test_support.h"
#include "gui_test_support.h"
#include "options/meter_settings.h"
#include "platform/registry_store.h"

#include <QAction>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <cstdio>

namespace {

class WindowTest : public MeterEngineTest {
protected:
    void SetUp() override { // each case starts from no stored values
        std::remove(regStorePath().c_str());
        MeterEngineTest::SetUp();
    }
    // The meter window at 180 x 600, drawn.
    MeterWindow* shown() {
        MeterWindow* w = meterWindowShow(engine);
        w->resize(180, 600);
        settle(w);
        return w;
    }
    // Pixels of a bar column that are not black.
    static int litRows(MeterSurface& s, int x, int fromY, int toY) {
        const QImage img = s.snapshot();
        int n = 0;
        for (int y = fromY; y < toY; ++y)
            n += (img.pixel(x, y) & 0xffffff) != 0;
        return n;
    }
};

TEST_F(WindowTest, OpensAtTheRightEdgeAsATopmostWindowAndReopensWhereItWas) {
    MeterWindow* w = meterWindowShow(engine);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    const QSize screen = ctlScreenSize(nullptr);
    EXPECT_EQ(w->geometry(), QRect(screen.width() - 180, 0, 180, screen.height()));
    EXPECT_EQ(params().placementValid, 1);
    EXPECT_EQ(meterRectFromEdges(params().placement),
              (WindowRect{screen.width() - 180, 0, 180, screen.height()}));
    EXPECT_EQ(meterWindowShow(engine), w); // shown again: the same window

    // Moves are recorded; closing clears the flag but keeps the rectangle.
    w->setGeometry(20, 30, 300, 400);
    EXPECT_EQ(meterRectFromEdges(params().placement), (WindowRect{20, 30, 300, 400}));
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(!meterGetWindow(engine) && !meterWindowOf(engine) && !params().placementValid);
    // Reopened where it was.
    w = meterWindowShow(engine);
    EXPECT_EQ(w->geometry(), QRect(20, 30, 300, 400));
}

TEST_F(WindowTest, StoredPositionAndWhereIsThisWindow) {
    // A stored position far beyond the screen is brought onto it.
    const QRect area = QGuiApplication::primaryScreen()->availableVirtualGeometry();
    const int32_t huge[4] = {0, 0, 99999, 99999}; // a 40 GB surface if trusted
    ASSERT_TRUE(meterWriteStoredPosition(huge));
    MeterWindow* w = meterWindowShow(engine);
    EXPECT_EQ(w->size(), area.size()); // where exactly is the window system's choice
    EXPECT_EQ(w->surface()->snapshot().size(), area.size());
    // "Set current Window Position as default settings" stores the current one.
    w->setGeometry(5, 6, 220, 300);
    w->systemCommand(kSysSetDefaultPosition);
    int32_t back[4];
    ASSERT_TRUE(meterReadStoredPosition(back));
    EXPECT_EQ(meterRectFromEdges(back), (WindowRect{5, 6, 220, 300}));
    // "Where is this window !?" brings it to 0,0 at 200 x 200, on top.
    w->command(kCmdAlwaysVisible);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    w->systemCommand(kSysWhereIsWindow);
    EXPECT_EQ(w->geometry(), QRect(0, 0, 200, 200));
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    // ... and the menu's "Always Visible" says so.
    w->prepareContextMenu();
    EXPECT_TRUE(w->action(kCmdAlwaysVisible)->isChecked());
    w->command(kCmdAlwaysVisible);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
}

// "Loudness (EBU R128)" puts the loudness column right of the correlator and
// takes it away again; the view and the target are kept across windows, and
// what a damaged store holds reads as off and the first target.
TEST_F(WindowTest, LoudnessViewComesAndGoesWithItsMenuItemAndIsKept) {
    MeterWindow* w = shown();
    const MeterLayout L = meterComputeLayout(180, 600, 2, 0x10000001, true);
    ASSERT_TRUE(L.loudness);
    // Left of the column the correlator track is lit everywhere; the
    // momentary bar is black at its top and lit below (in every other row
    // with the default striped fill).
    const auto top = [&] { return litRows(*w->surface(), L.loudX(0) + 1, 41, 46); };
    const auto lit = [&] { return litRows(*w->surface(), L.loudX(0) + 1, 46, L.loudBottom); };
    EXPECT_EQ(top(), 5);
    w->prepareContextMenu();
    EXPECT_FALSE(w->action(kCmdLoudness)->isChecked());
    w->action(kCmdLoudnessTargetBase + 3)->trigger();
    w->action(kCmdLoudness)->trigger();
    EXPECT_EQ(meterLoudnessOn(engine), 1);
    for (int i = 0; i < 20 && (top() != 0 || lit() < L.loudBottom / 4); ++i) {
        feed(true, 2);
        settle(w);
    }
    EXPECT_EQ(top(), 0);
    EXPECT_GT(lit(), L.loudBottom / 4);
    EXPECT_EQ(std::pair(meterReadStoredLoudness(), meterReadStoredLoudnessTarget()),
              std::pair(1, 3));

    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(meterLoudnessOn(engine), 0); // nothing shows it: not measured
    w = shown();
    w->prepareContextMenu();
    EXPECT_TRUE(w->action(kCmdLoudness)->isChecked() &&
                w->action(kCmdLoudnessTargetBase + 3)->isChecked());
    w->action(kCmdLoudness)->trigger();
    settle(w);
    EXPECT_EQ(std::pair(meterLoudnessOn(engine), top()), std::pair(0, 5));

    const struct {
        int32_t on, target;
        uint32_t size;
    } hostile[] = {{7, 99, 4}, {-1, -5, 4}, {1, 2, 2}};
    for (const auto& row : hostile) {
        regWriteValue(kMeterWindowKey, "Loudness (EBU R128)", &row.on, row.size);
        regWriteValue(kMeterWindowKey, "Loudness Target", &row.target, row.size);
        EXPECT_EQ(std::pair(meterReadStoredLoudness(), meterReadStoredLoudnessTarget()),
                  std::pair(0, 0))
            << row.on << " " << row.target;
    }
}

TEST_F(WindowTest, ContextMenuItemsAndMarks) {
    MeterWindow* w = meterWindowShow(engine);
    QMenu* menu = w->prepareContextMenu();
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(
        texts.join(u'|').toStdString(),
        "Display Frame Per Second|-|Reset Max detection|-|PEAK Level|RMS Level|"
        "Average Level|-|Always Visible|Default Options...|Change Window Name...|-|"
        "PRESET : Default|PRESET : Digital VU|PRESET : Analog VU|-|"
        "Notify me on frame loss.|Relax Mode.|-|Where is this window !?|"
        "Set current Window Position as default settings|-|X/Y Scope|Follow the Output Delay|-|"
        "Loudness Target|Loudness (EBU R128)");
    // The follow switch is the program's: never greyed, checked as it says.
    bool follow = true;
    int panelCalls = 0; // the control panel's hooks wait until there is one
    MeterWindowHooks hooks;
    hooks.followDelay = [&] { return follow; };
    hooks.setFollowDelay = [&](bool on) { follow = on; };
    hooks.sourceText = [] { return QStringLiteral("Input: monitor"); };
    hooks.setLevelButtons = [&](void*, const MeterParams&) { ++panelCalls; };
    hooks.refreshPanel = [&](void*) { ++panelCalls; };
    meterWindowSetHooks(hooks);
    QAction* followItem = w->action(kCmdFollowDelay);
    w->prepareContextMenu();
    EXPECT_TRUE(followItem->isEnabled() && followItem->isChecked());
    followItem->trigger();
    EXPECT_FALSE(follow);
    // The tooltip over the title band names the source; below it, none.
    for (const auto& [y, tip] : {std::pair(200, false), std::pair(10, true)}) {
        QHelpEvent help(QEvent::ToolTip, QPoint(20, y), w->mapToGlobal(QPoint(20, y)));
        QApplication::sendEvent(w, &help);
        EXPECT_EQ(QToolTip::isVisible() && QToolTip::text() == "Input: monitor", tip) << y;
        QToolTip::hideText();
    }
    // The rate submenu, 2 to 30, marks the left set's rate only.
    const QMenu* rates = menu->actions().front()->menu();
    ASSERT_NE(rates, nullptr);
    auto rateTexts = [&](bool checkedOnly) {
        QStringList out;
        for (QAction* a : rates->actions())
            if (!checkedOnly || a->isChecked())
                out << a->text();
        return out.join(u' ');
    };
    EXPECT_EQ(rateTexts(false),
              "2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 "
              "27 28 29 30");
    EXPECT_EQ(rateTexts(true), "10");
    // Checked items; "Notify me on frame loss." is grey and unchangeable in
    // synchronous mode.
    const auto checked = [w](int id) { return w->action(id)->isChecked(); };
    EXPECT_EQ(std::tuple(checked(kCmdPeakLevel), checked(kCmdRmsLevel), checked(kCmdAlwaysVisible),
                         checked(kCmdNotifyLoss), checked(kCmdRelaxMode)),
              std::tuple(true, false, true, true, false));
    EXPECT_FALSE(w->action(kCmdNotifyLoss)->isEnabled());
    w->command(kCmdNotifyLoss);
    int relax = -1, notify = -1;
    meterGetLossOptions(engine, &relax, &notify);
    EXPECT_EQ(notify, 1);
    w->command(kCmdRelaxMode);
    w->prepareContextMenu();
    EXPECT_TRUE(w->action(kCmdNotifyLoss)->isEnabled() && checked(kCmdRelaxMode));
    w->command(kCmdNotifyLoss);
    meterGetLossOptions(engine, &relax, &notify);
    EXPECT_EQ(std::pair(relax, notify), std::pair(1, 0));

    // The frame rate item writes the left set only.
    w->command(kCmdFrameRateBase + 25);
    EXPECT_EQ(std::pair(params().left.nbFperS, params().right.nbFperS), std::pair(25, 10));
    w->prepareContextMenu();
    EXPECT_EQ(rateTexts(true), "25");

    // Level modes and presets write both sets: the item, then the peak and
    // RMS switches of both.
    for (auto [item, peak, rms] : {std::tuple(int{kCmdRmsLevel}, 0, 1),
                                   {int{kCmdAverageLevel}, 0, 0},
                                   {int{kCmdPeakLevel}, 1, 0}}) {
        w->command(item);
        const MeterParams p = params();
        EXPECT_EQ(
            std::tuple(p.left.peakOn & 1, p.right.peakOn & 1, p.left.rmsOn & 1, p.right.rmsOn & 1),
            std::tuple(peak, peak, rms, rms))
            << item;
    }
    for (int preset : {2, 0}) { // analog VU, then the default
        w->command(kCmdPresetBase + preset);
        EXPECT_EQ(std::pair(params().left.linearScale, params().right.linearScale),
                  std::pair(preset / 2, preset / 2));
    }
    EXPECT_EQ(panelCalls, 0);
}

// The warning box shows only with a loss and the warning on; play clears the
// loss count: the box goes, also from static parts.
TEST_F(WindowTest, ClearedLossCountTakesTheWarningBoxAway) {
    MeterWindow* w = shown();
    MeterFrame f = silentFrame(kMeterShowBarsAndCorrelator);
    f.in.window = w;
    auto boxPixels = [&] {
        const QImage img = w->surface()->snapshot();
        int n = 0;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 100; ++x)
                n += img.pixel(x, y) == ctlColor(1).rgb();
        return n;
    };
    for (auto [notify, lost] : {std::pair(1, 3), {0, 3}, {1, 3}, {1, 0}}) {
        f.in.notify = notify;
        f.in.lostFrames = lost;
        DisplayFrameRenderer::instance().renderFrame(f);
        settle(w);
        EXPECT_EQ(boxPixels() > 0, notify && lost) << notify << " " << lost;
    }
}

// "Change Window Name..." through the real entry dialog, typed into as a
// user does: Enter renames, an emptied field leaves the name.
TEST_F(WindowTest, ChangeWindowNameAndAReleaseWhileItsDialogIsUp) {
    QPointer<MeterWindow> w = meterWindowShow(engine);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    settle(w);
    // Typed and ended with Return, the name afterwards (nullptr: unchanged).
    const std::pair<const char*, const char*> rows[] = {
        {"", nullptr},
        {"A meter name that is far longer than the field", "A meter name that is far longer"}};
    for (const auto& [typed, expected] : rows) {
        const std::string old = params().windowName;
        QPoint at;
        QString shown;
        QTimer::singleShot(0, [&, typed = typed] {
            QWidget* d = ctlPopups().textEntry;
            ASSERT_NE(d, nullptr);
            auto* edit = d->findChild<QLineEdit*>();
            ASSERT_NE(edit, nullptr);
            at = d->geometry().topLeft();
            shown = edit->text();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, QString::fromUtf8(typed));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        w->command(kCmdChangeName);
        EXPECT_EQ(at, w->mapToGlobal(QPoint(0, 0))) << typed;
        EXPECT_EQ(shown, QString::fromLatin1(old.c_str()));
        EXPECT_STREQ(params().windowName, expected ? expected : old.c_str()) << typed;
        EXPECT_EQ(w->windowTitle(), QString::fromLatin1(params().windowName));
    }

    // Chosen in the menu with Down and Return, the entry stays open through
    // the release of that Return and takes the typed name.
    KeyedEntries answers({"Studio B"});
    QTimer::singleShot(0, [] { pickWithKeys("Change Window Name"); });
    QTest::mouseClick(w, Qt::RightButton, {}, QPoint(30, 40));
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers.texts.isEmpty(); }, 3000));
    EXPECT_EQ(answers.stayedOpen, std::vector<bool>{true});
    EXPECT_STREQ(params().windowName, "Studio B");

    // The engine goes (the program shuts down on a signal) while the dialog
    // is up: the window is hidden at once and deleted only after the handler
    // that opened the dialog has returned.
    QTimer::singleShot(0, [&] {
        meterRelease(&engine);
        EXPECT_TRUE(w && !w->isVisible());
        if (QWidget* d = ctlPopups().textEntry)
            QTest::keyClick(d->findChild<QLineEdit*>(), Qt::Key_Return);
    });
    w->command(kCmdChangeName);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->engine(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w);
}

// "X/Y Scope" opens the scope beside the meter window and closes it again,
// storing its place as closed; the engine's end (a shut-down), even with the
// scope's options dialog up, keeps it stored as open.
TEST_F(WindowTest, XyScopeFromTheMenuKeepsItsPlace) {
    MeterWindow* w = meterWindowShow(engine);
    w->command(kCmdXyScope);
    XyScopeWindow* s = xyScopeOf(engine);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->frameGeometry().intersects(w->frameGeometry()));
    w->prepareContextMenu();
    EXPECT_TRUE(w->action(kCmdXyScope)->isChecked());
    s->setGeometry(40, 50, 280, 260);
    w->command(kCmdXyScope);
    EXPECT_EQ(xyScopeOf(engine), nullptr);
    EXPECT_EQ(xyReadStoredOpen(), 0);

    QPointer<XyScopeWindow> again = xyScopeShow(engine, w);
    EXPECT_EQ(again->geometry(), QRect(40, 50, 280, 260));
    QTimer::singleShot(0, [&] {
        meterRelease(&engine);
        EXPECT_TRUE(again && !again->isVisible());
    });
    again->command(kXyCmdDefaultOptions);
    EXPECT_EQ(xyReadStoredOpen(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(again);
}

// Stopped, no frame follows a new face: it must bring the last one's bars.
// Closed while playing, the window leaves the ballistics going, and opened
// again it shows them.
TEST_F(WindowTest, ANewFaceOrAClosedWindowKeepsTheBallistics) {
    MeterWindow* w = shown();
    feed(true, 3); // the third block waits until the second frame is drawn
    const MeterLayout L = meterComputeLayout(180, 700, 2, kMeterShowBarsAndCorrelator);
    ASSERT_EQ(L.kind, MeterLayoutKind::Narrow);
    for (int id : {0, int{kCmdAlwaysVisible}}) {
        if (id)
            w->command(id); // re-creates the native window
        else
            w->resize(180, 700);
        settle(w);
        EXPECT_GT(litRows(*w->surface(), L.x0 + 5, 40, L.bottom), 200) << id;
    }
    EXPECT_EQ(litRows(*w->surface(), L.x1 + 5, 40, L.bottom), 0);

    std::shared_ptr<MeterSurface> first = w->surface();
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(meterWindowOf(engine), nullptr);
    // Frames published for the closed window draw nothing anywhere.
    const QImage before = first->snapshot();
    feed(false, 20); // two seconds of silence: the peak falls by 12 dB
    feed(true, 3);   // loud again, still without a window
    EXPECT_EQ(first->snapshot(), before);

    w = meterWindowShow(engine);
    EXPECT_NE(w->surface(), first);
    feed(false, 2); // one silent frame drawn: the held peak is still near full scale
    const float k = static_cast<float>(L.H) / 66.0f;
    const int clipRow = L.bottom - static_cast<int>((-3.0f + 60.0f) * k);
    EXPECT_GT(litRows(*w->surface(), L.x0 + 5, 40, clipRow), 4);
}

} // namespace
