// Camera hot-plug: udev-style events reach the registered handler through the
// dispatcher, only for arrivals and removals, and never after Stop.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/camera/DeviceMonitor.h"
#include "support/FakeCamera.h"

namespace {

using namespace std::chrono_literals;

struct Dispatched {
    std::mutex lock;
    std::condition_variable cv;
    std::vector<std::function<void()>> calls;
    bool WaitFor(std::size_t n) {
        std::unique_lock<std::mutex> l(lock);
        return cv.wait_for(l, 5s, [&] { return calls.size() >= n; });
    }
    void RunAll() {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard<std::mutex> l(lock);
            now.swap(calls);
        }
        for (auto& f : now) f();
    }
};

}  // namespace

TEST(DeviceMonitor, ArrivalsAndRemovalsReachTheHandlerUntilStopped) {
    fake::DeviceEvents events;
    Dispatched dispatched;
    plat::cam::DeviceMonitor monitor(events.Source(), [&](std::function<void()> fn) {
        std::lock_guard<std::mutex> l(dispatched.lock);
        dispatched.calls.push_back(std::move(fn));
        dispatched.cv.notify_all();
    });
    std::vector<std::pair<bool, std::string>> seen;
    ASSERT_TRUE(monitor.Start([&](bool arrived, const std::string& node) { seen.emplace_back(arrived, node); }));
    events.Push("add", "/dev/video0");
    events.Push("change", "/dev/video0");
    events.Push("remove", "/dev/video0");
    ASSERT_TRUE(dispatched.WaitFor(2));
    std::this_thread::sleep_for(50ms);
    dispatched.RunAll();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(true, std::string("/dev/video0")));
    EXPECT_EQ(seen[1], std::make_pair(false, std::string("/dev/video0")));

    // A notification already on its way when the window stops listening is not run.
    events.Push("add", "/dev/video2");
    ASSERT_TRUE(dispatched.WaitFor(1));
    monitor.Stop();
    events.Push("add", "/dev/video4");
    dispatched.RunAll();
    EXPECT_EQ(seen.size(), 2u);
}
