#include "meter/meter_render_thread.h"

#include "meter/meter_ballistics.h"
#include "meter/meter_engine_record.h"

#include <pthread.h>
#include <sched.h>

void meterRaiseRenderPriority() {
    // Round-robin a quarter of the way up the real-time range: above every
    // normal thread, below a stream thread that asks for more.
    const int lo = sched_get_priority_min(SCHED_RR);
    const int hi = sched_get_priority_max(SCHED_RR);
    if (lo < 0 || hi < lo) {
        return;
    }
    sched_param param{};
    param.sched_priority = lo + (hi - lo) / 4;
    (void)pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}

bool meterTakeFrameInput(MeterEngine* e) {
    if ((e->middleSlot.load() & kMeterFreshBit) == 0) {
        return false;
    }
    e->frontSlot = e->middleSlot.exchange(e->frontSlot) & ~kMeterFreshBit;
    e->frame.in = e->inputSlots[e->frontSlot];
    return true;
}

void meterRenderThread(MeterEngine* e) {
    meterRaiseRenderPriority();
    e->renderBusy.store(0);
    if (e->quit.load() != 0) {
        return;
    }
    for (;;) {
        e->frameReady.wait();
        e->renderBusy.store(1);
        e->frameReady.reset();
        if (e->quit.load() != 0) {
            return;
        }
        // A publication between the wake-up and the reset above left its
        // input in the middle slot, so nothing is missed: the take below
        // gets the newest one.
        if (meterTakeFrameInput(e)) {
            meterProcessFrame(e->frame);
        }
        e->renderBusy.store(0);
        e->frameDone.set();
        if (e->quit.load() != 0) {
            return;
        }
    }
}
