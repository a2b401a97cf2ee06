// Pixel rules of the GDI-style drawing context, checked on small images.
#include "platform/dc.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;

QImage canvas(int w, int h, QRgb fill = kWhite) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

int countNot(const QImage& img, QRgb background) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            n += img.pixel(x, y) != background;
        }
    }
    return n;
}

} // namespace

TEST(DcRectangle, OutlineAndFillStayInsideHalfOpenArea) {
    QImage img = canvas(12, 12);
    {
        Dc dc(img);
        dc.selectPen(Dc::solidPen(Qt::red));
        dc.selectBrush(Dc::solidBrush(Qt::blue));
        dc.rectangle(2, 3, 7, 9);
    }
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 3 && y < 9;
            const bool edge = inside && (x == 2 || x == 6 || y == 3 || y == 8);
            const QRgb want = !inside ? kWhite : edge ? kRed : kBlue;
            ASSERT_EQ(img.pixel(x, y), want) << "at " << x << "," << y;
        }
    }
}

TEST(DcRectangle, NullPenNullBrushAndWidePen) {
    QImage img = canvas(10, 10);
    {
        Dc dc(img);
        dc.selectPen(Dc::nullPen());
        dc.selectBrush(Dc::solidBrush(Qt::blue));
        dc.rectangle(1, 1, 4, 3); // fill covers the whole [1,4) x [1,3)
    }
    EXPECT_EQ(countNot(img, kWhite), 6);
    EXPECT_EQ(img.pixel(3, 2), kBlue);
    EXPECT_EQ(img.pixel(4, 2), kWhite);

    img = canvas(10, 10);
    {
        Dc dc(img);
        dc.selectPen(Dc::solidPen(Qt::red, 2));
        dc.selectBrush(Dc::nullBrush());
        dc.rectangle(0, 0, 8, 8);
    }
    EXPECT_EQ(img.pixel(1, 4), kRed);   // two-pixel band inside the left edge
    EXPECT_EQ(img.pixel(2, 4), kWhite); // interior untouched by the null brush
    EXPECT_EQ(img.pixel(6, 6), kRed);
    EXPECT_EQ(img.pixel(8, 4), kWhite);
    EXPECT_EQ(countNot(img, kWhite), 64 - 16);

    img = canvas(4, 4);
    {
        Dc dc(img);
        dc.rectangle(3, 3, 3, 1); // empty area: nothing at all
        dc.selectPen(Dc::nullPen());
        dc.selectBrush(Dc::nullBrush());
        dc.rectangle(0, 0, 4, 4); // null pen and null brush draw nothing
    }
    EXPECT_EQ(countNot(img, kWhite), 0);
}

TEST(DcLine, EndPointExcludedAndPositionCarried) {
    QImage img = canvas(10, 10);
    {
        Dc dc(img);
        dc.selectPen(Dc::solidPen(Qt::red, 0));
        dc.moveTo(1, 1);
        dc.lineTo(5, 1);
        EXPECT_EQ(dc.currentPosition(), QPoint(5, 1));
        dc.lineTo(5, 4); // continues from (5, 1)
        dc.moveTo(0, 9);
        dc.lineTo(0, 9); // zero length: nothing
    }
    for (int x = 1; x <= 4; ++x) {
        EXPECT_EQ(img.pixel(x, 1), kRed) << x;
    }
    EXPECT_EQ(img.pixel(5, 1), kRed); // start of the second segment
    EXPECT_EQ(img.pixel(5, 3), kRed);
    EXPECT_EQ(img.pixel(5, 4), kWhite); // end of the second segment
    EXPECT_EQ(img.pixel(0, 9), kWhite);
    EXPECT_EQ(countNot(img, kWhite), 7); // one pixel thick, nothing extra

    img = canvas(10, 10);
    {
        Dc dc(img);
        dc.selectPen(Dc::solidPen(Qt::red));
        dc.moveTo(6, 6);
        dc.lineTo(2, 2); // backward diagonal
    }
    EXPECT_EQ(img.pixel(6, 6), kRed);
    EXPECT_EQ(img.pixel(3, 3), kRed);
    EXPECT_EQ(img.pixel(2, 2), kWhite);
    EXPECT_EQ(countNot(img, kWhite), 4);
}

TEST(DcLine, DashDotPenFollowsItsPattern) {
    QImage img = canvas(40, 1);
    {
        Dc dc(img);
        dc.selectPen(Dc::solidPen(Qt::red, 0, Qt::DashDotLine));
        dc.moveTo(0, 0);
        dc.lineTo(40, 0);
    }
    // 9 on, 6 off, 3 on, 6 off, repeating.
    const char* want = "111111111000000111000000111111111000000111";
    for (int x = 0; x < 40; ++x) {
        EXPECT_EQ(img.pixel(x, 0) == kRed, want[x] == '1') << x;
    }
}

TEST(DcBrush, PatternAlignedToSurfaceOrigin) {
    QImage pattern(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            pattern.setPixel(x, y, qRgb(x * 30, y * 30, 7));
        }
    }
    QImage img = canvas(40, 30);
    {
        Dc dc(img);
        const QBrush brush = Dc::patternBrush(pattern);
        dc.fillRect(3, 5, 21, 17, brush);
        dc.selectPen(Dc::nullPen());
        dc.selectBrush(brush);
        dc.rectangle(25, 1, 38, 29);
        dc.ellipse(22, 18, 30, 26);
    }
    int checked = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (img.pixel(x, y) != kWhite) {
                ASSERT_EQ(img.pixel(x, y), pattern.pixel(x % 8, y % 8)) << x << "," << y;
                ++checked;
            }
        }
    }
    EXPECT_EQ(img.pixel(2, 5), kWhite);
    EXPECT_EQ(img.pixel(3, 5), pattern.pixel(3, 5));
    EXPECT_GT(checked, 18 * 12 + 13 * 28);
}

TEST(DcRop, XorPenInvertsOnceAndUndoesItself) {
    QImage img = canvas(10, 10, 0xFF123456);
    {
        Dc dc(img);
        dc.setRop2(Rop2::XorPen);
        dc.selectPen(Dc::solidPen(QColor(0xFF, 0xFF, 0xFF)));
        dc.selectBrush(Dc::nullBrush());
        dc.rectangle(1, 1, 6, 6);
        dc.moveTo(0, 8);
        dc.lineTo(9, 8);
    }
    const QRgb inverted = 0xFF000000 | (~0x123456u & 0xFFFFFF);
    EXPECT_EQ(img.pixel(1, 1), inverted); // corners touched exactly once
    EXPECT_EQ(img.pixel(5, 5), inverted);
    EXPECT_EQ(img.pixel(3, 3), 0xFF123456u);
    EXPECT_EQ(img.pixel(4, 8), inverted);
    EXPECT_EQ(countNot(img, 0xFF123456), 16 + 9);
    {
        Dc dc(img);
        dc.setRop2(Rop2::XorPen);
        dc.selectPen(Dc::solidPen(QColor(0xFF, 0xFF, 0xFF)));
        dc.selectBrush(Dc::nullBrush());
        dc.rectangle(1, 1, 6, 6);
        dc.moveTo(0, 8);
        dc.lineTo(9, 8);
    }
    EXPECT_EQ(countNot(img, 0xFF123456), 0);
}

TEST(DcBlit, AndOrCopyCombineBitsAndClipToSource) {
    QImage source(4, 4, QImage::Format_RGB32);
    source.fill(qRgb(0x0F, 0x0F, 0xF0));
    QImage img = canvas(8, 8, qRgb(0x00, 0xF0, 0xF0));
    {
        Dc dc(img);
        dc.blit(0, 0, 2, 2, source, 0, 0, BlitOp::SrcAnd);
        dc.blit(4, 0, 2, 2, source, 0, 0, BlitOp::SrcPaint);
        dc.blit(0, 4, 8, 8, source, 2, 2, BlitOp::SrcCopy); // only 2 x 2 exist
    }
    EXPECT_EQ(img.pixel(1, 1), qRgb(0x00, 0x00, 0xF0));
    EXPECT_EQ(img.pixel(5, 1), qRgb(0x0F, 0xFF, 0xF0));
    EXPECT_EQ(img.pixel(2, 2), qRgb(0x00, 0xF0, 0xF0));
    EXPECT_EQ(img.pixel(1, 5), qRgb(0x0F, 0x0F, 0xF0));
    EXPECT_EQ(img.pixel(2, 5), qRgb(0x00, 0xF0, 0xF0));
    EXPECT_EQ(img.pixel(1, 6), qRgb(0x00, 0xF0, 0xF0));
}

TEST(DcShapes, EllipseAndPolygonStayInTheirBoxes) {
    QImage img = canvas(16, 16);
    {
        Dc dc(img);
        dc.selectPen(Dc::solidPen(Qt::red));
        dc.selectBrush(Dc::solidBrush(Qt::blue));
        dc.ellipse(2, 2, 12, 12);
    }
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (x < 2 || x >= 12 || y < 2 || y >= 12) {
                ASSERT_EQ(img.pixel(x, y), kWhite) << x << "," << y;
            }
            if (x >= 2 && x < 12 && y >= 2 && y < 12) { // symmetric about the box centre
                ASSERT_EQ(img.pixel(x, y), img.pixel(13 - x, y)) << x << "," << y;
                ASSERT_EQ(img.pixel(x, y), img.pixel(x, 13 - y)) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(img.pixel(2, 7), kRed);
    EXPECT_EQ(img.pixel(11, 7), kRed);
    EXPECT_EQ(img.pixel(7, 7), kBlue);
    EXPECT_EQ(img.pixel(2, 2), kWhite);

    img = canvas(10, 10);
    {
        Dc dc(img);
        dc.selectPen(Dc::solidPen(Qt::red));
        dc.selectBrush(Dc::solidBrush(Qt::blue));
        const QPoint tri[3] = {{0, 0}, {5, 0}, {0, 5}};
        dc.polygon(tri, 3);
    }
    EXPECT_EQ(img.pixel(0, 0), kRed);
    EXPECT_EQ(img.pixel(5, 0), kRed); // closed outline reaches every vertex
    EXPECT_EQ(img.pixel(0, 5), kRed);
    EXPECT_EQ(img.pixel(1, 1), kBlue);
    EXPECT_EQ(img.pixel(6, 0), kWhite);
    EXPECT_EQ(img.pixel(4, 4), kWhite);
}

TEST(DcText, CellAnchoredAtTopLeftWithBackgroundModes) {
    QFont font("Arial");
    font.setPixelSize(20);
    QImage img = canvas(60, 60);
    QSize extent;
    {
        Dc dc(img);
        dc.selectFont(font);
        dc.setTextColor(Qt::black);
        dc.setBkMode(BkMode::Transparent);
        dc.textOut(10, 20, "HH");
        extent = dc.textExtent("HH");
    }
    int minY = 99, maxY = -1, minX = 99;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            if (qGray(img.pixel(x, y)) < 128) {
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                minX = std::min(minX, x);
            }
        }
    }
    ASSERT_GE(maxY, 0) << "no glyph drawn";
    EXPECT_GE(minY, 20);
    EXPECT_LT(maxY, 20 + extent.height());
    EXPECT_GE(minX, 10);
    EXPECT_EQ(img.pixel(10, 20), kWhite); // transparent: background untouched

    img = canvas(60, 60);
    {
        Dc dc(img);
        dc.selectFont(font);
        dc.setTextColor(Qt::black);
        dc.setBkColor(Qt::blue);
        dc.setBkMode(BkMode::Opaque);
        dc.textOut(10, 20, "HH");
    }
    EXPECT_EQ(img.pixel(10, 20), kBlue);
    EXPECT_EQ(img.pixel(10 + extent.width() - 1, 20 + extent.height() - 1), kBlue);
    EXPECT_EQ(img.pixel(10 + extent.width(), 20), kWhite);
    EXPECT_EQ(img.pixel(10, 20 + extent.height()), kWhite);
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
