#include "app/audio_wiring.h"

#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/wav_select.h"

#include <cstdio>

namespace {

// A device that cannot be opened ends the stream without a window saying so
// (as it always has); people who started the program from a terminal, often
// with --device, are told on standard error, as command-line programs do.
// Runs on the stream thread.
void reportOpenFailure(const char* line) {
    std::fprintf(stderr, "korvalo-cor: %s\n", line);
}

// Stream open failures show the device's error text; the shell then ends
// start-up, or closes the program after a latency change.
bool openStreamOrWarn(AppShell& shell, AudioPath& audio, float latency, bool reopen) {
    const int r = reopen ? transportChangeLatency(&audio.transport, latency)
                         : transportOpenStream(&audio.transport, latency);
    if (r == 1)
        return true;
    if (shell.showMessage)
        shell.showMessage(ShellMessage{QString::fromLocal8Bit(waveErrorText(&audio.device)),
                                       QStringLiteral("Init Error"), MessageIcon::None, false});
    return false;
}

} // namespace

QString audioDeviceName(const AppOptions& options) {
    if (!options.device.isEmpty())
        return options.device;
    return QString::fromLocal8Bit(qgetenv("KORVALO_WAVE_DEVICE"));
}

void connectAudio(AppShell& shell, AudioPath& audio, WavSelector& selector, MeterEngine** engine) {
    Transport& t = audio.transport;
    t.device = &audio.device;
    t.source = &audio.source;
    t.selection = &audio.selection;
    t.engine = engine;
    t.reportOpenFailure = reportOpenFailure;
    if (audio.deviceName.isEmpty())
        audio.deviceName = audioDeviceName(shell.options());

    ShellSteps& s = shell.steps();
    s.clearWavPath = [&audio] { audio.selection.currentPath.clear(); };
    s.enumerateDevices = [] { waveEnumerateDevices(); };
    s.initOutputDevice = [&audio](std::string& error) {
        waveClearErrorText(&audio.device);
        bool ok = waveInitDevice(&audio.device, kWaveOutput) == 1;
        if (ok && !audio.deviceName.isEmpty())
            ok = waveSelectDeviceByName(&audio.device,
                                        audio.deviceName.toLocal8Bit().constData()) == 1;
        if (!ok)
            error = waveErrorText(&audio.device);
        return ok;
    };
    s.openStream = [&shell, &audio](float latency) {
        return openStreamOrWarn(shell, audio, latency, false);
    };
    s.reopenStream = [&shell, &audio](float latency) {
        return openStreamOrWarn(shell, audio, latency, true);
    };

    s.stopStream = [&t] { transportStopThread(&t); };
    s.releaseDevice = [&audio] { waveReleaseDevice(&audio.device); };
    s.freeBlockBuffer = [&t] { transportFreeBlock(&t); };
    s.closeWav = [&audio] { wavClose(&audio.source); };
    s.releaseDeviceList = [] { waveReleaseDeviceList(); };

    s.streamRunning = [&t] { return transportIsRunning(&t); };
    s.play = [&t] { transportPlay(&t); };
    s.stop = [&t] { transportStop(&t); };
    s.zero = [&t] { transportZero(&t); };
    s.selectWavFile = [&selector](QWidget* owner) { selector.select(owner); };
}

bool playStartupFile(AudioPath& audio, WavSelector& selector, const QString& path) {
    if (!selector.adopt(path))
        return false;
    transportPlay(&audio.transport);
    return true;
}
