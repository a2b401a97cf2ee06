// The three ways the engine reaches the rest of the program without knowing
// it: the display settings, the frame renderer and the meter window. The
// options and display layers implement them; the application installs them at
// start-up, before meterCreate, and removes them (null) after the last engine
// is gone. Installation is atomic, but an implementation must stay alive while
// any engine may call it.
#pragma once

#include "meter/meter_settings_values.h"

#include <cstdint>

struct MeterEngine;
struct MeterFrame;
struct MeterWindow;

// The live display settings. Called on the thread that creates or destroys an
// engine (the main thread; the stream thread only when a release was deferred
// to the end of a fed block, so an implementation that must save on the main
// thread hands that release over and returns).
class MeterSettingsProvider {
public:
    virtual ~MeterSettingsProvider() = default;
    // Takes a reference on the settings, loading them on the first one.
    virtual void loadSettings(const char* subKey) = 0;
    // Drops a reference; the last one saves the settings.
    virtual void releaseSettings() = 0;
    // A copy of the live values.
    virtual MeterSettingsValues settingsValues() = 0;
};

// Draws the moving parts of one frame. Called on the render thread between
// the attack and the release steps; must not wait on the main thread.
class MeterFrameRenderer {
public:
    virtual ~MeterFrameRenderer() = default;
    virtual void renderFrame(MeterFrame& frame) = 0;
};

// The meter window as the engine needs it.
class MeterWindowHost {
public:
    virtual ~MeterWindowHost() = default;
    // The window's normal (restored) rectangle: left, top, right, bottom
    // (right and bottom inclusive). Returns 1 on success. Main thread.
    virtual int windowNormalRect(MeterWindow* window, int32_t rect[4]) = 0;
    // Invalidates the whole window, background erased. Main thread.
    virtual void repaintWindow(MeterWindow* window) = 0;
    // Closes the window when its engine is destroyed; the main thread, or the
    // stream thread when the destruction was deferred to the end of a block.
    virtual void destroyWindow(MeterWindow* window) = 0;
    // The engine is going (its render thread has ended): the display's other
    // windows that follow it let go of it. Same threads as destroyWindow.
    virtual void engineClosing(MeterEngine* engine) { (void)engine; }
};

void meterInstallSettingsProvider(MeterSettingsProvider* provider);
void meterInstallFrameRenderer(MeterFrameRenderer* renderer);
void meterInstallWindowHost(MeterWindowHost* host);

// The installed provider, or a built-in one that serves the compiled-in
// defaults and stores nothing (a meter without the options module).
MeterSettingsProvider* meterSettingsProvider();
// The installed renderer or host, or null.
MeterFrameRenderer* meterFrameRenderer();
MeterWindowHost* meterWindowHost();
