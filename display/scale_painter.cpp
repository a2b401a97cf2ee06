#include "display/scale_painter.h"

#include "controls/ctl_core.h"
#include "platform/dc.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void line(Dc& dc, int xa, int ya, int xb, int yb) {
    dc.moveTo(xa, ya);
    dc.lineTo(xb, yb);
}

void label(Dc& dc, int color, int font, const char* format, float value, int l, int t, int r, int b,
           unsigned align) {
    char text[32];
    formatScaleLabel(text, sizeof text, format, value);
    dc.setTextColor(ctlColor(color));
    dc.selectFont(ctlFont(font));
    dc.drawText(l, t, r, b, QString::fromLatin1(text), align | DcSingleLine | DcNoClip);
}

} // namespace

void formatScaleLabel(char* out, int size, const char* format, float value) {
    std::snprintf(out, static_cast<size_t>(size), format, static_cast<double>(value));
    // "-0.0", "-0.00", "-0": a float sum that landed a hair below zero.
    bool zero = out[0] == '-';
    for (const char* c = out + 1; zero && *c; ++c)
        zero = *c == '0' || *c == '.';
    if (zero)
        std::memmove(out, out + 1, std::strlen(out));
}

void paintScalePlan(Dc& dc, const ScalePlan& plan, int x1, int x2, int y0) {
    const int w = x2 - x1;
    if (w < 2)
        return;
    dc.setBkMode(BkMode::Transparent);

    if (!plan.ruler.empty()) {
        const QPen oldPen = dc.selectPen(Dc::nullPen());
        const int mid = (x1 + x2) / 2;
        for (const RulerSegment& s : plan.ruler) {
            dc.selectBrush(ctlBrush(s.red ? 1 : 7));
            dc.rectangle(x2 - 5, y0 - s.p, x2 - 1, y0 - s.q);
            dc.rectangle(mid, y0 - (s.q + (s.p - s.q) / 2), x2 - 1, y0 - s.q);
        }
        dc.selectPen(oldPen);
    }

    for (const ScaleMark& m : plan.marks) {
        const int y = y0 - m.p;
        switch (m.style) {
        case MarkStyle::Minor:
            dc.selectPen(ctlPen(kCtlGrey180));
            line(dc, x1, y, x1 + 1, y);
            if (w > 5)
                line(dc, x2 - 1, y, x2, y);
            break;
        case MarkStyle::Half:
            dc.selectPen(ctlPen(kCtlGrey180));
            line(dc, x1, y, x1 + 5, y);
            line(dc, x2 - 5, y, x2, y);
            if (w > 18 && m.labelled)
                label(dc, 13, 3, "%0.1f", m.value, x1, y, x2, y + 18, DcCenter);
            break;
        case MarkStyle::Major:
        case MarkStyle::BottomEnd:
            dc.selectPen(ctlPen(kCtlGrey230));
            line(dc, x1, y - 1, x2, y - 1);
            line(dc, x1, y, x2, y);
            if ((m.style == MarkStyle::Major ? w >= 20 : w > 20) && m.labelled)
                label(dc, 15, 4, "%0.1f", m.value, x1, y, x2, y + 18, DcCenter);
            break;
        case MarkStyle::TopEnd:
            dc.selectPen(ctlPen(kCtlGrey230));
            line(dc, x1, y, x2, y);
            line(dc, x1, y + 1, x2, y + 1);
            if (w > 20 && m.labelled)
                label(dc, 15, 4, "%0.1f", m.value, x1, y - 15, x2, y, DcCenter);
            break;
        case MarkStyle::CorrMinor:
            dc.selectPen(ctlPen(kCtlGrey130));
            line(dc, x2 - (w > 5 ? 2 : 1), y, x2, y);
            break;
        case MarkStyle::CorrHalf:
            dc.selectPen(ctlPen(kCtlGrey180));
            line(dc, x2 - 4, y, x2, y);
            if (w > 16 && m.labelled)
                label(dc, 13, 2, "%0.2f", m.value, x1, y - 5, x2, y + 18, DcLeft);
            break;
        case MarkStyle::CorrMajor:
            dc.selectPen(ctlPen(kCtlGrey180));
            line(dc, x2 - 9, y, x2, y);
            line(dc, x2 - 9, y + 1, x2, y + 1);
            if (w >= 19 && m.labelled)
                label(dc, 15, 4, "%0.1f", m.value, x1, y - 7, x2, y + 18, DcLeft);
            break;
        case MarkStyle::Angle:
            dc.selectPen(ctlPen(kCtlGrey180));
            line(dc, x1, y, x1 + 6, y);
            line(dc, x1, y + 1, x1 + 6, y + 1);
            if (w >= 19 && m.labelled)
                label(dc, 15, 4, "%0.0f", m.value, x1, y - 7, x2 - 1, y + 18, DcRight);
            break;
        }
    }
}
