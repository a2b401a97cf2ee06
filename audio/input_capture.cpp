#include "audio/input_capture.h"
#include "audio/input_format.h"

int captureRun(const CaptureLoop& c) {
    WaveDevice* d = c.device;
    int r = waveOpen(d);
    if (r == 0)
        r = wavePrepare(d);
    if (r == 0)
        r = waveTransfer(d, nullptr);
    if (r == 0)
        r = waveStart(d);
    const int opened = r;
    const uint32_t frames = waveBufferFrames(d);
    const int channels = d->format.channels;
    const bool pick = channels > 2 || (channels == 2 && (c.pairA != 1 || c.pairB != 2));
    bool paced = false;
    while (r == 0 && c.running->load()) {
        r = waveTransfer(d, c.raw);
        if (r != 0 || !c.running->load())
            break;
        if (!paced && waveIsPaced(d)) {
            paced = true;
            if (c.paced)
                c.paced(c.ctx);
        }
        if (!d->delivered)
            continue;
        const auto* samples = reinterpret_cast<const int16_t*>(c.raw);
        if (pick) {
            inputPickPair(samples, channels, c.pairA, c.pairB, frames, c.picked);
            samples = c.picked;
        }
        c.block(c.ctx, samples, frames);
    }
    waveStop(d);
    waveUnprepare(d);
    waveClose(d);
    return opened;
}
