// The program's command line.
#include "app/app_options.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// --input takes its format options; with a FILE or --demo it is a usage error.
TEST(AppOptions, DeviceFileInputFlagsAndMistakes) {
    // Arguments; the device, file and input (nullptr: not looked at), help,
    // version, error, and with an input its rate and channel pair.
    const struct {
        QStringList args;
        const char *device = nullptr, *file = nullptr;
        bool help = false, version = false, error = false;
        const char* input = nullptr;
        int rate = 0, pairA = 1, pairB = 2;
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
        {.args = {"--input", "monitor"}, .input = "monitor"},
        {.args = {"--input=hw:1,0", "--rate", "96000"}, .input = "hw:1,0", .rate = 96000},
        {.args = {"--input", "x", "--channels=3,4"}, .input = "x", .pairA = 3, .pairB = 4},
        {.args = {"--input", "monitor", "song.wav"}, .error = true},
        {.args = {"--demo", "--input", "monitor"}, .error = true},
        {.args = {"--rate", "8000"}, .error = true},
        {.args = {"--channels", "3"}, .error = true},
        {.args = {"--input"}, .error = true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const AppOptions o = parseAppOptions(withoutQtOptions(c.args)); // as the program does
        EXPECT_EQ(!o.error.isEmpty(), c.error);
        EXPECT_EQ(std::pair(o.help, o.version), std::pair(c.help, c.version));
        EXPECT_TRUE(!c.device || o.device == c.device) << o.device.toStdString();
        EXPECT_TRUE(!c.file || o.wavFile == c.file) << o.wavFile.toStdString();
        if (c.input) {
            EXPECT_EQ(o.input, c.input);
            EXPECT_EQ(std::tie(o.inputRate, o.pairA, o.pairB), std::tie(c.rate, c.pairA, c.pairB));
        }
    }
}

// $KORVALO_INPUT stands in for --input unless a FILE, --demo or --input is given.
TEST(AppOptions, InputFromTheEnvironment) {
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
