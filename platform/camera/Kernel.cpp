#include "platform/camera/Kernel.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace plat::cam {
namespace {

class SystemKernel final : public CameraKernel {
public:
    int Open(const char* path, int flags) override { return ::open(path, flags | O_CLOEXEC); }
    int Close(int fd) override { return ::close(fd); }
    int Ioctl(int fd, unsigned long request, void* arg) override { return ::ioctl(fd, request, arg); }
    void* Mmap(std::size_t length, int prot, int flags, int fd, off_t offset) override {
        return ::mmap(nullptr, length, prot, flags, fd, offset);
    }
    int Munmap(void* addr, std::size_t length) override { return ::munmap(addr, length); }
    int Poll(struct pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds, count, timeoutMs); }
    ssize_t Read(int fd, void* buf, std::size_t count) override { return ::read(fd, buf, count); }
};

std::mutex g_kernelLock;
std::shared_ptr<CameraKernel> g_kernel;

}  // namespace

std::shared_ptr<CameraKernel> Kernel() {
    std::lock_guard<std::mutex> lock(g_kernelLock);
    if (!g_kernel) g_kernel = std::make_shared<SystemKernel>();
    return g_kernel;
}

void SetKernel(std::shared_ptr<CameraKernel> kernel) {
    std::lock_guard<std::mutex> lock(g_kernelLock);
    g_kernel = std::move(kernel);
}

int XIoctl(CameraKernel& k, int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = k.Ioctl(fd, request, arg);
    } while (r == -1 && errno == EINTR);
    return r;
}

}  // namespace plat::cam
