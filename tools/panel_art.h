// The main window's artwork: the panel face, the knob and the two button
// pictures that sit on it, and the two window icons.
#pragma once

#include <QImage>

#include <QString>

// `scale` draws the same picture with `scale` image pixels per pixel of the
// program's layout: 2 gives the pictures for high-density screens
// (500@2x.png, ...), whose layout coordinates stay those of scale 1.
QImage drawPanelFace(int scale = 1);            // 500: 250 x 279
QImage drawPanelKnob(int size, int scale = 1);  // 509 at 24, 1507 at 32: black outside the circle
QImage drawPanelButton(bool on, int scale = 1); // 530 on, 531 off: 19 x 15
QImage drawWindowIcon(bool meterIcon, int size = 48); // 100 (main window), 101 (meter window)
// Icon 100 as scalable vector graphics, from the same parts as the PNG.
QString drawWindowIconSvg();

// The face with the knobs and buttons laid on it as the program shows them,
// pointers included, enlarged `scale` times: a proof to look at, never a
// resource.
QImage drawPanelProof(int scale);
