// The control library's own bitmaps (1500 to 1513): buttons, indicators, the
// note-value picture, the large knob, slider parts, the dialog texture and the
// close box. They sit on the light grey dialogs, so their grounds match the
// dialog texture; round pictures that are drawn through a mask (the knob) are
// black outside their circle instead.
//
// `scale` draws the same picture with `scale` image pixels per pixel of the
// program's layout: 2 gives the pictures for high-density screens
// (1500@2x.png, ...).
#pragma once

#include <QImage>

QImage drawSmallButton(bool on, int scale = 1);       // 1500 off, 1501 on (red window): 24 x 16
QImage drawLargeButton(bool on, int scale = 1);       // 1502 off, 1503 on (red frame): 33 x 23
QImage drawIndicator(bool on, int scale = 1);         // 1504 off, 1505 on (red): 16 x 16
QImage drawNoteValues(int scale = 1);                 // 1506: 160 x 96, 5 x 3 cells of 32 x 32
QImage drawSliderTrack(bool vertical, int scale = 1); // 1508 (17 x 128), 1510 (128 x 17)
QImage drawSliderThumb(bool vertical, int scale = 1); // 1509 (15 x 20), 1511 (20 x 15)
QImage drawDialogTexture(int scale = 1);              // 1512: 64 x 64, tiles without seams
QImage drawCloseBox(int scale = 1);                   // 1513: 12 x 12
