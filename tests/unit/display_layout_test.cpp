// Layout and placement of the meter window: pure geometry.
#include "display/meter_layout.h"
#include "display/window_placement.h"
#include "meter/meter_engine.h"
#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

namespace {

constexpr int32_t kBarsAndCorrelator = kMeterShowBarsAndCorrelator;

TEST(MeterLayout, HeightLimitAndEmptyDisplay) {
    EXPECT_FALSE(meterComputeLayout(180, 108, 2, kBarsAndCorrelator).fits());
    EXPECT_TRUE(meterComputeLayout(180, 109, 2, kBarsAndCorrelator).fits());
    EXPECT_EQ(meterComputeLayout(180, 109, 2, kBarsAndCorrelator).H, 50);
    // Bars 8 pixels wide still fit, 7 do not (narrow stereo: W = 3 bw + 68).
    EXPECT_TRUE(meterComputeLayout(3 * 8 + 67, 300, 2, kBarsAndCorrelator).fits());
    EXPECT_FALSE(meterComputeLayout(3 * 8 + 66, 300, 2, kBarsAndCorrelator).fits());
    // Nothing to show: no layout.
    EXPECT_FALSE(meterComputeLayout(800, 800, 2, 0).fits());
    EXPECT_FALSE(meterComputeLayout(800, 800, 1, kMeterShowCorrelator).fits());
}

// The loudness column takes a third of the width and the rest shares the
// remainder; a narrow one stacks its figures; where the rest would no longer
// fit, the column is left out.
TEST(MeterLayout, LoudnessColumnTakesAThirdOfTheWidth) {
    const struct {
        int w, h;
        bool loudness, stacked;
        int lx, loudBottom, bw;
    } rows[] = {
        {180, 1080, true, true, 121, 937, 17}, // 60 wide: (121 - 68) / 3 bars
        {300, 600, true, false, 201, 517, 44}, // 100 wide: figures beside names
        {91, 600, false, false, 0, 0, 8},      // 30 wide would leave bars of 3
    };
    for (const auto& r : rows) {
        const MeterLayout l = meterComputeLayout(r.w, r.h, 2, kBarsAndCorrelator, true);
        ASSERT_TRUE(l.fits()) << r.w;
        EXPECT_EQ(std::tuple(l.loudness, l.stacked, l.lx, l.loudBottom, l.bw),
                  std::tuple(r.loudness, r.stacked, r.lx, r.loudBottom, r.bw))
            << r.w;
    }
}

constexpr WindowRect kScreen{0, 0, 1920, 1080};

// Whatever a damaged store holds, the window fits the usable area and keeps
// at least 40 pixels (all of a shorter side) within it.
TEST(WindowPlacement, StoredEdgesAreBroughtOntoTheScreen) {
    constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    const WindowRect area{0, 30, 1920, 1050}; // a panel above
    const struct {
        int32_t e[4];
        WindowRect fit;
    } cases[] = {
        {{100, 50, 299, 649}, {100, 50, 200, 600}},      // on the screen: unchanged
        {{-150, 900, 49, 1499}, {-150, 900, 200, 600}},  // partly off: unchanged
        {{kMin, kMin, kMax, kMax}, {0, 30, 1920, 1050}}, // 2^32 wide: the whole area
        {{0, 0, 99999, 99999}, {0, 30, 1920, 1050}},     // 40 GB of surface
        {{kMax, kMax, kMax, kMax}, {1919, 1079, 1, 1}},  // one pixel at the far corner
        {{kMin, kMin, kMin + 199, kMin + 599}, {-160, -530, 200, 600}}, // far off to the top left
        {{5000, 2000, 5199, 2599}, {1880, 1040, 200, 600}},             // off to the bottom right
        {{300, 300, 304, 303}, {300, 300, 5, 4}},                       // tiny, inside
        {{500, 500, 100, 100}, {500, 500, 1, 1}},                       // inverted
    };
    for (const auto& c : cases) {
        EXPECT_EQ(meterFitEdges(c.e, area), c.fit) << c.e[0] << "," << c.e[1];
        const int32_t none[4] = {0, 0, 0, 0};
        if (c.fit.width >= kMeterMinSide && c.fit.height >= kMeterMinSide) {
            EXPECT_EQ(meterInitialPlacement(1920, 1080, c.e, 0, none, area), c.fit);
        }
        int32_t back[4]; // and back to edges without overflow
        meterRectEdges(meterRectFromEdges(c.e), back);
        EXPECT_EQ(back[0], c.e[0]);
    }
    // The engine's rectangle is fitted the same way.
    const int32_t huge[4] = {kMin, kMin, kMax, kMax};
    EXPECT_EQ(meterInitialPlacement(1920, 1080, nullptr, 0, huge, area), area);
}

// The X/Y scope opens at its stored place, else beside the meter window (left
// of it, or right where the left has no room), always on the screen.
TEST(WindowPlacement, TheScopeOpensBesideTheMeterWindowOnTheScreen) {
    const WindowRect rightEdge{1740, 0, 180, 1080}, leftEdge{0, 100, 180, 600};
    const int32_t stored[4] = {5000, 40, 5299, 339};
    const struct {
        const int32_t* stored;
        const WindowRect* meter;
        WindowRect want;
    } cases[] = {
        {nullptr, &rightEdge, {1432, 0, 300, 300}},
        {nullptr, &leftEdge, {188, 100, 300, 300}},
        {nullptr, nullptr, {1432, 0, 300, 300}}, // beside the meter's default place
        {stored, &rightEdge, {1880, 40, 300, 300}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xyInitialPlacement(c.stored, c.meter, 300, kScreen), c.want);
}

TEST(WindowPlacement, StoredPositionThenEnginePlacement) {
    const int32_t stored[4] = {100, 50, 299, 649};
    const int32_t small[4] = {10, 10, 15, 15}; // 6 x 6: right - left is 5, not above
    EXPECT_EQ(meterInitialPlacement(1920, 1080, stored, 0, small, kScreen),
              (WindowRect{100, 50, 200, 600}));
    // The same small rectangle is taken while it is current.
    EXPECT_EQ(meterInitialPlacement(1920, 1080, stored, 1, small, kScreen),
              (WindowRect{10, 10, 6, 6}));
    const int32_t big[4] = {10, 10, 16, 16};
    EXPECT_EQ(meterInitialPlacement(1920, 1080, stored, 0, big, kScreen),
              (WindowRect{10, 10, 7, 7}));
    // An inverted stored rectangle is no position at all: the right screen edge.
    const int32_t inverted[4] = {500, 500, 100, 100};
    EXPECT_EQ(meterInitialPlacement(1920, 1080, inverted, 0, small, kScreen),
              (WindowRect{1740, 0, 180, 1080}));
}

TEST(WindowPlacement, StoredPositionNeedsAllFourValues) {
    const int32_t rect[4] = {12, 34, 211, 833};
    ASSERT_TRUE(meterWriteStoredPosition(rect));
    const int32_t y1 = 5; // a value of another type reads as missing
    ASSERT_EQ(regWriteTyped(kMeterWindowKey, "Window y1", RegType::String, &y1, 4), 1);
    int32_t out[4] = {-1, -1, -1, -1};
    EXPECT_FALSE(meterReadStoredPosition(out));
    EXPECT_EQ(out[0], -1);
}

} // namespace
