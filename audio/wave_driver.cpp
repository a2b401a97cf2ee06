#include "audio/wave_driver.h"

#include "platform/thread_priority.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

uint32_t waveBytesPerSample(int32_t sampleType) {
    switch (sampleType) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 4:
        return 3;
    case 8:
        return 4;
    case 16:
        return 8;
    case 32:
    case 64:
    case 128:
    case 256:
    case 512:
        return 4;
    default:
        return 0;
    }
}

bool waveOpenableType(int32_t sampleType) {
    return sampleType == 1 || sampleType == 2 || sampleType == 4 || sampleType == 8 ||
           sampleType == 16;
}

WaveDriver::WaveDriver(int kind, const StreamFormat& format, uint32_t bufferFrames,
                       WaveCallback callback, void* instance)
    : m_kind(kind), m_format(format), m_bufferFrames(bufferFrames),
      m_bytesPerFrame(waveBytesPerSample(format.sampleType) *
                      static_cast<uint32_t>(format.channels > 0 ? format.channels : 0)),
      m_callback(callback), m_instance(instance) {}

WaveDriver::~WaveDriver() {
    // close() is the normal path; this only covers a driver dropped while open.
    if (m_thread.joinable()) {
        m_quit = true;
        wake();
        m_cv.notify_all();
        m_thread.join();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

const char* WaveDriver::describe(int error) const {
    return std::strerror(error < 0 ? -error : error);
}

void WaveDriver::setError(int error) {
    std::snprintf(m_errorText, sizeof m_errorText, "%s", describe(error));
}

int64_t WaveDriver::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int WaveDriver::open() {
    if (m_thread.joinable())
        return 0;
    m_errorText[0] = 0;
    if (m_bytesPerFrame == 0 || m_format.rate <= 0 || !waveOpenableType(m_format.sampleType)) {
        setError(-EINVAL);
        return -EINVAL;
    }
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        int e = -errno;
        setError(e);
        return e;
    }
    int r = openBackend();
    if (r < 0) {
        setError(r);
        ::close(m_wakeFd);
        m_wakeFd = -1;
        return r;
    }
    m_quit = false;
    m_paused = true;
    m_failed = false;
    try {
        m_thread = std::thread([this] { threadMain(); });
    } catch (const std::system_error&) {
        closeBackend();
        setError(-EAGAIN);
        return -EAGAIN;
    }
    m_callback(m_instance, WaveMsg::Open, nullptr);
    return 0;
}

void WaveDriver::close() {
    if (!m_thread.joinable())
        return;
    reset();
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    wake();
    m_cv.notify_all();
    m_thread.join();
    closeBackend();
    ::close(m_wakeFd);
    m_wakeFd = -1;
    m_callback(m_instance, WaveMsg::Close, nullptr);
}

int WaveDriver::pause() {
    std::lock_guard lock(m_mutex);
    m_paused = true;
    return 0;
}

int WaveDriver::restart() {
    {
        std::lock_guard lock(m_mutex);
        if (m_failed)
            return -ENODEV;
        m_paused = false;
        m_started = true;
    }
    m_cv.notify_all();
    return 0;
}

int WaveDriver::reset() {
    if (!m_thread.joinable())
        return 0;
    std::unique_lock lock(m_mutex);
    m_resetDone = false;
    m_resetPending = true;
    wake();
    m_cv.notify_all();
    m_cv.wait(lock, [this] { return m_resetDone; });
    return 0;
}

int WaveDriver::submit(WaveHeader* header) {
    {
        std::lock_guard lock(m_mutex);
        if (m_failed)
            return -ENODEV;
        if (m_count == kQueueCapacity)
            return -EBUSY;
        header->flags.fetch_or(kWhdrInQueue);
        m_queue[(m_head + m_count) % kQueueCapacity] = header;
        ++m_count;
    }
    m_cv.notify_all();
    return 0;
}

void WaveDriver::wake() {
    uint64_t one = 1;
    if (m_wakeFd >= 0) {
        ssize_t n = ::write(m_wakeFd, &one, sizeof one);
        (void)n; // a full counter is still a pending wake-up
    }
}

bool WaveDriver::interruptRequested() const {
    return m_resetPending || m_quit;
}

int WaveDriver::waitIo(pollfd* fds, int count, int64_t deadlineNs) {
    pollfd all[8];
    int n = 0;
    for (int i = 0; i < count && n < 7; ++i)
        all[n++] = fds[i];
    all[n] = pollfd{m_wakeFd, POLLIN, 0};
    for (;;) {
        if (interruptRequested())
            return kInterrupted;
        timespec ts{};
        timespec* tsp = nullptr;
        if (deadlineNs >= 0) {
            int64_t left = deadlineNs - nowNs();
            if (left <= 0)
                return 0;
            ts.tv_sec = static_cast<time_t>(left / 1000000000);
            ts.tv_nsec = static_cast<long>(left % 1000000000);
            tsp = &ts;
        }
        int r = ::ppoll(all, static_cast<nfds_t>(n + 1), tsp, nullptr);
        if (r < 0 && errno == EINTR)
            continue;
        if (interruptRequested())
            return kInterrupted;
        if (r < 0)
            return 0;
        if (r == 0) {
            if (deadlineNs < 0)
                continue;
            return 0;
        }
        // Copy the events back so that the backend can demangle them.
        for (int i = 0; i < n; ++i)
            fds[i].revents = all[i].revents;
        if (n > 0)
            return 0;
        if (all[n].revents) {
            // A stale poke (the reset it was for has been handled): drain and go on.
            uint64_t v;
            ssize_t got = ::read(m_wakeFd, &v, sizeof v);
            (void)got;
        }
    }
}

void WaveDriver::handBack(WaveHeader* header) {
    header->flags.fetch_and(~kWhdrInQueue);
    header->flags.fetch_or(kWhdrDone);
    m_callback(m_instance, m_kind == kWaveInput ? WaveMsg::Data : WaveMsg::Done, header);
}

void WaveDriver::handBackAll(std::unique_lock<std::mutex>& lock) {
    while (m_count > 0) {
        WaveHeader* h = m_queue[m_head];
        m_head = (m_head + 1) % kQueueCapacity;
        --m_count;
        if (m_kind == kWaveInput)
            h->bytesRecorded = 0;
        lock.unlock();
        handBack(h);
        lock.lock();
    }
}

void WaveDriver::threadMain() {
    // This thread keeps the sound card (or sound server) fed: at normal
    // priority a busy machine delays it past the end of the device's short
    // buffer, and the listener hears a gap. Refused for ordinary users on many
    // systems, and then simply not had.
    (void)setCurrentThreadPriority(ThreadPriority::TimeCritical);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] {
            return m_quit || m_resetPending || (!m_paused && !m_failed && m_count > 0);
        });
        if (m_resetPending) {
            uint64_t v;
            ssize_t got = ::read(m_wakeFd, &v, sizeof v);
            (void)got;
            lock.unlock();
            dropBackend();
            lock.lock();
            handBackAll(lock);
            m_started = true;
            m_resetPending = false;
            m_resetDone = true;
            m_cv.notify_all();
            continue;
        }
        if (m_quit)
            break;
        WaveHeader* h = m_queue[m_head];
        bool start = m_started;
        m_started = false;
        lock.unlock();
        if (start)
            startBackend();
        int r = moveBuffer(*h);
        lock.lock();
        if (r == kInterrupted)
            continue;
        if (r < 0) {
            // The device is gone: give everything back so that nobody waits on
            // it, and refuse further buffers.
            setError(r);
            m_failed = true;
            handBackAll(lock);
            continue;
        }
        m_head = (m_head + 1) % kQueueCapacity;
        --m_count;
        lock.unlock();
        handBack(h);
        lock.lock();
    }
}
