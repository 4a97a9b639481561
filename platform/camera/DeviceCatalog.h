#pragma once
// The list of video nodes (udev, subsystem video4linux) standing in for the
// system device enumerator's video-input category.  Each node gets a display
// name in the Windows device-path shape, e.g. "usb#vid_0c45&pid_6366#/dev/video0",
// so the supported-camera rule reads the USB product id from it unchanged.
#include <memory>
#include <string>
#include <vector>

namespace plat::cam {

struct VideoNodeInfo {
    std::string devnode;     // "/dev/video0"
    std::string vendorId;    // idVendor of the USB parent, four hex digits; empty without one
    std::string productId;   // idProduct of the USB parent
    std::string inputNode;   // "/dev/input/eventN" of the camera's button, empty when it has none
};

class DeviceCatalog {
public:
    virtual ~DeviceCatalog() = default;
    // Every video node, in enumeration order (capture-capable or not).
    virtual std::vector<VideoNodeInfo> VideoNodes() = 0;
};

// The catalog in use: udev unless a test installed its own.
std::shared_ptr<DeviceCatalog> Catalog();
void SetCatalog(std::shared_ptr<DeviceCatalog> catalog);

// "usb#vid_VVVV&pid_PPPP#/dev/videoN", or "v4l#/dev/videoN" for a node
// without a USB parent.
std::string DisplayNameOf(const VideoNodeInfo& node);
// The device node a display name refers to (the text after its last '#');
// empty when the name holds none.
std::string DevnodeOfDisplayName(const std::string& displayName);

}  // namespace plat::cam
