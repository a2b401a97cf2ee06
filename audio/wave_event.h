// A manual-reset event: once set it stays set, and releases every waiter,
// until someone resets it.
//
// The wave device uses one per device: the driver thread sets it when a
// buffer comes back, the main thread sets it to request a stop, and the
// stream thread resets it before it waits for either.
//
// Thread: any; every call is safe from any thread at any time.
#pragma once

#include <condition_variable>
#include <mutex>

class WaveEvent {
public:
    void set();
    void reset();
    bool isSet();
    // Waits until the event is set; returns at once when it already is.
    void wait();
    // As wait(), giving up after `ms` milliseconds. Returns true when set.
    bool waitFor(int ms);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set = false; // guarded by m_mutex
};
