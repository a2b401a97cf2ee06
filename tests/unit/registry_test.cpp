// Settings store: the read/write contract, names, and damaged files.
#include "platform/registry_store.h"
#include "tests/unit/registry_test_util.h"

#include <array>
#include <cstring>
#include <filesystem>

namespace {

constexpr const char* kDemo = "Zandel_Audio\\demo";

float readFloat(const char* key, const char* name, float dflt, int* result = nullptr) {
    float v = dflt;
    int r = regReadValue(key, name, &v, sizeof v);
    if (result)
        *result = r;
    return v;
}

class RegistryContract : public RegistryTestBase {};

TEST_F(RegistryContract, MissingKeyLeavesDefaultAndCreatesNothing) {
    float v = 0.1f;
    EXPECT_EQ(regReadValue(kDemo, "LatencyTime", &v, 4), 0);
    EXPECT_EQ(v, 0.1f);
    EXPECT_FALSE(std::filesystem::exists(folder()));

    // A key that exists but lacks the value behaves the same.
    float other = 1.0f;
    ASSERT_EQ(regWriteValue(kDemo, "Other", &other, 4), 1);
    EXPECT_EQ(regReadValue(kDemo, "LatencyTime", &v, 4), 0);
    EXPECT_EQ(v, 0.1f);
    EXPECT_EQ(regReadValue("Zandel_Audio", "Other", &v, 4), 0);
    EXPECT_EQ(v, 0.1f);
}

TEST_F(RegistryContract, WriteCreatesWholePathAndReadsBackExactBytes) {
    const float latency = 0.05f;
    ASSERT_EQ(regWriteValue("Zandel_Audio\\TRLX\\Meter\\Korvalo Cor", "nbFperS", &latency, 4), 1);
    EXPECT_EQ(regStorePath(), file().string());
    int r = 0;
    EXPECT_EQ(readFloat("Zandel_Audio\\TRLX\\Meter\\Korvalo Cor", "nbFperS", 0.f, &r), 0.05f);
    EXPECT_EQ(r, 1);
    // Human-readable, key paths and names as given.
    const std::string text = fileText();
    EXPECT_NE(text.find("[Zandel_Audio\\TRLX\\Meter\\Korvalo Cor]"), std::string::npos) << text;
    EXPECT_NE(text.find("nbFperS=binary:4:"), std::string::npos) << text;

    // 44 bytes, every position distinct; an empty value leaves the buffer alone.
    std::array<unsigned char, 44> ctx{}, back{};
    for (size_t i = 0; i < ctx.size(); ++i)
        ctx[i] = static_cast<unsigned char>(0xF0 - i * 5);
    ASSERT_EQ(regWriteValue("Zandel_Audio\\QK2CTL\\Korvalo Cor.", "Dial_tCtx", ctx.data(), 44), 1);
    EXPECT_EQ(regReadValue("Zandel_Audio\\QK2CTL\\Korvalo Cor.", "Dial_tCtx", back.data(), 44), 1);
    EXPECT_EQ(back, ctx);
    ASSERT_EQ(regWriteValue(kDemo, "empty", nullptr, 0), 1);
    unsigned char probe = 0x5A;
    EXPECT_EQ(regReadValue(kDemo, "empty", &probe, 1), 1);
    EXPECT_EQ(probe, 0x5A);
}

TEST_F(RegistryContract, TypeAndSizeRules) {
    const uint32_t dword = 0x3dcccccd;
    ASSERT_EQ(regWriteTyped(kDemo, "LatencyTime", RegType::Dword, &dword, 4), 1);
    int r = 1;
    EXPECT_EQ(readFloat(kDemo, "LatencyTime", 0.1f, &r), 0.1f);
    EXPECT_EQ(r, 0);
    ASSERT_EQ(regWriteTyped(kDemo, "Name", RegType::String, "abcd", 4), 1);
    char text[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(regReadValue(kDemo, "Name", text, 4), 0);
    // Rewriting as binary replaces the type.
    ASSERT_EQ(regWriteValue(kDemo, "LatencyTime", &dword, 4), 1);
    uint32_t got = 0;
    EXPECT_EQ(regReadValue(kDemo, "LatencyTime", &got, 4), 1);
    EXPECT_EQ(got, dword);

    // Larger than offered: refused, caller's bytes untouched.
    const uint64_t big = 0x1122334455667788ull;
    ASSERT_EQ(regWriteValue(kDemo, "Big", &big, 8), 1);
    uint32_t small = 0xDEADBEEF;
    EXPECT_EQ(regReadValue(kDemo, "Big", &small, 4), 0);
    EXPECT_EQ(small, 0xDEADBEEFu);
    // Shorter than offered: fills its own length only.
    const uint16_t two = 0xABCD;
    ASSERT_EQ(regWriteValue(kDemo, "Two", &two, 2), 1);
    unsigned char dest[4] = {1, 2, 3, 4};
    EXPECT_EQ(regReadValue(kDemo, "Two", dest, 4), 1);
    EXPECT_EQ(std::memcmp(dest, &two, 2), 0);
    EXPECT_TRUE(dest[2] == 3 && dest[3] == 4);

    // Bad arguments fail instead of touching memory.
    EXPECT_EQ(regReadValue(kDemo, "Two", nullptr, 4), 0);
    EXPECT_EQ(regWriteValue(kDemo, "Null", nullptr, 4), 0);
}

TEST_F(RegistryContract, NamesSurviveAnyBytesAndMatchWithoutCase) {
    const char* keys[] = {"Zandel_Audio\\TRLX\\Korvalo Cor.", "a=b]c[d", "%41;x", "", " lead"};
    const char* names[] = {
        "Window x0", "=", "[x]", "line\nbreak", "; not a comment", "caf\xc3\xa9 \xc2\xa9", ""};
    int n = 0;
    for (const char* k : keys)
        for (const char* name : names) {
            int v = ++n;
            ASSERT_EQ(regWriteValue(k, name, &v, 4), 1) << k << "/" << name;
        }
    n = 0;
    for (const char* k : keys)
        for (const char* name : names) {
            int v = -1;
            ++n;
            EXPECT_EQ(regReadValue(k, name, &v, 4), 1) << k << "/" << name;
            EXPECT_EQ(v, n) << k << "/" << name;
        }
    // Registry names ignore case; the first spelling stays in the file.
    int v = 0;
    EXPECT_EQ(regReadValue("ZANDEL_AUDIO\\trlx\\korvalo cor.", "WINDOW X0", &v, 4), 1);
    EXPECT_EQ(v, 1);
    int w = 99;
    ASSERT_EQ(regWriteValue("zandel_audio\\TRLX\\KORVALO COR.", "window X0", &w, 4), 1);
    EXPECT_EQ(regReadValue("Zandel_Audio\\TRLX\\Korvalo Cor.", "Window x0", &v, 4), 1);
    EXPECT_EQ(v, 99);
    EXPECT_NE(fileText().find("[Zandel_Audio\\TRLX\\Korvalo Cor.]"), std::string::npos);
    EXPECT_EQ(fileText().find("KORVALO"), std::string::npos);
}

// (That XDG_CONFIG_HOME, read at every call, decides the folder shows in the
// other cases.) A relative one is invalid; the home folder's .config is used.
TEST_F(RegistryContract, RelativeXdgConfigHomeFallsBackToHome) {
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", m_dir.c_str(), 1);
    EXPECT_EQ(regStorePath(), (m_dir / ".config" / "korvalo-cor" / "registry.ini").string());
    setenv("HOME", savedHome.c_str(), 1);
}

class RegistryDamage : public RegistryTestBase {};

TEST_F(RegistryDamage, DamagedLinesAreSkippedAndGoodValuesKept) {
    // Binary garbage reads as missing and is replaced cleanly by the next write.
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    setFileText(garbage);
    EXPECT_EQ(readFloat(kDemo, "LatencyTime", 0.1f), 0.1f);
    const float a = 0.03f;
    ASSERT_EQ(regWriteValue(kDemo, "LatencyTime", &a, 4), 1);
    EXPECT_EQ(readFloat(kDemo, "LatencyTime", 0.1f), 0.03f);

    setFileText("[Zandel_Audio\\demo]\n"
                "Good=binary:4:cdcccc3d\r\n"
                "WrongSize=binary:4:cdcc\n"
                "BadHex=binary:2:zz00\n"
                "NoType=cdcccc3d\n"
                "orphan line without equals\n"
                "[unterminated\n"
                "Lost=binary:4:00000000\n"
                "[Zandel_Audio\\demo]\n"
                "Later=binary:4:0000803f\n"
                "Cut=binary:4:0000");
    int r = 0;
    for (const char* bad : {"WrongSize", "BadHex", "NoType", "Lost", "Cut"}) {
        EXPECT_EQ(readFloat(kDemo, bad, 7.f, &r), 7.f) << bad;
        EXPECT_EQ(r, 0) << bad;
    }
    // The next save keeps every good value.
    const float c = 0.5f;
    ASSERT_EQ(regWriteValue(kDemo, "Cut", &c, 4), 1);
    EXPECT_EQ(readFloat(kDemo, "Good", 0.f, &r), 0.1f);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(readFloat(kDemo, "Later", 0.f), 1.0f);
    EXPECT_EQ(readFloat(kDemo, "Cut", 0.f), 0.5f);
}

TEST_F(RegistryDamage, FileCutAtAnyLengthNeverGivesWrongBytes) {
    const uint32_t values[] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    const char* names[] = {"Window x0", "Window y0", "Window x1", "Window y1"};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(regWriteValue(kDemo, names[i], &values[i], 4), 1);
    const std::string full = fileText();
    for (size_t len = 0; len <= full.size(); ++len) {
        setFileText(full.substr(0, len));
        int complete = 0;
        for (int i = 0; i < 4; ++i) {
            uint32_t v = 0xFFFFFFFF;
            const int r = regReadValue(kDemo, names[i], &v, 4);
            EXPECT_EQ(v, r ? values[i] : 0xFFFFFFFFu) << "cut at " << len;
            complete += r;
        }
        EXPECT_TRUE(len < full.size() || complete == 4);
    }
}

TEST_F(RegistryDamage, UnusableLocationsFailQuietly) {
    float v = 0.1f;
    // A directory where the file should be; the failed write leaves no
    // temporary file behind.
    std::filesystem::create_directories(file());
    EXPECT_EQ(regReadValue(kDemo, "LatencyTime", &v, 4), 0);
    EXPECT_EQ(regWriteValue(kDemo, "LatencyTime", &v, 4), 0);
    EXPECT_TRUE(std::filesystem::is_directory(file()));
    expectNoTemporaryFiles();
    std::filesystem::remove_all(folder());

    // A regular file where a folder should be defeats even a root user.
    std::ofstream(folder()) << "not a folder";
    EXPECT_EQ(regWriteValue(kDemo, "LatencyTime", &v, 4), 0);
    setenv("XDG_CONFIG_HOME", folder().c_str(), 1);
    EXPECT_EQ(regWriteValue(kDemo, "LatencyTime", &v, 4), 0);
    EXPECT_EQ(regReadValue(kDemo, "LatencyTime", &v, 4), 0);
    EXPECT_EQ(v, 0.1f);
    setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);

    // A folder the process may not write into (only refused for non-root).
    std::filesystem::remove(folder());
    const float a = 0.2f, b = 0.05f;
    ASSERT_EQ(regWriteValue(kDemo, "LatencyTime", &a, 4), 1);
    std::filesystem::remove(folder() / "registry.ini.lock");
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_exec);
    const int r = regWriteValue(kDemo, "LatencyTime", &b, 4);
    EXPECT_TRUE(r == 0 || geteuid() == 0);
    // Whatever the write did, the stored value is whole.
    EXPECT_EQ(readFloat(kDemo, "LatencyTime", 0.f), r ? 0.05f : 0.2f);
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_all);
}

} // namespace
