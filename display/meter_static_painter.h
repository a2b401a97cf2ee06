// The static parts of the meter window's face: title, mode and channel boxes,
// the level scale, the correlator frame with its scales and, with a loudness
// target row (0..3; -1 for none), the loudness column's heads, LUFS scale
// and figure names; or "Not Enough"
// / "Place" when the window is too small for any layout. Main thread, on a
// surface already cleared to black.
#pragma once

#include "meter/meter_engine.h"

class Dc;

void meterPaintStatic(Dc& dc, int clientWidth, int clientHeight, int channels,
                      const MeterParams& params, int loudnessTarget = -1);
