#pragma once
// The camera's source filter on V4L2: the capture pin streams the video node
// with mmap buffers on a thread of its own; the still pin (present when the
// camera has an input device) turns each KEY_CAMERA press into a sample.
// Devices and monikers: a display name parses into a moniker that binds to
// this filter, and the video-input category lists one moniker per video node.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/camera/DeviceCatalog.h"
#include "platform/camera/Graph.h"
#include "platform/camera/Kernel.h"

namespace plat::cam {

class CameraSource final : public Filter, public std::enable_shared_from_this<CameraSource> {
public:
    // Opens the node (capture and streaming capable) through the kernel and
    // sets it to its default format, the first capability it lists.
    static HRESULT Bind(std::shared_ptr<CameraKernel> kernel, const std::string& devnode,
                        const std::string& inputNode, std::shared_ptr<CameraSource>* out);
    ~CameraSource() override;

    HRESULT Run() override;
    void Stop() override;
    std::shared_ptr<StreamConfig> StreamConfigOf(Pin* pin) override;
    std::shared_ptr<VideoControl> QueryVideoControl() override;

    // Set once the device went away while streaming (its thread has ended).
    bool DeviceLost() const { return m_bLost; }
    const std::string& Devnode() const { return m_strDevnode; }

    // Used by the stream configuration.
    CameraKernel& K() { return *m_pKernel; }
    int Fd() const { return m_fd; }
    bool Streaming() const { return m_bStreaming; }

private:
    CameraSource(std::shared_ptr<CameraKernel> kernel, int fd, std::string devnode, std::string inputNode);
    struct Buffer {
        void* start = nullptr;
        std::size_t length = 0;
    };
    void StreamLoop();
    void StillLoop();
    void DeliverFrame(const Buffer& buf, std::size_t used, double time);
    void ReleaseBuffers();
    void JoinThreads();

    std::shared_ptr<CameraKernel> m_pKernel;
    int m_fd;
    std::string m_strDevnode;
    std::string m_strInputNode;
    Pin* m_pCapturePin;
    Pin* m_pStillPin = nullptr;

    std::vector<Buffer> m_buffers;
    std::vector<BYTE> m_staging;  // RGB frames turned into bottom-up B, G, R rows
    std::uint32_t m_nPixelFormat = 0;
    int m_nWidth = 0, m_nHeight = 0;
    std::uint32_t m_nBytesPerLine = 0;
    bool m_bStreaming = false;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bLost{false};
    std::atomic<bool> m_bStreamDone{true};
    std::atomic<bool> m_bStillDone{true};
    std::thread m_streamThread;
    std::thread m_stillThread;
};

// A device of the video-input category (IMoniker's place).
class Moniker {
public:
    Moniker(std::string displayName, std::string devnode) : m_strName(std::move(displayName)), m_strDevnode(std::move(devnode)) {}
    const std::string& GetDisplayName() const { return m_strName; }
    // The source filter of the device.
    HRESULT BindToObject(std::shared_ptr<Filter>* out) const;
    // The "FriendlyName" property: the V4L2 card name.  Fails for a node that
    // cannot be opened or cannot capture video.
    HRESULT ReadFriendlyName(std::wstring* out) const;

private:
    std::string m_strName;
    std::string m_strDevnode;
};

// A display name back into a moniker; fails when it names no device node.
HRESULT MkParseDisplayName(const std::wstring& displayName, std::shared_ptr<Moniker>* out);
// Every device of the video-input category (video nodes that capture, not a
// camera's metadata nodes) in enumeration order; S_FALSE when there is none.
HRESULT EnumVideoInputCategory(std::vector<std::shared_ptr<Moniker>>* out);

// V4L2 pixel format <-> media subtype.
GUID SubtypeOfPixelFormat(std::uint32_t pixelformat);

}  // namespace plat::cam
