#include "audio/transport.h"

#include "platform/thread_priority.h"

#include <new>

namespace {

void streamThread(Transport* t) {
    // Without the privilege the thread simply keeps its normal priority.
    (void)setCurrentThreadPriority(ThreadPriority::TimeCritical);
    WaveDevice* d = t->device;
    const int opened = waveOpen(d);
    if (opened != 0 && t->reportOpenFailure) {
        char line[512];
        waveOpenFailureLine(d, line, sizeof line);
        t->reportOpenFailure(line);
    }
    if (opened == 0 && wavePrepare(d) == 0 && waveTransfer(d, nullptr) == 0 && waveStart(d) == 0 &&
        t->running.load()) {
        int r = 0;
        bool paced = false;
        while (t->running.load() && r == 0) {
            wavRead(t->source, t->block.get(), t->blockBytes);
            if (t->sink.isFeeding(t->engine) == 0)
                t->sink.feed(t->engine, t->block.get(), t->blockBytes);
            if (!t->running.load())
                break;
            r = waveTransfer(d, t->block.get());
            // The blocks up to here went out back to back; from the next one
            // on the device sets the pace.
            if (!paced && waveIsPaced(d)) {
                paced = true;
                if (t->sink.streamPaced)
                    t->sink.streamPaced(t->engine);
            }
        }
    }
    waveStop(d);
    waveUnprepare(d);
    waveClose(d);
    t->running.store(0);
}

bool commandsAllowed(const Transport* t) {
    return !(t->selection && t->selection->dialogBusy) && wavIsOpen(t->source);
}

} // namespace

int transportOpenStream(Transport* t, float latencySeconds) {
    if (!t)
        return 0;
    if (!t->running.load() && t->thread.joinable())
        t->thread.join();
    if (!waveConfigureLatency(t->device, &kStreamFormat, latencySeconds))
        return 0;
    t->blockFrames = waveBufferFrames(t->device);
    t->blockBytes = waveBufferBytes(t->device);
    t->block.reset();
    t->block.reset(new (std::nothrow) uint8_t[t->blockBytes ? t->blockBytes : 1]());
    if (!t->block) {
        t->blockFrames = t->blockBytes = 0;
        return 0;
    }
    return 1;
}

void transportFreeBlock(Transport* t) {
    if (t) {
        t->block.reset();
        t->blockFrames = t->blockBytes = 0;
    }
}

void transportPlay(Transport* t) {
    if (!t || !commandsAllowed(t) || t->running.load() || !t->block)
        return;
    wavSeek(t->source, 0);
    t->sink.resetLevels(t->engine);
    transportStartThread(t);
}

void transportStop(Transport* t) {
    if (!t || !commandsAllowed(t) || !t->running.load())
        return;
    transportStopThread(t);
    wavSeek(t->source, 0);
}

void transportZero(Transport* t) {
    transportStop(t);
}

int transportChangeLatency(Transport* t, float latencySeconds) {
    if (!t)
        return 0;
    if (t->running.load())
        return -1;
    return transportOpenStream(t, latencySeconds);
}

void transportStartThread(Transport* t) {
    if (!t || t->running.load())
        return;
    // A thread that ended by itself (a device step failed) is collected first.
    if (t->thread.joinable())
        t->thread.join();
    t->running.store(1);
    try {
        t->thread = std::thread(streamThread, t);
    } catch (const std::system_error&) {
        t->running.store(0);
    }
}

void transportStopThread(Transport* t) {
    if (!t)
        return;
    if (t->running.load()) {
        t->running.store(0);
        waveRequestStop(t->device);
    }
    if (t->thread.joinable())
        t->thread.join();
}

bool transportIsRunning(const Transport* t) {
    return t && t->running.load() != 0;
}
