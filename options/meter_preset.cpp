#include "options/meter_preset.h"

#include "options/meter_settings.h"

namespace {

constexpr int32_t kBarsAndCorrelator = kMeterShowBars | kMeterShowCorrelator;
constexpr float kAnalogDbOffset = 7.0f;

} // namespace

// Delay, Attack, attackOn, dbOffsetOn, displayFlags, rmsOn, peakOn,
// linearScale, L_MinDB, L_MaxDB, Max_DBperS, Moy_DBperS, nbFperS, PhaseRelease
const ChannelParams MeterPreset[kMeterPresetCount] = {
    {0.0f, 48.0f, 0, 0, kBarsAndCorrelator, 1, 1, 0, -40.0f, 6.0f, 3.0f, 24.0f, 0, 0.0f},
    {0.0f, 48.0f, 0, 0, kBarsAndCorrelator, 1, 0, 0, -40.0f, 6.0f, 3.0f, 24.0f, 0, 0.0f},
    {0.0f, 48.0f, 1, 1, kBarsAndCorrelator, 1, 0, 1, -20.0f, 3.0f, 3.0f, 12.0f, 0, 0.0f},
};

const char* meterPresetMenuText(int row) {
    static const char* const kTexts[kMeterPresetCount] = {"PRESET : Default", "PRESET : Digital VU",
                                                          "PRESET : Analog VU"};
    return row >= 0 && row < kMeterPresetCount ? kTexts[row] : "";
}

int ApplyMeterPreset(MeterEngine* engine, int row) {
    if (!engine || row < 0 || row >= kMeterPresetCount) {
        return 0;
    }
    MeterParams params;
    meterGetParams(engine, &params);
    ChannelParams chosen = MeterPreset[row];
    chosen.Delay = params.left.Delay;
    chosen.nbFperS = params.left.nbFperS;
    chosen.PhaseRelease = params.left.PhaseRelease;
    if (row == 2) {
        // Before meterSetParams, which takes the offset along.
        GetMeterSettings()->DisplayDbOffset = kAnalogDbOffset;
    }
    params.left = chosen;
    params.right = chosen;
    meterSetParams(engine, &params);
    return 1;
}
