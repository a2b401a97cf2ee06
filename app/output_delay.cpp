#include "app/output_delay.h"

#include "app/audio_wiring.h"
#include "meter/meter_engine.h"
#include "platform/registry_store.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kStep = 0.005f; // smaller moves are left alone
constexpr int kLookEveryMs = 1000;

} // namespace

OutputDelayFollower::OutputDelayFollower(AudioPath& audio, MeterEngine** engine)
    : m_audio(audio), m_engine(engine) {
    int32_t stored = 0;
    m_on = regReadValue(kKey, kValue, &stored, sizeof stored) == 1 && stored == 1;
    m_timer.setInterval(kLookEveryMs);
    connect(&m_timer, &QTimer::timeout, this, &OutputDelayFollower::look);
    if (m_on)
        m_timer.start();
}

void OutputDelayFollower::setFollowing(bool on) {
    if (on == m_on)
        return;
    m_on = on;
    const int32_t value = on ? 1 : 0;
    regWriteValue(kKey, kValue, &value, sizeof value);
    if (on) {
        m_timer.start();
        look();
    } else {
        m_timer.stop();
    }
}

void OutputDelayFollower::look() {
    const Transport& t = m_audio.transport;
    const WaveDevice& d = m_audio.device;
    MeterEngine* e = *m_engine;
    // A capture has no output; a device that reports no delay changes nothing.
    const int64_t frames = d.outputDelayFrames.load();
    if (!m_on || !e || !transportIsRunning(&t) || transportCaptureDevice(&t) || frames <= 0 ||
        d.format.rate <= 0)
        return;
    const float target = std::clamp(static_cast<float>(frames - int64_t{d.bufferFrames}) /
                                        static_cast<float>(d.format.rate),
                                    0.0f, kMeterMaxDelay);
    MeterParams p{};
    meterGetParams(e, &p);
    if (std::fabs(target - p.left.Delay) <= kStep)
        return;
    p.left.Delay = target;
    p.right.Delay = target;
    meterSetParams(e, &p);
    if (showDelay)
        showDelay(target);
}
