// The loudness unit on the stream: it is fed the samples that leave the
// delay lines, so that loudness moves with the bars. They are gathered before
// the accumulation moves the lines on (delayLineOutput).
#include "meter/meter_engine_record.h"

#include <algorithm>

void meterFeedLoudness(MeterEngine* e, const unsigned char* samples, uint32_t frames,
                       uint32_t stride) noexcept {
    LiveLoudness* unit = e->loudness.get();
    if (!unit) {
        return;
    }
    // The frames that were in the lines when they were cleared leave first,
    // whether measured or not.
    const DelayLine& first = e->delay[0];
    const uint32_t start = e->loudnessStartSeq.load();
    if (start != e->loudnessStartSeen) {
        e->loudnessStartSeen = start;
        e->loudnessSkip = delayLineDelay(first);
    }
    const uint32_t skip = std::min(e->loudnessSkip, frames);
    e->loudnessSkip -= skip;
    // Acquire: a switch seen on brings the reset request made before it.
    if (e->loudnessOn.load(std::memory_order_acquire) == 0) {
        return;
    }
    const uint32_t request = e->loudnessResetSeq.load();
    if (request != e->loudnessResetSeen) {
        e->loudnessResetSeen = request;
        unit->reset();
    }
    const int sides = e->channels > 1 ? 2 : 1;
    float* out = e->loudnessSamples.get();
    for (uint32_t at = skip; at < frames; at += kMeterLoudnessPiece) {
        const uint32_t n = std::min(kMeterLoudnessPiece, frames - at);
        for (int ch = 0; ch < sides; ++ch) {
            const DelayLine& line = e->delay[ch];
            const uint32_t d = delayLineDelay(line);
            for (uint32_t j = 0; j < n; ++j) {
                const float v = delayLineOutput(line, d, at + j, samples, 2 * stride, 2 * ch);
                out[j * sides + ch] = v * (1.0f / 32768.0f);
            }
        }
        unit->add(out, n);
    }
}

void meterSetLoudness(MeterEngine* e, int on) {
    if (e) {
        e->loudnessResetSeq.fetch_add(1);
        e->loudnessOn.store(on != 0 ? 1 : 0);
    }
}

int meterLoudnessOn(MeterEngine* e) {
    return e ? e->loudnessOn.load() : 0;
}

void meterResetLoudness(MeterEngine* e) {
    if (e) {
        e->loudnessResetSeq.fetch_add(1);
    }
}
