#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>

#include <initializer_list>

namespace {

bool trySchedule(int policy, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

} // namespace

bool setCurrentThreadPriority(ThreadPriority priority) {
    if (priority == ThreadPriority::Normal) {
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
            return true;
        }
    }
    return false;
}
