// A manual-reset event: once set it stays set, releasing every waiter, until
// reset. Any thread.
#pragma once

#include <condition_variable>
#include <mutex>

class MeterEvent {
public:
    void set();
    void reset();
    // Waits without time-out until the event is set.
    void wait();
    bool isSet();

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_set = false; // guarded by m_mutex
};
