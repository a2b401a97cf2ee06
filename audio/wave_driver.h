// The driver side of the wave device layer: what stands in for the system's
// wave-out and wave-in drivers.
//
// A driver instance is created when a device is opened and destroyed when it
// is closed. It owns one driver thread that moves the submitted buffers, in
// submission order, to the sound card (output) or fills them from it (input),
// and hands each one back through the callback: `Done` for output, `Data` for
// input. `Open` and `Close` are reported from open() and close() themselves.
//
// Ownership and threads:
//   - the stream thread calls open, pause, restart, reset, submit and close;
//   - the driver thread runs moveBuffer() of the backend and the callbacks,
//     and never calls into the meter engine or the user interface;
//   - a submitted header belongs to the driver until it is handed back; reset
//     hands back every queued header before it returns, as a stopped sound card
//     must not keep pointers into buffers that are about to be freed.
// submit() never allocates: the queue is a fixed ring.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>

// Rate in Hz, channel count and sample type code (1, 2, 4, 8, 16).
struct StreamFormat {
    int32_t rate;
    int32_t channels;
    int32_t sampleType;
};

inline constexpr int kWaveInput = 1;
inline constexpr int kWaveOutput = 2;

// Bytes per sample of a sample type code as used for sizing buffers: the five
// codes of the table, 4 for 32 to 512, 0 for anything else.
uint32_t waveBytesPerSample(int32_t sampleType);
// True for the five codes a driver can open (8/16/24-bit PCM, 32/64-bit float).
bool waveOpenableType(int32_t sampleType);

inline constexpr uint32_t kWhdrDone = 0x01;
inline constexpr uint32_t kWhdrPrepared = 0x02;
inline constexpr uint32_t kWhdrInQueue = 0x10;

// One buffer as the driver sees it.
struct WaveHeader {
    uint8_t* data = nullptr;    // the slot's data block
    uint32_t bufferLength = 0;  // bytes
    uint32_t bytesRecorded = 0; // input: written by the driver thread before `Data`
    int64_t delayFrames = -1;   // output: the device's delay once this buffer was written, or
                              // -1 when it reports none; written by the driver thread before `Done`
    std::atomic<uint32_t> flags = 0; // kWhdr*; driver thread sets Done, stream thread clears it
    uint32_t slot = 0;               // index of the slot in the device's ring
};

// Overrun: input only, the backend lost recorded frames and recovered (no header).
enum class WaveMsg { Open, Close, Done, Data, Overrun };
using WaveCallback = void (*)(void* instance, WaveMsg msg, WaveHeader* header);

class WaveDriver {
public:
    WaveDriver(int kind, const StreamFormat& format, uint32_t bufferFrames, WaveCallback callback,
               void* instance);
    virtual ~WaveDriver();
    WaveDriver(const WaveDriver&) = delete;
    WaveDriver& operator=(const WaveDriver&) = delete;

    // Opens the backend and starts the driver thread, paused. 0 or a negative error code.
    int open();
    // Hands back what is still queued, ends the driver thread and closes the backend.
    void close();
    // Buffers submitted while paused wait; a buffer being moved is finished first.
    int pause();
    int restart();
    // Hands back every queued buffer (with Done or Data) and returns when all are back.
    int reset();
    // Queues one buffer. Fails with -EBUSY while the queue is full, and for
    // good (-ENODEV) once the backend has failed (device gone). Virtual so
    // that a test driver can play a busy device.
    virtual int submit(WaveHeader* header);

    // The last error, as text (empty when none). Stable only while the driver
    // thread is paused or after a call returned an error.
    const char* errorText() const { return m_errorText; }

protected:
    // Backend hooks. openBackend/closeBackend run on the caller's thread while
    // no driver thread exists; the others run on the driver thread.
    virtual int openBackend() = 0;
    virtual void closeBackend() = 0;
    // Moves one whole buffer: returns 0 when done, kInterrupted when a reset or
    // close asked it to give up, or a negative error code when the device failed
    // for good.
    virtual int moveBuffer(WaveHeader& header) = 0;
    // Driver thread: throw away what the backend holds (called on reset).
    virtual void dropBackend() {}
    // Driver thread: playback or recording is about to (re)start.
    virtual void startBackend() {}
    // Text for a backend error code.
    virtual const char* describe(int error) const;

    static constexpr int kInterrupted = 1;

    // For moveBuffer: waits until one of `fds` is ready, an interruption is
    // requested, or the steady-clock deadline passes (deadlineNs < 0: none).
    // Returns kInterrupted, or 0.
    int waitIo(pollfd* fds, int count, int64_t deadlineNs);
    bool interruptRequested() const;
    static int64_t nowNs();
    void setError(int error);
    // Driver thread: recorded frames were lost and the backend recovered.
    void reportOverrun() { m_callback(m_instance, WaveMsg::Overrun, nullptr); }

    const int m_kind;
    const StreamFormat m_format;
    const uint32_t m_bufferFrames;
    const uint32_t m_bytesPerFrame;

private:
    void threadMain();
    void handBack(WaveHeader* header);
    void handBackAll(std::unique_lock<std::mutex>& lock);
    void wake();

    static constexpr int kQueueCapacity = 16;

    WaveCallback m_callback;
    void* m_instance;
    int m_wakeFd = -1; // eventfd: poked on reset and close so a waiting moveBuffer returns
    std::thread m_thread;

    std::mutex m_mutex; // guards everything below except the atomics
    std::condition_variable m_cv;
    WaveHeader* m_queue[kQueueCapacity] = {};
    int m_head = 0;
    int m_count = 0;
    bool m_paused = true;
    bool m_started = false;  // startBackend() due before the next buffer
    bool m_failed = false;   // the backend failed for good
    bool m_resetDone = true; // false while a reset waits for the driver thread
    std::atomic<bool> m_resetPending = false;
    std::atomic<bool> m_quit = false;
    char m_errorText[256] = {};
};

// What a device list entry needs to reach its driver.
struct WaveBackend {
    // 1 when the named device accepts the format, else 0 (error text filled in).
    int (*queryFormat)(int kind, const char* pcmName, const StreamFormat& format, char* errorText,
                       size_t errorSize);
    std::unique_ptr<WaveDriver> (*create)(int kind, const char* pcmName, const StreamFormat& format,
                                          uint32_t bufferFrames, WaveCallback callback,
                                          void* instance);
    // Optional: what the device offers for a sample type: the rate nearest
    // 48000 Hz and its smallest channel count. 1, or 0 when it cannot tell.
    int (*offer)(int kind, const char* pcmName, int32_t sampleType, StreamFormat* out) = nullptr;
};
