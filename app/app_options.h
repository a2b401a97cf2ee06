// The program's command line.
//
//   korvalo-cor [--device NAME] [FILE.wav]
//   korvalo-cor [--device NAME] --demo
//   korvalo-cor [--input NAME] [--rate N] [--channels A,B]
//   korvalo-cor --help | --version
//
// Parsed before anything else starts, so --help and --version work without a
// display. Qt's own options (-platform, -style, ...) are left to QApplication.
#pragma once

#include <QString>
#include <QStringList>

struct AppOptions {
    QString device;    // output device name for the wave device layer; empty = the default device
    QString wavFile;   // WAV file to open at start-up; empty = none given
    bool demo = false; // --demo: wavFile is the bundled demo (app/install_paths.h)
    QString input;     // --input: the live input metered at start-up; empty = none given
    int inputRate = 0; // --rate: the input's sample rate; 0 = the source's own
    int pairA = 1;     // --channels A,B: the input channels metered as left and right
    int pairB = 2;
    bool help = false;
    bool version = false;
    QString error; // set when the command line is not understood
};

// `args` without the program name.
AppOptions parseAppOptions(const QStringList& args);

// The input to meter at start-up: --input, else $KORVALO_INPUT unless a FILE
// or --demo was given; empty for none.
QString appStartupInput(const AppOptions& options);

// `args` without Qt's own single-dash options ("-platform xcb", "-style=X",
// "-reverse"), so the program's options can be checked before QApplication
// exists (and needs a display). "-h" and "-" are kept.
QStringList withoutQtOptions(const QStringList& args);

QString appUsageText();
QString appVersionText();
// "1.0.0"
QString appVersion();
