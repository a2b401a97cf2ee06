// Settings store under concurrent writers and writers that die mid-write.
#include "tests/unit/registry_test_util.h"

#include <atomic>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWriters = 6; // half in other processes, half in threads
constexpr int kPerWriter = 40;

std::string valueName(int writer, int i) {
    return "w" + std::to_string(writer) + "v" + std::to_string(i);
}

void writeSeries(int writer) {
    for (int i = 0; i < kPerWriter; ++i) {
        writeAs("Zandel_Audio\\race", valueName(writer, i).c_str(), writer * 1000 + i);
        // Every writer also rewrites one shared value; it must stay readable.
        writeAs("Zandel_Audio\\race", "shared", writer * 1000 + i);
    }
}

class RegistryConcurrency : public RegistryTestBase {};

// Writers in other processes and in other threads of this one, all at once,
// while a reader in this process reads the value they all rewrite.
TEST_F(RegistryConcurrency, WritersAtOnceLoseNoValue) {
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters / 2; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            writeSeries(w);
            _exit(0);
        }
        children.push_back(pid);
    }
    // Started after the forks: a child must not inherit a lock they hold.
    std::vector<std::thread> threads;
    for (int w = kWriters / 2; w < kWriters; ++w)
        threads.emplace_back(writeSeries, w);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            const auto [v, r] = readAs("Zandel_Audio\\race", "shared", -1);
            EXPECT_TRUE(r == 0 || (v % 1000 < kPerWriter && v / 1000 < kWriters)) << v;
        }
    });
    for (auto& t : threads)
        t.join();
    for (pid_t pid : children) {
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    done = true;
    reader.join();
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kPerWriter; ++i)
            EXPECT_EQ(readAs("Zandel_Audio\\race", valueName(w, i).c_str(), -1),
                      std::pair(w * 1000 + i, 1))
                << valueName(w, i);
    EXPECT_EQ(readAs("Zandel_Audio\\race", "shared", -1).first % 1000, kPerWriter - 1);
}

// A writer killed at an arbitrary moment leaves the old or the new value,
// never a blend, and never damages the other values.
TEST_F(RegistryConcurrency, WriterKilledMidWriteLeavesOldOrNewValue) {
    ASSERT_EQ(writeAs("Zandel_Audio\\demo", "Keep", 4242), 1);
    const uint32_t kSize = 256 * 1024; // large enough that a kill often lands inside a write
    std::string first(kSize, '\x11');
    ASSERT_EQ(regWriteValue("Zandel_Audio\\demo", "Blob", first.data(), kSize), 1);

    for (int round = 0; round < 12; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            const std::string a(kSize, '\x22'), b(kSize, '\x33');
            for (int i = 0;; ++i) {
                regWriteValue("Zandel_Audio\\demo", "Blob", ((i & 1) ? a : b).data(), kSize);
                if (i == 0 && write(ready[1], "r", 1) != 1) // the parent may start the clock
                    _exit(1);
            }
        }
        close(ready[1]);
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        usleep(static_cast<useconds_t>(1000 + round * 1700));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        std::string got(kSize, '\0');
        ASSERT_EQ(regReadValue("Zandel_Audio\\demo", "Blob", got.data(), kSize), 1);
        const char head = got[0];
        EXPECT_TRUE(head == '\x11' || head == '\x22' || head == '\x33');
        EXPECT_EQ(got, std::string(kSize, head)) << "blended value after round " << round;
        EXPECT_EQ(readAs("Zandel_Audio\\demo", "Keep", 0), std::pair(4242, 1));
    }

    // Whatever temporary files the killed writers left are cleared by the
    // next successful write.
    ASSERT_EQ(writeAs("Zandel_Audio\\demo", "After", 1), 1);
    expectNoTemporaryFiles();
}

} // namespace
