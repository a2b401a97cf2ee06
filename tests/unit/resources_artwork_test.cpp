// The compiled-in pictures: each is there, and the round ones are black
// outside their circle, which the drawing code relies on.
#include "resources/resource_path.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QImage load(int number) {
    return QImage(resourcePath(number));
}

} // namespace

TEST(Artwork, EveryNumberedPictureLoads) {
    for (int number : {100,  101,  500,  509,  530,  531,  1500, 1501, 1502, 1503,
                       1504, 1505, 1506, 1507, 1508, 1509, 1510, 1511, 1512, 1513})
        EXPECT_FALSE(load(number).isNull()) << number;
    EXPECT_TRUE(load(499).isNull());
}

TEST(Artwork, RoundKnobsAreBlackOutsideTheirCircle) {
    // The round mask ORs the picture over a cleared circle: any colour outside
    // it would tint the face around the knob.
    for (int number : {509, 1507}) {
        const QImage knob = load(number);
        const double r = knob.width() / 2.0;
        int inside = 0;
        for (int y = 0; y < knob.height(); ++y)
            for (int x = 0; x < knob.width(); ++x) {
                const double dx = x + 0.5 - r, dy = y + 0.5 - r;
                if (dx * dx + dy * dy > r * r)
                    EXPECT_EQ(knob.pixel(x, y) & 0xFFFFFF, 0u) << number << " at " << x << "," << y;
                else
                    inside += qGray(knob.pixel(x, y)) > 40;
            }
        EXPECT_GT(inside, knob.width() * knob.height() / 2) << number;
    }
}
