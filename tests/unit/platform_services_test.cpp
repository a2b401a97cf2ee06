// Manual-reset event, thread priority requests and the desktop open helper.
#include "platform/manual_reset_event.h"
#include "platform/shell_open.h"
#include "platform/thread_priority.h"

#include <QDir>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <thread>
#include <vector>

using std::chrono::milliseconds;

TEST(ManualResetEvent, StaysSetUntilResetAndReleasesEveryWaiter) {
    ManualResetEvent event;
    EXPECT_FALSE(event.waitFor(milliseconds(1))); // not set: times out

    // Resets while a waiter sleeps lose no wake-up: it is woken by the set,
    // not merely finding it set at the time limit.
    std::atomic<int> released{0};
    std::thread timed([&] {
        const auto start = std::chrono::steady_clock::now();
        released += event.waitFor(std::chrono::seconds(10)) &&
                    std::chrono::steady_clock::now() - start < std::chrono::seconds(5);
    });
    std::this_thread::sleep_for(milliseconds(50)); // asleep by now
    for (int i = 0; i < 100; ++i)
        event.reset();
    std::thread plain([&] {
        event.wait();
        ++released;
    });
    event.set();
    plain.join();
    timed.join();
    EXPECT_EQ(released.load(), 2);

    // Manual reset: still set for later waiters, without blocking.
    event.wait();
    EXPECT_TRUE(event.waitFor(milliseconds(0)));
    event.reset();
    EXPECT_FALSE(event.waitFor(milliseconds(1)));
    EXPECT_TRUE(ManualResetEvent(true).isSet());
}

// The stream thread's pacing: reset, look, wait; the other side sets. No
// hand-off may be lost to a race.
TEST(ManualResetEvent, NoWakeUpIsLostToRaces) {
    ManualResetEvent ping, pong;
    std::atomic<int> turn{0};
    constexpr int kRounds = 5000;
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) {
            while (turn.load() != 1)
                if (!ping.waitFor(std::chrono::seconds(10)))
                    return;
            ping.reset();
            turn = 0;
            pong.set();
        }
    });
    int done = 0;
    for (; done < kRounds; ++done) {
        pong.reset();
        turn = 1;
        ping.set();
        bool ok = true;
        while (ok && turn.load() != 0)
            ok = pong.waitFor(std::chrono::seconds(10));
        if (!ok)
            break;
    }
    turn = 1;
    ping.set();
    other.join();
    EXPECT_EQ(done, kRounds);
}

TEST(ThreadPriority, GrantedLevelsShareOneCoreAndRefusalLeavesTheThreadAsItWas) {
    // The stream thread asks for the top level, the render thread one below;
    // granted, both run on the same single core, and back at normal priority
    // on every core they had before.
    std::vector<int> cores;
    for (auto [priority, below] :
         {std::pair{ThreadPriority::TimeCritical, 0}, {ThreadPriority::Highest, 1}}) {
        std::thread worker([priority, below, &cores] {
            int before = -1, after = -1;
            sched_param param{};
            cpu_set_t wide, set;
            ASSERT_EQ(pthread_getschedparam(pthread_self(), &before, &param), 0);
            ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof wide, &wide), 0);
            const bool granted = setCurrentThreadPriority(priority);
            ASSERT_EQ(pthread_getschedparam(pthread_self(), &after, &param), 0);
            ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof set, &set), 0);
            if (granted) {
                EXPECT_TRUE(after == SCHED_FIFO || after == SCHED_RR);
                EXPECT_EQ(param.sched_priority, sched_get_priority_max(after) - below);
                ASSERT_EQ(CPU_COUNT(&set), 1);
                for (int c = 0; c < CPU_SETSIZE; ++c)
                    if (CPU_ISSET(c, &set))
                        cores.push_back(c);
            } else {
                EXPECT_EQ(after, before);
                EXPECT_TRUE(CPU_EQUAL(&set, &wide));
            }
            EXPECT_TRUE(setCurrentThreadPriority(ThreadPriority::Normal));
            ASSERT_EQ(pthread_getschedparam(pthread_self(), &after, &param), 0);
            EXPECT_EQ(after, SCHED_OTHER);
            ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof set, &set), 0);
            EXPECT_TRUE(CPU_EQUAL(&set, &wide));
        });
        worker.join();
    }
    if (cores.size() == 2) {
        EXPECT_EQ(cores[0], cores[1]);
    }
}

TEST(ShellOpen, TargetsBecomeUrlsWithoutAnyShellInterpretation) {
    EXPECT_EQ(shellOpenUrl("https://example.org/page").scheme(), "https");
    EXPECT_EQ(shellOpenUrl("mailto:someone@example.org").scheme(), "mailto");
    // Shell metacharacters stay part of a file name (a URL that is no local
    // file has no local file name).
    for (const char* path : {"/tmp/readme.txt", "/tmp/a; rm -rf ~ `x`.txt"})
        EXPECT_EQ(shellOpenUrl(path).toLocalFile(), path);
    // Relative names are resolved against the current directory.
    EXPECT_TRUE(QDir::isAbsolutePath(shellOpenUrl("readme.txt").toLocalFile()));
    EXPECT_FALSE(shellOpenUrl("   ").isValid());
    EXPECT_FALSE(shellOpen(""));
}
