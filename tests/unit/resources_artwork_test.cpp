// The compiled-in pictures: each is there, and the round ones are black
// outside their circle, which the drawing code relies on; the installed
// icons are icon 100.
#include "resources/resource_path.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QImage load(int number) {
    return QImage(resourcePath(number));
}

QImage load(const QString& path) {
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

// Mean absolute grey difference between `a` and `b` scaled down to a's size.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage small = b.scaled(a.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(small.pixel(x, y)));
    return sum / (a.width() * a.height());
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

TEST(Artwork, InstalledIconsAreIcon100) {
    const QString dir = QStringLiteral(KC_SOURCE_DIR "/resources/icons/hicolor");
    const QImage icon100 = load(resourcePath(100));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon =
            load(QStringLiteral("%1/%2x%2/apps/" KC_APP_ID ".png").arg(dir).arg(size));
        ASSERT_EQ(icon.size(), QSize(size, size)) << size;
        if (size >= 48) { // the same drawing: scaled down it is icon 100
            EXPECT_LT(meanDifference(icon100, icon), size == 48 ? 0.01 : 6.0) << size;
        }
    }
    QFile svg(dir + "/scalable/apps/" KC_APP_ID ".svg");
    EXPECT_TRUE(svg.open(QIODevice::ReadOnly));
}
