// Pictures on high-density screens.
//
// Controls keep their layout in logical pixels and draw with GDI rules. On a
// screen whose device pixel ratio is above 1 they paint a surface of that
// ratio: a picture that has a drawing at twice the density
// (":/res/<number>@2x.png" beside ":/res/<number>.png") is shown from that
// drawing instead of being stretched, and what the control draws over it
// (pointer, focus mark, disabled cross) is drawn at the device's resolution
// (ctl_draw.h).
//
// Thread: main thread only.
#pragma once

#include <QIcon>
#include <QImage>

class Dc;
class QWidget;

// A window icon of `picture` that a high-density screen shows from the
// picture's 2x drawing when it has one.
QIcon ctlIcon(const QImage& picture);

// ctlBlit on a surface of any device pixel ratio: at 1 exactly ctlBlit; above
// it the bitmap's top-left w x h is drawn over the logical rectangle at
// (x, y) from its 2x drawing when it has one.
void ctlBlitSharp(Dc& dc, const QImage& bitmap, int x, int y, int w, int h);
// ctlBlitFrom likewise, from (sx, sy) of the bitmap; `inverted` shows the
// part with its colours inverted (at ratio 1: the part copied, inverted and
// copied whole to (x, y)).
void ctlBlitSharpFrom(Dc& dc, const QImage& bitmap, int x, int y, int sx, int sy, int w, int h,
                      bool inverted = false);

// Makes `surface` an opaque image of `logical` size at the device pixel
// ratio `widget` is shown at; a new image, to be painted whole, only when its
// size or ratio changes.
void ctlFitSurface(QImage& surface, const QWidget* widget, QSize logical);

// The 2x drawing of `picture` when it is one of the numbered pictures that has
// one, else a null image. The picture is recognised by its pixels, so a copy
// or a format conversion of the loaded resource finds it too.
QImage ctlHiResPicture(const QImage& picture);

// A control's surface for a screen of `dpr`. `drawn` is the control as painted
// at its logical size, `plain` the same surface with only its picture (before
// anything was drawn over it). The result, of `dpr` device pixels per logical
// pixel, shows `hiRes` scaled over the logical rectangle `where`, and every
// logical pixel where `drawn` differs from `plain` as that pixel's square.
// `drawn` itself when `dpr` is 1 or `hiRes` is null.
QImage ctlHiResSurface(const QImage& drawn, const QImage& plain, const QImage& hiRes,
                       const QRect& where, qreal dpr);
