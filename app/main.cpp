// Process entry of Korvalo Cor.
#include "analysis/analysis_main.h"
#include "app/app_options.h"
#include "app/app_shell.h"
#include "app/audio_wiring.h"
#include "app/control_panel.h"
#include "app/engine_owner.h"
#include "app/install_paths.h"
#include "app/main_window.h"
#include "app/output_delay.h"
#include "app/signal_bridge.h"
#include "app/wav_select.h"
#include "display/meter_window.h"
#include "display/xy_scope_window.h"
#include "options/meter_options_dialog.h"
#include "options/meter_settings_provider.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

// The live input's and the output delay's parts of what the meter window
// asks of the program: the source's name, the follow switch; and the knob
// that shows the followed delay and, turned by hand, ends following.
void joinLiveParts(MeterWindowHooks& hooks, AudioShellPart& audio, ControlPanelPart& panel,
                   OutputDelayFollower& follower) {
    hooks.sourceText = [&audio] { return audio.live().sourceText(); };
    hooks.followDelay = [&follower] { return follower.following(); };
    hooks.setFollowDelay = [&follower](bool on) { follower.setFollowing(on); };
    follower.showDelay = [&panel](float s) { panel.panel().showDelay(s); };
    panel.panel().delayTurned = [&follower] { follower.turnedByHand(); };
}

// What the command line answers without starting the program: the exit
// status, or -1 when the program is to start. Checked before Qt looks for
// a display, so --help, --version and mistakes are answered anywhere.
int answerCommandLine(const AppOptions& options) {
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "korvalo-cor: %s\n%s", options.error.toLocal8Bit().constData(),
                     appUsageText().toLocal8Bit().constData());
        return 2;
    }
    if (options.help) {
        std::fputs(appUsageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(appVersionText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    return -1;
}

void nameApplication() {
    QApplication::setApplicationName(QStringLiteral("korvalo-cor"));
    QApplication::setApplicationVersion(appVersion());
    QGuiApplication::setDesktopFileName(desktopFileName());
    // The shut-down sequence ends the event loop itself, after the settings
    // are saved; a closing message box must not end it early.
    QApplication::setQuitOnLastWindowClosed(false);
}

// SIGTERM and the like close the main window, which shuts down in order.
void closeOnTermination(SignalBridge& signalBridge, AppShell& shell) {
    QObject::connect(&signalBridge, &SignalBridge::terminateRequested, &shell, [&shell](int) {
        if (MainWindow* w = shell.mainWindow())
            w->close();
        else
            QCoreApplication::exit(0);
    });
}

// A FILE opens like a choice in the file dialog and plays, an input is
// metered, with the meter window open. From inside the event loop: a
// shut-down while a "Sorry..." box's nested loop runs ends every loop, and
// one ended before app.exec() would leave the program idling.
void startWithInput(AppShell& shell, EngineOwner& engine, AudioShellPart& audioPart,
                    AudioPath& audio, WavSelector& wavSelector, const AppOptions& options) {
    const QString input = appStartupInput(options);
    if (input.isEmpty() && options.wavFile.isEmpty())
        return;
    QMetaObject::invokeMethod(
        &shell,
        [&, input] {
            if (shell.isShutDown())
                return;
            meterWindowShow(engine.get());
            if (!input.isEmpty())
                audioPart.live().chooseAtStart(input);
            else if (!playStartupFile(audio, wavSelector, options.wavFile))
                std::fprintf(stderr, "korvalo-cor: cannot play %s\n",
                             options.wavFile.toLocal8Bit().constData());
        },
        Qt::QueuedConnection);
}

} // namespace

int main(int argc, char** argv) {
    // Offline analysis needs neither a display nor a sound card.
    if (argc > 1 && std::strcmp(argv[1], "--analyze") == 0)
        return analysisMain(argc, argv);
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const AppOptions options = parseAppOptions(withoutQtOptions(raw));
    if (const int status = answerCommandLine(options); status >= 0)
        return status;

    QApplication app(argc, argv);
    nameApplication();
    // The engine reaches the stored display settings, the frame renderer and
    // the meter window through these; they must be in place before meterCreate.
    optionsInstallSettingsProvider();
    displayInstallHooks();

    // The parts outlive the shell, whose shut-down stops and releases them:
    // the engine last of all, after the audio path that feeds it.
    EngineOwner engine;
    AudioPath audio;
    WavSelector wavSelector(audio);
    AudioShellPart audioPart(audio, wavSelector, engine.slot());
    ControlPanelPart panelPart(wavSelector, engine);
    AppShell shell(options);
    audioPart.join(shell);
    panelPart.join(shell);
    shell.parts().engine = &engine;
    // What the meter window asks of the program: the panel's refresh and
    // level buttons, the options dialog.
    MeterWindowHooks windowHooks;
    ControlPanelPart::fillWindowHooks(windowHooks);
    windowHooks.openOptions = optionsOpenFromMeterWindow;
    OutputDelayFollower delayFollower(audio, engine.slot());
    joinLiveParts(windowHooks, audioPart, panelPart, delayFollower);
    meterWindowSetHooks(std::move(windowHooks));
    SignalBridge signalBridge;
    closeOnTermination(signalBridge, shell);

    if (!shell.createMainWindow())
        return 0;
    // The X/Y scope opens again when it was open at the end of the last run.
    xyScopeRestore(engine.get());
    startWithInput(shell, engine, audioPart, audio, wavSelector, options);
    return app.exec();
}
