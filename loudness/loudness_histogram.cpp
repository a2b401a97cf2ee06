#include "loudness/loudness_histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kAbsoluteGate = -70.0; // LUFS
constexpr double kTop = 30.0;           // LUFS: louder blocks share the top bin
constexpr int kBinsPerLu = 100;
constexpr int kBins = static_cast<int>((kTop - kAbsoluteGate) * kBinsPerLu);
const double kGateEnergy = std::pow(10.0, (kAbsoluteGate + 0.691) / 10.0);

} // namespace

double loudnessOfEnergy(double energy) {
    return energy > 0.0 ? 10.0 * std::log10(energy) - 0.691
                        : -std::numeric_limits<double>::infinity();
}

LoudnessHistogram::LoudnessHistogram() : m_counts(kBins, 0), m_sums(kBins, 0.0) {}

void LoudnessHistogram::add(double energy) noexcept {
    if (!(energy >= kGateEnergy)) {
        return;
    }
    const double bin = std::floor((loudnessOfEnergy(energy) - kAbsoluteGate) * kBinsPerLu);
    const int k = static_cast<int>(std::clamp(bin, 0.0, kBins - 1.0));
    ++m_counts[k];
    m_sums[k] += energy;
    ++m_count;
    m_sum += energy;
}

void LoudnessHistogram::clear() noexcept {
    std::fill(m_counts.begin(), m_counts.end(), 0);
    std::fill(m_sums.begin(), m_sums.end(), 0.0);
    m_count = 0;
    m_sum = 0.0;
}

// The first bin whose centre is at or above the energy's loudness.
int LoudnessHistogram::firstBinAtOrAbove(double energy) const {
    const double x = (loudnessOfEnergy(energy) - kAbsoluteGate) * kBinsPerLu - 0.5;
    return static_cast<int>(std::clamp(std::ceil(x), 0.0, static_cast<double>(kBins)));
}

double LoudnessHistogram::gatedLoudness(double relativeLu) const {
    if (m_count == 0) {
        return -std::numeric_limits<double>::infinity();
    }
    const double gate = m_sum / static_cast<double>(m_count) * std::pow(10.0, -relativeLu / 10.0);
    uint64_t count = 0;
    double sum = 0.0;
    for (int k = firstBinAtOrAbove(gate); k < kBins; ++k) {
        count += m_counts[k];
        sum += m_sums[k];
    }
    return count ? loudnessOfEnergy(sum / static_cast<double>(count))
                 : -std::numeric_limits<double>::infinity();
}

double LoudnessHistogram::range() const {
    if (m_count == 0) {
        return 0.0;
    }
    const int first = firstBinAtOrAbove(m_sum / static_cast<double>(m_count) * 0.01);
    uint64_t n = 0;
    for (int k = first; k < kBins; ++k) {
        n += m_counts[k];
    }
    if (n == 0) {
        return 0.0;
    }
    // The percentiles as the nearest ranks among the gated blocks; each is
    // read as the mean energy of the bin it falls in.
    const uint64_t low = static_cast<uint64_t>((n - 1) * 0.10 + 0.5);
    const uint64_t high = static_cast<uint64_t>((n - 1) * 0.95 + 0.5);
    double lowEnergy = 0.0, highEnergy = 0.0;
    uint64_t below = 0;
    for (int k = first; k < kBins; ++k) {
        const uint64_t c = m_counts[k];
        if (c == 0) {
            continue;
        }
        const double mean = m_sums[k] / static_cast<double>(c);
        if (below <= low && low < below + c) {
            lowEnergy = mean;
        }
        if (below <= high && high < below + c) {
            highEnergy = mean;
            break;
        }
        below += c;
    }
    return loudnessOfEnergy(highEnergy) - loudnessOfEnergy(lowEnergy);
}
