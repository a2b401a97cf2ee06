// Offline analysis of whole files: what the meter window would have shown for
// a file played from start to end, plus whole-file levels, loudness and true
// peak.
//
// One file is read in blocks of the live stream's length (never whole), and
// each block goes three ways: the whole-file statistics on the reading
// thread, the meter engine of the live program (meterFeed on a feeding
// thread, each frame through the render thread's steps right after the feed that
// published it) and, when asked
// for, the loudness unit on a loudness and a true-peak thread. The blocks travel through a small
// fixed ring, so memory stays flat whatever the file's length.
//
// Threads: analyzeFile may run on several threads at once, one file each.
// The engine reaches the analysis through the meter hooks: the analysis
// installs its own settings provider and frame renderer (analysisInstallHooks)
// and tags each engine with its collector as the engine's "window", so the
// one renderer knows which file a frame belongs to.
#pragma once

#include "meter/meter_engine.h"
#include "meter/meter_frame.h"
#include "meter/meter_settings_values.h"

#include <cstdint>
#include <functional>
#include <string>

// How the meter is set up for the analysis.
struct AnalysisOptions {
    int preset = -1;             // preset row of the meter window (0..2), -1 for none
    int fps = 0;                 // display frames per second; 0 keeps the stored value
    bool loudness = true;        // integrated loudness, range, maxima and true peak
    float latencySeconds = 0.1f; // the live stream's block length (the stored latency)
};

// The level the bar shows: the peak, or the RMS or average level.
enum class AnalysisMode { Peak, Rms, Average };

// Figures of one channel. Decibel values are -infinity for silence.
struct AnalysisChannel {
    double samplePeakDb = 0;    // largest absolute sample, dBFS
    double truePeakDb = 0;      // oversampled peak (4x below 96 kHz, 2x below 192 kHz), dBTP
    double rmsDb = 0;           // RMS over the whole file, dBFS (a full-scale sine: -3.01)
    uint64_t clipped = 0;       // samples in runs of two or more at full scale
    uint64_t clipRuns = 0;      // such runs
    double meterMaxPeakDb = 0;  // the meter's peak maximum at the end
    double meterMaxLevelDb = 0; // the meter's RMS/average maximum (NaN in peak mode)
    double rangeHighDb = 0;     // the range bracket in the last frame
    double rangeLowDb = 0;
    double rangeDb = 0; // the range number the meter prints
};

struct FileAnalysis {
    std::string path;
    std::string error;        // empty when the file was analysed
    std::string warning;      // figures given, but the file is damaged (data cut short)
    std::string container;    // "WAV", "FLAC", ...
    std::string sampleFormat; // "PCM 16-bit", "float 32-bit", ...
    int sampleRate = 0;
    int channels = 0;
    uint64_t frames = 0;           // sample frames read
    uint64_t nonFiniteSamples = 0; // NaN and infinite samples, measured as silence
    double durationSeconds = 0;
    AnalysisChannel channel[2];
    AnalysisMode mode = AnalysisMode::Peak;
    int fps = 0;                // display frames per second used
    uint64_t meterFrames = 0;   // display frames the meter produced
    double correlationMean = 0; // sum L x R over sqrt(sum L^2 x sum R^2), whole file (NaN mono)
    double correlationMin = 0;  // lowest correlator reading of the meter (NaN mono)
    bool hasLoudness = false;   // the loudness and true-peak figures below are valid
    double integratedLufs = 0;  // -inf when everything is gated out
    double loudnessRangeLu = 0;
    double momentaryMaxLufs = 0; // highest 400 ms loudness
    double shortTermMaxLufs = 0; // highest 3 s loudness
    uint32_t overruns = 0;       // a live input: times recorded audio was lost
};

// What the meter shows in one display frame, as the renderer gets it.
struct AnalysisFrame {
    uint32_t sampleCount;    // sample frames in the frame
    MeterLevels levels[2];   // ballistic state (before the release step)
    MeterReading reading[2]; // bar, peak, maxima and range; right is zero for mono
    float correlation;       // displayed correlation
    int32_t channels;        // 1 mono, 2 stereo
    int32_t scaleMode;       // 0 dB, 1 linear
    int32_t peakOn;
};
AnalysisFrame analysisFrameOf(const MeterFrame& frame);

// Called on the feeding thread for every frame of one file, with the
// time (seconds of fed audio) at the frame's end.
using AnalysisFrameSink = std::function<void(const AnalysisFrame&, double)>;

// Called on the reading thread with the bytes read so far (progress).
using AnalysisProgress = std::function<void(uint64_t)>;

// The display settings the live program would start with: the stored values,
// the compiled-in defaults where none is stored. And its stream latency.
MeterSettingsValues analysisStoredSettings();
float analysisStoredLatency();

// Installs the analysis's settings provider (serving `settings`, never
// saving; the analog preset's zero-point offset of 7 dB applied as the meter
// window applies it) and frame renderer. Call before analyzeFile with the
// same options, while no engine runs.
void analysisInstallHooks(const MeterSettingsValues& settings, const AnalysisOptions& options);

// Preset rows by name: "default", "digital-vu", "analog-vu" or the menu text
// ("PRESET : Analog VU"), any case; -1 when unknown.
int analysisPresetRow(const std::string& name);
const char* analysisPresetName(int row);

// Analyses one file. Never throws; a file that cannot be read comes back with
// `error` set.
FileAnalysis analyzeFile(const std::string& path, const AnalysisOptions& options,
                         const AnalysisFrameSink& frames = {},
                         const AnalysisProgress& progress = {});

// Decibels of an amplitude (20 log10) or of a power (10 log10): -inf for 0.
double analysisAmplitudeDb(double amplitude);
