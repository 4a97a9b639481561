#pragma once
// The two TCP links of the station window to the networked camera device,
// besides the MJPEG stream the stream reader reads:
//   presence probe (port 15006): finds the device by its greeting "xev..." and
//     then reconnects about once a second to notice when it is gone;
//   status link (port 15002): the device's hardware button, one "0" per press,
//     which freezes and resumes the live picture.
//
// The threads reach their window only through IDeviceLinkHost, so they run the
// same against the real window and against a test host.  Stopping: every wait
// of a link thread is a slice of at most 50 ms followed by a look at its stop
// request, and the stopper also shuts its socket down so that a call blocked on
// it returns.  Each socket is closed once, by the thread that owns it.
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <wx/string.h>

#include "capture/DeviceMessages.h"
#include "platform/DeviceEndpoint.h"
#include "platform/WinTypes.h"

// The IPv4 endpoint of `address` and `port`.  The address goes through the
// system code page into a 16-byte buffer, so a text longer than 15 characters
// does not fit; such a text, or one inet_addr rejects, gives false (the device
// is then unreachable).
bool MakeDeviceEndpoint(const wxString& address, int port, sockaddr_in* endpoint);

// A stop request that the owner's thread sets and a worker looks at between
// slices of its waits.
class CStopSignal {
public:
    void Request();
    bool IsRequested() const { return m_requested.load(); }
    // Sleeps `duration` unless a stop is requested first; true when stopped.
    bool SleepFor(std::chrono::milliseconds duration) const;

private:
    std::atomic<bool> m_requested{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cond;
};

// A link socket: made, used and closed by its owner thread; any thread may
// shut it down to wake a call waiting on it.  The descriptor is guarded so a
// shutdown never reaches a number that has been closed and reused.
class CLinkSocket {
public:
    ~CLinkSocket();
    // Owner: a new IPv4 TCP socket in place of any earlier one; false on failure.
    bool Open();
    // Owner: the descriptor, -1 when none.
    int Fd() const;
    // Owner: closes the socket (once) and forgets it.
    void Close();
    // Any thread: wakes calls waiting on the socket; the owner then closes it.
    void Shutdown();
    bool IsOpen() const { return Fd() >= 0; }

private:
    mutable std::mutex m_mutex;
    int m_fd = -1;
};

// What a link thread needs of its window.
class IDeviceLinkHost {
public:
    virtual ~IDeviceLinkHost() = default;
    // The device's address text (the build setting unless a test gives another).
    virtual wxString DeviceAddress() const { return plat::DeviceAddressText(); }
    // User-interface thread: WM_DEVICE_STATUS with `lParam` (0 found, 1 not
    // found) through the window's message handler.
    virtual LRESULT DeviceStatus(LPARAM lParam) = 0;
    // The window's live flag, flipped by the device's button.
    virtual std::atomic<BOOL>& LiveFlag() = 0;
    // Any thread: later on the user-interface thread, set the freeze button's
    // toggle state to the live flag and repaint the button.
    virtual void PostFreezeButtonUpdate() = 0;
};

// What a link thread works with: its socket and its stop request, shared with
// the window so that neither outlives the other's use.
struct LinkContext {
    IDeviceLinkHost* host = nullptr;
    std::shared_ptr<CLinkSocket> sock;
    std::shared_ptr<CStopSignal> stop;
};

// The thread procedures (their exit code is not used).
DWORD PresenceThread(const LinkContext& ctx);
DWORD StatusLinkThread(const LinkContext& ctx);

// One link thread with its stop request and its socket.
class CLinkThread {
public:
    CLinkThread();
    ~CLinkThread();
    CLinkThread(const CLinkThread&) = delete;
    CLinkThread& operator=(const CLinkThread&) = delete;

    // Starts `proc` unless a thread started here still runs (then false).  A
    // new socket and stop request go with each new thread.
    bool Start(IDeviceLinkHost& host, DWORD (*proc)(const LinkContext&));
    bool IsRunning() const;
    // Any thread: asks the thread to stop and shuts its socket down.
    void RequestStop();
    // Shuts the socket down only: the thread sees its link gone and ends.
    void DropLink();
    // User-interface thread: waits for the thread within `bound`, running
    // queued sends meanwhile (the thread may be sending).  True when it ended.
    // When the bound passes the thread is left to end by itself; it keeps its
    // own socket and stop request alive.
    bool Wait(std::chrono::milliseconds bound);
    // The current socket (for tests and the window's not-found handling).
    std::shared_ptr<CLinkSocket> Socket() const { return m_sock; }

private:
    std::thread m_thread;
    std::shared_ptr<CLinkSocket> m_sock;
    std::shared_ptr<CStopSignal> m_stop;
    std::shared_ptr<std::atomic<bool>> m_running;
};

// The window's side of the links: at most one presence probe, the status link
// restarted with each find, and the stop of everything at the window's end.
// User-interface thread only.
class CDeviceLinks {
public:
    explicit CDeviceLinks(IDeviceLinkHost& host) : m_host(host) {}
    ~CDeviceLinks() { StopAll(std::chrono::seconds(3)); }

    // Starts the probe unless one runs (false: the running one stays in
    // charge) or no network device is to be looked for (false: no probe).
    bool StartPresence();
    // Stops a status link left from an earlier find and starts a new one.
    void RestartStatus();
    // The device is gone: drops the status link, whose thread then ends.
    void DropStatus() { m_hStatusThread.DropLink(); }
    // Asks both threads to stop, shuts their sockets down and waits for them
    // (running queued sends) within `bound`; true when both ended.
    bool StopAll(std::chrono::milliseconds bound);

    CLinkThread m_hPresenceThread;
    CLinkThread m_hStatusThread;

private:
    IDeviceLinkHost& m_host;
};
