// The record stream's connection on the drawing thread's Qt event loop.
#include "user/sound_loop_host.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>
#include <vector>

// It wakes on its own thread for what was armed last: a descriptor ready to
// read or to write, the time (none: at once), pokes from another thread (two make one
// wake); a descriptor no longer armed never wakes it, though it is ready.
TEST(SoundLoopHost, WakesOnItsThreadForWhatWasArmedLastOnly)
{
    const auto host = user::MakeQtLoopHost();
    EXPECT_TRUE(host->OnHostThread());
    std::thread([&] { EXPECT_FALSE(host->OnHostThread()); }).join();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<std::thread::id> wakes;
    QEventLoop loop;
    const auto wait = host->Wait([&] {
        wakes.push_back(std::this_thread::get_id());
        loop.quit();
    });
    // How often it woke within `ms` (it stops at the first wake).
    const auto wakesWithin = [&](int ms) {
        wakes.clear();
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        for (const std::thread::id id : wakes) EXPECT_EQ(id, std::this_thread::get_id());
        return wakes.size();
    };
    const pollfd in{fds[0], POLLIN, 0};
    const pollfd out{fds[1], POLLOUT, 0};
    char byte = 'x';

    wait->Arm(&in, 1, -1);
    EXPECT_EQ(wakesWithin(50), 0u) << "nothing to read";
    ASSERT_EQ(write(fds[1], &byte, 1), 1);
    EXPECT_EQ(wakesWithin(5000), 1u) << "a byte to read";
    const pollfd quiet{fds[0], 0, 0};
    wait->Arm(&quiet, 1, -1);
    EXPECT_EQ(wakesWithin(50), 0u) << "readable, but asked for nothing";
    wait->Arm(nullptr, 0, -1);
    EXPECT_EQ(wakesWithin(50), 0u) << "readable, but no longer armed";
    ASSERT_EQ(read(fds[0], &byte, 1), 1);
    wait->Arm(&out, 1, -1);
    EXPECT_EQ(wakesWithin(5000), 1u) << "room to write";
    wait->Arm(nullptr, 0, 20);
    EXPECT_EQ(wakesWithin(5000), 1u) << "the time";
    wait->Arm(nullptr, 0, 0);
    EXPECT_EQ(wakesWithin(5000), 1u) << "at once";
    wait->Arm(nullptr, 0, -1);
    std::thread([&] {
        wait->Poke();
        wait->Poke();
    }).join();
    EXPECT_EQ(wakesWithin(5000), 1u) << "poked";
    EXPECT_EQ(wakesWithin(50), 0u) << "the second poke is the first's";
    close(fds[0]);
    close(fds[1]);
}
