// The silent backend: a wave device without a sound card.
//
// The driver thread keeps a steady clock at the stream's real rate: each
// buffer takes its own duration. Playback discards the samples; capture
// delivers zeros. Used by the system test and on machines without audio.
#pragma once

#include "audio/wave_driver.h"

extern const WaveBackend kSilentBackend;
