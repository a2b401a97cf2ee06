// ManualResetEvent: a flag that threads can wait on. Once set it stays set,
// releasing every waiter, until someone resets it. The meter engine's
// frame hand-off and the wave device's pacing both use it, so it depends on
// the standard library alone (no Qt).
//
// Thread: any; all members may be called concurrently.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false) : m_set(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set();
    void reset();
    bool isSet() const;
    // Blocks until the event is set.
    void wait();
    // Blocks until the event is set or `timeout` has passed; true when set.
    bool waitFor(std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_set; // guarded by m_mutex
};
