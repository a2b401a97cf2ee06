// A display frame with nothing to show: both channels far below any scale,
// peak levels on, a -60..+6 dB range, the loss warning enabled.
#pragma once

#include "meter/meter_frame.h"

inline MeterFrame silentFrame(int32_t displayFlags) {
    MeterFrame f{};
    f.in.channels = 2;
    f.in.displayFlags = displayFlags;
    f.in.peakOn = 1;
    f.in.minDb = -60;
    f.in.maxDb = 6;
    f.in.notify = 1;
    f.hold[0] = f.hold[1] = kMeterHoldStart;
    f.correlatorPixel = -1;
    for (MeterReading& r : f.reading)
        r = {-200, -200, -200, -200, -200, -200, 0, 0};
    return f;
}
