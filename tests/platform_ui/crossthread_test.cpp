// The queue that lets worker threads run calls on the user-interface thread,
// exercised without an event loop: this test's main thread plays the
// user-interface thread and serves sends only while it waits.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/CrossThread.h"

using namespace std::chrono_literals;

namespace {

class CrossThread : public ::testing::Test {
protected:
    void SetUp() override { plat::SetUiThread(); }
};

}  // namespace

TEST_F(CrossThread, AWorkerBlockedInASendFinishesWhileTheUiThreadJoinsIt) {
    // The situation the queue exists for: a plain join() here would deadlock.
    std::thread::id ranOn;
    std::thread worker([&] {
        LRESULT r = plat::SendToUiThread([&]() -> LRESULT {
            ranOn = std::this_thread::get_id();
            return 42;
        });
        EXPECT_EQ(r, 42);
    });
    EXPECT_TRUE(plat::JoinServingSends(worker, 5s));
    EXPECT_FALSE(worker.joinable());
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(CrossThread, ManyWorkersSendingAreAllServedInOrderPerWorker) {
    constexpr int kWorkers = 4, kSends = 200;
    std::vector<int> lastSeen(kWorkers, -1);
    std::atomic<int> outOfOrder{0};
    int total = 0;  // touched only on this thread, by the sends
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kSends; ++i)
                plat::SendToUiThread([&, w, i]() -> LRESULT {
                    if (lastSeen[w] != i - 1) ++outOfOrder;
                    lastSeen[w] = i;
                    return ++total;
                });
        });
    for (auto& t : workers) EXPECT_TRUE(plat::JoinServingSends(t, 10s));
    EXPECT_EQ(total, kWorkers * kSends);
    EXPECT_EQ(outOfOrder, 0);
}

TEST_F(CrossThread, ASendFromTheUiThreadRunsAtOnce) {
    int calls = 0;
    EXPECT_EQ(plat::SendToUiThread([&]() -> LRESULT { return ++calls; }), 1);
    EXPECT_EQ(plat::RunQueuedSends(), 0);
}

TEST_F(CrossThread, AnExceptionInTheCallReachesTheSender) {
    std::string caught;
    std::thread worker([&] {
        try {
            plat::SendToUiThread([]() -> LRESULT { throw std::runtime_error("handler failed"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    EXPECT_TRUE(plat::JoinServingSends(worker, 5s));
    EXPECT_EQ(caught, "handler failed");
}

TEST_F(CrossThread, AJoinThatRunsOutOfTimeDetachesTheThread) {
    std::atomic<bool> release{false}, finished{false};
    std::thread worker([&] {
        while (!release) std::this_thread::sleep_for(1ms);
        finished = true;
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(plat::JoinServingSends(worker, 60ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
    EXPECT_FALSE(worker.joinable());  // the caller may destroy it
    release = true;
    // The thread goes on to its end by itself.
    EXPECT_TRUE(plat::WaitServingSends([&] { return finished.load(); }, 5s));
}

TEST_F(CrossThread, WaitServingSendsServesUntilDoneOrTheBound) {
    std::atomic<int> served{0};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop) plat::SendToUiThread([&]() -> LRESULT { return ++served; });
    });
    EXPECT_TRUE(plat::WaitServingSends([&] { return served >= 20; }, 5s));
    EXPECT_FALSE(plat::WaitServingSends([] { return false; }, 30ms));
    stop = true;
    EXPECT_TRUE(plat::JoinServingSends(worker, 5s));
}

TEST_F(CrossThread, PostedCallsRunInOrderWhenDrained) {
    std::vector<int> order;
    std::thread([&] {
        for (int i = 0; i < 3; ++i) plat::PostToUiThread([&order, i] { order.push_back(i); });
    }).join();
    EXPECT_TRUE(order.empty());  // nothing runs before the user-interface thread drains
    EXPECT_EQ(plat::RunPostedCalls(), 3);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}
