// The engine's operations and the frame hand-off.
//
// Hand-off: at a frame boundary the feeding thread writes the frame's inputs
// (accumulators and coefficient copies) into its back slot and swaps that
// slot into the shared middle position with the fresh bit set; the render
// thread, woken by `frameReady`, swaps the middle slot with its own front
// slot. Neither thread ever touches a slot the other holds, so a publication
// that overtakes a render thread that has not woken yet (relax mode) simply
// replaces the pending one, and the ballistic state in `MeterFrame` is only
// ever touched by the render thread. `renderBusy`, `published`, `frameReady`
// and `frameDone` pace the two threads: in synchronous mode the feeder waits
// until the previous frame has been taken and processed, so no frame is lost.
//
// Resets that concern the render thread's state (levels, maxima, hold) are
// requested through sequence numbers that travel with the next frame.
//
// Lifetime: an engine reached through its owner's variable may be destroyed
// by another thread at any moment (the owner's release on the main thread,
// or the feed that ends a deferred release on the stream thread). Every
// operation that takes the handle therefore announces the engine it found in
// a slot of a small process-wide table before touching it, and checks that
// the handle still names it; destruction clears the handle first and then
// waits until no other slot names the engine. The table is fixed: entering
// costs one compare-exchange and one load, with no lock and no allocation.
#include "meter/meter_engine.h"

#include "meter/meter_ballistics.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_hooks.h"
#include "meter/meter_render_thread.h"
#include "meter/meter_settings_values.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

namespace {

constexpr const char* kSettingsSubKey = "Korvalo Cor";
constexpr const char* kDefaultWindowName = "Korvalo";

// The owner's engine variable may be cleared by the stream thread (deferred
// destruction), so every access to it is atomic.
MeterEngine* loadHandle(MeterEngine** handle) {
    return handle ? std::atomic_ref<MeterEngine*>(*handle).load() : nullptr;
}

void clearHandle(MeterEngine** handle) {
    std::atomic_ref<MeterEngine*>(*handle).store(nullptr);
}

// Engines in use through a handle, one slot per user at a time. More users at
// once than slots only makes the surplus wait for a free slot.
constexpr int kUseSlots = 64;
std::atomic<MeterEngine*> g_inUse[kUseSlots];

// The engine a handle names, kept alive for the life of this object.
class EngineUse {
public:
    explicit EngineUse(MeterEngine** handle) {
        for (;;) {
            MeterEngine* e = loadHandle(handle);
            if (!e) {
                return;
            }
            m_slot = claim(e);
            // Cleared or replaced meanwhile: its destroyer may not have seen
            // the claim, so it must not be used.
            if (loadHandle(handle) == e) {
                m_engine = e;
                return;
            }
            g_inUse[m_slot].store(nullptr);
            m_slot = -1;
        }
    }
    ~EngineUse() {
        if (m_slot >= 0) {
            g_inUse[m_slot].store(nullptr);
        }
    }
    EngineUse(const EngineUse&) = delete;
    EngineUse& operator=(const EngineUse&) = delete;

    MeterEngine* get() const { return m_engine; }
    int slot() const { return m_slot; }

private:
    static int claim(MeterEngine* e) {
        for (;;) {
            for (int i = 0; i < kUseSlots; ++i) {
                MeterEngine* expected = nullptr;
                if (g_inUse[i].compare_exchange_strong(expected, e)) {
                    return i;
                }
            }
            std::this_thread::yield();
        }
    }

    MeterEngine* m_engine = nullptr;
    int m_slot = -1;
};

// After the handle was cleared: returns once no user but the caller (its own
// slot, or -1) can still reach the engine. Those users only look at the
// flags under the lock and leave, as the engine is being destroyed.
void waitUntilUnused(MeterEngine* e, int ownSlot) {
    for (int i = 0; i < kUseSlots; ++i) {
        while (i != ownSlot && g_inUse[i].load() == e) {
            std::this_thread::yield();
        }
    }
}

// Below the lower bound (or not a number) gives the lower bound, above the
// upper bound the upper bound.
float clampValue(float v, float lo, float hi) {
    if (!(v >= lo)) {
        return lo;
    }
    return v > hi ? hi : v;
}

void freeDelayLines(MeterEngine* e) {
    for (DelayLine& line : e->delay) {
        line.data.reset();
        line.size = 0;
        line.write = 0;
        line.read = 0;
    }
}

bool allocateDelayLine(DelayLine& line, float sampleRate) {
    const uint32_t size = static_cast<uint32_t>(2.0f + kMeterMaxDelay * sampleRate);
    line.data.reset(new (std::nothrow) float[size]());
    if (!line.data) {
        return false;
    }
    line.size = size;
    line.write = 0;
    line.read = 0;
    return true;
}

float settingsDbOffset() {
    return meterSettingsProvider()->settingsValues().DisplayDbOffset;
}

// Frees everything; `*handle` is cleared first so that a late caller finds no
// engine, and whoever found it earlier is let go first. `ownSlot` is the
// caller's own use of the engine. The lock must not be held.
void destroyNow(MeterEngine** handle, MeterEngine* e, int ownSlot) {
    clearHandle(handle);
    waitUntilUnused(e, ownSlot);
    if (e->hasRenderThread) {
        e->quit.store(1);
        e->frameReady.set();
        e->frameDone.set();
        e->renderThread.join();
        e->hasRenderThread = false;
    }
    if (MeterWindowHost* host = meterWindowHost()) {
        host->engineClosing(e);
    }
    if (MeterWindow* w = e->window.exchange(nullptr)) {
        if (MeterWindowHost* host = meterWindowHost()) {
            host->destroyWindow(w);
        }
    }
    freeDelayLines(e);
    delete e;
    meterSettingsProvider()->releaseSettings();
}

void publishFrame(MeterEngine* e) {
    meterFillFrameInput(*e, e->inputSlots[e->backSlot]);
    e->backSlot = e->middleSlot.exchange(e->backSlot | kMeterFreshBit) & ~kMeterFreshBit;
    e->published.store(1);
    e->frameReady.set();
}

// Synchronous mode: waits until the render thread has taken and finished the
// previous frame. A `frameDone` left set by an older frame (after a switch
// from relax mode) is not mistaken for the newest one. Returns false when the
// engine is being destroyed.
bool waitForRenderThread(MeterEngine* e) {
    for (;;) {
        e->frameDone.wait();
        if (e->quit.load() != 0) {
            return false;
        }
        e->frameDone.reset();
        const bool pending = (e->middleSlot.load() & kMeterFreshBit) != 0;
        if (!pending && e->renderBusy.load() == 0) {
            return true;
        }
    }
}

void frameBoundary(MeterEngine* e) {
    if (e->hasRenderThread) {
        bool handOff = true;
        if (e->relaxMode.load() == 0 && (e->renderBusy.load() != 0 || e->published.load() != 0)) {
            handOff = waitForRenderThread(e);
        }
        if (handOff) {
            e->published.store(0);
            if (e->renderBusy.load() != 0) {
                // Before the device paces the stream, its first blocks come
                // back to back, faster than any display: not an overload.
                if (e->paced.load() != 0) {
                    e->lostFrames.fetch_add(1);
                }
            } else {
                publishFrame(e);
            }
        }
    }
    e->sampleCounter %= e->coeff.samplesPerFrame;
    e->samplesInFrame = 0;
    e->acc[0] = {};
    e->acc[1] = {};
    e->crossSum = 0.0f;
}

void recordPlacement(MeterEngine* e, MeterWindow* window) {
    int32_t rect[4];
    bool haveRect = false;
    if (window) {
        if (MeterWindowHost* host = meterWindowHost()) {
            haveRect = host->windowNormalRect(window, rect) != 0;
        }
    }
    std::lock_guard<std::mutex> guard(e->lock);
    if (window) {
        if (haveRect) {
            std::memcpy(e->params.placement, rect, sizeof rect);
        }
        e->params.placementValid = 1;
    } else {
        e->params.placementValid = 0;
    }
}

} // namespace

void meterFillFrameInput(const MeterEngine& engine, MeterFrameInput& s) {
    const MeterEngine* e = &engine;
    const MeterCoefficients& c = e->coeff;
    s.lostFrames = e->lostFrames.load();
    s.notify = e->notifyLoss.load();
    s.sampleCount = e->samplesInFrame;
    s.window = e->window.load();
    s.channels = e->channels;
    s.rangeStep = c.rangeStep;
    s.displayFlags = c.displayFlags;
    s.rmsOn = c.rmsOn;
    s.peakOn = c.peakOn;
    s.scaleMode = c.scaleMode;
    s.minDb = c.minDb;
    s.maxDb = c.maxDb;
    s.dbOffset = c.dbOffset;
    s.peakRelease = c.peakRelease;
    s.powerRelease = c.powerRelease;
    s.averageRelease = c.averageRelease;
    s.powerAttack = c.powerAttack;
    s.averageAttack = c.averageAttack;
    s.sums[0] = e->acc[0];
    s.sums[1] = e->acc[1];
    s.crossSum = e->crossSum;
    s.phaseStep = e->phaseStep;
    s.levelResetSeq = e->levelResetSeq.load();
    s.holdResetSeq = e->holdResetSeq.load();
    s.maxResetSeq = e->maxResetSeq.load();
    s.loudness.on = 0;
    if (e->loudness && e->loudnessOn.load() != 0) {
        e->loudness->read(s.loudness);
    }
}

ChannelParams meterCreationParams(const MeterSettingsValues& s) {
    ChannelParams p{};
    p.Delay = clampValue(s.Delay, 0.0f, kMeterMaxDelay);
    p.Attack = clampValue(s.Attack, 0.1f, 96.0f);
    p.attackOn = 0;
    p.dbOffsetOn = 0;
    p.displayFlags = kMeterShowBarsAndCorrelator;
    p.rmsOn = 1;
    p.peakOn = 1;
    p.linearScale = 0;
    p.L_MinDB = clampValue(s.L_MinDB, -180.0f, 40.0f);
    p.L_MaxDB = clampValue(s.L_MaxDB, -170.0f, 48.0f);
    p.Max_DBperS = clampValue(s.Max_DBperS, 0.1f, 96.0f);
    p.Moy_DBperS = clampValue(s.Moy_DBperS, 0.1f, 96.0f);
    p.nbFperS = meterUsableFrameRate(s.nbFperS);
    p.PhaseRelease = clampValue(s.PhaseRelease, 0.1f, 30.0f);
    return p;
}

MeterEngine* meterCreate() {
    MeterEngine* e = new (std::nothrow) MeterEngine;
    if (!e) {
        return nullptr;
    }
    e->context.engine = e;
    e->frame.engine = e;
    e->frame.hold[0] = kMeterHoldStart;
    e->frame.hold[1] = kMeterHoldStart;
    e->frame.correlatorPixel = -1;

    MeterSettingsProvider* settings = meterSettingsProvider();
    settings->loadSettings(kSettingsSubKey);
    const MeterSettingsValues values = settings->settingsValues();
    const ChannelParams start = meterCreationParams(values);
    e->params.left = start;
    e->params.right = start;
    std::strncpy(e->params.windowName, kDefaultWindowName, sizeof e->params.windowName - 1);
    e->dbOffsetSetting = values.DisplayDbOffset;

    e->context.alwaysVisible = 1;
    e->notifyLoss.store(1);
    e->relaxMode.store(0);
    e->renderBusy.store(0);
    e->quit.store(0);
    try {
        e->renderThread = std::thread(meterRenderThread, e);
        e->hasRenderThread = true;
    } catch (const std::system_error&) {
        // Without a render thread the engine still measures; nothing is drawn.
        e->hasRenderThread = false;
    }
    return e;
}

int meterSetFormat(MeterEngine** handle, float sampleRate, int channels) {
    const EngineUse use(handle);
    MeterEngine* e = use.get();
    if (!e) {
        return 0;
    }
    // The delay lines hold two seconds: a rate outside this range is no audio
    // format this engine can measure.
    if (!(sampleRate >= 1.0f && sampleRate <= 1.0e6f) || channels < 1) {
        return 0;
    }
    if (sampleRate == e->sampleRate && channels == e->channels) {
        return 1;
    }
    e->sampleRate = sampleRate;
    e->channels = channels;
    freeDelayLines(e);
    e->holdResetSeq.fetch_add(1);
    bool ok = allocateDelayLine(e->delay[0], sampleRate);
    if (ok && channels > 1) {
        ok = allocateDelayLine(e->delay[1], sampleRate);
    }
    try {
        e->loudness = std::make_unique<LiveLoudness>(
            channels > 1 ? 2 : 1, static_cast<uint32_t>(std::lround(sampleRate)));
        e->loudnessSamples = std::make_unique<float[]>(2 * kMeterLoudnessPiece);
        e->loudnessResetSeq.fetch_add(1);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    std::lock_guard<std::mutex> guard(e->lock);
    e->coeffValid = 0;
    if (!ok) {
        freeDelayLines(e);
        // Forget the format, so that asking for it again retries the
        // allocation instead of reporting success without delay lines.
        e->channels = 0;
        return 0;
    }
    meterPrepare(e);
    return 1;
}

void meterRelease(MeterEngine** handle) {
    meterDestroy(handle);
}

void meterDestroy(MeterEngine** handle) {
    const EngineUse use(handle);
    MeterEngine* e = use.get();
    if (!e) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(e->lock);
        if (e->destroying != 0) {
            return;
        }
        if (e->feeding != 0) {
            e->destroyPending = 1;
            return;
        }
        e->destroying = 1;
    }
    destroyNow(handle, e, use.slot());
}

void meterFeed(MeterEngine** handle, const void* samples, uint32_t byteLength) {
    const EngineUse use(handle);
    MeterEngine* e = use.get();
    if (!e || !samples) {
        return;
    }
    const uint32_t stride = e->channels > 1 ? static_cast<uint32_t>(e->channels) : 1u;
    const uint32_t n = byteLength / 2 / stride;
    if (n < 1) {
        return;
    }
    {
        std::unique_lock<std::mutex> guard(e->lock);
        if (e->feeding != 0 || e->destroying != 0) {
            return;
        }
        if (e->destroyPending != 0) {
            e->destroying = 1;
            guard.unlock();
            destroyNow(handle, e, use.slot());
            return;
        }
        if (e->frozen != 0 || e->delay[0].size == 0) {
            return;
        }
        e->feeding = 1;
        if (e->coeffValid == 0) {
            meterPrepare(e);
        }
    }

    e->sampleCounter += n;
    e->samplesInFrame += n;
    // Before the accumulation moves the delay lines on.
    if (e->scopeRing.load(std::memory_order_relaxed)) {
        meterScopeTap(e, static_cast<const unsigned char*>(samples), n, stride);
    }
    meterFeedLoudness(e, static_cast<const unsigned char*>(samples), n, stride);
    meterAccumulate(e, static_cast<const unsigned char*>(samples), n, stride);
    if (e->sampleCounter >= e->coeff.samplesPerFrame) {
        frameBoundary(e);
    }

    std::unique_lock<std::mutex> guard(e->lock);
    e->feeding = 0;
    if (e->destroyPending != 0) {
        e->destroying = 1;
        guard.unlock();
        destroyNow(handle, e, use.slot());
    }
}

int meterIsFeeding(MeterEngine** handle) {
    const EngineUse use(handle);
    MeterEngine* e = use.get();
    if (!e) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(e->lock);
    return e->feeding;
}

void meterResetLevels(MeterEngine** handle) {
    const EngineUse use(handle);
    MeterEngine* e = use.get();
    if (!e) {
        return;
    }
    e->sampleCounter = 0;
    e->samplesInFrame = 0;
    e->lostFrames.store(0);
    e->paced.store(0);
    const int sides = e->channels > 1 ? 2 : 1;
    for (int ch = 0; ch < sides; ++ch) {
        e->acc[ch] = {};
        DelayLine& line = e->delay[ch];
        if (line.data) {
            std::fill(line.data.get(), line.data.get() + line.size, 0.0f);
        }
    }
    e->crossSum = 0.0f;
    e->levelResetSeq.fetch_add(1);
    e->loudnessStartSeq.fetch_add(1);
    e->loudnessResetSeq.fetch_add(1);
    std::lock_guard<std::mutex> guard(e->lock);
    e->coeffValid = 0;
}

void meterStreamPaced(MeterEngine** handle) {
    const EngineUse use(handle);
    if (MeterEngine* e = use.get()) {
        e->paced.store(1);
    }
}

void meterGetParams(MeterEngine* e, MeterParams* out) {
    if (!e || !out) {
        return;
    }
    *out = e->params;
}

void meterSetParams(MeterEngine* e, const MeterParams* params) {
    if (!e || !params) {
        return;
    }
    const float offset = settingsDbOffset();
    std::lock_guard<std::mutex> guard(e->lock);
    e->params = *params;
    e->params.windowName[sizeof e->params.windowName - 1] = '\0';
    e->dbOffsetSetting = offset;
    e->coeffValid = 0;
}

void meterInvalidate(MeterEngine* e) {
    if (!e) {
        return;
    }
    const float offset = settingsDbOffset();
    std::lock_guard<std::mutex> guard(e->lock);
    e->dbOffsetSetting = offset;
    e->coeffValid = 0;
}

void meterGetLossOptions(MeterEngine* e, int* relax, int* notify) {
    if (!e) {
        return;
    }
    if (relax) {
        *relax = e->relaxMode.load();
    }
    if (notify) {
        *notify = e->notifyLoss.load();
    }
}

void meterSetLossOptions(MeterEngine* e, int relax, int notify) {
    if (!e) {
        return;
    }
    e->relaxMode.store(relax);
    e->notifyLoss.store(notify);
    e->lostFrames.store(0);
}

void meterSetFrozen(MeterEngine* e, int frozen) {
    if (!e) {
        return;
    }
    std::lock_guard<std::mutex> guard(e->lock);
    e->frozen = frozen;
}

int meterIsFrozen(MeterEngine* e) {
    if (!e) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(e->lock);
    return e->frozen;
}

void meterSetWindow(MeterEngine* e, MeterWindow* window) {
    if (!e) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(e->lock);
        e->window.store(window);
    }
    recordPlacement(e, window);
}

void meterRecordPlacement(MeterEngine* e, MeterWindow* window) {
    if (!e) {
        return;
    }
    recordPlacement(e, window);
}

MeterWindow* meterGetWindow(MeterEngine* e) {
    return e ? e->window.load() : nullptr;
}

MeterWindowContext* meterWindowContext(MeterEngine* e) {
    return e ? &e->context : nullptr;
}

void meterResetMax(MeterEngine* e) {
    if (!e) {
        return;
    }
    std::lock_guard<std::mutex> guard(e->lock);
    e->maxResetSeq.fetch_add(1);
    e->lostFrames.store(0);
    e->loudnessResetSeq.fetch_add(1);
}

void meterRepaint(MeterEngine* e) {
    if (!e) {
        return;
    }
    MeterWindow* w = e->window.load();
    MeterWindowHost* host = meterWindowHost();
    if (w && host) {
        host->repaintWindow(w);
    }
}

int meterSetScope(MeterEngine* e, int on) {
    if (!e) {
        return 0;
    }
    if (on == 0) {
        e->scopeRing.store(nullptr);
        return 1;
    }
    if (!e->scopeRingStore) {
        e->scopeRingStore.reset(new (std::nothrow) MeterScopeRing);
        if (!e->scopeRingStore) {
            return 0;
        }
    }
    e->scopeRing.store(e->scopeRingStore.get());
    return 1;
}

const MeterScopeRing* meterScopeRing(MeterEngine* e) {
    return e ? e->scopeRing.load() : nullptr;
}
