// Graduations of the meter window's scales, computed apart from any drawing:
// which marks go where, in which style, with which label. The static painter
// turns a plan into pixels (scale_painter.h); tests read the plans directly.
//
// Heights p are pixels above the scale's zero line (screen y = y0 - p),
// truncated towards zero, in float arithmetic like the meter's own pixel
// mapping so that marks and bars agree to the pixel.
//
// Thread: any (pure computation; the plans allocate, so not per frame).
#pragma once

#include <vector>

enum class MarkStyle {
    Minor,     // subdivision of a level step, linear-scale minor mark
    Half,      // labelled midpoint of a level step
    Major,     // level step mark, VU mark
    BottomEnd, // the level scale's minimum
    TopEnd,    // the level scale's maximum
    CorrMinor, // subdivision of a correlator step
    CorrHalf,  // midpoint of a correlator step
    CorrMajor, // correlator step mark and the two ends
    Angle,     // phase-angle mark
};

struct ScaleMark {
    MarkStyle style;
    int p;       // height above the zero line
    float value; // the label's value
    bool labelled =
        true; // false: its label would crowd another one (styles without labels ignore it)
};

// Rows a mark's label text covers, as heights above the zero line, both
// inclusive. Each style puts its label in its own box (below its line, above
// it for the top end, across it on the correlator and angle scales) with the
// text at the top of the box in a font of 12 (palette fonts 2 and 3) or 14
// (font 4) pixel rows. Minor styles have no label: {0, -1}.
struct LabelSpan {
    int low;
    int high;
};
LabelSpan scaleLabelSpan(const ScaleMark& m);
// Rows kept free between two labels of one scale: closer ones read as one.
inline constexpr int kScaleLabelGap = 2;

// One segment of the linear scale's level ruler, from height q up to p.
struct RulerSegment {
    int q;
    int p;
    bool red; // above 1.05 (over full scale): red, else teal
};

// No two labels of a plan come closer than kScaleLabelGap rows: the end
// labels always stay, then step marks win over midpoints, lower over higher.
struct ScalePlan {
    float step = 0; // the graduation step chosen (dB scale, correlator scale)
    std::vector<RulerSegment> ruler;
    std::vector<ScaleMark> marks; // in drawing order
};

// Divisors by which the scale steps shrink, in order of use.
extern const float kScaleStepDivisors[32];

// Step of the dB scale: labelled marks 60 to 120 pixels apart when possible.
float dbScaleStep(int H, float minDb, float maxDb);
// Step of the correlator scale: labelled marks 80 to 160 pixels apart.
float correlatorScaleStep(int H);

ScalePlan dbScalePlan(int H, float minDb, float maxDb);
ScalePlan linearScalePlan(int H, float minDb, float maxDb);
ScalePlan correlatorScalePlan(int H);
ScalePlan phaseAngleScalePlan(int H);

// Pixel height of x on a scale starting at lo with k pixels per unit,
// truncated towards zero and kept within the int range.
int scalePixel(float x, float lo, float k);
