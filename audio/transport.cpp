#include "audio/transport.h"

#include "audio/input_capture.h"
#include "platform/thread_priority.h"

#include <new>

namespace {

void feedCaptured(void* ctx, const int16_t* samples, uint32_t frames) {
    auto* t = static_cast<Transport*>(ctx);
    const auto channels = static_cast<uint32_t>(t->input->format.channels == 1 ? 1 : 2);
    if (t->sink.isFeeding(t->engine) == 0)
        t->sink.feed(t->engine, samples, frames * channels * 2);
}

void capturePaced(void* ctx) {
    auto* t = static_cast<Transport*>(ctx);
    if (t->sink.streamPaced)
        t->sink.streamPaced(t->engine);
}

void captureStream(Transport* t) {
    CaptureLoop loop;
    loop.device = t->input;
    loop.pairA = t->pairA;
    loop.pairB = t->pairB;
    loop.raw = t->captureBlock.get();
    loop.picked = t->pickedBlock.get();
    loop.running = &t->running;
    loop.block = feedCaptured;
    loop.paced = capturePaced;
    loop.ctx = t;
    if (captureRun(loop) != 0 && t->reportOpenFailure) {
        char line[512];
        waveOpenFailureLine(t->input, line, sizeof line);
        t->reportOpenFailure(line);
    }
}

void streamThread(Transport* t) {
    // Without the privilege the thread simply keeps its normal priority.
    (void)setCurrentThreadPriority(ThreadPriority::TimeCritical);
    if (t->input) {
        captureStream(t);
        t->running.store(0);
        return;
    }
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

bool transportStartCapture(Transport* t, WaveDevice* input, int pairA, int pairB) {
    if (!t || !input || t->running.load())
        return false;
    if (t->thread.joinable())
        t->thread.join();
    const uint32_t frames = waveBufferFrames(input);
    t->captureBlock.reset(new (std::nothrow) uint8_t[waveBufferBytes(input) + 1]);
    t->pickedBlock.reset(new (std::nothrow) int16_t[2 * size_t{frames} + 1]);
    if (!t->captureBlock || !t->pickedBlock)
        return false;
    t->input = input;
    t->pairA = pairA;
    t->pairB = pairB;
    t->sink.resetLevels(t->engine);
    transportStartThread(t);
    return t->running.load() != 0;
}

WaveDevice* transportCaptureDevice(const Transport* t) {
    return t && t->running.load() ? t->input : nullptr;
}

void transportPlay(Transport* t) {
    if (!t || !commandsAllowed(t) || t->running.load() || !t->block)
        return;
    t->input = nullptr;
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
        waveRequestStop(t->input ? t->input : t->device);
    }
    if (t->thread.joinable())
        t->thread.join();
}

bool transportIsRunning(const Transport* t) {
    return t && t->running.load() != 0;
}
