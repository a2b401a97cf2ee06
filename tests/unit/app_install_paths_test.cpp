// Readme and demo lookups and --demo; the installed binary is checked by
// tests/system/install_test.sh.
#include "app/app_options.h"
#include "app/install_paths.h"

#include <gtest/gtest.h>

// The installed places of both files are checked by the install system test.
TEST(InstallPaths, TheBuildFoldersDemoAfterTheInstalledOne) {
    EXPECT_EQ(installedFileCandidates(InstalledFile::Demo, "/opt/kc/bin").value(1),
              "/opt/kc/bin/demo/korvalo-demo.wav");
}

TEST(InstallPaths, DemoOption) {
    const struct {
        QStringList args;
        bool error, demo;
    } cases[] = {
        {{"--demo", "x.wav"}, true, true},
        {{"x.wav", "--demo"}, true, true},
        {{"--demo", "--help"}, false, true},
        {{"--", "--demo"}, false, false}, // a file named --demo
    };
    for (const auto& c : cases) {
        const AppOptions o = parseAppOptions(c.args);
        EXPECT_EQ(!o.error.isEmpty(), c.error) << c.args.join(' ').toStdString();
        EXPECT_EQ(o.demo, c.demo) << c.args.join(' ').toStdString();
    }
    // Found or not, --demo names the demo: as the file to play or in its error.
    const AppOptions o = parseAppOptions({"--demo"});
    EXPECT_TRUE((o.error + o.wavFile).contains("korvalo-demo.wav"));
}
