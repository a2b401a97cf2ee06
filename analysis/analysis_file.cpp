// One file's analysis: the reading thread (the caller) reads blocks into a
// ring and gathers the sample statistics; a feeding thread hands every block
// to the meter engine; when asked for, a loudness thread to the loudness unit
// and a true-peak thread to its true-peak interpolator. Each ring slot is
// refilled only once every consumer has let it go, so they stay at most a
// ring's length apart and memory stays flat.
#include "analysis/analysis.h"
#include "analysis/analysis_levels.h"
#include "analysis/analysis_meter.h"
#include "analysis/analysis_reader.h"
#include "loudness/loudness_meter.h"
#include "loudness/true_peak.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr size_t kRingSlots = 8;
// Blocks read and handed on at once: a thread hand-off costs more than
// metering one block, so they travel in groups (about 256 KB).
constexpr uint32_t kChunkBytes = 256 * 1024;

struct Block {
    std::vector<int16_t> pcm;  // always: what the meter is fed
    std::vector<float> values; // float sources only: the samples as read
    uint32_t frames = 0;
};

// A single-producer ring read by a fixed set of consumers, each of which sees
// every block in order.
class BlockRing {
public:
    BlockRing(size_t slots, int consumers) : m_slots(slots), m_read(consumers, 0) {}

    std::vector<Block>& slots() { return m_slots; }

    // Producer: the slot to fill next, once every consumer has let it go.
    Block& beginWrite() {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_written - slowest() < m_slots.size(); });
        return m_slots[m_written % m_slots.size()];
    }
    void endWrite() {
        {
            std::lock_guard lock(m_mutex);
            ++m_written;
        }
        m_cv.notify_all();
    }
    void close() {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_cv.notify_all();
    }

    // Consumer `c`: the next block, or null once the producer closed the ring
    // and every block has been seen.
    const Block* beginRead(int c) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_read[c] < m_written || m_closed; });
        return m_read[c] < m_written ? &m_slots[m_read[c] % m_slots.size()] : nullptr;
    }
    void endRead(int c) {
        {
            std::lock_guard lock(m_mutex);
            ++m_read[c];
        }
        m_cv.notify_all();
    }

private:
    uint64_t slowest() const { return *std::min_element(m_read.begin(), m_read.end()); }

    std::vector<Block> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    uint64_t m_written = 0;       // blocks published
    std::vector<uint64_t> m_read; // blocks each consumer has finished
    bool m_closed = false;
};

void toPcm16(const float* in, int16_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        // Clamped to the 16-bit range the meter takes (the reader has made
        // every sample a number).
        const float v = std::nearbyint(in[i] * 32768.0f);
        out[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
    }
}

double powerDb(double meanSquare) {
    return meanSquare > 0.0 ? 10.0 * std::log10(meanSquare)
                            : -std::numeric_limits<double>::infinity();
}

} // namespace

void analysisFillFigures(const LevelStats& stats, uint32_t rate, AnalysisMeter& meter,
                         const TruePeak* peaks, const LoudnessMeter* loudness,
                         FileAnalysis& out) {
    const int channels = stats.channels;
    out.frames = stats.frames;
    out.durationSeconds = static_cast<double>(stats.frames) / rate;
    meter.finish(stats.frames, out);
    const double n = static_cast<double>(std::max<uint64_t>(stats.frames, 1));
    for (int ch = 0; ch < channels; ++ch) {
        AnalysisChannel& c = out.channel[ch];
        c.samplePeakDb = analysisAmplitudeDb(stats.peak[ch]);
        c.rmsDb = powerDb(stats.sumSquares[ch] / n);
        c.clipped = stats.clipped[ch];
        c.clipRuns = stats.clipRuns[ch];
        c.truePeakDb = peaks ? analysisAmplitudeDb(peaks->peak(ch)) : std::nan("");
    }
    if (channels == 2) {
        const double p = stats.sumSquares[0] * stats.sumSquares[1];
        out.correlationMean = p > 0.0 ? std::clamp(stats.cross / std::sqrt(p), -1.0, 1.0) : 0.0;
    } else {
        out.correlationMean = std::nan("");
    }
    if (loudness) {
        out.hasLoudness = true;
        out.integratedLufs = loudness->integrated();
        out.loudnessRangeLu = loudness->range();
        out.momentaryMaxLufs = loudness->momentaryMax();
        out.shortTermMaxLufs = loudness->shortTermMax();
    }
}

FileAnalysis analyzeFile(const std::string& path, const AnalysisOptions& options,
                         const AnalysisFrameSink& frameSink, const AnalysisProgress& progress) {
    FileAnalysis out;
    out.path = path;
    SoundFileReader file;
    if (!file.open(path, out.error)) {
        return out;
    }
    out.container = file.container();
    out.sampleFormat = file.sampleFormat();
    out.sampleRate = file.sampleRate();
    out.channels = file.channels();
    const int channels = file.channels();
    if (channels < 1 || channels > 2) {
        out.error = std::to_string(channels) + " channels: only mono and stereo files are metered";
        return out;
    }
    const uint32_t rate = static_cast<uint32_t>(file.sampleRate());
    AnalysisMeter meter(rate, channels, options, frameSink);
    if (!meter.ok()) {
        out.error = "the meter cannot measure " + std::to_string(rate) + " Hz";
        return out;
    }
    std::unique_ptr<LoudnessMeter> loudness;
    std::unique_ptr<TruePeak> peaks;
    if (options.loudness) {
        loudness = std::make_unique<LoudnessMeter>(channels, rate);
        peaks = std::make_unique<TruePeak>(channels, rate);
        if (!loudness->ok()) {
            out.error = "the loudness meter cannot measure " + std::to_string(rate) + " Hz";
            return out;
        }
    }

    const bool pcm16 = file.isPcm16();
    const uint32_t blockFrames = meter.blockFrames();
    const uint32_t frameBytes = 2u * static_cast<uint32_t>(channels);
    const uint32_t perChunk = std::max(1u, kChunkBytes / (blockFrames * frameBytes));
    const uint32_t chunkFrames = perChunk * blockFrames;
    const size_t blockSamples = static_cast<size_t>(chunkFrames) * static_cast<size_t>(channels);
    BlockRing ring(kRingSlots, loudness ? 3 : 1);
    for (Block& b : ring.slots()) {
        b.pcm.resize(blockSamples);
        if (!pcm16) {
            b.values.resize(blockSamples);
        }
    }
    LevelStats stats;
    stats.channels = channels;
    stats.fullScale16 = file.fullScale16();
    stats.fullScaleFloat = file.fullScaleFloat();

    std::thread feeder;
    std::thread loudnessThread;
    std::thread peakThread;
    try {
        feeder = std::thread([&] {
            while (const Block* b = ring.beginRead(0)) {
                for (uint32_t at = 0; at < b->frames; at += blockFrames) {
                    meter.feed(b->pcm.data() + static_cast<size_t>(at) * channels,
                               std::min(blockFrames, b->frames - at));
                }
                ring.endRead(0);
            }
        });
        const auto measure = [&](auto* m, int consumer) {
            while (const Block* b = ring.beginRead(consumer)) {
                if (pcm16) {
                    m->add(b->pcm.data(), b->frames);
                } else {
                    m->add(b->values.data(), b->frames);
                }
                ring.endRead(consumer);
            }
        };
        if (loudness) {
            loudnessThread = std::thread(measure, loudness.get(), 1);
            peakThread = std::thread(measure, peaks.get(), 2);
        }
    } catch (const std::system_error& e) {
        ring.close();
        for (std::thread* t : {&feeder, &loudnessThread}) {
            if (t->joinable()) {
                t->join();
            }
        }
        out.error = std::string("cannot start a thread: ") + e.what();
        return out;
    }

    const uint64_t expected = std::max<uint64_t>(file.headerFrames(), 1);
    for (;;) {
        Block& b = ring.beginWrite();
        b.frames = pcm16 ? file.readPcm16(b.pcm.data(), chunkFrames)
                         : file.readFloat(b.values.data(), chunkFrames);
        if (b.frames == 0) {
            break;
        }
        const size_t count = static_cast<size_t>(b.frames) * static_cast<size_t>(channels);
        if (pcm16) {
            stats.addPcm16(b.pcm.data(), b.frames);
        } else {
            toPcm16(b.values.data(), b.pcm.data(), count);
            stats.addFloat(b.values.data(), b.frames);
        }
        ring.endWrite();
        if (progress) {
            progress(file.fileBytes() * std::min(stats.frames, expected) / expected);
        }
    }
    ring.close();
    for (std::thread* t : {&feeder, &loudnessThread, &peakThread}) {
        if (t->joinable()) {
            t->join();
        }
    }
    if (!file.error().empty()) {
        out.error = file.error();
        return out;
    }
    out.nonFiniteSamples = file.nonFiniteSamples();

    if (file.cutShort()) {
        out.warning = "data cut short: the figures cover the " + std::to_string(stats.frames) +
                      " sample frames that are there";
    }
    analysisFillFigures(stats, rate, meter, peaks.get(), loudness.get(), out);
    return out;
}
