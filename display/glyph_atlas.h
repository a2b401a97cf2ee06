// Pre-rendered glyphs of one font, so that the render thread can print its
// labels and the frame-loss warning without fonts, text layout or allocation:
// it only blends coverage masks into the surface.
//
// The masks are rendered at the surface's device pixel ratio, so that text
// on a high-density screen is as sharp as the static painter's; positions
// and advances stay in logical pixels.
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
    // Renders the printable ASCII characters of `font` at `ratio` device
    // pixels per logical pixel.
    explicit GlyphAtlas(const QFont& font, double ratio = 1.0);

    double ratio() const { return m_ratio; }
    int cellHeight() const { return m_height; } // logical pixels
    int textWidth(const char* text) const;      // logical pixels
    // Text cell top-left at logical (x, y); characters outside ASCII 32..126
    // print as '?'.
    void draw(MeterSurface& surface, int x, int y, const char* text, uint32_t rgb) const;

private:
    struct Glyph {
        int advance = 0; // pen advance, logical pixels
        int offset = 0;  // first mask column in the atlas (device pixels)
        int width = 0;   // mask columns, device pixels
    };
    static int index(char c);

    std::vector<uint8_t> m_mask; // coverage, m_stride x m_deviceHeight
    double m_ratio = 1.0;
    int m_stride = 0;
    int m_height = 0;       // cell height, logical
    int m_deviceHeight = 0; // mask rows
    int m_pad = 2;          // device columns on each side of the advance, for overhangs
    Glyph m_glyphs[95];
};
