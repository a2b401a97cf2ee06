// The main window's artwork: the panel face, the knob and the two button
// pictures that sit on it, and the two window icons.
#pragma once

#include <QImage>

QImage drawPanelFace();                // 500: 250 x 279
QImage drawPanelKnob(int size);        // 509 at 24, 1507 at 32: black outside the circle
QImage drawPanelButton(bool on);       // 530 on, 531 off: 19 x 15
QImage drawWindowIcon(bool meterIcon); // 100 (main window), 101 (meter window): 48 x 48

// The face with the knobs and buttons laid on it as the program shows them,
// pointers included, enlarged `scale` times: a proof to look at, never a
// resource.
QImage drawPanelProof(int scale);
