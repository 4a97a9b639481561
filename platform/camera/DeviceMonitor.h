#pragma once
// Camera hot-plug (WM_DEVICECHANGE's place): a udev monitor on video4linux
// whose "add" and "remove" events reach a registered handler on the
// user-interface thread.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/WinTypes.h"

// The window message each notification is delivered as.
constexpr UINT WM_DEVICECHANGE = 0x0219;

namespace plat::cam {

// Where monitor events come from: udev in the program, a fake in tests.
class DeviceEventSource {
public:
    virtual ~DeviceEventSource() = default;
    // Waits up to timeoutMs for one event; true with its action ("add",
    // "remove", "change", ...) and device node when one arrived.
    virtual bool Next(int timeoutMs, std::string* action, std::string* devnode) = 0;
};
std::unique_ptr<DeviceEventSource> MakeUdevVideoEventSource();

class DeviceMonitor {
public:
    using Handler = std::function<void(bool arrived, const std::string& devnode)>;
    using Dispatch = std::function<void(std::function<void()>)>;

    // The handler runs through `dispatch` (default: posted to the
    // user-interface thread).
    explicit DeviceMonitor(std::unique_ptr<DeviceEventSource> source = nullptr, Dispatch dispatch = nullptr);
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    bool Start(Handler handler);
    // After Stop returns no further event is dispatched; one already
    // dispatched but not yet run still runs, and checks the monitor's token.
    void Stop();

private:
    void Loop();

    std::unique_ptr<DeviceEventSource> m_pSource;
    Dispatch m_dispatch;
    Handler m_handler;
    std::shared_ptr<std::atomic<bool>> m_pAlive;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

}  // namespace plat::cam
