#include "controls/ctl_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// snprintf into a caller's buffer; returns what actually landed there.
template <typename... Args>
int boundedPrint(char* text, size_t textSize, const char* format, Args... args) {
    if (!text || textSize == 0)
        return 0;
    int n = std::snprintf(text, textSize, format, args...);
    if (n < 0) {
        text[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(n) < textSize ? n : static_cast<int>(textSize - 1);
}

std::string buildNumberFormat(double value, int decimals, int width, int isSigned) {
    const unsigned d = static_cast<uint8_t>(decimals);
    const unsigned w = static_cast<uint8_t>(width);
    std::string format = "%";
    if (isSigned == 1 && value != 0.0)
        format += '+';
    if (w != 0)
        format += "0" + std::to_string(w);
    format += "." + std::to_string(d) + "f";
    return format;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Ticks in one beat of the given unit.
int ticksPerBeat(int ticksPerQuarter, int beatUnit) {
    switch (beatUnit) {
    case 1:
        return ticksPerQuarter * 4;
    case 2:
        return ticksPerQuarter * 2;
    case 8:
        return ticksPerQuarter / 2;
    case 16:
        return ticksPerQuarter / 4;
    default:
        return ticksPerQuarter;
    }
}

// Beyond this many quarter notes (years of music) a position has no meaning;
// the limit keeps the unsigned arithmetic below from wrapping.
constexpr double kMaxQuarters = 1.0e8;

std::string bbtText(double milliseconds, float tempo, int ticksPerQuarter, int beatsPerBar,
                    int beatUnit) {
    double bpm = tempo >= 1.0f ? tempo : 1.0;
    // Negative or invalid times show as the start rather than as wrapped
    // unsigned numbers.
    double ms = milliseconds > 0.0 ? milliseconds : 0.0;
    double q = std::fmin(bpm * ms / 60000.0, kMaxQuarters);
    uint32_t tpq = ticksPerQuarter > 0 ? static_cast<uint32_t>(ticksPerQuarter) : 0u;
    uint32_t m = static_cast<uint32_t>(std::floor(q));
    uint32_t t = static_cast<uint32_t>(std::nearbyint((q - m) * tpq));
    // A fraction that rounds up to a whole quarter belongs to the next one;
    // otherwise 1.9999 quarters would read as tick 480 of the first.
    if (tpq > 0 && t >= tpq) {
        ++m;
        t -= tpq;
    }
    uint32_t perBar = (beatsPerBar <= 0 || beatUnit == 0) ? 4u : static_cast<uint32_t>(beatsPerBar);
    uint32_t beatIndex = 0, tick = 0;
    switch (beatUnit) {
    case 1:
        beatIndex = m / 4;
        tick = t + tpq * (m % 4);
        break;
    case 2:
        beatIndex = m / 2;
        tick = t + ((m & 1) ? tpq : 0);
        break;
    case 8: {
        uint32_t e = tpq / 2 > 0 ? tpq / 2 : 1; // fewer than 2 ticks a quarter: no division by 0
        beatIndex = t / e + 2 * m;
        tick = t % e;
        break;
    }
    case 16: {
        uint32_t s = tpq / 4 > 0 ? tpq / 4 : 1;
        beatIndex = t / s + 4 * m;
        tick = t % s;
        break;
    }
    default:
        beatIndex = m;
        tick = t;
        break;
    }
    uint32_t bar = beatIndex / perBar;
    uint32_t beat = beatIndex % perBar;
    char buf[64];
    int n = boundedPrint(buf, sizeof buf, "%6i / %2i / %5i", static_cast<int>(bar + 1),
                         static_cast<int>(beat + 1), static_cast<int>(tick));
    return std::string(buf, static_cast<size_t>(n));
}

} // namespace

int ctlFormatNumber(double value, char* text, size_t textSize, int decimals, int width,
                    int isSigned) {
    return boundedPrint(text, textSize, buildNumberFormat(value, decimals, width, isSigned).c_str(),
                        value);
}

std::string ctlFormatNumber(double value, int decimals, int width, int isSigned) {
    const std::string format = buildNumberFormat(value, decimals, width, isSigned);
    int n = std::snprintf(nullptr, 0, format.c_str(), value);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format.c_str(), value);
    out.resize(static_cast<size_t>(n));
    return out;
}

double ctlParseNumber(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    bool decimalsFirst = false;
    for (; i < text.size() && !isDigit(text[i]); ++i) {
        if (text[i] == '-') {
            negative = true;
        } else if (text[i] == '.' || text[i] == ',') {
            decimalsFirst = true;
            ++i;
            break;
        }
    }
    double integer = 0.0;
    bool readDecimals = decimalsFirst;
    if (!decimalsFirst) {
        if (i >= text.size())
            return 0.0;
        for (int n = 0; n < 53 && i < text.size() && isDigit(text[i]); ++n, ++i)
            integer = integer * 10.0 + (text[i] - '0');
        if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
            readDecimals = true;
            ++i;
        }
    }
    // Decimal digits are gathered as one integer and scaled once, which keeps
    // "3.25" exactly 3.25 instead of summing inexact tenths.
    double fraction = 0.0;
    double scale = 1.0;
    if (readDecimals) {
        for (int n = 0; n < 52 && i < text.size() && isDigit(text[i]); ++n, ++i) {
            fraction = fraction * 10.0 + (text[i] - '0');
            scale *= 10.0;
        }
    }
    double result = integer + fraction / scale;
    if (result == 0.0)
        return 0.0; // never "-0"
    return negative ? -result : result;
}

float ctlRound(float x) {
    float f = std::floor(x);
    return (x - f > 0.5f) ? f + 1.0f : f;
}

int ctlNextInteger(std::string_view text, size_t& position) {
    size_t i = position;
    while (i < text.size() && !isDigit(text[i]))
        ++i;
    int64_t value = 0;
    bool seen = false;
    bool overflow = false;
    while (i < text.size() && isDigit(text[i])) {
        seen = true;
        if (!overflow) {
            value = value * 10 + (text[i] - '0');
            overflow = value >= 2147483647;
        }
        ++i;
    }
    if (i < text.size())
        ++i; // past the character that ended the digits
    position = i > text.size() ? text.size() : i;
    if (!seen || overflow)
        return -1;
    return static_cast<int>(value);
}

int ctlFormatBarBeatTick(char* text, size_t textSize, double milliseconds, float tempo,
                         int ticksPerQuarter, int beatsPerBar, int beatUnit) {
    const std::string s = bbtText(milliseconds, tempo, ticksPerQuarter, beatsPerBar, beatUnit);
    return boundedPrint(text, textSize, "%s", s.c_str());
}

std::string ctlFormatBarBeatTick(double milliseconds, float tempo, int ticksPerQuarter,
                                 int beatsPerBar, int beatUnit) {
    return bbtText(milliseconds, tempo, ticksPerQuarter, beatsPerBar, beatUnit);
}

float ctlBarBeatTickToMs(int bar, int beat, int tick, float tempo, int ticksPerQuarter,
                         int beatsPerBar, int beatUnit) {
    if (ticksPerQuarter <= 0 || !(tempo > 0.0f))
        return 0.0f; // no time scale to convert with
    // Wide arithmetic: bar x beats x ticks x 60000 leaves 32 bits after a few
    // dozen bars.
    const double g = ticksPerBeat(ticksPerQuarter, beatUnit);
    const double ticks = (static_cast<double>(bar) - 1.0) * beatsPerBar * g +
                         (static_cast<double>(beat) - 1.0) * g + tick;
    return static_cast<float>(ticks * 60000.0 /
                              (static_cast<double>(ticksPerQuarter) * static_cast<double>(tempo)));
}

float ctlParseBarBeatTick(std::string_view text, float tempo, int ticksPerQuarter, int beatsPerBar,
                          int beatUnit) {
    size_t pos = 0;
    int bar = ctlNextInteger(text, pos);
    int beat = ctlNextInteger(text, pos);
    int tick = ctlNextInteger(text, pos);
    if (bar == -1 || bar == 0)
        bar = 1;
    if (beat == -1 || beat == 0 || beat > beatsPerBar)
        beat = 1;
    if (tick == -1 || tick > ticksPerBeat(ticksPerQuarter, beatUnit))
        tick = 0;
    return ctlBarBeatTickToMs(bar, beat, tick, tempo, ticksPerQuarter, beatsPerBar, beatUnit);
}
