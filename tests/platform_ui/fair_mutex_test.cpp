// The lock that a capture thread takes frame after frame and the
// user-interface thread takes to paint or to close: a waiter goes in before the
// holder can take it again.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "platform/FairMutex.h"

namespace {

// The scheduler's state letter of one of this process's threads ('S' while
// it sleeps, blocked in a lock).
char ThreadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

}  // namespace

TEST(FairMutex, AWaiterGoesInBeforeTheHolderTakesItAgain) {
    // The holder plays a camera delivering frames back to back: it lets the
    // lock go and takes it at once again.  Each round, a waiter that was
    // asleep on the lock must have had it in between.
    plat::FairMutex lock;
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        lock.lock();
        std::atomic<pid_t> waiterTid{0};
        std::atomic<bool> waiterHadIt{false};
        std::thread waiter([&] {
            waiterTid = static_cast<pid_t>(syscall(SYS_gettid));
            std::lock_guard<plat::FairMutex> hold(lock);
            waiterHadIt = true;
        });
        while (waiterTid == 0 || ThreadState(waiterTid) != 'S') std::this_thread::yield();
        lock.unlock();
        lock.lock();
        EXPECT_TRUE(waiterHadIt) << "round " << round;
        lock.unlock();
        waiter.join();
    }
}
