#include "meter/meter_scope_ring.h"

#include "meter/meter_engine_record.h"

#include <cstring>

MeterScopeRing::MeterScopeRing() {
    for (std::atomic<uint32_t>& slot : m_slots)
        slot.store(0, std::memory_order_relaxed);
}

void MeterScopeRing::append(const int16_t* pairs, uint32_t count, float sampleRate) {
    const uint64_t start = m_end.load(std::memory_order_relaxed);
    for (uint32_t i = 0; i < count; ++i)
        put(start + i, pairs[2 * i], pairs[2 * i + 1]);
    publish(start + count, sampleRate);
}

namespace {

int16_t sampleAt(const unsigned char* p) {
    int16_t s;
    std::memcpy(&s, p, sizeof s);
    return s;
}

// Distance from the read to the write position: the channel's delay in
// sample frames (0 when the line reads what it has just written).
uint32_t delayOf(const DelayLine& line) {
    return line.write >= line.read ? line.write - line.read : line.write + line.size - line.read;
}

// Sample i of the block as the delay line hands it on: from the ring while the
// delay reaches back before the block, else the block's own sample i - d. The
// ring holds whole 16-bit values, so the conversion back is exact.
int16_t delayedSample(const DelayLine& line, uint32_t d, uint32_t i, const unsigned char* samples,
                      uint32_t frameBytes, uint32_t offset) {
    if (i >= d)
        return sampleAt(samples + static_cast<size_t>(i - d) * frameBytes + offset);
    uint32_t at = line.read + i;
    at = at >= line.size ? at - line.size : at;
    return static_cast<int16_t>(line.data[at]);
}

} // namespace

void meterScopeTap(MeterEngine* e, const unsigned char* samples, uint32_t frames, uint32_t stride) {
    MeterScopeRing* ring = e->scopeRing.load(std::memory_order_acquire);
    if (!ring || e->delay[0].size == 0)
        return;
    const bool stereo = e->channels > 1 && e->delay[1].size != 0;
    const uint32_t frameBytes = 2 * stride;
    const DelayLine& left = e->delay[0];
    const DelayLine& right = stereo ? e->delay[1] : e->delay[0];
    const uint32_t dl = delayOf(left);
    const uint32_t dr = delayOf(right);
    const uint64_t start = ring->end();
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t l = delayedSample(left, dl, i, samples, frameBytes, 0);
        const int16_t r = stereo ? delayedSample(right, dr, i, samples, frameBytes, 2) : l;
        ring->put(start + i, l, r);
    }
    ring->publish(start + frames, e->sampleRate);
}
