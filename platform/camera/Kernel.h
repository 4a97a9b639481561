#pragma once
// Every kernel call the camera code makes (the video node and the camera's
// input device) goes through this one interface, so the whole capture graph
// runs against a fake camera in tests.  Calls behave like the system calls:
// -1 (or MAP_FAILED) with errno set on failure.
#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>

namespace plat::cam {

class CameraKernel {
public:
    virtual ~CameraKernel() = default;
    virtual int Open(const char* path, int flags) = 0;
    virtual int Close(int fd) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void* Mmap(std::size_t length, int prot, int flags, int fd, off_t offset) = 0;
    virtual int Munmap(void* addr, std::size_t length) = 0;
    virtual int Poll(struct pollfd* fds, nfds_t count, int timeoutMs) = 0;
    virtual ssize_t Read(int fd, void* buf, std::size_t count) = 0;
};

// The kernel the camera code uses: the real one unless a test installed its own.
std::shared_ptr<CameraKernel> Kernel();
// Installs a kernel (nullptr restores the real one).  Objects made earlier keep
// the kernel they were made with.
void SetKernel(std::shared_ptr<CameraKernel> kernel);

// Ioctl, retried while interrupted by a signal.
int XIoctl(CameraKernel& k, int fd, unsigned long request, void* arg);

}  // namespace plat::cam
