#include "platform/camera/DeviceCatalog.h"

#include <libudev.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace plat::cam {
namespace {

// Trailing number of a device node ("/dev/video12" -> 12), for a stable order
// that follows the kernel's numbering rather than sysfs path order.
long NodeNumber(const std::string& devnode) {
    std::size_t i = devnode.size();
    while (i > 0 && devnode[i - 1] >= '0' && devnode[i - 1] <= '9') --i;
    if (i == devnode.size()) return -1;
    return std::strtol(devnode.c_str() + i, nullptr, 10);
}

std::string UsbParentPath(udev_device* dev) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
    if (!usb) return {};
    const char* p = udev_device_get_syspath(usb);
    return p ? p : "";
}

std::string Attr(udev_device* dev, const char* name) {
    const char* v = udev_device_get_sysattr_value(dev, name);
    return v ? v : "";
}

class UdevCatalog final : public DeviceCatalog {
public:
    std::vector<VideoNodeInfo> VideoNodes() override {
        std::vector<VideoNodeInfo> out;
        udev* u = udev_new();
        if (!u) return out;

        // Input devices first: each camera's button device is matched to its
        // video node through their common USB parent.
        struct InputNode {
            std::string usbParent, devnode;
        };
        std::vector<InputNode> inputs;
        ForEach(u, "input", [&](udev_device* dev) {
            const char* node = udev_device_get_devnode(dev);
            if (!node || std::strncmp(node, "/dev/input/event", 16) != 0) return;
            std::string parent = UsbParentPath(dev);
            if (!parent.empty()) inputs.push_back({parent, node});
        });
        std::sort(inputs.begin(), inputs.end(),
                  [](const InputNode& a, const InputNode& b) { return NodeNumber(a.devnode) < NodeNumber(b.devnode); });

        ForEach(u, "video4linux", [&](udev_device* dev) {
            const char* node = udev_device_get_devnode(dev);
            if (!node) return;
            VideoNodeInfo info;
            info.devnode = node;
            udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
            if (usb) {
                info.vendorId = Attr(usb, "idVendor");
                info.productId = Attr(usb, "idProduct");
                std::string parent = UsbParentPath(dev);
                for (const InputNode& in : inputs) {
                    if (in.usbParent == parent) {
                        info.inputNode = in.devnode;
                        break;
                    }
                }
            }
            out.push_back(std::move(info));
        });
        udev_unref(u);
        std::stable_sort(out.begin(), out.end(), [](const VideoNodeInfo& a, const VideoNodeInfo& b) {
            return NodeNumber(a.devnode) < NodeNumber(b.devnode);
        });
        return out;
    }

private:
    template <class Fn>
    static void ForEach(udev* u, const char* subsystem, Fn fn) {
        udev_enumerate* e = udev_enumerate_new(u);
        if (!e) return;
        udev_enumerate_add_match_subsystem(e, subsystem);
        udev_enumerate_scan_devices(e);
        udev_list_entry* entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
            udev_device* dev = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
            if (!dev) continue;
            fn(dev);
            udev_device_unref(dev);
        }
        udev_enumerate_unref(e);
    }
};

std::mutex g_catalogLock;
std::shared_ptr<DeviceCatalog> g_catalog;

}  // namespace

std::shared_ptr<DeviceCatalog> Catalog() {
    std::lock_guard<std::mutex> lock(g_catalogLock);
    if (!g_catalog) g_catalog = std::make_shared<UdevCatalog>();
    return g_catalog;
}

void SetCatalog(std::shared_ptr<DeviceCatalog> catalog) {
    std::lock_guard<std::mutex> lock(g_catalogLock);
    g_catalog = std::move(catalog);
}

std::string DisplayNameOf(const VideoNodeInfo& node) {
    if (node.vendorId.empty() && node.productId.empty()) return "v4l#" + node.devnode;
    return "usb#vid_" + node.vendorId + "&pid_" + node.productId + "#" + node.devnode;
}

std::string DevnodeOfDisplayName(const std::string& displayName) {
    std::size_t hash = displayName.rfind('#');
    std::string node = hash == std::string::npos ? displayName : displayName.substr(hash + 1);
    if (node.rfind("/dev/", 0) != 0) return {};
    return node;
}

}  // namespace plat::cam
