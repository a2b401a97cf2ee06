// EngineOwner: the program's one meter engine, created at the shell's start-up
// step 8 (44100 Hz stereo) and released at its shut-down, or at the latest when
// the owner goes. The transport feeds the engine through slot(), which stays
// valid for the owner's life.
//
// Thread: main thread only.
#pragma once

#include "app/shell_parts.h"
#include "meter/meter_engine.h"

class EngineOwner final : public ShellEngine {
public:
    EngineOwner() = default;
    EngineOwner(const EngineOwner&) = delete;
    EngineOwner& operator=(const EngineOwner&) = delete;
    ~EngineOwner() override { releaseEngine(); }

    bool createEngine() override {
        m_engine = meterCreate();
        if (m_engine && meterSetFormat(&m_engine, 44100.0f, 2) == 1)
            return true;
        meterRelease(&m_engine);
        return false;
    }
    void releaseEngine() override { meterRelease(&m_engine); }

    MeterEngine* get() const { return m_engine; }
    // The engine variable itself, for those that follow its replacement.
    MeterEngine** slot() { return &m_engine; }

private:
    MeterEngine* m_engine = nullptr;
};
