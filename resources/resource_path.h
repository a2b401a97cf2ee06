// Numbered pictures (icons 100 and 101, bitmaps 500, 509, 530, 531 and 1500
// to 1513) are compiled into the program by linking kc_resources; each is
// reached as ":/res/<number>.png". Each also comes at twice the density as
// ":/res/<number>@2x.png" (see controls/ctl_hires.h).
// The PNG files in this folder are drawn by tools/kc-make-artwork (build
// target kc_regenerate_artwork).
#pragma once

#include <QString>

// ":/res/<number>.png"
QString resourcePath(int number);
