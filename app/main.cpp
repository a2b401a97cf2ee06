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
#include "options/meter_options_dialog.h"
#include "options/meter_settings_provider.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Offline analysis needs neither a display nor a sound card.
    if (argc > 1 && std::strcmp(argv[1], "--analyze") == 0)
        return analysisMain(argc, argv);
    // The command line is checked before Qt looks for a display, so --help,
    // --version and mistakes are answered anywhere.
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const AppOptions options = parseAppOptions(withoutQtOptions(raw));
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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvalo-cor"));
    QApplication::setApplicationVersion(appVersion());
    QGuiApplication::setDesktopFileName(desktopFileName());
    // The shut-down sequence ends the event loop itself, after the settings
    // are saved; a closing message box must not end it early.
    QApplication::setQuitOnLastWindowClosed(false);

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
    windowHooks.sourceText = [&audioPart] { return audioPart.live().sourceText(); };
    OutputDelayFollower delayFollower(audio, engine.slot());
    delayFollower.showDelay = [&panelPart](float s) { panelPart.panel().showDelay(s); };
    panelPart.panel().delayTurned = [&delayFollower] { delayFollower.turnedByHand(); };
    windowHooks.followDelay = [&delayFollower] { return delayFollower.following(); };
    windowHooks.setFollowDelay = [&delayFollower](bool on) { delayFollower.setFollowing(on); };
    meterWindowSetHooks(std::move(windowHooks));
    SignalBridge signalBridge;
    QObject::connect(&signalBridge, &SignalBridge::terminateRequested, &shell, [&shell](int) {
        if (MainWindow* w = shell.mainWindow())
            w->close();
        else
            QCoreApplication::exit(0);
    });

    if (!shell.createMainWindow())
        return 0;
    // A FILE on the command line opens like a choice in the file dialog, then
    // plays, with the meter window already open so that the meters move at
    // once. It is opened from inside the event loop: its "Sorry..." box runs
    // a nested loop, and a shut-down while the box is up (a signal, the close
    // box) ends every running loop. Ended before app.exec() had started, the
    // program would go on idling without windows.
    // An input given at start-up is metered at once, the meter window open,
    // from inside the event loop for the same reason (its failure box).
    if (const QString input = appStartupInput(options); !input.isEmpty()) {
        QMetaObject::invokeMethod(
            &shell,
            [&, input] {
                if (shell.isShutDown())
                    return;
                meterWindowShow(engine.get());
                audioPart.live().choose(input);
            },
            Qt::QueuedConnection);
    } else if (!options.wavFile.isEmpty()) {
        QMetaObject::invokeMethod(
            &shell,
            [&] {
                if (shell.isShutDown())
                    return;
                meterWindowShow(engine.get());
                if (!playStartupFile(audio, wavSelector, options.wavFile))
                    std::fprintf(stderr, "korvalo-cor: cannot play %s\n",
                                 options.wavFile.toLocal8Bit().constData());
            },
            Qt::QueuedConnection);
    }
    return app.exec();
}
