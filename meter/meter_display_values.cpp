#include "meter/meter_display_values.h"

#include <cmath>

float meterScaleValue(float x, MeterQuantity quantity, int linearScale, float dbOffset) {
    if (linearScale == 0) {
        if (x < kMeterFloor) {
            return kMeterSilenceDb;
        }
        const float decibels =
            quantity == MeterQuantity::Power ? 10.0f * std::log10(x) : 20.0f * std::log10(x);
        return decibels + dbOffset;
    }
    const float gain = std::pow(10.0f, dbOffset / 20.0f);
    return (quantity == MeterQuantity::Power ? std::sqrt(x) : x) * gain;
}

MeterScaleBounds meterScaleBounds(float minDb, float maxDb, int linearScale) {
    if (linearScale == 0) {
        return {minDb, maxDb};
    }
    return {std::pow(10.0f, minDb / 20.0f), std::pow(10.0f, maxDb / 20.0f)};
}

namespace {

// 20 log10 of an amplitude, with silence (and the start value -200) as -200.
float amplitudeToDb(float a) {
    return a > kMeterFloor ? 20.0f * std::log10(a) : kMeterSilenceDb;
}

} // namespace

float meterShownMaximum(float stored, int linearScale) {
    return linearScale == 0 ? stored : amplitudeToDb(stored);
}

MeterReading meterUpdateHold(MeterHold& hold, const MeterLevels& levels,
                             const MeterFrameInput& in) {
    const int linear = in.scaleMode;
    MeterReading r{};
    r.peak = meterScaleValue(levels.peak, MeterQuantity::Peak, linear, in.dbOffset);
    if (r.peak > hold.maxPeak) {
        hold.maxPeak = r.peak;
    }
    const bool barIsPeak = (in.peakOn & 1) != 0;
    r.level = kMeterSilenceDb;
    if (!barIsPeak) {
        r.level =
            (in.rmsOn & 1) != 0
                ? meterScaleValue(levels.power, MeterQuantity::Power, linear, in.dbOffset)
                : meterScaleValue(levels.average, MeterQuantity::Average, linear, in.dbOffset);
        if (r.level > hold.maxLevel) {
            hold.maxLevel = r.level;
        }
    }
    r.bar = barIsPeak ? r.peak : r.level;
    r.shownMaxPeak = meterShownMaximum(hold.maxPeak, linear);
    r.shownMaxLevel = meterShownMaximum(hold.maxLevel, linear);

    // On the linear scale the low mark starts at the first value seen: its
    // start value 0 would sit below every amplitude and make the range
    // infinite until the convergence steps raised it.
    if (linear != 0 && hold.rangeHigh == kMeterSilenceDb) {
        hold.rangeLow = r.bar;
    }
    if (r.bar > hold.rangeHigh) {
        hold.rangeHigh = r.bar;
    }
    if (r.bar < hold.rangeLow) {
        hold.rangeLow = r.bar;
    }
    r.rangeHigh = hold.rangeHigh;
    r.rangeLow = hold.rangeLow;
    const float span = hold.rangeHigh - hold.rangeLow;
    r.rangeNumber =
        linear == 0 ? span : amplitudeToDb(hold.rangeHigh) - amplitudeToDb(hold.rangeLow);
    float step = span * in.rangeStep;
    if (span > 20.0f) {
        step = 5.0f * step;
    }
    hold.rangeHigh -= step;
    hold.rangeLow += step;
    return r;
}
