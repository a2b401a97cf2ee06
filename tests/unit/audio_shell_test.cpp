// The audio path inside the shell, on the silent device.
#include "app/app_commands.h"
#include "app/app_shell.h"
#include "app/audio_wiring.h"
#include "app/engine_owner.h"
#include "app/main_window.h"
#include "app/wav_select.h"
#include "audio_test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

class AudioShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        selector.showRejected = [this] { ++rejectedMessages; };
        selector.refreshPanel = [this] { ++refreshes; };
    }
    void TearDown() override {
        shell.reset();
        qunsetenv("KORVALO_WAVE_DEVICE");
    }
    MainWindow* start(AppOptions options = {}) {
        if (options.device.isEmpty())
            options.device = QStringLiteral("silent");
        shell = std::make_unique<AppShell>(options);
        audioPart.join(*shell);
        shell->parts().engine = &engine;
        shell->showMessage = [this](const ShellMessage& m) { messages << m; };
        return shell->createMainWindow();
    }

    QTemporaryDir config;
    EngineOwner engine;
    AudioPath audio;
    WavSelector selector{audio};
    AudioShellPart audioPart{audio, selector, engine.slot()};
    std::unique_ptr<AppShell> shell;
    QList<ShellMessage> messages;
    int rejectedMessages = 0;
    int refreshes = 0;

    TempFile good{stereoWav(ramp(44100)), "good.wav"};
    TempFile other{stereoWav(ramp(44100), 22050), "slow.wav"};
    TempFile text{std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}, "notes.wav"};
};

// What the selected file itself becomes is the WAV source's business; here
// the dialog flag, the stream, the message and the panel refresh.
TEST_F(AudioShellTest, SelectionStopsTheStreamShowsTheMessageAndRefreshesThePanel) {
    MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(audio.device.entry.pcmName, "silent");
    QString answer = QString::fromLocal8Bit(good.path());
    int asked = 0;
    selector.chooseFile = [&](QWidget* owner) {
        ++asked;
        EXPECT_EQ(owner, w);
        shell->command(CmdPlay); // ignored while the dialog is open
        EXPECT_FALSE(shell->streamRunning());
        return answer;
    };
    shell->command(CmdSelectWav);
    EXPECT_EQ(audio.selection.dialogBusy, 0);
    shell->command(CmdPlay);
    EXPECT_TRUE(shell->streamRunning());

    answer.clear(); // cancelled: the stream stops, the file stays
    shell->command(CmdSelectWav);
    EXPECT_FALSE(shell->streamRunning());
    answer = QString::fromLocal8Bit(other.path()); // another format: the message
    shell->command(CmdSelectWav);
    EXPECT_EQ(rejectedMessages, 1);
    shell->command(CmdPlay);
    EXPECT_TRUE(shell->streamRunning()) << "the previous file is back";
    answer = QString::fromLocal8Bit(text.path()); // unreadable: no message, no file
    shell->command(CmdSelectWav);
    EXPECT_EQ(rejectedMessages, 1);
    shell->command(CmdPlay);
    EXPECT_FALSE(shell->streamRunning());
    EXPECT_EQ(refreshes, 2) << "accepted and rejected choices refresh the panel";

    audio.selection.dialogBusy = 1; // a second F5 while the dialog is open
    shell->command(CmdSelectWav);
    EXPECT_EQ(asked, 4);
    audio.selection.dialogBusy = 0;
    w->close();
}

TEST_F(AudioShellTest, CommandLineFileAndDeviceNames) {
    AppOptions o;
    EXPECT_TRUE(audioDeviceName(o).isEmpty());
    qputenv("KORVALO_WAVE_DEVICE", "hw:5,0");
    EXPECT_EQ(audioDeviceName(o), QString("hw:5,0"));
    o.device = "silent";
    EXPECT_EQ(audioDeviceName(o), QString("silent")) << "the option wins over the environment";

    MainWindow* w = start(o);
    ASSERT_NE(w, nullptr);
    // A file of another format shows the message and plays nothing.
    EXPECT_FALSE(playStartupFile(audio, selector, QString::fromLocal8Bit(other.path())));
    EXPECT_EQ(rejectedMessages, 1);
    EXPECT_FALSE(shell->streamRunning());
    EXPECT_FALSE(playStartupFile(audio, selector, QStringLiteral("/nonexistent/song.wav")));
    EXPECT_EQ(rejectedMessages, 1);
    EXPECT_TRUE(playStartupFile(audio, selector, QString::fromLocal8Bit(good.path())));
    EXPECT_TRUE(shell->streamRunning());
    // Shut-down stops the stream before it releases the device.
    w->close();
    shell->shutDown();
    EXPECT_FALSE(transportIsRunning(&audio.transport));
    EXPECT_EQ(audio.device.kind, 0);
    EXPECT_FALSE(wavIsOpen(&audio.source));
}

} // namespace
