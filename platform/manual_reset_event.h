// ManualResetEvent: a flag that threads can wait on. Once set it stays set,
// releasing every waiter, until someone resets it. The meter engine's
// frame hand-off and the wave device's pacing both use it, so it depends on
// the standard library alone (no Qt).
//
// It is one futex word: setting it costs a system call only when a thread
// is actually waiting, and a woken waiter does not then queue for a mutex.
// The audio path sets and waits on these events once per block.
//
// Thread: any; all members may be called concurrently.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false) : m_state(initiallySet ? kSet : kClear) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set();
    void reset();
    bool isSet() const { return m_state.load(std::memory_order_acquire) == kSet; }
    // Blocks until the event is set.
    void wait();
    // Blocks until the event is set or `timeout` has passed; true when set.
    bool waitFor(std::chrono::milliseconds timeout);

private:
    // Clear, set, or clear with a thread (possibly) asleep on the word.
    static constexpr uint32_t kClear = 0, kSet = 1, kClearWaiting = 2;

    bool waitUntil(int64_t deadlineNs); // deadlineNs < 0: no time limit

    std::atomic<uint32_t> m_state;
};
