#include "app/app_options.h"

#include "app/install_paths.h"
#include "audio/input_format.h"

#ifndef KC_VERSION
#define KC_VERSION "1.0.0"
#endif

namespace {

bool isInputOption(const QString& a) {
    for (const char* name : {"--input", "--rate", "--channels"}) {
        const QLatin1String n(name);
        if (a == n || a.startsWith(n + QLatin1Char('=')))
            return true;
    }
    return false;
}

// --input NAME, --rate N, --channels A,B (or NAME=VALUE); false with o.error set.
bool parseInputOption(const QStringList& args, int& i, AppOptions& o) {
    QString name = args[i], value;
    if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq > 0) {
        value = name.mid(eq + 1);
        name.truncate(eq);
    } else if (i + 1 < args.size()) {
        value = args[++i];
    } else {
        o.error = QStringLiteral("%1 needs a value").arg(name);
        return false;
    }
    bool ok = !value.isEmpty();
    if (name == QLatin1String("--input")) {
        o.input = value;
    } else if (name == QLatin1String("--rate")) {
        o.inputRate = value.toInt(&ok);
        ok = ok && o.inputRate >= 11000 && o.inputRate <= 768000;
    } else {
        ok = inputParsePair(value.toStdString(), o.pairA, o.pairB);
    }
    if (!ok)
        o.error = QStringLiteral("%1: not a valid value (%2)").arg(name, value);
    return ok;
}

} // namespace

QString appStartupInput(const AppOptions& options) {
    if (!options.input.isEmpty() || !options.wavFile.isEmpty())
        return options.input;
    return QString::fromLocal8Bit(qgetenv("KORVALO_INPUT"));
}

AppOptions parseAppOptions(const QStringList& args) {
    AppOptions o;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (a == QLatin1String("--help") || a == QLatin1String("-h"))) {
            o.help = true;
        } else if (!optionsEnded && a == QLatin1String("--version")) {
            o.version = true;
        } else if (!optionsEnded && a == QLatin1String("--demo")) {
            o.demo = true;
        } else if (!optionsEnded && a == QLatin1String("--device")) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("--device needs a device name");
                return o;
            }
            o.device = args[++i];
        } else if (!optionsEnded && a.startsWith(QLatin1String("--device="))) {
            o.device = a.mid(9);
        } else if (!optionsEnded && isInputOption(a)) {
            if (!parseInputOption(args, i, o))
                return o;
        } else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            o.error = QStringLiteral("unknown option: %1").arg(a);
            return o;
        } else if (o.wavFile.isEmpty()) {
            o.wavFile = a;
        } else {
            o.error = QStringLiteral("only one WAV file can be given (%1, %2)").arg(o.wavFile, a);
            return o;
        }
    }
    if (!o.input.isEmpty() && (o.demo || !o.wavFile.isEmpty()) && !o.help && !o.version) {
        o.error = QStringLiteral("--input meters a live input; no WAV file or --demo can be "
                                 "given with it");
        return o;
    }
    if (o.demo && !o.help && !o.version) {
        if (!o.wavFile.isEmpty()) {
            o.error = QStringLiteral("--demo plays the bundled demo; no WAV file can be given "
                                     "with it (%1)")
                          .arg(o.wavFile);
            return o;
        }
        o.wavFile = findInstalledFile(InstalledFile::Demo);
        if (o.wavFile.isEmpty())
            o.error = QStringLiteral("--demo: the bundled demo korvalo-demo.wav is not installed "
                                     "(looked in %1)")
                          .arg(installedFileCandidates(InstalledFile::Demo, programDirectory())
                                   .join(QStringLiteral(", ")));
    }
    return o;
}

QStringList withoutQtOptions(const QStringList& args) {
    // Qt options that take the next argument as their value.
    static const QStringList withValue = {"-platform",
                                          "-platformpluginpath",
                                          "-platformtheme",
                                          "-plugin",
                                          "-qwindowgeometry",
                                          "-qwindowtitle",
                                          "-qwindowicon",
                                          "-display",
                                          "-geometry",
                                          "-style",
                                          "-stylesheet",
                                          "-session",
                                          "-name",
                                          "-title",
                                          "-visual"};
    QStringList out;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || a == QLatin1String("--"))
            optionsEnded = true;
        else if (a.startsWith(QLatin1Char('-')) && !a.startsWith(QLatin1String("--")) &&
                 a != QLatin1String("-h") && a != QLatin1String("-")) {
            if (withValue.contains(a))
                ++i;
            continue;
        }
        out << a;
    }
    return out;
}

QString appUsageText() {
    return QStringLiteral(
        "Usage: korvalo-cor [--device NAME] [FILE.wav]\n"
        "       korvalo-cor [--device NAME] --demo\n"
        "       korvalo-cor [--input NAME] [--rate N] [--channels A,B]\n"
        "Korvalo Cor. - a stereo audio level meter. It plays a 16-bit stereo 44.1 kHz\n"
        "WAV file through the sound card and meters exactly what it plays.\n"
        "\n"
        "  --device NAME  play through this output device (an ALSA PCM name such as\n"
        "                 \"default\" or \"hw:0,0\"); without it the default device\n"
        "  FILE.wav       the WAV file to open and play at once, with the meter window\n"
        "                 open; without it the program starts stopped, with no file\n"
        "                 (F5 chooses one)\n"
        "  --demo         play the bundled demo (korvalo-demo.wav, installed with the\n"
        "                 program under share/korvalo-cor/) like a FILE.wav\n"
        "  --input NAME   meter a live input at once instead of a file: an ALSA PCM\n"
        "                 name (\"default\", \"hw:1,0\", \"pulse\") or \"monitor\", what\n"
        "                 the desktop plays; also taken from $KORVALO_INPUT\n"
        "  --rate N       open the input at N Hz instead of the source's own rate\n"
        "  --channels A,B the input channels metered as left and right (default 1,2)\n"
        "  --help         print this help and exit\n"
        "  --version      print the version and exit\n"
        "  --analyze ...  measure files without playing them: korvalo-cor --analyze --help\n"
        "\n"
        "Keys: F1 play (or capture), F2 stop, F4 zero, F5 select a WAV file.\n");
}

QString appVersion() {
    return QStringLiteral(KC_VERSION);
}

QString appVersionText() {
    return QStringLiteral("korvalo-cor " KC_VERSION "\n");
}
