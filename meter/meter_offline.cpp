#include "meter/meter_offline.h"

#include "meter/meter_engine_record.h"

#include <chrono>
#include <thread>

uint32_t meterUnpublishedFrames(const MeterEngine* e) {
    return e ? e->samplesInFrame : 0;
}

void meterWaitRendered(const MeterEngine* e) {
    if (!e || !e->hasRenderThread) {
        return;
    }
    // The render thread sets renderBusy before it takes the fresh input and
    // clears it after processing, so "no fresh input and not busy" is only
    // seen once the last publication has been processed. Waited once per file.
    while ((e->middleSlot.load() & kMeterFreshBit) != 0 || e->renderBusy.load() != 0) {
        if (e->quit.load() != 0) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}
