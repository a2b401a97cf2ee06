// Numbered pictures (icons 100 and 101, bitmaps 500, 509, 530, 531 and 1500
// to 1513) are compiled into the program by linking kc_resources; each is
// reached as ":/res/<number>.png". Each also comes at twice the density as
// ":/res/<number>@2x.png" (see controls/ctl_hires.h).
// The PNG files in this folder are drawn by tools/kc-make-artwork (build
// target kc_regenerate_artwork).
#pragma once

#include <QString>

// The program's own numbered pictures (the control library's 1500 to 1513
// are reached through ctlBitmap).
enum ResourceNumber : int {
    kIconMain = 100,        // the main window's icon
    kIconMeter = 101,       // the meter window's and the X/Y scope's icon
    kBitmapPanel = 500,     // the control panel's face
    kBitmapKnob = 509,      // the panel's knob
    kBitmapButtonOn = 530,  // the panel's buttons, on
    kBitmapButtonOff = 531, // and off
};

// ":/res/<number>.png"
QString resourcePath(int number);
