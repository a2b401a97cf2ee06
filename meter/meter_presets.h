// The measuring presets' values and the rule by which a meter takes one.
// Shared by the meter window's context menu and the offline analysis.
#pragma once

#include "meter/meter_engine.h"

inline constexpr int kMeterPresetCount = 3;
inline constexpr int kMeterPresetAnalogVu = 2; // the row that also sets a zero-point offset
inline constexpr float kMeterPresetAnalogDbOffset = 7.0f; // its DisplayDbOffset, dB

// The preset rows: full channel parameter sets. Delay, nbFperS and
// PhaseRelease are placeholders: applying a row keeps the meter's own.
extern const ChannelParams MeterPreset[kMeterPresetCount];

// Preset `row` (0 .. kMeterPresetCount - 1) as a meter now running `current`
// takes it: the row's values with the current Delay, nbFperS and
// PhaseRelease.
ChannelParams meterPresetFor(int row, const ChannelParams& current);
