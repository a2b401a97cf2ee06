// The application shell: main window, menus, latency, hotkeys, links,
// start-up and shut-down order, close-all and the signal path.
#include "app/app_commands.h"
#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/panel_face.h"
#include "app/signal_bridge.h"
#include "app/wav_select.h"
#include "controls/ctl_core.h"
#include "platform/registry_store.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <limits>
#include <memory>
#include <tuple>

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
        QStringList names = {w->objectName(), w->windowTitle(), w->menuBar()->objectName()};
        for (QAction* a : w->menuBar()->actions())
            names << a->text();
        QCOMPARE(names, QStringList({"w_principale", "Korvalo Cor.", "MenuMonApp", "&Command",
                                     "&Latency"}));

        // Command then latency items: stored text, text shown (the key hint
        // after a tab) and id; the fifth is a separator.
        QStringList stored, shown;
        QList<int> ids;
        for (QAction* a : w->commandMenu()->actions() + w->latencyMenu()->actions()) {
            stored << a->property(MainWindow::kStoredTextProperty).toString();
            shown << a->text();
            ids << a->data().toInt();
            // The keys belong to the hotkeys; a menu shortcut would fire twice.
            QVERIFY(a->shortcut().isEmpty());
        }
        QVERIFY(w->commandMenu()->actions().value(4)->isSeparator());
        const QStringList live = {"", "Meter an Input...", "Meter the Wave File"};
        const QStringList latencies = {"200 ms", "100 ms", "50 ms", "30 ms", "20 ms"};
        const QStringList storedCommands = {"&Select Wav File        F5",
                                            "&Play   F1",
                                            "S&top   F2",
                                            "&Zero   F4",
                                            "",
                                            "&Quit",
                                            "&About"};
        const QStringList shownCommands = {
            "&Select Wav File\tF5", "&Play\tF1", "S&top\tF2", "&Zero\tF4", "", "&Quit", "&About"};
        QCOMPARE(stored, storedCommands + live + latencies);
        QCOMPARE(shown, shownCommands + live + latencies);
        QCOMPARE(ids, QList<int>({30, 21, 22, 20, 0, 100, 101, 0, 40, 41, 50, 51, 52, 53, 54}));
        // "Meter an Input..." opens the list of inputs.
        QVERIFY(w->menuAction(40)->menu());
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
        // 0.0500001 is a different float from the menu's 0.05 and checks nothing.
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
        // Stale marks from before go whenever a menu opens, the command menu too.
        for (QMenu* opened : {w->latencyMenu(), w->commandMenu()}) {
            for (QAction* a : w->latencyMenu()->actions())
                a->setChecked(true);
            QCOMPARE(checkedLatencyItems(w, opened), checked ? QList<int>{checked} : QList<int>{});
        }
    }

    // A latency is refused while playing, taken once stopped, and stored at
    // shut-down; a reopen that fails closes the program.
    void latencyChangesWhileStoppedOnly() {
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
        QCOMPARE(storedLatency(), -1.0f); // stored at shut-down only

        m_fake.reopenOk = false;
        m_shell->command(CmdLatency200);
        QTRY_VERIFY(m_shell->isShutDown());
        QVERIFY(m_fake.calls.contains("releaseEngine"));
        QCOMPARE(storedLatency(), 0.2f);
    }

    void shutDownRunsInOrderWhateverCloses_data() {
        QTest::addColumn<int>("how"); // 0 close box, 1 Quit, else the signal
        QTest::newRow("close box") << 0;
        QTest::newRow("Quit") << 1;
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void shutDownRunsInOrderWhateverCloses() {
        QFETCH(int, how);
        const float stored = 0.15f, other = 0.2f;
        QCOMPARE(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &stored, 4), 1);
        MainWindow* w = start();
        QVERIFY(w);
        QCOMPARE(m_fake.calls, QStringList({"clearWavPath", "enumerateDevices", "initOutputDevice",
                                            "openStream", "createEngine", "createPanel"}));
        QCOMPARE(ctlUseCount(), 1);
        QVERIFY(m_shell->hotkeysRegistered());
        // Changed behind the program's back: only a write at shut-down brings
        // back the 0.15 (kept, although no menu item has it).
        QCOMPARE(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &other, 4), 1);

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
        SignalBridge bridge;
        QVERIFY(bridge.isActive());
        QObject::connect(&bridge, &SignalBridge::terminateRequested, w, &QWidget::close);
        m_fake.calls.clear();
        if (how == 0)
            w->close();
        else if (how == 1)
            w->menuAction(CmdQuit)->trigger();
        else
            std::raise(how);
        QTRY_VERIFY(m_shell->isShutDown());
        QCOMPARE(m_fake.calls, QStringList({"popupClosed", "popupClosed", "stopStream",
                                            "releaseDevice", "freeBlockBuffer", "closeWav",
                                            "releaseDeviceList", "destroyPanel", "releaseEngine"}));
        QVERIFY(meterLike.isVisible());
        QCOMPARE(ctlUseCount(), 0);
        QVERIFY(!m_shell->hotkeysRegistered());
        QVERIFY(!w->face()->contextMenu());
        QCOMPARE(storedLatency(), 0.15f);
        // The library saved its options on the way out.
        uint32_t rotMode = 0;
        QCOMPARE(regReadValue("Zandel_Audio\\QK2CTL\\Korvalo Cor.", "Rot_Mode", &rotMode, 4), 1);
    }

    void startUpFailuresShowTheirMessages_data() {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QStringList>("messages"); // caption: text
        QTest::addColumn<QStringList>("releases");
        const QString sorry = "Sorry: Failed to create window...";
        QTest::newRow("device") << "device" << QStringList{"Init Error: ", sorry}
                                << QStringList{"closeWav", "releaseDeviceList"};
        QTest::newRow("stream") << "stream" << QStringList{sorry}
                                << QStringList{"releaseDevice", "closeWav", "releaseDeviceList"};
        QTest::newRow("engine")
            << "engine"
            << QStringList{"Fatal error: Not enough memory, can't run this program", sorry}
            << QStringList{"stopStream", "releaseDevice", "freeBlockBuffer", "closeWav",
                           "releaseDeviceList"};
    }
    void startUpFailuresShowTheirMessages() {
        QFETCH(QString, failing);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, releases);
        // Failing before the latency was read keeps the stored one; failing
        // after it still writes the latency at shut-down.
        const float stored = 0.05f;
        if (failing == "device")
            QCOMPARE(regWriteValue("Zandel_Audio\\demo", "LatencyTime", &stored, 4), 1);
        m_fake.deviceOk = failing != "device";
        m_fake.streamOk = failing != "stream";
        m_fake.engineOk = failing != "engine";
        QVERIFY(!start());
        QVERIFY(!m_shell->mainWindow());
        QStringList got;
        for (const ShellMessage& m : m_messages)
            got << m.caption + ": " + m.text;
        QCOMPARE(got, messages);
        QCOMPARE(m_messages.last().icon, MessageIcon::Warning);
        if (failing == "engine")
            QVERIFY(m_messages[0].icon == MessageIcon::None && m_messages[0].applicationModal);
        const int firstRelease = static_cast<int>(m_fake.calls.indexOf(releases.first()));
        QVERIFY(firstRelease > 0);
        QCOMPARE(m_fake.calls.mid(firstRelease), releases);
        QCOMPARE(ctlUseCount(), 0);
        QCOMPARE(storedLatency(), failing == "device" ? stored : 0.1f);
    }

    void hotkeysActOnlyWhileApplicationActive() {
        MainWindow* w = start();
        QVERIFY(w);
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QWidget* target = w;
        auto press = [&](std::initializer_list<Qt::Key> keys,
                         Qt::KeyboardModifiers mods = Qt::NoModifier) {
            m_fake.calls.clear();
            for (Qt::Key k : keys)
                QTest::keyClick(target, k, mods);
            return m_fake.calls;
        };
        QCOMPARE(press({Qt::Key_F1, Qt::Key_F2, Qt::Key_F4, Qt::Key_F5}),
                 QStringList({"play", "stop", "zero", "selectWavFile"}));
        QVERIFY(press({Qt::Key_F1, Qt::Key_F3}, Qt::ShiftModifier).isEmpty());
        // From a modal dialog and from a line edit in it, as from the window.
        QDialog modal(w);
        modal.setModal(true);
        auto* edit = new QLineEdit(&modal);
        modal.show();
        QApplication::setActiveWindow(&modal);
        QVERIFY(QTest::qWaitForWindowActive(&modal));
        edit->setFocus();
        for (QWidget* t : {static_cast<QWidget*>(&modal), static_cast<QWidget*>(edit)}) {
            target = t;
            QCOMPARE(press({Qt::Key_F2, Qt::Key_F1}), QStringList({"stop", "play"}));
        }
        QVERIFY(edit->text().isEmpty());
        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        QVERIFY(!m_shell->hotkeysRegistered());
        QVERIFY(press({Qt::Key_F1, Qt::Key_F5}).isEmpty());
        modal.close();
        target = w;
        QApplication::setActiveWindow(w);
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(press({Qt::Key_F1}), QStringList({"play"}));
        // Closing turns them off for good, whatever the application state.
        w->close();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(!m_shell->hotkeysRegistered());
        QTRY_VERIFY(m_shell->isShutDown());
    }

    void wavDialogStartsWithTheWavPattern() {
        const std::unique_ptr<QFileDialog> d = createWavFileDialog(nullptr);
        QCOMPARE(d->windowTitle(), QString("Load a wave file"));
        QCOMPARE(d->nameFilters(), QStringList({"File WAVE (*.wav)", "All (*.*)"}));
        QCOMPARE(d->fileMode(), QFileDialog::ExistingFile);
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        QCOMPARE(name->text(), QString("*.wav"));
    }

    void clientAreaIsTheFixedFace() {
        MainWindow* w = start();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        PanelFace* face = w->face();
        QCOMPARE(face->geometry(), QRect(0, w->menuBar()->height(), 250, 278));
        QCOMPARE(w->size(), QSize(250, w->menuBar()->height() + 278));
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
        w->resize(400, 400);
        QCOMPARE(face->size(), QSize(250, 278));
        QCOMPARE(w->width(), 250);
        // The face shows the top of bitmap 500 (250 x 279) pixel for pixel.
        const QImage& bitmap = m_shell->bitmap(500);
        QCOMPARE(bitmap.size(), QSize(250, 279));
        QCOMPARE(face->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 bitmap.copy(0, 0, 250, 278));
    }

    void faceMenuOpensLinksAndAboutNamesTheProduct() {
        MainWindow* w = start();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QMenu* menu = w->face()->contextMenu();
        QVERIFY(menu);
        QTest::mouseClick(w->face(), Qt::RightButton, Qt::NoModifier, QPoint(30, 40));
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        m_fake.running = true;
        m_fake.calls.clear();
        QStringList texts;
        QList<int> ids;
        for (QAction* a : menu->actions()) {
            texts << a->text();
            ids << a->data().toInt();
            a->trigger();
        }
        QCOMPARE(texts, QStringList({"info...", "See QK's Web Pages...", "E-mail me..."}));
        QCOMPARE(ids, QList<int>({888, 890, 891}));
        QCOMPARE(m_opened[0], m_shell->startupDirectory() + "/readme.txt");
        QVERIFY(m_opened[1].startsWith("https://"));
        QVERIFY(m_opened[2].startsWith("mailto:"));

        w->menuAction(CmdAbout)->trigger();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].caption, QString("About..."));
        QVERIFY(m_messages[0].text.contains("Korvalo Cor."));
        // Ids without a command do nothing; neither do the links to the stream.
        for (int id : {0, 1, 55, 102, 889, 65535})
            m_shell->command(id);
        QVERIFY(m_fake.calls.isEmpty());
        QCOMPARE(m_messages.size(), 1);
    }

    // Tab skips a disabled control, and Shift+Tab on the first stays there
    // where Qt's own focus chain would wrap: the face navigates itself.
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
        b[0]->setFocus();
        QTest::keyClick(b[0], Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), b[0]);
    }

    void faceDragMovesTheWindow() {
        MainWindow* w = start();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QPoint before(100, 100);
        w->move(before);
        QTRY_COMPARE(w->pos(), before);
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
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
