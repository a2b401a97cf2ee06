#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>

#include <initializer_list>
#include <mutex>

namespace {

bool trySchedule(int policy, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

// The core the real-time threads share: the one the first of them was
// running on. The cores a thread may use before it joins are given back
// when it returns to normal priority.
std::once_flag g_coreChosen;
int g_sharedCore = -1;
thread_local bool t_onSharedCore = false;
thread_local cpu_set_t t_coresBefore;

void joinSharedCore() {
    std::call_once(g_coreChosen, [] { g_sharedCore = sched_getcpu(); });
    if (g_sharedCore < 0 || t_onSharedCore ||
        pthread_getaffinity_np(pthread_self(), sizeof t_coresBefore, &t_coresBefore) != 0)
        return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(g_sharedCore, &one);
    // Refused (the core is not in this thread's set): the thread runs where
    // the scheduler puts it.
    t_onSharedCore = pthread_setaffinity_np(pthread_self(), sizeof one, &one) == 0;
}

void leaveSharedCore() {
    if (t_onSharedCore &&
        pthread_setaffinity_np(pthread_self(), sizeof t_coresBefore, &t_coresBefore) == 0)
        t_onSharedCore = false;
}

} // namespace

bool setCurrentThreadPriority(ThreadPriority priority) {
    if (priority == ThreadPriority::Normal) {
        leaveSharedCore();
        return trySchedule(SCHED_OTHER, 0);
    }
    for (int policy : {SCHED_FIFO, SCHED_RR}) {
        const int top = sched_get_priority_max(policy);
        const int bottom = sched_get_priority_min(policy);
        if (top < 0 || bottom < 0) {
            continue;
        }
        const int wanted = priority == ThreadPriority::TimeCritical ? top : top - 1;
        if (trySchedule(policy, wanted < bottom ? bottom : wanted)) {
            joinSharedCore();
            return true;
        }
    }
    return false;
}
