// The installed icons are icon 100.
#include "resources/resource_path.h"

#include <QFile>
#include <QImage>
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

} // namespace

TEST(HiResArtwork, InstalledIconsAreIcon100) {
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
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("viewBox=\"0 0 48 48\""));
}
