// Damaged settings files: every value is bounded where it is loaded, and a
// damaged value reads as its default while the rest of the file still reads.
#include "analysis/analysis.h"
#include "controls/ctl_core.h"
#include "controls/ctl_text.h"
#include "display/window_placement.h"
#include "options/meter_settings.h"
#include "platform/registry_store.h"

#include <QString>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

const std::string kMeter = "[Zandel_Audio\\TRLX\\Meter\\Korvalo Cor]\n";
const std::string kCtl = "[Zandel_Audio\\QK2CTL\\Korvalo Cor.]\n";
const std::string kWindow = "[Zandel_Audio\\TRLX\\Korvalo Cor.]\n";

template <class... A> std::string text(const char* format, A... a) {
    return QString::asprintf(format, a...).toStdString();
}

// name=binary:size:hex of the bytes of `v`.
template <class T> std::string line(const char* name, const T& v) {
    std::string s = text("%s=binary:%zu:", name, sizeof v);
    for (size_t i = 0; i < sizeof v; ++i)
        s += text("%02x", reinterpret_cast<const unsigned char*>(&v)[i]);
    return s + "\n";
}

std::string edges(int x0, int y0, int x1, int y1) {
    return kWindow + line("Window x0", x0) + line("Window y0", y0) + line("Window x1", x1) +
           line("Window y1", y1);
}

std::string context(const TimeContext& c) {
    return kCtl + line("Dial_tCtx", c);
}

// What every load path made of the file.
struct Loaded {
    MeterSettingsValues meter, analysis;
    CtlOptions ctl;
    WindowRect window;
};

Loaded loadAll(const std::string& file) {
    std::filesystem::create_directories(std::filesystem::path(regStorePath()).parent_path());
    FILE* f = std::fopen(regStorePath().c_str(), "w");
    std::fputs(file.c_str(), f);
    std::fclose(f);
    Loaded l;
    LoadMeterSettings("Korvalo Cor");
    l.meter = *GetMeterSettings();
    l.analysis = analysisStoredSettings();
    ctlInitialize("Korvalo Cor.");
    l.ctl = ctlOptions();
    int32_t stored[4], placement[4] = {};
    l.window = meterInitialPlacement(1920, 1080, meterReadStoredPosition(stored) ? stored : nullptr,
                                     0, placement, {0, 0, 1920, 1080});
    ReleaseMeterSettings();
    ctlShutdown();
    return l;
}

// Frame rates (meter, analysis), dbHead, L_MaxDB (meter, analysis), the
// knob mode and latency.
std::string numbers(const Loaded& l) {
    return text("%d %d %g %g %g %u %u", l.meter.nbFperS, l.analysis.nbFperS, l.meter.dbHead,
                l.meter.L_MaxDB, l.analysis.L_MaxDB, l.ctl.rotMode, l.ctl.rotLatency);
}
std::string window(const Loaded& l) {
    return text("%d,%d %dx%d", l.window.x, l.window.y, l.window.width, l.window.height);
}
// Every field, and a position typed with them (where 32-bit arithmetic on
// the tick resolution would overflow).
std::string timeContext(const Loaded& l) {
    const TimeContext& c = l.ctl.timeContext;
    std::string notes;
    for (uint16_t n : c.notes)
        notes += n == 0xFFFF ? "-" : std::to_string(n);
    const float ms =
        ctlParseBarBeatTick("2 / 1 / 0", c.tempo, c.ticksPerQuarter, c.beatsPerBar, c.beatUnit);
    return text("%s %u %d %g %u %u %d %d %d %d %g %g", notes.c_str(), c.reserved0, c.replaceMode,
                c.tempo, c.lastField, c.reserved1, c.sampleRate, c.ticksPerQuarter, c.beatsPerBar,
                c.beatUnit, c.framesPerSecond, ms);
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

TEST(StoredValues, EveryDamagedValueIsBoundedWhereItIsLoaded) {
    const struct {
        std::string file;
        std::string (*probe)(const Loaded&);
        std::string loaded;
    } rows[] = {
        // A value shorter than its variable is missing, not the low bytes of the default.
        {kMeter + "nbFperS=binary:2:ffff\n", numbers, "10 10 -12 6 6 1 0"},
        {kMeter + "dbHead=binary:2:3412\n", numbers, "10 10 -12 6 6 1 0"},
        {kCtl + "Rot_Latency=binary:2:2c01\n", numbers, "10 10 -12 6 6 1 0"},
        // Frame rates above what the menu offers; the low end is left to the engine.
        {kMeter + line("nbFperS", 100000), numbers, "30 30 -12 6 6 1 0"},
        {kMeter + line("nbFperS", 0), numbers, "0 0 -12 6 6 1 0"},
        // Window rectangles too small to find again give the right-edge default.
        {edges(100, 100, 100, 100), window, "1740,0 180x1080"},
        {edges(0, 0, 2, 990), window, "1740,0 180x1080"},
        {edges(5, 5, 299, 399) + "Window x0=binary:0:\nWindow y0=binary:0:\n", window,
         "1740,0 180x1080"},
        {edges(100, 100, 106, 106), window, "100,100 7x7"},
        // The time entry context, field by field.
        {context({{3, 99, 4, 0xFFFF, 7}, 5, 7, -5.0f, 999, 9, -1, 2147483647, 0, 2, kNaN}),
         timeContext, "3---- 0 0 0 10 0 44100 99999 1 2 25 0"},
        {context({{15, 1, 2, 3, 4}, 0, 1, kInf, 1, 0, 2147483647, -7, 1000, 32, -kInf}),
         timeContext, "----- 0 1 120 10 0 2147483647 1 64 4 25 32000"},
        {context({{14, 0, 0xFFFF, 0xFFFF, 0xFFFF}, 0, 0, 93.5f, 62, 0, 48000, 480, 3, 8, 1e30f}),
         timeContext, "140--- 0 0 93.5 62 0 48000 480 3 8 1e+30 962.567"},
        // Knob mode: only its two bits.
        {kCtl + line("Rot_Mode", 7), numbers, "10 10 -12 6 6 3 0"},
        // Floats that are no number read as their defaults; the others still read.
        {kMeter + line("dbHead", kNaN) + line("L_MaxDB", kInf), numbers, "10 10 -12 6 6 1 0"},
        {kMeter + line("dbHead", -kInf) + line("L_MaxDB", 3.0f), numbers, "10 10 -12 3 3 1 0"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.probe(loadAll(row.file)), row.loaded) << row.file;
}
