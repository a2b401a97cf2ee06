// Number and musical-time text of the control library: fixed-decimal
// formatting, tolerant number parsing ("." or "," as the decimal separator),
// the library's rounding rule, integer scanning, and the conversions between
// milliseconds and a bar / beat / tick position.
//
// Stateless free functions; safe on any thread. Every function that writes
// text takes the buffer size and never writes past it (the text is cut to
// fit and always terminated), or returns a std::string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Prints `value` with printf "%[+][0W].Df": "+" when isSigned is 1 and the
// value is not zero, "0W" when the width is nonzero. Decimals and width are
// taken modulo 256, as bytes. Returns the length of the text written.
int ctlFormatNumber(double value, char* text, size_t textSize, int decimals, int width,
                    int isSigned);
std::string ctlFormatNumber(double value, int decimals, int width, int isSigned);

// Reads the first number in `text`: characters before the first digit are
// skipped, except that a "-" among them makes the result negative and a "."
// or "," starts the decimals at once. At most 53 integer and 52 decimal
// digits are read; the first other character ends the number. No digit gives
// 0. "12,5" and "12.5" give 12.5, "-.5" gives -0.5, "abc7" gives 7.
double ctlParseNumber(std::string_view text);

// floor(x), plus 1 when the fraction is above one half: halves round down
// (2.5 gives 2, -2.5 gives -3).
float ctlRound(float x);

// Skips non-digits from `position`, then reads digits. Returns the value and
// moves `position` past the character that ended the digits (or to the end of
// the text). Returns -1 when no digit was found, or when the value reaches
// 2147483647 (the rest of those digits is skipped).
int ctlNextInteger(std::string_view text, size_t& position);

// Milliseconds to "bar / beat / tick" ("%6i / %2i / %5i", bar and beat
// counted from 1). Tempo in quarter notes per minute (below 1 counts as 1);
// ticks subdivide a quarter note; beat unit 1, 2, 4, 8 or 16 is the note
// value of one beat; beats per bar or beat unit 0 count as 4 beats per bar.
// Returns the length of the text written.
int ctlFormatBarBeatTick(char* text, size_t textSize, double milliseconds, float tempo,
                         int ticksPerQuarter, int beatsPerBar, int beatUnit);
std::string ctlFormatBarBeatTick(double milliseconds, float tempo, int ticksPerQuarter,
                                 int beatsPerBar, int beatUnit);

// A position (bar and beat from 1) to milliseconds.
float ctlBarBeatTickToMs(int bar, int beat, int tick, float tempo, int ticksPerQuarter,
                         int beatsPerBar, int beatUnit);

// Reads bar, beat and tick with ctlNextInteger and converts them; a missing or
// zero bar or beat, or a beat past the bar, becomes 1, and a missing tick or
// one past the ticks of a beat becomes 0.
float ctlParseBarBeatTick(std::string_view text, float tempo, int ticksPerQuarter, int beatsPerBar,
                          int beatUnit);
