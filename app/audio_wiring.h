// The audio path of the program (output device, WAV source, transport) and
// how it joins the shell's start-up, commands and shut-down.
//
// Thread: main thread only; the transport's stream thread is started and
// stopped from here.
#pragma once

#include "app/app_options.h"
#include "app/live_input.h"
#include "app/shell_parts.h"
#include "audio/transport.h"

#include <QString>

class AppShell;
class WavSelector;

struct AudioPath {
    WaveDevice device;
    WavSource source;
    WavSelection selection;
    Transport transport;
    QString deviceName; // the output asked for on the command line or in the environment
    WaveDevice input;   // the live input's device record, while one is chosen
};

// `--device NAME`, else $KORVALO_WAVE_DEVICE, else empty (the first device of the list).
QString audioDeviceName(const AppOptions& options);

// The audio path as the shell drives it. `engine` is the engine variable the
// stream feeds. Made before the shell, which it must outlive (the shell's
// destructor may still shut down through it); join() then connects the two.
class AudioShellPart final : public ShellAudio {
public:
    AudioShellPart(AudioPath& audio, WavSelector& selector, MeterEngine** engine);
    // Becomes the shell's audio part; the device comes from its options.
    void join(AppShell& shell);

    void clearWavPath() override;
    void enumerateDevices() override;
    bool initOutputDevice(std::string& errorText) override;
    bool openStream(float latency) override;
    void stopStream() override;
    void releaseDevice() override;
    void freeBlockBuffer() override;
    void closeWav() override;
    void releaseDeviceList() override;
    bool streamRunning() override;
    void play() override;
    void stop() override;
    void zero() override;
    void selectWavFile(QWidget* owner) override;
    bool reopenStream(float latency) override;
    void fillInputMenu(QMenu* menu) override;
    void meterWaveFile() override;

    LiveInput& live() { return m_live; }

private:
    // Stream open failures show the device's error text; the shell then ends
    // start-up, or closes the program after a latency change.
    bool openOrWarn(float latency, bool reopen);

    AppShell* m_shell = nullptr;
    AudioPath& m_audio;
    WavSelector& m_selector;
    LiveInput m_live;
};

// The FILE of the command line, once the main window is up: opened through
// the same rules and messages as a choice in the file dialog, then played.
// False when it is not open afterwards.
bool playStartupFile(AudioPath& audio, WavSelector& selector, const QString& path);
