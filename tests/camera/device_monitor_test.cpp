// Camera hot-plug: udev-style events reach the registered handler through the
// dispatcher, only for arrivals and removals, and never after Stop.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/camera/DeviceMonitor.h"

namespace {

using namespace std::chrono_literals;

class QueueSource final : public plat::cam::DeviceEventSource {
public:
    struct Shared {
        std::mutex lock;
        std::condition_variable cv;
        std::deque<std::pair<std::string, std::string>> events;
    };
    explicit QueueSource(std::shared_ptr<Shared> s) : m_s(std::move(s)) {}
    bool Next(int timeoutMs, std::string* action, std::string* devnode) override {
        std::unique_lock<std::mutex> lock(m_s->lock);
        if (!m_s->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !m_s->events.empty(); }))
            return false;
        *action = m_s->events.front().first;
        *devnode = m_s->events.front().second;
        m_s->events.pop_front();
        return true;
    }

private:
    std::shared_ptr<Shared> m_s;
};

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
    auto shared = std::make_shared<QueueSource::Shared>();
    Dispatched dispatched;
    plat::cam::DeviceMonitor monitor(std::make_unique<QueueSource>(shared), [&](std::function<void()> fn) {
        std::lock_guard<std::mutex> l(dispatched.lock);
        dispatched.calls.push_back(std::move(fn));
        dispatched.cv.notify_all();
    });
    std::vector<std::pair<bool, std::string>> seen;
    ASSERT_TRUE(monitor.Start([&](bool arrived, const std::string& node) { seen.emplace_back(arrived, node); }));
    auto push = [&](const char* action, const char* node) {
        std::lock_guard<std::mutex> l(shared->lock);
        shared->events.emplace_back(action, node);
        shared->cv.notify_all();
    };
    push("add", "/dev/video0");
    push("change", "/dev/video0");
    push("remove", "/dev/video0");
    ASSERT_TRUE(dispatched.WaitFor(2));
    std::this_thread::sleep_for(50ms);
    dispatched.RunAll();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(true, std::string("/dev/video0")));
    EXPECT_EQ(seen[1], std::make_pair(false, std::string("/dev/video0")));

    // A notification already on its way when the window stops listening is not run.
    push("add", "/dev/video2");
    ASSERT_TRUE(dispatched.WaitFor(1));
    monitor.Stop();
    push("add", "/dev/video4");
    dispatched.RunAll();
    EXPECT_EQ(seen.size(), 2u);
}
