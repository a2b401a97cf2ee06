// Display values derived from the ballistic state: pure functions shared by the
// engine's frame step and the renderer.
#pragma once

#include "meter/meter_frame.h"

enum class MeterQuantity { Peak, Average, Power };

// Scale value of a displayed level x with dB offset o: dB (-200 for silence)
// on the dB scale, amplitude on the linear scale.
float meterScaleValue(float x, MeterQuantity quantity, int linearScale, float dbOffset);

// Scale bounds in scale units: dB, or amplitudes 10^(dB/20) on the linear scale.
struct MeterScaleBounds {
    float lo;
    float hi;
};
MeterScaleBounds meterScaleBounds(float minDb, float maxDb, int linearScale);

// A stored maximum as the number to print: itself on the dB scale, 20 log10 of
// it on the linear scale (-200 for silence).
float meterShownMaximum(float stored, int linearScale);

// Maximum detection and dynamic-range tracking of one channel for this frame.
// Updates `hold` and returns what the drawing uses.
MeterReading meterUpdateHold(MeterHold& hold, const MeterLevels& levels, const MeterFrameInput& in);
