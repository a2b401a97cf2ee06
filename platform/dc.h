// Dc: a drawing context with the pixel rules of the classic Windows GDI, on
// top of a QPainter that paints into a QImage.
//
// Every drawing routine of the program (controls, meter faces, scales) was
// laid out with GDI's conventions, so the conventions live here once:
//
//   - rectangle(l, t, r, b) covers x in [l, r) and y in [t, b); the outline is
//     drawn inside that area with the selected pen, the rest is filled with
//     the selected brush. fillRect covers the same area with a given brush.
//   - lineTo draws from the current position up to, but not including, the
//     end point, then makes the end point the current position.
//   - a pen of width 0 draws one pixel wide; the null pen and the null brush
//     draw nothing.
//   - pattern brushes repeat an 8 x 8 image aligned to the surface origin,
//     whatever shape they fill.
//   - textOut anchors the text's cell (not its baseline) at (x, y); the
//     background behind the glyphs is filled only in opaque mode.
//   - the XOR raster operation and the SRCCOPY / SRCAND / SRCPAINT transfers
//     work on the raw pixel bits.
//
// Antialiasing is off for shapes so that pixels land exactly where the
// coordinates say.
//
// Thread: a Dc belongs to the thread that created it. It touches nothing but
// its QImage and the objects selected into it (QPen, QBrush and QFont are
// implicitly shared and safe to copy across threads), so the render thread may
// draw with one while the main thread draws with another on a different image.
// Surfaces should be QImage::Format_RGB32 (opaque, like a screen).
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// SetROP2 counterparts.
enum class Rop2 { CopyPen, XorPen };

// BitBlt raster operations.
enum class BlitOp { SrcCopy, SrcAnd, SrcPaint, SrcInvert };

// SetBkMode counterparts.
enum class BkMode { Transparent, Opaque };

// DrawText format flags (the GDI values).
enum DcTextFormat : unsigned {
    DcLeft = 0x0,
    DcCenter = 0x1,
    DcRight = 0x2,
    DcTop = 0x0,
    DcVCenter = 0x4,
    DcBottom = 0x8,
    DcSingleLine = 0x20,
    DcNoClip = 0x100,
};

class Dc {
public:
    // Starts painting on `surface`; the image must outlive the Dc (or end()).
    explicit Dc(QImage& surface);
    ~Dc();
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    // Ends painting early; every drawing call after this does nothing.
    void end();
    bool isActive() const;
    QImage* surface() const { return m_surface; }
    QSize size() const;

    // Object selection, like SelectObject: returns the previous object.
    QPen selectPen(const QPen& pen);
    QBrush selectBrush(const QBrush& brush);
    QFont selectFont(const QFont& font);
    const QPen& pen() const { return m_pen; }
    const QBrush& brush() const { return m_brush; }
    const QFont& font() const { return m_font; }

    QColor setTextColor(const QColor& color);
    QColor setBkColor(const QColor& color);
    BkMode setBkMode(BkMode mode);
    Rop2 setRop2(Rop2 rop);
    QColor textColor() const { return m_textColor; }
    QColor bkColor() const { return m_bkColor; }
    BkMode bkMode() const { return m_bkMode; }
    Rop2 rop2() const { return m_rop2; }

    // Object factories with GDI meaning.
    static QPen nullPen();
    static QBrush nullBrush();
    // Solid pen; width 0 means one pixel. `style` Qt::DashDotLine etc. for
    // styled one-pixel pens.
    static QPen solidPen(const QColor& color, int width = 0, Qt::PenStyle style = Qt::SolidLine);
    static QBrush solidBrush(const QColor& color);

    // Shapes (pen outline + brush fill), all within [l, r) x [t, b).
    void rectangle(int l, int t, int r, int b);
    void fillRect(int l, int t, int r, int b, const QBrush& brush);
    void ellipse(int l, int t, int r, int b);
    // Pie of the ellipse in (l, t, r, b) from the radial through (x1, y1)
    // counter-clockwise to the radial through (x2, y2); equal radials give
    // the whole ellipse.
    void pie(int l, int t, int r, int b, int x1, int y1, int x2, int y2);
    // Closed polygon: filled (alternate rule) with the brush, every edge
    // drawn with the pen.
    void polygon(const QPoint* points, int count);
    // Open polyline; the last point is not drawn.
    void polyline(const QPoint* points, int count);

    // Lines.
    QPoint moveTo(int x, int y); // returns the previous position
    void lineTo(int x, int y);
    QPoint currentPosition() const { return m_pos; }

    void setPixel(int x, int y, const QColor& color);
    QColor pixel(int x, int y) const;

    // Text in the selected font and the text colour, cell top-left at (x, y).
    void textOut(int x, int y, const QString& text);
    // Text laid out in a rectangle (DrawText with DcTextFormat flags).
    void drawText(int l, int t, int r, int b, const QString& text, unsigned format);
    // Width and height of the text's cells in the selected font.
    QSize textExtent(const QString& text) const;

    // Block transfer of the w x h area at (sx, sy) of `source` to (x, y).
    // Parts outside the source image are not transferred.
    void blit(int x, int y, int w, int h, const QImage& source, int sx, int sy,
              BlitOp op = BlitOp::SrcCopy);

    // The painter, for the rare drawing that needs more than GDI offers. The
    // caller restores any state it changes.
    QPainter& painter() { return m_painter; }

private:
    void strokeLine(int x0, int y0, int x1, int y1, bool includeEnd);
    void plotPixels(const QPoint* points, int count, const QColor& color);

    QImage* m_surface;
    QPainter m_painter;
    QPen m_pen;
    QBrush m_brush;
    QFont m_font;
    QColor m_textColor{0, 0, 0};
    QColor m_bkColor{255, 255, 255};
    BkMode m_bkMode = BkMode::Opaque;
    Rop2 m_rop2 = Rop2::CopyPen;
    QPoint m_pos{0, 0};
    int m_styleStep = 0; // position inside the pen's dash pattern, carried along a polyline
};
