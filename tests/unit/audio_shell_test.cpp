// The audio path inside the shell, on the silent device.
#include "app/app_commands.h"
#include "app/app_shell.h"
#include "app/audio_wiring.h"
#include "app/engine_owner.h"
#include "app/main_window.h"
#include "app/output_delay.h"
#include "app/wav_select.h"
#include "audio_test_support.h"
#include "meter_test_support.h"
#include "platform/registry_store.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

class AudioShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(QString::fromStdString(regStorePath()));
        selector.showRejected = [this] { ++rejectedMessages; };
        selector.refreshPanel = [this] { ++refreshes; };
    }
    void TearDown() override {
        shell.reset();
        meterInstallFrameRenderer(nullptr);
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

    EngineOwner engine;
    AudioPath audio;
    WavSelector selector{audio};
    AudioShellPart audioPart{audio, selector, engine.slot()};
    CaptureRenderer frames; // the published frames, once installed
    std::unique_ptr<AppShell> shell;
    QList<ShellMessage> messages;
    int rejectedMessages = 0;
    int refreshes = 0;

    TempFile good{stereoWav(ramp(44100)), "good.wav"};
    TempFile other{stereoWav(ramp(44100), 22050), "slow.wav"};
    TempFile text{std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}, "notes.wav"};
};

// What the selected file itself becomes is the WAV source's business; here
// the dialog flag, the stream, the message, the panel refresh and shut-down.
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

    // The file named on the command line plays only when the selection takes it.
    EXPECT_FALSE(playStartupFile(audio, selector, QString::fromLocal8Bit(other.path())));
    EXPECT_FALSE(shell->streamRunning());
    EXPECT_TRUE(playStartupFile(audio, selector, QString::fromLocal8Bit(good.path())));
    EXPECT_TRUE(shell->streamRunning());
    // Shut-down stops the stream before it releases the device.
    w->close();
    shell->shutDown();
    EXPECT_FALSE(transportIsRunning(&audio.transport));
    EXPECT_EQ(audio.device.kind, 0);
    EXPECT_FALSE(wavIsOpen(&audio.source));
}

TEST_F(AudioShellTest, DeviceNameFromTheOptionOrTheEnvironment) {
    AppOptions o;
    EXPECT_TRUE(audioDeviceName(o).isEmpty());
    qputenv("KORVALO_WAVE_DEVICE", "hw:5,0");
    EXPECT_EQ(audioDeviceName(o), QString("hw:5,0"));
    o.device = "silent";
    EXPECT_EQ(audioDeviceName(o), QString("silent")) << "the option wins over the environment";
}

// The silent input captures zeros at 48000 Hz: F1, F2, F4 and F5 act on the
// capture while an input is chosen, and the file comes back as the source.
TEST_F(AudioShellTest, AnInputIsASourceBesideTheFile) {
    ASSERT_NE(start(), nullptr);
    LiveInput& live = audioPart.live();
    QStringList failures;
    live.showFailure = [&](const QString& text) { failures << text; };
    meterInstallFrameRenderer(&frames);
    live.choose(QStringLiteral("silent"));
    EXPECT_TRUE(shell->streamRunning());
    EXPECT_EQ(audio.input.format.rate, 48000);
    EXPECT_TRUE(live.sourceText().contains("silent"));
    ASSERT_TRUE(frames.waitFrames(1));
    const uint32_t maxResets = frames.last().in.maxResetSeq;
    // The maxima and the loudness (Reset Max) start again; the capture goes on.
    shell->command(CmdZero);
    ASSERT_TRUE(frames.waitFrames(frames.frames().size() + 2));
    EXPECT_GT(frames.last().in.maxResetSeq, maxResets);
    EXPECT_TRUE(shell->streamRunning());
    shell->command(CmdStop);
    EXPECT_FALSE(shell->streamRunning());
    shell->command(CmdPlay);
    EXPECT_TRUE(shell->streamRunning());

    QString answer; // F5 cancelled: stopped, the input still chosen
    selector.chooseFile = [&](QWidget*) { return answer; };
    shell->command(CmdSelectWav);
    EXPECT_FALSE(shell->streamRunning());
    EXPECT_EQ(live.chosen(), "silent");
    answer = QString::fromLocal8Bit(good.path()); // a file chosen: the file is the source
    shell->command(CmdSelectWav);
    EXPECT_FALSE(live.isChosen());
    shell->command(CmdPlay);
    EXPECT_TRUE(shell->streamRunning());
    EXPECT_EQ(audio.transport.input, nullptr) << "the file plays, at its own format";

    // An input that cannot be opened is said once and leaves the source as it
    // was: the file plays on, a capture comes back.
    for (const char* before : {"", "silent"}) {
        if (*before)
            live.choose(QString::fromLatin1(before));
        live.choose(QStringLiteral("hw:97,5"));
        EXPECT_TRUE(shell->streamRunning()) << before;
        EXPECT_EQ(live.chosen(), QString::fromLatin1(before));
        EXPECT_EQ(audio.transport.input, *before ? &audio.input : nullptr);
    }
    ASSERT_EQ(failures.size(), 2);
    EXPECT_TRUE(failures[0].contains("hw:97,5"));
    shell->command(CmdMeterFile);
    EXPECT_FALSE(live.isChosen());
}

// The live delay follows the output's reported delay less one block, only
// while following and playing, by steps of more than 5 ms, within 0..2 s; the
// switch is kept across starts.
TEST_F(AudioShellTest, TheDelayFollowsTheOutputDelay) {
    ASSERT_NE(start(), nullptr);
    ASSERT_TRUE(selector.adopt(QString::fromLocal8Bit(good.path())));
    OutputDelayFollower follower(audio, engine.slot());
    EXPECT_FALSE(follower.following()) << "off by default";
    QList<float> shown;
    follower.showDelay = [&](float s) { shown << s; };
    const auto delay = [&] {
        MeterParams p{};
        meterGetParams(engine.get(), &p);
        return std::pair(p.left.Delay, p.right.Delay);
    };
    const int64_t block = audio.device.bufferFrames;
    const auto report = [&](double seconds) {
        audio.device.outputDelayFrames.store(block + std::llround(seconds * 44100));
        follower.look();
        return delay().first;
    };
    shell->command(CmdPlay);
    ASSERT_TRUE(shell->streamRunning());
    // Opening the device clears the delay: report only once buffers go out.
    ASSERT_TRUE(eventually([&] { return audio.device.queued.load() > 0; }));
    EXPECT_FLOAT_EQ(report(0.3), 0.0f) << "not following";
    follower.setFollowing(true);
    EXPECT_NEAR(report(0.3), 0.3f, 1e-4);
    EXPECT_EQ(delay().second, delay().first);
    EXPECT_NEAR(report(0.304), 0.3f, 1e-4) << "a move of 4 ms is left alone";
    EXPECT_NEAR(report(0.31), 0.31f, 1e-4);
    EXPECT_NEAR(report(5.0), 2.0f, 1e-4) << "clamped";
    audio.device.outputDelayFrames.store(-1); // no delay reported: nothing changes
    follower.look();
    EXPECT_NEAR(delay().first, 2.0f, 1e-4);
    EXPECT_EQ(shown.size(), 3);
    shell->command(CmdStop);
    EXPECT_NEAR(report(0.5), 2.0f, 1e-4) << "not while stopped";
    EXPECT_TRUE(OutputDelayFollower(audio, engine.slot()).following()) << "kept across starts";
    follower.turnedByHand();
    EXPECT_FALSE(OutputDelayFollower(audio, engine.slot()).following());
}

} // namespace
