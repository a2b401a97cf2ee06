// Audio test helpers: WAV bytes, temporary files, a scripted wave driver
// whose buffers come back only when the test lets them, and the set-up of a
// stream.
#pragma once

#include "audio/transport.h"
#include "audio/wave_device.h"
#include "meter/meter_engine.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace audiotest {

// Little-endian integers of `bytes` bytes, and four-character chunk ids.
inline void putLE(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void putId(std::vector<uint8_t>& b, const char* id) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(id[i]));
}

// A chunk with its stored size (which may lie) and the pad byte after odd sizes.
inline void chunk(std::vector<uint8_t>& b, const char* id, const std::vector<uint8_t>& payload,
                  int64_t storedSize = -1) {
    putId(b, id);
    putLE(b, static_cast<uint32_t>(storedSize < 0 ? payload.size() : storedSize), 4);
    b.insert(b.end(), payload.begin(), payload.end());
    if (payload.size() & 1)
        b.push_back(0);
}

// A "fmt " payload of `size` bytes (16, 18, 40, or fewer to truncate).
inline std::vector<uint8_t> fmtPayload(uint32_t rate, uint16_t channels, uint16_t blockAlign,
                                       size_t size = 16, uint16_t bits = 16) {
    std::vector<uint8_t> f;
    putLE(f, 1, 2); // PCM
    putLE(f, channels, 2);
    putLE(f, rate, 4);
    putLE(f, rate * blockAlign, 4);
    putLE(f, blockAlign, 2);
    putLE(f, bits, 2);
    f.resize(size, 0);
    return f;
}

inline std::vector<uint8_t> samplesBytes(const std::vector<int16_t>& s) {
    std::vector<uint8_t> b;
    for (int16_t v : s)
        putLE(b, static_cast<uint16_t>(v), 2);
    return b;
}

// "RIFF" + size + "WAVE" around the given chunks.
inline std::vector<uint8_t> riffWave(const std::vector<uint8_t>& body, int64_t storedSize = -1) {
    std::vector<uint8_t> b;
    putId(b, "RIFF");
    putLE(b, static_cast<uint32_t>(storedSize < 0 ? body.size() + 4 : storedSize), 4);
    putId(b, "WAVE");
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// A canonical 16-bit stereo file at `rate` holding `samples` (interleaved).
inline std::vector<uint8_t> stereoWav(const std::vector<int16_t>& samples, uint32_t rate = 44100) {
    std::vector<uint8_t> body;
    chunk(body, "fmt ", fmtPayload(rate, 2, 4));
    chunk(body, "data", samplesBytes(samples));
    return riffWave(body);
}

// Interleaved stereo ramp: frame i holds (i, -i) modulo 16 bits, never silent at i > 0.
inline std::vector<int16_t> ramp(size_t frames, int offset = 1) {
    std::vector<int16_t> s;
    for (size_t i = 0; i < frames; ++i) {
        s.push_back(static_cast<int16_t>(i + offset));
        s.push_back(static_cast<int16_t>(-static_cast<int>(i) - offset));
    }
    return s;
}

// A file in a private temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes, const char* name = "t.wav") {
        char dir[] = "/tmp/kc-audio-XXXXXX";
        m_dir = mkdtemp(dir) ? dir : "/tmp";
        m_path = m_dir + "/" + name;
        if (FILE* f = std::fopen(m_path.c_str(), "wb")) {
            if (!bytes.empty())
                std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() {
        ::unlink(m_path.c_str());
        ::rmdir(m_dir.c_str());
    }
    const char* path() const { return m_path.c_str(); }
    const std::string& dir() const { return m_dir; }

private:
    std::string m_dir;
    std::string m_path;
};

// ---- A scripted driver --------------------------------------------------------

// What the scripted driver did and may do; one per test.
struct Script {
    std::mutex mutex;
    int releasable = 1 << 30;                // buffers the driver may still complete
    int failAfter = -1;                      // >= 0: fail for good after this many buffers
    int failOpen = 0;                        // error code for open, 0 for success
    int refuse = 0;                          // submissions still to refuse with `refuseCode`
    int refuseCode = -11;                    // EAGAIN: the device is busy
    std::vector<std::vector<uint8_t>> moved; // output: every buffer, in order
    int recorded = 0;                        // input: buffers filled so far
    std::atomic<int> created = 0;            // drivers created (opens that reached the backend)
    int acceptRate = 0;                      // QueryFormat: the one rate accepted, 0 any
    int acceptChannels = 0;                  // QueryFormat: the one channel count accepted, 0 any
    int overruns = 0;                        // input: overruns to report before the next buffer

    void release(int n) {
        std::lock_guard l(mutex);
        releasable += n;
    }
    size_t movedCount() {
        std::lock_guard l(mutex);
        return moved.size();
    }
};

inline Script* g_script = nullptr;

class ScriptedDriver final : public WaveDriver {
public:
    using WaveDriver::WaveDriver;
    ~ScriptedDriver() override { close(); }
    int submit(WaveHeader* h) override {
        {
            std::lock_guard l(g_script->mutex);
            if (g_script->refuse > 0) {
                --g_script->refuse;
                return g_script->refuseCode;
            }
        }
        return WaveDriver::submit(h);
    }

protected:
    int openBackend() override { return g_script->failOpen; }
    void closeBackend() override {}
    int moveBuffer(WaveHeader& h) override {
        for (;;) {
            {
                std::lock_guard l(g_script->mutex);
                const int done = static_cast<int>(g_script->moved.size()) + g_script->recorded;
                if (g_script->failAfter >= 0 && done >= g_script->failAfter)
                    return -19; // ENODEV: the device went away
                if (g_script->releasable > 0) {
                    --g_script->releasable;
                    for (; g_script->overruns > 0; --g_script->overruns)
                        reportOverrun();
                    if (m_kind == kWaveInput) {
                        ++g_script->recorded;
                        std::memset(h.data, g_script->recorded, h.bufferLength);
                        h.bytesRecorded = h.bufferLength;
                    } else {
                        g_script->moved.emplace_back(h.data, h.data + h.bufferLength);
                    }
                    return 0;
                }
            }
            if (waitIo(nullptr, 0, nowNs() + 1000000) == kInterrupted)
                return kInterrupted;
        }
    }
};

inline int scriptedQuery(int, const char*, const StreamFormat& f, char* text, size_t size) {
    const bool ok = (!g_script->acceptRate || f.rate == g_script->acceptRate) &&
                    (!g_script->acceptChannels || f.channels == g_script->acceptChannels);
    if (!ok)
        std::snprintf(text, size, "Invalid argument");
    return ok ? 1 : 0;
}
inline std::unique_ptr<WaveDriver> scriptedCreate(int kind, const char*, const StreamFormat& f,
                                                  uint32_t frames, WaveCallback cb, void* inst) {
    ++g_script->created;
    return std::make_unique<ScriptedDriver>(kind, f, frames, cb, inst);
}
inline const WaveBackend kScriptedBackend = {scriptedQuery, scriptedCreate};

// Adds the scripted device to the list (the list forgets it when its last
// user releases it) and binds `d` to it.
inline bool bindScripted(WaveDevice* d, int kind) {
    bool listed = false;
    for (int i = 1; i <= waveDeviceCount(kind); ++i)
        listed |= waveDeviceAt(kind, i)->backend == &kScriptedBackend;
    if (!listed)
        waveAppendDevice({kind, 1, 99, 0, "Scripted", "scripted", &kScriptedBackend});
    return waveInitDevice(d, kind) && waveSelectDeviceByName(d, "scripted") == 1;
}

// What a stream needs, wired as the program wires it: the device list, the
// output device `name` ("scripted": the scripted driver above), a file
// source, an engine at 44100 Hz stereo and the transport; close() (or the
// destructor) releases them in the program's order.
struct StreamRig {
    bool open(const char* name, float latency, BlockSink sink = kMeterSink) {
        opened = waveEnumerateDevices() == 1;
        const bool bound = std::strcmp(name, "scripted") == 0
                               ? bindScripted(&device, kWaveOutput)
                               : waveInitDevice(&device, kWaveOutput) == 1 &&
                                     waveSelectDeviceByName(&device, name) == 1;
        engine = meterCreate();
        t.device = &device;
        t.source = &source;
        t.selection = &selection;
        t.engine = &engine;
        t.sink = sink;
        return opened && bound && meterSetFormat(&engine, 44100.0f, 2) == 1 &&
               transportOpenStream(&t, latency) == 1;
    }
    void close() {
        transportStopThread(&t);
        transportFreeBlock(&t);
        waveReleaseDevice(&device);
        wavClose(&source);
        if (opened)
            waveReleaseDeviceList();
        opened = false;
        meterRelease(&engine);
    }
    ~StreamRig() { close(); }

    bool opened = false;
    WaveDevice device;
    WavSource source;
    WavSelection selection;
    MeterEngine* engine = nullptr;
    Transport t;
};

// Polls (without asserting on time) until `pred` holds or ten seconds pass.
template <class P> bool eventually(P pred) {
    for (int i = 0; i < 10000; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

} // namespace audiotest
