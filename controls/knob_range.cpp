#include "controls/knob_range.h"

#include <cmath>

KnobRange KnobRange::make(float minimum, float maximum, float defaultValue, float step,
                          uint32_t style, int startDegrees, int endDegrees) {
    KnobRange r;
    r.minimum = minimum;
    r.maximum = maximum;
    r.defaultValue = defaultValue;
    r.step = step;
    r.style = style;
    r.value = defaultValue;
    r.start = static_cast<float>(startDegrees) * kKnobDegree;
    r.end = static_cast<float>(endDegrees) * kKnobDegree;
    const float sweep = r.sweep();
    if (r.logarithmic()) {
        r.slope = std::pow(maximum / minimum, 1.0f / sweep);
        r.inverseSlope = 0.0f;
    } else {
        r.slope = sweep / (maximum - minimum);
        r.inverseSlope = (maximum - minimum) / sweep;
    }
    return r;
}

bool KnobRange::usable(float minimum, float maximum, float defaultValue, float step,
                       uint32_t style) {
    if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(defaultValue) ||
        !std::isfinite(step) || minimum == maximum)
        return false;
    if (style & kKnobLogarithmic)
        return minimum > 0.0f && maximum > 0.0f && defaultValue > 0.0f;
    return true;
}

float KnobRange::sweep() const {
    return end < start ? start - end : start - end + kKnobTwoPi;
}

float KnobRange::deadZoneMiddle() const {
    const float s = sweep();
    return s + (kKnobTwoPi - s) * 0.5f;
}

float KnobRange::angleOf(float v) const {
    const float t = logarithmic() ? std::log(v / minimum) / std::log(slope) : (v - minimum) * slope;
    float a = start - t;
    if (a < 0.0f)
        a += kKnobTwoPi;
    return a;
}

float KnobRange::fromStart(float a) const {
    return a <= start ? start - a : start + kKnobTwoPi - a;
}

bool KnobRange::setFromAngle(float a) {
    const float t = fromStart(a);
    const float v = logarithmic() ? minimum * std::pow(slope, t) : minimum + t * inverseSlope;
    if (v == value)
        return false;
    value = v;
    return true;
}

bool KnobRange::stepBy(int n) {
    float v = logarithmic() ? value * std::pow(step, static_cast<float>(n))
                            : value + static_cast<float>(n) * step;
    if (v < minimum)
        v = minimum;
    if (v > maximum)
        v = maximum;
    if (v == value)
        return false;
    value = v;
    return true;
}

bool KnobRange::setValue(float v) {
    // Written so that a NaN fails the range test too.
    if (!(v >= minimum && v <= maximum) || v == value)
        return false;
    value = v;
    return true;
}

float KnobRange::shown(float v) const {
    return decibel() ? 20.0f * std::log10(v) : v;
}
