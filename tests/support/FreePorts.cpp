#include "support/FreePorts.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <random>

namespace {

// The lowest port the kernel hands out by itself, to every connection that
// names no port of its own (Linux's default range starts at 32768).
int EphemeralLow() {
    int low = 32768, high = 60999;
    std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
    if (!(range >> low >> high)) low = 32768;
    return low;
}

// A socket bound to `port` on 127.0.0.1 (0: one the kernel chooses), or -1.
int Bound(int port, int* bound) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        close(fd);
        return -1;
    }
    *bound = ntohs(a.sin_port);
    return fd;
}

}  // namespace

plat::DevicePorts PickFreeDevicePorts() {
    // Below the kernel's own range: a port picked there and let go again could
    // be taken at once by any program's outgoing connection (another test's
    // station connecting to its simulator, say) before the simulator listens
    // on it.  Below it only a program that asks for the port by number takes
    // it.  All three are held at once so that they differ.
    constexpr int kFirst = 10000;
    const int low = EphemeralLow();
    int fds[3] = {-1, -1, -1};
    int ports[3] = {0, 0, 0};
    if (low - kFirst >= 1000) {
        std::mt19937 random(std::random_device{}());
        std::uniform_int_distribution<int> pick(kFirst, low - 1);
        for (int i = 0, tries = 0; i < 3 && tries < 1000; ++tries) {
            fds[i] = Bound(pick(random), &ports[i]);
            if (fds[i] >= 0) ++i;
        }
    }
    // Where there is no room below the range, the kernel's choice.
    for (int i = 0; i < 3; ++i)
        if (fds[i] < 0) fds[i] = Bound(0, &ports[i]);
    for (int fd : fds)
        if (fd >= 0) close(fd);
    return plat::DevicePorts{ports[0], ports[1], ports[2]};
}
