#pragma once
// Reads the networked camera device's MJPEG stream over HTTP on a thread of
// its own, turns each frame by 180 degrees (the device looks at the skin
// upside down) and hands it to the station's frame sink, as the USB path does.
// The station window creates and starts one reader each time the device has
// answered its presence probe; the reader tells the window with
// WM_CAMERA_READY once the stream is open.  A reader is used once.
//
// Stop rules: the thread ends when the stream cannot be opened, when Stop is
// called, or when neither camera flag (network, USB) is set any more.  While
// the network flag is clear but the USB flag set, frames go on unturned.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <opencv2/core/types_c.h>

#include "platform/ViewBuilder.h"
#include "platform/WinTypes.h"

struct CvCapture;

class CNetStreamReader {
public:
    // What the reader reports to: sends a message to the station window and
    // returns its handler's result.  Called on the user-interface thread only.
    using WindowSender = std::function<LRESULT(UINT msg, WPARAM wParam, LPARAM lParam)>;

    // `window` is the window the reader reports to; an empty one hears nothing.
    explicit CNetStreamReader(WindowSender window = {}) : m_window(std::move(window)) {}
    ~CNetStreamReader();
    CNetStreamReader(const CNetStreamReader&) = delete;
    CNetStreamReader& operator=(const CNetStreamReader&) = delete;

    // Starts the reader thread (once).
    void Start();
    // User-interface thread (never from inside the WM_CAMERA_READY handler):
    // asks the thread to stop and waits for it, running queued sends
    // meanwhile, since the thread may be sending WM_CAMERA_READY.  The thread
    // ends after its current query, which a stalled stream holds for at most
    // the capture's read time-out.  True when the thread has ended; false
    // when `bound` passed first, and then the reader must be kept alive (not
    // deleted): the thread still uses it until its query returns.
    bool Stop(std::chrono::milliseconds bound = std::chrono::seconds(8));
    // The thread has returned (or was never started).
    bool HasEnded() const { return m_bEnded.load(); }

    // User-interface thread: stops `reader` within `bound` and deletes it.  A
    // reader whose thread outlasts the bound (a query on a stalled stream) is
    // deleted by its own thread when that query returns.
    static void StopAndDelete(CNetStreamReader* reader, std::chrono::milliseconds bound);

    // The thread's body; returns 0.
    static DWORD ThreadProc(CNetStreamReader* reader);

    // "http://" + the device address + ":" + the stream port + "/?.mjpg"
    // (port 8196 unless a test gives another); empty without a network device.
    static std::string StreamAddress();

    IplImage* m_pCopy = nullptr;        // the frame's copy handed to the sink; owned by the thread
    plat::ViewBuilder m_view;           // the view's picture of the copy; the thread's
    CvCapture* m_pCapture = nullptr;    // owned by the thread, released when it leaves
    IplImage* m_pFrame = nullptr;       // the frame of the last query (its copy), or null
    std::thread m_hThread;
    std::atomic<bool> m_bStop{false};

private:
    void SendCameraReady();
    const WindowSender m_window;
    // The thread's last act: marks the reader ended, and deletes it when its
    // owner has let go of it.
    void Finish();
    std::mutex m_endLock;
    std::atomic<bool> m_bEnded{true};
    bool m_bOrphaned = false;  // under m_endLock: nobody waits, the thread deletes the reader
};
