// The measuring presets of the meter window's context menu.
#pragma once

#include "meter/meter_engine.h"

inline constexpr int kMeterPresetCount = 3;
inline constexpr int kMeterPresetCommandBase = 1100; // menu command of row 0

// The preset rows: full channel parameter sets. Delay, nbFperS and
// PhaseRelease are placeholders: applying a row keeps the meter's own.
extern const ChannelParams MeterPreset[kMeterPresetCount];

// "PRESET : Default", "PRESET : Digital VU", "PRESET : Analog VU"; "" for
// other rows.
const char* meterPresetMenuText(int row);

// Applies preset `row` to the engine: both channel sets take the row, keeping
// the current Delay, nbFperS and PhaseRelease of the left set; row 2 also sets
// the live DisplayDbOffset to 7.0. Returns 1, or 0 for an unknown row or a
// missing engine (nothing changes then). Main thread. The caller refreshes
// its control panel and repaints.
int ApplyMeterPreset(MeterEngine* engine, int row);
