// Value model of the knob: sweeps, the dead zone and angles.
#include "controls/knob_range.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

constexpr float kDeg = kKnobDegree;

TEST(KnobRange, SweepsAndDeadZone) {
    // Start, end (degrees), sweep and dead-zone middle (degrees, from the start).
    const struct {
        int start, end;
        float sweep, middle;
    } cases[] = {
        {240, 300, 300, 330}, {220, 319, 261, 310.5f}, {300, 240, 60, 210}, {90, 90, 360, 360}};
    for (const auto& c : cases) {
        const KnobRange r = KnobRange::make(0, 1, 0, 0.1f, 0, c.start, c.end);
        EXPECT_NEAR(r.sweep() / kDeg, c.sweep, 1e-3) << c.start << "/" << c.end;
        EXPECT_NEAR(r.deadZoneMiddle() / kDeg, c.middle, 1e-3) << c.start << "/" << c.end;
    }
}

TEST(KnobRange, LogarithmicAnglesAndLinearBetween) {
    // The knob tests reach the linear 240/300 end points and middle; here a
    // point between them and the logarithmic rule, middle at the geometric mean.
    const KnobRange lin = KnobRange::make(-10, 10, 0, 1, 0, 240, 300);
    const KnobRange log = KnobRange::make(0.1f, 1000, 10, 1.1f, kKnobLogarithmic, 240, 300);
    const std::tuple<const KnobRange&, float, float> cases[] = {
        {lin, 5, 15}, {log, 0.1f, 240}, {log, 10, 90}, {log, 1000, 300}};
    for (const auto& [r, v, deg] : cases)
        EXPECT_NEAR(r.angleOf(v) / kDeg, deg, 1e-3) << v;
}

} // namespace
