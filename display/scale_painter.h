// Draws a graduation plan (scale_marks.h) in a scale column with the control
// library's pens, colours and fonts. Main thread (static painting).
#pragma once

#include "display/scale_marks.h"

class Dc;

// The column spans x1..x2 (w = x2 - x1; nothing is drawn when w < 2); y0 is
// the zero line.
void paintScalePlan(Dc& dc, const ScalePlan& plan, int x1, int x2, int y0);

// The label text of a mark: printf `format` of `value`, with a value that
// rounds to zero printed without a minus sign.
void formatScaleLabel(char* out, int size, const char* format, float value);
