// TimeContext: what the time entry dialog remembers between openings. It is
// stored byte for byte as the library option "Dial_tCtx", so its layout is
// fixed at 44 bytes and must never change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

struct TimeContext {
    uint16_t notes[5];       // note indices 0..14 of the musical duration, ended by 0xFFFF
    uint16_t reserved0;      // always 0
    int32_t replaceMode;     // 1: a picked note replaces the duration; 0: it is tied on
    float tempo;             // quarter notes per minute
    uint16_t lastField;      // command id of the field that had the focus last
    uint16_t reserved1;      // always 0
    int32_t sampleRate;      // Hz, for the samples field
    int32_t ticksPerQuarter; // tick resolution of a quarter note
    int32_t beatsPerBar;     // time signature numerator, 1..64
    int32_t beatUnit;        // time signature denominator: 1, 2, 4, 8 or 16
    float framesPerSecond;   // video frame rate
};

static_assert(sizeof(TimeContext) == 44);
static_assert(std::is_standard_layout_v<TimeContext>);
static_assert(std::is_trivially_copyable_v<TimeContext>);
static_assert(offsetof(TimeContext, notes) == 0);
static_assert(offsetof(TimeContext, reserved0) == 10);
static_assert(offsetof(TimeContext, replaceMode) == 12);
static_assert(offsetof(TimeContext, tempo) == 16);
static_assert(offsetof(TimeContext, lastField) == 20);
static_assert(offsetof(TimeContext, reserved1) == 22);
static_assert(offsetof(TimeContext, sampleRate) == 24);
static_assert(offsetof(TimeContext, ticksPerQuarter) == 28);
static_assert(offsetof(TimeContext, beatsPerBar) == 32);
static_assert(offsetof(TimeContext, beatUnit) == 36);
static_assert(offsetof(TimeContext, framesPerSecond) == 40);

// The context of a first start: a quarter note at 120 BPM in 4/4, 44.1 kHz, 96
// ticks per quarter, 25 video frames per second, seconds field focused.
constexpr TimeContext timeContextDefault() {
    return TimeContext{
        {2, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 0, 1, 120.0f, 10, 0, 44100, 96, 4, 4, 25.0f};
}

// A stored context brought within what the dialog's fields accept: notes
// 0..14 up to the first end mark, replace mode 0 or 1, a finite tempo and
// frame rate of at least 0, a field id of an edit or list, a positive sample
// rate, 1..99999 ticks per quarter, 1..64 beats per bar and a beat unit of 1,
// 2, 4, 8 or 16. A NaN or infinite float, an unknown field, a sample rate
// below 1 or another beat unit takes its default; reserved fields become 0.
TimeContext timeContextBounded(const TimeContext& stored);
