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
#include <memory>
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
                         const TruePeak* peaks, const LoudnessMeter* loudness, FileAnalysis& out) {
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

namespace {

// The file's format in `out`; false (with the reason) when the meter takes
// neither its channel count nor its rate.
bool describeFormat(const SoundFileReader& file, FileAnalysis& out) {
    out.container = file.container();
    out.sampleFormat = file.sampleFormat();
    out.sampleRate = file.sampleRate();
    out.channels = file.channels();
    if (file.channels() < 1 || file.channels() > 2) {
        out.error =
            std::to_string(file.channels()) + " channels: only mono and stereo files are metered";
        return false;
    }
    return true;
}

// The meters one file feeds: the meter engine always, the loudness unit and
// the true-peak interpolator when asked for.
struct FileMeters {
    std::unique_ptr<AnalysisMeter> meter;
    std::unique_ptr<LoudnessMeter> loudness; // null unless asked for
    std::unique_ptr<TruePeak> peaks;         // null unless asked for
};

bool makeMeters(uint32_t rate, int channels, const AnalysisOptions& options,
                const AnalysisFrameSink& frameSink, FileMeters& m, std::string& error) {
    m.meter = std::make_unique<AnalysisMeter>(rate, channels, options, frameSink);
    if (!m.meter->ok()) {
        error = "the meter cannot measure " + std::to_string(rate) + " Hz";
        return false;
    }
    if (options.loudness) {
        m.loudness = std::make_unique<LoudnessMeter>(channels, rate);
        m.peaks = std::make_unique<TruePeak>(channels, rate);
        if (!m.loudness->ok()) {
            error = "the loudness meter cannot measure " + std::to_string(rate) + " Hz";
            return false;
        }
    }
    return true;
}

// Frames per ring block: whole meter blocks adding up to about kChunkBytes.
uint32_t chunkFramesFor(uint32_t blockFrames, int channels) {
    const uint32_t frameBytes = 2u * static_cast<uint32_t>(channels);
    const uint32_t perChunk = std::max(1u, kChunkBytes / (blockFrames * frameBytes));
    return perChunk * blockFrames;
}

void sizeRing(BlockRing& ring, uint32_t chunkFrames, int channels, bool pcm16) {
    const size_t samples = static_cast<size_t>(chunkFrames) * static_cast<size_t>(channels);
    for (Block& b : ring.slots()) {
        b.pcm.resize(samples);
        if (!pcm16) {
            b.values.resize(samples);
        }
    }
}

// The consumer threads: ring consumer 0 feeds the meter engine, 1 the
// loudness unit, 2 the true-peak interpolator.
struct Consumers {
    std::thread feeder;
    std::thread loudness;
    std::thread peaks;

    void joinAll() {
        for (std::thread* t : {&feeder, &loudness, &peaks}) {
            if (t->joinable()) {
                t->join();
            }
        }
    }
};

// Throws std::system_error when a thread cannot start; those started by then
// run until the ring closes.
void startConsumers(Consumers& threads, BlockRing& ring, FileMeters& m, int channels, bool pcm16) {
    AnalysisMeter& meter = *m.meter;
    threads.feeder = std::thread([&ring, &meter, channels] {
        const uint32_t blockFrames = meter.blockFrames();
        while (const Block* b = ring.beginRead(0)) {
            for (uint32_t at = 0; at < b->frames; at += blockFrames) {
                meter.feed(b->pcm.data() + static_cast<size_t>(at) * channels,
                           std::min(blockFrames, b->frames - at));
            }
            ring.endRead(0);
        }
    });
    const auto measure = [&ring, pcm16](auto* unit, int consumer) {
        while (const Block* b = ring.beginRead(consumer)) {
            if (pcm16) {
                unit->add(b->pcm.data(), b->frames);
            } else {
                unit->add(b->values.data(), b->frames);
            }
            ring.endRead(consumer);
        }
    };
    if (m.loudness) {
        threads.loudness = std::thread(measure, m.loudness.get(), 1);
        threads.peaks = std::thread(measure, m.peaks.get(), 2);
    }
}

// The producer: reads the whole file into the ring, gathering the sample
// statistics on the way, then closes the ring.
void readBlocks(SoundFileReader& file, BlockRing& ring, uint32_t chunkFrames, LevelStats& stats,
                const AnalysisProgress& progress) {
    const bool pcm16 = file.isPcm16();
    const uint64_t expected = std::max<uint64_t>(file.headerFrames(), 1);
    for (;;) {
        Block& b = ring.beginWrite();
        b.frames = pcm16 ? file.readPcm16(b.pcm.data(), chunkFrames)
                         : file.readFloat(b.values.data(), chunkFrames);
        if (b.frames == 0) {
            break;
        }
        if (pcm16) {
            stats.addPcm16(b.pcm.data(), b.frames);
        } else {
            toPcm16(b.values.data(), b.pcm.data(),
                    static_cast<size_t>(b.frames) * static_cast<size_t>(stats.channels));
            stats.addFloat(b.values.data(), b.frames);
        }
        ring.endWrite();
        if (progress) {
            progress(file.fileBytes() * std::min(stats.frames, expected) / expected);
        }
    }
    ring.close();
}

} // namespace

FileAnalysis analyzeFile(const std::string& path, const AnalysisOptions& options,
                         const AnalysisFrameSink& frameSink, const AnalysisProgress& progress) {
    FileAnalysis out;
    out.path = path;
    SoundFileReader file;
    if (!file.open(path, out.error) || !describeFormat(file, out)) {
        return out;
    }
    const int channels = file.channels();
    const uint32_t rate = static_cast<uint32_t>(file.sampleRate());
    FileMeters meters;
    if (!makeMeters(rate, channels, options, frameSink, meters, out.error)) {
        return out;
    }

    const uint32_t chunkFrames = chunkFramesFor(meters.meter->blockFrames(), channels);
    BlockRing ring(kRingSlots, meters.loudness ? 3 : 1);
    sizeRing(ring, chunkFrames, channels, file.isPcm16());
    Consumers threads;
    try {
        startConsumers(threads, ring, meters, channels, file.isPcm16());
    } catch (const std::system_error& e) {
        ring.close();
        threads.joinAll();
        out.error = std::string("cannot start a thread: ") + e.what();
        return out;
    }

    LevelStats stats;
    stats.channels = channels;
    stats.fullScale16 = file.fullScale16();
    stats.fullScaleFloat = file.fullScaleFloat();
    readBlocks(file, ring, chunkFrames, stats, progress);
    threads.joinAll();
    if (!file.error().empty()) {
        out.error = file.error();
        return out;
    }
    out.nonFiniteSamples = file.nonFiniteSamples();
    if (file.cutShort()) {
        out.warning = "data cut short: the figures cover the " + std::to_string(stats.frames) +
                      " sample frames that are there";
    }
    analysisFillFigures(stats, rate, *meters.meter, meters.peaks.get(), meters.loudness.get(), out);
    return out;
}
