// The compiled-in pictures: sizes, and the properties the drawing code relies
// on (black outside round pictures, a seamless texture, distinct note cells).
#include "resources/resource_path.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

QImage load(int number) {
    return QImage(resourcePath(number));
}

// Mean absolute difference of the grey level between column or row `a` and `b`.
double meanLineDifference(const QImage& img, bool columns, int a, int b) {
    const int n = columns ? img.height() : img.width();
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const QRgb pa = columns ? img.pixel(a, i) : img.pixel(i, a);
        const QRgb pb = columns ? img.pixel(b, i) : img.pixel(i, b);
        sum += std::abs(qGray(pa) - qGray(pb));
    }
    return sum / n;
}

int darkPixels(const QImage& img, const QRect& r) {
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += qGray(img.pixel(x, y)) < 100;
    return count;
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

TEST(Artwork, PanelFaceIsOpaqueAndCarriesArtwork) {
    const QImage face = load(500);
    EXPECT_FALSE(face.hasAlphaChannel());
    // Printed labels are light on a dark plate: a real face has plenty of both.
    int light = 0, dark = 0;
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x) {
            const int g = qGray(face.pixel(x, y));
            light += g > 180;
            dark += g < 60;
        }
    EXPECT_GT(light, 1500);
    EXPECT_GT(dark, face.width() * face.height() / 4);
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

TEST(Artwork, OnPicturesAreLitRedOffPicturesAreNot) {
    // On/off pairs: the on picture's warm lamp makes it clearly redder.
    auto redness = [](const QImage& img) {
        double sum = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                sum += qRed(img.pixel(x, y)) -
                       (qGreen(img.pixel(x, y)) + qBlue(img.pixel(x, y))) / 2.0;
        return sum / (img.width() * img.height());
    };
    for (auto [on, off] : {std::pair{530, 531}, {1501, 1500}, {1503, 1502}, {1505, 1504}})
        EXPECT_GT(redness(load(on)), redness(load(off)) + 5) << on << " vs " << off;
}

TEST(Artwork, DialogTextureTilesWithoutVisibleSeams) {
    const QImage tile = load(1512);
    ASSERT_EQ(tile.width(), 64);
    for (bool columns : {true, false}) {
        // Neighbouring lines inside the tile set the scale of normal variation;
        // the wrap-around pair (last line next to the first) must not stand out.
        double inner = 0;
        for (int i = 0; i + 1 < 64; ++i)
            inner += meanLineDifference(tile, columns, i, i + 1);
        inner /= 63;
        const double seam = meanLineDifference(tile, columns, 63, 0);
        EXPECT_LT(seam, 1.5 * inner + 0.5) << (columns ? "columns" : "rows");
    }
    // Light grey on average: a dialog ground that dark text reads on.
    const int mean =
        qGray(tile.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0));
    EXPECT_GT(mean, 180);
    EXPECT_LT(mean, 235);
}

TEST(Artwork, NoteValueCellsEachHoldADistinctSymbolInsideTheirInnerSquare) {
    const QImage notes = load(1506);
    QImage cells[15];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 5; ++col) {
            const QRect inner(col * 32 + 1, row * 32 + 1, 30, 30);
            EXPECT_GT(darkPixels(notes, inner), 15) << row << "," << col;
            cells[row * 5 + col] = notes.copy(inner);
        }
    // Plain, triplet and dotted forms and the five values all differ.
    for (int a = 0; a < 15; ++a)
        for (int b = a + 1; b < 15; ++b)
            EXPECT_NE(cells[a], cells[b]) << a << " and " << b;
}
