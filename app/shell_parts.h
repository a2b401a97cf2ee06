// The subsystems as the shell drives them. AppShell (app_shell.h) calls these
// in its start-up, shut-down and command order; each subsystem implements its
// interface in one class, so a reader goes from the order to the code of each
// step:
//   ShellAudio   AudioShellPart   (audio_wiring.h): devices, stream, WAV file
//   ShellEngine  EngineOwner      (engine_owner.h): the meter engine
//   ShellPanel   ControlPanelPart (control_panel.h): the face's controls
// A part the shell was not given is not part of the program: its steps are
// skipped (until an audio part exists, Play, Stop, Zero and Select do nothing
// and the stream never runs).
//
// Thread: main thread only.
#pragma once

#include <string>

class QMenu;
class QWidget;

class ShellAudio {
public:
    virtual ~ShellAudio() = default;

    // Start-up. A bool step returns false on failure.
    virtual void clearWavPath() = 0;
    virtual void enumerateDevices() = 0;
    // Fills `errorText` on failure; the shell shows it with caption "Init Error".
    virtual bool initOutputDevice(std::string& errorText) = 0;
    // Shows "Init Error" itself on failure.
    virtual bool openStream(float latency) = 0;

    // Shut-down.
    virtual void stopStream() = 0; // returns after the stream thread has ended
    virtual void releaseDevice() = 0;
    virtual void freeBlockBuffer() = 0;
    virtual void closeWav() = 0;
    virtual void releaseDeviceList() = 0;

    // Transport.
    virtual bool streamRunning() = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void zero() = 0;
    virtual void selectWavFile(QWidget* owner) = 0;
    // Reopens the stream at a new latency; false when that failed (the part
    // has shown "Init Error").
    virtual bool reopenStream(float latency) = 0;

    // The live input as a source beside the file. "Meter an Input...": fills
    // `menu` with the inputs, each of which starts metering itself.
    virtual void fillInputMenu(QMenu* menu) { (void)menu; }
    // "Meter the Wave File": the file is the source again, stopped.
    virtual void meterWaveFile() {}
};

class ShellEngine {
public:
    virtual ~ShellEngine() = default;
    // The engine and its 44100 Hz / 2 channel format; on failure the shell
    // shows "Not enough memory, can't run this program".
    virtual bool createEngine() = 0;
    virtual void releaseEngine() = 0;
};

class ShellPanel {
public:
    virtual ~ShellPanel() = default;
    // Attaches the panel to the engine, creates its controls on `face` (the
    // client area) and refreshes them.
    virtual void createPanel(QWidget* face) = 0;
    virtual void destroyPanel() = 0;
};

// What the shell drives; the parts outlive the shell's shut-down.
struct ShellParts {
    ShellAudio* audio = nullptr;
    ShellEngine* engine = nullptr;
    ShellPanel* panel = nullptr;
};
