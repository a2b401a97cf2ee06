// The compiled-in pictures: sizes, and black outside the round ones, which
// the drawing code relies on.
#include "resources/resource_path.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QImage load(int number) {
    return QImage(resourcePath(number));
}

} // namespace

TEST(Artwork, EveryNumberedPictureLoadsAtItsSize) {
    struct Expected {
        int number, width, height;
    };
    const Expected all[] = {
        {100, 48, 48},  {101, 48, 48},   {500, 250, 279}, {509, 24, 24},  {530, 19, 15},
        {531, 19, 15},  {1500, 24, 16},  {1501, 24, 16},  {1502, 33, 23}, {1503, 33, 23},
        {1504, 16, 16}, {1505, 16, 16},  {1506, 160, 96}, {1507, 32, 32}, {1508, 17, 128},
        {1509, 15, 20}, {1510, 128, 17}, {1511, 20, 15},  {1512, 64, 64}, {1513, 12, 12},
    };
    for (const Expected& e : all) {
        const QImage img = load(e.number);
        EXPECT_EQ(img.size(), QSize(e.width, e.height)) << e.number;
    }
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
