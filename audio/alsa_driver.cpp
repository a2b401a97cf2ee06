#include "audio/alsa_driver.h"

#include <alsa/asoundlib.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

void quietHandler(const char*, int, const char*, int, const char*, ...) {}

snd_pcm_format_t alsaFormat(int32_t sampleType) {
    switch (sampleType) {
    case 1:
        return SND_PCM_FORMAT_U8;
    case 2:
        return SND_PCM_FORMAT_S16_LE;
    case 4:
        return SND_PCM_FORMAT_S24_3LE;
    case 8:
        return SND_PCM_FORMAT_FLOAT_LE;
    case 16:
        return SND_PCM_FORMAT_FLOAT64_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

snd_pcm_stream_t alsaStream(int kind) {
    return kind == kWaveInput ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
}

// Sets the hardware parameters; `bufferFrames` 0 leaves ALSA's buffer size alone.
int configure(snd_pcm_t* pcm, int kind, const StreamFormat& f, snd_pcm_uframes_t bufferFrames,
              snd_pcm_uframes_t* actualBuffer) {
    snd_pcm_format_t fmt = alsaFormat(f.sampleType);
    if (fmt == SND_PCM_FORMAT_UNKNOWN || f.channels <= 0 || f.rate <= 0)
        return -EINVAL;
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int r = snd_pcm_hw_params_any(pcm, hw);
    if (r >= 0)
        r = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (r >= 0)
        r = snd_pcm_hw_params_set_format(pcm, hw, fmt);
    if (r >= 0)
        r = snd_pcm_hw_params_set_channels(pcm, hw, static_cast<unsigned>(f.channels));
    if (r >= 0)
        r = snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
    if (r >= 0)
        r = snd_pcm_hw_params_set_rate(pcm, hw, static_cast<unsigned>(f.rate), 0);
    if (r < 0 || bufferFrames == 0)
        return r;
    // Playback: about one block, so that a buffer reported done is close to
    // being heard. Capture: a block is taken only once it is whole, so one
    // period per block wakes the driver (and a sound server's client thread)
    // no more often than needed; four blocks of room ride out a late reader.
    snd_pcm_uframes_t buffer = kind == kWaveInput ? 4 * bufferFrames : bufferFrames;
    r = snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
    if (r < 0)
        return r;
    snd_pcm_uframes_t period = kind == kWaveInput ? bufferFrames : buffer / 4;
    period = period ? period : 1;
    int dir = 0;
    r = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir);
    if (r < 0)
        return r;
    r = snd_pcm_hw_params(pcm, hw);
    if (r < 0)
        return r;
    snd_pcm_hw_params_get_buffer_size(hw, &buffer);
    *actualBuffer = buffer;

    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    r = snd_pcm_sw_params_current(pcm, sw);
    if (r >= 0)
        r = snd_pcm_sw_params_set_start_threshold(pcm, sw, kind == kWaveInput ? 1 : buffer);
    if (r >= 0)
        r = snd_pcm_sw_params_set_avail_min(pcm, sw, period);
    if (r >= 0)
        r = snd_pcm_sw_params(pcm, sw);
    return r;
}

class AlsaDriver final : public WaveDriver {
public:
    AlsaDriver(int kind, const char* pcmName, const StreamFormat& format, uint32_t bufferFrames,
               WaveCallback callback, void* instance)
        : WaveDriver(kind, format, bufferFrames, callback, instance), m_name(pcmName) {}
    ~AlsaDriver() override { close(); }

protected:
    int openBackend() override {
        alsaQuietErrors();
        int r = snd_pcm_open(&m_pcm, m_name.c_str(), alsaStream(m_kind), SND_PCM_NONBLOCK);
        if (r < 0) {
            m_pcm = nullptr;
            return r;
        }
        snd_pcm_uframes_t actual = 0;
        r = configure(m_pcm, m_kind, m_format, m_bufferFrames ? m_bufferFrames : 1, &actual);
        if (r < 0) {
            snd_pcm_close(m_pcm);
            m_pcm = nullptr;
            return r;
        }
        m_alsaBufferNs = static_cast<int64_t>(actual) * 1000000000 / m_format.rate;
        m_pollCount = snd_pcm_poll_descriptors_count(m_pcm);
        if (m_pollCount < 1 || m_pollCount > 7) {
            snd_pcm_close(m_pcm);
            m_pcm = nullptr;
            return -EINVAL;
        }
        snd_pcm_poll_descriptors(m_pcm, m_poll, static_cast<unsigned>(m_pollCount));
        return 0;
    }

    void closeBackend() override {
        if (m_pcm) {
            snd_pcm_drop(m_pcm);
            snd_pcm_close(m_pcm);
            m_pcm = nullptr;
        }
    }

    void startBackend() override {
        m_baseNs = nowNs();
        m_framesSinceBase = 0;
        if (m_kind == kWaveInput && snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED)
            snd_pcm_start(m_pcm);
    }

    void dropBackend() override {
        snd_pcm_drop(m_pcm);
        snd_pcm_prepare(m_pcm);
    }

    const char* describe(int error) const override { return alsaErrorText(error); }

    int moveBuffer(WaveHeader& h) override {
        const uint32_t frames = h.bufferLength / m_bytesPerFrame;
        uint32_t done = 0;
        while (done < frames) {
            if (interruptRequested())
                return kInterrupted;
            uint8_t* p = h.data + static_cast<size_t>(done) * m_bytesPerFrame;
            snd_pcm_sframes_t n = m_kind == kWaveInput ? snd_pcm_readi(m_pcm, p, frames - done)
                                                       : snd_pcm_writei(m_pcm, p, frames - done);
            if (n == -EAGAIN || n == 0) {
                // The card pushes back, so it is the clock: restart the fallback pacing.
                m_baseNs = nowNs();
                m_framesSinceBase = 0;
                if (waitReady() == kInterrupted)
                    return kInterrupted;
                continue;
            }
            if (n < 0) {
                // An overrun or a suspend is recovered; anything else (the
                // sound server gone, the card unplugged) ends the stream. A
                // device that fails again at once after every recovery has
                // gone too: the stream must not spin on it.
                int r = ++m_recoveries > kMaxRecoveries
                            ? static_cast<int>(n)
                            : snd_pcm_recover(m_pcm, static_cast<int>(n), 1);
                if (r < 0)
                    return r;
                if (m_kind == kWaveInput) {
                    if (n == -EPIPE)
                        reportOverrun();
                    snd_pcm_start(m_pcm);
                }
                continue;
            }
            m_recoveries = 0;
            done += static_cast<uint32_t>(n);
            m_framesSinceBase += static_cast<uint64_t>(n);
            if (pace() == kInterrupted)
                return kInterrupted;
        }
        if (m_kind == kWaveInput) {
            h.bytesRecorded = frames * m_bytesPerFrame;
        } else {
            // Through the `pulse` plugin this includes the sound server's latency.
            snd_pcm_sframes_t delay = 0;
            h.delayFrames = snd_pcm_delay(m_pcm, &delay) == 0 ? delay : -1;
        }
        return 0;
    }

private:
    int waitReady() {
        for (;;) {
            for (int i = 0; i < m_pollCount; ++i)
                m_poll[i].revents = 0;
            // A bounded wait guards against plugins whose descriptors never wake.
            if (waitIo(m_poll, m_pollCount, nowNs() + 200000000) == kInterrupted)
                return kInterrupted;
            unsigned short revents = 0;
            snd_pcm_poll_descriptors_revents(m_pcm, m_poll, static_cast<unsigned>(m_pollCount),
                                             &revents);
            if (revents & (POLLOUT | POLLIN | POLLERR | POLLHUP))
                return 0;
            snd_pcm_state_t st = snd_pcm_state(m_pcm);
            if (st == SND_PCM_STATE_XRUN || st == SND_PCM_STATE_DISCONNECTED ||
                st == SND_PCM_STATE_SUSPENDED)
                return 0;
            if (snd_pcm_avail_update(m_pcm) != 0)
                return 0;
        }
    }

    // Devices that accept data faster than real time (null, file) would run
    // the stream, and with it the meter, as fast as the CPU allows; keep them
    // at most one ALSA buffer ahead of the steady clock.
    int pace() {
        const double playedNs = static_cast<double>(nowNs() - m_baseNs);
        const double writtenNs = static_cast<double>(m_framesSinceBase) * 1e9 / m_format.rate;
        const int64_t aheadNs = static_cast<int64_t>(writtenNs - playedNs);
        if (aheadNs <= m_alsaBufferNs)
            return 0;
        return waitIo(nullptr, 0, nowNs() + (aheadNs - m_alsaBufferNs));
    }

    static constexpr int kMaxRecoveries = 8;

    std::string m_name;
    snd_pcm_t* m_pcm = nullptr; // driver thread while it runs; the opener otherwise
    pollfd m_poll[7] = {};
    int m_pollCount = 0;
    int64_t m_alsaBufferNs = 0;
    int64_t m_baseNs = 0;           // driver thread: start of the fallback pacing
    uint64_t m_framesSinceBase = 0; // driver thread
    int m_recoveries = 0;           // driver thread: recoveries since frames last moved
};

int alsaQueryFormat(int kind, const char* pcmName, const StreamFormat& format, char* errorText,
                    size_t errorSize) {
    alsaQuietErrors();
    snd_pcm_t* pcm = nullptr;
    int r = snd_pcm_open(&pcm, pcmName, alsaStream(kind), SND_PCM_NONBLOCK);
    if (r >= 0) {
        snd_pcm_uframes_t unused = 0;
        r = configure(pcm, kind, format, 0, &unused);
        snd_pcm_close(pcm);
    }
    if (r < 0) {
        std::snprintf(errorText, errorSize, "%s", alsaErrorText(r));
        return 0;
    }
    return 1;
}

int alsaOffer(int kind, const char* pcmName, int32_t sampleType, StreamFormat* out) {
    alsaQuietErrors();
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, pcmName, alsaStream(kind), SND_PCM_NONBLOCK) < 0)
        return 0;
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = 48000, channels = 0;
    int r = snd_pcm_hw_params_any(pcm, hw);
    if (r >= 0)
        r = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (r >= 0)
        r = snd_pcm_hw_params_set_format(pcm, hw, alsaFormat(sampleType));
    if (r >= 0)
        r = snd_pcm_hw_params_set_rate_resample(pcm, hw, 0);
    if (r >= 0)
        r = snd_pcm_hw_params_get_channels_min(hw, &channels);
    if (r >= 0)
        r = snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, nullptr);
    snd_pcm_close(pcm);
    if (r < 0 || channels == 0 || rate == 0)
        return 0;
    *out = StreamFormat{static_cast<int32_t>(rate), static_cast<int32_t>(channels), sampleType};
    return 1;
}

std::unique_ptr<WaveDriver> alsaCreate(int kind, const char* pcmName, const StreamFormat& format,
                                       uint32_t bufferFrames, WaveCallback callback,
                                       void* instance) {
    return std::make_unique<AlsaDriver>(kind, pcmName, format, bufferFrames, callback, instance);
}

} // namespace

const WaveBackend kAlsaBackend = {alsaQueryFormat, alsaCreate, alsaOffer};

void alsaQuietErrors() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietHandler); });
}

const char* alsaErrorText(int error) {
    return snd_strerror(error);
}

void alsaListDevices(int kind, void (*add)(void* ctx, const char* pcmName), void* ctx) {
    alsaQuietErrors();
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints)
        return;
    const char* wanted = kind == kWaveInput ? "Input" : "Output";
    for (void** h = hints; *h; ++h) {
        char* name = snd_device_name_get_hint(*h, "NAME");
        char* ioid = snd_device_name_get_hint(*h, "IOID");
        // No IOID means the device does both directions.
        if (name && std::strcmp(name, "default") != 0 && (!ioid || std::strcmp(ioid, wanted) == 0))
            add(ctx, name);
        std::free(name);
        std::free(ioid);
    }
    snd_device_name_free_hint(hints);
}

bool alsaIsPlugin(int kind, const char* pcmName) {
    alsaQuietErrors();
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, pcmName, alsaStream(kind), SND_PCM_NONBLOCK) < 0)
        return false;
    const bool plugin = snd_pcm_type(pcm) == SND_PCM_TYPE_IOPLUG;
    snd_pcm_close(pcm);
    return plugin;
}
