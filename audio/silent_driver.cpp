#include "audio/silent_driver.h"

#include <cstring>

namespace {

class SilentDriver final : public WaveDriver {
public:
    using WaveDriver::WaveDriver;
    ~SilentDriver() override { close(); }

protected:
    int openBackend() override { return 0; }
    void closeBackend() override {}
    void startBackend() override { m_deadlineNs = nowNs(); }

    int moveBuffer(WaveHeader& h) override {
        const uint32_t frames = h.bufferLength / m_bytesPerFrame;
        // A stream that fell behind (paused, starved) restarts the clock
        // instead of rushing to catch up.
        // Small lateness (the thread's wake-up) is absorbed by the next buffer.
        const int64_t duration = static_cast<int64_t>(frames) * 1000000000 / m_format.rate;
        const int64_t now = nowNs();
        if (m_deadlineNs + duration < now)
            m_deadlineNs = now;
        m_deadlineNs += duration;
        if (waitIo(nullptr, 0, m_deadlineNs) == kInterrupted)
            return kInterrupted;
        if (m_kind == kWaveInput) {
            std::memset(h.data, 0, h.bufferLength);
            h.bytesRecorded = frames * m_bytesPerFrame;
        }
        return 0;
    }

private:
    int64_t m_deadlineNs = 0; // driver thread: when the buffer being moved has played
};

int silentQueryFormat(int, const char*, const StreamFormat& format, char*, size_t) {
    return waveOpenableType(format.sampleType) && format.channels > 0 && format.rate > 0 ? 1 : 0;
}

std::unique_ptr<WaveDriver> silentCreate(int kind, const char*, const StreamFormat& format,
                                         uint32_t bufferFrames, WaveCallback callback,
                                         void* instance) {
    return std::make_unique<SilentDriver>(kind, format, bufferFrames, callback, instance);
}

} // namespace

const WaveBackend kSilentBackend = {silentQueryFormat, silentCreate};
