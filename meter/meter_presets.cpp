#include "meter/meter_presets.h"

// Delay, Attack, attackOn, dbOffsetOn, displayFlags, rmsOn, peakOn,
// linearScale, L_MinDB, L_MaxDB, Max_DBperS, Moy_DBperS, nbFperS, PhaseRelease
const ChannelParams MeterPreset[kMeterPresetCount] = {
    {0.0f, 48.0f, 0, 0, kMeterShowBarsAndCorrelator, 1, 1, 0, -40.0f, 6.0f, 3.0f, 24.0f, 0, 0.0f},
    {0.0f, 48.0f, 0, 0, kMeterShowBarsAndCorrelator, 1, 0, 0, -40.0f, 6.0f, 3.0f, 24.0f, 0, 0.0f},
    {0.0f, 48.0f, 1, 1, kMeterShowBarsAndCorrelator, 1, 0, 1, -20.0f, 3.0f, 3.0f, 12.0f, 0, 0.0f},
};

ChannelParams meterPresetFor(int row, const ChannelParams& current) {
    ChannelParams chosen = MeterPreset[row];
    chosen.Delay = current.Delay;
    chosen.nbFperS = current.nbFperS;
    chosen.PhaseRelease = current.PhaseRelease;
    return chosen;
}
