#include "app/app_shell.h"

#include "app/app_commands.h"
#include "app/hotkey_filter.h"
#include "app/install_paths.h"
#include "app/main_window.h"
#include "app/panel_face.h"
#include "controls/ctl_core.h"
#include "platform/registry_store.h"
#include "platform/shell_open.h"
#include "resources/resource_path.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>

namespace {

// The directory the readme is looked up in. The current directory at entry
// is the rule; when it lacks readme.txt but the program's own folder has it
// (the program was started from elsewhere), that folder is used instead.
QString findStartupDirectory() {
    const QString current = QDir::currentPath();
    if (QFileInfo(current).isFile())
        return QFileInfo(current).absolutePath();
    if (QFileInfo::exists(QDir(current).filePath(QStringLiteral("readme.txt"))))
        return current;
    if (QCoreApplication::instance()) {
        const QString programDir = QCoreApplication::applicationDirPath();
        if (!programDir.isEmpty() &&
            QFileInfo::exists(QDir(programDir).filePath(QStringLiteral("readme.txt"))))
            return programDir;
    }
    return current;
}

QImage loadBitmap(int number) {
    QImage image(resourcePath(number));
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

void defaultShowMessage(QWidget* owner, const ShellMessage& m) {
    QMessageBox box(m.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    m.caption, m.text, QMessageBox::Ok, owner);
    // A box blocks its owner's window only, unless it must block them all.
    box.setWindowModality(m.applicationModal ? Qt::ApplicationModal : Qt::WindowModal);
    box.exec();
}

} // namespace

AppShell::AppShell(AppOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_startupDir(findStartupDirectory()),
      m_face(loadBitmap(kBitmapPanel)), m_knob(loadBitmap(kBitmapKnob)),
      m_buttonOn(loadBitmap(kBitmapButtonOn)), m_buttonOff(loadBitmap(kBitmapButtonOff)) {
    showMessage = [this](const ShellMessage& m) { defaultShowMessage(m_window, m); };
    openTarget = [](const QString& target) { shellOpen(target); };
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::applicationStateChanged, this,
                &AppShell::onApplicationStateChanged);
}

AppShell::~AppShell() {
    // A window that was never closed (a test, or the event loop ended
    // otherwise) still gets the orderly shut-down, so nothing is lost.
    if (m_window && !m_shutDownDone)
        shutDown();
    m_hotkeys.reset();
    delete m_window;
}

const QImage& AppShell::bitmap(int resource) const {
    static const QImage none;
    static const QImage icon = QImage(resourcePath(kIconMain));
    switch (resource) {
    case kBitmapPanel:
        return m_face;
    case kBitmapKnob:
        return m_knob;
    case kBitmapButtonOn:
        return m_buttonOn;
    case kBitmapButtonOff:
        return m_buttonOff;
    case kIconMain:
        return icon;
    default:
        return none;
    }
}

QString AppShell::readmePath() const {
    return readmeFor(m_startupDir);
}

void AppShell::message(const QString& text, const QString& caption, MessageIcon icon,
                       bool applicationModal) {
    if (showMessage)
        showMessage(ShellMessage{text, caption, icon, applicationModal});
}

MainWindow* AppShell::createMainWindow() {
    if (m_window)
        return m_window;
    m_shutDownDone = false;
    m_shutDownQueued = false;
    m_window = new MainWindow(*this);
    m_hotkeys = std::make_unique<HotkeyFilter>([this](int id) { command(id); });
    if (!startUp()) {
        // As with a window whose creation failed, the shut-down releases what
        // start-up built; no quit is needed because no event loop runs yet.
        shutDown();
        m_hotkeys.reset();
        delete m_window;
        message(QStringLiteral("Failed to create window..."), QStringLiteral("Sorry"),
                MessageIcon::Warning);
        return nullptr;
    }
    m_window->show();
    return m_window;
}

bool AppShell::startUp() {
    m_frame = ctlFrameMetrics();

    if (m_parts.audio)
        m_parts.audio->clearWavPath();

    // A failed library start shows nothing of its own.
    if (!ctlInitialize(kAppName)) {
        m_libraryStarted = ctlUseCount() > 0;
        return false;
    }
    m_libraryStarted = true;

    if (m_parts.audio) {
        m_parts.audio->enumerateDevices();
        m_devicesEnumerated = true;
    }
    if (m_parts.audio) {
        std::string error;
        if (!m_parts.audio->initOutputDevice(error)) {
            message(QString::fromStdString(error), QStringLiteral("Init Error"), MessageIcon::None);
            return false;
        }
        m_deviceReady = true;
    }

    float stored = 0.0f;
    if (regReadValue(kLatencyKey, kLatencyValue, &stored, sizeof stored) == 1 && stored >= 0.02f &&
        stored <= 0.2f)
        m_latency = stored;
    m_latencyLoaded = true;

    if (m_parts.audio) {
        if (!m_parts.audio->openStream(m_latency))
            return false;
        m_streamOpen = true;
    }
    if (m_parts.engine) {
        if (!m_parts.engine->createEngine()) {
            message(QStringLiteral("Not enough memory, can't run this program"),
                    QStringLiteral("Fatal error"), MessageIcon::None, true);
            return false;
        }
        m_engineCreated = true;
    }
    if (m_parts.panel) {
        m_parts.panel->createPanel(m_window->face());
        m_panelCreated = true;
    }

    registerHotkeys();
    buildContextMenu();
    dragInit(m_window->face()->drag(), m_window->face());
    m_window->applyFixedSize();
    return true;
}

void AppShell::shutDown() {
    if (m_shutDownDone)
        return;
    m_shutDownDone = true;

    unregisterHotkeys();
    destroyContextMenu();
    if (m_streamOpen)
        m_parts.audio->stopStream();
    if (m_deviceReady)
        m_parts.audio->releaseDevice();
    if (m_streamOpen)
        m_parts.audio->freeBlockBuffer();
    m_streamOpen = false;
    m_deviceReady = false;
    // Only a latency that start-up actually read is written back; a start-up
    // that failed earlier must not replace the user's stored value with the
    // default.
    if (m_latencyLoaded)
        regWriteValue(kLatencyKey, kLatencyValue, &m_latency, sizeof m_latency);
    if (m_parts.audio)
        m_parts.audio->closeWav();
    if (m_devicesEnumerated)
        m_parts.audio->releaseDeviceList();
    m_devicesEnumerated = false;
    if (m_panelCreated)
        m_parts.panel->destroyPanel();
    m_panelCreated = false;
    if (m_engineCreated)
        m_parts.engine->releaseEngine();
    m_engineCreated = false;
    if (m_libraryStarted)
        ctlShutdown();
    m_libraryStarted = false;
    m_latencyLoaded = false;

    if (m_shutDownQueued)
        QCoreApplication::exit(0);
}

void AppShell::closeAll() {
    if (!m_window || m_shutDownQueued || m_shutDownDone)
        return;
    // Pop-ups the main window owns (an entry dialog, a precision slider),
    // shown or hidden, close first, synchronously. The meter window has no
    // owner and goes with the engine.
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (QWidget* w : tops) {
        if (w != m_window && w->parentWidget() == m_window)
            w->close();
    }
    m_shutDownQueued = true;
    QMetaObject::invokeMethod(this, &AppShell::shutDown, Qt::QueuedConnection);
}

bool AppShell::streamRunning() const {
    return m_parts.audio && m_parts.audio->streamRunning();
}

void AppShell::command(int id) {
    if (m_shutDownDone)
        return;
    switch (id) {
    case CmdZero:
        if (m_parts.audio)
            m_parts.audio->zero();
        break;
    case CmdPlay:
        if (m_parts.audio)
            m_parts.audio->play();
        break;
    case CmdStop:
        if (m_parts.audio)
            m_parts.audio->stop();
        break;
    case CmdSelectWav:
        if (m_parts.audio)
            m_parts.audio->selectWavFile(m_window);
        break;
    case CmdMeterFile:
        if (m_parts.audio)
            m_parts.audio->meterWaveFile();
        break;
    case CmdLatency200:
    case CmdLatency100:
    case CmdLatency50:
    case CmdLatency30:
    case CmdLatency20:
        latencyCommand(id);
        break;
    case CmdQuit:
        unregisterHotkeys();
        closeAll();
        break;
    case CmdAbout:
        message(QStringLiteral("Korvalo Cor. %1\nStereo audio level meter.").arg(appVersion()),
                QStringLiteral("About..."), MessageIcon::None);
        break;
    case CmdInfo:
        if (openTarget)
            openTarget(readmePath());
        break;
    case CmdWebPage:
        if (openTarget)
            openTarget(QString::fromUtf8(kWebPage));
        break;
    case CmdMail:
        if (openTarget)
            openTarget(QString::fromUtf8(kMailTo));
        break;
    default:
        break;
    }
}

void AppShell::latencyCommand(int id) {
    if (streamRunning()) {
        message(QStringLiteral("Cannot change latency during play...\nPlease Stop the stream "
                               "before changing this parameter."),
                QStringLiteral("Change Latency"), MessageIcon::None);
        refreshLatencyChecks();
        return;
    }
    m_latency = kLatencyValues[static_cast<size_t>(id - CmdLatency200)];
    refreshLatencyChecks();
    if (m_parts.audio && !m_parts.audio->reopenStream(m_latency)) {
        if (m_window)
            QMetaObject::invokeMethod(m_window, &QWidget::close, Qt::QueuedConnection);
    }
}

void AppShell::refreshLatencyChecks() {
    if (!m_window)
        return;
    for (size_t i = 0; i < kLatencyValues.size(); ++i) {
        if (QAction* a = m_window->menuAction(CmdLatency200 + static_cast<int>(i)))
            a->setChecked(false);
    }
    for (size_t i = 0; i < kLatencyValues.size(); ++i) {
        if (kLatencyValues[i] == m_latency) {
            if (QAction* a = m_window->menuAction(CmdLatency200 + static_cast<int>(i)))
                a->setChecked(true);
            break;
        }
    }
}

void AppShell::registerHotkeys() {
    if (m_hotkeysRegistered || !m_window || !m_hotkeys)
        return;
    m_hotkeys->setActive(true);
    m_hotkeysRegistered = true;
}

void AppShell::unregisterHotkeys() {
    if (!m_hotkeysRegistered || !m_window || !m_hotkeys)
        return;
    m_hotkeys->setActive(false);
    m_hotkeysRegistered = false;
}

void AppShell::onApplicationStateChanged(Qt::ApplicationState state) {
    if (!m_window || m_shutDownDone || m_shutDownQueued)
        return;
    if (state == Qt::ApplicationActive)
        registerHotkeys();
    else
        unregisterHotkeys();
}

void AppShell::buildContextMenu() {
    auto* menu = new QMenu(m_window);
    menu->setObjectName(QStringLiteral("rightClickMenu"));
    for (const MenuItemDef& item : kContextMenu) {
        QAction* a = menu->addAction(QString::fromUtf8(item.text));
        a->setData(item.id);
        const int id = item.id;
        connect(a, &QAction::triggered, this, [this, id] { command(id); });
    }
    m_window->face()->setContextMenu(menu);
}

void AppShell::destroyContextMenu() {
    if (!m_window)
        return;
    QMenu* menu = m_window->face()->contextMenu();
    m_window->face()->setContextMenu(nullptr);
    delete menu;
}
