// The meter part of one file's analysis: an engine of the live program fed
// block by block, its frames collected from its render thread.
#pragma once

#include "analysis/analysis.h"

#include <cstdint>
#include <memory>
#include <vector>

struct MeterEngine;

// The live stream's block length for a rate and latency: the wave device's
// rounding (a whole number of 4-frame groups, at least one).
uint32_t analysisBlockFrames(uint32_t sampleRate, float latencySeconds);

class AnalysisMeter {
public:
    AnalysisMeter(uint32_t sampleRate, int channels, const AnalysisOptions& options,
                  const AnalysisFrameSink& sink);
    ~AnalysisMeter();
    AnalysisMeter(const AnalysisMeter&) = delete;
    AnalysisMeter& operator=(const AnalysisMeter&) = delete;

    // False when the engine could not be made (then nothing is fed).
    bool ok() const { return m_engine != nullptr; }
    uint32_t blockFrames() const { return m_blockFrames; }

    // One block of interleaved 16-bit samples, at most blockFrames() frames;
    // a shorter (last) block is completed with silence, as the stream does.
    void feed(const int16_t* samples, uint32_t frames);

    // After the last block: feeds silence until the file's last sample has
    // come out of the delay line and its frame is published, waits for the
    // render thread, releases the engine and fills the meter's figures.
    void finish(uint64_t fileFrames, FileAnalysis& out);

    struct Collector; // the engine's "window": where its frames go

private:
    MeterEngine* m_engine = nullptr;
    std::unique_ptr<Collector> m_collector;
    uint32_t m_rate;
    int m_channels;
    uint32_t m_blockFrames;
    uint64_t m_fed = 0;         // sample frames fed
    uint64_t m_delayFrames = 0; // the longer of the two channels' delays
    std::vector<int16_t> m_pad; // one block, for padding and the silence after the file
    AnalysisMode m_mode = AnalysisMode::Peak;
    int m_fps = 0;
};

struct LevelStats;
class LoudnessMeter;
class TruePeak;

// After the last block of a file or an input: the meter's figures
// (AnalysisMeter::finish), the whole-run levels and correlation from
// `stats`, and true peak and loudness from the meters given (null: none).
void analysisFillFigures(const LevelStats& stats, uint32_t rate, AnalysisMeter& meter,
                         const TruePeak* peaks, const LoudnessMeter* loudness,
                         FileAnalysis& out);
