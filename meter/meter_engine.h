// The meter engine: the one object shared by the main (window) thread, the
// stream thread and the render thread that the engine owns.
//
// An engine is handled through a pointer variable that its owner keeps; the
// "engine handle" arguments below are the address of that variable, so that a
// destruction (possibly deferred to the end of a block being fed on the stream
// thread) can clear it. While a stream thread may be feeding, the owner reads
// its variable only through these functions, which access it atomically. An
// operation that takes the handle may run on one thread while another
// releases the engine: destruction waits until such an operation has let go.
//
// Threads, in short:
//   main   : meterCreate, meterSetFormat, meterRelease, the parameter, window,
//            loss, freeze and reset operations.
//   stream : meterIsFeeding, meterFeed (never allocates; takes the engine lock
//            only briefly at the start and the end of a block; in synchronous
//            mode it may wait for the render thread to finish a frame).
//   render : owned by the engine; started by meterCreate, ended by meterDestroy.
//
// Results follow the program's convention: 1 for success, 0 for failure; a
// missing engine makes every operation return quietly.
#pragma once

#include <cstdint>

struct MeterEngine;
class MeterScopeRing;

// The meter window as the engine sees it: an identity that the display layer
// defines and resolves. The engine never dereferences it.
struct MeterWindow;

// One channel's measuring parameters; 14 fields of 32 bits in this order
// (the preset rows share the layout).
struct ChannelParams {
    float Delay;          // sync delay in seconds between the fed and the measured signal
    float Attack;         // attack rate, dB per second
    int32_t attackOn;     // attack limiting on
    int32_t dbOffsetOn;   // display levels shifted by the display zero-point offset
    int32_t displayFlags; // bit 0: level bars shown; bit 28: phase correlator shown (stereo)
    int32_t rmsOn;        // bit 0: the level measure is RMS; clear: average of absolute values
    int32_t peakOn;       // bit 0: the bar shows the peak level instead of RMS or average
    int32_t linearScale;  // 0: dB scale, exponential ballistics; else linear scale and ballistics
    float L_MinDB;        // bottom of the level scale, dB
    float L_MaxDB;        // top of the level scale, dB
    float Max_DBperS;     // peak release, dB per second
    float Moy_DBperS;     // RMS and average release, dB per second
    int32_t nbFperS;      // display frames per second
    float PhaseRelease;   // correlator release, correlation units per second
};
static_assert(sizeof(ChannelParams) == 56, "ChannelParams is 14 fields of 32 bits");

// The longest sync delay, seconds: the delay lines hold this much.
inline constexpr float kMeterMaxDelay = 2.0f;

inline constexpr int32_t kMeterShowBars = 0x00000001;
inline constexpr int32_t kMeterShowCorrelator = 0x10000000;
inline constexpr int32_t kMeterShowBarsAndCorrelator = kMeterShowBars | kMeterShowCorrelator;

// The block that the control panel and the meter window copy out and write
// back whole.
struct MeterParams {
    char windowName[32];    // caption and title of the meter window, always terminated
    int32_t placementValid; // 1 while the meter window is open and `placement` is current
    int32_t placement[4];   // left, top, right, bottom of the window's normal rectangle
    ChannelParams left;     // drives the measurement and the display
    ChannelParams right;    // only its Delay is used (the right channel's sync delay)
};

// Per-window state of the meter window, kept inside the engine so that it
// lives as long as the engine. Main thread only.
struct MeterWindowContext {
    MeterEngine* engine;   // back pointer
    int32_t alwaysVisible; // "Always Visible": 1 at engine creation
    void* controlPanel;    // the main window's control panel while it exists, else null
    void* display;         // the display layer's own per-window state (menus, drag
                           // helper, open dialog); owned and freed by the display
};

// ---- Life cycle (main thread) ---------------------------------------------

// Creates an engine for 44100 Hz: loads the display settings (through the
// installed settings provider), builds both channel parameter sets from them
// with the engine's clamps, and starts the render thread. Returns null when
// the record cannot be allocated.
MeterEngine* meterCreate();

// Sets the sample rate and channel count (1 mono, 2 stereo; more channels are
// read as their first two), allocates the delay lines and prepares the
// coefficients. Setting the current format again changes nothing. Returns 0
// for a missing engine, an unusable format or a failed allocation.
int meterSetFormat(MeterEngine** engine, float sampleRate, int channels);

// Destroys the engine, or defers that to the end of the block being fed when
// the stream thread is inside meterFeed. Either way `*engine` becomes null
// once the engine is gone.
void meterRelease(MeterEngine** engine);

// Stops the render thread, closes the meter window through the installed
// window host, frees the engine, clears `*engine` and releases the display
// settings. Called by meterRelease and by the feed that ends a deferred
// release; called directly while a block is being fed it defers like
// meterRelease.
void meterDestroy(MeterEngine** engine);

// ---- Feeding (stream thread) -----------------------------------------------

// Accumulates one block of interleaved 16-bit little-endian samples (left
// first) and publishes a display frame at each frame boundary. Ignored while
// frozen, re-entrant, or for blocks shorter than one sample frame. Never
// allocates; may wait for the render thread in synchronous mode.
void meterFeed(MeterEngine** engine, const void* samples, uint32_t byteLength);

// The `feeding` flag read under the engine lock; 0 when there is no engine.
int meterIsFeeding(MeterEngine** engine);

// Zeroes the counters, accumulators, delay line contents, lost-frame count,
// display levels and correlation; the coefficients are prepared again before
// the next block. Call only while no stream thread is feeding (Play, before
// the stream starts). Until meterStreamPaced, frames dropped in relax mode are
// not counted as lost: the stream's first blocks are fed back to back, before
// the device paces them.
void meterResetLevels(MeterEngine** engine);

// The stream thread's device has begun pacing the blocks at the speed of
// playback: from now on a frame dropped in relax mode counts as lost.
void meterStreamPaced(MeterEngine** engine);

// ---- Parameters and state (main thread) ------------------------------------

// Copies the parameter block out (no lock: its only writer is the main thread).
void meterGetParams(MeterEngine* engine, MeterParams* out);

// Replaces the parameter block under the lock; the new values take effect at
// the start of the next fed block. Also takes the current display zero-point
// offset from the settings.
void meterSetParams(MeterEngine* engine, const MeterParams* params);

// Makes the next block prepare the coefficients again (after the display
// settings changed); takes the current display zero-point offset.
void meterInvalidate(MeterEngine* engine);

void meterGetLossOptions(MeterEngine* engine, int* relax, int* notify);
// Sets relax mode and the loss warning, and sets the lost-frame count to 0.
void meterSetLossOptions(MeterEngine* engine, int relax, int notify);

void meterSetFrozen(MeterEngine* engine, int frozen);
int meterIsFrozen(MeterEngine* engine);

// Stores the meter window (or none); for a window it records the window's
// normal rectangle in `placement` and sets `placementValid` to 1, for none it
// sets `placementValid` to 0.
void meterSetWindow(MeterEngine* engine, MeterWindow* window);
// As meterSetWindow without touching the stored window.
void meterRecordPlacement(MeterEngine* engine, MeterWindow* window);
MeterWindow* meterGetWindow(MeterEngine* engine);
MeterWindowContext* meterWindowContext(MeterEngine* engine);

// "Reset Max detection": both maxima of both channels back to -200 (applied
// by the render thread before its next frame) and the lost-frame count to 0.
void meterResetMax(MeterEngine* engine);

// Asks the open meter window, if any, for a full repaint.
void meterRepaint(MeterEngine* engine);

// The X/Y scope: with `on` 1, every fed block's sample pairs after the sync
// delay go into the engine's scope ring (made on the first call), with 0 they
// stop. Returns 0 when the ring cannot be made. Main thread.
int meterSetScope(MeterEngine* engine, int on);
// The scope ring while the scope is on, else null. Any thread; the ring lives
// as long as the engine.
const MeterScopeRing* meterScopeRing(MeterEngine* engine);
// ---- Loudness (main thread) ------------------------------------------------

// Measures the loudness and true peak of the delayed samples (the ones the
// bars show) or stops doing so. Turned on, it starts from nothing, and every
// published frame carries its reading (`MeterFrameInput::loudness`).
void meterSetLoudness(MeterEngine* engine, int on);
int meterLoudnessOn(MeterEngine* engine);
// Starts the integration, the range and the maxima again at the next block.
// After meterResetLevels the silence the delay lines were cleared to is left
// out: the measurement starts with the first sample fed after it.
// "Reset Max detection" (meterResetMax) and meterResetLevels do it too.
void meterResetLoudness(MeterEngine* engine);
