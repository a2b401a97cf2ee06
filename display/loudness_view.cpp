#include "display/loudness_view.h"

#include "display/window_placement.h"
#include "platform/registry_store.h"

#include <cmath>

const LoudnessTarget kLoudnessTargets[kLoudnessTargetCount] = {
    {"-23 LUFS / -1 dBTP (EBU R128)", -23.0f, -1.0f},
    {"-24 LUFS / -2 dBTP (ATSC A/85)", -24.0f, -2.0f},
    {"-16 LUFS / -1 dBTP", -16.0f, -1.0f},
    {"-14 LUFS / -1 dBTP", -14.0f, -1.0f},
};

namespace {
const char* const kOnValue = "Loudness (EBU R128)";
const char* const kTargetValue = "Loudness Target";
} // namespace

int loudnessPixel(float lufs, int height) {
    if (!(lufs > kLoudnessScaleLow)) // also NaN and -inf
        return 0;
    if (lufs >= kLoudnessScaleHigh)
        return height;
    const float k = static_cast<float>(height) / (kLoudnessScaleHigh - kLoudnessScaleLow);
    return static_cast<int>(std::lround((lufs - kLoudnessScaleLow) * k));
}

int32_t meterReadStoredLoudness() {
    int32_t on = 0;
    return regReadValue(kMeterWindowKey, kOnValue, &on, sizeof on) && on == 1 ? 1 : 0;
}

int meterReadStoredLoudnessTarget() {
    int32_t row = 0;
    if (!regReadValue(kMeterWindowKey, kTargetValue, &row, sizeof row))
        return 0;
    return row >= 0 && row < kLoudnessTargetCount ? row : 0;
}

bool meterWriteStoredLoudness(int32_t on, int target) {
    const int32_t row = target;
    const RegValue values[2] = {{kOnValue, &on, sizeof on}, {kTargetValue, &row, sizeof row}};
    return regWriteValues(kMeterWindowKey, values, 2) == 2;
}
