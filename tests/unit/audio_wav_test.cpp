// The WAV source, its RIFF reader and the file selection rules.
#include "audio/wav_source.h"
#include "audio_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <tuple>

using namespace audiotest;

namespace {

std::vector<uint8_t> readBlock(WavSource& s, uint32_t frames) {
    std::vector<uint8_t> b(frames * 4, 0xEE);
    EXPECT_EQ(wavRead(&s, b.data(), static_cast<uint32_t>(b.size())), 0);
    return b;
}

std::vector<uint8_t> zeros(size_t n) {
    return std::vector<uint8_t>(n, 0);
}

std::vector<uint8_t> wavWith(const std::vector<uint8_t>& fmt, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> body;
    chunk(body, "fmt ", fmt);
    chunk(body, "data", data);
    return riffWave(body);
}

TEST(WavSource, MissingBrokenAndDamagedFilesGiveTheirResultAndLeaveNothingOpen) {
    WavSource s;
    EXPECT_EQ(wavOpen(nullptr, "/nonexistent.wav"), kWavNoSource);
    EXPECT_EQ(wavOpen(&s, "/nonexistent/x.wav"), kWavCannotOpen);
    TempFile any({1, 2, 3});
    EXPECT_EQ(wavOpen(&s, any.dir().c_str()), kWavCannotOpen) << "a directory";
    const std::string fifo = any.dir() + "/fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(wavOpen(&s, fifo.c_str()), kWavCannotOpen) << "a pipe must not hang";
    ::unlink(fifo.c_str());

    const std::string text = "This is not a sound at all, just a text file.\n";
    std::vector<uint8_t> avi = riffWave({}), noFmt, truncatedFmt = riffWave({});
    std::copy_n("AVI ", 4, avi.begin() + 8);
    chunk(noFmt, "data", samplesBytes(ramp(4)));
    // Claims 16 bytes, the file ends after 10 of them.
    chunk(truncatedFmt, "fmt ", fmtPayload(44100, 2, 4, 10), 16);
    std::vector<uint8_t> noData;
    chunk(noData, "fmt ", fmtPayload(44100, 2, 4));
    const struct {
        std::vector<uint8_t> bytes;
        int result;
    } cases[] = {
        {{text.begin(), text.end()}, kWavNoWave},
        {{}, kWavNoWave},
        {avi, kWavNoWave},
        {riffWave(noFmt), kWavNoFormat},
        {truncatedFmt, kWavNoFormat},
        {wavWith(fmtPayload(44100, 0, 4), samplesBytes(ramp(10))), kWavNoFormat}, // 0 channels
        {wavWith(fmtPayload(44100, 2, 0), samplesBytes(ramp(10))), kWavNoFormat}, // 0 align
        {riffWave(noData), kWavNoData},
    };
    for (const auto& c : cases) {
        TempFile f(c.bytes);
        EXPECT_EQ(wavOpen(&s, f.path()), c.result) << &c - cases;
        EXPECT_FALSE(wavIsOpen(&s));
    }
    std::vector<uint8_t> b(16, 0xEE);
    wavRead(&s, b.data(), 16);
    EXPECT_EQ(b, std::vector<uint8_t>(16, 0xEE)) << "no file: destination untouched";
}

// A "fmt " chunk with the given tag; with `sub` >= 0 an EXTENSIBLE extension
// (cbSize `cb`) follows whose sub-format is {sub-0000-0010-8000-00aa00389b71},
// or `guid` when given; `size` cuts the chunk.
std::vector<uint8_t> formatChunk(uint16_t tag, uint16_t align, int64_t sub = -1, uint16_t cb = 22,
                                 size_t size = 40, std::vector<uint8_t> guid = {}) {
    auto f = fmtPayload(44100, 2, align, 16, 16);
    f[0] = static_cast<uint8_t>(tag);
    f[1] = static_cast<uint8_t>(tag >> 8);
    if (sub < 0)
        return f;
    putLE(f, cb, 2);
    putLE(f, 16, 2);
    putLE(f, 3, 4); // front left and right
    if (guid.empty()) {
        putLE(f, static_cast<uint32_t>(sub), 4);
        guid = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    }
    f.insert(f.end(), guid.begin(), guid.end());
    f.resize(size, 0);
    return f;
}

TEST(WavSource, AcceptanceLooksAtRateDerivedBitsChannelsAndThatTheSamplesArePcm) {
    struct Case {
        uint32_t rate;
        uint16_t channels, align, bitsField;
        bool accepted;
    } cases[] = {
        {44100, 2, 4, 16, true},  {44100, 2, 4, 24, true}, // the chunk's own bits field is not used
        {44100, 1, 2, 16, false},                          // mono
        {22050, 2, 4, 16, false}, {44100, 2, 2, 8, false}, // 8-bit
        {44100, 2, 6, 24, false},                          // 24-bit
    };
    for (const Case& c : cases) {
        TempFile f(wavWith(fmtPayload(c.rate, c.channels, c.align, 16, c.bitsField),
                           std::vector<uint8_t>(c.align * 8u, 1)));
        WavSource s;
        ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
        EXPECT_EQ(wavAccepted(&s), c.accepted) << c.rate << " " << c.channels << " " << c.align;
    }

    // A 44.1 kHz stereo file with 4-byte frames that does not hold PCM would
    // play as loud noise; an EXTENSIBLE header that names no other format
    // plays as the size rules say.
    const std::vector<uint8_t> vendorGuid(16, 0x5A);
    const struct {
        const char* what;
        std::vector<uint8_t> fmt;
        bool accepted;
    } formats[] = {
        {"PCM", formatChunk(1, 4), true},
        {"tag 0", formatChunk(0, 4), false},
        {"IEEE float", formatChunk(3, 4), false},
        {"EXTENSIBLE PCM", formatChunk(0xFFFE, 4, 1), true},
        {"EXTENSIBLE float", formatChunk(0xFFFE, 4, 3), false},
        {"EXTENSIBLE, 16-byte chunk", formatChunk(0xFFFE, 4), true},
        {"EXTENSIBLE, chunk cut in the GUID", formatChunk(0xFFFE, 4, 3, 22, 30), true},
        {"EXTENSIBLE, cbSize too small", formatChunk(0xFFFE, 4, 3, 20), true},
        {"EXTENSIBLE, zero sub-format", formatChunk(0xFFFE, 4, 0, 22, 40, {0}), true},
        {"EXTENSIBLE, tag 0 sub-format", formatChunk(0xFFFE, 4, 0), true},
        {"EXTENSIBLE, unknown sub-format", formatChunk(0xFFFE, 4, 3, 22, 40, vendorGuid), true},
        {"EXTENSIBLE PCM, 24-bit frames", formatChunk(0xFFFE, 6, 1), false},
    };
    WavSource s;
    WavSelection sel;
    for (const auto& c : formats) {
        TempFile f(wavWith(c.fmt, samplesBytes(ramp(8))));
        EXPECT_EQ(wavAdoptFile(&s, &sel, f.path()),
                  c.accepted ? WavChoice::Accepted : WavChoice::Rejected)
            << c.what;
    }
}

TEST(WavSource, LongerFormatChunksOddChunksAndPaddingAreWalkedCorrectly) {
    const auto samples = ramp(50);
    // 17: an odd-sized "fmt " after a chunk that comes before it.
    for (size_t fmtSize : {14u, 16u, 17u, 18u, 40u}) {
        std::vector<uint8_t> body;
        if (fmtSize == 17)
            chunk(body, "JUNK", std::vector<uint8_t>(7, 0x55));
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
    auto expect = samplesBytes(samples);
    expect.resize(400, 0);
    EXPECT_EQ(readBlock(s, 100), expect);
    EXPECT_EQ(readBlock(s, 100), zeros(400));
    EXPECT_EQ(s.position, 200);
}

TEST(WavSource, CanonicalFileOpensWithItsFormatAndReadsSilenceBeforeItsData) {
    const auto samples = ramp(100);
    const auto bytes = samplesBytes(samples);
    TempFile f(stereoWav(samples));
    WavSource s;
    ASSERT_EQ(wavOpen(&s, f.path()), kWavOk);
    EXPECT_TRUE(wavAccepted(&s));
    EXPECT_EQ(std::tuple(s.formatTag, s.channels, s.sampleRate, s.bytesPerSecond, s.blockAlign,
                         s.bitsPerSample),
              std::tuple(1, 2, 44100u, 176400u, 4, 16));
    EXPECT_EQ(std::tuple(s.dataOffset, s.dataBytes, s.dataFrames, s.position),
              std::tuple(44u, 400u, 100u, 0));
    EXPECT_EQ(readBlock(s, 100), bytes);
    EXPECT_EQ(s.position, 100);

    s.position = -5;
    auto b = readBlock(s, 10);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 20), zeros(20));
    EXPECT_TRUE(std::equal(b.begin() + 20, b.end(), bytes.begin()));
    EXPECT_EQ(s.position, 5);
    s.position = -50; // the whole block lies before the data
    EXPECT_EQ(readBlock(s, 10), zeros(40));
    EXPECT_EQ(s.position, -40);
    // A request shorter than one frame reads nothing and does not move.
    uint8_t tiny[3] = {7, 7, 7};
    wavRead(&s, tiny, 3);
    EXPECT_EQ(tiny[0], 7);
    EXPECT_EQ(s.position, -40);
    wavSeek(&s, 1000);
    EXPECT_EQ(s.position, 44100);

    // Eight-bit silence is the midpoint.
    TempFile f8(wavWith(fmtPayload(44100, 2, 2, 16, 8), {10, 20, 30, 40}));
    ASSERT_EQ(wavOpen(&s, f8.path()), kWavOk);
    b.assign(8, 0);
    wavRead(&s, b.data(), 8);
    EXPECT_EQ(b, (std::vector<uint8_t>{10, 20, 30, 40, 0x80, 0x80, 0x80, 0x80}));
    wavClose(&s);
    EXPECT_FALSE(wavIsOpen(&s));
}

TEST(WavSelectionRules, AcceptedRejectedAndUnreadableChoices) {
    const auto a = ramp(10, 100);
    TempFile good(stereoWav(a), "good.wav");
    TempFile mono(wavWith(fmtPayload(44100, 1, 2), samplesBytes(ramp(10))), "mono.wav");
    TempFile txt({'t', 'e', 'x', 't'}, "notes.wav");

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
