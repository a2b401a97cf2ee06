#include "tools/panel_art.h"

#include "tools/art_painting.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int faceWidth = 250;
constexpr int faceHeight = 279;
constexpr int knobSize = 24;
constexpr int buttonWidth = 19;
constexpr int buttonHeight = 15;

// Where the main window places its controls (top-left corners, client
// coordinates). The face is drawn around these.
struct KnobSeat {
    int x, y;
    double startDeg, endDeg, minimum, maximum, value; // for the proof's pointer
};
constexpr std::array<KnobSeat, 7> knobSeats{{
    {216, 34, 220, 319, 0, 2, 0},       // Delay Synchronization
    {34, 100, 240, 300, -170, 48, 6},   // MAX. db
    {34, 135, 240, 300, -180, 40, -60}, // MIN db
    {216, 100, 240, 300, 0.1, 96, 3},   // Peak Release db/s
    {216, 135, 240, 300, 0.1, 96, 24},  // R / A. Release db/s
    {9, 175, 220, 319, 0.1, 96, 48},    // Attack db/s
    {216, 247, 240, 300, 0.1, 30, 0.5}, // Phase Release
}};
struct ButtonSeat {
    int x, y;
    bool onInProof;
};
constexpr std::array<ButtonSeat, 9> buttonSeats{{
    {12, 7, false},   // MUTE
    {91, 7, false},   // Display
    {175, 7, false},  // Reset
    {12, 35, false},  // Linear Scale
    {74, 99, true},   // PEAK
    {74, 120, false}, // RMS
    {74, 141, false}, // Average
    {128, 178, true}, // attack ON / OFF
    {222, 178, false} // Use 0 VU reference
}};

const QColor ink(226, 226, 222);
const QColor dimInk(150, 152, 156);
const QColor accent(238, 166, 58);
const QColor faceTop(70, 72, 77);
const QColor faceBottom(44, 46, 50);

void knobWell(QPainter& p, int x, int y) {
    const QPointF c(x + knobSize / 2.0, y + knobSize / 2.0);
    p.save();
    p.setPen(Qt::NoPen);
    // The lit lower lip of the well, then the well itself.
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawEllipse(c + QPointF(0, 0.8), 14.6, 14.6);
    QRadialGradient well(c, 14.5);
    well.setColorAt(0.0, QColor(4, 4, 5));
    well.setColorAt(0.80, QColor(8, 8, 9));
    well.setColorAt(1.0, QColor(22, 23, 25));
    p.setBrush(well);
    p.drawEllipse(c, 14.4, 14.4);
    p.restore();
}

void buttonWell(QPainter& p, int x, int y) {
    insetBox(p, QRectF(x - 2, y - 2, buttonWidth + 4, buttonHeight + 4), 2.5, QColor(9, 9, 10));
}

void drawBaseplate(QImage& face, int scale) {
    {
        QPainter p(&face);
        QLinearGradient g(0, 0, 0, face.height());
        g.setColorAt(0, faceTop);
        g.setColorAt(1, faceBottom);
        p.fillRect(face.rect(), g);
    }
    // The grain works on image pixels: at a larger scale its streaks grow
    // with the picture so the metal looks the same.
    brushRows(face, 0, face.height(), 3.0, 0x13572468u, 48 * scale);
}

// An engraved rule: a dark groove with a lit edge under it.
void rule(QPainter& p, qreal x0, qreal x1, qreal y) {
    p.setPen(QPen(QColor(14, 14, 16), 1));
    p.drawLine(QPointF(x0, y + 0.5), QPointF(x1, y + 0.5));
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.drawLine(QPointF(x0, y + 1.5), QPointF(x1, y + 1.5));
}

// A recessed band across the face, darker than the plate.
void band(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(17, 17, 19));
    g.setColorAt(1, QColor(29, 30, 33));
    p.fillRect(r, g);
    p.setPen(QPen(QColor(6, 6, 7), 1));
    p.drawLine(QPointF(r.left(), r.top() + 0.5), QPointF(r.right(), r.top() + 0.5));
    p.setPen(QPen(QColor(255, 255, 255, 38), 1));
    p.drawLine(QPointF(r.left(), r.bottom() - 0.5), QPointF(r.right(), r.bottom() - 0.5));
}

// A small bar-graph emblem beside the logo: two columns of lit segments.
void emblem(QPainter& p, qreal x, qreal bottom) {
    const std::array<QColor, 7> colours{
        QColor(70, 200, 90),  QColor(70, 200, 90),  QColor(70, 200, 90), QColor(70, 200, 90),
        QColor(235, 200, 60), QColor(235, 200, 60), QColor(235, 70, 45)};
    const std::array<int, 2> lit{7, 5};
    p.save();
    p.setPen(Qt::NoPen);
    for (int column = 0; column < 2; ++column) {
        for (int i = 0; i < 7; ++i) {
            const QRectF seg(x + column * 8, bottom - (i + 1) * 3, 6, 2);
            p.setBrush(i < lit[size_t(column)] ? colours[size_t(i)]
                                               : colours[size_t(i)].darker(420));
            p.drawRect(seg);
        }
    }
    p.restore();
}

void logoBand(QPainter& p) {
    const QRectF r(0, 64, faceWidth, 30);
    band(p, r);
    emblem(p, 14, r.bottom() - 5);

    QFont logo = artFont(19, QFont::Black, true);
    logo.setLetterSpacing(QFont::AbsoluteSpacing, 0.3);
    const QRectF logoBox(38, r.top(), 130, r.height());
    p.setFont(logo);
    p.setPen(QColor(0, 0, 0, 200));
    p.drawText(logoBox.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, "Korvalo Cor.");
    QLinearGradient silver(0, r.top() + 8, 0, r.bottom() - 8);
    silver.setColorAt(0, QColor(250, 250, 248));
    silver.setColorAt(1, QColor(176, 180, 186));
    p.setPen(QPen(QBrush(silver), 1));
    p.drawText(logoBox, Qt::AlignLeft | Qt::AlignVCenter, "Korvalo Cor.");

    QFont small = artFont(7, QFont::Bold);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    printLines(p, 238, r.center().y(), 9, Qt::AlignRight, {"STEREO", "LEVEL METER"}, small, accent);
}

void correlationBand(QPainter& p) {
    const QRectF r(0, 214, faceWidth, faceHeight - 214);
    band(p, r);
    // The heading sits on its own strip at the top of the band.
    const QRectF head(8, r.top() + 5, faceWidth - 16, 14);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 14));
    p.drawRoundedRect(head, 2, 2);
    p.restore();
    QFont title = artFont(10, QFont::Bold);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    printText(p, head, Qt::AlignCenter, "Correlation", title, accent);
    rule(p, 16, 90, head.center().y() - 1);
    rule(p, 160, faceWidth - 16, head.center().y() - 1);
}

void labels(QPainter& p) {
    const QFont f = artFont(9, QFont::Bold);
    const qreal line = 10;
    auto right = [&](int x, qreal cy, QStringList t) {
        printLines(p, x, cy, line, Qt::AlignRight, t, f, ink);
    };
    auto left = [&](int x, qreal cy, QStringList t) {
        printLines(p, x, cy, line, Qt::AlignLeft, t, f, ink);
    };

    // Top row: three buttons, each labelled on its right.
    left(36, 14.5, {"MUTE"});
    left(115, 14.5, {"Display"});
    left(199, 14.5, {"Reset"});
    left(36, 42.5, {"Linear Scale"});
    right(209, 46, {"Delay", "Synchronization"});

    // Range knobs on the left, level mode in the middle, release rates right.
    right(30, 112, {"MAX.", "db"});
    right(30, 147, {"MIN", "db"});
    left(98, 106.5, {"PEAK"});
    left(98, 127.5, {"RMS"});
    left(98, 148.5, {"Average"});
    right(209, 112, {"Peak Release", "db/s"});
    right(209, 147, {"R / A. Release", "db/s"});

    // Attack: knob, then the switch with ON above and OFF below it.
    left(37, 187, {"Attack", "db/s"});
    printLines(p, 137.5, 171, line, Qt::AlignHCenter, {"ON"}, f, ink);
    printLines(p, 137.5, 200.5, line, Qt::AlignHCenter, {"OFF"}, f, ink);
    right(216, 186, {"Use 0 VU", "reference"});

    right(209, 259, {"Phase Release"});
}

// Decoration only: a small printed scale showing what the correlator reads.
void correlationLegend(QPainter& p) {
    const QFont f = artFont(8, QFont::Bold);
    const qreal y = 259, x0 = 22, x1 = 122;
    QLinearGradient g(x0, 0, x1, 0);
    g.setColorAt(0, QColor(220, 70, 50));
    g.setColorAt(0.5, QColor(235, 200, 60));
    g.setColorAt(1, QColor(70, 200, 90));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 160));
    p.drawRoundedRect(QRectF(x0 - 1, y - 2, x1 - x0 + 2, 4), 2, 2);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(x0, y - 1, x1 - x0, 2), 1, 1);
    p.setPen(QPen(dimInk, 1));
    for (int i = 0; i <= 4; ++i) {
        const qreal x = std::round(x0 + (x1 - x0) * i / 4.0) + 0.5;
        p.drawLine(QPointF(x, y - 5), QPointF(x, y - (i % 2 ? 3 : 4)));
    }
    p.restore();
    printText(p, QRectF(x0 - 20, y + 3, 40, 11), Qt::AlignCenter, "-1", f, dimInk);
    printText(p, QRectF((x0 + x1) / 2 - 20, y + 3, 40, 11), Qt::AlignCenter, "0", f, dimInk);
    printText(p, QRectF(x1 - 20, y + 3, 40, 11), Qt::AlignCenter, "+1", f, dimInk);
}

void frame(QPainter& p) {
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawLine(QPointF(0.5, faceHeight - 1), QPointF(0.5, 0.5));
    p.drawLine(QPointF(0.5, 0.5), QPointF(faceWidth - 1, 0.5));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.drawLine(QPointF(faceWidth - 0.5, 0.5), QPointF(faceWidth - 0.5, faceHeight - 0.5));
    p.drawLine(QPointF(0.5, faceHeight - 0.5), QPointF(faceWidth - 0.5, faceHeight - 0.5));
}

QPointF polar(QPointF c, double radius, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    return c + QPointF(radius * std::cos(a), -radius * std::sin(a));
}

} // namespace

QImage drawPanelFace(int scale) {
    QImage face = newImage(faceWidth * scale, faceHeight * scale, faceBottom);
    drawBaseplate(face, scale);
    QPainter p(&face);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    logoBand(p);
    rule(p, 8, faceWidth - 8, 165);
    correlationBand(p);
    for (const KnobSeat& k : knobSeats)
        knobWell(p, k.x, k.y);
    for (const ButtonSeat& b : buttonSeats)
        buttonWell(p, b.x, b.y);
    labels(p);
    correlationLegend(p);
    frame(p);
    return face;
}

QImage drawPanelKnob(int size, int scale) {
    // Round controls are drawn through a circular mask whose image is ORed
    // over the cleared background, so everything outside the circle must
    // stay pure black.
    QImage knob = newImage(size * scale, size * scale, Qt::black);
    QPainter p(&knob);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 24.0;
    const QPointF c(size / 2.0, size / 2.0);
    const double outer = size / 2.0 - 0.6 * s;

    // Skirt: dark anodised grip with fine knurling round its rim.
    QRadialGradient skirt(c - QPointF(0, 3 * s), outer * 1.3);
    skirt.setColorAt(0, QColor(92, 94, 100));
    skirt.setColorAt(1, QColor(30, 31, 34));
    p.setPen(Qt::NoPen);
    p.setBrush(skirt);
    p.drawEllipse(c, outer, outer);
    // The rim catches the light from above.
    p.setPen(QPen(QColor(255, 255, 255, 70), 0.8 * s));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - outer + 0.4 * s, c.y() - outer + 0.4 * s, 2 * outer - 0.8 * s,
                     2 * outer - 0.8 * s),
              30 * 16, 120 * 16);
    const int ridges = int(std::lround(40 * s));
    for (int i = 0; i < ridges; ++i) {
        const double deg = 360.0 * i / ridges;
        const double lit = 0.5 + 0.5 * std::sin((deg - 30) * std::numbers::pi / 180.0);
        p.setPen(
            QPen(QColor(10 + int(90 * lit), 10 + int(92 * lit), 12 + int(98 * lit), 150), 0.7 * s));
        p.drawLine(polar(c, outer - 2.2 * s, deg), polar(c, outer - 0.3 * s, deg));
    }

    // Cap: turned aluminium, concentric lathe marks and a conical sheen.
    const double cap = 8.2 * s;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120)); // shadow the cap throws on the skirt
    p.drawEllipse(c + QPointF(0, 0.8 * s), cap + 0.8 * s, cap + 0.8 * s);
    QConicalGradient sheen(c, 60);
    const std::array<QColor, 2> metal{QColor(226, 228, 232), QColor(140, 143, 150)};
    for (int i = 0; i <= 8; ++i)
        sheen.setColorAt(i / 8.0, metal[size_t(i % 2)]);
    p.setBrush(sheen);
    p.drawEllipse(c, cap, cap);
    for (double r = 1.5 * s; r < cap; r += 1.1 * s) {
        p.setPen(QPen(QColor(255, 255, 255, (int(r / s) % 2) ? 26 : 10), 0.5 * s));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r, r);
    }
    // Chamfer: a lit upper-left edge and a dark lower-right one.
    p.setPen(QPen(QColor(255, 255, 255, 150), 0.8 * s));
    p.drawArc(QRectF(c.x() - cap, c.y() - cap, 2 * cap, 2 * cap), 45 * 16, 180 * 16);
    p.setPen(QPen(QColor(0, 0, 0, 140), 0.8 * s));
    p.drawArc(QRectF(c.x() - cap, c.y() - cap, 2 * cap, 2 * cap), 225 * 16, 180 * 16);
    p.end();

    // Antialiasing leaves faint colour just outside the circle; clear it.
    const int n = size * scale;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double dx = x + 0.5 - n / 2.0, dy = y + 0.5 - n / 2.0;
            if (dx * dx + dy * dy > (n / 2.0) * (n / 2.0))
                knob.setPixel(x, y, qRgb(0, 0, 0));
        }
    return knob;
}

QImage drawPanelButton(bool on, int scale) {
    QImage img = newImage(buttonWidth * scale, buttonHeight * scale, QColor(9, 9, 10));
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(0, 0, buttonWidth, buttonHeight);

    // The cap: satin dark grey plastic with a lit top edge.
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, QColor(98, 100, 106));
    g.setColorAt(0.5, QColor(66, 68, 73));
    g.setColorAt(1, QColor(44, 45, 49));
    p.setPen(QPen(QColor(6, 6, 7), 1));
    p.setBrush(g);
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 2.2, 2.2);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(2.5, 1.5), QPointF(buttonWidth - 2.5, 1.5));

    // The LED lens in the middle of the cap.
    const QRectF lens(4.5, 5, 10, 5);
    if (on) {
        QRadialGradient glow(lens.center(), 9);
        glow.setColorAt(0, QColor(255, 120, 40, 150));
        glow.setColorAt(1, QColor(255, 80, 20, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawRect(body.adjusted(1, 1, -1, -1));
    }
    p.setPen(QPen(QColor(8, 4, 4), 1));
    QLinearGradient lensFill(lens.topLeft(), lens.bottomLeft());
    if (on) {
        lensFill.setColorAt(0, QColor(255, 236, 190));
        lensFill.setColorAt(0.45, QColor(255, 128, 40));
        lensFill.setColorAt(1, QColor(214, 50, 18));
    } else {
        lensFill.setColorAt(0, QColor(96, 40, 34));
        lensFill.setColorAt(1, QColor(46, 14, 12));
    }
    p.setBrush(lensFill);
    p.drawRoundedRect(lens, 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, on ? 150 : 45)); // specular highlight
    p.drawRoundedRect(QRectF(lens.left() + 1.5, lens.top() + 0.8, lens.width() - 3, 1.2), 0.6, 0.6);
    return img;
}

namespace {

// The window icons are laid out on a 48-unit grid; the PNGs and the SVG are
// drawn from the same parts.
constexpr int iconGrid = 48;
const QRectF iconPlate(1.5, 1.5, iconGrid - 3, iconGrid - 3);
constexpr qreal iconPlateRadius = 8, iconFrameWidth = 1.5, iconSegmentRadius = 1;
const QColor iconTop(70, 72, 78), iconBottom(28, 29, 32), iconFrame(10, 10, 12);

struct IconSegment {
    QRectF rect;
    QColor colour;
};

// Two level bars; the meter window's icon leaves room above them for the
// correlator's arc.
std::vector<IconSegment> iconSegments(bool meterIcon) {
    const std::array<int, 2> lit{meterIcon ? 8 : 9, meterIcon ? 6 : 7};
    const int segments = 10;
    const qreal barTop = meterIcon ? 16 : 8, barBottom = 40;
    const qreal step = (barBottom - barTop) / segments;
    std::vector<IconSegment> out;
    for (int column = 0; column < 2; ++column) {
        for (int i = 0; i < segments; ++i) {
            QColor c = i >= 8   ? QColor(235, 70, 45)
                       : i >= 6 ? QColor(235, 200, 60)
                                : QColor(70, 200, 90);
            if (i >= lit[size_t(column)])
                c = c.darker(400);
            out.push_back(
                {QRectF(column ? 26 : 10, barBottom - (i + 1) * step + 0.6, 12, step - 1.2), c});
        }
    }
    return out;
}

} // namespace

QImage drawWindowIcon(bool meterIcon, int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / iconGrid, qreal(size) / iconGrid);
    QLinearGradient g(0, 0, 0, iconGrid);
    g.setColorAt(0, iconTop);
    g.setColorAt(1, iconBottom);
    p.setPen(QPen(iconFrame, iconFrameWidth));
    p.setBrush(g);
    p.drawRoundedRect(iconPlate, iconPlateRadius, iconPlateRadius);

    p.setPen(Qt::NoPen);
    for (const IconSegment& s : iconSegments(meterIcon)) {
        p.setBrush(s.colour);
        p.drawRoundedRect(s.rect, iconSegmentRadius, iconSegmentRadius);
    }
    if (meterIcon) {
        p.setPen(QPen(QColor(238, 166, 58), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(9, 6, 30, 14), 20 * 16, 140 * 16);
        p.setPen(QPen(QColor(240, 240, 240), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(24, 13), polar(QPointF(24, 13), 7, 60));
    }
    return icon;
}

QString drawWindowIconSvg() {
    const auto num = [](qreal v) { return QString::number(v, 'g', 6); };
    QString svg;
    svg += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                          "viewBox=\"0 0 %1 %1\">\n")
               .arg(iconGrid);
    svg += QStringLiteral("  <defs>\n    <linearGradient id=\"plate\" x1=\"0\" y1=\"0\" x2=\"0\" "
                          "y2=\"%1\" gradientUnits=\"userSpaceOnUse\">\n"
                          "      <stop offset=\"0\" stop-color=\"%2\"/>\n"
                          "      <stop offset=\"1\" stop-color=\"%3\"/>\n"
                          "    </linearGradient>\n  </defs>\n")
               .arg(iconGrid)
               .arg(iconTop.name(), iconBottom.name());
    svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                          "fill=\"url(#plate)\" stroke=\"%6\" stroke-width=\"%7\"/>\n")
               .arg(num(iconPlate.x()), num(iconPlate.y()), num(iconPlate.width()),
                    num(iconPlate.height()), num(iconPlateRadius), iconFrame.name(),
                    num(iconFrameWidth));
    for (const IconSegment& s : iconSegments(false))
        svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                              "fill=\"%6\"/>\n")
                   .arg(num(s.rect.x()), num(s.rect.y()), num(s.rect.width()), num(s.rect.height()),
                        num(iconSegmentRadius), s.colour.name());
    svg += QStringLiteral("</svg>\n");
    return svg;
}

QImage drawPanelProof(int scale) {
    QImage proof = drawPanelFace();
    const QImage knob = drawPanelKnob(knobSize);
    const QImage on = drawPanelButton(true), off = drawPanelButton(false);
    {
        QPainter p(&proof);
        for (const ButtonSeat& b : buttonSeats)
            p.drawImage(b.x, b.y, b.onInProof ? on : off);
    }
    for (const KnobSeat& k : knobSeats) {
        // The round mask keeps the face outside the circle.
        for (int y = 0; y < knobSize; ++y)
            for (int x = 0; x < knobSize; ++x) {
                const double dx = x + 0.5 - 12, dy = y + 0.5 - 12;
                if (dx * dx + dy * dy <= 144)
                    proof.setPixel(k.x + x, k.y + y, knob.pixel(x, y));
            }
        // Pointer as the knob draws it: a four-point polygon, width 2, length
        // size / 3 + 2 from the rotation centre (13, 12), grey with a black
        // outline and no antialiasing.
        double sweep = (k.startDeg - k.endDeg) * std::numbers::pi / 180.0;
        if (k.endDeg >= k.startDeg)
            sweep += 2 * std::numbers::pi;
        const double a = k.startDeg * std::numbers::pi / 180.0 -
                         sweep * (k.value - k.minimum) / (k.maximum - k.minimum);
        const double len = knobSize / 3 + 2, w = 2;
        auto r = [](double v) { return double(std::lround(v)); };
        const QPointF b(k.x + 13, k.y + 12);
        const QPointF t = b + QPointF(r(len * std::cos(a)), r(-len * std::sin(a)));
        const QPointF o(r(-0.5 * w * std::sin(a)), r(0.5 * w * std::cos(a)));
        const QPolygonF poly{{b.x() + o.x(), b.y() - o.y()},
                             {b.x() - o.x(), b.y() + o.y()},
                             {t.x() - o.x(), t.y() + o.y()},
                             {t.x() + o.x(), t.y() - o.y()}};
        QPainter p(&proof);
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(QColor(84, 84, 84));
        p.drawPolygon(poly);
    }
    return proof.scaled(proof.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}
