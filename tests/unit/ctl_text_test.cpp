// Number and musical-time text utilities.
#include "controls/ctl_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

TEST(CtlFormatNumber, SignWidthAndDecimals) {
    EXPECT_EQ(ctlFormatNumber(6.0, 3, 0, 1), "+6.000");
    EXPECT_EQ(ctlFormatNumber(0.0, 3, 0, 1), "0.000");
    EXPECT_EQ(ctlFormatNumber(-2.5, 1, 0, 0), "-2.5");
    EXPECT_EQ(ctlFormatNumber(-1.0, 0, 0, 1), "-1");
    EXPECT_EQ(ctlFormatNumber(3.14159, 2, 7, 0), "0003.14");
    EXPECT_EQ(ctlFormatNumber(2.5, 1, 6, 1), "+002.5");
    EXPECT_EQ(ctlFormatNumber(7.0, 0, 0, 0), "7");
    // Only a sign flag of exactly 1 asks for "+".
    EXPECT_EQ(ctlFormatNumber(7.0, 0, 0, 2), "7");
    // Decimals and width are bytes: 258 is 2, 256 is 0 (no width).
    EXPECT_EQ(ctlFormatNumber(1.5, 258, 256, 0), "1.50");
}

TEST(CtlFormatNumber, BufferIsNeverOverrun) {
    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(ctlFormatNumber(6.0, buf, 0, 3, 0, 1), 0); // size 0 writes nothing
    EXPECT_EQ(buf[0], 'Z');
    EXPECT_EQ(ctlFormatNumber(6.0, buf, 4, 3, 0, 1), 3);
    EXPECT_STREQ(buf, "+6.");
    EXPECT_EQ(buf[4], 'Z');
    EXPECT_EQ(ctlFormatNumber(-2.5, buf, sizeof buf, 1, 0, 0), 4);
    EXPECT_STREQ(buf, "-2.5");
    // A huge width is cut to the buffer, not written past it.
    EXPECT_EQ(ctlFormatNumber(1.0, buf, sizeof buf, 2, 200, 0), 7);
    EXPECT_EQ(ctlFormatNumber(1.0, 2, 200, 0).size(), 200u);
    EXPECT_EQ(ctlFormatNumber(1e300, 0, 0, 0).size(), 301u);
}

TEST(CtlParseNumber, SeparatorsSignsAndStrayCharacters) {
    const std::pair<const char*, double> cases[] = {
        {"12,5", 12.5},
        {"12.5", 12.5},
        {"-.5", -0.5},
        {"abc7", 7.0},
        {"5-", 5.0},
        {"1e3", 1.0},
        {"--3", -3.0},
        {"3,25", 3.25},
        {"0.1", 0.1},
        {"", 0.0},
        {"-", 0.0},
        {"x.y", 0.0},
        {" dB -12.75 dB", -12.75},
        {".x5", 0.0},
        {"7..5", 7.0},
        {"a,25", 0.25}, // a separator before any digit starts the decimals at once
    };
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(ctlParseNumber(text), value) << '"' << text << '"';
    EXPECT_FALSE(std::signbit(ctlParseNumber("-")));
}

TEST(CtlParseNumber, DigitLimits) {
    // 53 integer digits are read; the 54th ends the number.
    const std::string ones(60, '1');
    const double expected = std::stod(std::string(53, '1'));
    EXPECT_NEAR(ctlParseNumber(ones), expected, expected * 1e-14);
    EXPECT_NEAR(ctlParseNumber(ones + ".5"), expected, expected * 1e-14);
    // 52 decimal digits at most, without running off into noise.
    EXPECT_NEAR(ctlParseNumber("0." + std::string(60, '3')), 1.0 / 3.0, 1e-15);
}

TEST(CtlRound, HalvesRoundDown) {
    const std::pair<float, float> cases[] = {{2.5f, 2.0f},    {2.51f, 3.0f}, {-2.5f, -3.0f},
                                             {-2.49f, -2.0f}, {0.5f, 0.0f},  {-0.4f, 0.0f},
                                             {4.0f, 4.0f}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ctlRound(in), out) << in;
}

TEST(CtlNextInteger, ReadsInSequenceAndAdvances) {
    // Each call: the value read and where the position stands after it.
    const std::string text = "2 / 1 / 0";
    size_t pos = 0;
    for (auto [value, after] : {std::pair{2, 2u}, {1, 6u}, {0, 9u}, {-1, 9u}}) {
        EXPECT_EQ(ctlNextInteger(text, pos), value);
        EXPECT_EQ(pos, after);
    }
    pos = 0;
    EXPECT_EQ(ctlNextInteger("12x34", pos), 12);
    EXPECT_EQ(pos, 3u); // past the "x"
    EXPECT_EQ(ctlNextInteger("12x34", pos), 34);
    pos = 0;
    EXPECT_EQ(ctlNextInteger("no digits", pos), -1);
    pos = 99;
    EXPECT_EQ(ctlNextInteger("5", pos), -1);
    EXPECT_EQ(pos, 1u);
    // Values from 2^31 - 1 up are refused, and reading goes on after them.
    pos = 0;
    EXPECT_EQ(ctlNextInteger("2147483646", pos), 2147483646);
    pos = 0;
    EXPECT_EQ(ctlNextInteger("2147483647", pos), -1);
    pos = 0;
    EXPECT_EQ(ctlNextInteger("99999999999999999999 5", pos), -1);
    EXPECT_EQ(ctlNextInteger("99999999999999999999 5", pos), 5);
}

struct Sig {
    float tempo;
    int tpq, bpb, unit;
};

TEST(CtlBarBeatTick, QuarterNoteBeats) {
    const Sig s{120.0f, 480, 4, 4};
    EXPECT_EQ(ctlBarBeatTickToMs(1, 1, 0, s.tempo, s.tpq, s.bpb, s.unit), 0.0f);
    EXPECT_EQ(ctlParseBarBeatTick("2 / 1 / 0", s.tempo, s.tpq, s.bpb, s.unit), 2000.0f);
    EXPECT_EQ(ctlFormatBarBeatTick(2000.0, s.tempo, s.tpq, s.bpb, s.unit), "     2 /  1 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(0.0, s.tempo, s.tpq, s.bpb, s.unit), "     1 /  1 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(2750.0, s.tempo, s.tpq, s.bpb, s.unit), "     2 /  2 /   240");
    // Bars far beyond what 32-bit intermediate products could hold.
    EXPECT_EQ(ctlParseBarBeatTick("1000 / 1 / 0", s.tempo, s.tpq, s.bpb, s.unit), 1998000.0f);
}

TEST(CtlBarBeatTick, OtherBeatUnits) {
    // 1/1: one whole note per bar, ticks run across the four quarters.
    EXPECT_EQ(ctlFormatBarBeatTick(2500.0, 120.0f, 480, 1, 1), "     2 /  1 /   480");
    EXPECT_EQ(ctlBarBeatTickToMs(2, 1, 480, 120.0f, 480, 1, 1), 2500.0f);
    // 2/2: half notes.
    EXPECT_EQ(ctlFormatBarBeatTick(1500.0, 120.0f, 480, 2, 2), "     1 /  2 /   480");
    EXPECT_EQ(ctlBarBeatTickToMs(1, 2, 480, 120.0f, 480, 2, 2), 1500.0f);
    // 6/8: eighth notes of 240 ticks.
    EXPECT_EQ(ctlFormatBarBeatTick(750.0, 120.0f, 480, 6, 8), "     1 /  4 /     0");
    EXPECT_EQ(ctlBarBeatTickToMs(1, 4, 0, 120.0f, 480, 6, 8), 750.0f);
    EXPECT_EQ(ctlFormatBarBeatTick(3125.0, 120.0f, 480, 6, 8), "     3 /  1 /   120");
    // 7/16: sixteenth notes of 120 ticks.
    EXPECT_EQ(ctlFormatBarBeatTick(875.0, 120.0f, 480, 7, 16), "     2 /  1 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(937.5, 120.0f, 480, 7, 16), "     2 /  1 /    60");
    EXPECT_EQ(ctlBarBeatTickToMs(2, 1, 0, 120.0f, 480, 7, 16), 875.0f);
}

TEST(CtlBarBeatTick, RoundingAndDegenerateSignatures) {
    // Ticks round half to even: 0.5 -> 0, 1.5 -> 2.
    EXPECT_EQ(ctlFormatBarBeatTick(125.0, 60.0f, 4, 4, 4), "     1 /  1 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(375.0, 60.0f, 4, 4, 4), "     1 /  1 /     2");
    // A fraction rounding up to a whole quarter is the next beat, tick 0.
    EXPECT_EQ(ctlFormatBarBeatTick(1999.9999, 60.0f, 480, 4, 4), "     1 /  3 /     0");
    // Tempo below 1 counts as 1; beats per bar or unit 0 count as 4 beats.
    EXPECT_EQ(ctlFormatBarBeatTick(60000.0, 0.0f, 480, 4, 4), "     1 /  2 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(4000.0, 60.0f, 480, 0, 4), "     2 /  1 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(4000.0, 60.0f, 480, 3, 0), "     2 /  1 /     0");
    // Too few ticks to split an eighth or a sixteenth, and no ticks at all.
    EXPECT_EQ(ctlFormatBarBeatTick(1000.0, 60.0f, 1, 4, 8), "     1 /  3 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(1000.0, 60.0f, 3, 4, 16), "     2 /  1 /     0");
    EXPECT_EQ(ctlFormatBarBeatTick(1000.0, 60.0f, 0, 4, 4), "     1 /  2 /     0");
    EXPECT_EQ(ctlBarBeatTickToMs(3, 1, 0, 60.0f, 0, 4, 4), 0.0f);
    // Times before the start show the start.
    EXPECT_EQ(ctlFormatBarBeatTick(-500.0, 120.0f, 480, 4, 4), "     1 /  1 /     0");

    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(ctlFormatBarBeatTick(buf, 6, 2000.0, 120.0f, 480, 4, 4), 5);
    EXPECT_STREQ(buf, "     ");
    EXPECT_EQ(buf[6], 'Z');
}

TEST(CtlBarBeatTick, ParseReplacesOutOfRangeFields) {
    const Sig s{120.0f, 480, 4, 4};
    auto parse = [&](const char* t) {
        return ctlParseBarBeatTick(t, s.tempo, s.tpq, s.bpb, s.unit);
    };
    EXPECT_EQ(parse(""), 0.0f);
    EXPECT_EQ(parse("0 / 0 / 9999"), 0.0f);
    EXPECT_EQ(parse("3 / 5 / 10"), parse("3 / 1 / 10"));
    EXPECT_EQ(parse("3"), 4000.0f);
    EXPECT_EQ(parse("1 / 1 / 480"), 500.0f); // a full beat of ticks is still accepted
    EXPECT_EQ(parse("1 / 1 / 481"), 0.0f);
    EXPECT_EQ(parse("1 / 4 / 0"), 1500.0f);
    EXPECT_EQ(parse("99999999999 / 2 / 0"), 500.0f);
}

TEST(CtlBarBeatTick, FormatThenParseGivesTheSameTime) {
    const Sig sigs[] = {{120.0f, 480, 4, 4}, {97.5f, 96, 3, 4},   {140.0f, 480, 6, 8},
                        {60.0f, 480, 7, 16}, {133.0f, 192, 2, 2}, {90.0f, 96, 1, 1}};
    for (const Sig& s : sigs) {
        for (int bar = 1; bar <= 40; bar += 3)
            for (int beat = 1; beat <= s.bpb; ++beat)
                for (int tick : {0, 1, 17}) {
                    float ms = ctlBarBeatTickToMs(bar, beat, tick, s.tempo, s.tpq, s.bpb, s.unit);
                    std::string text = ctlFormatBarBeatTick(ms, s.tempo, s.tpq, s.bpb, s.unit);
                    float back = ctlParseBarBeatTick(text, s.tempo, s.tpq, s.bpb, s.unit);
                    EXPECT_FLOAT_EQ(back, ms) << bar << "/" << beat << "/" << tick << " unit "
                                              << s.unit << " -> '" << text << "'";
                }
    }
}

} // namespace
