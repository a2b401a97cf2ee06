#include "display/glyph_atlas.h"

#include "display/meter_surface.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cmath>

GlyphAtlas::GlyphAtlas(const QFont& font, double ratio) : m_ratio(ratio > 0 ? ratio : 1.0) {
    const QFontMetrics fm(font);
    m_height = fm.ascent() + fm.descent();
    m_deviceHeight = static_cast<int>(std::ceil(m_height * m_ratio));
    m_pad = static_cast<int>(std::ceil(2 * m_ratio));
    int x = 0;
    for (int i = 0; i < 95; ++i) {
        Glyph& g = m_glyphs[i];
        g.advance = fm.horizontalAdvance(QChar(32 + i));
        g.offset = x;
        g.width = static_cast<int>(std::ceil(g.advance * m_ratio)) + 2 * m_pad;
        x += g.width;
    }
    m_stride = x;
    QImage img(m_stride, m_deviceHeight, QImage::Format_RGB32);
    img.setDevicePixelRatio(m_ratio);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        p.setFont(font);
        p.setPen(Qt::white);
        // Each pen position lands on a whole device pixel.
        for (int i = 0; i < 95; ++i)
            p.drawText(QPointF((m_glyphs[i].offset + m_pad) / m_ratio, fm.ascent()),
                       QString(QChar(32 + i)));
    }
    m_mask.resize(static_cast<size_t>(m_stride) * static_cast<size_t>(m_deviceHeight));
    for (int y = 0; y < m_deviceHeight; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int i = 0; i < m_stride; ++i)
            m_mask[static_cast<size_t>(y) * m_stride + i] = static_cast<uint8_t>(qGreen(line[i]));
    }
}

int GlyphAtlas::index(char c) {
    const int u = static_cast<unsigned char>(c);
    return u >= 32 && u <= 126 ? u - 32 : '?' - 32;
}

int GlyphAtlas::textWidth(const char* text) const {
    int w = 0;
    for (const char* c = text; *c; ++c)
        w += m_glyphs[index(*c)].advance;
    return w;
}

void GlyphAtlas::draw(MeterSurface& surface, int x, int y, const char* text, uint32_t rgb) const {
    const int top = surface.toDevice(y);
    for (const char* c = text; *c; ++c) {
        const Glyph& g = m_glyphs[index(*c)];
        surface.blendMask(surface.toDevice(x) - m_pad, top, m_mask.data() + g.offset, g.width,
                          m_deviceHeight, m_stride, rgb);
        x += g.advance;
    }
}
