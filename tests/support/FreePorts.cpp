#include "support/FreePorts.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

plat::DevicePorts PickFreeDevicePorts() {
    // All three are held at once so that they differ; the kernel hands out
    // ports nobody listens on.
    int fds[3];
    int ports[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        fds[i] = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fds[i] >= 0 && bind(fds[i], reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fds[i], reinterpret_cast<sockaddr*>(&a), &len) == 0)
            ports[i] = ntohs(a.sin_port);
    }
    for (int fd : fds)
        if (fd >= 0) close(fd);
    return plat::DevicePorts{ports[0], ports[1], ports[2]};
}
