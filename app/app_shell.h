// AppShell: the process-wide state of the application and the one place that
// orders start-up, shut-down and command dispatch.
//
// Start-up (createMainWindow), in order:
//    1 frame metrics                     7 stream open (audio->openStream)
//    2 WAV path cleared (audio->clearWavPath)  8 engine (engine->createEngine)
//    3 control library (ctlInitialize)   9 control panel (panel->createPanel)
//    4 wave devices (audio->enumerateDevices) 10 hotkeys
//    5 output device (audio->initOutputDevice) 11 right-click menu
//    6 stored latency ("LatencyTime")   12 window drag, 13 window size
// Any failing step ends start-up: the shut-down below runs for what was
// built, "Failed to create window..." is shown, and no window is returned.
//
// Shut-down (after close-all), in order: hotkeys off; right-click menu
// destroyed; stream stopped (audio->stopStream); device released
// (audio->releaseDevice); block buffer freed (audio->freeBlockBuffer);
// "LatencyTime" written; WAV file closed (audio->closeWav); device list
// released (audio->releaseDeviceList); panel destroyed (panel->destroyPanel);
// engine released (engine->releaseEngine); ctlShutdown; the event loop quits.
//
// Subsystems join by setting their part in parts() before createMainWindow
// (shell_parts.h); the steps of a part left out are skipped.
//
// Thread: main thread only. Stopping the stream blocks it until the stream
// thread has ended.
#pragma once

#include "app/app_options.h"
#include "app/shell_parts.h"
#include "controls/ctl_window.h"
#include "resources/resource_path.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

class HotkeyFilter;
class MainWindow;
class QMenu;

enum class MessageIcon { None, Warning };

// A message box as the shell shows it.
struct ShellMessage {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
    bool applicationModal = false; // blocks every window, not only the owner
};

class AppShell : public QObject {
    Q_OBJECT
public:
    static constexpr float kDefaultLatency = 0.1f;
    static constexpr const char* kLatencyKey = "Zandel_Audio\\demo";
    static constexpr const char* kLatencyValue = "LatencyTime";
    static constexpr const char* kAppName = "Korvalo Cor.";
    static constexpr const char* kWebPage = "https://zandel-audio.example.org/korvalo-cor/";
    static constexpr const char* kMailTo = "mailto:qk@zandel-audio.example.org";

    // Reads the start-up directory (the current directory, or the program's
    // folder when only that one holds readme.txt) and loads the shared
    // bitmaps.
    explicit AppShell(AppOptions options = {}, QObject* parent = nullptr);
    ~AppShell() override;

    ShellParts& parts() { return m_parts; }
    const AppOptions& options() const { return m_options; }

    // Creates the main window and runs start-up. nullptr when start-up failed
    // (the failure messages have been shown). The shell owns the window.
    MainWindow* createMainWindow();
    MainWindow* mainWindow() const { return m_window; }

    // Closes the pop-ups the main window owns, then queues the shut-down.
    void closeAll();
    // The shut-down sequence; runs once.
    void shutDown();
    bool isShutDown() const { return m_shutDownDone; }

    // Command dispatch (menu items, hotkeys, right-click links).
    void command(int id);

    float latency() const { return m_latency; }
    bool streamRunning() const;

    // Hotkeys on/off, guarded so repeated calls do nothing. While on, F1, F2,
    // F4 and F5 act from every window of the program, modal ones included.
    void registerHotkeys();
    void unregisterHotkeys();
    bool hotkeysRegistered() const { return m_hotkeysRegistered; }

    // Check marks of the "&Latency" items from the current latency.
    void refreshLatencyChecks();

    // The start-up directory and the readme's place: in it, or else where
    // the readme was installed (app/install_paths.h).
    QString startupDirectory() const { return m_startupDir; }
    QString readmePath() const;

    // The bitmaps loaded at entry (kBitmapPanel, kBitmapKnob,
    // kBitmapButtonOn and kBitmapButtonOff) and the icon kIconMain. A
    // missing resource gives a null image.
    const QImage& bitmap(int resource) const;

    CtlFrameMetrics frameMetrics() const { return m_frame; }

    // How messages and links reach the user; tests replace them.
    std::function<void(const ShellMessage&)> showMessage;
    std::function<void(const QString& target)> openTarget;

public slots:
    void onApplicationStateChanged(Qt::ApplicationState state);

private:
    bool startUp();
    void buildContextMenu();
    void destroyContextMenu();
    void latencyCommand(int id);
    void message(const QString& text, const QString& caption, MessageIcon icon,
                 bool applicationModal = false);

    AppOptions m_options;
    ShellParts m_parts;
    QPointer<MainWindow> m_window;
    QString m_startupDir;
    QImage m_face, m_knob, m_buttonOn, m_buttonOff;
    CtlFrameMetrics m_frame{};
    float m_latency = kDefaultLatency;
    bool m_hotkeysRegistered = false;
    std::unique_ptr<HotkeyFilter> m_hotkeys; // exists while the main window does
    // What start-up built, so a failed start-up releases exactly that.
    bool m_libraryStarted = false;
    bool m_devicesEnumerated = false;
    bool m_deviceReady = false;
    bool m_latencyLoaded = false;
    bool m_streamOpen = false;
    bool m_engineCreated = false;
    bool m_panelCreated = false;
    bool m_shutDownQueued = false;
    bool m_shutDownDone = false;
};
