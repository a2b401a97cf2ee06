#include "platform/manual_reset_event.h"

void ManualResetEvent::set() {
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_cond.notify_all();
}

void ManualResetEvent::reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool ManualResetEvent::isSet() const {
    std::lock_guard lock(m_mutex);
    return m_set;
}

void ManualResetEvent::wait() {
    std::unique_lock lock(m_mutex);
    m_cond.wait(lock, [this] { return m_set; });
}

bool ManualResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_cond.wait_for(lock, timeout, [this] { return m_set; });
}
