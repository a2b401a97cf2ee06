// The installed program's lookups: where the readme and the demo are looked
// for, in order, and what --demo means on the command line. The installed
// binary itself is checked by tests/system/install_test.sh.
#include "app/app_options.h"
#include "app/install_paths.h"

#include <gtest/gtest.h>

TEST(InstallPaths, RelativeToTheProgramFirstThenThePrefix) {
    const QStringList readme = installedFileCandidates(InstalledFile::Readme, "/opt/kc/bin");
    ASSERT_EQ(readme.size(), 2);
    EXPECT_EQ(readme[0], "/opt/kc/share/doc/korvalo-cor/readme.txt");
    EXPECT_TRUE(readme[1].endsWith("/share/doc/korvalo-cor/readme.txt")) << readme[1].toStdString();

    const QStringList demo = installedFileCandidates(InstalledFile::Demo, "/opt/kc/bin");
    ASSERT_EQ(demo.size(), 3);
    EXPECT_EQ(demo[0], "/opt/kc/share/korvalo-cor/korvalo-demo.wav");
    EXPECT_EQ(demo[1], "/opt/kc/bin/demo/korvalo-demo.wav");
    EXPECT_TRUE(demo[2].endsWith("/share/korvalo-cor/korvalo-demo.wav")) << demo[2].toStdString();
}

TEST(InstallPaths, DemoOptionRules) {
    struct Case {
        QStringList args;
        bool error, demo;
        QString wavFile; // checked when not empty
    };
    const Case cases[] = {
        {{"--demo", "x.wav"}, true, true, {}},
        {{"x.wav", "--demo"}, true, true, {}},
        {{"--demo", "--help"}, false, true, {}}, // --help answers whatever else is given
        {{"--", "--demo"}, false, false, "--demo"},
    };
    for (const Case& c : cases) {
        const AppOptions o = parseAppOptions(c.args);
        const std::string name = c.args.join(' ').toStdString();
        EXPECT_EQ(!o.error.isEmpty(), c.error) << name << ": " << o.error.toStdString();
        EXPECT_EQ(o.demo, c.demo) << name;
        if (!c.wavFile.isEmpty()) {
            EXPECT_EQ(o.wavFile, c.wavFile) << name;
        }
    }
    // Found or not, --demo names the demo or says where it looked.
    const AppOptions o = parseAppOptions({"--demo"});
    const QString said = o.error.isEmpty() ? o.wavFile : o.error;
    EXPECT_TRUE(said.contains("korvalo-demo.wav")) << said.toStdString();
}
