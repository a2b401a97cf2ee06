// Draws every numbered picture of the program and writes them as PNG files
// named by number into a folder (normally resources/):
//   kc-make-artwork OUTPUT_DIR [--proof FILE.png]
// --proof also writes the panel as the program shows it, enlarged, to check
// the artwork by eye. Needs a Qt platform; QT_QPA_PLATFORM=offscreen works.
#include "tools/library_art.h"
#include "tools/panel_art.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--proof")) {
        std::fprintf(stderr, "usage: kc-make-artwork OUTPUT_DIR [--proof FILE.png]\n");
        return 2;
    }
    const QDir dir(args[1]);
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }

    const std::vector<std::pair<int, std::function<QImage()>>> pictures{
        {100, [] { return drawWindowIcon(false); }},
        {101, [] { return drawWindowIcon(true); }},
        {500, drawPanelFace},
        {509, [] { return drawPanelKnob(24); }},
        {530, [] { return drawPanelButton(true); }},
        {531, [] { return drawPanelButton(false); }},
        {1500, [] { return drawSmallButton(false); }},
        {1501, [] { return drawSmallButton(true); }},
        {1502, [] { return drawLargeButton(false); }},
        {1503, [] { return drawLargeButton(true); }},
        {1504, [] { return drawIndicator(false); }},
        {1505, [] { return drawIndicator(true); }},
        {1506, drawNoteValues},
        {1507, [] { return drawPanelKnob(32); }},
        {1508, [] { return drawSliderTrack(true); }},
        {1509, [] { return drawSliderThumb(true); }},
        {1510, [] { return drawSliderTrack(false); }},
        {1511, [] { return drawSliderThumb(false); }},
        {1512, drawDialogTexture},
        {1513, drawCloseBox},
    };
    for (const auto& [number, draw] : pictures) {
        const QString path = dir.filePath(QString::number(number) + ".png");
        if (!draw().save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    if (args.size() == 4 && !drawPanelProof(3).save(args[3], "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
        return 1;
    }
    return 0;
}
