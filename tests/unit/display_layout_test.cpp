// Layout and placement of the meter window: pure geometry.
#include "display/meter_layout.h"
#include "display/window_placement.h"
#include "platform/registry_store.h"

#include <gtest/gtest.h>

namespace {

constexpr int32_t kBarsAndCorrelator = 0x10000001;

TEST(MeterLayout, NarrowFallbackWhenWideLeavesNoRoom) {
    // 180 x 600 stereo: the wide layout needs 194 fixed pixels of 181.
    const MeterLayout l = meterComputeLayout(180, 600, 2, kBarsAndCorrelator);
    ASSERT_EQ(l.kind, MeterLayoutKind::Narrow);
    EXPECT_EQ(l.bw, 37);
    EXPECT_EQ(l.H, 541);
    EXPECT_EQ(l.bottom, 581);
    EXPECT_EQ(l.x0, 2);
    EXPECT_EQ(l.scaleX, 39);
    EXPECT_EQ(l.x1, 70);
    EXPECT_EQ(l.c0, 2 * 37 + 34);
}

TEST(MeterLayout, HeightLimitAndEmptyDisplay) {
    EXPECT_FALSE(meterComputeLayout(180, 108, 2, kBarsAndCorrelator).fits());
    EXPECT_TRUE(meterComputeLayout(180, 109, 2, kBarsAndCorrelator).fits());
    EXPECT_EQ(meterComputeLayout(180, 109, 2, kBarsAndCorrelator).H, 50);
    // Bars 8 pixels wide still fit, 7 do not (narrow stereo: W = 3 bw + 68).
    EXPECT_TRUE(meterComputeLayout(3 * 8 + 67, 300, 2, kBarsAndCorrelator).fits());
    EXPECT_FALSE(meterComputeLayout(3 * 8 + 66, 300, 2, kBarsAndCorrelator).fits());
    // Nothing to show: no layout.
    EXPECT_FALSE(meterComputeLayout(800, 800, 2, 0).fits());
    EXPECT_FALSE(meterComputeLayout(800, 800, 1, 0x10000000).fits());
}

TEST(MeterLayout, HiddenBarsPutTheCorrelatorAtTheLeftEdge) {
    const MeterLayout l = meterComputeLayout(180, 600, 2, 0x10000000);
    ASSERT_TRUE(l.fits());
    EXPECT_FALSE(l.bars);
    EXPECT_EQ(l.c0, 0);
    EXPECT_EQ(l.kind, MeterLayoutKind::Wide);
    EXPECT_EQ(l.bw, 181 - 64);
}

TEST(WindowPlacement, DefaultIsTheRightScreenEdge) {
    const int32_t none[4] = {0, 0, 0, 0};
    EXPECT_EQ(meterInitialPlacement(1920, 1080, nullptr, 0, none),
              (WindowRect{1740, 0, 180, 1080}));
}

TEST(WindowPlacement, StoredPositionThenEnginePlacement) {
    const int32_t stored[4] = {100, 50, 299, 649};
    const int32_t small[4] = {10, 10, 15, 15}; // 6 x 6: right - left is 5, not above
    EXPECT_EQ(meterInitialPlacement(1920, 1080, stored, 0, small), (WindowRect{100, 50, 200, 600}));
    // The same small rectangle is taken while it is current.
    EXPECT_EQ(meterInitialPlacement(1920, 1080, stored, 1, small), (WindowRect{10, 10, 6, 6}));
    const int32_t big[4] = {10, 10, 16, 16};
    EXPECT_EQ(meterInitialPlacement(1920, 1080, stored, 0, big), (WindowRect{10, 10, 7, 7}));
    // An inverted stored rectangle is no position at all.
    const int32_t inverted[4] = {500, 500, 100, 100};
    EXPECT_EQ(meterInitialPlacement(1920, 1080, inverted, 0, small),
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
