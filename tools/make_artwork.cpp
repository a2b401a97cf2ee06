// Draws every numbered picture of the program and writes them as PNG files
// named by number into a folder (normally resources/), the main window's
// pictures also at twice the density as <number>@2x.png:
//   kc-make-artwork OUTPUT_DIR [--proof FILE.png]
// --proof also writes the panel as the program shows it, enlarged, to check
// the artwork by eye.
//   kc-make-artwork --icons OUTPUT_DIR NAME
// writes the application icon (picture 100) for the desktop's icon theme:
// OUTPUT_DIR/hicolor/<n>x<n>/apps/NAME.png from 16 to 256 pixels and
// OUTPUT_DIR/hicolor/scalable/apps/NAME.svg.
// Needs a Qt platform; QT_QPA_PLATFORM=offscreen works.
#include "tools/library_art.h"
#include "tools/panel_art.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace {

bool makeDir(const QString& path) {
    if (QDir().mkpath(path))
        return true;
    std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
    return false;
}

int writeIcons(const QString& outputDir, const QString& name) {
    const QDir root(QDir(outputDir).filePath(QStringLiteral("hicolor")));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = root.filePath(QStringLiteral("%1x%1/apps").arg(size));
        const QString path = QDir(dir).filePath(name + ".png");
        if (!makeDir(dir))
            return 1;
        if (!drawWindowIcon(false, size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QString dir = root.filePath(QStringLiteral("scalable/apps"));
    QFile svg(QDir(dir).filePath(name + ".svg"));
    if (!makeDir(dir) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(drawWindowIconSvg().toUtf8()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "--icons")
        return writeIcons(args[2], args[3]);
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--proof")) {
        std::fprintf(stderr, "usage: kc-make-artwork OUTPUT_DIR [--proof FILE.png]\n"
                             "       kc-make-artwork --icons OUTPUT_DIR NAME\n");
        return 2;
    }
    const QDir dir(args[1]);
    if (!makeDir(dir.path()))
        return 1;

    const std::vector<std::pair<QString, std::function<QImage()>>> pictures{
        {"100", [] { return drawWindowIcon(false); }},
        {"101", [] { return drawWindowIcon(true); }},
        {"500", [] { return drawPanelFace(); }},
        {"509", [] { return drawPanelKnob(24); }},
        {"530", [] { return drawPanelButton(true); }},
        {"531", [] { return drawPanelButton(false); }},
        {"500@2x", [] { return drawPanelFace(2); }},
        {"509@2x", [] { return drawPanelKnob(24, 2); }},
        {"530@2x", [] { return drawPanelButton(true, 2); }},
        {"531@2x", [] { return drawPanelButton(false, 2); }},
        {"1500", [] { return drawSmallButton(false); }},
        {"1501", [] { return drawSmallButton(true); }},
        {"1502", [] { return drawLargeButton(false); }},
        {"1503", [] { return drawLargeButton(true); }},
        {"1504", [] { return drawIndicator(false); }},
        {"1505", [] { return drawIndicator(true); }},
        {"1506", drawNoteValues},
        {"1507", [] { return drawPanelKnob(32); }},
        {"1508", [] { return drawSliderTrack(true); }},
        {"1509", [] { return drawSliderThumb(true); }},
        {"1510", [] { return drawSliderTrack(false); }},
        {"1511", [] { return drawSliderThumb(false); }},
        {"1512", drawDialogTexture},
        {"1513", drawCloseBox},
    };
    for (const auto& [number, draw] : pictures) {
        const QString path = dir.filePath(number + ".png");
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
