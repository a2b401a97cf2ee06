// The WAV source and its RIFF reader: open results, the acceptance rule,
// reading with silence around the data, damaged and unusual files, and the
// selection rules that keep or restore the current file.
#include "audio/wav_source.h"
#include "audio_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace audiotest;

namespace {

std::vector<uint8_t> readBlock(WavSource& s, uint32_t frames) {
    std::vector<uint8_t> b(frames * 4, 0xEE);
    EXPECT_EQ(wavRead(&s, b.data(), static_cast<uint32_t>(b.size())), 0);
    return b;
}

bool silent(const std::vector<uint8_t>& b, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, b.size());
    for (size_t i = from; i < to; ++i)
        if (b[i] != 0)
            return false;
    return true;
}

TEST(WavSource, CanonicalFileOpensWithItsFormatAndData) {
    const auto samples = ramp(100);
    TempFile f(stereoWav(samples));
    WavSource s;
    ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
    EXPECT_TRUE(wavIsOpen(&s));
    EXPECT_TRUE(wavAccepted(&s));
    EXPECT_EQ(s.formatTag, 1);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.sampleRate, 44100u);
    EXPECT_EQ(s.bytesPerSecond, 176400u);
    EXPECT_EQ(s.blockAlign, 4);
    EXPECT_EQ(s.bitsPerSample, 16);
    EXPECT_EQ(s.dataOffset, 44u);
    EXPECT_EQ(s.dataBytes, 400u);
    EXPECT_EQ(s.dataFrames, 100u);
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(readBlock(s, 100), samplesBytes(samples));
    EXPECT_EQ(s.position, 100);
    wavSeek(&s, 0);
    EXPECT_EQ(s.position, 0);
    wavSeek(&s, 1000);
    EXPECT_EQ(s.position, 44100);
    wavClose(&s);
    EXPECT_FALSE(wavIsOpen(&s));
}

TEST(WavSource, OpenResultCodesForMissingAndBrokenFiles) {
    WavSource s;
    EXPECT_EQ(wavOpen(nullptr, "/nonexistent.wav"), kWavNoSource);
    EXPECT_EQ(wavOpen(&s, "/nonexistent/x.wav"), kWavCannotOpen);
    TempFile any({1, 2, 3});
    EXPECT_EQ(wavOpen(&s, any.dir().c_str()), kWavCannotOpen) << "a directory";
    ASSERT_EQ(mkfifo((any.dir() + "/fifo.wav").c_str(), 0600), 0);
    EXPECT_EQ(wavOpen(&s, (any.dir() + "/fifo.wav").c_str()), kWavCannotOpen)
        << "a pipe must not hang";
    ::unlink((any.dir() + "/fifo.wav").c_str());

    const std::string text = "This is not a sound at all, just a text file.\n";
    TempFile txt(std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(wavOpen(&s, txt.path()), kWavNoWave);
    TempFile empty({});
    EXPECT_EQ(wavOpen(&s, empty.path()), kWavNoWave);

    std::vector<uint8_t> avi;
    putId(avi, "RIFF");
    put32(avi, 4);
    putId(avi, "AVI ");
    TempFile notWave(avi);
    EXPECT_EQ(wavOpen(&s, notWave.path()), kWavNoWave);

    std::vector<uint8_t> body;
    chunk(body, "data", samplesBytes(ramp(4)));
    TempFile noFmt(riffWave(body));
    EXPECT_EQ(wavOpen(&s, noFmt.path()), kWavNoFormat);

    // "fmt " claims 16 bytes, the file ends after 10 of them.
    std::vector<uint8_t> cut = riffWave({});
    putId(cut, "fmt ");
    put32(cut, 16);
    auto part = fmtPayload(44100, 2, 4, 10);
    cut.insert(cut.end(), part.begin(), part.end());
    TempFile truncatedFmt(cut);
    EXPECT_EQ(wavOpen(&s, truncatedFmt.path()), kWavNoFormat);

    body.clear();
    chunk(body, "fmt ", fmtPayload(44100, 2, 4));
    TempFile noData(riffWave(body));
    EXPECT_EQ(wavOpen(&s, noData.path()), kWavNoData);
    // A failed open never leaves a file behind.
    EXPECT_FALSE(wavIsOpen(&s));
}

TEST(WavSource, ZeroChannelsOrBlockAlignAreRefusedLikeUnreadableFiles) {
    for (auto [channels, align] : {std::pair<uint16_t, uint16_t>{0, 4}, {2, 0}}) {
        std::vector<uint8_t> body;
        chunk(body, "fmt ", fmtPayload(44100, channels, align));
        chunk(body, "data", samplesBytes(ramp(10)));
        TempFile f(riffWave(body));
        WavSource s;
        EXPECT_EQ(wavOpen(&s, f.path()), kWavNoFormat);
        EXPECT_FALSE(wavIsOpen(&s));
        std::vector<uint8_t> b(16, 0xEE);
        wavRead(&s, b.data(), 16);
        EXPECT_EQ(b, std::vector<uint8_t>(16, 0xEE)) << "no file: destination untouched";
    }
}

TEST(WavSource, AcceptanceLooksAtRateDerivedBitsAndChannelsOnly) {
    struct Case {
        uint32_t rate;
        uint16_t channels, align, bitsField, tag;
        bool accepted;
    } cases[] = {
        {44100, 2, 4, 16, 1, true},
        {44100, 2, 4, 24, 1, true},      // the chunk's own bits field is not used
        {44100, 2, 4, 16, 0xFFFE, true}, // nor the format tag
        {44100, 1, 2, 16, 1, false},     // mono
        {22050, 2, 4, 16, 1, false},
        {44100, 2, 2, 8, 1, false},  // 8-bit
        {44100, 2, 6, 24, 1, false}, // 24-bit
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> body;
        auto fmt = fmtPayload(c.rate, c.channels, c.align, 16, c.bitsField);
        fmt[0] = static_cast<uint8_t>(c.tag);
        fmt[1] = static_cast<uint8_t>(c.tag >> 8);
        chunk(body, "fmt ", fmt);
        chunk(body, "data", std::vector<uint8_t>(c.align * 8u, 1));
        TempFile f(riffWave(body));
        WavSource s;
        ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
        EXPECT_EQ(wavAccepted(&s), c.accepted) << c.rate << " " << c.channels << " " << c.align;
    }
}

TEST(WavSource, LongerFormatChunksOddChunksAndPaddingAreWalkedCorrectly) {
    const auto samples = ramp(50);
    for (size_t fmtSize : {14u, 16u, 18u, 40u}) {
        std::vector<uint8_t> body;
        chunk(body, "fmt ", fmtPayload(44100, 2, 4, fmtSize));
        chunk(body, "LIST", {'I', 'N', 'F', 'O', 'x'}); // odd: a pad byte follows
        chunk(body, "fact", {1, 2, 3});
        chunk(body, "data", samplesBytes(samples));
        TempFile f(riffWave(body));
        WavSource s;
        ASSERT_EQ(wavOpen(&s, f.path()), kWavOk) << fmtSize;
        EXPECT_TRUE(wavAccepted(&s)) << fmtSize;
        EXPECT_EQ(s.dataFrames, 50u);
        EXPECT_EQ(readBlock(s, 50), samplesBytes(samples)) << fmtSize;
    }
    // Chunks before the RIFF's "fmt " and an odd-sized "fmt " both work.
    std::vector<uint8_t> body;
    chunk(body, "JUNK", std::vector<uint8_t>(7, 0x55));
    chunk(body, "fmt ", fmtPayload(44100, 2, 4, 17));
    chunk(body, "data", samplesBytes(samples));
    TempFile f(riffWave(body));
    WavSource s;
    ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
    EXPECT_EQ(readBlock(s, 50), samplesBytes(samples));
}

TEST(WavSource, DataChunkLargerThanTheFilePlaysWhatIsThereThenSilence) {
    const auto samples = ramp(30);
    std::vector<uint8_t> body;
    chunk(body, "fmt ", fmtPayload(44100, 2, 4));
    chunk(body, "data", samplesBytes(samples), 0x7FFFFFF0);
    TempFile f(riffWave(body, 0x7FFFFFFF)); // the RIFF size lies too
    WavSource s;
    ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
    EXPECT_EQ(s.dataFrames, 0x7FFFFFF0u / 4);
    auto b = readBlock(s, 100);
    auto expect = samplesBytes(samples);
    expect.resize(400, 0);
    EXPECT_EQ(b, expect);
    EXPECT_TRUE(silent(readBlock(s, 100)));
    EXPECT_EQ(s.position, 200);
}

TEST(WavSource, ShortFileReadInBlocksGivesMusicThenSilenceForever) {
    const auto samples = ramp(1000);
    TempFile f(stereoWav(samples));
    WavSource s;
    ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
    auto first = readBlock(s, 4408);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 4000, samplesBytes(samples).begin()));
    EXPECT_TRUE(silent(first, 4000));
    for (int i = 2; i <= 4; ++i) {
        EXPECT_TRUE(silent(readBlock(s, 4408)));
        EXPECT_EQ(s.position, 4408 * i);
    }
}

TEST(WavSource, PositionsBeforeTheDataReadSilenceFirst) {
    const auto samples = ramp(20);
    TempFile f(stereoWav(samples));
    WavSource s;
    ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
    s.position = -5;
    auto b = readBlock(s, 10);
    EXPECT_TRUE(silent(b, 0, 20));
    EXPECT_TRUE(std::equal(b.begin() + 20, b.end(), samplesBytes(samples).begin()));
    EXPECT_EQ(s.position, 5);
    s.position = -50; // the whole block lies before the data
    EXPECT_TRUE(silent(readBlock(s, 10)));
    EXPECT_EQ(s.position, -40);
    // A request shorter than one frame reads nothing and does not move.
    uint8_t tiny[3] = {7, 7, 7};
    wavRead(&s, tiny, 3);
    EXPECT_EQ(tiny[0], 7);
    EXPECT_EQ(s.position, -40);
}

TEST(WavSource, EightBitSilenceIsTheMidpoint) {
    std::vector<uint8_t> body;
    chunk(body, "fmt ", fmtPayload(44100, 2, 2, 16, 8));
    chunk(body, "data", {10, 20, 30, 40});
    TempFile f(riffWave(body));
    WavSource s;
    ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
    EXPECT_EQ(s.bitsPerSample, 8);
    std::vector<uint8_t> b(8, 0);
    wavRead(&s, b.data(), 8);
    EXPECT_EQ(b, (std::vector<uint8_t>{10, 20, 30, 40, 0x80, 0x80, 0x80, 0x80}));
}

TEST(WavSelectionRules, AcceptedRejectedAndUnreadableChoices) {
    const auto a = ramp(10, 100);
    TempFile good(stereoWav(a), "good.wav");
    std::vector<uint8_t> monoBody;
    chunk(monoBody, "fmt ", fmtPayload(44100, 1, 2));
    chunk(monoBody, "data", samplesBytes(ramp(10)));
    TempFile mono(riffWave(monoBody), "mono.wav");
    const std::string text = "plain text";
    TempFile txt(std::vector<uint8_t>(text.begin(), text.end()), "notes.wav");

    WavSource s;
    WavSelection sel;
    // Rejected as the very first choice: nothing is open.
    EXPECT_EQ(wavAdoptFile(&s, &sel, mono.path()), WavChoice::Rejected);
    EXPECT_FALSE(wavIsOpen(&s));
    EXPECT_TRUE(sel.currentPath.empty());

    EXPECT_EQ(wavAdoptFile(&s, &sel, good.path()), WavChoice::Accepted);
    EXPECT_EQ(sel.currentPath, good.path());
    s.position = 7;

    // Another format brings the accepted file back, from its start.
    EXPECT_EQ(wavAdoptFile(&s, &sel, mono.path()), WavChoice::Rejected);
    ASSERT_TRUE(wavIsOpen(&s));
    EXPECT_EQ(s.path, good.path());
    EXPECT_EQ(sel.currentPath, good.path());
    EXPECT_EQ(readBlock(s, 10), samplesBytes(a));

    // An unreadable file leaves nothing open and the current path as it was.
    EXPECT_EQ(wavAdoptFile(&s, &sel, txt.path()), WavChoice::Unreadable);
    EXPECT_FALSE(wavIsOpen(&s));
    EXPECT_EQ(sel.currentPath, good.path());
}

} // namespace
