#include "audio/wave_device.h"

#include "audio/alsa_driver.h"
#include "audio/silent_driver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Main thread only: built at start-up and released at shut-down.
std::vector<DeviceEntry> g_devices;
int g_deviceUsers = 0;

constexpr uint32_t kFormat44S16 = 0x800;

DeviceEntry makeEntry(int kind, int id, const char* name, const char* pcmName,
                      const WaveBackend* backend) {
    DeviceEntry e{};
    e.kind = kind;
    e.valid = 1;
    e.deviceId = id;
    std::snprintf(e.name, sizeof e.name, "%s", name);
    std::snprintf(e.pcmName, sizeof e.pcmName, "%s", pcmName);
    e.backend = backend;
    return e;
}

struct ListContext {
    int kind;
    int next;
};

void addAlsaHint(void* ctx, const char* pcmName) {
    auto* c = static_cast<ListContext*>(ctx);
    char name[128];
    std::snprintf(name, sizeof name, "ALSA : %s", pcmName);
    waveAppendDevice(makeEntry(c->kind, c->next++, name, pcmName, &kAlsaBackend));
}

void enumerateKind(int kind) {
    // "default" stands first when it answers: for output it is probed with the
    // program's own format; capture is listed without opening the microphone.
    DeviceEntry def = makeEntry(kind, -1, "ALSA : default", "default", &kAlsaBackend);
    if (kind == kWaveOutput) {
        char text[256];
        const StreamFormat f{44100, 2, 2};
        if (kAlsaBackend.queryFormat(kind, "default", f, text, sizeof text)) {
            def.formats = kFormat44S16;
            waveAppendDevice(def);
        }
    } else {
        waveAppendDevice(def);
    }
    ListContext ctx{kind, 0};
    alsaListDevices(kind, addAlsaHint, &ctx);
    DeviceEntry silent = makeEntry(kind, ctx.next, "Silent", "silent", &kSilentBackend);
    silent.formats = kFormat44S16;
    waveAppendDevice(silent);
}

void setError(WaveDevice* d, const char* text) {
    std::snprintf(d->errorText, sizeof d->errorText, "%s", text ? text : "");
}

void driverCallback(void* instance, WaveMsg msg, WaveHeader* header) {
    auto* d = static_cast<WaveDevice*>(instance);
    switch (msg) {
    case WaveMsg::Done:
        if (header && header->delayFrames >= 0)
            d->outputDelayFrames.store(header->delayFrames);
        d->queued.fetch_sub(1);
        break;
    case WaveMsg::Data:
        // The header names its own slot: buffers come back in order, but more
        // than one may come back between two transfers.
        d->ring[header->slot].filled.store(1);
        d->queued.fetch_sub(1);
        break;
    case WaveMsg::Overrun:
        d->overruns.fetch_add(1);
        break;
    case WaveMsg::Open:
    case WaveMsg::Close:
        break;
    }
    d->event->set();
}

void freeSlots(WaveDevice* d) {
    d->ring.reset();
    d->slotBytes = 0;
}

int allocSlots(WaveDevice* d) {
    try {
        auto ring = std::make_unique<BufferSlot[]>(static_cast<size_t>(d->bufferCount));
        const uint32_t bytes = d->bufferBytes ? d->bufferBytes : 1;
        for (int i = 0; i < d->bufferCount; ++i) {
            ring[i].data = std::make_unique<uint8_t[]>(bytes); // value-initialised: zeros
            ring[i].hasHeader = d->entry.valid == 1;
        }
        d->ring = std::move(ring);
        d->slotBytes = bytes;
        return 0;
    } catch (const std::bad_alloc&) {
        freeSlots(d);
        return -1;
    }
}

// Waits while two buffers are queued, unless a stop was requested. The event
// is reset before the second look at the counter, so a buffer coming back in
// between is never missed.
void pace(WaveDevice* d) {
    while (d->queued.load() > 1 && !d->stopRequested.load()) {
        d->paced = 1;
        d->event->reset();
        if (d->queued.load() > 1 && !d->stopRequested.load())
            d->event->wait();
    }
}

// After a refused submission: waits for at most one buffer's duration, so
// that the stream keeps about the pace of playback instead of spinning on a
// busy device. A buffer coming back or a stop request ends the wait early.
void backOff(WaveDevice* d) {
    const int64_t rate = d->format.rate > 0 ? d->format.rate : 44100;
    const int64_t ms = std::clamp<int64_t>(int64_t{d->bufferFrames} * 1000 / rate, 1, 250);
    d->event->reset();
    if (!d->stopRequested.load())
        d->event->waitFor(std::chrono::milliseconds(ms));
}

int submitSlot(WaveDevice* d, BufferSlot& slot) {
    d->queued.fetch_add(1);
    slot.header.flags.fetch_and(~(kWhdrDone | kWhdrInQueue));
    int r = d->handle->submit(&slot.header);
    if (r == -EAGAIN || r == -EBUSY) {
        // Busy, not gone: this block is dropped and the same slot (the write
        // position stays) takes the next one.
        d->queued.fetch_sub(1);
        d->refused.fetch_add(1);
        backOff(d);
        return 0;
    }
    if (r != 0) {
        // The driver has given up (device gone): the stream must end.
        d->queued.fetch_sub(1);
        setError(d, d->handle->errorText()[0] ? d->handle->errorText() : alsaErrorText(r));
        return r;
    }
    d->writePosition = (d->writePosition + 1) % d->bufferCount;
    return 0;
}

// ---- The operation table ----------------------------------------------------

int opQueryFormat(WaveDevice* d, const StreamFormat* f) {
    if (!d || !f || f->rate < 11000 || !d->entry.backend)
        return 0;
    char text[256] = {};
    int ok = d->entry.backend->queryFormat(d->kind, d->entry.pcmName, *f, text, sizeof text);
    if (!ok)
        setError(d, text);
    return ok;
}

int opOpen(WaveDevice* d) {
    if (!d || !d->entry.backend)
        return -1;
    if (d->open)
        return 0;
    d->started = 0;
    d->event->reset();
    d->stopRequested.store(0);
    d->outputDelayFrames.store(-1);
    d->open = 1;
    std::unique_ptr<WaveDriver> drv;
    try {
        drv = d->entry.backend->create(d->kind, d->entry.pcmName, d->format, d->bufferFrames,
                                       driverCallback, d);
    } catch (const std::bad_alloc&) {
        d->open = 0;
        setError(d, alsaErrorText(-12));
        return -12;
    }
    int r = drv->open();
    if (r != 0) {
        setError(d, drv->errorText());
        d->open = 0;
        return r;
    }
    d->handle = std::move(drv);
    d->event->waitFor(std::chrono::milliseconds(1000));
    d->event->reset();
    return 0;
}

int opClose(WaveDevice* d) {
    if (!d)
        return -1;
    d->event->reset();
    if (!d->open)
        return 0;
    if (d->handle) {
        d->handle->close();
        d->event->waitFor(std::chrono::milliseconds(1000));
        d->event->reset();
        d->handle.reset();
    }
    d->open = 0;
    return 0;
}

int opPrepare(WaveDevice* d) {
    if (!d || !d->open)
        return -1;
    if (d->prepared)
        return 0;
    // Slots left from a failed prepare are reused only when their size still fits.
    if (d->ring && d->slotBytes < d->bufferBytes)
        freeSlots(d);
    if (!d->ring && allocSlots(d) != 0)
        return -1;
    d->prepared = 1;
    d->queued.store(0);
    d->writePosition = 0;
    d->readPosition = 0;
    d->paced = 0;
    d->delivered = 0;
    for (int i = 0; i < d->bufferCount; ++i) {
        BufferSlot& s = d->ring[i];
        s.prepared = 0;
        s.filled.store(0);
        s.header.data = s.data.get();
        s.header.bufferLength = d->bufferBytes;
        s.header.bytesRecorded = 0;
        s.header.delayFrames = -1;
        s.header.flags.store(kWhdrPrepared);
        s.header.slot = static_cast<uint32_t>(i);
        s.prepared = 1;
    }
    d->handle->pause();
    return 0;
}

int opUnprepare(WaveDevice* d) {
    if (!d || !d->ring || !d->prepared)
        return 0;
    // Buffers still in the driver (a failure before Start) come back first,
    // so the driver never holds a pointer into freed memory.
    if (d->handle && d->queued.load() > 0)
        d->handle->reset();
    for (int i = 0; i < d->bufferCount; ++i) {
        d->ring[i].prepared = 0;
        d->ring[i].header.flags.fetch_and(~kWhdrPrepared);
    }
    freeSlots(d);
    d->prepared = 0;
    return 0;
}

int opStop(WaveDevice* d) {
    if (!d || !d->started)
        return 0;
    int r = 0;
    if (d->handle) {
        d->handle->pause();
        r = d->handle->reset();
        if (r != 0)
            setError(d, d->handle->errorText());
    }
    d->started = 0;
    d->event->reset();
    return r;
}

int opStart(WaveDevice* d) {
    if (!d || !d->open || !d->handle)
        return -1;
    int r = d->handle->restart();
    if (r != 0)
        setError(d, d->handle->errorText()[0] ? d->handle->errorText() : alsaErrorText(r));
    d->started = 1;
    return r != 0 ? -1 : 0;
}

int opTransferOut(WaveDevice* d, void* block) {
    if (!d || !d->prepared || !d->handle)
        return -1;
    BufferSlot& slot = d->ring[d->writePosition];
    if (block)
        std::memcpy(slot.data.get(), block, d->bufferBytes);
    else
        std::memset(slot.data.get(), 0, d->bufferBytes);
    pace(d);
    return submitSlot(d, slot);
}

int opTransferIn(WaveDevice* d, void* block) {
    if (!d || !d->prepared || !d->handle)
        return -1;
    BufferSlot& readSlot = d->ring[d->readPosition];
    BufferSlot& writeSlot = d->ring[d->writePosition];
    pace(d);
    writeSlot.filled.store(0);
    int r = submitSlot(d, writeSlot);
    if (r != 0)
        return r;
    if (readSlot.filled.load()) {
        if (block)
            std::memcpy(block, readSlot.data.get(), d->bufferBytes);
        readSlot.filled.store(0);
        d->readPosition = (d->readPosition + 1) % d->bufferCount;
        d->delivered = 1;
    } else {
        if (block)
            std::memset(block, 0, d->bufferBytes);
        d->delivered = 0;
    }
    return 0;
}

void fillOps(WaveDevice* d) {
    d->ops.QueryFormat = opQueryFormat;
    d->ops.Open = opOpen;
    d->ops.Close = opClose;
    d->ops.Prepare = opPrepare;
    d->ops.Unprepare = opUnprepare;
    d->ops.Stop = opStop;
    d->ops.Start = opStart;
    d->ops.Transfer = d->kind == kWaveInput ? opTransferIn : opTransferOut;
}

void resetRecord(WaveDevice* d) {
    if (d->handle) {
        d->handle->close();
        d->handle.reset();
    }
    freeSlots(d);
    d->kind = 0;
    d->ops = {};
    d->selectedIndex = 0;
    d->entry = {};
    d->format = {44100, 2, 2};
    d->bufferCount = 4;
    d->started = 0;
    d->open = 0;
    d->prepared = 0;
    d->bufferBytes = 17632;
    d->bufferFrames = 4408;
    d->frameGranularity = 4;
    d->queued.store(0);
    d->writePosition = 0;
    d->readPosition = 0;
    d->paced = 0;
    d->refused.store(0);
    d->overruns.store(0);
    d->outputDelayFrames.store(-1);
    d->delivered = 0;
    d->event.reset();
    d->stopRequested.store(0);
    d->errorText[0] = 0;
}

} // namespace

// ---- Device list --------------------------------------------------------------

int waveEnumerateDevices() {
    if (g_deviceUsers++ > 0)
        return 1;
    try {
        g_devices.reserve(8192 / sizeof(DeviceEntry) + 1);
    } catch (const std::bad_alloc&) {
        g_deviceUsers = 0;
        return 0;
    }
    enumerateKind(kWaveInput);
    enumerateKind(kWaveOutput);
    return 1;
}

void waveReleaseDeviceList() {
    if (g_deviceUsers <= 0)
        return;
    if (--g_deviceUsers == 0) {
        g_devices.clear();
        g_devices.shrink_to_fit();
    }
}

int waveAppendDevice(const DeviceEntry& entry) {
    try {
        // Keep each kind's entries together, input first, so that a named
        // device added later still counts among its own kind.
        auto pos = g_devices.end();
        if (entry.kind == kWaveInput) {
            pos = g_devices.begin();
            while (pos != g_devices.end() && pos->kind == kWaveInput)
                ++pos;
        }
        g_devices.insert(pos, entry);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int waveDeviceCount(int kind) {
    int n = 0;
    for (const DeviceEntry& e : g_devices)
        n += e.kind == kind;
    return n;
}

const DeviceEntry* waveDeviceAt(int kind, int index) {
    int n = 0;
    for (const DeviceEntry& e : g_devices)
        if (e.kind == kind && ++n == index)
            return &e;
    return nullptr;
}

// ---- Device record ------------------------------------------------------------

int waveInitDevice(WaveDevice* device, int kind) {
    if (!device)
        return 0;
    resetRecord(device);
    device->kind = kind;
    try {
        device->event = std::make_unique<ManualResetEvent>();
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return waveSelectDevice(device, 1);
}

int waveSelectDevice(WaveDevice* device, int index) {
    if (!device)
        return 0;
    if (index == device->selectedIndex)
        return 1;
    device->selectedIndex = index;
    const DeviceEntry* e = waveDeviceAt(device->kind, index);
    if (!e)
        return 0;
    device->entry = *e;
    if (device->entry.valid == 1)
        fillOps(device);
    return 1;
}

int waveSelectDeviceByName(WaveDevice* device, const char* name) {
    if (!device || !name || !*name)
        return 0;
    const int n = waveDeviceCount(device->kind);
    for (int i = 1; i <= n; ++i) {
        const DeviceEntry* e = waveDeviceAt(device->kind, i);
        if (std::strcmp(e->pcmName, name) == 0) {
            device->selectedIndex = 0;
            return waveSelectDevice(device, i);
        }
    }
    char label[128];
    std::snprintf(label, sizeof label, "ALSA : %s", name);
    if (std::strlen(name) >= sizeof(DeviceEntry::pcmName) ||
        !waveAppendDevice(makeEntry(device->kind, -2, label, name, &kAlsaBackend)))
        return 0;
    device->selectedIndex = 0;
    return waveSelectDevice(device, waveDeviceCount(device->kind));
}

int waveConfigureLatency(WaveDevice* device, const StreamFormat* format, float latencySeconds) {
    if (!device || !format)
        return 0;
    if (device->entry.valid != 1)
        return 1;
    device->format = *format;
    // The product is rounded to a float first: 44100 x 0.1f gives 4410, not 4409.
    const float product = static_cast<float>(format->rate) * latencySeconds;
    uint32_t frames = 0;
    if (product >= 1.0f)
        frames = product < 16777216.0f ? static_cast<uint32_t>(std::floor(product)) : 16777216u;
    const uint32_t g = device->frameGranularity ? device->frameGranularity : 1;
    frames /= g;
    if (frames == 0)
        frames = 1;
    frames *= g;
    const uint64_t bytesPerFrame =
        waveBytesPerSample(format->sampleType) *
        static_cast<uint64_t>(format->channels > 0 ? format->channels : 0);
    // A buffer never exceeds 256 MiB, whatever the format claims.
    while (frames > g && bytesPerFrame * frames > (256u << 20))
        frames = (frames / 2 / g) * g;
    device->bufferFrames = frames;
    device->bufferBytes = static_cast<uint32_t>(frames * bytesPerFrame);
    return 1;
}

uint32_t waveBufferFrames(const WaveDevice* device) {
    return device ? device->bufferFrames : 0;
}
uint32_t waveBufferBytes(const WaveDevice* device) {
    return device ? device->bufferBytes : 0;
}
const char* waveErrorText(const WaveDevice* device) {
    return device ? device->errorText : "";
}

void waveClearErrorText(WaveDevice* device) {
    if (device)
        device->errorText[0] = 0;
}

void waveReleaseDevice(WaveDevice* device) {
    if (device)
        resetRecord(device);
}

void waveRequestStop(WaveDevice* device) {
    if (!device || !device->event)
        return;
    device->stopRequested.store(1);
    device->event->set();
}

uint32_t waveOverruns(const WaveDevice* device) {
    return device ? device->overruns.load() : 0;
}

int waveIsPaced(const WaveDevice* device) {
    return device ? device->paced : 0;
}

void waveOpenFailureLine(const WaveDevice* device, char* out, size_t size) {
    if (!out || size == 0)
        return;
    const char* name = device ? device->entry.pcmName : "";
    const char* reason = device && device->errorText[0] ? device->errorText : "unknown error";
    std::snprintf(out, size, "cannot open audio device \"%s\": %s", name, reason);
}

// ---- Operations through the table ---------------------------------------------

int waveQueryFormat(WaveDevice* d, const StreamFormat* f) {
    return d && d->ops.QueryFormat ? d->ops.QueryFormat(d, f) : 0;
}
int waveOpen(WaveDevice* d) {
    return d && d->ops.Open ? d->ops.Open(d) : -1;
}
int waveClose(WaveDevice* d) {
    return d && d->ops.Close ? d->ops.Close(d) : -1;
}
int wavePrepare(WaveDevice* d) {
    return d && d->ops.Prepare ? d->ops.Prepare(d) : -1;
}
int waveUnprepare(WaveDevice* d) {
    return d && d->ops.Unprepare ? d->ops.Unprepare(d) : -1;
}
int waveStop(WaveDevice* d) {
    return d && d->ops.Stop ? d->ops.Stop(d) : -1;
}
int waveStart(WaveDevice* d) {
    return d && d->ops.Start ? d->ops.Start(d) : -1;
}
int waveTransfer(WaveDevice* d, void* block) {
    return d && d->ops.Transfer ? d->ops.Transfer(d, block) : -1;
}
