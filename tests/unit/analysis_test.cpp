// Offline analysis against closed forms and the EBU reference tone; other
// containers and depths; files that cannot be read.
#include "analysis/analysis.h"
#include "analysis/analysis_report.h"
#include "options/meter_preset.h"
#include "tools/wav_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

class AnalysisTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kc-analysis-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        options.loudness = true;
        analysisInstallHooks(kMeterSettingsCompiledDefaults, options);
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

    std::string write(const std::string& name, const std::vector<int16_t>& s) {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(writeWavFile(path, s, 44100, 2));
        return path;
    }
    std::string dir;
    AnalysisOptions options;
};

// Stereo frames (one second by default) from a function of the frame index per channel.
template <typename L, typename R> std::vector<int16_t> stereo(L l, R r, int frames = 44100) {
    std::vector<int16_t> s(2 * frames);
    for (int i = 0; i < frames; ++i) {
        s[2 * i] = static_cast<int16_t>(l(i));
        s[2 * i + 1] = static_cast<int16_t>(r(i));
    }
    return s;
}

constexpr auto zero = [](int) { return 0; };

// 441 Hz: 100 samples per period, so the sample at a quarter period is the crest.
int sine(int i, double amplitude) {
    return static_cast<int>(std::lround(amplitude * std::sin(2 * M_PI * 441 * i / 44100.0)));
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void expectDb(double got, double want, double tolerance, const std::string& what) {
    if (std::isinf(want))
        EXPECT_EQ(got, want) << what;
    else
        EXPECT_NEAR(got, want, tolerance) << what;
}

// Peaks, RMS, true peak, meter maximum and integrated loudness within 0.01.
void expectSameFigures(const FileAnalysis& a, const FileAnalysis& ref, const std::string& what) {
    for (int ch = 0; ch < 2; ++ch) {
        const AnalysisChannel &c = a.channel[ch], &r = ref.channel[ch];
        for (auto [got, want] : {std::pair{c.samplePeakDb, r.samplePeakDb},
                                 {c.rmsDb, r.rmsDb},
                                 {c.truePeakDb, r.truePeakDb},
                                 {c.meterMaxPeakDb, r.meterMaxPeakDb}})
            EXPECT_NEAR(got, want, 0.01) << what << " channel " << ch;
    }
    EXPECT_NEAR(a.integratedLufs, ref.integratedLufs, 0.01) << what;
}

TEST_F(AnalysisTest, LevelsMatchClosedForms) {
    const double fs = 32767.0, m20 = 32767.0 * 0.1;
    const double sineRms = 20 * std::log10(32767.0 / 32768.0 / std::sqrt(2.0));
    const double m20Peak = 20 * std::log10(std::lround(m20) / 32768.0), m20Rms = m20Peak - 3.0103;
    const auto full = [&](int i) { return sine(i, fs); };
    const auto low = [&](int i) { return sine(i, m20); };
    const auto lowInverted = [&](int i) { return -sine(i, m20); };
    const auto square = [](int i) { return (i / 50) % 2 ? -32768 : 32767; };
    const struct Row {
        const char* name;
        std::vector<int16_t> samples;
        double peak[2], rms[2]; // closed forms, dBFS
        double correlation;
        uint64_t clipped[2];
    } rows[] = {
        {"full-scale sine", stereo(full, full), {-0.0003, -0.0003}, {sineRms, sineRms}, 1, {0, 0}},
        {"-20 dBFS sine", stereo(low, low), {m20Peak, m20Peak}, {m20Rms, m20Rms}, 1, {0, 0}},
        {"square", stereo(square, square), {0, 0}, {-0.0001, -0.0001}, 1, {44100, 44100}},
        {"silence", stereo(zero, zero), {-kInf, -kInf}, {-kInf, -kInf}, 0, {0, 0}},
        {"right silent", stereo(full, zero), {-0.0003, -kInf}, {sineRms, -kInf}, 0, {0, 0}},
        {"L = -R", stereo(low, lowInverted), {m20Peak, m20Peak}, {m20Rms, m20Rms}, -1, {0, 0}},
    };
    int index = 0;
    for (const Row& row : rows) {
        const std::string path = write("row" + std::to_string(index++) + ".wav", row.samples);
        const FileAnalysis a = analyzeFile(path, options);
        ASSERT_TRUE(a.error.empty()) << row.name << ": " << a.error;
        for (int ch = 0; ch < 2; ++ch) {
            const std::string what = std::string(row.name) + (ch ? " right" : " left");
            const AnalysisChannel& c = a.channel[ch];
            expectDb(c.samplePeakDb, row.peak[ch], 0.001, what + " peak");
            expectDb(c.rmsDb, row.rms[ch], 0.001, what + " RMS");
            EXPECT_EQ(c.clipped, row.clipped[ch]) << what;
            // The meter's peak maximum is the sample peak (instant attack).
            expectDb(c.meterMaxPeakDb, row.peak[ch], 0.001, what + " meter maximum");
        }
        EXPECT_NEAR(a.correlationMean, row.correlation, 1e-9) << row.name;
        if (row.correlation < 0) {
            EXPECT_EQ(a.correlationMin, -1.0) << row.name;
        }
    }
}

TEST_F(AnalysisTest, EbuReferenceToneReadsMinus23Lufs) {
    const double amplitude = 32768.0 * std::pow(10.0, -23.0 / 20.0);
    const auto tone = [&](int i) {
        return std::lround(amplitude * std::sin(2 * M_PI * 1000 * i / 44100.0));
    };
    const std::string path = write("ebu.wav", stereo(tone, tone, 44100 * 10));
    const FileAnalysis a = analyzeFile(path, options);
    ASSERT_TRUE(a.hasLoudness);
    EXPECT_NEAR(a.integratedLufs, -23.0, 0.1);
    EXPECT_NEAR(a.momentaryMaxLufs, -23.0, 0.1);
    EXPECT_NEAR(a.shortTermMaxLufs, -23.0, 0.1);
    EXPECT_NEAR(a.loudnessRangeLu, 0.0, 0.1);
    EXPECT_NEAR(a.channel[0].truePeakDb, -23.0, 0.1);

    const FileAnalysis silent = analyzeFile(write("s.wav", stereo(zero, zero)), options);
    EXPECT_EQ(silent.integratedLufs, -kInf);
    EXPECT_NE(reportSummary(ReportFormat::Text, silent, {}).find("-inf"), std::string::npos);
    EXPECT_NE(reportSummary(ReportFormat::Json, silent, {}).find("\"integrated_lufs\": \"-inf\""),
              std::string::npos);
}

TEST_F(AnalysisTest, FlacAnd24BitGiveTheFiguresOf16BitWav) {
    const std::string wav24 = dir + "/tone24.wav", wav16 = dir + "/tone16.wav",
                      flac = dir + "/tone.flac", mono = dir + "/mono.wav";
    ASSERT_EQ(std::system(("sox -n -r 44100 -b 24 -c 2 " + wav24 +
                           " synth 3 sine 997 sine 1503 gain -6 && sox " + wav24 + " -D -b 16 " +
                           wav16 + " && sox " + wav16 + " " + flac + " && sox " + wav24 +
                           " -b 24 " + mono + " remix 1")
                              .c_str()),
              0);
    const FileAnalysis ref = analyzeFile(wav16, options);
    ASSERT_TRUE(ref.error.empty()) << ref.error;
    for (const std::string& path : {wav24, flac}) {
        const FileAnalysis a = analyzeFile(path, options);
        ASSERT_TRUE(a.error.empty()) << path << ": " << a.error;
        EXPECT_EQ(a.frames, ref.frames);
        expectSameFigures(a, ref, path);
    }
    // Mono is metered as the live engine meters it: one channel, no correlation.
    const FileAnalysis m = analyzeFile(mono, options);
    ASSERT_TRUE(m.error.empty()) << m.error;
    EXPECT_EQ(m.channels, 1);
    EXPECT_NEAR(m.channel[0].samplePeakDb, ref.channel[0].samplePeakDb, 0.01);
    EXPECT_TRUE(std::isnan(m.correlationMean));
    EXPECT_GT(m.meterFrames, 0u);
}

TEST_F(AnalysisTest, UnreadableFilesComeBackWithTheirReason) {
    const std::string fifo = dir + "/fifo.wav", empty = dir + "/empty.wav",
                      text = dir + "/text.wav", quad = dir + "/quad.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(empty).flush();
    std::ofstream(text) << "not a sound file at all, just words\n";
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 4 " + quad + " synth 0.1 sine 100").c_str()), 0);
    const struct {
        std::string path, reason;
    } rows[] = {{dir, "is a directory"},  {fifo, "not a regular file"},
                {empty, "empty file"},    {dir + "/missing.wav", "No such file"},
                {text, "not recognised"}, {quad, "4 channels"}};
    for (const auto& row : rows) {
        const FileAnalysis a = analyzeFile(row.path, options);
        EXPECT_NE(a.error.find(row.reason), std::string::npos) << row.path << ": " << a.error;
    }

    // A file cut short in its data is measured as far as it goes.
    const std::string whole = write("whole.wav", stereo([](int i) { return sine(i, 9000); }, zero));
    const std::string bytes = readBytes(whole);
    std::ofstream(dir + "/cut.wav", std::ios::binary) << bytes.substr(0, 44 + 4 * 1000 + 2);
    const FileAnalysis cut = analyzeFile(dir + "/cut.wav", options);
    ASSERT_TRUE(cut.error.empty()) << cut.error;
    EXPECT_EQ(cut.frames, 1000u);
    EXPECT_NE(cut.warning.find("cut short"), std::string::npos);

    // A WAV written to a pipe leaves its RIFF and data sizes at 0 or
    // 0xFFFFFFFF, or at sox's 0x7FFFF000 (plus the header for RIFF): the data
    // runs to the end of the file.
    for (const char* sizes : {"\xff\xff\xff\xff\xff\xff\xff\xff", "\0\0\0\0\0\0\0\0",
                              "\xff\xff\xff\xff\0\0\0\0", "\x24\xf0\xff\x7f\x00\xf0\xff\x7f"}) {
        std::string streamed = bytes;
        streamed.replace(4, 4, sizes, 4);
        streamed.replace(40, 4, sizes + 4, 4);
        std::ofstream(dir + "/streamed.wav", std::ios::binary) << streamed;
        const FileAnalysis a = analyzeFile(dir + "/streamed.wav", options);
        EXPECT_EQ(a.frames, 44100u) << a.error;
        EXPECT_EQ(a.warning, "");
    }
}

// NaN and infinite samples are measured as silence: put where the tone
// crosses zero, they leave the figures of the file without them, and they are
// counted.
TEST_F(AnalysisTest, NonFiniteSamplesAreSilence) {
    const std::string clean = dir + "/clean.wav", damaged = dir + "/nan.wav";
    ASSERT_EQ(std::system(("sox -n -r 44100 -e floating-point -b 32 -c 2 " + clean +
                           " synth 3 sine 441 gain -6")
                              .c_str()),
              0);
    std::string bytes = readBytes(clean);
    const size_t data = bytes.find("data") + 8;
    const float nan = std::nanf(""), inf = kInf;
    bytes.replace(data + 8 * 1000, 4, reinterpret_cast<const char*>(&nan), 4);
    bytes.replace(data + 8 * 2000 + 4, 4, reinterpret_cast<const char*>(&inf), 4);
    std::ofstream(damaged, std::ios::binary) << bytes;
    const FileAnalysis ref = analyzeFile(clean, options), a = analyzeFile(damaged, options);
    ASSERT_TRUE(a.error.empty()) << a.error;
    EXPECT_EQ(a.nonFiniteSamples, 2u);
    expectSameFigures(a, ref, damaged);
    EXPECT_NEAR(a.momentaryMaxLufs, ref.momentaryMaxLufs, 0.01);
}

TEST(AnalysisPresetTest, RowsAreTheMeterWindowsPresets) {
    for (int row = 0; row < kMeterPresetCount; ++row) {
        EXPECT_EQ(analysisPresetRow(meterPresetMenuText(row)), row);
        EXPECT_EQ(analysisPresetRow(analysisPresetName(row)), row);
    }
}

} // namespace
