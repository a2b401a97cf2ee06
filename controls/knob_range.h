// KnobRange: the value model of a knob, apart from any painting. It holds
// the range, the step, the current value and the knob's angles, and applies
// the rules that tie a value to a pointer angle.
//
// Angles are radians counter-clockwise from the positive x axis (y up);
// values grow clockwise from `start`. Arithmetic is in single precision on
// purpose: the angles and the 2π used here are the same floats the knob
// paints and compares with, so a value, its angle and back agree bit for bit
// between the knob and the precision slider that works on a copy.
//
// A plain value type: copy it freely; no Qt, safe on any thread.
#pragma once

#include <cstdint>

// Style word bits of a knob (stored in KnobRange::style and the notifier).
constexpr uint32_t kKnobPenMask = 0x0000000F;      // palette pen of the pointer outline
constexpr uint32_t kKnobBrushMask = 0x000000F0;    // palette brush of the pointer fill
constexpr uint32_t kKnobTextEntry = 0x00100000;    // edit actions open the text entry
constexpr uint32_t kKnobTimeEntry = 0x00200000;    // edit actions open the time entry
constexpr uint32_t kKnobDecibel = 0x00400000;      // values shown as 20 log10(value) " db"
constexpr uint32_t kKnobContinuous = 0x01000000;   // notify every change while moving
constexpr uint32_t kKnobUseCallback = 0x02000000;  // set exactly when a callback is given
constexpr uint32_t kKnobNoEdit = 0x04000000;       // no value items, dialogs or slider
constexpr uint32_t kKnobShortPointer = 0x08000000; // a tick on the rim instead of a needle
constexpr uint32_t kKnobLogarithmic = 0x10000000;  // step is a factor, log angle
constexpr uint32_t kKnobSpringBack = 0x20000000;   // back to the default on release
constexpr uint32_t kKnobGestures = 0x40000000;     // begin/end notifications

// The single-precision constants of the angle rules.
constexpr float kKnobTwoPi = 6.2831855f;
constexpr float kKnobDegree = 0.017453292f; // radians per degree

struct KnobRange {
    float minimum = 0.0f;
    float maximum = 1.0f;
    float defaultValue = 0.0f;
    float step = 0.01f;        // linear: units per step; logarithmic: factor per step
    int decimals = 3;          // decimals of the current value in menus and the value box
    uint32_t style = 0;        // the knob's style word
    float value = 0.0f;        // the current value
    float start = 0.0f;        // angle of the minimum, radians
    float end = 0.0f;          // angle of the maximum, radians
    float slope = 0.0f;        // linear: radians per unit; logarithmic: ratio per radian
    float inverseSlope = 0.0f; // linear: units per radian

    // A range with value = default, angles from degrees, slopes filled in.
    static KnobRange make(float minimum, float maximum, float defaultValue, float step,
                          uint32_t style, int startDegrees, int endDegrees);

    // Whether the rules are defined for these numbers: minimum and maximum
    // differ, all finite, and in logarithmic mode the minimum, maximum and
    // default are positive (their logarithms are taken).
    static bool usable(float minimum, float maximum, float defaultValue, float step,
                       uint32_t style);

    // Clockwise sweep from `start` to `end`: equal angles give a full turn.
    float sweep() const;
    // Middle of the dead zone (the part of the circle outside the sweep),
    // measured clockwise from the start.
    float deadZoneMiddle() const;

    bool logarithmic() const { return style & kKnobLogarithmic; }
    bool decibel() const { return style & kKnobDecibel; }

    // Pointer angle of a value, in [0, 2π).
    float angleOf(float v) const;
    // Clockwise distance from `start` to angle `a` (a in [0, 2π]).
    float fromStart(float a) const;
    // Sets the value from a pointer angle, without clamping. True when the
    // value changed.
    bool setFromAngle(float a);
    // Steps the value by n steps (a factor to the n-th power in logarithmic
    // mode), clamped to the range. True when the value changed.
    bool stepBy(int n);
    // Takes v unless it lies outside the range, is not a number or equals the
    // value. True when the value changed.
    bool setValue(float v);

    // A value as shown to the user: 20 log10(v) in decibel style, else v.
    float shown(float v) const;
};
