// Pictures on high-density screens.
//
// Controls keep their layout in logical pixels and draw with GDI rules on a
// surface of their logical size. On a screen whose device pixel ratio is
// above 1, a picture that has a drawing at twice the density
// (":/res/<number>@2x.png" beside ":/res/<number>.png") is shown from that
// drawing instead of being stretched; what the control draws over its picture
// (pointer, focus mark, disabled cross) keeps its logical pixels.
//
// Thread: main thread only.
#pragma once

#include <QImage>

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
