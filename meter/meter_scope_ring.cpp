#include "meter/meter_scope_ring.h"

#include "meter/meter_engine_record.h"

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

void meterScopeTap(MeterEngine* e, const unsigned char* samples, uint32_t frames, uint32_t stride) {
    MeterScopeRing* ring = e->scopeRing.load(std::memory_order_acquire);
    if (!ring || e->delay[0].size == 0)
        return;
    const bool stereo = e->channels > 1 && e->delay[1].size != 0;
    const uint32_t frameBytes = 2 * stride;
    const DelayLine& left = e->delay[0];
    const DelayLine& right = stereo ? e->delay[1] : e->delay[0];
    const uint32_t dl = delayLineDelay(left);
    const uint32_t dr = delayLineDelay(right);
    const uint64_t start = ring->end();
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t l = delayLineOutput(left, dl, i, samples, frameBytes, 0);
        const int16_t r = stereo ? delayLineOutput(right, dr, i, samples, frameBytes, 2) : l;
        ring->put(start + i, l, r);
    }
    ring->publish(start + frames, e->sampleRate);
}
