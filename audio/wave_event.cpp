#include "audio/wave_event.h"

#include <chrono>

void WaveEvent::set() {
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_cv.notify_all();
}

void WaveEvent::reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool WaveEvent::isSet() {
    std::lock_guard lock(m_mutex);
    return m_set;
}

void WaveEvent::wait() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_set; });
}

bool WaveEvent::waitFor(int ms) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_set; });
}
