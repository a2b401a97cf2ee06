// The X/Y scope's sample ring: the stream thread writes every fed sample pair
// after the sync delay (the very samples the bars measure), the render thread
// reads the newest ones to draw the trace.
//
// One writer, any number of readers, no lock and no allocation after
// construction. Each slot holds one left/right pair packed in a 32-bit atomic,
// so a reader never sees half a pair; the write count is published with
// release order after the slots. The writer may run up to one block ahead of
// the published count, so a reader relies only on the newer half of the ring
// (`oldestValid()`), which holds far more than the longest trace.
#pragma once

#include <atomic>
#include <cstdint>

struct MeterEngine;

class MeterScopeRing {
public:
    // Half of it (what a reader may rely on) is about 0.7 s at 96 kHz: more
    // than the longest trace the settings allow (beam and persistence delays
    // of at most 0.4 s together) and more than the longest block.
    static constexpr uint32_t kCapacity = 1u << 17;

    MeterScopeRing();

    // Writer. Puts the pair with index `at` (counted from the first pair ever
    // written) into its slot; visible to readers after publish().
    void put(uint64_t at, int16_t left, int16_t right) {
        const uint32_t packed = static_cast<uint16_t>(left) |
                                (static_cast<uint32_t>(static_cast<uint16_t>(right)) << 16);
        m_slots[at & (kCapacity - 1)].store(packed, std::memory_order_relaxed);
    }
    // Writer: the pairs below `end` are written; `sampleRate` is their rate.
    void publish(uint64_t end, float sampleRate) {
        m_rate.store(sampleRate, std::memory_order_relaxed);
        m_end.store(end, std::memory_order_release);
    }
    // Writer: interleaved stereo pairs appended and published at once.
    void append(const int16_t* pairs, uint32_t count, float sampleRate);

    // Readers.
    uint64_t end() const { return m_end.load(std::memory_order_acquire); }
    float sampleRate() const { return m_rate.load(std::memory_order_relaxed); }
    void get(uint64_t at, int16_t& left, int16_t& right) const {
        const uint32_t packed = m_slots[at & (kCapacity - 1)].load(std::memory_order_relaxed);
        left = static_cast<int16_t>(packed & 0xffffu);
        right = static_cast<int16_t>(packed >> 16);
    }
    // The lowest index whose slot surely still holds that pair.
    uint64_t oldestValid() const {
        const uint64_t e = m_end.load(std::memory_order_acquire);
        return e > kCapacity / 2 ? e - kCapacity / 2 : 0;
    }

private:
    std::atomic<uint32_t> m_slots[kCapacity];
    std::atomic<uint64_t> m_end{0};
    std::atomic<float> m_rate{44100.0f};
};

// Stream thread, inside meterFeed before the block is accumulated: writes the
// block's samples as the delay lines will hand them to the measurement (the
// sync delay applied per channel) into the engine's scope ring, if one is on.
// A mono engine writes each sample to both sides. No lock, no allocation.
void meterScopeTap(MeterEngine* e, const unsigned char* samples, uint32_t frames, uint32_t stride);
