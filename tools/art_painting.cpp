#include "tools/art_painting.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

uint32_t ArtRandom::next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double ArtRandom::unit() {
    return next() / 4294967296.0;
}

double ArtRandom::signedUnit() {
    return 2.0 * unit() - 1.0;
}

QImage newImage(int width, int height, QColor fill) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

QFont artFont(int pixelSize, QFont::Weight weight, bool italic) {
    QFont f;
    f.setFamilies({"Liberation Sans", "Arial"});
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferVerticalHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void brushRows(QImage& image, int top, int bottom, double strength, uint32_t seed, int streak) {
    ArtRandom rng{seed};
    const int width = image.width();
    // `streak` is the length of the moving average that draws a streak.
    std::vector<double> raw(size_t(width + streak));
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (double& v : raw)
            v = rng.signedUnit();
        const double rowShift = 0.35 * rng.signedUnit();
        double sum = 0;
        for (int i = 0; i < streak; ++i)
            sum += raw[size_t(i)];
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double streakValue = sum / std::sqrt(double(streak)) * 0.8;
            sum += raw[size_t(x + streak)] - raw[size_t(x)];
            const double d = strength * (streakValue + rowShift) + 0.6 * rng.signedUnit();
            auto ch = [d](int c) { return std::clamp(int(std::lround(c + d)), 0, 255); };
            const QRgb px = line[x];
            line[x] = qRgb(ch(qRed(px)), ch(qGreen(px)), ch(qBlue(px)));
        }
    }
}

void printText(QPainter& p, const QRectF& box, int align, const QString& text, const QFont& font,
               QColor ink) {
    p.save();
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(box.translated(0, 1), align, text);
    p.setPen(ink);
    p.drawText(box, align, text);
    p.restore();
}

void printLines(QPainter& p, qreal x, qreal centreY, qreal lineStep, int align,
                const QStringList& lines, const QFont& font, QColor ink) {
    const qreal width = 120;
    const qreal firstY = centreY - lineStep * (lines.size() - 1) / 2.0;
    for (int i = 0; i < lines.size(); ++i) {
        const qreal left = (align & Qt::AlignRight)     ? x - width
                           : (align & Qt::AlignHCenter) ? x - width / 2
                                                        : x;
        const QRectF box(left, firstY + i * lineStep - lineStep, width, 2 * lineStep);
        printText(p, box, align | Qt::AlignVCenter, lines[i], font, ink);
    }
}

void insetBox(QPainter& p, const QRectF& r, qreal radius, QColor fill) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 34)); // lit lower edge
    p.drawRoundedRect(r.translated(0, 1), radius, radius);
    p.setBrush(QColor(0, 0, 0, 120)); // shaded upper edge
    p.drawRoundedRect(r.translated(0, -0.5), radius, radius);
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
    p.restore();
}

void raisedBox(QPainter& p, const QRectF& r, QColor top, QColor bottom, QColor frame) {
    p.save();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(frame);
    p.drawRect(r);
    const QRectF body = r.adjusted(1, 1, -1, -1);
    p.setBrush(g);
    p.drawRect(body);
    p.setPen(QPen(top.lighter(125), 1));
    p.drawLine(QPointF(body.left() + 0.5, body.bottom() - 1),
               QPointF(body.left() + 0.5, body.top() + 0.5));
    p.drawLine(QPointF(body.left() + 0.5, body.top() + 0.5),
               QPointF(body.right() - 1, body.top() + 0.5));
    p.setPen(QPen(bottom.darker(130), 1));
    p.drawLine(QPointF(body.left() + 1, body.bottom() - 0.5),
               QPointF(body.right() - 0.5, body.bottom() - 0.5));
    p.drawLine(QPointF(body.right() - 0.5, body.bottom() - 0.5),
               QPointF(body.right() - 0.5, body.top() + 1));
    p.restore();
}

QColor withAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}
