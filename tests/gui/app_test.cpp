// The application shell: main window, menus, latency, hotkeys, links,
// start-up and shut-down order, close-all and the signal path.
#include "app/app_commands.h"
#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/panel_face.h"
#include "app/signal_bridge.h"
#include "controls/ctl_core.h"
#include "platform/registry_store.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <limits>
#include <memory>

namespace {

// Records every subsystem call the shell makes, in order.
struct FakeSubsystems {
    QStringList calls;
    bool running = false;
    bool deviceOk = true;
    bool streamOk = true;
    bool engineOk = true;
    bool reopenOk = true;
    QList<float> reopened;

    void connect(ShellSteps& s) {
        auto rec = [this](const char* name) { return [this, name] { calls << name; }; };
        s.clearWavPath = rec("clearWavPath");
        s.enumerateDevices = rec("enumerateDevices");
        s.initOutputDevice = [this](std::string& error) {
            calls << "initOutputDevice";
            if (!deviceOk)
                error.clear(); // a machine without a device: the text is empty
            return deviceOk;
        };
        s.openStream = [this](float) {
            calls << "openStream";
            return streamOk;
        };
        s.createEngine = [this] {
            calls << "createEngine";
            return engineOk;
        };
        s.createPanel = [this](QWidget* face) {
            calls << (face && face->objectName() == "panelFace" ? "createPanel" : "createPanel?");
        };
        s.stopStream = rec("stopStream");
        s.releaseDevice = rec("releaseDevice");
        s.freeBlockBuffer = rec("freeBlockBuffer");
        s.closeWav = rec("closeWav");
        s.releaseDeviceList = rec("releaseDeviceList");
        s.destroyPanel = rec("destroyPanel");
        s.releaseEngine = rec("releaseEngine");
        s.streamRunning = [this] { return running; };
        s.play = rec("play");
        s.stop = rec("stop");
        s.zero = rec("zero");
        s.selectWavFile = [this](QWidget*) { calls << "selectWavFile"; };
        s.reopenStream = [this](float latency) {
            calls << "reopenStream";
            reopened << latency;
            return reopenOk;
        };
    }
};

float storedLatency(bool* present = nullptr) {
    float v = -1.0f;
    int r = regReadValue("Zandel_Audio\\demo", "LatencyTime", &v, 4);
    if (present)
        *present = r == 1;
    return v;
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<AppShell> m_shell;
    FakeSubsystems m_fake;
    QList<ShellMessage> m_messages;
    QStringList m_opened;

    MainWindow* start() {
        m_shell = std::make_unique<AppShell>();
        m_fake.connect(m_shell->steps());
        m_shell->showMessage = [this](const ShellMessage& m) { m_messages << m; };
        m_shell->openTarget = [this](const QString& t) { m_opened << t; };
        return m_shell->createMainWindow();
    }
    // Opens the menu bar's latency menu the way a user does and reads which
    // items carry a check mark.
    QList<int> checkedLatencyItems(MainWindow* w) {
        QMenu* menu = w->latencyMenu();
        menu->popup(w->mapToGlobal(QPoint(0, 0)));
        QList<int> ids;
        for (QAction* a : menu->actions())
            if (a->isChecked())
                ids << a->data().toInt();
        menu->close();
        return ids;
    }
    void closeAndWait(MainWindow* w) {
        w->close();
        QTRY_VERIFY(m_shell->isShutDown());
    }

private slots:
    void init() {
        m_config = std::make_unique<QTemporaryDir>();
        QVERIFY(m_config->isValid());
        qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
        m_fake = FakeSubsystems{};
        m_messages.clear();
        m_opened.clear();
    }
    void cleanup() {
        m_shell.reset();
        QCOMPARE(ctlUseCount(), 0);
    }

    void menuBarHasTheStoredTextsAndIds() {
        MainWindow* w = start();
        QVERIFY(w);
        QCOMPARE(w->objectName(), QString("w_principale"));
        QCOMPARE(w->windowTitle(), QString("Korvalo Cor."));
        QCOMPARE(w->menuBar()->objectName(), QString("MenuMonApp"));
        const QList<QAction*> bar = w->menuBar()->actions();
        QCOMPARE(bar.size(), 2);
        QCOMPARE(bar[0]->text(), QString("&Command"));
        QCOMPARE(bar[1]->text(), QString("&Latency"));

        struct Item {
            const char* stored;
            const char* shown;
            int id;
        };
        const Item command[] = {{"&Select Wav File        F5", "&Select Wav File\tF5", 30},
                                {"&Play   F1", "&Play\tF1", 21},
                                {"S&top   F2", "S&top\tF2", 22},
                                {"&Zero   F4", "&Zero\tF4", 20},
                                {nullptr, nullptr, 0},
                                {"&Quit", "&Quit", 100},
                                {"&About", "&About", 101}};
        const QList<QAction*> ca = w->commandMenu()->actions();
        QCOMPARE(ca.size(), 7);
        for (int i = 0; i < 7; ++i) {
            if (!command[i].stored) {
                QVERIFY(ca[i]->isSeparator());
                continue;
            }
            QCOMPARE(ca[i]->property(MainWindow::kStoredTextProperty).toString(),
                     QString(command[i].stored));
            QCOMPARE(ca[i]->text(), QString(command[i].shown));
            QCOMPARE(ca[i]->data().toInt(), command[i].id);
            QVERIFY(!ca[i]->isCheckable());
            QVERIFY(ca[i]->shortcut().isEmpty()); // the keys belong to the hotkeys
        }
        const char* latency[] = {"200 ms", "100 ms", "50 ms", "30 ms", "20 ms"};
        const QList<QAction*> la = w->latencyMenu()->actions();
        QCOMPARE(la.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(la[i]->text(), QString(latency[i]));
            QCOMPARE(la[i]->property(MainWindow::kStoredTextProperty).toString(),
                     QString(latency[i]));
            QCOMPARE(la[i]->data().toInt(), 50 + i);
        }
    }

    void storedLatencyDecidesChecks_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("type");
        QTest::addColumn<float>("latency");
        QTest::addColumn<int>("checked");
        auto f = [](float v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
        const int bin = static_cast<int>(RegType::Binary);
        QTest::newRow("missing") << QByteArray() << bin << 0.1f << 51;
        QTest::newRow("0.05") << f(0.05f) << bin << 0.05f << 52;
        QTest::newRow("0.2 inclusive") << f(0.2f) << bin << 0.2f << 50;
        QTest::newRow("0.02 inclusive") << f(0.02f) << bin << 0.02f << 54;
        QTest::newRow("0.15 checks nothing") << f(0.15f) << bin << 0.15f << 0;
        QTest::newRow("0.25 ignored") << f(0.25f) << bin << 0.1f << 51;
        QTest::newRow("0.01 ignored") << f(0.01f) << bin << 0.1f << 51;
        QTest::newRow("nan ignored")
            << f(std::numeric_limits<float>::quiet_NaN()) << bin << 0.1f << 51;
        QTest::newRow("dword ignored")
            << f(0.05f) << static_cast<int>(RegType::Dword) << 0.1f << 51;
        QTest::newRow("8 bytes ignored") << f(0.05f) + f(0.05f) << bin << 0.1f << 51;
        // 0.05 as a double rounded to float differs from the menu's float by
        // nothing; 0.0500001 is a different float and checks nothing.
        QTest::newRow("near 0.05") << f(0.0500001f) << bin << 0.0500001f << 0;
    }
    void storedLatencyDecidesChecks() {
        QFETCH(QByteArray, stored);
        QFETCH(int, type);
        QFETCH(float, latency);
        QFETCH(int, checked);
        if (!stored.isEmpty())
            QCOMPARE(regWriteTyped("Zandel_Audio\\demo", "LatencyTime", static_cast<RegType>(type),
                                   stored.constData(), static_cast<uint32_t>(stored.size())),
                     1);
        MainWindow* w = start();
        QVERIFY(w);
        QCOMPARE(m_shell->latency(), latency);
        // Stale marks from before must go when the menu opens.
        for (QAction* a : w->latencyMenu()->actions())
            a->setChecked(true);
        const QList<int> ids = checkedLatencyItems(w);
        QCOMPARE(ids, checked ? QList<int>{checked} : QList<int>{});
        // The command menu refreshes them too.
        for (QAction* a : w->latencyMenu()->actions())
            a->setChecked(true);
        w->commandMenu()->popup(w->mapToGlobal(QPoint(0, 0)));
        w->commandMenu()->close();
        int marked = 0;
        for (QAction* a : w->latencyMenu()->actions())
            marked += a->isChecked();
        QCOMPARE(marked, checked ? 1 : 0);
    }

    void latencyRefusedWhilePlayingThenTakesEffect() {
        MainWindow* w = start();
        QVERIFY(w);
        m_fake.running = true;
        w->menuAction(CmdLatency30)->trigger();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QString("Cannot change latency during play...\nPlease Stop "
                                             "the stream before changing this parameter."));
        QCOMPARE(m_messages[0].caption, QString("Change Latency"));
        QCOMPARE(m_shell->latency(), 0.1f);
        QVERIFY(m_fake.reopened.isEmpty());
        QCOMPARE(checkedLatencyItems(w), QList<int>{51});

        m_fake.running = false; // Stop
        w->menuAction(CmdLatency30)->trigger();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_shell->latency(), 0.03f);
        QCOMPARE(m_fake.reopened, QList<float>{0.03f});
        QCOMPARE(checkedLatencyItems(w), QList<int>{53});
        // Stored only at shut-down.
        bool present = true;
        storedLatency(&present);
        QVERIFY(!present);
        closeAndWait(w);
        QCOMPARE(storedLatency(), 0.03f);
    }

    void failedReopenClosesTheProgram() {
        MainWindow* w = start();
        QVERIFY(w);
        m_fake.reopenOk = false;
        m_shell->command(CmdLatency200);
        QTRY_VERIFY(m_shell->isShutDown());
        QVERIFY(m_fake.calls.contains("releaseEngine"));
        QCOMPARE(storedLatency(), 0.2f);
    }

    void startUpAndShutDownRunInOrder() {
        const float stored = 0.15f;
        QCOMPARE(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &stored, 4), 1);
        MainWindow* w = start();
        QVERIFY(w);
        QCOMPARE(m_fake.calls, QStringList({"clearWavPath", "enumerateDevices", "initOutputDevice",
                                            "openStream", "createEngine", "createPanel"}));
        QCOMPARE(ctlUseCount(), 1);
        QVERIFY(m_shell->hotkeysRegistered());
        QVERIFY(w->face()->contextMenu());
        QVERIFY(m_messages.isEmpty());
        m_fake.calls.clear();
        closeAndWait(w);
        QCOMPARE(m_fake.calls,
                 QStringList({"stopStream", "releaseDevice", "freeBlockBuffer", "closeWav",
                              "releaseDeviceList", "destroyPanel", "releaseEngine"}));
        QCOMPARE(ctlUseCount(), 0);
        QVERIFY(!m_shell->hotkeysRegistered());
        QVERIFY(!w->face()->contextMenu());
        // A latency outside the menu's choices is kept as it was.
        QCOMPARE(storedLatency(), 0.15f);
        // The library saved its options on the way out.
        uint32_t rotMode = 0;
        QCOMPARE(regReadValue("Zandel_Audio\\QK2CTL\\Korvalo Cor.", "Rot_Mode", &rotMode, 4), 1);
    }

    void startUpFailuresShowTheirMessages_data() {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("releases");
        QTest::addColumn<bool>("latencyWritten");
        QTest::newRow("device") << "device" << QStringList{"Init Error", "Sorry"}
                                << QStringList{"closeWav", "releaseDeviceList"} << false;
        QTest::newRow("stream") << "stream" << QStringList{"Sorry"}
                                << QStringList{"releaseDevice", "closeWav", "releaseDeviceList"}
                                << true;
        QTest::newRow("engine") << "engine" << QStringList{"Fatal error", "Sorry"}
                                << QStringList{"stopStream", "releaseDevice", "freeBlockBuffer",
                                               "closeWav", "releaseDeviceList"}
                                << true;
    }
    void startUpFailuresShowTheirMessages() {
        QFETCH(QString, failing);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, releases);
        QFETCH(bool, latencyWritten);
        const float stored = 0.05f;
        if (!latencyWritten) {
            // A start-up that failed before reading the latency must keep it.
            QCOMPARE(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &stored, 4), 1);
        }
        m_fake.deviceOk = failing != "device";
        m_fake.streamOk = failing != "stream";
        m_fake.engineOk = failing != "engine";
        QVERIFY(!start());
        QVERIFY(!m_shell->mainWindow());
        QStringList got;
        for (const ShellMessage& m : m_messages)
            got << m.caption;
        QCOMPARE(got, captions);
        const ShellMessage& last = m_messages.last();
        QCOMPARE(last.text, QString("Failed to create window..."));
        QCOMPARE(last.icon, MessageIcon::Warning);
        if (failing == "device") {
            QCOMPARE(m_messages[0].text, QString());
        }
        if (failing == "engine") {
            QCOMPARE(m_messages[0].text, QString("Not enough memory, can't run this program"));
            QCOMPARE(m_messages[0].icon, MessageIcon::None);
            QVERIFY(m_messages[0].applicationModal);
        }
        const int firstRelease = static_cast<int>(m_fake.calls.indexOf(releases.first()));
        QVERIFY(firstRelease > 0);
        QCOMPARE(m_fake.calls.mid(firstRelease), releases);
        QCOMPARE(ctlUseCount(), 0);
        bool present = false;
        const float v = storedLatency(&present);
        QCOMPARE(present, true);
        QCOMPARE(v, latencyWritten ? 0.1f : stored);
    }

    void hotkeysActOnlyWhileApplicationActive() {
        MainWindow* w = start();
        QVERIFY(w);
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        m_fake.calls.clear();
        QTest::keyClick(w, Qt::Key_F1);
        QTest::keyClick(w, Qt::Key_F2);
        QTest::keyClick(w, Qt::Key_F4);
        QTest::keyClick(w, Qt::Key_F5);
        QCOMPARE(m_fake.calls, QStringList({"play", "stop", "zero", "selectWavFile"}));

        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        QVERIFY(!m_shell->hotkeysRegistered());
        for (QShortcut* s : w->hotkeys())
            QVERIFY(!s->isEnabled());
        m_fake.calls.clear();
        QTest::keyClick(w, Qt::Key_F1);
        QTest::keyClick(w, Qt::Key_F5);
        QVERIFY(m_fake.calls.isEmpty());

        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QTest::keyClick(w, Qt::Key_F1);
        QCOMPARE(m_fake.calls, QStringList({"play"}));
        // Closing turns them off for good, whatever the application state.
        w->close();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(!m_shell->hotkeysRegistered());
        QTRY_VERIFY(m_shell->isShutDown());
    }

    void clientAreaIsTheFixedFace() {
        MainWindow* w = start();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        PanelFace* face = w->face();
        QCOMPARE(face->size(), QSize(250, 278));
        QCOMPARE(face->pos(), QPoint(0, w->menuBar()->height()));
        QCOMPARE(w->menuBar()->geometry().bottom() + 1, face->y());
        QCOMPARE(w->width(), 250);
        QCOMPARE(w->height(), w->menuBar()->height() + 278);
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
        w->resize(400, 400);
        QCOMPARE(face->size(), QSize(250, 278));
        QCOMPARE(w->width(), 250);

        // The face shows bitmap 500 pixel for pixel.
        const QImage& bitmap = m_shell->bitmap(500);
        QVERIFY(!bitmap.isNull());
        QCOMPARE(bitmap.size(), QSize(250, 279));
        const QImage shown = face->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), QSize(250, 278));
        QCOMPARE(shown, bitmap.copy(0, 0, 250, 278));
    }

    void closeAllClosesOwnedPopUpsFirst_data() {
        QTest::addColumn<bool>("viaQuit");
        QTest::newRow("close box") << false;
        QTest::newRow("Quit") << true;
    }
    void closeAllClosesOwnedPopUpsFirst() {
        QFETCH(bool, viaQuit);
        MainWindow* w = start();
        QVERIFY(w);
        auto* popup = new QDialog(w);
        popup->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(popup, &QObject::destroyed, [this] { m_fake.calls << "popupClosed"; });
        popup->show();
        QWidget meterLike; // no owner: must survive close-all
        meterLike.show();
        m_fake.calls.clear();
        if (viaQuit)
            w->menuAction(CmdQuit)->trigger();
        else
            w->close();
        QVERIFY(!m_shell->hotkeysRegistered());
        QTRY_VERIFY(m_shell->isShutDown());
        QCOMPARE(m_fake.calls.value(0), QString("popupClosed"));
        QCOMPARE(m_fake.calls.value(1), QString("stopStream"));
        QVERIFY(meterLike.isVisible());
    }

    void rightClickMenuOpensLinks() {
        MainWindow* w = start();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QMenu* menu = w->face()->contextMenu();
        QVERIFY(menu);
        QTest::mouseClick(w->face(), Qt::RightButton, Qt::NoModifier, QPoint(30, 40));
        QTRY_VERIFY(menu->isVisible());
        menu->close();

        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3);
        const char* texts[] = {"info...", "See QK's Web Pages...", "E-mail me..."};
        const int ids[] = {888, 890, 891};
        m_fake.running = true;
        m_fake.calls.clear();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(items[i]->text(), QString(texts[i]));
            QCOMPARE(items[i]->data().toInt(), ids[i]);
            QVERIFY(!items[i]->isCheckable());
            items[i]->trigger();
        }
        QCOMPARE(m_opened.size(), 3);
        QCOMPARE(m_opened[0], m_shell->startupDirectory() + "/readme.txt");
        QVERIFY(m_opened[1].startsWith("https://"));
        QVERIFY(m_opened[2].startsWith("mailto:"));
        // The links leave the stream alone.
        QVERIFY(m_fake.calls.isEmpty());
    }

    void aboutBoxNamesTheProduct() {
        MainWindow* w = start();
        QVERIFY(w);
        w->menuAction(CmdAbout)->trigger();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].caption, QString("About..."));
        QVERIFY(m_messages[0].text.contains("Korvalo Cor."));
        // Ids without a command do nothing.
        m_fake.calls.clear();
        for (int id : {0, 1, 55, 102, 889, 65535})
            m_shell->command(id);
        QVERIFY(m_fake.calls.isEmpty());
        QCOMPARE(m_messages.size(), 1);
    }

    void tabStepsOverEnabledFaceControls() {
        MainWindow* w = start();
        QVERIFY(w);
        QPushButton* b[3];
        for (int i = 0; i < 3; ++i) {
            b[i] = new QPushButton(QString::number(i), w->face());
            b[i]->setGeometry(10 + 40 * i, 10, 30, 20);
            b[i]->show();
        }
        b[1]->setEnabled(false);
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        b[0]->setFocus();
        QTest::keyClick(b[0], Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), b[2]);
        QTest::keyClick(b[2], Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), b[0]);
        QTest::keyClick(b[0], Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), b[0]);
    }

    void faceDragMovesTheWindow() {
        MainWindow* w = start();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->move(100, 100);
        QTRY_COMPARE(w->pos(), QPoint(100, 100));
        const QPoint before = w->pos();
        PanelFace* face = w->face();
        // Press and release without movement: nothing moves.
        QTest::mousePress(face, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseRelease(face, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(w->pos(), before);
        // A drag moves the window by the pointer's travel.
        QTest::mousePress(face, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QMouseEvent move(QEvent::MouseMove, QPointF(70, 50), face->mapToGlobal(QPointF(70, 50)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(face, &move);
        QTest::mouseRelease(face, Qt::LeftButton, Qt::NoModifier, QPoint(70, 50));
        QTRY_COMPARE(w->pos(), before + QPoint(50, 30));
    }

    void terminationSignalRunsOrderlyShutDown() {
        MainWindow* w = start();
        QVERIFY(w);
        m_shell->command(CmdLatency50);
        SignalBridge bridge;
        QVERIFY(bridge.isActive());
        QObject::connect(&bridge, &SignalBridge::terminateRequested, w, &QWidget::close);
        m_fake.calls.clear();
        std::raise(SIGTERM);
        QTRY_VERIFY(m_shell->isShutDown());
        QCOMPARE(m_fake.calls.value(0), QString("stopStream"));
        QCOMPARE(storedLatency(), 0.05f);
    }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
