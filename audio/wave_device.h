// The wave device layer: one record, `WaveDevice`, a table of eight
// operations, and the process-wide list of devices it can be bound to.
//
// The list holds, per kind (input first, then output): ALSA's "default" when
// it answers, then the PCM names ALSA lists, then the silent device. A device
// is bound to a list entry by 1-based index among the entries of its kind, or
// by name (`waveSelectDeviceByName`), which also accepts any ALSA PCM name
// that is not listed.
//
// A stream uses the operations in this order: Open, Prepare, one or more
// Transfer, Start, Transfer per block, then Stop, Unprepare, Close. Each
// returns 0 for success and a negative value or the driver's error code for
// failure, keeping the driver's text in `errorText`; Stop, Unprepare and Close
// do nothing when their counterpart did not succeed, so that sequence is safe
// after a failure at any step.
//
// Threads: the main thread enumerates, initialises, configures and releases,
// only while no stream thread runs. The stream thread calls the operations.
// The driver thread hands buffers back through the callback, which touches
// only `queued`, the ring slots' `filled` flags and the event. The main thread may
// call waveRequestStop at any time: it wakes a Transfer that waits for the
// driver, so stopping never depends on the sound card.
#pragma once

#include "audio/wave_driver.h"
#include "platform/manual_reset_event.h"

#include <atomic>
#include <cstdint>
#include <memory>

struct WaveDevice;

// One enumerated device; a plain fixed-size record, copied whole.
struct DeviceEntry {
    int32_t kind;               // kWaveInput or kWaveOutput
    int32_t valid;              // 1 for every listed entry
    int32_t deviceId;           // -1 for "default", else the position in the backend's own list
    uint32_t formats;           // 0x800 (44.1 kHz stereo 16-bit) when probed and accepted, else 0
    char name[128];             // shown to people: "ALSA : default", "Silent"
    char pcmName[256];          // what the backend opens
    const WaveBackend* backend; // ALSA, silent, or a test's own
};

// The eight operations, in slot order.
struct WaveOps {
    int (*QueryFormat)(WaveDevice* device, const StreamFormat* format); // 1 supported, 0 not
    int (*Open)(WaveDevice* device);
    int (*Close)(WaveDevice* device);
    int (*Prepare)(WaveDevice* device);
    int (*Unprepare)(WaveDevice* device);
    int (*Stop)(WaveDevice* device);
    int (*Start)(WaveDevice* device);
    // Output: queues `block` (buffer-bytes bytes), or silence when null.
    // Input: queues a slot for recording and copies the oldest recorded
    // buffer into `block` (silence until the first one is back).
    int (*Transfer)(WaveDevice* device, void* block);
};

struct BufferSlot {
    WaveHeader header;               // the driver's view of this slot
    std::unique_ptr<uint8_t[]> data; // at least buffer-bytes, zero-filled at allocation
    int hasHeader = 0;               // 1 when bound to a valid entry
    int prepared = 0;                // stream thread
    std::atomic<int> filled = 0; // input: set by the driver thread, cleared by the stream thread
};

struct WaveDevice {
    int32_t kind = 0;
    WaveOps ops = {};
    int32_t selectedIndex = 0;
    DeviceEntry entry = {};
    StreamFormat format = {44100, 2, 2};
    std::unique_ptr<WaveDriver> handle; // the open driver, or none
    std::unique_ptr<BufferSlot[]> ring;
    uint32_t slotBytes = 0; // size of each slot's data block
    int32_t bufferCount = 4;
    int32_t started = 0;
    int32_t open = 0;
    int32_t prepared = 0;
    uint32_t bufferBytes = 17632;
    uint32_t bufferFrames = 4408;
    uint32_t frameGranularity = 4;
    std::atomic<int32_t> queued = 0; // stream thread adds, driver thread takes back
    int32_t writePosition = 0;       // stream thread
    int32_t readPosition = 0;        // stream thread
    int32_t paced = 0; // stream thread: 1 once a Transfer of this stream found two buffers
                       // queued, so the driver now sets the pace; cleared by Prepare
    std::atomic<uint32_t> refused = 0;  // submissions the driver refused as busy (blocks dropped)
    std::atomic<uint32_t> overruns = 0; // input: recorded frames lost and recovered (driver thread)
    int32_t delivered = 0; // stream thread: 1 when the last input Transfer gave recorded data
    // Output: the delay the device last reported, in frames, -1 for none
    // (driver thread writes, any thread reads; Open clears it).
    std::atomic<int64_t> outputDelayFrames = -1;
    // Created at init. The driver thread sets it when a buffer comes back,
    // waveRequestStop sets it, the stream thread resets it before waiting.
    std::unique_ptr<ManualResetEvent> event;
    std::atomic<int> stopRequested = 0; // main thread sets, Open clears
    char errorText[256] = {};           // stream thread while running, main thread otherwise
};

// ---- Device list (main thread) ---------------------------------------------

// Use-counted: only the first call fills the list. 1 on success.
int waveEnumerateDevices();
// Drops one use; the list is emptied when the last user goes.
void waveReleaseDeviceList();
// Adds an entry at the end of the list (named devices, tests). 1 on success.
int waveAppendDevice(const DeviceEntry& entry);
// Number of entries of a kind, and the index-th of them (1-based), or null.
int waveDeviceCount(int kind);
const DeviceEntry* waveDeviceAt(int kind, int index);

// ---- Device record (main thread, no stream thread running) -----------------

// Resets the record, creates its event and selects device 1 of the kind.
// 0 when there is no such device (error text empty).
int waveInitDevice(WaveDevice* device, int kind);
int waveSelectDevice(WaveDevice* device, int index);
// "silent", a listed PCM name, or any other ALSA PCM name (added to the list).
int waveSelectDeviceByName(WaveDevice* device, const char* name);
int waveConfigureLatency(WaveDevice* device, const StreamFormat* format, float latencySeconds);
uint32_t waveBufferFrames(const WaveDevice* device);
uint32_t waveBufferBytes(const WaveDevice* device);
const char* waveErrorText(const WaveDevice* device);
void waveClearErrorText(WaveDevice* device);
// Closes the driver if still open, frees the ring and resets the record.
void waveReleaseDevice(WaveDevice* device);

// Any thread: wakes a Transfer waiting for the driver; later Transfers do not
// wait until the next Open.
void waveRequestStop(WaveDevice* device);

// The stream thread, after a Transfer: 1 once the driver paces the stream
// (the blocks before that are taken as fast as they come).
int waveIsPaced(const WaveDevice* device);

// Overruns counted since the device was initialised (any thread).
uint32_t waveOverruns(const WaveDevice* device);

// One line for people after a failed Open, without a line end:
// `cannot open audio device "NAME": REASON`, with the name the backend opens
// and the driver's error text. Writes at most `size` bytes, always terminated;
// allocates nothing.
void waveOpenFailureLine(const WaveDevice* device, char* out, size_t size);

// ---- The operations through the table (stream thread) ----------------------
// Without a selected device each returns -1 (QueryFormat 0).
// A submission that the driver refuses because it is busy (-EAGAIN, -EBUSY)
// is not a failure: the block is dropped, the same slot takes the next one,
// and Transfer first backs off for at most one buffer's duration (less when
// a buffer comes back or a stop is requested), so a busy device is not spun
// on. Transfer fails only when the driver has failed for good.
int waveQueryFormat(WaveDevice* device, const StreamFormat* format);
int waveOpen(WaveDevice* device);
int waveClose(WaveDevice* device);
int wavePrepare(WaveDevice* device);
int waveUnprepare(WaveDevice* device);
int waveStop(WaveDevice* device);
int waveStart(WaveDevice* device);
int waveTransfer(WaveDevice* device, void* block);
