#include "controls/ctl_hires.h"

#include "controls/ctl_draw.h"
#include "platform/dc.h"

#include <QDir>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cmath>
#include <utility>
#include <vector>

namespace {

struct Pair {
    QImage base;  // ":/res/<number>.png", opaque format
    QImage hiRes; // ":/res/<number>@2x.png"
};

// Every numbered picture that has a 2x drawing, read once.
const std::vector<Pair>& pairs() {
    static const std::vector<Pair> all = [] {
        std::vector<Pair> out;
        const QDir dir(QStringLiteral(":/res"));
        for (const QString& name : dir.entryList({QStringLiteral("*@2x.png")}, QDir::Files)) {
            QString baseName = name;
            baseName.replace(QStringLiteral("@2x.png"), QStringLiteral(".png"));
            QImage base(dir.filePath(baseName));
            QImage hiRes(dir.filePath(name));
            if (!base.isNull() && !hiRes.isNull())
                out.push_back({base.convertToFormat(QImage::Format_RGB32), std::move(hiRes)});
        }
        return out;
    }();
    return all;
}

} // namespace

QImage ctlHiResPicture(const QImage& picture) {
    if (picture.isNull())
        return QImage();
    // Answers by the image's cache key: a control asks on every paint.
    static QHash<qint64, QImage> known;
    const auto hit = known.constFind(picture.cacheKey());
    if (hit != known.constEnd())
        return *hit;
    QImage found;
    for (const Pair& p : pairs()) {
        if (p.base.size() == picture.size() &&
            p.base == picture.convertToFormat(QImage::Format_RGB32)) {
            found = p.hiRes;
            break;
        }
    }
    if (known.size() > 256)
        known.clear();
    known.insert(picture.cacheKey(), found);
    return found;
}

QImage ctlHiResSurface(const QImage& drawn, const QImage& plain, const QImage& hiRes,
                       const QRect& where, qreal dpr) {
    if (dpr == 1.0 || hiRes.isNull() || drawn.isNull())
        return drawn;
    const QSize logical = drawn.size();
    QImage out(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr)),
               QImage::Format_RGB32);
    out.setDevicePixelRatio(dpr);
    QPainter p(&out);
    // Outside the picture, and under its edge at fractional ratios, the
    // logical surface shows through.
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(logical)), drawn);
    p.setRenderHint(QPainter::SmoothPixmapTransform, dpr != 2.0);
    p.drawImage(QRectF(where), hiRes, QRectF(hiRes.rect()));
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (plain.size() != logical)
        return out;
    const QImage over = drawn.convertToFormat(QImage::Format_RGB32);
    const QImage under = plain.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < logical.height(); ++y) {
        const auto* d = reinterpret_cast<const QRgb*>(over.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(under.constScanLine(y));
        for (int x = 0; x < logical.width(); ++x) {
            if (d[x] != b[x])
                p.fillRect(QRectF(x, y, 1, 1), QColor::fromRgb(d[x]));
        }
    }
    return out;
}

void ctlBlitSharp(Dc& dc, const QImage& bitmap, int x, int y, int w, int h) {
    ctlBlitSharpFrom(dc, bitmap, x, y, 0, 0, w, h);
}

void ctlBlitSharpFrom(Dc& dc, const QImage& bitmap, int x, int y, int sx, int sy, int w, int h,
                      bool inverted) {
    if (!ctlHiResDc(dc)) {
        if (!inverted) {
            ctlBlitFrom(dc, bitmap, x, y, sx, sy, w, h);
            return;
        }
        QImage part = bitmap.copy(sx, sy, w, h);
        part.invertPixels();
        ctlBlitWhole(dc, x, y, part);
        return;
    }
    // The part of the bitmap that exists, and where it lands.
    const QRect part = QRect(sx, sy, w, h).intersected(bitmap.rect());
    if (part.isEmpty())
        return;
    const QPoint to(x + part.x() - sx, y + part.y() - sy);
    const QImage hiRes = ctlHiResPicture(bitmap);
    const QImage& source = hiRes.isNull() ? bitmap : hiRes;
    const qreal k = qreal(source.width()) / bitmap.width();
    const QRectF from(part.x() * k, part.y() * k, part.width() * k, part.height() * k);
    QPainter& p = dc.painter();
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    // A 1x picture keeps its hard pixels; the 2x drawing is resampled only
    // when the screen's ratio is not 2.
    p.setRenderHint(QPainter::SmoothPixmapTransform,
                    !hiRes.isNull() && p.deviceTransform().m11() != k);
    const QRectF target(QPointF(to), QSizeF(part.size()));
    if (inverted) {
        QImage copy = source.copy(from.toRect());
        copy.invertPixels();
        p.drawImage(target, copy);
    } else {
        p.drawImage(target, source, from);
    }
    p.restore();
}

void ctlFitSurface(QImage& surface, const QWidget* widget, QSize logical) {
    const qreal dpr = widget ? widget->devicePixelRatioF() : 1.0;
    const QSize device(int(std::ceil(logical.width() * dpr)),
                       int(std::ceil(logical.height() * dpr)));
    if (surface.size() == device && surface.devicePixelRatio() == dpr &&
        surface.format() == QImage::Format_RGB32)
        return;
    surface = QImage(device, QImage::Format_RGB32);
    surface.setDevicePixelRatio(dpr);
}

QIcon ctlIcon(const QImage& picture) {
    QIcon icon(QPixmap::fromImage(picture));
    const QImage hiRes = ctlHiResPicture(picture);
    if (!hiRes.isNull()) {
        QPixmap twice = QPixmap::fromImage(hiRes);
        twice.setDevicePixelRatio(2.0);
        icon.addPixmap(twice);
    }
    return icon;
}
