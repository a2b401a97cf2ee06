// Graduation plans of the level, correlator and phase-angle scales.
#include "display/scale_marks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

using Values = std::vector<float>;
using Pixels = std::vector<int>;

// Values and pixel rows of the plan's marks of one style (of all without one).
std::pair<Values, Pixels> marks(const ScalePlan& plan, std::optional<MarkStyle> style = {}) {
    std::pair<Values, Pixels> out;
    for (const ScaleMark& m : plan.marks)
        if (!style || m.style == *style) {
            out.first.push_back(m.value);
            out.second.push_back(m.p);
        }
    return out;
}

int countBetween(const Pixels& p, int above, int below) {
    return static_cast<int>(
        std::count_if(p.begin(), p.end(), [&](int v) { return v > above && v < below; }));
}

TEST(DbScale, StepsAndMarks) {
    const ScalePlan plan = dbScalePlan(300, -40, 6);
    EXPECT_FLOAT_EQ(plan.step, 12);
    EXPECT_EQ(marks(plan, MarkStyle::Major),
              std::pair(Values{-36, -24, -12, 0}, Pixels{26, 104, 182, 260}));
    // -42 lies below the zero line; +6 is just inside the top, on the top
    // end's row, where its label would repeat "6.0" right under the end's.
    EXPECT_EQ(marks(plan, MarkStyle::Half),
              std::pair(Values{-30, -18, -6, 6}, Pixels{65, 143, 221, 299}));
    for (const ScaleMark& m : plan.marks)
        EXPECT_TRUE(m.style != MarkStyle::Half || m.labelled == (m.value != 6)) << m.value;
    EXPECT_EQ(marks(plan, MarkStyle::BottomEnd), std::pair(Values{-40}, Pixels{0}));
    EXPECT_EQ(marks(plan, MarkStyle::TopEnd), std::pair(Values{6}, Pixels{299}));
    // Every minor mark sits strictly inside the scale, nine per full step.
    const Pixels minors = marks(plan, MarkStyle::Minor).second;
    EXPECT_EQ(countBetween(minors, 0, 300), static_cast<int>(minors.size()));
    EXPECT_EQ(countBetween(minors, 26, 104), 9);
    // At 25 px/dB 6 dB is 150 px (too far apart), 2 dB 50 (too close): the larger.
    EXPECT_FLOAT_EQ(dbScaleStep(250, -10, 0), 6);
    EXPECT_FLOAT_EQ(dbScaleStep(1021, -60, 6), 6);
}

TEST(DbScale, DegenerateRangesEndQuickly) {
    // Inverted and empty ranges: only the two end marks.
    EXPECT_EQ(dbScalePlan(300, 6, -40).marks.size(), 2u);
    EXPECT_EQ(dbScalePlan(300, 0, 0).marks.size(), 2u);
    // A vanishing range yields a bounded plan instead of an endless loop.
    EXPECT_LT(dbScalePlan(2000, -180, -179.9999f).marks.size(), 50000u);
    EXPECT_TRUE(dbScalePlan(0, -40, 6).marks.empty());
}

// Two labels of one scale never come within two rows of each other, at any
// height a window can have and over ranges from presets to odd hand-edited
// ones; the end labels always stay.
::testing::AssertionResult labelsApart(const ScalePlan& plan) {
    std::vector<std::pair<int, int>> spans; // text rows, low to high
    int ends = 0;
    for (const ScaleMark& m : plan.marks) {
        const LabelSpan s = scaleLabelSpan(m);
        if (m.labelled && s.high >= s.low)
            spans.emplace_back(s.low, s.high);
        ends += m.labelled && (m.style == MarkStyle::BottomEnd || m.style == MarkStyle::TopEnd);
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first - spans[i - 1].second <= 2)
            return ::testing::AssertionFailure()
                   << "labels at rows " << spans[i - 1].first << " and " << spans[i].first;
    const bool level = !plan.marks.empty() && plan.marks.back().style == MarkStyle::TopEnd;
    if (level && ends != 2)
        return ::testing::AssertionFailure() << "an end label is missing";
    return ::testing::AssertionSuccess();
}

TEST(ScaleLabels, NeverCrowdEachOther) {
    const std::pair<float, float> ranges[] = {{-60, 6},  {-40, 6},    {-20, 3},      {-96, 0},
                                              {-30, 10}, {-12, 0},    {-80, -70},    {-200, 12},
                                              {-3, 3},   {-40, 6.1f}, {-66.6f, 0.4f}};
    for (int H = 50; H <= 1100; ++H) {
        for (auto [lo, hi] : ranges) {
            ASSERT_TRUE(labelsApart(dbScalePlan(H, lo, hi)))
                << "dB " << H << " " << lo << ".." << hi;
            ASSERT_TRUE(labelsApart(linearScalePlan(H, lo, hi)))
                << "linear " << H << " " << lo << ".." << hi;
        }
        ASSERT_TRUE(labelsApart(correlatorScalePlan(H))) << "correlator " << H;
        ASSERT_TRUE(labelsApart(phaseAngleScalePlan(H))) << "angle " << H;
    }
}

TEST(LinearScale, VuMarksRulerAndMinorMarks) {
    const ScalePlan plan = linearScalePlan(300, -20, 3);
    // VU marks: +12 and +6 lie above the top, +3 is the top itself; they thin out.
    EXPECT_EQ(marks(plan, MarkStyle::Major).first, (Values{2, 1, 0, -3, -5, -7, -10}));
    const auto [values, pixels] = marks(linearScalePlan(100, -20, 3), MarkStyle::Major);
    EXPECT_EQ(values, (Values{1, -3, -10}));
    for (size_t i = 1; i < pixels.size(); ++i)
        EXPECT_GT(pixels[i - 1] - pixels[i], 20);
    ASSERT_GT(plan.ruler.size(), 9u);
    EXPECT_EQ(plan.ruler.front().q, 0);
    EXPECT_EQ(plan.ruler.back().p, 300);
    for (size_t i = 1; i < plan.ruler.size(); ++i) // the segments chain
        EXPECT_EQ(plan.ruler[i].q, plan.ruler[i - 1].p);
    // Minor marks keep more than 3 pixels between each other.
    const Pixels minors = marks(plan, MarkStyle::Minor).second;
    ASSERT_GT(minors.size(), 10u);
    for (size_t i = 1; i < minors.size(); ++i)
        EXPECT_GT(minors[i] - minors[i - 1], 3);
}

TEST(CorrelatorScale, StepsAndMarks) {
    const ScalePlan plan = correlatorScalePlan(400);
    EXPECT_FLOAT_EQ(plan.step, 1);
    // 0, then the ends -1 and +1.
    EXPECT_EQ(marks(plan, MarkStyle::CorrMajor), std::pair(Values{0, -1, 1}, Pixels{200, 0, 400}));
    EXPECT_EQ(marks(plan, MarkStyle::CorrHalf), std::pair(Values{-0.5f, 0.5f}, Pixels{100, 300}));
    const Pixels minors = marks(plan, MarkStyle::CorrMinor).second;
    EXPECT_EQ(minors.size(), 18u);
    EXPECT_EQ(countBetween(minors, -1, 200), 9);
    // Taller scales take finer steps, shorter ones the previous, larger step.
    EXPECT_FLOAT_EQ(correlatorScaleStep(1000), 0.2f); // 100 px per step
    EXPECT_FLOAT_EQ(correlatorScaleStep(100), 2.0f);  // 50 px: the previous, larger step
    EXPECT_EQ(marks(correlatorScalePlan(1000), MarkStyle::CorrMajor).first.size(), 9u + 2u);
}

TEST(PhaseAngleScale, FiveMarksFrom180To0) {
    EXPECT_EQ(marks(phaseAngleScalePlan(541)),
              std::pair(Values{180, 120, 90, 60, 0}, Pixels{0, 135, 270, 405, 541}));
}

} // namespace
