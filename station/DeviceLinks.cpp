#include "station/DeviceLinks.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/QuillmarshApp.h"
#include "platform/CrossThread.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kTurn = 50ms;             // the links' polling period
constexpr auto kProbeConnectLimit = 2s;  // a presence connection attempt
constexpr auto kProbePause = 1000ms;     // between presence cycles
constexpr size_t kReceiveSize = 2048;

// The received bytes up to the first NUL, as the text the device sent.  The
// texts that count ("xev...", "0") are ASCII, whose bytes stand for themselves
// in the system code page, so comparing bytes compares characters.
std::string ReceivedText(const char* buf, ssize_t n) {
    return std::string(buf, strnlen(buf, static_cast<size_t>(n)));
}

// Whether `fd` has data (or its end, or an error) within `timeout`.
// 1 readable, 0 nothing yet, -1 the wait failed.
int WaitReadable(int fd, std::chrono::microseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    // poll counts in milliseconds: the 100 us look becomes a look without waiting.
    const int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count());
    int r;
    do {
        r = poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (p.revents & POLLNVAL) return -1;
    return 1;
}

void SetBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return;
    fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

// Connects `fd` to `endpoint` without blocking, waiting in slices of at most
// one turn for the connection to complete; gives up when `limit` passes
// (zero: only the system's own time-out) or a stop is requested.  The socket
// is blocking again afterwards.
bool ConnectWaiting(int fd, const sockaddr_in& endpoint, std::chrono::milliseconds limit,
                    const CStopSignal& stop) {
    SetBlocking(fd, false);
    bool connected = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) == 0) {
        connected = true;
    } else if (errno == EINPROGRESS || errno == EINTR) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (stop.IsRequested()) break;
            auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(kTurn);
            if (limit.count() > 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                slice = std::min(slice, left);
            }
            pollfd p{fd, POLLOUT, 0};
            const int r = poll(&p, 1, static_cast<int>(slice.count()));
            if (r < 0 && errno != EINTR) break;
            if (r > 0) {
                int err = 0;
                socklen_t len = sizeof err;
                connected = getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0 &&
                            !(p.revents & (POLLERR | POLLNVAL));
                break;
            }
        }
    }
    SetBlocking(fd, true);
    return connected && !stop.IsRequested();
}

// Sends WM_DEVICE_STATUS through the window's handler on the user-interface
// thread.  The stop request is looked at there, where the window sets it: a
// thread asked to stop while its send was queued reaches no handler.
void SendDeviceStatus(const LinkContext& ctx, LPARAM lParam) {
    IDeviceLinkHost* host = ctx.host;
    const std::shared_ptr<CStopSignal> stop = ctx.stop;
    plat::SendToUiThread([host, stop, lParam]() -> LRESULT {
        if (stop->IsRequested()) return 0;
        return host->DeviceStatus(lParam);
    });
}

// The probe's read loop on a fresh connection: true when the greeting came.
bool AwaitGreeting(const LinkContext& ctx, int fd) {
    const CStopSignal& stop = *ctx.stop;
    char buf[kReceiveSize + 1];
    for (;;) {
        if (stop.IsRequested()) return false;
        const int ready = WaitReadable(fd, 100us);
        if (ready < 0) return false;
        if (ready == 0) {
            if (stop.SleepFor(kTurn)) return false;
            continue;
        }
        std::memset(buf, 0, sizeof buf);
        const ssize_t n = recv(fd, buf, kReceiveSize, 0);
        if (n <= 0) return false;  // the device closed the connection, or an error
        const std::string text = ReceivedText(buf, n);
        if (text.size() >= 3 && text.compare(0, 3, "xev") == 0) {
            if (stop.SleepFor(kTurn)) return false;
            SendDeviceStatus(ctx, 0);
            return true;
        }
        if (stop.SleepFor(kTurn)) return false;
    }
}

}  // namespace

bool MakeDeviceEndpoint(const wxString& address, int port, sockaddr_in* endpoint) {
    std::memset(endpoint, 0, sizeof *endpoint);
    endpoint->sin_family = AF_INET;
    endpoint->sin_port = htons(static_cast<uint16_t>(port));
    char buf[16];
    theApp.WideToAnsi(address, buf, sizeof buf);
    // The conversion cuts a longer text to fit; a cut address would name some
    // other host, so a text that did not fit counts as no address.
    if (std::strlen(address.utf8_str().data()) >= sizeof buf) return false;
    const in_addr_t a = inet_addr(buf);
    if (a == INADDR_NONE) return false;
    endpoint->sin_addr.s_addr = a;
    return true;
}

// ---------------------------------------------------------------------------

void CStopSignal::Request() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requested = true;
    }
    m_cond.notify_all();
}

bool CStopSignal::SleepFor(std::chrono::milliseconds duration) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, duration, [this] { return m_requested.load(); });
}

CLinkSocket::~CLinkSocket() { Close(); }

bool CLinkSocket::Open() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
    return fd >= 0;
}

int CLinkSocket::Fd() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fd;
}

void CLinkSocket::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

void CLinkSocket::Shutdown() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0) ::shutdown(m_fd, SHUT_RDWR);
}

// ---------------------------------------------------------------------------

DWORD PresenceThread(const LinkContext& ctx) {
    CLinkSocket& sock = *ctx.sock;
    const CStopSignal& stop = *ctx.stop;
    sockaddr_in endpoint;
    const auto ports = plat::DevicePortsInUse();
    const bool haveAddress = ports && MakeDeviceEndpoint(ctx.host->DeviceAddress(), ports->presence, &endpoint);

    // Failures over the thread's whole life: a connection does not refill it.
    int budget = 2;
    if (theApp.m_bUsbCamera) {
        theApp.m_bNetCamera = 0;
        sock.Close();
        return 0;
    }
    while (!stop.IsRequested()) {
        if (!sock.Open()) return 0;
        if (stop.IsRequested()) break;  // a shutdown may have come before the socket existed
        const bool connected = haveAddress && ConnectWaiting(sock.Fd(), endpoint, kProbeConnectLimit, stop);
        if (stop.IsRequested()) break;
        if (!connected) {
            if (--budget <= 0 && !theApp.m_bUsbCamera) {
                SendDeviceStatus(ctx, 1);
                theApp.m_bNetCamera = 0;
                sock.Close();
                return 0;
            }
        } else if (!theApp.m_bNetCamera) {
            // Not the source yet: wait for the greeting.  Once the device is
            // the source, the connection alone shows it is still there.
            AwaitGreeting(ctx, sock.Fd());
        }
        sock.Close();
        if (stop.SleepFor(kProbePause)) break;
        if (theApp.m_bUsbCamera) {
            theApp.m_bNetCamera = 0;
            return 0;
        }
    }
    sock.Close();
    return 0;
}

DWORD StatusLinkThread(const LinkContext& ctx) {
    CLinkSocket& sock = *ctx.sock;
    const CStopSignal& stop = *ctx.stop;
    sockaddr_in endpoint;
    const auto ports = plat::DevicePortsInUse();
    if (!sock.Open()) return 0;
    // No time limit of our own on this connection (only the system's), but
    // the wait still looks at the stop request every turn.
    if (stop.IsRequested() || !ports || !MakeDeviceEndpoint(ctx.host->DeviceAddress(), ports->status, &endpoint) ||
        !ConnectWaiting(sock.Fd(), endpoint, 0ms, stop)) {
        sock.Close();
        return 0;
    }
    const int fd = sock.Fd();
    char buf[kReceiveSize + 1];
    while (!stop.IsRequested()) {
        const int ready = WaitReadable(fd, 100us);
        if (ready < 0) break;
        if (ready > 0) {
            std::memset(buf, 0, sizeof buf);
            const ssize_t n = recv(fd, buf, kReceiveSize, 0);
            if (n <= 0) break;  // the link is gone
            // One receive is one message: only a lone "0" is a press.
            if (ReceivedText(buf, n) == "0" && !stop.IsRequested()) {
                std::atomic<BOOL>& live = ctx.host->LiveFlag();
                BOOL was = live.load();
                while (!live.compare_exchange_weak(was, was ? FALSE : TRUE)) {
                }
                ctx.host->PostFreezeButtonUpdate();
            }
        }
        if (stop.SleepFor(kTurn)) break;
    }
    sock.Close();
    return 0;
}

// ---------------------------------------------------------------------------

CLinkThread::CLinkThread()
    : m_sock(std::make_shared<CLinkSocket>()),
      m_stop(std::make_shared<CStopSignal>()),
      m_running(std::make_shared<std::atomic<bool>>(false)) {}

CLinkThread::~CLinkThread() {
    RequestStop();
    Wait(std::chrono::seconds(3));
}

bool CLinkThread::Start(IDeviceLinkHost& host, DWORD (*proc)(const LinkContext&)) {
    if (IsRunning()) return false;
    if (m_thread.joinable()) m_thread.join();  // ended already: the join is immediate
    m_sock = std::make_shared<CLinkSocket>();
    m_stop = std::make_shared<CStopSignal>();
    m_running = std::make_shared<std::atomic<bool>>(true);
    LinkContext ctx{&host, m_sock, m_stop};
    auto running = m_running;
    m_thread = std::thread([ctx, proc, running] {
        proc(ctx);
        *running = false;
    });
    return true;
}

bool CLinkThread::IsRunning() const { return m_running->load(); }

void CLinkThread::RequestStop() {
    m_stop->Request();
    m_sock->Shutdown();
}

void CLinkThread::DropLink() { m_sock->Shutdown(); }

bool CLinkThread::Wait(std::chrono::milliseconds bound) {
    if (!m_thread.joinable()) return true;
    return plat::JoinServingSends(m_thread, bound);
}

// ---------------------------------------------------------------------------

bool CDeviceLinks::StartPresence() {
    if (!plat::DevicePortsInUse()) return false;
    return m_hPresenceThread.Start(m_host, &PresenceThread);
}

void CDeviceLinks::RestartStatus() {
    m_hStatusThread.RequestStop();
    m_hStatusThread.Wait(std::chrono::seconds(3));
    m_hStatusThread.Start(m_host, &StatusLinkThread);
}

bool CDeviceLinks::StopAll(std::chrono::milliseconds bound) {
    m_hPresenceThread.RequestStop();
    m_hStatusThread.RequestStop();
    const auto deadline = std::chrono::steady_clock::now() + bound;
    const bool presenceEnded = m_hPresenceThread.Wait(bound);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const bool statusEnded = m_hStatusThread.Wait(std::max(left, std::chrono::milliseconds(0)));
    return presenceEnded && statusEnded;
}
