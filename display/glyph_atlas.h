// Pre-rendered glyphs of one font, so that the render thread can print its
// labels and the frame-loss warning without fonts, text layout or allocation:
// it only blends coverage masks into the surface.
//
// Built on the main thread (fonts live there); read-only afterwards, so any
// thread may draw with it.
#pragma once

#include <QFont>
#include <cstdint>
#include <vector>

class MeterSurface;

class GlyphAtlas {
public:
    // Renders the printable ASCII characters of `font`.
    explicit GlyphAtlas(const QFont& font);

    int cellHeight() const { return m_height; }
    int textWidth(const char* text) const;
    // Text cell top-left at (x, y); characters outside ASCII 32..126 print as '?'.
    void draw(MeterSurface& surface, int x, int y, const char* text, uint32_t rgb) const;

private:
    struct Glyph {
        int advance = 0; // pen advance
        int offset = 0;  // first column of its mask in the atlas
    };
    static int index(char c);

    std::vector<uint8_t> m_mask; // coverage, m_stride x m_height
    int m_stride = 0;
    int m_height = 0;
    int m_pad = 2; // mask columns on each side of the advance, for overhangs
    Glyph m_glyphs[95];
};
