#include "options/meter_preset.h"

#include "options/meter_settings.h"

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
    const ChannelParams chosen = meterPresetFor(row, params.left);
    if (row == kMeterPresetAnalogVu) {
        // Before meterSetParams, which takes the offset along.
        GetMeterSettings()->DisplayDbOffset = kMeterPresetAnalogDbOffset;
    }
    params.left = chosen;
    params.right = chosen;
    meterSetParams(engine, &params);
    return 1;
}
