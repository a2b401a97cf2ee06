// Graduation plans of the level, correlator and phase-angle scales.
#include "display/scale_marks.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<ScaleMark> marksOf(const ScalePlan& plan, MarkStyle style) {
    std::vector<ScaleMark> out;
    for (const ScaleMark& m : plan.marks)
        if (m.style == style)
            out.push_back(m);
    return out;
}

std::vector<float> labels(const std::vector<ScaleMark>& marks) {
    std::vector<float> out;
    for (const ScaleMark& m : marks)
        out.push_back(m.value);
    return out;
}

TEST(DbScale, ThreeHundredPixelsFromMinus40To6) {
    const ScalePlan plan = dbScalePlan(300, -40, 6);
    EXPECT_FLOAT_EQ(plan.step, 12);
    EXPECT_EQ(labels(marksOf(plan, MarkStyle::Major)), (std::vector<float>{-36, -24, -12, 0}));
    // -42 lies below the zero line; +6 is just inside the top.
    EXPECT_EQ(labels(marksOf(plan, MarkStyle::Half)), (std::vector<float>{-30, -18, -6, 6}));
    const auto majors = marksOf(plan, MarkStyle::Major);
    EXPECT_EQ(majors[0].p, 26);  // (-36 + 40) * 300 / 46
    EXPECT_EQ(majors[3].p, 260); // (0 + 40) * 300 / 46
    for (size_t i = 1; i < majors.size(); ++i)
        EXPECT_EQ(majors[i].p - majors[i - 1].p, 78);
    const auto ends = marksOf(plan, MarkStyle::BottomEnd);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].p, 0);
    EXPECT_FLOAT_EQ(ends[0].value, -40);
    const auto tops = marksOf(plan, MarkStyle::TopEnd);
    ASSERT_EQ(tops.size(), 1u);
    EXPECT_EQ(tops[0].p, 299);
    EXPECT_FLOAT_EQ(tops[0].value, 6);
    // Every minor mark sits strictly inside the scale, nine per full step.
    const auto minors = marksOf(plan, MarkStyle::Minor);
    for (const ScaleMark& m : minors) {
        EXPECT_GT(m.p, 0);
        EXPECT_LT(m.p, 300);
    }
    EXPECT_EQ(std::count_if(minors.begin(), minors.end(),
                            [](const ScaleMark& m) { return m.p > 26 && m.p < 104; }),
              9);
}

TEST(DbScale, StepChoiceFallsBackToTheLargerStep) {
    // 25 px/dB: 6 dB is 150 px (too far apart), 2 dB is 50 (too close).
    EXPECT_FLOAT_EQ(dbScaleStep(250, -10, 0), 6);
    EXPECT_FLOAT_EQ(dbScaleStep(1021, -60, 6), 6);
}

TEST(DbScale, DegenerateRangesEndQuickly) {
    // Inverted and empty ranges: only the two end marks.
    EXPECT_EQ(dbScalePlan(300, 6, -40).marks.size(), 2u);
    EXPECT_EQ(dbScalePlan(300, 0, 0).marks.size(), 2u);
    // A vanishing range yields a bounded plan instead of an endless loop.
    const ScalePlan tiny = dbScalePlan(2000, -180, -179.9999f);
    EXPECT_LT(tiny.marks.size(), 50000u);
    EXPECT_TRUE(dbScalePlan(0, -40, 6).marks.empty());
}

TEST(LinearScale, VuMarksSkipAboveTheTopAndThinOut) {
    const ScalePlan tall = linearScalePlan(300, -20, 3);
    // +12 and +6 lie above the top, +3 is the top itself.
    EXPECT_EQ(labels(marksOf(tall, MarkStyle::Major)),
              (std::vector<float>{2, 1, 0, -3, -5, -7, -10}));
    const ScalePlan shortScale = linearScalePlan(100, -20, 3);
    EXPECT_EQ(labels(marksOf(shortScale, MarkStyle::Major)), (std::vector<float>{1, -3, -10}));
    const auto majors = marksOf(shortScale, MarkStyle::Major);
    for (size_t i = 1; i < majors.size(); ++i)
        EXPECT_GT(majors[i - 1].p - majors[i].p, 20);
}

TEST(LinearScale, RulerAndMinorMarks) {
    const ScalePlan plan = linearScalePlan(300, -20, 3);
    ASSERT_FALSE(plan.ruler.empty());
    EXPECT_EQ(plan.ruler.front().q, 0);
    EXPECT_EQ(plan.ruler.back().p, 300);
    // Segments chain; the last ones (above 1.05 of full scale) are red.
    for (size_t i = 1; i < plan.ruler.size(); ++i)
        EXPECT_EQ(plan.ruler[i].q, plan.ruler[i - 1].p);
    EXPECT_FALSE(plan.ruler[8].red); // 0.9 .. 1.0, then 1.0 .. 1.1
    EXPECT_TRUE(plan.ruler[9].red);
    // Minor marks keep more than 3 pixels between each other.
    const auto minors = marksOf(plan, MarkStyle::Minor);
    ASSERT_GT(minors.size(), 10u);
    for (size_t i = 1; i < minors.size(); ++i)
        EXPECT_GT(minors[i].p - minors[i - 1].p, 3);
}

TEST(CorrelatorScale, FourHundredPixelsKeepsStepOne) {
    const ScalePlan plan = correlatorScalePlan(400);
    EXPECT_FLOAT_EQ(plan.step, 1);
    const auto majors = marksOf(plan, MarkStyle::CorrMajor);
    ASSERT_EQ(majors.size(), 3u); // 0, then the ends -1 and +1
    EXPECT_EQ(majors[0].p, 200);
    EXPECT_FLOAT_EQ(majors[0].value, 0);
    EXPECT_EQ(majors[1].p, 0);
    EXPECT_FLOAT_EQ(majors[1].value, -1);
    EXPECT_EQ(majors[2].p, 400);
    EXPECT_FLOAT_EQ(majors[2].value, 1);
    const auto halves = marksOf(plan, MarkStyle::CorrHalf);
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0].p, 100);
    EXPECT_FLOAT_EQ(halves[0].value, -0.5f);
    EXPECT_EQ(halves[1].p, 300);
    EXPECT_FLOAT_EQ(halves[1].value, 0.5f);
    const auto minors = marksOf(plan, MarkStyle::CorrMinor);
    EXPECT_EQ(minors.size(), 18u);
    EXPECT_EQ(
        std::count_if(minors.begin(), minors.end(), [](const ScaleMark& m) { return m.p < 200; }),
        9);
}

TEST(CorrelatorScale, TallerScalesTakeFinerSteps) {
    EXPECT_FLOAT_EQ(correlatorScaleStep(1000), 0.2f); // 100 px per step
    EXPECT_FLOAT_EQ(correlatorScaleStep(100), 2.0f);  // 50 px: the previous, larger step
    const ScalePlan plan = correlatorScalePlan(1000);
    EXPECT_EQ(marksOf(plan, MarkStyle::CorrMajor).size(), 9u + 2u);
}

TEST(PhaseAngleScale, FiveMarksFrom180To0) {
    const ScalePlan plan = phaseAngleScalePlan(541);
    ASSERT_EQ(plan.marks.size(), 5u);
    const int expectP[5] = {0, 135, 270, 405, 541};
    const float expectV[5] = {180, 120, 90, 60, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(plan.marks[i].p, expectP[i]);
        EXPECT_FLOAT_EQ(plan.marks[i].value, expectV[i]);
    }
}

} // namespace
