#include "platform/manual_reset_event.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "a futex is one 32-bit word");

namespace {

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

void ManualResetEvent::set() {
    if (m_state.exchange(kSet, std::memory_order_acq_rel) == kClearWaiting)
        syscall(SYS_futex, &m_state, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void ManualResetEvent::reset() {
    // Only a set event changes; a waiter's mark must stay so that the next
    // set() wakes it.
    uint32_t expected = kSet;
    m_state.compare_exchange_strong(expected, kClear, std::memory_order_acq_rel);
}

void ManualResetEvent::wait() {
    waitUntil(-1);
}

bool ManualResetEvent::waitFor(std::chrono::milliseconds timeout) {
    const int64_t ms = timeout.count() > 0 ? timeout.count() : 0;
    return waitUntil(monotonicNs() + ms * 1000000);
}

bool ManualResetEvent::waitUntil(int64_t deadlineNs) {
    for (;;) {
        uint32_t s = m_state.load(std::memory_order_acquire);
        if (s == kSet)
            return true;
        if (s == kClear &&
            !m_state.compare_exchange_weak(s, kClearWaiting, std::memory_order_acq_rel))
            continue;
        timespec abs{};
        timespec* absp = nullptr;
        if (deadlineNs >= 0) {
            if (monotonicNs() >= deadlineNs)
                return m_state.load(std::memory_order_acquire) == kSet;
            abs.tv_sec = static_cast<time_t>(deadlineNs / 1000000000);
            abs.tv_nsec = static_cast<long>(deadlineNs % 1000000000);
            absp = &abs;
        }
        // Sleeps only while the word still says "clear, waiting"; a set()
        // in between makes the call return at once. The absolute deadline is
        // on the monotonic clock (FUTEX_WAIT_BITSET without CLOCK_REALTIME).
        syscall(SYS_futex, &m_state, FUTEX_WAIT_BITSET_PRIVATE, kClearWaiting, absp, nullptr,
                FUTEX_BITSET_MATCH_ANY);
    }
}
