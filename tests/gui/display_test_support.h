// Shared by the meter display tests: a frame with nothing to show, and a
// running engine with the settings and window hooks the program installs.
#pragma once

#include "controls/ctl_core.h"
#include "display/meter_window.h"
#include "meter/meter_engine.h"
#include "meter/meter_frame.h"
#include "options/meter_settings_provider.h"

#include <QApplication>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

// Both channels far below any scale, peak levels on, a -60..+6 dB range, the
// loss warning enabled.
inline MeterFrame silentFrame(int32_t displayFlags) {
    MeterFrame f{};
    f.in.channels = 2;
    f.in.displayFlags = displayFlags;
    f.in.peakOn = 1;
    f.in.minDb = -60;
    f.in.maxDb = 6;
    f.in.notify = 1;
    f.hold[0] = f.hold[1] = kMeterHoldStart;
    f.correlatorPixel = -1;
    for (MeterReading& r : f.reading)
        r = {-200, -200, -200, -200, -200, -200, 0, 0};
    return f;
}

class MeterEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ctlInitialize("Korvalo Cor.");
        optionsInstallSettingsProvider();
        displayInstallHooks();
    }
    static void TearDownTestSuite() {
        displayRemoveHooks();
        ctlShutdown();
    }
    void SetUp() override {
        engine = meterCreate();
        ASSERT_EQ(meterSetFormat(&engine, 44100.0f, 2), 1);
    }
    void TearDown() override {
        meterWindowSetHooks({});
        if (engine)
            meterRelease(&engine);
        EXPECT_EQ(engine, nullptr);
    }

    MeterParams params() const {
        MeterParams p{};
        meterGetParams(engine, &p);
        return p;
    }
    // One 4410-frame block (a frame at 10 per second): a full-scale sine on
    // the left when `loud`, silence on the right.
    void feed(bool loud, int blocks = 1) {
        std::vector<int16_t> block(2 * 4410, 0);
        for (int i = 0; i < 4410 && loud; ++i)
            block[2 * i] = static_cast<int16_t>(32767.0 * std::sin(i * 2.0 * M_PI * 441 / 44100));
        for (int b = 0; b < blocks; ++b)
            meterFeed(&engine, block.data(), static_cast<uint32_t>(block.size() * 2));
    }
    // Lets the window take the render thread's rings and repaint.
    static void settle(MeterWindow* w) {
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        w->paintStaticNow();
    }

    MeterEngine* engine = nullptr;
};
