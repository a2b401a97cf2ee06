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

TEST(ManualResetEvent, StaysSetUntilResetAndReleasesEveryWaiter) {
    ManualResetEvent event;
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.waitFor(std::chrono::milliseconds(1))); // not set: times out

    std::atomic<int> released{0};
    std::thread a([&] {
        event.wait();
        ++released;
    });
    std::thread b([&] {
        event.wait();
        ++released;
    });
    event.set();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);

    // Manual reset: still set for later waiters, without blocking.
    EXPECT_TRUE(event.isSet());
    event.wait();
    EXPECT_TRUE(event.waitFor(std::chrono::milliseconds(0)));

    event.reset();
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.waitFor(std::chrono::milliseconds(1)));

    ManualResetEvent preset(true);
    EXPECT_TRUE(preset.waitFor(std::chrono::milliseconds(0)));
}

TEST(ManualResetEvent, TimedWaitWakesWhenSetFromAnotherThread) {
    ManualResetEvent event;
    bool result = false;
    std::thread waiter([&] { result = event.waitFor(std::chrono::hours(1)); });
    event.set();
    waiter.join();
    EXPECT_TRUE(result);
}

TEST(ThreadPriority, RefusalLeavesTheThreadAsItWas) {
    std::thread worker([] {
        int before = -1;
        sched_param param{};
        ASSERT_EQ(pthread_getschedparam(pthread_self(), &before, &param), 0);
        const bool granted = setCurrentThreadPriority(ThreadPriority::TimeCritical);
        int after = -1;
        ASSERT_EQ(pthread_getschedparam(pthread_self(), &after, &param), 0);
        if (granted) {
            EXPECT_TRUE(after == SCHED_FIFO || after == SCHED_RR);
            EXPECT_EQ(param.sched_priority, sched_get_priority_max(after));
        } else {
            EXPECT_EQ(after, before);
        }
        EXPECT_TRUE(setCurrentThreadPriority(ThreadPriority::Normal));
        ASSERT_EQ(pthread_getschedparam(pthread_self(), &after, &param), 0);
        EXPECT_EQ(after, SCHED_OTHER);
    });
    worker.join();
}

TEST(ShellOpen, TargetsBecomeUrlsWithoutAnyShellInterpretation) {
    EXPECT_EQ(shellOpenUrl("https://example.org/page").scheme(), "https");
    EXPECT_EQ(shellOpenUrl("mailto:someone@example.org").scheme(), "mailto");

    const QUrl file = shellOpenUrl("/tmp/readme.txt");
    EXPECT_TRUE(file.isLocalFile());
    EXPECT_EQ(file.toLocalFile(), "/tmp/readme.txt");

    // Shell metacharacters stay part of a file name.
    const QUrl odd = shellOpenUrl("/tmp/a; rm -rf ~ `x`.txt");
    EXPECT_TRUE(odd.isLocalFile());
    EXPECT_EQ(odd.toLocalFile(), "/tmp/a; rm -rf ~ `x`.txt");

    // Relative names are resolved against the current directory.
    const QUrl relative = shellOpenUrl("readme.txt");
    EXPECT_TRUE(relative.isLocalFile());
    EXPECT_TRUE(QDir::isAbsolutePath(relative.toLocalFile()));

    EXPECT_FALSE(shellOpenUrl("   ").isValid());
    EXPECT_FALSE(shellOpen(""));
}
