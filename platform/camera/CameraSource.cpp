#include "platform/camera/CameraSource.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <wx/string.h>

#include "platform/CrossThread.h"

namespace plat::cam {
namespace {

constexpr int kBufferCount = 4;
constexpr int kPollMs = 100;

HRESULT HResultOfErrno(int err) {
    if (err == ENODEV || err == ENXIO || err == ENOENT) return VFW_E_DEVICE_LOST;
    if (err == EBUSY) return VFW_E_NOT_STOPPED;
    if (err == ENOMEM) return E_OUTOFMEMORY;
    return E_FAIL;
}

// What this node can do (a camera's second node carries metadata only).
std::uint32_t NodeCaps(const v4l2_capability& cap) {
    return (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
}

bool IsRgbFormat(std::uint32_t pf) { return pf == V4L2_PIX_FMT_RGB24 || pf == V4L2_PIX_FMT_BGR24; }

// Bits per pixel and compression code as a video-info header gives them.
void BitmapFields(std::uint32_t pf, WORD* bits, DWORD* compression) {
    if (IsRgbFormat(pf)) {
        *bits = 24;
        *compression = 0;  // BI_RGB
    } else if (pf == V4L2_PIX_FMT_YUYV) {
        *bits = 16;
        *compression = MakeFourcc('Y', 'U', 'Y', '2');
    } else if (pf == V4L2_PIX_FMT_MJPEG || pf == V4L2_PIX_FMT_JPEG) {
        *bits = 24;
        *compression = MakeFourcc('M', 'J', 'P', 'G');
    } else {
        *bits = 0;
        *compression = pf;
    }
}

AM_MEDIA_TYPE* MakeVideoType(std::uint32_t pf, int width, int height, std::uint32_t sizeImage) {
    auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    if (!mt || !vih) {
        CoTaskMemFree(mt);
        CoTaskMemFree(vih);
        return nullptr;
    }
    std::memset(mt, 0, sizeof(*mt));
    std::memset(vih, 0, sizeof(*vih));
    WORD bits;
    DWORD compression;
    BitmapFields(pf, &bits, &compression);
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = bits;
    vih->bmiHeader.biCompression = compression;
    vih->bmiHeader.biSizeImage = sizeImage ? sizeImage : static_cast<DWORD>(width) * height * bits / 8;
    vih->rcSource = {0, 0, width, height};
    vih->rcTarget = vih->rcSource;
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = SubtypeOfPixelFormat(pf);
    mt->bFixedSizeSamples = IsRgbFormat(pf) || pf == V4L2_PIX_FMT_YUYV;
    mt->lSampleSize = vih->bmiHeader.biSizeImage;
    mt->formattype = FORMAT_VideoInfo;
    mt->cbFormat = sizeof(VIDEOINFOHEADER);
    mt->pbFormat = reinterpret_cast<BYTE*>(vih);
    return mt;
}

struct Capability {
    std::uint32_t pixelformat;
    int width, height;
};

// The pixel formats the node offers, in the driver's order.
std::vector<std::uint32_t> Offered(CameraKernel& k, int fd) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0;; ++i) {
        v4l2_fmtdesc d{};
        d.index = i;
        d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (XIoctl(k, fd, VIDIOC_ENUM_FMT, &d) < 0) break;
        out.push_back(d.pixelformat);
    }
    return out;
}

// Every format and size the node offers, in the order the capture pin lists them.
std::vector<Capability> Capabilities(CameraKernel& k, int fd) {
    std::vector<Capability> caps;
    for (std::uint32_t pf : Offered(k, fd)) {
        bool any = false;
        for (std::uint32_t j = 0;; ++j) {
            v4l2_frmsizeenum fs{};
            fs.index = j;
            fs.pixel_format = pf;
            if (XIoctl(k, fd, VIDIOC_ENUM_FRAMESIZES, &fs) < 0) break;
            any = true;
            if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                caps.push_back({pf, static_cast<int>(fs.discrete.width), static_cast<int>(fs.discrete.height)});
            } else {
                // A range: its two ends are the sizes worth offering.
                caps.push_back({pf, static_cast<int>(fs.stepwise.min_width), static_cast<int>(fs.stepwise.min_height)});
                caps.push_back({pf, static_cast<int>(fs.stepwise.max_width), static_cast<int>(fs.stepwise.max_height)});
                break;
            }
        }
        if (!any) {
            v4l2_format fmt{};
            fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            if (XIoctl(k, fd, VIDIOC_G_FMT, &fmt) == 0 && fmt.fmt.pix.pixelformat == pf)
                caps.push_back({pf, static_cast<int>(fmt.fmt.pix.width), static_cast<int>(fmt.fmt.pix.height)});
        }
    }
    return caps;
}

// A V4L2 node keeps the last format set on it, by this program or another,
// while a freshly made DirectShow source starts at its default type.  The
// first capability stands in for that default: a wide format asked for once
// (the full view) must not stay on the camera for every later opening.
void SetDefaultFormat(CameraKernel& k, int fd) {
    std::vector<Capability> caps = Capabilities(k, fd);
    if (caps.empty()) return;
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.pixelformat = caps.front().pixelformat;
    fmt.fmt.pix.width = static_cast<std::uint32_t>(caps.front().width);
    fmt.fmt.pix.height = static_cast<std::uint32_t>(caps.front().height);
    fmt.fmt.pix.field = V4L2_FIELD_ANY;
    // Refused (another program streams the node): the pin reports, and the
    // stream would use, whatever the node has; starting the stream fails then.
    XIoctl(k, fd, VIDIOC_S_FMT, &fmt);
}

// The stream configuration of one of the source's pins.  The still pin's is
// read-only: the still branch has no format of its own on V4L2.
class SourceStreamConfig final : public StreamConfig {
public:
    SourceStreamConfig(std::shared_ptr<CameraSource> source, bool readOnly)
        : m_pSource(std::move(source)), m_bReadOnly(readOnly) {}

    HRESULT GetFormat(AM_MEDIA_TYPE** pmt) override {
        if (!pmt) return E_POINTER;
        *pmt = nullptr;
        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (XIoctl(m_pSource->K(), m_pSource->Fd(), VIDIOC_G_FMT, &fmt) < 0) return HResultOfErrno(errno);
        *pmt = MakeVideoType(fmt.fmt.pix.pixelformat, static_cast<int>(fmt.fmt.pix.width),
                             static_cast<int>(fmt.fmt.pix.height), fmt.fmt.pix.sizeimage);
        return *pmt ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT SetFormat(const AM_MEDIA_TYPE* pmt) override {
        if (m_bReadOnly) return E_NOTIMPL;
        if (!pmt) return E_POINTER;
        if (pmt->majortype != MEDIATYPE_Video || pmt->formattype != FORMAT_VideoInfo || !pmt->pbFormat ||
            pmt->cbFormat < sizeof(VIDEOINFOHEADER))
            return VFW_E_INVALIDMEDIATYPE;
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(pmt->pbFormat);
        int width = vih->bmiHeader.biWidth;
        int height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
        if (width <= 0 || height <= 0) return VFW_E_INVALIDMEDIATYPE;
        std::uint32_t pf = PixelFormatFor(pmt->subtype);
        if (!pf) return VFW_E_INVALIDMEDIATYPE;

        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        fmt.fmt.pix.width = static_cast<std::uint32_t>(width);
        fmt.fmt.pix.height = static_cast<std::uint32_t>(height);
        fmt.fmt.pix.pixelformat = pf;
        fmt.fmt.pix.field = V4L2_FIELD_ANY;
        // A V4L2 driver adjusts an unsupported size to the nearest it has;
        // DirectShow refuses instead, and the capture code relies on that.
        v4l2_format trial = fmt;
        if (XIoctl(m_pSource->K(), m_pSource->Fd(), VIDIOC_TRY_FMT, &trial) == 0) {
            if (trial.fmt.pix.pixelformat != pf || trial.fmt.pix.width != fmt.fmt.pix.width ||
                trial.fmt.pix.height != fmt.fmt.pix.height)
                return VFW_E_INVALIDMEDIATYPE;
        }
        if (XIoctl(m_pSource->K(), m_pSource->Fd(), VIDIOC_S_FMT, &fmt) < 0) return HResultOfErrno(errno);
        return S_OK;
    }

    HRESULT GetNumberOfCapabilities(int* count, int* size) override {
        if (!count || !size) return E_POINTER;
        Load();
        *count = static_cast<int>(m_caps.size());
        *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
        return S_OK;
    }

    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** pmt, BYTE* caps) override {
        if (!pmt || !caps) return E_POINTER;
        *pmt = nullptr;
        Load();
        if (index < 0 || index >= static_cast<int>(m_caps.size())) return S_FALSE;
        const Capability& c = m_caps[static_cast<std::size_t>(index)];
        *pmt = MakeVideoType(c.pixelformat, c.width, c.height, 0);
        if (!*pmt) return E_OUTOFMEMORY;
        VIDEO_STREAM_CONFIG_CAPS vscc{};
        vscc.guid = FORMAT_VideoInfo;
        vscc.InputSize = {c.width, c.height};
        vscc.MinCroppingSize = vscc.MaxCroppingSize = vscc.InputSize;
        vscc.MinOutputSize = vscc.MaxOutputSize = vscc.InputSize;
        std::memcpy(caps, &vscc, sizeof(vscc));
        return S_OK;
    }

private:
    std::uint32_t PixelFormatFor(const GUID& subtype) {
        std::vector<std::uint32_t> offered = Offered(m_pSource->K(), m_pSource->Fd());
        auto has = [&](std::uint32_t pf) {
            for (std::uint32_t o : offered)
                if (o == pf) return true;
            return false;
        };
        std::vector<std::uint32_t> candidates;
        std::uint32_t fourcc = 0;
        if (subtype == MEDIASUBTYPE_YUY2)
            candidates = {V4L2_PIX_FMT_YUYV};
        else if (subtype == MEDIASUBTYPE_MJPG)
            candidates = {V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_JPEG};
        else if (subtype == MEDIASUBTYPE_RGB24)
            candidates = {V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_RGB24};
        else if (IsFourccSubtype(subtype, &fourcc))
            candidates = {fourcc};
        for (std::uint32_t pf : candidates)
            if (has(pf)) return pf;
        return 0;
    }

    void Load() {
        if (m_bLoaded) return;
        m_bLoaded = true;
        m_caps = Capabilities(m_pSource->K(), m_pSource->Fd());
    }

    std::shared_ptr<CameraSource> m_pSource;
    bool m_bReadOnly;
    bool m_bLoaded = false;
    std::vector<Capability> m_caps;
};

class TriggerControl final : public VideoControl {
public:
    bool HasTrigger() const override { return true; }
};

double Seconds(const timeval& tv) { return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6; }

}  // namespace

GUID SubtypeOfPixelFormat(std::uint32_t pf) {
    switch (pf) {
        case V4L2_PIX_FMT_YUYV: return MEDIASUBTYPE_YUY2;
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_JPEG: return MEDIASUBTYPE_MJPG;
        case V4L2_PIX_FMT_RGB24:
        case V4L2_PIX_FMT_BGR24: return MEDIASUBTYPE_RGB24;
        default: return FourccSubtype(pf);
    }
}

// --- source filter -------------------------------------------------------------

HRESULT CameraSource::Bind(std::shared_ptr<CameraKernel> kernel, const std::string& devnode,
                           const std::string& inputNode, std::shared_ptr<CameraSource>* out) {
    if (!out) return E_POINTER;
    out->reset();
    if (!kernel) return E_POINTER;
    int fd = kernel->Open(devnode.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) return HResultOfErrno(errno);
    v4l2_capability cap{};
    if (XIoctl(*kernel, fd, VIDIOC_QUERYCAP, &cap) < 0) {
        HRESULT hr = HResultOfErrno(errno);
        kernel->Close(fd);
        return hr;
    }
    const std::uint32_t caps = NodeCaps(cap);
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) {
        kernel->Close(fd);
        return VFW_E_CANNOT_CONNECT;
    }
    SetDefaultFormat(*kernel, fd);
    out->reset(new CameraSource(std::move(kernel), fd, devnode, inputNode));
    return S_OK;
}

CameraSource::CameraSource(std::shared_ptr<CameraKernel> kernel, int fd, std::string devnode, std::string inputNode)
    : m_pKernel(std::move(kernel)), m_fd(fd), m_strDevnode(std::move(devnode)), m_strInputNode(std::move(inputNode)) {
    m_pCapturePin = AddPin(PinDir::Output, PinCategory::Capture);
    if (!m_strInputNode.empty()) m_pStillPin = AddPin(PinDir::Output, PinCategory::Still);
}

CameraSource::~CameraSource() {
    Stop();
    m_pKernel->Close(m_fd);
}

std::shared_ptr<StreamConfig> CameraSource::StreamConfigOf(Pin* pin) {
    if (pin != m_pCapturePin && (!pin || pin != m_pStillPin)) return nullptr;
    return std::make_shared<SourceStreamConfig>(shared_from_this(), pin == m_pStillPin);
}

std::shared_ptr<VideoControl> CameraSource::QueryVideoControl() {
    if (!m_pStillPin) return nullptr;
    return std::make_shared<TriggerControl>();
}

HRESULT CameraSource::Run() {
    if (m_bStreaming) return S_OK;
    bool capture = m_pCapturePin->ConnectedTo() != nullptr;
    bool still = m_pStillPin && m_pStillPin->ConnectedTo() != nullptr;
    CameraKernel& k = *m_pKernel;
    if (capture) {
        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (XIoctl(k, m_fd, VIDIOC_G_FMT, &fmt) < 0) return HResultOfErrno(errno);
        m_nPixelFormat = fmt.fmt.pix.pixelformat;
        m_nWidth = static_cast<int>(fmt.fmt.pix.width);
        m_nHeight = static_cast<int>(fmt.fmt.pix.height);
        m_nBytesPerLine = fmt.fmt.pix.bytesperline ? fmt.fmt.pix.bytesperline : fmt.fmt.pix.width * 3;
        if (IsRgbFormat(m_nPixelFormat))
            m_staging.assign(static_cast<std::size_t>(m_nWidth) * m_nHeight * 3, 0);

        v4l2_requestbuffers req{};
        req.count = kBufferCount;
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        if (XIoctl(k, m_fd, VIDIOC_REQBUFS, &req) < 0) return HResultOfErrno(errno);
        if (req.count < 1) {
            ReleaseBuffers();
            return E_FAIL;
        }
        for (std::uint32_t i = 0; i < req.count; ++i) {
            v4l2_buffer b{};
            b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            b.memory = V4L2_MEMORY_MMAP;
            b.index = i;
            if (XIoctl(k, m_fd, VIDIOC_QUERYBUF, &b) < 0) {
                HRESULT hr = HResultOfErrno(errno);
                ReleaseBuffers();
                return hr;
            }
            void* p = k.Mmap(b.length, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, b.m.offset);
            if (p == MAP_FAILED) {
                HRESULT hr = HResultOfErrno(errno);
                ReleaseBuffers();
                return hr;
            }
            m_buffers.push_back({p, b.length});
            if (XIoctl(k, m_fd, VIDIOC_QBUF, &b) < 0) {
                HRESULT hr = HResultOfErrno(errno);
                ReleaseBuffers();
                return hr;
            }
        }
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (XIoctl(k, m_fd, VIDIOC_STREAMON, &type) < 0) {
            HRESULT hr = HResultOfErrno(errno);
            ReleaseBuffers();
            return hr;
        }
    }
    m_bStop = false;
    m_bLost = false;
    if (capture) {
        m_bStreamDone = false;
        m_streamThread = std::thread([this] { StreamLoop(); });
    }
    if (still) {
        m_bStillDone = false;
        m_stillThread = std::thread([this] { StillLoop(); });
    }
    m_bStreaming = true;
    return S_OK;
}

void CameraSource::JoinThreads() {
    for (auto* pair : {&m_streamThread, &m_stillThread}) {
        if (!pair->joinable()) continue;
        std::atomic<bool>& done = pair == &m_streamThread ? m_bStreamDone : m_bStillDone;
        // A callback may be waiting for the user-interface thread; keep serving
        // it while the thread winds down.
        if (plat::IsUiThread())
            while (!plat::WaitServingSends([&] { return done.load(); }, std::chrono::milliseconds(200))) {
            }
        pair->join();
    }
}

void CameraSource::Stop() {
    if (!m_bStreaming) return;
    m_bStop = true;
    JoinThreads();
    if (!m_buffers.empty()) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        XIoctl(*m_pKernel, m_fd, VIDIOC_STREAMOFF, &type);  // fails harmlessly on a vanished device
        ReleaseBuffers();
    }
    m_bStreaming = false;
}

void CameraSource::ReleaseBuffers() {
    for (const Buffer& b : m_buffers) m_pKernel->Munmap(b.start, b.length);
    m_buffers.clear();
    v4l2_requestbuffers req{};
    req.count = 0;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    XIoctl(*m_pKernel, m_fd, VIDIOC_REQBUFS, &req);
}

void CameraSource::StreamLoop() {
    CameraKernel& k = *m_pKernel;
    while (!m_bStop) {
        pollfd p{m_fd, POLLIN, 0};
        int r = k.Poll(&p, 1, kPollMs);
        if (r < 0) {
            if (errno == EINTR) continue;
            m_bLost = true;
            break;
        }
        if (r == 0) continue;
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (XIoctl(k, m_fd, VIDIOC_DQBUF, &b) < 0) {
            // EIO marks a damaged frame; the next one may be fine.
            if (errno == EAGAIN || errno == EIO) continue;
            m_bLost = true;
            break;
        }
        if (b.index < m_buffers.size() && !(b.flags & V4L2_BUF_FLAG_ERROR) && b.bytesused > 0)
            DeliverFrame(m_buffers[b.index], b.bytesused, Seconds(b.timestamp));
        if (XIoctl(k, m_fd, VIDIOC_QBUF, &b) < 0) {
            m_bLost = true;
            break;
        }
    }
    m_bStreamDone = true;
}

void CameraSource::DeliverFrame(const Buffer& buf, std::size_t used, double time) {
    if (used > buf.length) used = buf.length;
    const BYTE* src = static_cast<const BYTE*>(buf.start);
    if (!IsRgbFormat(m_nPixelFormat)) {
        Deliver(m_pCapturePin, IMediaSample(src, static_cast<long>(used), time));
        return;
    }
    // DirectShow's RGB24 is B, G, R with the bottom row first.
    std::size_t row = static_cast<std::size_t>(m_nWidth) * 3;
    if (m_nHeight < 1 || used < m_nBytesPerLine * static_cast<std::size_t>(m_nHeight - 1) + row) return;  // torn frame
    bool swap = m_nPixelFormat == V4L2_PIX_FMT_RGB24;
    for (int r = 0; r < m_nHeight; ++r) {
        const BYTE* s = src + static_cast<std::size_t>(r) * m_nBytesPerLine;
        BYTE* d = m_staging.data() + static_cast<std::size_t>(m_nHeight - 1 - r) * row;
        if (!swap) {
            std::memcpy(d, s, row);
        } else {
            for (int x = 0; x < m_nWidth; ++x) {
                d[3 * x] = s[3 * x + 2];
                d[3 * x + 1] = s[3 * x + 1];
                d[3 * x + 2] = s[3 * x];
            }
        }
    }
    Deliver(m_pCapturePin, IMediaSample(m_staging.data(), static_cast<long>(m_staging.size()), time));
}

void CameraSource::StillLoop() {
    CameraKernel& k = *m_pKernel;
    int efd = k.Open(m_strInputNode.c_str(), O_RDONLY | O_NONBLOCK);
    if (efd >= 0) {
        input_event events[16];
        while (!m_bStop) {
            pollfd p{efd, POLLIN, 0};
            int r = k.Poll(&p, 1, kPollMs);
            if (r < 0 && errno != EINTR) break;
            if (r <= 0) continue;
            ssize_t n = k.Read(efd, events, sizeof(events));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) continue;
                break;  // the device went away
            }
            if (n == 0) break;
            for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof(input_event); ++i) {
                const input_event& ev = events[i];
                if (ev.type == EV_KEY && ev.code == KEY_CAMERA && ev.value == 1)
                    Deliver(m_pStillPin, IMediaSample(nullptr, 0, ev.input_event_sec + ev.input_event_usec / 1e6));
            }
        }
        k.Close(efd);
    }
    m_bStillDone = true;
}

// --- monikers ------------------------------------------------------------------

namespace {
std::string InputNodeOf(const std::string& devnode) {
    for (const VideoNodeInfo& n : Catalog()->VideoNodes())
        if (n.devnode == devnode) return n.inputNode;
    return {};
}

// Whether the node belongs to the video-input category.  A UVC camera has a
// second node for metadata; it is no video input and takes no place in the
// category, so positions count video inputs only.  A node that cannot be
// opened keeps its place (its name cannot be read, so it is never chosen).
bool IsVideoInputNode(CameraKernel& k, const std::string& devnode) {
    const int fd = k.Open(devnode.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) return true;
    v4l2_capability cap{};
    const bool input = XIoctl(k, fd, VIDIOC_QUERYCAP, &cap) < 0 || (NodeCaps(cap) & V4L2_CAP_VIDEO_CAPTURE) != 0;
    k.Close(fd);
    return input;
}
}  // namespace

HRESULT Moniker::BindToObject(std::shared_ptr<Filter>* out) const {
    if (!out) return E_POINTER;
    std::shared_ptr<CameraSource> src;
    HRESULT hr = CameraSource::Bind(Kernel(), m_strDevnode, InputNodeOf(m_strDevnode), &src);
    *out = src;
    return hr;
}

HRESULT Moniker::ReadFriendlyName(std::wstring* out) const {
    if (!out) return E_POINTER;
    std::shared_ptr<CameraKernel> k = Kernel();
    int fd = k->Open(m_strDevnode.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) return HResultOfErrno(errno);
    v4l2_capability cap{};
    HRESULT hr = S_OK;
    if (XIoctl(*k, fd, VIDIOC_QUERYCAP, &cap) < 0) {
        hr = HResultOfErrno(errno);
    } else {
        // Metadata and output nodes of a camera are not video inputs.
        if (!(NodeCaps(cap) & V4L2_CAP_VIDEO_CAPTURE)) {
            hr = E_FAIL;
        } else {
            std::string card(reinterpret_cast<const char*>(cap.card), strnlen(reinterpret_cast<const char*>(cap.card), sizeof(cap.card)));
            *out = wxString::FromUTF8(card.c_str()).ToStdWstring();
        }
    }
    k->Close(fd);
    return hr;
}

HRESULT MkParseDisplayName(const std::wstring& displayName, std::shared_ptr<Moniker>* out) {
    if (!out) return E_POINTER;
    out->reset();
    std::string name = wxString(displayName).ToStdString(wxConvUTF8);
    std::string devnode = DevnodeOfDisplayName(name);
    if (devnode.empty()) return E_INVALIDARG;
    *out = std::make_shared<Moniker>(name, devnode);
    return S_OK;
}

HRESULT EnumVideoInputCategory(std::vector<std::shared_ptr<Moniker>>* out) {
    if (!out) return E_POINTER;
    out->clear();
    std::shared_ptr<CameraKernel> k = Kernel();
    for (const VideoNodeInfo& n : Catalog()->VideoNodes())
        if (IsVideoInputNode(*k, n.devnode)) out->push_back(std::make_shared<Moniker>(DisplayNameOf(n), n.devnode));
    return out->empty() ? S_FALSE : S_OK;
}

}  // namespace plat::cam
