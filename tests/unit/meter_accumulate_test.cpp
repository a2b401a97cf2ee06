// The vectorised accumulation against a double-precision model of the
// per-sample rules; both kernels (baseline and AVX2) must agree to the bit.
// The X/Y scope's ring and the loudness unit get the same delayed samples.
#include "meter/meter_engine.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_scope_ring.h"
#include "tests/unit/meter_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

namespace {

struct Case {
    int channels;
    float rate;
    float delay[2]; // seconds, left and right
};

// Feeds 160000 random sample frames in blocks of random length and returns
// the published frames; checks each (its loudness too), and the scope ring,
// against the model.
std::vector<MeterFrame> feedAndCheck(const Case& c, int wide) {
    CaptureRenderer renderer;
    meterInstallFrameRenderer(&renderer);
    MeterEngine* engine = meterCreate();
    EXPECT_EQ(meterSetFormat(&engine, c.rate, c.channels), 1);
    engine->wideAccumulation = wide;
    MeterParams p;
    meterGetParams(engine, &p);
    p.left.Delay = c.delay[0];
    p.right.Delay = c.delay[1];
    meterSetParams(engine, &p);
    EXPECT_EQ(meterSetScope(engine, 1), 1);
    const MeterScopeRing* ring = meterScopeRing(engine);
    meterSetLoudness(engine, 1);

    const int sides = c.channels > 1 ? 2 : 1;
    uint32_t d[2];
    for (int ch = 0; ch < 2; ++ch)
        d[ch] = static_cast<uint32_t>(static_cast<double>(c.rate) * c.delay[ch]);
    const uint32_t perFrame = std::max(1u, static_cast<uint32_t>(c.rate * 0.1 + 1e-6));
    std::mt19937 rng(7);
    std::vector<int16_t> history[2]; // every sample fed, per side
    const auto delayed = [&](int ch, uint64_t at) -> int16_t {
        return at >= d[ch] ? history[ch][at - d[ch]] : 0;
    };
    std::vector<int16_t> block;
    std::vector<float> out; // what the loudness unit is to get
    LiveLoudness loudness(sides, static_cast<uint32_t>(c.rate));
    struct Model {
        float peak[2] = {0, 0};
        double abs[2] = {0, 0}, sq[2] = {0, 0}, cross = 0, crossMagnitude = 0;
        uint32_t count = 0;
        LoudnessReading loudness{};
    } m;
    std::vector<Model> expected;
    uint32_t counter = 0;
    for (uint32_t fed = 0; fed < 160000;) {
        const uint32_t n = rng() % 4 == 0 ? 1 + rng() % 9 : 1 + rng() % 9000;
        block.resize(static_cast<size_t>(n) * c.channels);
        for (int16_t& s : block)
            s = static_cast<int16_t>(rng());
        for (uint32_t i = 0; i < n; ++i, ++fed) {
            double x[2] = {0, 0};
            for (int ch = 0; ch < sides; ++ch) {
                history[ch].push_back(block[static_cast<size_t>(i) * c.channels + ch]);
                x[ch] = delayed(ch, fed) / 32768.0;
                out.push_back(static_cast<float>(x[ch]));
                m.peak[ch] = std::max(m.peak[ch], static_cast<float>(std::fabs(x[ch])));
                m.abs[ch] += std::fabs(x[ch]);
                m.sq[ch] += x[ch] * x[ch];
            }
            m.cross += x[0] * x[1];
            m.crossMagnitude += std::fabs(x[0] * x[1]);
        }
        meterFeed(&engine, block.data(), static_cast<uint32_t>(block.size() * 2));
        EXPECT_EQ(meterSetFormat(&engine, c.rate, c.channels), 1); // the same: nothing changes
        loudness.add(out.data(), n);
        out.clear();
        m.count += n;
        counter += n;
        if (counter >= perFrame) { // a boundary after the whole block
            loudness.read(m.loudness);
            expected.push_back(m);
            m = Model{};
            counter %= perFrame;
        }
    }
    EXPECT_TRUE(renderer.waitFrames(expected.size()));
    const std::vector<MeterFrame> frames = renderer.frames();
    int wrongPairs = 0; // a single channel shows as the same pair twice
    for (uint64_t g = ring->oldestValid(); g < ring->end(); ++g) {
        int16_t l, r;
        ring->get(g, l, r);
        wrongPairs += l != delayed(0, g) || r != delayed(sides - 1, g);
    }
    EXPECT_EQ(wrongPairs, 0);
    // Off, the ring is left alone.
    EXPECT_EQ(meterSetScope(engine, 0), 1);
    EXPECT_EQ(meterScopeRing(engine), nullptr);
    const uint64_t end = ring->end();
    meterFeed(&engine, block.data(), static_cast<uint32_t>(block.size() * 2));
    EXPECT_EQ(ring->end(), end);
    meterRelease(&engine);
    meterInstallFrameRenderer(nullptr);

    EXPECT_EQ(frames.size(), expected.size());
    for (size_t f = 0; f < std::min(frames.size(), expected.size()); ++f) {
        const MeterFrameInput& in = frames[f].in;
        const Model& e = expected[f];
        SCOPED_TRACE(testing::Message() << "frame " << f);
        EXPECT_EQ(in.sampleCount, e.count);
        if (in.sampleCount != e.count)
            break;
        // The published sums are means by now; a sample lost or counted twice
        // moves them by about 1/count, far more than float rounding.
        const double tolerance = 2e-6;
        for (int ch = 0; ch < sides; ++ch) {
            EXPECT_EQ(in.sums[ch].peak, e.peak[ch]) << "side " << ch;
            EXPECT_NEAR(in.sums[ch].sumAbs, e.abs[ch] / e.count, tolerance) << "side " << ch;
            EXPECT_NEAR(in.sums[ch].sumSquares, e.sq[ch] / e.count, tolerance) << "side " << ch;
        }
        if (sides == 2) {
            EXPECT_NEAR(in.crossSum, e.cross, tolerance * e.crossMagnitude);
        } else { // one channel: no right level and no correlation
            EXPECT_EQ(std::tuple(in.sums[1].peak, in.crossSum, frames[f].levels[1].peak,
                                 frames[f].correlation),
                      std::tuple(0.0f, 0.0f, 0.0f, 0.0f));
        }
        const LoudnessReading &got = in.loudness, &want = e.loudness;
        EXPECT_EQ(got.on, 1);
        for (const auto& [g, w] : {std::pair{got.momentary, want.momentary},
                                   {got.shortTerm, want.shortTerm},
                                   {got.momentaryMax, want.momentaryMax},
                                   {got.shortTermMax, want.shortTermMax},
                                   {got.integrated, want.integrated},
                                   {got.range, want.range},
                                   {got.truePeakMax[0], want.truePeakMax[0]},
                                   {got.truePeakMax[1], want.truePeakMax[1]}})
            EXPECT_TRUE(g == w || std::fabs(g - w) < 1e-3) << "loudness " << g << ", not " << w;
    }
    return frames;
}

TEST(MeterAccumulation, MatchesADoublePrecisionSumWithEitherKernel) {
    const float fewSamples = 5.0f / 44100.0f; // under one group of eight frames
    const Case cases[] = {
        {2, 44100.0f, {0.0f, 0.0f}},       {2, 44100.0f, {2.0f, 2.0f}},
        {2, 44100.0f, {fewSamples, 1.5f}}, {2, 44100.0f, {1.5f, 0.0f}},
        {1, 44100.0f, {0.0f, 0.0f}},       {1, 44100.0f, {2.0f, 0.0f}},
        {1, 44100.0f, {0.7f, 0.0f}},       {3, 44100.0f, {0.3f, fewSamples}},
        {2, 5.0f, {1.0f, 1.2f}}, // a ring of 12 entries, delays of 5 and 6
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.rate << " Hz, delays "
                                        << c.delay[0] << " s / " << c.delay[1] << " s");
        const std::vector<MeterFrame> wide = feedAndCheck(c, 1);
        const std::vector<MeterFrame> base = feedAndCheck(c, 0);
        ASSERT_EQ(wide.size(), base.size());
        for (size_t f = 0; f < wide.size(); ++f) {
            EXPECT_EQ(std::memcmp(wide[f].in.sums, base[f].in.sums, sizeof wide[f].in.sums), 0);
            EXPECT_EQ(std::memcmp(&wide[f].in.crossSum, &base[f].in.crossSum, sizeof(float)), 0);
        }
    }
}

} // namespace
