#include "meter/meter_offline.h"

#include "meter/meter_ballistics.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_render_thread.h"

MeterEngine* meterCreateOffline() {
    MeterEngine* e = meterCreate();
    if (!e) {
        return nullptr;
    }
    // End the render thread as destruction would; the frames it would have
    // taken are taken by meterProcessPublished instead. `hasRenderThread`
    // stays set, because the feed publishes only to an engine that renders.
    if (e->renderThread.joinable()) {
        e->quit.store(1);
        e->frameReady.set();
        e->renderThread.join();
    }
    e->quit.store(0);
    e->renderBusy.store(0); // a thread woken only to quit leaves it set
    e->frameReady.reset();
    e->hasRenderThread = true;
    // Nobody is ever busy rendering, so no frame is dropped; relax mode only
    // keeps the boundary from waiting for a frameDone that nobody sets.
    meterSetLossOptions(e, 1, 1);
    return e;
}

int meterProcessPublished(MeterEngine* e) {
    if (!e || !meterTakeFrameInput(e)) {
        return 0;
    }
    meterProcessFrame(e->frame);
    return 1;
}

uint32_t meterUnpublishedFrames(const MeterEngine* e) {
    return e ? e->samplesInFrame : 0;
}

void meterReleaseOffline(MeterEngine** engine) {
    if (engine && *engine) {
        (*engine)->hasRenderThread = false; // nothing left to join
        meterRelease(engine);
    }
}
