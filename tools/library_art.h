// The control library's own bitmaps (1500 to 1513): buttons, indicators, the
// note-value picture, the large knob, slider parts, the dialog texture and the
// close box. They sit on the light grey dialogs, so their grounds match the
// dialog texture; round pictures that are drawn through a mask (the knob) are
// black outside their circle instead.
#pragma once

#include <QImage>

QImage drawSmallButton(bool on);       // 1500 off, 1501 on (red window): 24 x 16
QImage drawLargeButton(bool on);       // 1502 off, 1503 on (red frame): 33 x 23
QImage drawIndicator(bool on);         // 1504 off, 1505 on (red): 16 x 16
QImage drawNoteValues();               // 1506: 160 x 96, 5 x 3 cells of 32 x 32
QImage drawSliderTrack(bool vertical); // 1508 (17 x 128), 1510 (128 x 17)
QImage drawSliderThumb(bool vertical); // 1509 (15 x 20), 1511 (20 x 15)
QImage drawDialogTexture();            // 1512: 64 x 64, tiles without seams
QImage drawCloseBox();                 // 1513: 12 x 12
