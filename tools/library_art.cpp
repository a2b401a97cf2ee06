#include "tools/library_art.h"

#include "tools/art_painting.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <cmath>
#include <vector>

namespace {

// The mean colour of the dialog texture: the ground of every picture that
// sits on a dialog.
const QColor dialogGrey(206, 206, 203);
const QColor darkFrame(72, 72, 74);
const QColor red(226, 38, 24);

QImage transposed(const QImage& src) {
    QImage out(src.height(), src.width(), src.format());
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            out.setPixel(y, x, src.pixel(x, y));
    return out;
}

void buttonCap(QPainter& p, const QRectF& r, bool pressed) {
    raisedBox(p, r, pressed ? QColor(196, 196, 196) : QColor(240, 240, 238),
              pressed ? QColor(222, 222, 220) : QColor(184, 184, 182), darkFrame);
}

// One note symbol inside the 30 x 30 box at `o`: `kind` 0 whole, 1 half,
// 2 quarter, 3 eighth, 4 sixteenth; `row` 1 adds the triplet figure, 2 the dot.
void noteSymbol(QPainter& p, QPointF o, int kind, int row) {
    p.save();
    p.translate(o);
    const QColor inkColour(24, 24, 26);
    const QPointF head = kind == 0 ? QPointF(15, 17) : QPointF(12, 22);

    // Note head: a tilted oval, hollow for the whole and the half note.
    QPainterPath oval;
    const double rx = kind == 0 ? 6.0 : 4.3, ry = kind == 0 ? 4.0 : 3.0;
    oval.addEllipse(QPointF(0, 0), rx, ry);
    QTransform tilt;
    tilt.translate(head.x(), head.y());
    tilt.rotate(-22);
    QPainterPath headPath = tilt.map(oval);
    if (kind <= 1) {
        QPainterPath hole;
        hole.addEllipse(QPointF(0, 0), kind == 0 ? 3.0 : 2.6, kind == 0 ? 1.8 : 1.3);
        QTransform holeTilt;
        holeTilt.translate(head.x(), head.y());
        holeTilt.rotate(kind == 0 ? 50 : -22);
        headPath = headPath.subtracted(holeTilt.map(hole));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(inkColour);
    p.drawPath(headPath);

    const double stemX = head.x() + 3.7;
    const double stemTop = 4;
    if (kind >= 1)
        p.drawRect(QRectF(stemX - 0.6, stemTop, 1.3, head.y() - 1 - stemTop));
    for (int flag = 0; flag < kind - 2; ++flag) {
        const double y = stemTop + flag * 4.5;
        QPainterPath f;
        f.moveTo(stemX + 0.6, y);
        f.cubicTo(stemX + 1.5, y + 3.5, stemX + 7.5, y + 4.5, stemX + 5.5, y + 10);
        f.cubicTo(stemX + 6.5, y + 6, stemX + 2.5, y + 5, stemX + 0.6, y + 4.2);
        f.closeSubpath();
        p.drawPath(f);
    }
    if (row == 2)
        p.drawEllipse(QPointF(head.x() + rx + 3.8 + (kind >= 3 ? 1.5 : 0), head.y() + 0.5), 1.4,
                      1.4);
    if (row == 1) {
        p.setFont(artFont(10, QFont::Bold, true));
        p.setPen(inkColour);
        const QRectF box = kind == 0 ? QRectF(10, 1, 10, 11) : QRectF(2, 2, 9, 11);
        p.drawText(box, Qt::AlignCenter, "3");
    }
    p.restore();
}

} // namespace

QImage drawSmallButton(bool on, int scale) {
    QImage img = newImage(24 * scale, 16 * scale, dialogGrey);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    buttonCap(p, QRectF(0, 0, 24, 16), on);
    const QRectF window(6, 5, 12, 6);
    p.setPen(QPen(QColor(40, 40, 42), 1));
    QLinearGradient g(window.topLeft(), window.bottomLeft());
    g.setColorAt(0, on ? QColor(255, 150, 120) : QColor(88, 88, 92));
    g.setColorAt(0.5, on ? red : QColor(62, 62, 66));
    g.setColorAt(1, on ? red.darker(140) : QColor(48, 48, 50));
    p.setBrush(g);
    p.drawRect(window.adjusted(0.5, 0.5, -0.5, -0.5));
    return img;
}

QImage drawLargeButton(bool on, int scale) {
    QImage img = newImage(33 * scale, 23 * scale, dialogGrey);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, 33, 23);
    buttonCap(p, r, on);
    if (on) {
        p.setPen(QPen(red, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(2, 2, -2, -2));
    }
    return img;
}

QImage drawIndicator(bool on, int scale) {
    QImage img = newImage(16 * scale, 16 * scale, dialogGrey);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 160)); // lit lower rim of the bezel
    p.drawEllipse(c + QPointF(0, 0.5), 7.5, 7.5);
    p.setBrush(QColor(70, 70, 72));
    p.drawEllipse(c, 7.3, 7.3);
    QRadialGradient dome(c - QPointF(1.5, 2), 7);
    dome.setColorAt(0, on ? QColor(255, 200, 180) : QColor(120, 96, 94));
    dome.setColorAt(0.45, on ? red : QColor(84, 44, 42));
    dome.setColorAt(1, on ? red.darker(170) : QColor(40, 22, 22));
    p.setBrush(dome);
    p.drawEllipse(c, 6, 6);
    return img;
}

QImage drawNoteValues(int scale) {
    QImage img = newImage(160 * scale, 96 * scale, dialogGrey);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 5; ++col) {
            // The cell's outer pixel ring is its frame; the symbol keeps to the
            // inner 30 x 30, which is what the strip of picked notes shows.
            const QRectF cell(col * 32, row * 32, 32, 32);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(cell);
            p.setBrush(QColor(244, 244, 240));
            p.drawRect(cell.adjusted(1, 1, -1, -1));
            noteSymbol(p, cell.topLeft() + QPointF(1, 1), col, row);
        }
    return img;
}

QImage drawSliderTrack(bool vertical, int scale) {
    QImage img = newImage(17 * scale, 128 * scale, dialogGrey);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(110, 110, 112), 1));
    for (int y = 4; y <= 124; y += 8) {
        const double len = (y - 4) % 32 == 0 ? 4 : 2.5;
        p.drawLine(QPointF(0.5 + 4 - len, y + 0.5), QPointF(4.5, y + 0.5));
        p.drawLine(QPointF(12.5, y + 0.5), QPointF(12.5 + len, y + 0.5));
    }
    insetBox(p, QRectF(6, 2, 5, 124), 2, QColor(48, 48, 50));
    p.end();
    return vertical ? img : transposed(img);
}

QImage drawSliderThumb(bool vertical, int scale) {
    QImage img = newImage(15 * scale, 20 * scale, dialogGrey);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    raisedBox(p, QRectF(0, 0, 15, 20), QColor(246, 246, 244), QColor(176, 176, 174), darkFrame);
    p.setPen(QPen(QColor(120, 120, 122), 1));
    for (double y : {5.5, 7.5, 12.5, 14.5})
        p.drawLine(QPointF(3, y), QPointF(12, y));
    p.setPen(QPen(red, 2));
    p.drawLine(QPointF(2, 10), QPointF(13, 10));
    p.end();
    return vertical ? img : transposed(img);
}

QImage drawDialogTexture(int scale) {
    const int tile = 64, n = tile * scale;
    ArtRandom rng{0x5EED1512u};
    // Value noise on lattices that divide the tile, wrapped at the edges, so
    // the tile repeats without a seam; a fine grain on top. The lattices are
    // laid out in layout pixels and sampled at each image pixel's centre, so
    // a larger scale shows the same clouds with a finer grain.
    auto layer = [&](int cells, double amplitude) {
        std::vector<double> lattice(size_t(cells * cells));
        for (double& v : lattice)
            v = amplitude * rng.signedUnit();
        std::vector<double> out(size_t(n * n));
        const double cell = double(tile) / cells;
        auto at = [&](int i, int j) {
            return lattice[size_t(((j + cells) % cells) * cells + (i + cells) % cells)];
        };
        auto smooth = [](double t) { return t * t * (3 - 2 * t); };
        auto layout = [scale](int px) { return (px + 0.5) / scale - 0.5; };
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const double lx = layout(x) / cell, ly = layout(y) / cell;
                const int i = int(std::floor(lx)), j = int(std::floor(ly));
                const double u = smooth(lx - i), v = smooth(ly - j);
                const double top = at(i, j) + (at(i + 1, j) - at(i, j)) * u;
                const double bottom = at(i, j + 1) + (at(i + 1, j + 1) - at(i, j + 1)) * u;
                out[size_t(y * n + x)] = top + (bottom - top) * v;
            }
        return out;
    };
    const std::vector<double> coarse = layer(4, 4.0);
    const std::vector<double> medium = layer(16, 3.0);
    QImage img(n, n, QImage::Format_RGB32);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double v = 206 + coarse[size_t(y * n + x)] + medium[size_t(y * n + x)] +
                             2.5 * rng.signedUnit();
            const int g = std::clamp(int(std::lround(v)), 0, 255);
            img.setPixel(x, y, qRgb(g, g, std::max(0, g - 3)));
        }
    return img;
}

QImage drawCloseBox(int scale) {
    QImage img = newImage(12 * scale, 12 * scale, dialogGrey);
    QPainter p(&img);
    p.scale(scale, scale);
    raisedBox(p, QRectF(0, 0, 12, 12), QColor(240, 240, 238), QColor(184, 184, 182), darkFrame);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 32), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(8.5, 8.5));
    p.drawLine(QPointF(8.5, 3.5), QPointF(3.5, 8.5));
    return img;
}
