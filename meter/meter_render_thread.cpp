#include "meter/meter_render_thread.h"

#include "meter/meter_ballistics.h"
#include "meter/meter_engine_record.h"

#include "platform/thread_priority.h"

bool meterTakeFrameInput(MeterEngine* e) {
    if ((e->middleSlot.load() & kMeterFreshBit) == 0) {
        return false;
    }
    e->frontSlot = e->middleSlot.exchange(e->frontSlot) & ~kMeterFreshBit;
    e->frame.in = e->inputSlots[e->frontSlot];
    return true;
}

void meterRenderThread(MeterEngine* e) {
    // Just below the stream thread; without the privilege the thread keeps
    // its normal priority.
    (void)setCurrentThreadPriority(ThreadPriority::Highest);
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
