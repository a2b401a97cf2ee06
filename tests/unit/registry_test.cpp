// Settings store: the read/write contract, names, and damaged files.
#include "tests/unit/registry_test_util.h"

#include <array>
#include <filesystem>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr const char* kDemo = "Zandel_Audio\\demo";

// The file's inode: a rewrite replaces it, an untouched file keeps it.
ino_t inode(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(stat(p.c_str(), &st), 0);
    return st.st_ino;
}

using RegistryContract = RegistryTestBase;

TEST_F(RegistryContract, MissingKeyLeavesDefaultAndCreatesNothing) {
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.1f), std::pair(0.1f, 0));
    EXPECT_FALSE(std::filesystem::exists(folder()));
    // A key that exists but lacks the value, and a parent key, behave the same.
    ASSERT_EQ(writeAs(kDemo, "Other", 1.0f), 1);
    for (const char* key : {kDemo, "Zandel_Audio"})
        EXPECT_EQ(readAs(key, key == kDemo ? "LatencyTime" : "Other", 0.1f), std::pair(0.1f, 0))
            << key;
}

TEST_F(RegistryContract, WriteCreatesWholePathAndReadsBackExactBytes) {
    ASSERT_EQ(writeAs("Zandel_Audio\\TRLX\\Meter\\Korvalo Cor", "nbFperS", 0.05f), 1);
    EXPECT_EQ(readAs("Zandel_Audio\\TRLX\\Meter\\Korvalo Cor", "nbFperS", 0.f),
              std::pair(0.05f, 1));
    EXPECT_NE(fileText().find("nbFperS=binary:4:"), std::string::npos); // human-readable

    // 44 bytes, every position distinct; an empty value is no value of 1 byte.
    std::array<unsigned char, 44> ctx{};
    for (size_t i = 0; i < ctx.size(); ++i)
        ctx[i] = static_cast<unsigned char>(0xF0 - i * 5);
    ASSERT_EQ(writeAs("Zandel_Audio\\QK2CTL\\Korvalo Cor.", "Dial_tCtx", ctx), 1);
    EXPECT_EQ(readAs("Zandel_Audio\\QK2CTL\\Korvalo Cor.", "Dial_tCtx", decltype(ctx){}),
              std::pair(ctx, 1));
    ASSERT_EQ(regWriteValue(kDemo, "empty", nullptr, 0), 1);
    EXPECT_EQ(readAs(kDemo, "empty", uint8_t{0x5A}), std::pair(uint8_t{0x5A}, 0));
}

TEST_F(RegistryContract, TypeAndSizeRules) {
    const uint32_t dword = 0x3dcccccd;
    ASSERT_EQ(regWriteTyped(kDemo, "LatencyTime", RegType::Dword, &dword, 4), 1);
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.1f), std::pair(0.1f, 0));
    ASSERT_EQ(regWriteTyped(kDemo, "Name", RegType::String, "abcd", 4), 1);
    EXPECT_EQ(readAs(kDemo, "Name", 7u), std::pair(7u, 0));
    // Rewriting as binary replaces the type.
    ASSERT_EQ(regWriteValue(kDemo, "LatencyTime", &dword, 4), 1);
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0u), std::pair(dword, 1));

    // Bad arguments fail instead of touching memory.
    EXPECT_EQ(regReadValue(kDemo, "LatencyTime", nullptr, 4), 0);
    EXPECT_EQ(regWriteValue(kDemo, "Null", nullptr, 4), 0);
}

TEST_F(RegistryContract, NamesSurviveAnyBytesAndMatchWithoutCase) {
    const char* keys[] = {"Zandel_Audio\\TRLX\\Korvalo Cor.", "a=b]c[d", "%41;x", "", " lead"};
    const char* names[] = {
        "Window x0", "=", "[x]", "line\nbreak", "; not a comment", "caf\xc3\xa9 \xc2\xa9", ""};
    int n = 0;
    for (const char* k : keys)
        for (const char* name : names)
            ASSERT_EQ(writeAs(k, name, ++n), 1) << k << "/" << name;
    n = 0;
    for (const char* k : keys)
        for (const char* name : names)
            EXPECT_EQ(readAs(k, name, -1), std::pair(++n, 1)) << k << "/" << name;
    // Registry names ignore case; the first spelling stays in the file.
    EXPECT_EQ(readAs("ZANDEL_AUDIO\\trlx\\korvalo cor.", "WINDOW X0", 0), std::pair(1, 1));
    ASSERT_EQ(writeAs("zandel_audio\\TRLX\\KORVALO COR.", "window X0", 99), 1);
    EXPECT_EQ(readAs("Zandel_Audio\\TRLX\\Korvalo Cor.", "Window x0", 0), std::pair(99, 1));
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

using RegistryDamage = RegistryTestBase;

TEST_F(RegistryDamage, DamagedLinesAreSkippedAndGoodValuesKept) {
    // Binary garbage reads as missing and is replaced cleanly by the next write.
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    setFileText(garbage);
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.1f), std::pair(0.1f, 0));
    ASSERT_EQ(writeAs(kDemo, "LatencyTime", 0.03f), 1);
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.1f), std::pair(0.03f, 1));

    setFileText("[Zandel_Audio\\demo]\n"
                "Good=binary:4:cdcccc3d\r\n"
                "WrongSize=binary:4:cdcc\n"
                "BadHex=binary:2:zz00\n"
                "NoType=cdcccc3d\n"
                "orphan line without equals\n"
                "[unterminated\n"
                "Lost=binary:4:00000000\n"
                "[Zandel_Audio\\demo]\n"
                "Later=binary:4:0000803f\n");
    for (const char* bad : {"WrongSize", "BadHex", "NoType", "Lost"})
        EXPECT_EQ(readAs(kDemo, bad, 7.f), std::pair(7.f, 0)) << bad;
    // The next save keeps every good value.
    ASSERT_EQ(writeAs(kDemo, "Cut", 0.5f), 1);
    for (auto [name, value] : {std::pair{"Good", 0.1f}, {"Later", 1.0f}, {"Cut", 0.5f}})
        EXPECT_EQ(readAs(kDemo, name, 0.f), std::pair(value, 1)) << name;
}

TEST_F(RegistryDamage, FileCutAtAnyLengthNeverGivesWrongBytes) {
    const uint32_t values[] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    const char* names[] = {"Window x0", "Window y0", "Window x1", "Window y1"};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(writeAs(kDemo, names[i], values[i]), 1);
    const std::string full = fileText();
    for (size_t len = 0; len <= full.size(); ++len) {
        setFileText(full.substr(0, len));
        int complete = 0;
        for (int i = 0; i < 4; ++i) {
            const auto [v, r] = readAs(kDemo, names[i], 0xFFFFFFFFu);
            EXPECT_EQ(v, r ? values[i] : 0xFFFFFFFFu) << "cut at " << len;
            complete += r;
        }
        EXPECT_TRUE(len < full.size() || complete == 4);
    }
}

TEST_F(RegistryDamage, UnusableLocationsFailQuietly) {
    // A directory where the file should be; the failed write leaves no
    // temporary file behind.
    std::filesystem::create_directories(file());
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.1f), std::pair(0.1f, 0));
    EXPECT_EQ(writeAs(kDemo, "LatencyTime", 0.1f), 0);
    EXPECT_TRUE(std::filesystem::is_directory(file()));
    expectNoTemporaryFiles();
    std::filesystem::remove_all(folder());

    // A regular file where a folder should be defeats even a root user.
    std::ofstream(folder()) << "not a folder";
    EXPECT_EQ(writeAs(kDemo, "LatencyTime", 0.1f), 0);
    setenv("XDG_CONFIG_HOME", folder().c_str(), 1);
    EXPECT_EQ(writeAs(kDemo, "LatencyTime", 0.1f), 0);
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.1f), std::pair(0.1f, 0));
    setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);

    // A folder the process may not write into (only refused for non-root).
    std::filesystem::remove(folder());
    ASSERT_EQ(writeAs(kDemo, "LatencyTime", 0.2f), 1);
    std::filesystem::remove(folder() / "registry.ini.lock");
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_exec);
    const int r = writeAs(kDemo, "LatencyTime", 0.05f);
    EXPECT_TRUE(r == 0 || geteuid() == 0);
    // Whatever the write did, the stored value is whole.
    EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.f), std::pair(r ? 0.05f : 0.2f, 1));
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_all);
}

// While it lives, the calling thread is bound by file permissions even when
// it runs as root (the capabilities that bypass them leave its effective
// set; capabilities belong to a thread, so the rest of the program keeps
// them).
class PermissionsBindThisThread {
public:
    PermissionsBindThisThread() {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionsBindThisThread() {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }
    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
};

// A write must not replace a file whose values it could not read: it fails
// and leaves the file as it was.
TEST_F(RegistryDamage, WriteRefusesFileItCouldNotReadWhole) {
    for (const char* kind : {"oversized", "unreadable"}) {
        SCOPED_TRACE(kind);
        std::filesystem::remove_all(folder());
        ASSERT_EQ(writeAs(kDemo, "Keep", 0.2f), 1);
        if (kind[0] == 'o') // beyond the size limit; sparse, so it costs no disk
            std::filesystem::resize_file(file(), 64 * 1024 * 1024 + 1);
        else
            std::filesystem::permissions(file(), std::filesystem::perms::none);
        const auto size = std::filesystem::file_size(file());
        const ino_t before = inode(file());

        PermissionsBindThisThread bound;
        if (kind[0] == 'u' && !bound.active() && geteuid() == 0)
            GTEST_SKIP() << "running as root and unable to drop the capabilities that bypass "
                            "file permissions, so no file is unreadable";
        EXPECT_EQ(writeAs(kDemo, "New", 0.05f), 0);
        EXPECT_EQ(readAs(kDemo, "Keep", 0.f).second, 0); // reads as missing
        EXPECT_EQ(inode(file()), before) << "the file was replaced";
        EXPECT_EQ(std::filesystem::file_size(file()), size);
        expectNoTemporaryFiles();
    }
}

using RegistryFormat = RegistryTestBase;

// Files edited on another system: a byte-order mark and CRLF line ends keep
// every section, the first one included, and the next write keeps them.
TEST_F(RegistryFormat, ByteOrderMarkAndCrlfKeepTheFirstSection) {
    const std::string lf = "[Zandel_Audio\\demo]\nLatencyTime=binary:4:cdcccc3d\n"
                           "[Zandel_Audio\\TRLX\\Korvalo Cor.]\nWindow x0=binary:4:07000000\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const struct {
        const char* name;
        std::string text;
    } cases[] = {{"byte-order mark", "\xEF\xBB\xBF" + lf},
                 {"CRLF", crlf},
                 {"both", "\xEF\xBB\xBF" + crlf},
                 {"comment first, both", "\xEF\xBB\xBF; edited\r\n" + crlf}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setFileText(c.text);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.f), std::pair(0.1f, 1));
            EXPECT_EQ(readAs("Zandel_Audio\\TRLX\\Korvalo Cor.", "Window x0", 0), std::pair(7, 1));
            ASSERT_EQ(writeAs("Zandel_Audio\\other", "v", 1.0f), 1);
        }
    }
}

// A store file that is a symbolic link (kept by a dotfile manager) is written
// through to its final target; the links stay links.
TEST_F(RegistryFormat, SymbolicLinkIsWrittenThrough) {
    namespace fs = std::filesystem;
    const fs::path dotfiles = m_dir / "dotfiles";
    for (bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists ? "existing target" : "dangling link");
        fs::remove_all(folder());
        fs::remove_all(dotfiles);
        fs::create_directories(folder());
        fs::create_directories(dotfiles);
        // A relative link to a second link, which names the real file.
        fs::create_symlink(dotfiles / "real.ini", dotfiles / "korvalo.ini");
        fs::create_symlink("../dotfiles/korvalo.ini", file());
        if (targetExists)
            std::ofstream(dotfiles / "real.ini") << "[Zandel_Audio\\demo]\nKeep=binary:1:2a\n";
        ASSERT_EQ(writeAs(kDemo, "LatencyTime", 0.5f), 1);
        EXPECT_TRUE(fs::is_symlink(file()));
        EXPECT_TRUE(fs::is_symlink(dotfiles / "korvalo.ini"));
        ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(dotfiles / "real.ini")));
        EXPECT_EQ(readAs(kDemo, "LatencyTime", 0.f), std::pair(0.5f, 1));
        const std::pair<uint8_t, int> keep = targetExists ? std::pair(0x2a, 1) : std::pair(0, 0);
        EXPECT_EQ(readAs(kDemo, "Keep", uint8_t{0}), keep);
        expectNoTemporaryFiles(dotfiles);
    }
}

using RegistryBatch = RegistryTestBase;

// A batch stores what the same single writes in the same order store, in one
// rewrite; values that cannot be written are skipped, the others kept. A
// write that would leave the bytes as they are does not rewrite the file.
TEST_F(RegistryBatch, EqualsSequenceOfSingleWrites) {
    const uint32_t w[] = {1, 2, 3, 4};
    const std::string tooLarge((1u << 20) + 1, 'x');
    const RegValue batch[] = {
        {"Border", &w[0], 4},    {"Brush", &w[1], 4},  {"Huge", tooLarge.data(), 1u << 20 | 1},
        {"NoBytes", nullptr, 4}, {"border", &w[2], 4}, {"Empty", nullptr, 0},
        {"Last", &w[3], 4}};
    auto prepare = [&] {
        std::filesystem::remove_all(folder());
        ASSERT_EQ(writeAs(kDemo, "Before", 9u), 1);
        ASSERT_EQ(writeAs(kDemo, "Brush", 9u), 1);
    };
    prepare();
    for (const RegValue& v : batch)
        regWriteValue(kDemo, v.name, v.data, v.size);
    const std::string sequential = fileText();
    prepare();
    EXPECT_EQ(regWriteValues(kDemo, batch, std::size(batch)), 5);
    EXPECT_EQ(fileText(), sequential);
    EXPECT_EQ(readAs(kDemo, "BORDER", 0u), std::pair(3u, 1)); // the last write of a name wins
    EXPECT_EQ(regWriteValues(kDemo, batch + 2, 2), 0);        // nothing writable: nothing written
    EXPECT_EQ(fileText(), sequential);
    const ino_t first = inode(file());
    EXPECT_EQ(regWriteValues(kDemo, batch, std::size(batch)), 5);
    EXPECT_EQ(inode(file()), first); // each time: a freed inode may come back
    EXPECT_EQ(writeAs(kDemo, "last", 4u), 1);
    EXPECT_EQ(inode(file()), first);
    EXPECT_EQ(writeAs(kDemo, "Last", 5u), 1);
    EXPECT_NE(inode(file()), first);
}

// Reads never answer from an outdated file, even one changed in place
// (same inode, same size) by another program.
TEST_F(RegistryBatch, ReadsFollowFileChangedInPlace) {
    for (uint32_t v : {0x11111111u, 0x22222222u, 0x33333333u}) {
        const std::string text =
            "[Zandel_Audio\\demo]\nV=binary:4:" + std::string(8, "0123"[v & 3]) + "\n";
        {
            std::ofstream out(file(), std::ios::binary | std::ios::in | std::ios::out);
            if (!out)
                setFileText(text);
            else
                out << text; // rewrites the same inode
        }
        EXPECT_EQ(readAs(kDemo, "V", 0u), std::pair(v, 1));
    }
}

} // namespace
