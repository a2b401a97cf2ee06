// The pictures for high-density screens and the desktop: each 2x drawing is
// its 1x picture at twice the size (same layout, more pixels), and the
// installed icons are icon 100 at every size.
#include "resources/resource_path.h"

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

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

const QString icons = QStringLiteral(KC_SOURCE_DIR "/resources/icons/hicolor");
const QString iconName = QStringLiteral(KC_APP_ID);

} // namespace

TEST(HiResArtwork, TwiceTheSizeAndTheSamePicture) {
    for (int number : {500, 509, 530, 531}) {
        const QImage base = load(resourcePath(number));
        const QImage twice = load(QStringLiteral(":/res/%1@2x.png").arg(number));
        ASSERT_EQ(twice.size(), base.size() * 2) << number;
        EXPECT_EQ(twice.devicePixelRatio(), 2.0) << number; // Qt reads the @2x name
        EXPECT_LT(meanDifference(base, twice), 12.0) << number;
    }
    // Another picture's 2x drawing is far from it: the bound above means something.
    EXPECT_GT(meanDifference(load(resourcePath(530)), load(":/res/531@2x.png")), 12.0);
}

TEST(HiResArtwork, InstalledIconsAreIcon100AtEverySize) {
    const QImage icon100 = load(resourcePath(100));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon =
            load(QStringLiteral("%1/%2x%2/apps/%3.png").arg(icons).arg(size).arg(iconName));
        ASSERT_EQ(icon.size(), QSize(size, size)) << size;
        // Larger icons are the same drawing: scaled down they match icon 100.
        if (size >= 48) {
            EXPECT_LT(meanDifference(icon100, icon), size == 48 ? 0.01 : 6.0) << size;
        }
    }
    QFile svg(QStringLiteral("%1/scalable/apps/%2.svg").arg(icons, iconName));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QStringLiteral("svg"));
    EXPECT_EQ(xml.attributes().value("viewBox"), QStringLiteral("0 0 48 48"));
    int rects = 0;
    while (!xml.atEnd())
        rects += xml.readNext() == QXmlStreamReader::StartElement &&
                 xml.name() == QStringLiteral("rect");
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(rects, 21); // the plate and two bars of ten segments
}
