// Number and musical-time text utilities.
#include "controls/ctl_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

namespace {

TEST(CtlFormatNumber, SignWidthAndDecimals) {
    // Value, decimals, width, sign flag, text. Only a sign flag of exactly 1
    // asks for "+"; decimals and width are bytes (258 is 2, 256 is 0: no width).
    const std::tuple<double, int, int, int, const char*> cases[] = {
        {6.0, 3, 0, 1, "+6.000"}, {0.0, 3, 0, 1, "0.000"},       {-2.5, 1, 0, 0, "-2.5"},
        {-1.0, 0, 0, 1, "-1"},    {3.14159, 2, 7, 0, "0003.14"}, {2.5, 1, 6, 1, "+002.5"},
        {7.0, 0, 0, 0, "7"},      {7.0, 0, 0, 2, "7"},           {1.5, 258, 256, 0, "1.50"}};
    for (const auto& [value, decimals, width, sign, text] : cases)
        EXPECT_EQ(ctlFormatNumber(value, decimals, width, sign), text) << text;
}

TEST(CtlFormatNumber, BufferIsNeverOverrun) {
    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(ctlFormatNumber(6.0, buf, 0, 3, 0, 1), 0); // size 0 writes nothing
    EXPECT_EQ(buf[0], 'Z');
    EXPECT_EQ(ctlFormatNumber(6.0, buf, 4, 3, 0, 1), 3);
    EXPECT_STREQ(buf, "+6.");
    EXPECT_EQ(buf[4], 'Z');
    // A huge width is cut to the buffer, not written past it.
    EXPECT_EQ(ctlFormatNumber(1.0, buf, sizeof buf, 2, 200, 0), 7);
    EXPECT_EQ(ctlFormatNumber(1.0, 2, 200, 0).size(), 200u);
    EXPECT_EQ(ctlFormatNumber(1e300, 0, 0, 0).size(), 301u);
}

TEST(CtlParseNumber, SeparatorsSignsAndStrayCharacters) {
    // A separator before any digit starts the decimals at once ("a,25").
    const std::pair<const char*, double> cases[] = {
        {"12,5", 12.5}, {"12.5", 12.5}, {"-.5", -0.5},  {"abc7", 7.0},
        {"5-", 5.0},    {"1e3", 1.0},   {"--3", -3.0},  {"3,25", 3.25},
        {"0.1", 0.1},   {"", 0.0},      {"-", 0.0},     {"x.y", 0.0},
        {".x5", 0.0},   {"7..5", 7.0},  {"a,25", 0.25}, {" dB -12.75 dB", -12.75}};
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

TEST(CtlBarBeatTick, FormatExamples) {
    // Milliseconds, tempo, ticks per quarter, beats per bar, beat unit, text.
    const std::tuple<double, float, int, int, int, const char*> cases[] = {
        {0.0, 120, 480, 4, 4, "     1 /  1 /     0"},
        {-500.0, 120, 480, 4, 4, "     1 /  1 /     0"},   // before the start: the start
        {2500.0, 120, 480, 1, 1, "     2 /  1 /   480"},   // 1/1: ticks run across 4 quarters
        {1500.0, 120, 480, 2, 2, "     1 /  2 /   480"},   // 2/2: half notes
        {750.0, 120, 480, 6, 8, "     1 /  4 /     0"},    // 6/8: eighths of 240 ticks
        {875.0, 120, 480, 7, 16, "     2 /  1 /     0"},   // 7/16: sixteenths of 120 ticks
        {125.0, 60, 4, 4, 4, "     1 /  1 /     0"},       // ticks round half to even: 0.5 -> 0
        {375.0, 60, 4, 4, 4, "     1 /  1 /     2"},       // and 1.5 -> 2
        {1999.9999, 60, 480, 4, 4, "     1 /  3 /     0"}, // a whole quarter: next beat
        {60000.0, 0, 480, 4, 4, "     1 /  2 /     0"},    // tempo below 1 counts as 1
        {4000.0, 60, 480, 0, 4, "     2 /  1 /     0"},    // beats per bar or unit 0: 4 beats
        {4000.0, 60, 480, 3, 0, "     2 /  1 /     0"},
        {1000.0, 60, 1, 4, 8, "     1 /  3 /     0"},  // too few ticks to split an eighth,
        {1000.0, 60, 3, 4, 16, "     2 /  1 /     0"}, // a sixteenth,
        {1000.0, 60, 0, 4, 4, "     1 /  2 /     0"}}; // or no ticks at all
    for (const auto& [ms, tempo, tpq, bpb, unit, text] : cases)
        EXPECT_EQ(ctlFormatBarBeatTick(ms, tempo, tpq, bpb, unit), text)
            << ms << " ms, " << tpq << " ticks, " << bpb << "/" << unit;

    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(ctlFormatBarBeatTick(buf, 6, 2000.0, 120.0f, 480, 4, 4), 5);
    EXPECT_STREQ(buf, "     ");
    EXPECT_EQ(buf[6], 'Z');
}

struct Sig {
    float tempo;
    int tpq, bpb, unit;
};

TEST(CtlBarBeatTick, ParseReplacesOutOfRangeFields) {
    const Sig s{120.0f, 480, 4, 4};
    auto parse = [&](const char* t) {
        return ctlParseBarBeatTick(t, s.tempo, s.tpq, s.bpb, s.unit);
    };
    EXPECT_EQ(parse("2 / 1 / 0"), 2000.0f);
    // Bars far beyond what 32-bit intermediate products could hold.
    EXPECT_EQ(parse("1000 / 1 / 0"), 1998000.0f);
    EXPECT_EQ(parse(""), 0.0f);
    EXPECT_EQ(parse("0 / 0 / 9999"), 0.0f);
    EXPECT_EQ(parse("3 / 5 / 10"), parse("3 / 1 / 10"));
    EXPECT_EQ(parse("3"), 4000.0f);
    EXPECT_EQ(parse("1 / 1 / 480"), 500.0f); // a full beat of ticks is still accepted
    EXPECT_EQ(parse("1 / 1 / 481"), 0.0f);
    EXPECT_EQ(parse("1 / 4 / 0"), 1500.0f);
    // Digits reaching 2^31 - 1 are no number, and reading goes on after them.
    EXPECT_EQ(parse("99999999999 / 2 / 0"), 500.0f);
    EXPECT_EQ(parse("2147483647 / 2 / 0"), 500.0f);
    EXPECT_FLOAT_EQ(parse("2147483646 / 1 / 0"), 2147483645 * 2000.0f);
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
