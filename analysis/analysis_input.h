// The headless analysis of a live input (`--analyze --input NAME`): the input
// is captured for a number of seconds, or until stopped, and every recorded
// block goes the way a file's blocks go: whole-input statistics, the meter
// engine of the program with its frame steps, and libebur128. The figures are
// those a file's analysis gives; `path` is the input's name.
//
// Threads: analyzeInput captures and measures on the calling thread (the
// meter engine's render thread steps each frame, as for files); InputStop may
// be requested from any other thread, such as one that waits for signals.
#pragma once

#include "analysis/analysis.h"

#include <atomic>
#include <mutex>
#include <string>

struct WaveDevice;

struct InputAnalysisRequest {
    std::string name;   // as given: an ALSA PCM name or "monitor"
    double seconds = 0; // captured audio to measure; 0: until stopped
    int rate = 0;       // 0: the source's own rate
    int pairA = 1;      // the channels metered (1-based)
    int pairB = 2;
};

// Ends a running capture early; the figures of what was captured stand.
class InputStop {
public:
    void request();
    bool requested() const { return m_requested.load(); }

    // analyzeInput: the capture that request() ends (null: none runs).
    void attach(WaveDevice* device, std::atomic<int>* running);

private:
    std::mutex m_mutex; // guards the two pointers
    WaveDevice* m_device = nullptr;
    std::atomic<int>* m_running = nullptr;
    std::atomic<bool> m_requested = false;
};

// Never throws; an input that cannot be opened comes back with `error` set
// (the device's name and its reason).
FileAnalysis analyzeInput(const InputAnalysisRequest& request, const AnalysisOptions& options,
                          const AnalysisFrameSink& frames, InputStop& stop);

enum class ReportFormat;

// `--analyze --input NAME`: measures the input and prints what --analyze
// prints for a file (`framesPath`: the timeline, "-" for standard output).
// SIGINT and SIGTERM end the capture early; the summary is still printed.
// Exit status 0, or 3 when the input could not be opened or failed.
int analysisRunInput(const InputAnalysisRequest& request, const AnalysisOptions& options,
                     ReportFormat format, const std::string& framesPath);
