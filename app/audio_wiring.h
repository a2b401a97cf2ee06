// The audio path of the program (output device, WAV source, transport) and
// how it joins the shell's start-up, commands and shut-down.
//
// Thread: main thread only; the transport's stream thread is started and
// stopped from here.
#pragma once

#include "app/app_options.h"
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
};

// `--device NAME`, else $KORVALO_WAVE_DEVICE, else empty (the first device of the list).
QString audioDeviceName(const AppOptions& options);

// Fills the shell's audio steps. `engine` is the shell's engine variable,
// which the stream feeds.
void connectAudio(AppShell& shell, AudioPath& audio, WavSelector& selector, MeterEngine** engine);

// The FILE of the command line, once the main window is up: opened through
// the same rules and messages as a choice in the file dialog, then played.
// False when it is not open afterwards.
bool playStartupFile(AudioPath& audio, WavSelector& selector, const QString& path);
