// The program's command line.
#include "app/app_options.h"

#include <gtest/gtest.h>

namespace {

AppOptions parse(std::initializer_list<const char*> args) {
    QStringList list;
    for (const char* a : args)
        list << QString::fromUtf8(a);
    return parseAppOptions(list);
}

TEST(AppOptions, DeviceAndFileAreKept) {
    AppOptions o = parse({"--device", "hw:0,0", "song.wav"});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.device, "hw:0,0");
    EXPECT_EQ(o.wavFile, "song.wav");
    o = parse({"take 1.wav", "--device=default"});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.device, "default");
    EXPECT_EQ(o.wavFile, "take 1.wav");
    // After "--" a name that looks like an option is a file.
    o = parse({"--", "--odd.wav"});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.wavFile, "--odd.wav");
    o = parse({});
    EXPECT_TRUE(o.error.isEmpty() && o.device.isEmpty() && o.wavFile.isEmpty());
    EXPECT_FALSE(o.help || o.version);
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    // A lone "-" is a file name (as tools use it), not an option.
    EXPECT_EQ(parse({"-"}).wavFile, "-");
}

TEST(AppOptions, QtOptionsAreLeftToQt) {
    const QStringList args = {
        "-platform", "xcb", "-style=Fusion", "-reverse", "--device", "pulse", "-h",
        "-",         "--",  "-geometry"};
    EXPECT_EQ(withoutQtOptions(args),
              QStringList({"--device", "pulse", "-h", "-", "--", "-geometry"}));
    AppOptions o = parseAppOptions(withoutQtOptions({"-platform", "offscreen", "demo.wav"}));
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.wavFile, "demo.wav");
}

TEST(AppOptions, MistakesAreReported) {
    EXPECT_FALSE(parse({"--device"}).error.isEmpty());
    EXPECT_FALSE(parse({"--volume", "3"}).error.isEmpty());
    EXPECT_FALSE(parse({"a.wav", "b.wav"}).error.isEmpty());
    EXPECT_TRUE(appUsageText().startsWith("Usage: korvalo-cor [--device NAME] [FILE.wav]"));
    EXPECT_TRUE(appVersionText().startsWith("korvalo-cor "));
}

} // namespace
