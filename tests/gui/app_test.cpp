// The application shell: main window, menus, latency, hotkeys, links,
// start-up and shut-down order and close-all.
#include "app/app_commands.h"
#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/panel_face.h"
#include "controls/ctl_core.h"
#include "gui_test_support.h"
#include "platform/registry_store.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

// Records every subsystem call the shell makes, in order.
struct FakeSubsystems final : ShellAudio, ShellEngine, ShellPanel {
    QStringList calls;
    bool running = false, deviceOk = true, streamOk = true, engineOk = true, reopenOk = true;
    QList<float> reopened;

    void connect(ShellParts& parts) { parts = {this, this, this}; }
    bool may(const char* name, bool ok) {
        calls << name;
        return ok;
    }

    void clearWavPath() override { calls << "clearWavPath"; }
    void enumerateDevices() override { calls << "enumerateDevices"; }
    // Leaves the error text empty.
    bool initOutputDevice(std::string&) override { return may("initOutputDevice", deviceOk); }
    bool openStream(float) override { return may("openStream", streamOk); }
    bool createEngine() override { return may("createEngine", engineOk); }
    void createPanel(QWidget* face) override {
        calls << (face && face->objectName() == "panelFace" ? "createPanel" : "createPanel?");
    }
    void stopStream() override { calls << "stopStream"; }
    void releaseDevice() override { calls << "releaseDevice"; }
    void freeBlockBuffer() override { calls << "freeBlockBuffer"; }
    void closeWav() override { calls << "closeWav"; }
    void releaseDeviceList() override { calls << "releaseDeviceList"; }
    void destroyPanel() override { calls << "destroyPanel"; }
    void releaseEngine() override { calls << "releaseEngine"; }
    bool streamRunning() override { return running; }
    void play() override { calls << "play"; }
    void stop() override { calls << "stop"; }
    void zero() override { calls << "zero"; }
    void selectWavFile(QWidget*) override { calls << "selectWavFile"; }
    bool reopenStream(float latency) override {
        reopened << latency;
        return may("reopenStream", reopenOk);
    }
};

// The stored "LatencyTime", -1 when there is none.
float storedLatency() {
    float v = -1.0f;
    return regReadValue("Zandel_Audio\\demo", "LatencyTime", &v, 4) == 1 ? v : -1.0f;
}

class AppTest : public ::testing::Test {
protected:
    std::unique_ptr<AppShell> m_shell;
    FakeSubsystems m_fake;
    QList<ShellMessage> m_messages;
    QStringList m_opened;

    MainWindow* start() {
        m_shell = std::make_unique<AppShell>();
        m_fake.connect(m_shell->parts());
        m_shell->showMessage = [this](const ShellMessage& m) { m_messages << m; };
        m_shell->openTarget = [this](const QString& t) { m_opened << t; };
        return m_shell->createMainWindow();
    }
    // Opens a menu (the latency menu unless told) the way a user does and
    // reads which latency items carry a check mark.
    QList<int> checkedLatencyItems(MainWindow* w, QMenu* menu = nullptr) {
        menu = menu ? menu : w->latencyMenu();
        menu->popup(w->mapToGlobal(QPoint(0, 0)));
        menu->close();
        QList<int> ids;
        for (QAction* a : w->latencyMenu()->actions())
            if (a->isChecked())
                ids << a->data().toInt();
        return ids;
    }

    // Each case starts from an empty store (in the test program's private
    // settings folder); the library is shut down with the shell.
    void SetUp() override { QFile::remove(QString::fromStdString(regStorePath())); }
    void TearDown() override {
        m_shell.reset();
        EXPECT_EQ(ctlUseCount(), 0);
    }
    // Shuts the shell down and forgets the store and what the fakes saw, for
    // the next row of a table.
    void restart() {
        TearDown();
        QFile::remove(QString::fromStdString(regStorePath()));
        m_fake = FakeSubsystems{};
        m_messages.clear();
    }
};

// One table per menu: each item's text (the key hint after a tab) and
// id, in order, and no shortcut: the keys belong to the hotkeys, and a
// menu shortcut would fire twice.
TEST_F(AppTest, MenuBarHasTheStoredTextsAndIds) {
    MainWindow* w = start();
    ASSERT_TRUE(w);
    const auto items = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list << a->text() + "=" + QString::number(a->data().toInt()) + a->shortcut().toString();
        return list;
    };
    EXPECT_EQ(items(w->commandMenu()),
              QStringList({"&Select Wav File\tF5=30", "&Play\tF1=21", "S&top\tF2=22",
                           "&Zero\tF4=20", "=0", "&Quit=100", "&About=101", "=0",
                           "Meter an Input...=40", "Meter the Wave File=41"}));
    ASSERT_TRUE(w->commandMenu()->actions().value(4)->isSeparator());
    EXPECT_TRUE(w->menuAction(40)->menu()) << "the list of inputs";
    EXPECT_EQ(items(w->latencyMenu()),
              QStringList({"200 ms=50", "100 ms=51", "50 ms=52", "30 ms=53", "20 ms=54"}));
}

TEST_F(AppTest, StoredLatencyDecidesChecks) {
    const float none = -1.0f;
    const struct {
        float stored, latency;
        int checked;
    } rows[] = {
        {none, 0.1f, 51},
        {0.2f, 0.2f, 50}, // both ends are inclusive
        {0.02f, 0.02f, 54},
        {0.25f, 0.1f, 51}, // outside the range: ignored
        {0.01f, 0.1f, 51},
        {std::numeric_limits<float>::quiet_NaN(), 0.1f, 51},
        // 0.0500001 is kept, but a different float from the menu's 0.05.
        {0.0500001f, 0.0500001f, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.stored);
        restart();
        if (r.stored != none) {
            ASSERT_EQ(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &r.stored, 4), 1);
        }
        MainWindow* w = start();
        ASSERT_TRUE(w);
        EXPECT_EQ(m_shell->latency(), r.latency);
        // Stale marks from before go whenever a menu opens, the command menu too.
        for (QMenu* opened : {w->latencyMenu(), w->commandMenu()}) {
            for (QAction* a : w->latencyMenu()->actions())
                a->setChecked(true);
            EXPECT_EQ(checkedLatencyItems(w, opened),
                      r.checked ? QList<int>{r.checked} : QList<int>{});
        }
    }
}

// A latency is refused while playing, taken once stopped, and stored at
// shut-down; a reopen that fails closes the program.
TEST_F(AppTest, LatencyChangesWhileStoppedOnly) {
    MainWindow* w = start();
    ASSERT_TRUE(w);
    m_fake.running = true;
    w->menuAction(CmdLatency30)->trigger();
    EXPECT_EQ(m_messages.size(), 1); // the refusal
    EXPECT_EQ(m_shell->latency(), 0.1f);
    ASSERT_TRUE(m_fake.reopened.isEmpty());
    EXPECT_EQ(checkedLatencyItems(w), QList<int>{51});

    m_fake.running = false; // Stop
    w->menuAction(CmdLatency30)->trigger();
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_shell->latency(), 0.03f);
    EXPECT_EQ(m_fake.reopened, QList<float>{0.03f});
    EXPECT_EQ(checkedLatencyItems(w), QList<int>{53});
    EXPECT_EQ(storedLatency(), -1.0f); // stored at shut-down only

    m_fake.reopenOk = false;
    m_shell->command(CmdLatency200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_shell->isShutDown(); }));
    ASSERT_TRUE(m_fake.calls.contains("releaseEngine"));
    EXPECT_EQ(storedLatency(), 0.2f);
}

// Whether its close box or Quit closes the program (a signal closes it as the
// close box does: app_system_test).
TEST_F(AppTest, ShutDownRunsInOrderWhateverCloses) {
    for (bool quit : {false, true}) {
        SCOPED_TRACE(quit);
        restart();
        const float stored = 0.15f, other = 0.2f;
        EXPECT_EQ(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &stored, 4), 1);
        MainWindow* w = start();
        ASSERT_TRUE(w);
        EXPECT_EQ(m_fake.calls, QStringList({"clearWavPath", "enumerateDevices", "initOutputDevice",
                                             "openStream", "createEngine", "createPanel"}));
        EXPECT_EQ(ctlUseCount(), 1);
        ASSERT_TRUE(m_shell->hotkeysRegistered());
        // Changed behind the program's back: only a write at shut-down brings
        // back the 0.15 (kept, although no menu item has it).
        EXPECT_EQ(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &other, 4), 1);

        // Owned pop-ups close first, hidden ones too.
        struct Popup : QDialog {
            Popup(QWidget* owner, QStringList& calls) : QDialog(owner), calls(calls) {}
            void closeEvent(QCloseEvent* e) override {
                calls << "popupClosed";
                QDialog::closeEvent(e);
            }
            QStringList& calls;
        };
        for (bool shown : {true, false})
            (new Popup(w, m_fake.calls))->setVisible(shown);
        QWidget meterLike; // no owner: must survive close-all
        meterLike.show();
        m_fake.calls.clear();
        if (quit)
            w->menuAction(CmdQuit)->trigger();
        else
            w->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_shell->isShutDown(); }));
        EXPECT_EQ(m_fake.calls,
                  QStringList({"popupClosed", "popupClosed", "stopStream", "releaseDevice",
                               "freeBlockBuffer", "closeWav", "releaseDeviceList", "destroyPanel",
                               "releaseEngine"}));
        ASSERT_TRUE(meterLike.isVisible());
        EXPECT_EQ(ctlUseCount(), 0);
        ASSERT_TRUE(!m_shell->hotkeysRegistered());
        ASSERT_TRUE(!w->face()->contextMenu());
        EXPECT_EQ(storedLatency(), 0.15f);
    }
}

TEST_F(AppTest, StartUpFailuresShowTheirMessages) {
    const struct {
        QString failing;
        int messages;
        QStringList releases;
    } rows[] = {
        {"device", 2, {"closeWav", "releaseDeviceList"}},
        {"stream", 1, {"releaseDevice", "closeWav", "releaseDeviceList"}},
        {"engine",
         2,
         {"stopStream", "releaseDevice", "freeBlockBuffer", "closeWav", "releaseDeviceList"}},
    };
    for (const auto& [failing, messages, releases] : rows) {
        SCOPED_TRACE(failing.toStdString());
        restart();
        // Failing before the latency was read keeps the stored one; failing
        // after it still writes the latency at shut-down.
        const float stored = 0.05f;
        if (failing == "device") {
            EXPECT_EQ(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &stored, 4), 1);
        }
        m_fake.deviceOk = failing != "device";
        m_fake.streamOk = failing != "stream";
        m_fake.engineOk = failing != "engine";
        ASSERT_TRUE(!start());
        ASSERT_TRUE(!m_shell->mainWindow());
        EXPECT_EQ(m_messages.size(), messages);
        const int firstRelease = static_cast<int>(m_fake.calls.indexOf(releases.first()));
        ASSERT_TRUE(firstRelease > 0);
        EXPECT_EQ(m_fake.calls.mid(firstRelease), releases);
        EXPECT_EQ(ctlUseCount(), 0);
        EXPECT_EQ(storedLatency(), failing == "device" ? stored : 0.1f);
    }
}

TEST_F(AppTest, HotkeysActOnlyWhileApplicationActive) {
    MainWindow* w = start();
    ASSERT_TRUE(w);
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QWidget* target = w;
    auto press = [&](std::initializer_list<Qt::Key> keys,
                     Qt::KeyboardModifiers mods = Qt::NoModifier) {
        m_fake.calls.clear();
        for (Qt::Key k : keys)
            QTest::keyClick(target, k, mods);
        return m_fake.calls;
    };
    EXPECT_EQ(press({Qt::Key_F1, Qt::Key_F2, Qt::Key_F4, Qt::Key_F5}),
              QStringList({"play", "stop", "zero", "selectWavFile"}));
    ASSERT_TRUE(press({Qt::Key_F1, Qt::Key_F3}, Qt::ShiftModifier).isEmpty());
    // From a modal dialog and from a line edit in it, as from the window.
    QDialog modal(w);
    modal.setModal(true);
    auto* edit = new QLineEdit(&modal);
    modal.show();
    QApplication::setActiveWindow(&modal);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&modal));
    edit->setFocus();
    for (QWidget* t : {static_cast<QWidget*>(&modal), static_cast<QWidget*>(edit)}) {
        target = t;
        EXPECT_EQ(press({Qt::Key_F2, Qt::Key_F1}), QStringList({"stop", "play"}));
    }
    ASSERT_TRUE(edit->text().isEmpty());
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    ASSERT_TRUE(!m_shell->hotkeysRegistered());
    ASSERT_TRUE(press({Qt::Key_F1, Qt::Key_F5}).isEmpty());
    modal.close();
    target = w;
    QApplication::setActiveWindow(w);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(press({Qt::Key_F1}), QStringList({"play"}));
    // Closing turns them off for good, whatever the application state.
    w->close();
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(!m_shell->hotkeysRegistered());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_shell->isShutDown(); }));
}

TEST_F(AppTest, FaceMenuOpensLinksAboutShowsItsBoxAndADragMoves) {
    MainWindow* w = start();
    ASSERT_TRUE(w);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QMenu* menu = w->face()->contextMenu();
    ASSERT_TRUE(menu);
    QTest::mouseClick(w->face(), Qt::RightButton, Qt::NoModifier, QPoint(30, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
    menu->close();
    m_fake.running = true;
    m_fake.calls.clear();
    for (QAction* a : menu->actions())
        a->trigger();
    ASSERT_EQ(m_opened.size(), 3);
    EXPECT_EQ(m_opened[0], m_shell->startupDirectory() + "/readme.txt");
    ASSERT_TRUE(m_opened[1].startsWith("https://"));
    ASSERT_TRUE(m_opened[2].startsWith("mailto:"));

    w->menuAction(CmdAbout)->trigger();
    EXPECT_EQ(m_messages.size(), 1);
    // Ids without a command do nothing; neither do the links to the stream.
    for (int id : {0, 1, 55, 102, 889, 65535})
        m_shell->command(id);
    ASSERT_TRUE(m_fake.calls.isEmpty());
    EXPECT_EQ(m_messages.size(), 1);

    // A drag on the face moves the window (the rules are the ControlsWindow tests').
    const QPoint before(100, 100);
    w->move(before);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->pos() == before; }));
    dragBy(w->face(), {20, 20}, {50, 30});
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->pos() == before + QPoint(50, 30); }));
}

} // namespace
