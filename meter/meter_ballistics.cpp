#include "meter/meter_ballistics.h"

#include "meter/meter_display_values.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_hooks.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kDefaultFrameRate = 10;

// Sets a delay line's read position `seconds` behind its write position.
void placeReadPosition(DelayLine& line, float sampleRate, float seconds) {
    if (line.size == 0) {
        return;
    }
    const double samples = static_cast<double>(sampleRate) * static_cast<double>(seconds);
    uint32_t d = 0;
    // NaN and negative delays read as 0; the longest delay the ring can give
    // is size - 1 (a read position equal to the write position is no delay).
    if (samples > 0.0) {
        d = samples >= static_cast<double>(line.size - 1) ? line.size - 1
                                                          : static_cast<uint32_t>(samples);
    }
    line.read = line.write >= d ? line.write - d : line.write + line.size - d;
}

// Zeroes what the feeding thread accumulates and asks the render thread to
// reset its levels and hold state before its next frame.
void resetForScaleChange(MeterEngine* e) {
    e->sampleCounter = 0;
    e->samplesInFrame = 0;
    e->acc[0] = {};
    e->acc[1] = {};
    e->crossSum = 0.0f;
    e->levelResetSeq.fetch_add(1);
    e->holdResetSeq.fetch_add(1);
}

} // namespace

int32_t meterUsableFrameRate(int32_t nbFperS) {
    return nbFperS < 1 ? kDefaultFrameRate : nbFperS;
}

void meterPrepare(MeterEngine* e) {
    const ChannelParams& p = e->params.left;
    MeterCoefficients& c = e->coeff;
    c.displayFlags = p.displayFlags;
    c.rmsOn = p.rmsOn;
    c.peakOn = p.peakOn;

    const int32_t n = meterUsableFrameRate(p.nbFperS);
    const float fn = static_cast<float>(n);
    const float t = 1.0f / fn;
    c.rangeStep = 0.2f * t;
    const int32_t mode = p.linearScale != 0 ? 1 : 0;
    if (mode != c.scaleMode) {
        resetForScaleChange(e);
        c.scaleMode = mode;
    }

    // T is rounded to float, the product is not: 25 frames per second at
    // 44100 Hz give trunc(0.039999999 x 44100) = 1763 sample frames, not 1764.
    const double perFrame = static_cast<double>(t) * static_cast<double>(e->sampleRate);
    c.samplesPerFrame = perFrame >= 1.0 ? static_cast<uint32_t>(perFrame) : 1u;
    c.minDb = p.L_MinDB;
    c.maxDb = p.L_MaxDB;

    if (mode == 0) {
        c.peakRelease = std::pow(10.0f, -p.Max_DBperS / (20.0f * fn));
        c.averageRelease = std::pow(10.0f, -p.Moy_DBperS / (20.0f * fn));
        c.powerRelease = std::pow(10.0f, -p.Moy_DBperS / (10.0f * fn));
        if (p.attackOn != 0) {
            c.averageAttack = std::pow(10.0f, p.Attack / (20.0f * fn)) / c.averageRelease;
            c.powerAttack = std::pow(10.0f, p.Attack / (10.0f * fn)) / c.powerRelease;
        } else {
            c.averageAttack = 0.0f;
            c.powerAttack = 0.0f;
        }
    } else {
        c.peakRelease = 2.0f * p.Max_DBperS / (96.0f * fn);
        c.averageRelease = 2.0f * p.Moy_DBperS / (96.0f * fn);
        c.powerRelease = 4.0f * p.Moy_DBperS / (96.0f * fn);
        if (p.attackOn != 0) {
            c.averageAttack = 2.0f * p.Attack / (96.0f * fn) + c.averageRelease;
            c.powerAttack = 4.0f * p.Attack / (96.0f * fn) + c.powerRelease;
        } else {
            c.averageAttack = 0.0f;
            c.powerAttack = 0.0f;
        }
    }
    c.dbOffset = p.dbOffsetOn != 0 ? e->dbOffsetSetting : 0.0f;
    e->phaseStep = t * p.PhaseRelease;

    placeReadPosition(e->delay[0], e->sampleRate, e->params.left.Delay);
    if (e->channels > 1) {
        placeReadPosition(e->delay[1], e->sampleRate, e->params.right.Delay);
    }
    e->coeffValid = 1;
}

namespace {

// Raises a displayed level towards the frame's value, at most to the attack
// limit when attack limiting is on.
void rise(float& shown, float value, float attack, float release, int linear) {
    if (!(value > shown)) {
        return;
    }
    if (attack > 0.0f) {
        float limit;
        if (linear == 0) {
            shown = shown < kMeterFloor ? kMeterFloor : shown;
            limit = shown * attack;
        } else {
            // The release is applied after drawing, so a level rising from 0
            // starts one release step below it.
            shown = shown == 0.0f ? -release : shown;
            limit = shown + attack;
        }
        shown = value <= limit ? value : limit;
    } else {
        shown = value;
    }
}

void attackChannel(MeterLevels& lv, MeterChannelSums& s, float k, const MeterFrameInput& in) {
    if (s.peak > lv.peak) {
        lv.peak = s.peak;
    }
    s.sumAbs = k * s.sumAbs;
    s.sumSquares = k * s.sumSquares;
    rise(lv.average, s.sumAbs, in.averageAttack, in.averageRelease, in.scaleMode);
    rise(lv.power, s.sumSquares, in.powerAttack, in.powerRelease, in.scaleMode);
}

void releaseLevel(float& v, float release, int linear) {
    if (linear == 0) {
        v = v > kMeterFloor ? v * release : 0.0f;
    } else {
        v = v > release ? v - release : 0.0f;
    }
}

void releaseChannel(MeterLevels& lv, const MeterFrameInput& in) {
    releaseLevel(lv.peak, in.peakRelease, in.scaleMode);
    releaseLevel(lv.average, in.averageRelease, in.scaleMode);
    releaseLevel(lv.power, in.powerRelease, in.scaleMode);
}

void applyResetRequests(MeterFrame& f) {
    const MeterFrameInput& in = f.in;
    if (in.levelResetSeq != f.levelResetSeen) {
        f.levelResetSeen = in.levelResetSeq;
        f.levels[0] = {};
        f.levels[1] = {};
        f.correlation = 0.0f;
    }
    if (in.holdResetSeq != f.holdResetSeen) {
        f.holdResetSeen = in.holdResetSeq;
        f.hold[0] = kMeterHoldStart;
        f.hold[1] = kMeterHoldStart;
        f.correlatorPixel = -1;
    }
    if (in.maxResetSeq != f.maxResetSeen) {
        f.maxResetSeen = in.maxResetSeq;
        for (MeterHold& h : f.hold) {
            h.maxPeak = kMeterSilenceDb;
            h.maxLevel = kMeterSilenceDb;
        }
    }
}

} // namespace

void meterProcessFrame(MeterFrame& f) {
    applyResetRequests(f);
    MeterFrameInput& in = f.in;
    const bool stereo = in.channels > 1;
    const int count = stereo ? 2 : 1;
    const float k = in.sampleCount > 0 ? 1.0f / static_cast<float>(in.sampleCount) : 0.0f;

    for (int ch = 0; ch < count; ++ch) {
        attackChannel(f.levels[ch], in.sums[ch], k, in);
    }
    if (stereo) {
        const float p = in.sums[0].sumSquares * in.sums[1].sumSquares;
        float c = 0.0f;
        if (!(p < 1e-20f)) {
            // Rounding can carry the quotient a hair past +-1.
            c = std::clamp(k * in.crossSum / std::sqrt(p), -1.0f, 1.0f);
        }
        float& r = f.correlation;
        if (c >= 0.0f) {
            r = r <= 0.0f ? c : std::max(r, c);
        } else {
            r = r >= 0.0f ? c : std::min(r, c);
        }
    }
    if ((in.displayFlags & kMeterShowBars) != 0) {
        for (int ch = 0; ch < count; ++ch) {
            f.reading[ch] = meterUpdateHold(f.hold[ch], f.levels[ch], in);
        }
    }

    if (MeterFrameRenderer* renderer = meterFrameRenderer()) {
        renderer->renderFrame(f);
    }

    for (int ch = 0; ch < count; ++ch) {
        releaseChannel(f.levels[ch], in);
    }
    if (stereo) {
        float& r = f.correlation;
        const float s = in.phaseStep;
        if (r > 0.0f) {
            r = r > s ? r - s : 0.0f;
        } else {
            r = r < -s ? r + s : 0.0f;
        }
    }
}
