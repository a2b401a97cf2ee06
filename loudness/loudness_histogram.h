// Loudness blocks of a whole programme, kept in memory that does not grow:
// each block's energy falls into a bin of 0.01 LU (from the absolute gate at
// -70 LUFS up to +30 LUFS, louder blocks in the top bin), and each bin keeps
// its count and the sum of its energies. Means over bins are therefore exact;
// only where a relative gate or a percentile falls is rounded to a bin.
#pragma once

#include <cstdint>
#include <vector>

// LUFS of a mean square of K-weighted samples (channels summed).
double loudnessOfEnergy(double energy);

class LoudnessHistogram {
public:
    LoudnessHistogram(); // allocates the bins
    // A block's energy; below the absolute gate it is not kept. Never allocates.
    void add(double energy) noexcept;
    void clear() noexcept;

    // The mean loudness of the blocks no more than `relativeLu` below the
    // mean of all kept blocks (-inf without such blocks): the integrated
    // loudness with relativeLu = 10.
    double gatedLoudness(double relativeLu) const;
    // The loudness range: from the 10th to the 95th percentile of the blocks
    // no more than 20 LU below the mean of all kept blocks (0 without blocks).
    double range() const;

private:
    int firstBinAtOrAbove(double energy) const;

    std::vector<uint64_t> m_counts; // blocks per bin
    std::vector<double> m_sums;     // their energies per bin
    uint64_t m_count = 0;           // blocks kept
    double m_sum = 0;               // their energies
};
