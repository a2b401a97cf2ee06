// The ALSA backend of the wave device layer: playback and capture through any
// ALSA PCM name ("default", "hw:1,0", "file:FILE=/tmp/out.wav,FORMAT=wav", ...).
//
// The PCM is opened non-blocking and used only from the driver thread, which
// waits in poll() on the PCM and on the driver's wake-up descriptor, so a
// reset or close never waits for the sound card. ALSA's own buffer is sized to
// about one block, so a buffer reported done is close to being heard.
// Devices that never push back (the null and file plugins) are paced by the
// steady clock instead, so that they play in real time like a sound card.
#pragma once

#include "audio/wave_driver.h"

#include <string>

extern const WaveBackend kAlsaBackend;

// Silences ALSA's own messages on stderr (once per process).
void alsaQuietErrors();

// The ALSA text for an ALSA error code.
const char* alsaErrorText(int error);

// Appends the PCM names that ALSA lists for the given kind (hints), in list
// order, skipping "default". `add` is called once per name.
void alsaListDevices(int kind, void (*add)(void* ctx, const char* pcmName), void* ctx);

// True when the PCM is an external plugin (such as the `pulse` plugin behind
// a desktop's "default") rather than a card or a built-in plugin.
bool alsaIsPlugin(int kind, const char* pcmName);
