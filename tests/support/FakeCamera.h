#pragma once
// A fake camera behind the camera kernel interface: video nodes with their
// formats and sizes, frames pushed by the test, unplugging (ENODEV), and input
// devices delivering key presses; hot-plug notifications.
#include <linux/videodev2.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/camera/DeviceCatalog.h"
#include "platform/camera/DeviceMonitor.h"
#include "platform/camera/Kernel.h"

namespace fake {

struct Size {
    std::uint32_t w, h;
};
struct Format {
    std::uint32_t pixelformat;
    std::vector<Size> sizes;
};

struct VideoNode {
    std::string card = "Fake Camera";
    bool capture = true;  // false: a metadata node
    std::vector<Format> formats;
    std::uint32_t curFormat = 0, curW = 0, curH = 0;
    bool refuseStreamOn = false;
    // When set, G_FMT reports this size while the stream keeps its own.
    std::uint32_t reportW = 0, reportH = 0;
    // state
    bool unplugged = false;
    bool streaming = false;
    std::vector<std::vector<std::uint8_t>> buffers;
    std::vector<bool> queued;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> done;  // index, bytesused
    std::vector<std::vector<std::uint8_t>> pending;             // frames waiting for a buffer
    int openCount = 0;
    int mapped = 0;
    int requeued = 0;  // buffers given back while streaming: frames fully handled
};

struct InputNode {
    bool unplugged = false;
    std::vector<std::uint16_t> keys;  // key codes to deliver as press+release
    int openCount = 0;
};

class Kernel final : public plat::cam::CameraKernel {
public:
    // Set-up (before the code under test runs).
    VideoNode& AddVideo(const std::string& path);
    InputNode& AddInput(const std::string& path);

    // Live actions, thread-safe.
    void PushFrame(const std::string& path, std::vector<std::uint8_t> bytes);
    void PressKey(const std::string& inputPath, std::uint16_t code);
    void Unplug(const std::string& path);
    void SetReportedSize(const std::string& path, std::uint32_t w, std::uint32_t h);
    // Observations.
    bool Streaming(const std::string& path);
    int OpenCount(const std::string& path);
    int Mapped(const std::string& path);
    int Requeued(const std::string& path);
    std::uint32_t CurrentFormat(const std::string& path, std::uint32_t* w, std::uint32_t* h);

    int Open(const char* path, int flags) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    void* Mmap(std::size_t length, int prot, int flags, int fd, off_t offset) override;
    int Munmap(void* addr, std::size_t length) override;
    int Poll(struct pollfd* fds, nfds_t count, int timeoutMs) override;
    ssize_t Read(int fd, void* buf, std::size_t count) override;

private:
    int VideoIoctl(VideoNode& n, unsigned long request, void* arg);
    bool Ready(int fd, short* revents);
    void FillPending(VideoNode& n);
    std::uint32_t SizeImage(std::uint32_t pf, std::uint32_t w, std::uint32_t h) const;

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<std::string, std::unique_ptr<VideoNode>> m_video;
    std::map<std::string, std::unique_ptr<InputNode>> m_input;
    std::map<int, std::string> m_fds;
    int m_nextFd = 1000;
};

class Catalog final : public plat::cam::DeviceCatalog {
public:
    std::vector<plat::cam::VideoNodeInfo> nodes;
    std::vector<plat::cam::VideoNodeInfo> VideoNodes() override { return nodes; }
};

// Hot-plug notifications the test sends, as udev would: every source made
// here reads the same queue.
class DeviceEvents {
public:
    DeviceEvents();
    void Push(const std::string& action, const std::string& devnode);
    std::unique_ptr<plat::cam::DeviceEventSource> Source() const;

    struct Queue;  // shared with the sources

private:
    std::shared_ptr<Queue> m_q;
};

// Installs a fake kernel and catalog for the test's lifetime.
struct Install {
    std::shared_ptr<Kernel> kernel = std::make_shared<Kernel>();
    std::shared_ptr<Catalog> catalog = std::make_shared<Catalog>();
    Install();
    ~Install();
};

// Frames in the shapes cameras send.
std::vector<std::uint8_t> Yuy2Frame(int w, int h, std::uint8_t (*luma)(int x, int y));
// V4L2 RGB24: R, G, B top-down.
std::vector<std::uint8_t> Rgb24Frame(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                                     int markRow = -1);

}  // namespace fake
