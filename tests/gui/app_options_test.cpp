// The program's command line.
#include "app/app_options.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(AppOptions, DeviceFileFlagsAndMistakes) {
    // Arguments; the device and file (nullptr: not looked at), help, version, error.
    const struct {
        QStringList args;
        const char *device, *file;
        bool help = false, version = false, error = false;
    } cases[] = {
        {{"--device", "hw:0,0", "song.wav"}, "hw:0,0", "song.wav"},
        {{"take 1.wav", "--device=default"}, "default", "take 1.wav"},
        {{"--", "--odd.wav"}, nullptr, "--odd.wav"}, // after "--" an option-like name is a file
        {{}, "", ""},
        {{"-"}, nullptr, "-"}, // a lone "-" is a file name (as tools use it), not an option
        {{"--help"}, nullptr, nullptr, true},
        {{"-h"}, nullptr, nullptr, true},
        {{"--version"}, nullptr, nullptr, false, true},
        {{"--device"}, nullptr, nullptr, false, false, true},
        {{"--volume", "3"}, nullptr, nullptr, false, false, true},
        {{"a.wav", "b.wav"}, nullptr, nullptr, false, false, true},
        {{"-platform", "offscreen", "demo.wav"}, nullptr, "demo.wav"}, // Qt's own option
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const AppOptions o = parseAppOptions(withoutQtOptions(c.args)); // as the program does
        EXPECT_EQ(!o.error.isEmpty(), c.error);
        EXPECT_EQ(std::pair(o.help, o.version), std::pair(c.help, c.version));
        EXPECT_TRUE(!c.device || o.device == c.device) << o.device.toStdString();
        EXPECT_TRUE(!c.file || o.wavFile == c.file) << o.wavFile.toStdString();
    }
}

// --input and its format options; with a FILE or --demo it is a usage
// error. $KORVALO_INPUT stands in for --input unless a FILE, --demo or
// --input is given.
TEST(AppOptions, LiveInput) {
    const struct {
        QStringList args;
        const char* input;
        int rate, pairA, pairB;
        bool error;
    } cases[] = {
        {{"--input", "monitor"}, "monitor", 0, 1, 2, false},
        {{"--input=hw:1,0", "--rate", "96000", "--channels=3,4"}, "hw:1,0", 96000, 3, 4, false},
        {{"--input", "monitor", "song.wav"}, nullptr, 0, 1, 2, true},
        {{"--demo", "--input", "monitor"}, nullptr, 0, 1, 2, true},
        {{"--rate", "8000"}, nullptr, 0, 1, 2, true},
        {{"--channels", "3"}, nullptr, 0, 1, 2, true},
        {{"--input"}, nullptr, 0, 1, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const AppOptions o = parseAppOptions(c.args);
        EXPECT_EQ(!o.error.isEmpty(), c.error);
        if (!c.error) {
            EXPECT_EQ(o.input, c.input);
            EXPECT_EQ(std::tie(o.inputRate, o.pairA, o.pairB), std::tie(c.rate, c.pairA, c.pairB));
        }
    }
    qputenv("KORVALO_INPUT", "pulse");
    EXPECT_EQ(appStartupInput(parseAppOptions({})), "pulse");
    EXPECT_EQ(appStartupInput(parseAppOptions({"song.wav"})), "");
    EXPECT_EQ(appStartupInput(parseAppOptions({"--input", "monitor"})), "monitor");
    qunsetenv("KORVALO_INPUT");
    EXPECT_EQ(appStartupInput(parseAppOptions({})), "");
}

TEST(AppOptions, QtOptionsAreLeftToQt) {
    const QStringList args = {
        "-platform", "xcb", "-style=Fusion", "-reverse", "--device", "pulse", "-h",
        "-",         "--",  "-geometry"};
    EXPECT_EQ(withoutQtOptions(args),
              QStringList({"--device", "pulse", "-h", "-", "--", "-geometry"}));
}

} // namespace
