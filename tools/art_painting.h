// Drawing helpers shared by the artwork generator: images, fonts, textures
// and the printed and inset looks that the panel and the dialogs share.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <cstdint>

// A deterministic generator, so the artwork comes out the same on every run.
struct ArtRandom {
    uint32_t state;
    uint32_t next();
    double unit();       // [0, 1)
    double signedUnit(); // [-1, 1)
};

// An opaque image of the given size filled with one colour.
QImage newImage(int width, int height, QColor fill);

// The printing font: Liberation Sans, Arial's metric twin on Debian.
QFont artFont(int pixelSize, QFont::Weight weight = QFont::Bold, bool italic = false);

// Adds horizontal brushed-metal grain to the rows [top, bottom) of an opaque
// image: streaks about `streak` pixels long of +-strength levels plus a faint
// per-pixel grain.
void brushRows(QImage& image, int top, int bottom, double strength, uint32_t seed, int streak = 48);

// Text printed on the face, with a soft dark shadow one pixel below that keeps
// small letters legible on a textured ground.
void printText(QPainter& p, const QRectF& box, int align, const QString& text, const QFont& font,
               QColor ink);

// Draws the texts of `lines` one under the other, `lineStep` apart, the group
// centred vertically on `centreY`; `x` is the left or right edge per `align`.
void printLines(QPainter& p, qreal x, qreal centreY, qreal lineStep, int align,
                const QStringList& lines, const QFont& font, QColor ink);

// A rectangle sunk into the surface: dark inside, the lower edge catching the
// light and the upper edge in shadow.
void insetBox(QPainter& p, const QRectF& r, qreal radius, QColor fill);

// A raised rectangle with a light upper-left and a dark lower-right edge,
// filled with a vertical gradient from `top` to `bottom`.
void raisedBox(QPainter& p, const QRectF& r, QColor top, QColor bottom, QColor frame);

// Returns `c` with its alpha replaced.
QColor withAlpha(QColor c, int alpha);
