#include "analysis/analysis_meter.h"

#include "meter/meter_ballistics.h"
#include "meter/meter_engine.h"
#include "meter/meter_hooks.h"
#include "meter/meter_offline.h"
#include "meter/meter_presets.h"
#include "platform/registry_store.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kSettingsKey = "Zandel_Audio\\TRLX\\Meter\\Korvalo Cor";
constexpr const char* kLatencyKey = "Zandel_Audio\\demo";

// Serves fixed values and stores nothing: an analysis never writes the
// program's settings.
class FixedSettingsProvider final : public MeterSettingsProvider {
public:
    void loadSettings(const char*) override {}
    void releaseSettings() override {}
    MeterSettingsValues settingsValues() override { return values; }
    MeterSettingsValues values = kMeterSettingsCompiledDefaults; // set before engines run
};

FixedSettingsProvider g_settings;

} // namespace

// The engine's "window": where the frames of one file go.
struct AnalysisMeter::Collector {
    AnalysisFrameSink sink;
    double rate = 44100.0;
    uint64_t position = 0; // sample frames of the frames processed
    uint64_t frames = 0;
    AnalysisFrame last{};
    float correlationMin = 1.0f;

    void take(const MeterFrame& f) {
        last = analysisFrameOf(f);
        position += f.in.sampleCount;
        ++frames;
        correlationMin = std::min(correlationMin, f.correlation);
        if (sink) {
            sink(last, static_cast<double>(position) / rate);
        }
    }
};

namespace {

class CollectingRenderer final : public MeterFrameRenderer {
public:
    void renderFrame(MeterFrame& frame) override {
        if (frame.in.window) {
            reinterpret_cast<AnalysisMeter::Collector*>(frame.in.window)->take(frame);
        }
    }
};

CollectingRenderer g_renderer;

float storedFloat(const char* key, const char* name, float fallback) {
    float v = fallback;
    return regReadFloat(key, name, &v) == 1 ? v : fallback;
}

// A scale value of the meter as decibels: dB already on the dB scale, an
// amplitude on the linear one; the silence value -200 as -infinity.
double scaleToDb(float v, int32_t scaleMode) {
    if (scaleMode != 0) {
        return analysisAmplitudeDb(v);
    }
    return v <= kMeterSilenceDb ? -std::numeric_limits<double>::infinity() : v;
}

double shownToDb(float v) {
    return v <= kMeterSilenceDb ? -std::numeric_limits<double>::infinity() : v;
}

} // namespace

const char* analysisPresetName(int row) {
    static const char* const kNames[kMeterPresetCount] = {"default", "digital-vu", "analog-vu"};
    return row >= 0 && row < kMeterPresetCount ? kNames[row] : "";
}

int analysisPresetRow(const std::string& name) {
    std::string n;
    for (char c : name) {
        n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (n.rfind("preset : ", 0) == 0) {
        n = n.substr(9);
    }
    std::replace(n.begin(), n.end(), ' ', '-');
    for (int row = 0; row < kMeterPresetCount; ++row) {
        if (n == analysisPresetName(row)) {
            return row;
        }
    }
    return -1;
}

double analysisAmplitudeDb(double a) {
    return a > 0.0 ? 20.0 * std::log10(a) : -std::numeric_limits<double>::infinity();
}

AnalysisFrame analysisFrameOf(const MeterFrame& f) {
    AnalysisFrame a{};
    a.sampleCount = f.in.sampleCount;
    const int count = f.in.channels > 1 ? 2 : 1;
    for (int ch = 0; ch < count; ++ch) {
        a.levels[ch] = f.levels[ch];
        a.reading[ch] = f.reading[ch];
    }
    a.correlation = count > 1 ? f.correlation : 0.0f;
    a.channels = count;
    a.scaleMode = f.in.scaleMode;
    a.peakOn = f.in.peakOn;
    return a;
}

MeterSettingsValues analysisStoredSettings() {
    MeterSettingsValues v = kMeterSettingsCompiledDefaults;
    // Only what the engine takes from the settings.
    const struct {
        const char* name;
        float* field;
    } floats[] = {{"L_MinDB", &v.L_MinDB},
                  {"L_MaxDB", &v.L_MaxDB},
                  {"Max_DBperS", &v.Max_DBperS},
                  {"Moy_DBperS", &v.Moy_DBperS},
                  {"Delay", &v.Delay},
                  {"Attack", &v.Attack},
                  {"PhaseRelease", &v.PhaseRelease},
                  {"DisplayDbOffset", &v.DisplayDbOffset}};
    for (const auto& f : floats) {
        *f.field = storedFloat(kSettingsKey, f.name, *f.field);
    }
    int32_t fps = v.nbFperS;
    if (regReadValue(kSettingsKey, "nbFperS", &fps, sizeof fps) == 1) {
        v.nbFperS = std::min(fps, kMeterMaxFrameRate);
    }
    return v;
}

float analysisStoredLatency() {
    const float stored = storedFloat(kLatencyKey, "LatencyTime", 0.1f);
    // The program itself uses only stored values in its menu's range.
    return stored >= 0.02f && stored <= 0.2f ? stored : 0.1f;
}

void analysisInstallHooks(const MeterSettingsValues& settings, const AnalysisOptions& options) {
    g_settings.values = settings;
    if (options.preset == kMeterPresetAnalogVu) {
        g_settings.values.DisplayDbOffset = kMeterPresetAnalogDbOffset;
    }
    meterInstallSettingsProvider(&g_settings);
    meterInstallFrameRenderer(&g_renderer);
}

uint32_t analysisBlockFrames(uint32_t sampleRate, float latencySeconds) {
    // As the wave device sizes its buffers: the product rounded to a float,
    // truncated, then whole groups of four frames.
    const float product = static_cast<float>(sampleRate) * latencySeconds;
    uint32_t frames = 0;
    if (product >= 1.0f) {
        frames = product < 16777216.0f ? static_cast<uint32_t>(std::floor(product)) : 16777216u;
    }
    frames /= 4;
    return (frames == 0 ? 1 : frames) * 4;
}

AnalysisMeter::AnalysisMeter(uint32_t sampleRate, int channels, const AnalysisOptions& options,
                             const AnalysisFrameSink& sink)
    : m_collector(std::make_unique<Collector>()), m_rate(sampleRate), m_channels(channels),
      m_blockFrames(analysisBlockFrames(sampleRate, options.latencySeconds)) {
    m_collector->sink = sink;
    m_collector->rate = sampleRate;
    m_pad.assign(static_cast<size_t>(m_blockFrames) * static_cast<size_t>(channels), 0);
    m_engine = meterCreateOffline();
    if (!m_engine || meterSetFormat(&m_engine, static_cast<float>(sampleRate), channels) != 1) {
        meterReleaseOffline(&m_engine);
        return;
    }
    // As the meter window's preset and frame-rate commands do.
    MeterParams p;
    meterGetParams(m_engine, &p);
    if (options.preset >= 0 && options.preset < kMeterPresetCount) {
        p.left = p.right = meterPresetFor(options.preset, p.left);
    }
    if (options.fps > 0) {
        p.left.nbFperS = options.fps;
    }
    if (options.preset >= 0 || options.fps > 0) {
        meterSetParams(m_engine, &p);
    }
    m_fps = meterUsableFrameRate(p.left.nbFperS);
    m_mode = (p.left.peakOn & 1) != 0  ? AnalysisMode::Peak
             : (p.left.rmsOn & 1) != 0 ? AnalysisMode::Rms
                                       : AnalysisMode::Average;
    // The engine clamps the delay to 0..2 s and the ring to its length.
    const float delay = std::max(p.left.Delay, channels > 1 ? p.right.Delay : 0.0f);
    m_delayFrames =
        delay > 0.0f
            ? static_cast<uint64_t>(static_cast<double>(sampleRate) * std::min(delay, 2.0f))
            : 0;
    // As Play does before the stream starts.
    meterResetLevels(&m_engine);
    meterSetWindow(m_engine, reinterpret_cast<MeterWindow*>(m_collector.get()));
}

AnalysisMeter::~AnalysisMeter() {
    if (m_engine) {
        meterSetWindow(m_engine, nullptr);
        meterReleaseOffline(&m_engine);
    }
}

void AnalysisMeter::feed(const int16_t* samples, uint32_t frames) {
    if (!m_engine || frames == 0) {
        return;
    }
    const size_t stride = static_cast<size_t>(m_channels);
    const int16_t* block = samples;
    if (frames < m_blockFrames) {
        std::copy(samples, samples + frames * stride, m_pad.begin());
        std::fill(m_pad.begin() + static_cast<ptrdiff_t>(frames * stride), m_pad.end(), 0);
        block = m_pad.data();
    }
    meterFeed(&m_engine, block, static_cast<uint32_t>(m_blockFrames * stride * 2));
    meterProcessPublished(m_engine);
    m_fed += m_blockFrames;
    if (frames < m_blockFrames) {
        std::fill(m_pad.begin(), m_pad.end(), 0);
    }
}

void AnalysisMeter::finish(uint64_t fileFrames, FileAnalysis& out) {
    out.mode = m_mode;
    out.fps = m_fps;
    if (!m_engine) {
        return;
    }
    // The file's last sample leaves the delay line `delay` frames after it
    // went in; the frame holding it is published at the next boundary.
    const uint64_t lastMeasured = fileFrames > 0 ? fileFrames + m_delayFrames : 0;
    std::fill(m_pad.begin(), m_pad.end(), 0);
    while (m_fed - meterUnpublishedFrames(m_engine) < lastMeasured) {
        feed(m_pad.data(), m_blockFrames);
    }
    meterSetWindow(m_engine, nullptr);
    meterReleaseOffline(&m_engine);

    const Collector& c = *m_collector;
    out.meterFrames = c.frames;
    const AnalysisFrame& f = c.last;
    const double inf = std::numeric_limits<double>::infinity();
    for (int ch = 0; ch < m_channels && ch < 2; ++ch) {
        AnalysisChannel& o = out.channel[ch];
        if (c.frames == 0) {
            o.meterMaxPeakDb = o.rangeHighDb = o.rangeLowDb = -inf;
            o.meterMaxLevelDb = m_mode == AnalysisMode::Peak ? std::nan("") : -inf;
            o.rangeDb = 0.0;
            continue;
        }
        const MeterReading& r = f.reading[ch];
        o.meterMaxPeakDb = shownToDb(r.shownMaxPeak);
        o.meterMaxLevelDb =
            m_mode == AnalysisMode::Peak ? std::nan("") : shownToDb(r.shownMaxLevel);
        o.rangeHighDb = scaleToDb(r.rangeHigh, f.scaleMode);
        o.rangeLowDb = scaleToDb(r.rangeLow, f.scaleMode);
        o.rangeDb = r.rangeNumber;
    }
    out.correlationMin = m_channels > 1 ? (c.frames > 0 ? c.correlationMin : 0.0) : std::nan("");
}
