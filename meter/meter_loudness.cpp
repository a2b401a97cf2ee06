// The loudness unit on the stream: it is fed the samples that leave the
// delay lines, so that loudness moves with the bars. They are gathered before
// the accumulation moves the lines on: a sample of the block that is
// delayed by d frames is the line's entry at read + k while k < d (written by
// earlier blocks, not yet overwritten), and the block's own sample k - d
// after that.
#include "meter/meter_engine_record.h"

#include <algorithm>
#include <cstring>

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
        e->loudnessSkip = first.write >= first.read ? first.write - first.read
                                                    : first.write + first.size - first.read;
    }
    const uint32_t skip = std::min(e->loudnessSkip, frames);
    e->loudnessSkip -= skip;
    if (e->loudnessOn.load(std::memory_order_relaxed) == 0) {
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
            const uint32_t d = line.write >= line.read ? line.write - line.read
                                                       : line.write + line.size - line.read;
            for (uint32_t j = 0; j < n; ++j) {
                const uint32_t k = at + j;
                float v;
                if (k < d) {
                    const uint32_t i = line.read + k;
                    v = line.data[i < line.size ? i : i - line.size];
                } else {
                    int16_t s;
                    std::memcpy(&s, samples + 2 * ((static_cast<size_t>(k) - d) * stride + ch), 2);
                    v = s;
                }
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
