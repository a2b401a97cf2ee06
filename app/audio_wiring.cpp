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

} // namespace

QString audioDeviceName(const AppOptions& options) {
    if (!options.device.isEmpty())
        return options.device;
    return QString::fromLocal8Bit(qgetenv("KORVALO_WAVE_DEVICE"));
}

AudioShellPart::AudioShellPart(AudioPath& audio, WavSelector& selector, MeterEngine** engine)
    : m_audio(audio), m_selector(selector), m_live(audio, engine) {
    Transport& t = audio.transport;
    t.device = &audio.device;
    t.source = &audio.source;
    t.selection = &audio.selection;
    t.engine = engine;
    t.reportOpenFailure = reportOpenFailure;
}

void AudioShellPart::join(AppShell& shell) {
    m_shell = &shell;
    shell.parts().audio = this;
    if (m_audio.deviceName.isEmpty())
        m_audio.deviceName = audioDeviceName(shell.options());
    const AppOptions& o = shell.options();
    m_live.request = InputRequest{o.inputRate, o.pairA, o.pairB};
    m_live.latency = [&shell] { return shell.latency(); };
}

bool AudioShellPart::openOrWarn(float latency, bool reopen) {
    const int r = reopen ? transportChangeLatency(&m_audio.transport, latency)
                         : transportOpenStream(&m_audio.transport, latency);
    if (r == 1)
        return true;
    if (m_shell && m_shell->showMessage)
        m_shell->showMessage(ShellMessage{QString::fromLocal8Bit(waveErrorText(&m_audio.device)),
                                          QStringLiteral("Init Error"), MessageIcon::None, false});
    return false;
}

void AudioShellPart::clearWavPath() {
    m_audio.selection.currentPath.clear();
}

void AudioShellPart::enumerateDevices() {
    waveEnumerateDevices();
}

bool AudioShellPart::initOutputDevice(std::string& error) {
    waveClearErrorText(&m_audio.device);
    bool ok = waveInitDevice(&m_audio.device, kWaveOutput) == 1;
    if (ok && !m_audio.deviceName.isEmpty())
        ok = waveSelectDeviceByName(&m_audio.device,
                                    m_audio.deviceName.toLocal8Bit().constData()) == 1;
    if (!ok)
        error = waveErrorText(&m_audio.device);
    return ok;
}

bool AudioShellPart::openStream(float latency) {
    return openOrWarn(latency, false);
}

bool AudioShellPart::reopenStream(float latency) {
    return openOrWarn(latency, true);
}

void AudioShellPart::stopStream() {
    transportStopThread(&m_audio.transport);
}

void AudioShellPart::releaseDevice() {
    m_live.release();
    waveReleaseDevice(&m_audio.device);
}

void AudioShellPart::freeBlockBuffer() {
    transportFreeBlock(&m_audio.transport);
}

void AudioShellPart::closeWav() {
    wavClose(&m_audio.source);
}

void AudioShellPart::releaseDeviceList() {
    waveReleaseDeviceList();
}

bool AudioShellPart::streamRunning() {
    return transportIsRunning(&m_audio.transport);
}

void AudioShellPart::play() {
    if (m_live.isChosen())
        m_live.start();
    else
        transportPlay(&m_audio.transport);
}

void AudioShellPart::stop() {
    if (m_live.isChosen())
        m_live.stop();
    else
        transportStop(&m_audio.transport);
}

void AudioShellPart::zero() {
    if (m_live.isChosen())
        m_live.zero();
    else
        transportZero(&m_audio.transport);
}

void AudioShellPart::selectWavFile(QWidget* owner) {
    // With an input chosen, the capture stops; a file chosen in the dialog
    // makes the file the source again, a cancelled dialog leaves the input.
    if (m_live.isChosen())
        m_live.stop();
    if (m_selector.select(owner))
        m_live.useFile();
}

void AudioShellPart::fillInputMenu(QMenu* menu) {
    m_live.fillMenu(menu);
}

void AudioShellPart::meterWaveFile() {
    m_live.useFile();
}

bool playStartupFile(AudioPath& audio, WavSelector& selector, const QString& path) {
    if (!selector.adopt(path))
        return false;
    transportPlay(&audio.transport);
    return true;
}
