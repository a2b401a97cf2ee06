// Draws every numbered picture of the program and writes them as PNG files
// named by number into a folder (normally resources/), each also at twice the
// density as <number>@2x.png:
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

    // Every picture at its layout size and, for high-density screens, at
    // twice that (<number>@2x.png).
    const std::vector<std::pair<QString, std::function<QImage(int)>>> pictures{
        {"100", [](int s) { return drawWindowIcon(false, 48 * s); }},
        {"101", [](int s) { return drawWindowIcon(true, 48 * s); }},
        {"500", [](int s) { return drawPanelFace(s); }},
        {"509", [](int s) { return drawPanelKnob(24, s); }},
        {"530", [](int s) { return drawPanelButton(true, s); }},
        {"531", [](int s) { return drawPanelButton(false, s); }},
        {"1500", [](int s) { return drawSmallButton(false, s); }},
        {"1501", [](int s) { return drawSmallButton(true, s); }},
        {"1502", [](int s) { return drawLargeButton(false, s); }},
        {"1503", [](int s) { return drawLargeButton(true, s); }},
        {"1504", [](int s) { return drawIndicator(false, s); }},
        {"1505", [](int s) { return drawIndicator(true, s); }},
        {"1506", drawNoteValues},
        {"1507", [](int s) { return drawPanelKnob(32, s); }},
        {"1508", [](int s) { return drawSliderTrack(true, s); }},
        {"1509", [](int s) { return drawSliderThumb(true, s); }},
        {"1510", [](int s) { return drawSliderTrack(false, s); }},
        {"1511", [](int s) { return drawSliderThumb(false, s); }},
        {"1512", drawDialogTexture},
        {"1513", drawCloseBox},
    };
    for (const auto& [number, draw] : pictures) {
        for (int scale : {1, 2}) {
            const QString path = dir.filePath(number + (scale == 1 ? ".png" : "@2x.png"));
            if (!draw(scale).save(path, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
    }
    if (args.size() == 4 && !drawPanelProof(3).save(args[3], "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
        return 1;
    }
    return 0;
}
