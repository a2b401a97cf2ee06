#include "display/glyph_atlas.h"

#include "display/meter_surface.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

GlyphAtlas::GlyphAtlas(const QFont& font) {
    const QFontMetrics fm(font);
    m_height = fm.ascent() + fm.descent();
    int x = 0;
    for (int i = 0; i < 95; ++i) {
        m_glyphs[i].advance = fm.horizontalAdvance(QChar(32 + i));
        m_glyphs[i].offset = x;
        x += m_glyphs[i].advance + 2 * m_pad;
    }
    m_stride = x;
    QImage img(m_stride, m_height, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        p.setFont(font);
        p.setPen(Qt::white);
        for (int i = 0; i < 95; ++i)
            p.drawText(m_glyphs[i].offset + m_pad, fm.ascent(), QString(QChar(32 + i)));
    }
    m_mask.resize(static_cast<size_t>(m_stride) * static_cast<size_t>(m_height));
    for (int y = 0; y < m_height; ++y) {
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
    for (const char* c = text; *c; ++c) {
        const Glyph& g = m_glyphs[index(*c)];
        surface.blendMask(x - m_pad, y, m_mask.data() + g.offset, g.advance + 2 * m_pad, m_height,
                          m_stride, rgb);
        x += g.advance;
    }
}
