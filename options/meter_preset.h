// The measuring presets of the meter window's context menu.
#pragma once

#include "meter/meter_presets.h"

inline constexpr int kMeterPresetCommandBase = 1100; // menu command of row 0

// "PRESET : Default", "PRESET : Digital VU", "PRESET : Analog VU"; "" for
// other rows.
const char* meterPresetMenuText(int row);

// Applies preset `row` to the engine: both channel sets take the row, keeping
// the current Delay, nbFperS and PhaseRelease of the left set; the analog row
// also sets the live DisplayDbOffset. Returns 1, or 0 for an unknown row or a
// missing engine (nothing changes then). Main thread. The caller refreshes
// its control panel and repaints.
int ApplyMeterPreset(MeterEngine* engine, int row);
