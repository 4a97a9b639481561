#include "support/FakeCamera.h"

#include <linux/input.h>
#include <sys/mman.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>

namespace fake {

VideoNode& Kernel::AddVideo(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto& n = m_video[path];
    n = std::make_unique<VideoNode>();
    return *n;
}

InputNode& Kernel::AddInput(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto& n = m_input[path];
    n = std::make_unique<InputNode>();
    return *n;
}

std::uint32_t Kernel::SizeImage(std::uint32_t pf, std::uint32_t w, std::uint32_t h) const {
    if (pf == V4L2_PIX_FMT_YUYV) return w * h * 2;
    if (pf == V4L2_PIX_FMT_RGB24 || pf == V4L2_PIX_FMT_BGR24) return w * h * 3;
    return w * h * 3;  // compressed: room for the worst case
}

void Kernel::FillPending(VideoNode& n) {
    while (!n.pending.empty()) {
        std::size_t i = 0;
        while (i < n.queued.size() && !n.queued[i]) ++i;
        if (i == n.queued.size()) return;
        auto& frame = n.pending.front();
        std::size_t used = std::min(frame.size(), n.buffers[i].size());
        std::memcpy(n.buffers[i].data(), frame.data(), used);
        n.queued[i] = false;
        n.done.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(used)});
        n.pending.erase(n.pending.begin());
    }
}

void Kernel::PushFrame(const std::string& path, std::vector<std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    VideoNode& n = *m_video.at(path);
    n.pending.push_back(std::move(bytes));
    if (n.streaming) FillPending(n);
    m_changed.notify_all();
}

void Kernel::PressKey(const std::string& inputPath, std::uint16_t code) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_input.at(inputPath)->keys.push_back(code);
    m_changed.notify_all();
}

void Kernel::Unplug(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (auto it = m_video.find(path); it != m_video.end()) it->second->unplugged = true;
    if (auto it = m_input.find(path); it != m_input.end()) it->second->unplugged = true;
    m_changed.notify_all();
}

void Kernel::SetReportedSize(const std::string& path, std::uint32_t w, std::uint32_t h) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_video.at(path)->reportW = w;
    m_video.at(path)->reportH = h;
}

bool Kernel::Streaming(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_video.at(path)->streaming;
}
int Kernel::OpenCount(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (auto it = m_video.find(path); it != m_video.end()) return it->second->openCount;
    return m_input.at(path)->openCount;
}
int Kernel::Mapped(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_video.at(path)->mapped;
}
int Kernel::Requeued(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_video.at(path)->requeued;
}
std::uint32_t Kernel::CurrentFormat(const std::string& path, std::uint32_t* w, std::uint32_t* h) {
    std::lock_guard<std::mutex> lock(m_lock);
    VideoNode& n = *m_video.at(path);
    *w = n.curW;
    *h = n.curH;
    return n.curFormat;
}

int Kernel::Open(const char* path, int) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (auto it = m_video.find(path); it != m_video.end() && !it->second->unplugged) {
        it->second->openCount++;
    } else if (auto in = m_input.find(path); in != m_input.end() && !in->second->unplugged) {
        in->second->openCount++;
    } else {
        errno = ENOENT;
        return -1;
    }
    int fd = m_nextFd++;
    m_fds[fd] = path;
    return fd;
}

int Kernel::Close(int fd) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_fds.find(fd);
    if (it == m_fds.end()) {
        errno = EBADF;
        return -1;
    }
    if (auto v = m_video.find(it->second); v != m_video.end()) v->second->openCount--;
    if (auto in = m_input.find(it->second); in != m_input.end()) in->second->openCount--;
    m_fds.erase(it);
    return 0;
}

int Kernel::Ioctl(int fd, unsigned long request, void* arg) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_fds.find(fd);
    if (it == m_fds.end()) {
        errno = EBADF;
        return -1;
    }
    auto v = m_video.find(it->second);
    if (v == m_video.end()) {
        errno = ENOTTY;
        return -1;
    }
    if (v->second->unplugged) {
        errno = ENODEV;
        return -1;
    }
    int r = VideoIoctl(*v->second, request, arg);
    m_changed.notify_all();
    return r;
}

int Kernel::VideoIoctl(VideoNode& n, unsigned long request, void* arg) {
    auto fail = [](int e) {
        errno = e;
        return -1;
    };
    switch (request) {
        case VIDIOC_QUERYCAP: {
            auto* c = static_cast<v4l2_capability*>(arg);
            std::memset(c, 0, sizeof(*c));
            std::strncpy(reinterpret_cast<char*>(c->card), n.card.c_str(), sizeof(c->card) - 1);
            std::strcpy(reinterpret_cast<char*>(c->driver), "uvcvideo");
            c->device_caps = n.capture ? (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING)
                                       : (V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING);
            c->capabilities = c->device_caps | V4L2_CAP_DEVICE_CAPS;
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto* d = static_cast<v4l2_fmtdesc*>(arg);
            if (!n.capture || d->index >= n.formats.size()) return fail(EINVAL);
            d->pixelformat = n.formats[d->index].pixelformat;
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto* fs = static_cast<v4l2_frmsizeenum*>(arg);
            for (const Format& f : n.formats) {
                if (f.pixelformat != fs->pixel_format) continue;
                if (fs->index >= f.sizes.size()) return fail(EINVAL);
                fs->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                fs->discrete.width = f.sizes[fs->index].w;
                fs->discrete.height = f.sizes[fs->index].h;
                return 0;
            }
            return fail(EINVAL);
        }
        case VIDIOC_G_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
            f->fmt.pix.pixelformat = n.curFormat;
            f->fmt.pix.width = n.reportW ? n.reportW : n.curW;
            f->fmt.pix.height = n.reportH ? n.reportH : n.curH;
            std::uint32_t bpp = n.curFormat == V4L2_PIX_FMT_YUYV ? 2 : 3;
            f->fmt.pix.bytesperline = n.curFormat == V4L2_PIX_FMT_MJPEG ? 0 : f->fmt.pix.width * bpp;
            f->fmt.pix.sizeimage = SizeImage(n.curFormat, f->fmt.pix.width, f->fmt.pix.height);
            return 0;
        }
        case VIDIOC_TRY_FMT:
        case VIDIOC_S_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            if (request == VIDIOC_S_FMT && (n.streaming || !n.buffers.empty())) return fail(EBUSY);
            // Like a driver: an unknown format becomes the first, a size the nearest offered.
            const Format* chosen = &n.formats.front();
            for (const Format& fm : n.formats)
                if (fm.pixelformat == f->fmt.pix.pixelformat) chosen = &fm;
            Size best = chosen->sizes.front();
            long bestD = -1;
            for (Size s : chosen->sizes) {
                long d = std::labs(long(s.w) - long(f->fmt.pix.width)) + std::labs(long(s.h) - long(f->fmt.pix.height));
                if (bestD < 0 || d < bestD) {
                    bestD = d;
                    best = s;
                }
            }
            f->fmt.pix.pixelformat = chosen->pixelformat;
            f->fmt.pix.width = best.w;
            f->fmt.pix.height = best.h;
            f->fmt.pix.sizeimage = SizeImage(chosen->pixelformat, best.w, best.h);
            if (request == VIDIOC_S_FMT) {
                n.curFormat = chosen->pixelformat;
                n.curW = best.w;
                n.curH = best.h;
            }
            return 0;
        }
        case VIDIOC_REQBUFS: {
            auto* rb = static_cast<v4l2_requestbuffers*>(arg);
            if (n.streaming) return fail(EBUSY);
            n.buffers.assign(rb->count, std::vector<std::uint8_t>(SizeImage(n.curFormat, n.curW, n.curH)));
            n.queued.assign(rb->count, false);
            n.done.clear();
            return 0;
        }
        case VIDIOC_QUERYBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= n.buffers.size()) return fail(EINVAL);
            b->length = static_cast<std::uint32_t>(n.buffers[b->index].size());
            b->m.offset = b->index * 0x100000u;
            return 0;
        }
        case VIDIOC_QBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= n.buffers.size() || n.queued[b->index]) return fail(EINVAL);
            n.queued[b->index] = true;
            if (n.streaming) {
                n.requeued++;
                FillPending(n);
            }
            return 0;
        }
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (n.done.empty()) return fail(EAGAIN);
            b->index = n.done.front().first;
            b->bytesused = n.done.front().second;
            b->flags = 0;
            n.done.erase(n.done.begin());
            return 0;
        }
        case VIDIOC_STREAMON:
            if (n.refuseStreamOn || n.buffers.empty()) return fail(EIO);
            n.streaming = true;
            FillPending(n);
            return 0;
        case VIDIOC_STREAMOFF:
            n.streaming = false;
            n.done.clear();
            std::fill(n.queued.begin(), n.queued.end(), false);
            return 0;
        default:
            return fail(ENOTTY);
    }
}

void* Kernel::Mmap(std::size_t length, int, int, int fd, off_t offset) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_fds.find(fd);
    if (it == m_fds.end() || !m_video.count(it->second)) {
        errno = EBADF;
        return MAP_FAILED;
    }
    VideoNode& n = *m_video[it->second];
    std::size_t index = static_cast<std::size_t>(offset) / 0x100000u;
    if (index >= n.buffers.size() || length > n.buffers[index].size()) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    n.mapped++;
    return n.buffers[index].data();
}

int Kernel::Munmap(void* addr, std::size_t) {
    std::lock_guard<std::mutex> lock(m_lock);
    for (auto& [path, n] : m_video)
        for (auto& b : n->buffers)
            if (b.data() == addr) {
                n->mapped--;
                return 0;
            }
    errno = EINVAL;
    return -1;
}

bool Kernel::Ready(int fd, short* revents) {
    *revents = 0;
    auto it = m_fds.find(fd);
    if (it == m_fds.end()) {
        *revents = POLLNVAL;
        return true;
    }
    if (auto v = m_video.find(it->second); v != m_video.end()) {
        if (v->second->unplugged) *revents = POLLERR | POLLHUP;
        else if (!v->second->done.empty()) *revents = POLLIN;
    } else if (auto in = m_input.find(it->second); in != m_input.end()) {
        if (in->second->unplugged) *revents = POLLERR | POLLHUP;
        else if (!in->second->keys.empty()) *revents = POLLIN;
    }
    return *revents != 0;
}

int Kernel::Poll(struct pollfd* fds, nfds_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    auto scan = [&] {
        int ready = 0;
        for (nfds_t i = 0; i < count; ++i)
            if (Ready(fds[i].fd, &fds[i].revents)) ++ready;
        return ready;
    };
    int ready = 0;
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return (ready = scan()) > 0; });
    return ready;
}

ssize_t Kernel::Read(int fd, void* buf, std::size_t count) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_fds.find(fd);
    if (it == m_fds.end() || !m_input.count(it->second)) {
        errno = EBADF;
        return -1;
    }
    InputNode& n = *m_input[it->second];
    if (n.unplugged) {
        errno = ENODEV;
        return -1;
    }
    if (n.keys.empty()) {
        errno = EAGAIN;
        return -1;
    }
    // One press: key down, sync, key up, sync.
    input_event ev[4]{};
    std::uint16_t code = n.keys.front();
    ev[0].type = EV_KEY, ev[0].code = code, ev[0].value = 1;
    ev[1].type = EV_SYN;
    ev[2].type = EV_KEY, ev[2].code = code, ev[2].value = 0;
    ev[3].type = EV_SYN;
    if (count < sizeof(ev)) {
        errno = EINVAL;
        return -1;
    }
    n.keys.erase(n.keys.begin());
    std::memcpy(buf, ev, sizeof(ev));
    return sizeof(ev);
}

struct DeviceEvents::Queue {
    std::mutex lock;
    std::condition_variable cv;
    std::deque<std::pair<std::string, std::string>> events;
};

namespace {
class QueueSource final : public plat::cam::DeviceEventSource {
public:
    explicit QueueSource(std::shared_ptr<DeviceEvents::Queue> q) : m_q(std::move(q)) {}
    bool Next(int timeoutMs, std::string* action, std::string* devnode) override {
        std::unique_lock<std::mutex> lock(m_q->lock);
        if (!m_q->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !m_q->events.empty(); }))
            return false;
        *action = m_q->events.front().first;
        *devnode = m_q->events.front().second;
        m_q->events.pop_front();
        return true;
    }

private:
    std::shared_ptr<DeviceEvents::Queue> m_q;
};
}  // namespace

DeviceEvents::DeviceEvents() : m_q(std::make_shared<Queue>()) {}

void DeviceEvents::Push(const std::string& action, const std::string& devnode) {
    std::lock_guard<std::mutex> lock(m_q->lock);
    m_q->events.emplace_back(action, devnode);
    m_q->cv.notify_all();
}

std::unique_ptr<plat::cam::DeviceEventSource> DeviceEvents::Source() const {
    return std::make_unique<QueueSource>(m_q);
}

Install::Install() {
    plat::cam::SetKernel(kernel);
    plat::cam::SetCatalog(catalog);
}
Install::~Install() {
    plat::cam::SetKernel(nullptr);
    plat::cam::SetCatalog(nullptr);
}

std::vector<std::uint8_t> Yuy2Frame(int w, int h, std::uint8_t (*luma)(int x, int y)) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(w) * h * 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 2) {
            std::uint8_t* g = &f[(static_cast<std::size_t>(y) * w + x) * 2];
            g[0] = luma(x, y);
            g[1] = 128;
            g[2] = luma(x + 1, y);
            g[3] = 128;
        }
    return f;
}

std::vector<std::uint8_t> Rgb24Frame(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, int markRow) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &f[(static_cast<std::size_t>(y) * w + x) * 3];
            bool mark = y == markRow;
            p[0] = mark ? 255 : r;
            p[1] = mark ? 255 : g;
            p[2] = mark ? 255 : b;
        }
    return f;
}

}  // namespace fake
