#include "capture/NetStreamReader.h"


#include "app/QuillmarshApp.h"
#include "capture/DeviceMessages.h"
#include "capture/FrameSink.h"
#include "platform/CrossThread.h"
#include "platform/CvCompat.h"
#include "platform/DeviceEndpoint.h"

namespace {

// After an empty query the stream has nothing for the moment: look again a
// little later instead of spinning on a closed or stalled connection.
constexpr auto kEmptyQueryPause = std::chrono::milliseconds(40);

}  // namespace

CNetStreamReader::~CNetStreamReader() {
    // A reader deleted while its thread runs waits for it, however long its
    // query takes: the thread uses the reader until it returns.
    while (m_hThread.joinable() && !Stop()) {
    }
}

std::string CNetStreamReader::StreamAddress() {
    const auto ports = plat::DevicePortsInUse();
    if (!ports) return std::string();
    char host[16];
    theApp.WideToAnsi(plat::DeviceAddressText(), host, sizeof host);
    return std::string("http://") + host + ":" + std::to_string(ports->stream) + "/?.mjpg";
}

void CNetStreamReader::Start() {
    if (m_hThread.joinable()) return;
    m_bEnded = false;
    m_hThread = std::thread([this] { ThreadProc(this); });
}

bool CNetStreamReader::Stop(std::chrono::milliseconds bound) {
    m_bStop = true;
    if (!m_hThread.joinable()) return true;
    // The thread's last act is to set m_bEnded; joining after it is immediate.
    if (!plat::WaitServingSends([this] { return m_bEnded.load(); }, bound)) return false;
    m_hThread.join();
    return true;
}

void CNetStreamReader::StopAndDelete(CNetStreamReader* reader, std::chrono::milliseconds bound) {
    if (!reader) return;
    if (!reader->Stop(bound)) {
        std::unique_lock<std::mutex> lock(reader->m_endLock);
        if (!reader->m_bEnded) {
            reader->m_bOrphaned = true;
            reader->m_hThread.detach();
            return;  // from here on the thread owns the reader
        }
        lock.unlock();
        reader->m_hThread.join();
    }
    delete reader;
}

void CNetStreamReader::Finish() {
    bool orphaned;
    {
        std::lock_guard<std::mutex> lock(m_endLock);
        m_bEnded = true;
        orphaned = m_bOrphaned;
    }
    if (orphaned) delete this;
}

void CNetStreamReader::SendCameraReady() {
    // The stop request is looked at on the user-interface thread, where Stop
    // sets it: a reader stopped while its send was queued reaches no handler,
    // and the window stops its reader before it goes, so it is still there.
    plat::SendToUiThread([this]() -> LRESULT {
        if (m_bStop || !m_window || !theApp.m_bNetCamera) return 0;
        return m_window(WM_CAMERA_READY, 0, 1);
    });
}

DWORD CNetStreamReader::ThreadProc(CNetStreamReader* r) {
    if (theApp.m_bNetCamera && !r->m_bStop) {
        const std::string address = StreamAddress();
        if (!address.empty()) r->m_pCapture = cvCreateFileCapture(address.c_str());
    }
    if (!r->m_pCapture) {
        r->Finish();
        return 0;
    }
    if (theApp.m_bNetCamera && !r->m_bStop) r->SendCameraReady();

    while (!r->m_bStop) {
        // The query, the copy and, for the network camera, the 180-degree
        // turn in one pass: the frame is decoded straight into the copy, which
        // is kept from frame to frame and made anew only when the size changes.
        // A frame the sink would drop (the view is frozen) is passed over
        // undecoded: the stream keeps flowing and nobody sees the difference.
        const bool wanted = SinkTakesFrames();
        const bool turned = theApp.m_bNetCamera != 0;
        // A frame whose view goes straight onto the screen's rows is not
        // written into the copy at all: the sink gets the picture's data to
        // decode it again only if its pixels are wanted (a freeze, a save).
        if (wanted) r->m_view.Prepare(SinkViewTarget(), turned, true);
        const bool got = wanted ? plat::QueryFrameCopy(r->m_pCapture, &r->m_pCopy, turned, &r->m_view)
                                : plat::SkipFrame(r->m_pCapture);
        r->m_pFrame = got && wanted ? r->m_pCopy : nullptr;
        if (got && wanted && !r->m_bStop) {
            FramePixels later;
            bool written = !r->m_view.LeftFrame();
            if (!written) {
                auto data = std::make_shared<std::vector<unsigned char>>();
                if (plat::CopyLastPicturesData(r->m_pCapture, data.get())) {
                    if (!r->m_view.OnDisplay().empty())
                        later = [data, turned](IplImage* into) { return plat::DecodePictureInto(*data, into, turned); };
                    else  // the view was not made after all: the copy is wanted now
                        written = plat::DecodePictureInto(*data, r->m_pCopy, turned);
                }
            }
            // The copy is the sink's alone: the next query writes it over.
            if (written || later)
                DeliverFrameToSink(r->m_pCopy, true, r->m_view.Result(), r->m_view.OnDisplay(), std::move(later));
        } else if (!got) {
            std::this_thread::sleep_for(kEmptyQueryPause);
        }
        if (!theApp.m_bNetCamera && !theApp.m_bUsbCamera) break;
    }
    r->m_pFrame = nullptr;
    cvReleaseImage(&r->m_pCopy);
    cvReleaseCapture(&r->m_pCapture);
    r->Finish();
    return 0;
}
