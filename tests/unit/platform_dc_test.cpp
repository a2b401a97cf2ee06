// Pixel rules of the GDI-style drawing context, checked on small images.
#include "platform/dc.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;

QImage canvas(int w, int h, QRgb fill = kWhite) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

template <class F> QImage& draw(QImage& img, F f) {
    Dc dc(img);
    f(dc);
    return img;
}

template <class F> QImage paint(int w, int h, F f) {
    QImage img = canvas(w, h);
    return draw(img, f);
}

// The image as text, rows separated by spaces: '.' white, 'R' red, 'B'
// blue, '?' for anything else.
std::string art(const QImage& img) {
    std::string s;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            s += p == kWhite ? '.' : p == kRed ? 'R' : p == kBlue ? 'B' : '?';
        }
        s += y + 1 < img.height() ? " " : "";
    }
    return s;
}

} // namespace

TEST(DcRectangle, HalfOpenAreaWithNullPens) {
    const QImage framed = paint(8, 6, [](Dc& dc) {
        dc.selectPen(Dc::solidPen(Qt::red));
        dc.selectBrush(Dc::solidBrush(Qt::blue));
        dc.rectangle(1, 1, 6, 5);
    });
    EXPECT_EQ(art(framed), "........ .RRRRR.. .RBBBR.. .RBBBR.. .RRRRR.. ........");
    const QImage fillOnly = paint(5, 4, [](Dc& dc) {
        dc.selectPen(Dc::nullPen()); // the fill covers the whole area
        dc.selectBrush(Dc::solidBrush(Qt::blue));
        dc.rectangle(1, 1, 4, 3);
    });
    EXPECT_EQ(art(fillOnly), "..... .BBB. .BBB. .....");
    const QImage none = paint(4, 4, [](Dc& dc) {
        dc.rectangle(3, 3, 3, 1); // empty area
        dc.selectPen(Dc::nullPen());
        dc.selectBrush(Dc::nullBrush());
        dc.rectangle(0, 0, 4, 4);
    });
    EXPECT_EQ(none, canvas(4, 4));
}

TEST(DcBlit, AndOrCopyCombineBitsAndClipToSource) {
    QImage source = canvas(4, 4, qRgb(0x0F, 0x0F, 0xF0));
    QImage img = canvas(8, 8, qRgb(0x00, 0xF0, 0xF0));
    draw(img, [&](Dc& dc) {
        dc.blit(0, 0, 2, 2, source, 0, 0, BlitOp::SrcAnd);
        dc.blit(4, 0, 2, 2, source, 0, 0, BlitOp::SrcPaint);
        dc.blit(0, 4, 8, 8, source, 2, 2, BlitOp::SrcCopy); // only 2 x 2 exist
    });
    const QRgb back = qRgb(0x00, 0xF0, 0xF0), srcAnd = qRgb(0x00, 0x00, 0xF0),
               srcPaint = qRgb(0x0F, 0xFF, 0xF0), srcCopy = qRgb(0x0F, 0x0F, 0xF0);
    const std::tuple<int, int, QRgb> pixels[] = {{1, 1, srcAnd},  {5, 1, srcPaint}, {2, 2, back},
                                                 {1, 5, srcCopy}, {2, 5, back},     {1, 6, back}};
    for (auto [x, y, c] : pixels)
        EXPECT_EQ(img.pixel(x, y), c) << x << "," << y;
}

// Text lies inside its extent from the top-left anchor, and a transparent
// background leaves the cell's other pixels alone.
TEST(DcText, CellAnchoredAtTopLeft) {
    QFont font("Arial");
    font.setPixelSize(20);
    QSize extent;
    const QImage img = paint(60, 60, [&](Dc& dc) {
        dc.selectFont(font);
        dc.setTextColor(Qt::black);
        dc.setBkColor(Qt::blue);
        dc.setBkMode(BkMode::Transparent);
        dc.textOut(10, 20, "HH");
        extent = dc.textExtent("HH");
    });
    QRect ink;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            if (qGray(img.pixel(x, y)) < 128)
                ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty()) << "no glyph drawn";
    EXPECT_TRUE(QRect(QPoint(10, 20), extent).contains(ink));
    EXPECT_EQ(img.pixel(10, 20), kWhite);
}
