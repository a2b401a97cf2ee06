// Meter test helpers: a frame-recording (and holdable) renderer, block builders.
#pragma once

#include "meter/meter_frame.h"
#include "meter/meter_hooks.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class CaptureRenderer final : public MeterFrameRenderer {
public:
    void renderFrame(MeterFrame& frame) override {
        std::unique_lock<std::mutex> guard(m_mutex);
        ++m_entered;
        m_cond.notify_all();
        m_cond.wait(guard, [this] { return m_open; });
        m_frames.push_back(frame);
        m_cond.notify_all();
    }
    // While held, the render thread blocks inside renderFrame.
    void hold() { setOpen(false); }
    void open() { setOpen(true); }
    // Wait (bounded, so that a fault fails instead of hanging) until `n`
    // frames were recorded, or entered renderFrame.
    bool waitFrames(size_t n) {
        return waitUntil([&] { return m_frames.size() >= n; });
    }
    bool waitEntered(int n) {
        return waitUntil([&] { return m_entered >= n; });
    }
    MeterFrame last() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_frames.back();
    }
    std::vector<MeterFrame> frames() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_frames;
    }

private:
    void setOpen(bool open) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_open = open;
        m_cond.notify_all();
    }
    template <class P> bool waitUntil(P done) {
        std::unique_lock<std::mutex> guard(m_mutex);
        return m_cond.wait_for(guard, std::chrono::seconds(20), done);
    }

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<MeterFrame> m_frames;
    int m_entered = 0;
    bool m_open = true;
};

// Interleaved stereo block of `frames` sample frames from two generators.
template <typename L, typename R>
std::vector<int16_t> stereoBlock(uint32_t frames, L left, R right) {
    std::vector<int16_t> b(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        b[2 * i] = left(i);
        b[2 * i + 1] = right(i);
    }
    return b;
}

inline int16_t silence(uint32_t) {
    return 0;
}
