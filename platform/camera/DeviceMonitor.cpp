#include "platform/camera/DeviceMonitor.h"

#include <libudev.h>
#include <poll.h>

#include "platform/CrossThread.h"

namespace plat::cam {
namespace {

class UdevVideoEvents final : public DeviceEventSource {
public:
    UdevVideoEvents() {
        m_pUdev = udev_new();
        if (!m_pUdev) return;
        m_pMon = udev_monitor_new_from_netlink(m_pUdev, "udev");
        if (!m_pMon) return;
        udev_monitor_filter_add_match_subsystem_devtype(m_pMon, "video4linux", nullptr);
        if (udev_monitor_enable_receiving(m_pMon) < 0) {
            udev_monitor_unref(m_pMon);
            m_pMon = nullptr;
        }
    }
    ~UdevVideoEvents() override {
        if (m_pMon) udev_monitor_unref(m_pMon);
        if (m_pUdev) udev_unref(m_pUdev);
    }
    bool Ok() const { return m_pMon != nullptr; }

    bool Next(int timeoutMs, std::string* action, std::string* devnode) override {
        if (!m_pMon) return false;
        pollfd p{udev_monitor_get_fd(m_pMon), POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        udev_device* dev = udev_monitor_receive_device(m_pMon);
        if (!dev) return false;
        const char* a = udev_device_get_action(dev);
        const char* n = udev_device_get_devnode(dev);
        *action = a ? a : "";
        *devnode = n ? n : "";
        udev_device_unref(dev);
        return true;
    }

private:
    udev* m_pUdev = nullptr;
    udev_monitor* m_pMon = nullptr;
};

}  // namespace

std::unique_ptr<DeviceEventSource> MakeUdevVideoEventSource() {
    auto src = std::make_unique<UdevVideoEvents>();
    if (!src->Ok()) return nullptr;
    return src;
}

DeviceMonitor::DeviceMonitor(std::unique_ptr<DeviceEventSource> source, Dispatch dispatch)
    : m_pSource(std::move(source)), m_dispatch(std::move(dispatch)) {
    if (!m_dispatch) m_dispatch = [](std::function<void()> fn) { plat::PostToUiThread(std::move(fn)); };
}

DeviceMonitor::~DeviceMonitor() { Stop(); }

bool DeviceMonitor::Start(Handler handler) {
    if (m_thread.joinable()) return false;
    if (!m_pSource) m_pSource = MakeUdevVideoEventSource();
    if (!m_pSource) return false;
    m_handler = std::move(handler);
    m_pAlive = std::make_shared<std::atomic<bool>>(true);
    m_bStop = false;
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void DeviceMonitor::Stop() {
    if (!m_thread.joinable()) return;
    m_bStop = true;
    *m_pAlive = false;
    m_thread.join();
}

void DeviceMonitor::Loop() {
    std::string action, devnode;
    while (!m_bStop) {
        if (!m_pSource->Next(200, &action, &devnode)) continue;
        if (action != "add" && action != "remove") continue;
        bool arrived = action == "add";
        auto alive = m_pAlive;
        Handler handler = m_handler;
        m_dispatch([alive, handler, arrived, devnode] {
            if (*alive && handler) handler(arrived, devnode);
        });
    }
}

}  // namespace plat::cam
