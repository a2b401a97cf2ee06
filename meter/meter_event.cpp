#include "meter/meter_event.h"

void MeterEvent::set() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_set = true;
    }
    m_cond.notify_all();
}

void MeterEvent::reset() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_set = false;
}

void MeterEvent::wait() {
    std::unique_lock<std::mutex> guard(m_mutex);
    m_cond.wait(guard, [this] { return m_set; });
}

bool MeterEvent::isSet() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_set;
}
