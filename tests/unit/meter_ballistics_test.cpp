// Ballistics and display values on engine records and frames, no thread involved.
#include "meter/meter_ballistics.h"
#include "meter/meter_display_values.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_hooks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

// An engine record prepared for 44100 Hz stereo from the given parameters.
struct Prepared {
    explicit Prepared(const ChannelParams& p) {
        e.sampleRate = 44100.0f;
        e.channels = 2;
        e.params.left = p;
        e.params.right = p;
        meterPrepare(&e);
    }
    MeterEngine e;
};

ChannelParams params(int fps = 10) {
    ChannelParams p = meterCreationParams(kMeterSettingsCompiledDefaults);
    p.nbFperS = fps;
    return p;
}

class MeterBallistics : public ::testing::Test {
protected:
    void SetUp() override { meterInstallFrameRenderer(nullptr); }
    // Runs a frame of 4410 samples (one at 10 frames per second) with the
    // coefficients of `p` and no reset request, each of both channels of
    // absolute value `a`, with the cross sum of a correlation `c` (1 in phase,
    // -1 inverted).
    void run(Prepared& p, float a, float c = 1.0f) {
        p.e.samplesInFrame = 4410;
        meterFillFrameInput(p.e, frame.in);
        frame.in.levelResetSeq = frame.in.holdResetSeq = frame.in.maxResetSeq = 0;
        for (MeterChannelSums& s : frame.in.sums)
            s = {a, a * 4410, a * a * 4410};
        frame.in.crossSum = c * a * a * 4410;
        meterProcessFrame(frame);
    }
    MeterFrame frame{};
    Prepared standard{params(10)}; // PhaseRelease 0.5: 0.05 per frame
};

// The release, attack and phase coefficients are checked through the frames
// they shape; these are the ones no frame below shows.
TEST(MeterCoefficients, FallbackRateRangeStepOffsetAndScaleChangeReset) {
    Prepared fallback(params(0)); // unusable stored rate: 10 frames per second
    const MeterEngine& f = fallback.e;
    EXPECT_EQ(std::pair(f.coeff.samplesPerFrame, f.levelResetSeq.load()), std::pair(4410u, 0u));
    EXPECT_FLOAT_EQ(f.coeff.rangeStep, 0.02f);
    ChannelParams p = params(10);
    p.linearScale = 1;
    p.dbOffsetOn = 1;
    Prepared lin(p);
    EXPECT_EQ(lin.e.levelResetSeq.load(), 1u); // the scale change asks for a reset
    lin.e.dbOffsetSetting = 7.0f;
    meterPrepare(&lin.e);
    EXPECT_EQ(lin.e.coeff.dbOffset, 7.0f);
}

TEST_F(MeterBallistics, ReleasePerFrameOnBothScales) {
    ChannelParams p = params(10);
    p.Max_DBperS = 3.0f;
    p.Moy_DBperS = 24.0f;
    for (int linear = 0; linear < 2; ++linear) {
        p.linearScale = linear;
        Prepared pr(p);
        // Linear: 2 x 3 / 96 of full scale per second for the peak, 2 x 24 / 96
        // for the average, twice that for the power; dB: 0.3 and 2.4 dB per frame.
        const MeterLevels step =
            linear ? MeterLevels{0.00625f, 0.05f, 0.1f}
                   : MeterLevels{std::pow(10.0f, -0.015f), std::pow(10.0f, -0.12f),
                                 std::pow(10.0f, -0.24f)};
        frame = {};
        frame.levels[0] = {1.0f, 1.0f, 1.0f};
        for (int n = 1; n <= 2; ++n) {
            run(pr, 0.0f);
            const auto after = [&](float s) { return linear ? 1.0f - n * s : std::pow(s, n); };
            EXPECT_FLOAT_EQ(frame.levels[0].peak, after(step.peak)) << linear;
            EXPECT_FLOAT_EQ(frame.levels[0].average, after(step.average)) << linear;
            EXPECT_FLOAT_EQ(frame.levels[0].power, after(step.power)) << linear;
        }
    }
}

TEST_F(MeterBallistics, AttackLimitsTheRiseTo48DbPerSecond) {
    ChannelParams p = params(10);
    p.attackOn = 1;
    p.Attack = 48.0f;
    Prepared pr(p);
    frame.levels[0].average = frame.levels[0].power = 0.001f;
    float average = 0.001f, power = 0.001f;
    for (int i = 0; i < 3; ++i) {
        run(pr, 1.0f);
        EXPECT_NEAR(20.0f * std::log10(frame.levels[0].average / average), 4.8f, 1e-3);
        EXPECT_NEAR(10.0f * std::log10(frame.levels[0].power / power), 4.8f, 1e-3);
        std::tie(average, power) = std::tuple(frame.levels[0].average, frame.levels[0].power);
    }
    // From silence the rise starts at the 1e-10 floor.
    frame = {};
    run(pr, 1.0f);
    EXPECT_NEAR(frame.levels[0].average, 1e-10f * std::pow(10.0f, 0.24f), 1e-15);

    // Linear scale: fixed steps of 0.1 (power 0.2), each released by 0.05
    // (power 0.1) after drawing.
    p.linearScale = 1;
    Prepared lin(p);
    frame = {};
    for (int i = 1; i <= 3; ++i) {
        run(lin, 1.0f);
        EXPECT_NEAR(frame.levels[0].average, 0.1f * i - 0.05f, 1e-6);
        EXPECT_NEAR(frame.levels[0].power, 0.2f * i - 0.1f, 1e-6);
    }
}

TEST_F(MeterBallistics, LevelsAtTheFloorBecomeExactlyZero) {
    frame.levels[0] = {1.05e-10f, 1e-10f, 2e-10f};
    run(standard, 0.0f);
    EXPECT_GT(frame.levels[0].peak, 0.0f);
    EXPECT_EQ(frame.levels[0].average, 0.0f);
    run(standard, 0.0f);
    EXPECT_EQ(frame.levels[0].peak, 0.0f);
    EXPECT_EQ(meterScaleValue(frame.levels[0].peak, MeterQuantity::Peak, 0, 0.0f), -200.0f);
}

TEST_F(MeterBallistics, CorrelationHoldsItsExtremeAndReleases) {
    run(standard, 0.5f, 1.0f);
    EXPECT_FLOAT_EQ(frame.correlation, 0.95f); // +1 drawn, then released
    run(standard, 0.0f);                       // silence keeps a positive reading
    EXPECT_FLOAT_EQ(frame.correlation, 0.90f);

    run(standard, 0.5f, -1.0f);
    EXPECT_FLOAT_EQ(frame.correlation, -0.95f);
    run(standard, 0.5f, -0.5f); // c = -0.5: the held -0.95 stays
    EXPECT_FLOAT_EQ(frame.correlation, -0.90f);
    run(standard, 0.0f); // silence pulls a negative reading to 0
    EXPECT_EQ(frame.correlation, 0.0f);
}

// Sums whose quotient rounds a hair past +-1 are drawn at exactly +-1.
TEST_F(MeterBallistics, CorrelationRoundedPastOneIsClamped) {
    for (const float c : {1.000002f, -1.000002f}) {
        frame = {};
        run(standard, 0.5f, c);
        const float step = standard.e.phaseStep;
        EXPECT_EQ(frame.correlation, c > 0 ? 1.0f - step : step - 1.0f) << c;
    }
}

TEST(MeterDisplayValues, ScaleValuesAndBounds) {
    EXPECT_NEAR(meterScaleValue(0.25f, MeterQuantity::Power, 0, 7.0f), -6.0206f + 7.0f, 1e-4);
    EXPECT_NEAR(meterScaleValue(0.25f, MeterQuantity::Power, 1, 0.0f), 0.5f, 1e-6);
    EXPECT_NEAR(meterScaleValue(0.5f, MeterQuantity::Peak, 1, 20.0f), 5.0f, 1e-5);
    EXPECT_EQ(meterScaleValue(9e-11f, MeterQuantity::Average, 0, 7.0f), -200.0f);
    const MeterScaleBounds b = meterScaleBounds(-20.0f, 0.0f, 1);
    EXPECT_NEAR(b.lo, 0.1f, 1e-7);
    EXPECT_NEAR(b.hi, 1.0f, 1e-7);
    EXPECT_NEAR(meterShownMaximum(0.5f, 1), -6.0206f, 1e-4);
    EXPECT_EQ(meterShownMaximum(-200.0f, 1), -200.0f);
}

TEST(MeterDisplayValues, MaximumDetectionFollowsTheBarMode) {
    MeterFrameInput in{};
    in.peakOn = 1;
    in.rmsOn = 1;
    MeterHold hold = kMeterHoldStart;
    const MeterLevels lv{0.5f, 0.25f, 0.0625f};
    MeterReading r = meterUpdateHold(hold, lv, in);
    EXPECT_NEAR(hold.maxPeak, -6.02f, 0.01);
    EXPECT_EQ(hold.maxLevel, -200.0f); // the bar shows the peak
    EXPECT_FLOAT_EQ(r.bar, r.peak);
    in.peakOn = 0;
    r = meterUpdateHold(hold, lv, in);
    EXPECT_NEAR(hold.maxLevel, -12.04f, 0.01); // RMS of the power 0.0625
    in.rmsOn = 0;
    r = meterUpdateHold(hold, {0.5f, 0.5f, 0.0f}, in);
    EXPECT_NEAR(r.level, -6.02f, 0.01); // average
    EXPECT_NEAR(hold.maxLevel, -6.02f, 0.01);
}

TEST(MeterDisplayValues, RangeMarksConvergeFasterAbove20Db) {
    MeterFrameInput in{};
    in.peakOn = 1;
    in.rangeStep = 0.02f;
    MeterHold hold = kMeterHoldStart;
    meterUpdateHold(hold, {std::pow(10.0f, -0.5f), 0, 0}, in); // -10 dB
    EXPECT_NEAR(hold.rangeHigh, -10.0f, 1e-4);
    EXPECT_NEAR(hold.rangeLow, -10.0f, 1e-4);
    MeterReading r = meterUpdateHold(hold, {0.01f, 0, 0}, in); // -40 dB: 30 dB range
    EXPECT_NEAR(r.rangeNumber, 30.0f, 1e-3);
    EXPECT_NEAR(r.rangeLow, -40.0f, 1e-3);
    EXPECT_NEAR(hold.rangeHigh, -13.0f, 1e-3); // 5 x 0.2 x 30 / 10
    EXPECT_NEAR(hold.rangeLow, -37.0f, 1e-3);
    r = meterUpdateHold(hold, {0.01f, 0, 0}, in); // high -13, low -40: 27 dB
    EXPECT_NEAR(hold.rangeHigh, -13.0f - 2.7f, 1e-3);

    // Linear scale: the low mark starts at the first value, so the range is
    // finite from the first frame.
    in.scaleMode = 1;
    hold = kMeterHoldStart;
    r = meterUpdateHold(hold, {0.5f, 0, 0}, in);
    EXPECT_EQ(r.rangeLow, 0.5f);
    EXPECT_EQ(r.rangeNumber, 0.0f);
    r = meterUpdateHold(hold, {0.05f, 0, 0}, in);
    EXPECT_NEAR(r.rangeNumber, 20.0f, 1e-3);
}

} // namespace
